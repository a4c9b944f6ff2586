#include "app/settings.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "errors/error.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace plovant {

namespace fs = std::filesystem;

namespace {

// No folder name is this long; a longer first line is not a data folder but some other
// file, and is not read into memory.
constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

// Paths arrive as UTF-8 text on Windows and as the file system's own bytes elsewhere.
fs::path NativePath(const std::string& path) {
#ifdef _WIN32
    return fs::path(std::u8string(path.begin(), path.end()));
#else
    return fs::path(path);
#endif
}

std::FILE* OpenFile(const fs::path& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wide_mode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wide_mode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

std::error_code LastError() {
    return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

// A regular file (after following symbolic links) that is not hidden: on Windows
// without the hidden or system attribute, elsewhere with a name not starting with a dot.
bool IsNormalFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
#else
    const std::string name = path.filename().native();
    return name.empty() || name.front() != '.';
#endif
}

enum class LineRead { kLine, kEmptyFile, kUnreadable };

// The bytes before the first CR or LF, or the whole file when it has neither.
LineRead ReadFirstLine(const fs::path& path, std::string& line) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return LineRead::kUnreadable;
    line.clear();
    bool any_byte = false;
    char buffer[4096];
    for (;;) {
        in.read(buffer, sizeof buffer);
        const auto got = static_cast<std::size_t>(in.gcount());
        if (in.bad()) return LineRead::kUnreadable;
        any_byte = any_byte || got > 0;
        for (std::size_t i = 0; i < got; ++i) {
            if (buffer[i] == '\r' || buffer[i] == '\n') {
                if (line.size() + i > kMaxLineBytes) return LineRead::kUnreadable;
                line.append(buffer, i);
                return LineRead::kLine;
            }
        }
        line.append(buffer, got);
        if (line.size() > kMaxLineBytes) return LineRead::kUnreadable;
        if (in.eof()) break;
        if (in.fail()) return LineRead::kUnreadable;
    }
    return any_byte ? LineRead::kLine : LineRead::kEmptyFile;
}

int32_t ErrorNumberOf(const std::error_code& ec) {
    const std::error_condition condition = ec.default_error_condition();
    if (condition == std::errc::no_such_file_or_directory ||
        condition == std::errc::not_a_directory) {
        return kErrPathNotFound;
    }
    if (condition == std::errc::permission_denied ||
        condition == std::errc::operation_not_permitted ||
        condition == std::errc::read_only_file_system) {
        return kErrPermissionDenied;
    }
    return kErrPathFileAccess;
}

[[noreturn]] void ThrowWriteFailure(const std::string& path, const std::error_code& ec) {
    throw Error(ErrorNumberOf(ec),
                "Cannot write the settings file \"" + path + "\": " + ec.message() + ".");
}

// Writes all of `contents` to an open file, makes it durable and closes it. Returns the
// first failure; the file is closed either way.
std::error_code WriteAndClose(std::FILE* file, const std::string& contents) {
    std::error_code failure;
    errno = 0;
    if (std::fwrite(contents.data(), 1, contents.size(), file) != contents.size() ||
        std::fflush(file) != 0) {
        failure = LastError();
    }
#ifdef _WIN32
    if (!failure && _commit(_fileno(file)) != 0) failure = LastError();
#else
    if (!failure && fsync(fileno(file)) != 0) failure = LastError();
#endif
    errno = 0;
    if (std::fclose(file) != 0 && !failure) failure = LastError();
    return failure;
}

// Writes `contents` to a new file beside `target` and moves it into target's place.
// Returns false, having changed nothing, when no file can be created in that folder.
bool ReplaceThroughTemporary(const fs::path& target, const std::string& contents,
                             const std::string& shown_path) {
    std::random_device entropy;
    std::mt19937_64 random(entropy());
    for (int attempt = 0; attempt < 16; ++attempt) {
        fs::path temporary = target;
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.tmp",
                      static_cast<unsigned long long>(random()));
        temporary += suffix;

        errno = 0;
        std::FILE* file = OpenFile(temporary, "wbx");  // fails if the name is taken
        if (file == nullptr) {
            if (errno == EEXIST) continue;
            return false;
        }
        std::error_code ec = WriteAndClose(file, contents);
        if (!ec) {
            // The replaced file keeps its access rights.
            std::error_code ignored;
            const fs::file_status old_status = fs::status(target, ignored);
            if (fs::exists(old_status)) {
                fs::permissions(temporary, old_status.permissions(), ignored);
            }
            fs::rename(temporary, target, ec);
        }
        if (ec) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            ThrowWriteFailure(shown_path, ec);
        }
        return true;
    }
    return false;
}

void RewriteInPlace(const fs::path& target, const std::string& contents,
                    const std::string& shown_path) {
    errno = 0;
    std::FILE* file = OpenFile(target, "wb");
    if (file == nullptr) ThrowWriteFailure(shown_path, LastError());
    const std::error_code ec = WriteAndClose(file, contents);
    if (ec) ThrowWriteFailure(shown_path, ec);
}

}  // namespace

void ResetRenderSwitches(Settings& settings) {
    const Settings defaults;
    settings.Textured = defaults.Textured;
    settings.Smooth = defaults.Smooth;
    settings.Lighting = defaults.Lighting;
    settings.Wireframe = defaults.Wireframe;
    settings.Antialiased = defaults.Antialiased;
    settings.ClearDepth = defaults.ClearDepth;
}

void LoadSettings(Settings& settings, const std::string& path) {
    bool write_default = true;
    try {
        const fs::path file = NativePath(path);
        if (IsNormalFile(file)) {
            std::string line;
            switch (ReadFirstLine(file, line)) {
                case LineRead::kLine:
                    settings.DataPath = std::move(line);
                    return;
                case LineRead::kUnreadable:
                    // Something is there that could not be read: keep it.
                    write_default = false;
                    break;
                case LineRead::kEmptyFile:
                    break;
            }
        }
    } catch (const std::exception&) {
        write_default = false;
    }

    settings.DataPath = kDefaultDataPath;
    if (!write_default) return;
    try {
        SaveSettings(settings, path);
    } catch (const std::exception&) {
        // The folder does not take the file: this run goes on with the value in memory.
    }
}

void SaveSettings(const Settings& settings, const std::string& path) {
    const std::string contents = settings.DataPath + "\r\n";
    fs::path target = NativePath(path);
    std::error_code ec;

    // Through a symbolic link to the file it names, so the link stays a link. A link
    // that leads nowhere is written through by opening it.
    bool replaceable = true;
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path resolved = fs::canonical(target, ec);
        if (ec) {
            replaceable = false;
        } else {
            target = resolved;
        }
    }

    // An existing file must be writable itself: a read-only settings file stays as it is
    // rather than being swapped for a new one. Opening for append changes nothing.
    if (fs::exists(fs::symlink_status(target, ec))) {
        errno = 0;
        std::FILE* probe = OpenFile(target, "ab");
        if (probe == nullptr) ThrowWriteFailure(path, LastError());
        std::fclose(probe);
    }

    if (replaceable && ReplaceThroughTemporary(target, contents, path)) return;
    RewriteInPlace(target, contents, path);
}

std::string SettingsFilePath(const std::string& executable_folder, PathStyle style) {
    if (style == PathStyle::Windows) return executable_folder + "\\" + kSettingsFileName;
    if (executable_folder.empty()) return kSettingsFileName;
    if (executable_folder.back() == '/') return executable_folder + kSettingsFileName;
    return executable_folder + "/" + kSettingsFileName;
}

}  // namespace plovant
