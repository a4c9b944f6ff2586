#include "archive/grf_names.h"

#include <algorithm>

namespace plovant {
namespace {

// The length of the UTF-8 character starting at text[i] (one byte for a stray byte).
size_t CharLength(std::string_view text, size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t n = 1;
    if (c >= 0xF0) {
        n = 4;
    } else if (c >= 0xE0) {
        n = 3;
    } else if (c >= 0xC0) {
        n = 2;
    }
    return std::min(n, text.size() - i);
}

char FoldChar(char c) {
    if (c == '/') return '\\';
    if (c >= 'A' && c <= 'Z') return char(c - 'A' + 'a');
    return c;
}

}  // namespace

std::string FoldName(std::string_view name) {
    std::string folded;
    folded.reserve(name.size());
    for (size_t i = 0; i < name.size();) {
        const size_t n = CharLength(name, i);
        if (n == 1) {
            folded.push_back(FoldChar(name[i]));
        } else {
            folded.append(name.substr(i, n));
        }
        i += n;
    }
    return folded;
}

bool IsPattern(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

bool MatchesPattern(std::string_view pattern, std::string_view name) {
    const std::string p = FoldName(pattern);
    const std::string s = FoldName(name);
    // Greedy matching with one back-track point: the last star seen.
    size_t pi = 0, si = 0;
    size_t star = std::string::npos, star_si = 0;
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            star_si = si;
        } else if (pi < p.size() && p[pi] == '?') {
            ++pi;
            si += CharLength(s, si);
        } else if (pi < p.size() && p[pi] == s[si]) {
            ++pi;
            ++si;
        } else if (star != std::string::npos) {
            pi = star + 1;
            star_si += CharLength(s, star_si);
            si = star_si;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

std::optional<std::filesystem::path> ExtractionPath(std::string_view name, std::string& reason) {
    if (name.empty()) {
        reason = "the name is empty";
        return std::nullopt;
    }
    if (name[0] == '\\' || name[0] == '/') {
        reason = "the name is absolute";
        return std::nullopt;
    }
    if (name.size() >= 2 && name[1] == ':') {
        reason = "the name starts with a drive";
        return std::nullopt;
    }
    std::filesystem::path path;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view part = name.substr(start, end - start);
        if (part == "..") {
            reason = "the name has a \"..\" component";
            return std::nullopt;
        }
        if (!part.empty() && part != ".") path /= std::filesystem::u8path(part);
        start = end + 1;
    }
    if (path.empty()) {
        reason = "the name has no file name";
        return std::nullopt;
    }
    return path;
}

}  // namespace plovant
