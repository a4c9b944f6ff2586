#include "model/binary_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "errors/error.h"

namespace plovant {

FilePtr OpenBinaryFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wide_mode(mode, mode + std::strlen(mode));
    return FilePtr(_wfopen(path.c_str(), wide_mode.c_str()));
#else
    return FilePtr(std::fopen(path.c_str(), mode));
#endif
}

std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string ErrnoText(int error_number) {
    return std::strerror(error_number);
}

int ErrorNumberForErrno(int error_number) {
    switch (error_number) {
        case EACCES:
        case EPERM:
        case EROFS:
            return kErrPermissionDenied;
        case ENOENT:
        case ENOTDIR:
            return kErrPathNotFound;
        default:
            return kErrPathFileAccess;
    }
}

std::vector<uint8_t> ReadBinaryFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw Error(kErrPathFileAccess, PathText(path) + ": is a folder, not a file");
    const FilePtr file = OpenBinaryFile(path, "rb");
    if (!file) {
        const int e = errno;
        throw Error(ErrorNumberForErrno(e), PathText(path) + ": " + ErrnoText(e));
    }
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    if (std::ferror(file.get()))
        throw Error(kErrPathFileAccess, PathText(path) + ": the file could not be read");
    return bytes;
}

}  // namespace plovant
