#include "export/save_as_path.h"

namespace plovant {

std::string SaveAsPath(const std::string& chosen) {
    if (chosen.ends_with(".3ds")) return chosen;
    return chosen + ".3ds";
}

}  // namespace plovant
