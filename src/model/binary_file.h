// Opening files for raw-byte reading and writing with paths in the system's own form,
// and the texts of the system's file errors.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <cstdint>
#include <string>
#include <vector>

namespace plovant {

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file) std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` with the fopen `mode` ("rb", "wb", "wbx", ...). Returns null and
// leaves errno set on failure.
FilePtr OpenBinaryFile(const std::filesystem::path& path, const char* mode);

// The path as UTF-8 text, for messages.
std::string PathText(const std::filesystem::path& path);

// The system's text for an errno value, e.g. "Permission denied".
std::string ErrnoText(int error_number);

// The error number of Error for an errno value of a failed open or write.
int ErrorNumberForErrno(int error_number);

// The whole content of the regular file at `path`. Throws an Error naming the file when
// it is missing, a folder, or cannot be read.
std::vector<uint8_t> ReadBinaryFile(const std::filesystem::path& path);

}  // namespace plovant
