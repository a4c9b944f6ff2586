// Names in model files are bytes in the game data's code page (CP949, the Korean
// Windows code page; ASCII is the same in it). These helpers turn them into UTF-8
// for display and for looking files up on systems that store names as UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace plovant {

// Decodes CP949 bytes to UTF-8. Bytes that are not valid CP949 become U+FFFD, so the
// result is always valid UTF-8 and never fails.
std::string DecodeGameText(std::string_view bytes);

// True when every byte is 7-bit ASCII (then decoding changes nothing).
bool IsAscii(std::string_view bytes);

}  // namespace plovant
