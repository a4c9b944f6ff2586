// The one exception type of Plovant. Every failure travels as an Error carrying an
// error number and a description to the one place that reports it; readers, writers
// and the device layer never show messages themselves.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace plovant {

// Error numbers for failures that are not a device's. A device failure carries its
// DirectX result code instead (a negative number, 0x8876xxxx or 0x8877xxxx).
enum ErrorNumber : int32_t {
    kErrOverflow = 6,
    kErrOutOfMemory = 7,
    kErrSubscriptOutOfRange = 9,
    kErrFileNotFound = 53,
    kErrInputPastEnd = 62,
    kErrPermissionDenied = 70,
    kErrPathFileAccess = 75,
    kErrPathNotFound = 76,
    kErrInvalidFormat = 321,
    kErrCancel = 32755,  // the file dialog's cancel code
};

class Error : public std::exception {
public:
    Error(int32_t number, std::string description)
        : number_(number), description_(std::move(description)) {}

    int32_t number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    int32_t number_;
    std::string description_;
};

}  // namespace plovant
