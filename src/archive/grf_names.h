// Names inside GRF archives: the folded form lookups compare, wildcard patterns, and the
// relative path an entry may be extracted to.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace plovant {

// The UTF-8 `name` with "/" turned into "\" and ASCII letters in lower case; other
// characters are left as they are. Archive names are compared in this form after
// decoding from CP949, so a byte of a Korean character never counts as a letter.
std::string FoldName(std::string_view name);

// True when the UTF-8 `name` matches `pattern` as a whole: "*" stands for any run of
// characters (folder separators included), "?" for one character; letters compare
// without case and "/" equals "\".
bool MatchesPattern(std::string_view pattern, std::string_view name);

// True when `text` holds "*" or "?".
bool IsPattern(std::string_view text);

// The relative path an entry named `name` (UTF-8, "\" or "/" between folders) is written
// to, or nothing (with `reason` set) when the name is empty, absolute (a leading
// separator or a drive letter) or has a ".." component: such a name could leave the
// target folder. Empty and "." components are dropped.
std::optional<std::filesystem::path> ExtractionPath(std::string_view name, std::string& reason);

}  // namespace plovant
