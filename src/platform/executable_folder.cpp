#include "platform/executable_folder.h"

#include <filesystem>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#elif defined(__APPLE__)
#include <mach-o/dyld.h>
#include <cstdint>
#endif

namespace plovant {

namespace fs = std::filesystem;

namespace {

// The executable's own full name, or an empty path when the system does not say.
fs::path ExecutablePath() {
#if defined(_WIN32)
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(),
                                                static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return fs::path(std::wstring(buffer.data(), length));
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
#elif defined(__APPLE__)
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) != 0) return {};
    std::error_code ec;
    fs::path resolved = fs::canonical(fs::path(buffer.data()), ec);
    return ec ? fs::path(buffer.data()) : resolved;
#else
    std::error_code ec;
    fs::path link = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return link;
#endif
}

std::string ToText(const fs::path& path) {
#if defined(_WIN32)
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
#else
    return path.native();
#endif
}

}  // namespace

std::string ExecutableFolder() {
    const fs::path executable = ExecutablePath();
    if (executable.is_absolute() && executable.has_parent_path()) {
        return ToText(executable.parent_path());
    }
    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    return ec ? std::string(".") : ToText(current);
}

}  // namespace plovant
