// Raising a DirectX failure as plovant::Error.
#pragma once

#include <cstdint>
#include <string>

#include "errors/error.h"

namespace plovant::dx7 {

// Throws Error(code, description); description names the operation and the problem.
[[noreturn]] inline void ThrowDxError(int32_t code, std::string description) {
    throw Error(code, std::move(description));
}

}  // namespace plovant::dx7
