// The path rule of Save As.
#pragma once

#include <string>

namespace plovant {

// The path the export writes for the path `chosen` in the save dialog: ".3ds" is
// appended unless the path already ends in exactly ".3ds" (case-sensitive, so
// "model.3DS" becomes "model.3DS.3ds").
std::string SaveAsPath(const std::string& chosen);

}  // namespace plovant
