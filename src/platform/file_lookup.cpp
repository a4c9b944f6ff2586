#include "platform/file_lookup.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <QString>

#include "model/code_page.h"

namespace plovant {

namespace fs = std::filesystem;

namespace {

// Limits the case-insensitive search so a pathological tree cannot make it explode.
constexpr int kMaxCandidatesPerLevel = 8;

bool IsNormalFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec) || ec) return false;
    const std::string name = path.filename().string();
    return !name.empty() && name[0] != '.';
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

QString Folded(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toCaseFolded();
}

// Splits on "\" and "/" into components; a leading separator makes the path absolute.
struct SplitPath {
    fs::path root;  // "/" (or a drive on Windows), or empty for a relative path
    std::vector<std::string> parts;
};

SplitPath Split(std::string_view path) {
    SplitPath split;
    size_t start = 0;
#ifdef _WIN32
    if (path.size() >= 2 && path[1] == ':') {
        split.root = std::string(path.substr(0, 2)) + "\\";
        start = 2;
    }
#endif
    if (start < path.size() && (path[start] == '\\' || path[start] == '/')) {
        if (split.root.empty()) split.root = "/";
    }
    std::string current;
    for (size_t i = start; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            if (!current.empty() && current != ".") split.parts.push_back(current);
            current.clear();
        } else {
            current += path[i];
        }
    }
    return split;
}

// Entries of `folder` whose names equal `part` ignoring case, exact spellings first.
std::vector<fs::path> MatchingEntries(const fs::path& folder, const std::string& part) {
    std::vector<fs::path> exact;
    std::vector<fs::path> others;
    const std::string decoded = IsAscii(part) ? part : DecodeGameText(part);
    const std::string lower_raw = AsciiLower(part);
    const QString folded_decoded = Folded(decoded);
    for (const std::string& spelling : {part, decoded}) {
        std::error_code ec;
        if (fs::exists(folder / spelling, ec) &&
            std::find(exact.begin(), exact.end(), folder / spelling) == exact.end()) {
            exact.push_back(folder / spelling);
        }
    }
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
    if (!ec) {
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec) break;
            const std::string name = it->path().filename().string();
            if (name == part || name == decoded) continue;
            if (AsciiLower(name) == lower_raw || Folded(name) == folded_decoded) {
                others.push_back(folder / name);
            }
        }
    }
    std::sort(others.begin(), others.end());
    exact.insert(exact.end(), others.begin(), others.end());
    if (exact.size() > static_cast<size_t>(kMaxCandidatesPerLevel)) exact.resize(kMaxCandidatesPerLevel);
    return exact;
}

std::optional<fs::path> Search(const fs::path& folder, const std::vector<std::string>& parts,
                               size_t index) {
    if (index == parts.size()) return IsNormalFile(folder) ? std::optional<fs::path>(folder) : std::nullopt;
    if (parts[index] == "..") return Search(folder.empty() ? fs::path("..") : folder / "..", parts, index + 1);
    for (const fs::path& candidate : MatchingEntries(folder, parts[index])) {
        if (auto found = Search(candidate, parts, index + 1)) return found;
    }
    return std::nullopt;
}

}  // namespace

std::string NativePath(std::string_view path) {
    std::string native(path);
#ifndef _WIN32
    std::replace(native.begin(), native.end(), '\\', '/');
#endif
    return native;
}

std::optional<std::string> FindNormalFile(std::string_view path) {
    if (path.empty()) return std::nullopt;
    const std::string stored = NativePath(path);
    if (IsNormalFile(stored)) return stored;
    if (!IsAscii(path)) {
        const std::string decoded = NativePath(DecodeGameText(path));
        if (IsNormalFile(decoded)) return decoded;
    }
    const SplitPath split = Split(path);
    if (split.parts.empty()) return std::nullopt;
    if (auto found = Search(split.root, split.parts, 0)) return found->string();
    return std::nullopt;
}

}  // namespace plovant
