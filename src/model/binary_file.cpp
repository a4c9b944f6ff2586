#include "model/binary_file.h"

#include <cerrno>
#include <cstring>

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

}  // namespace plovant
