// English sentences for Direct3D result codes, for showing a device failure to the user.
#pragma once

#include <cstdint>
#include <string>

namespace plovant {

// The description of a Direct3D result code (0 for success, or a D3DERR_ code as a
// signed 32-bit number). Codes are compared exactly, without masking facility or
// severity bits. A code without a description gives "Unknown Error: " followed by the
// code in signed decimal, e.g. "Unknown Error: -2005532222". Never fails.
std::string Direct3DErrorText(int32_t code);

}  // namespace plovant
