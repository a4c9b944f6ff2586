// Finding files named the way Windows programs name them: folders separated by "\",
// names in the game data's code page (CP949), letters in any case. Lets data copied from
// a Windows machine be found on a case-sensitive file system with UTF-8 names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plovant {

// `path` with every "\" turned into the native folder separator (on Windows: unchanged).
std::string NativePath(std::string_view path);

// Looks up a normal file (a regular file whose name does not start with a dot) named by
// `path`, which may use "\" or "/" between folders. Tried in this order, the first that
// exists wins:
//   1. the name as stored (bytes unchanged);
//   2. the name decoded from CP949 to UTF-8 (only when it is not plain ASCII);
//   3. for each path component in turn, an entry of the folder so far whose name equals
//      the component (as stored or decoded) ignoring case (ASCII letters, and Unicode
//      letters of decoded names); among several, an exact match first, else the first
//      in name order.
// Returns the path to open, in native form, or nothing when no normal file matches.
// An empty path finds nothing. Never throws for missing or unreadable folders.
std::optional<std::string> FindNormalFile(std::string_view path);

}  // namespace plovant
