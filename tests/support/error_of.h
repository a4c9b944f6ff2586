// ErrorOf(f): the error number f raises as plovant::Error, or 0 when it raises none.
#pragma once

#include <cstdint>

#include "errors/error.h"

namespace plovant::testing {

template <typename F>
int32_t ErrorOf(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

}  // namespace plovant::testing
