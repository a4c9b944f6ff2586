// Where the running program lies: the settings file and the stand-by bitmap sit beside it.
#pragma once

#include <string>

namespace plovant {

// The folder of the running executable, without a trailing separator except for a root
// ("/" or a drive root such as "C:\"). UTF-8 on Windows, the file system's bytes
// elsewhere. When the system cannot tell (no /proc, say), the current working folder
// stands in, and "." when even that is unknown.
std::string ExecutableFolder();

}  // namespace plovant
