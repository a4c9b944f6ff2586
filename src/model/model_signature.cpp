#include "model/model_signature.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "model/binary_file.h"

namespace plovant {
namespace {

constexpr std::string_view kRsmSignature = "GRSM";

// Signatures of files that are easily mistaken for models, with what they are.
struct KnownStart {
    std::string_view bytes;
    const char* what;
};
constexpr KnownStart kKnownStarts[] = {
    {"BM", "a Windows bitmap"},
    {"\x89PNG", "a PNG picture"},
    {"\xFF\xD8\xFF", "a JPEG picture"},
    {"GRGN", "a map ground file, .gnd"},
    {"GRAT", "a map altitude file, .gat"},
    {"GRSW", "a map file, .rsw"},
    {"Master of Magic", "a GRF archive"},
    {"PK\x03\x04", "a ZIP archive"},
    {"glTF", "a binary glTF model"},
};

bool StartsWith(std::span<const uint8_t> bytes, std::string_view prefix) {
    if (bytes.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (bytes[i] != static_cast<uint8_t>(prefix[i])) return false;
    }
    return true;
}

// The bytes as they would be typed: printable ASCII as it is, anything else (and the
// quote and backslash, which would be ambiguous inside quotes) as \xNN.
std::string Shown(std::span<const uint8_t> bytes) {
    std::string text;
    for (const uint8_t b : bytes) {
        if (b >= 0x20 && b <= 0x7E && b != '\'' && b != '\\') {
            text += static_cast<char>(b);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
            text += escaped;
        }
    }
    return text;
}

// Errors raised before any byte of the contents was looked at.
bool IsAccessFailure(int32_t number) {
    return number == kErrFileNotFound || number == kErrPermissionDenied ||
           number == kErrPathFileAccess || number == kErrPathNotFound;
}

}  // namespace

std::string DescribeNotAModel(std::span<const uint8_t> head) {
    if (head.empty()) return "not an RSM model: the file is empty";
    if (!StartsWith(head, kRsmSignature)) {
        std::string text = "not an RSM model: it starts with '" +
                           Shown(head.first(std::min<std::size_t>(head.size(), 4))) + "'";
        for (const KnownStart& known : kKnownStarts) {
            if (StartsWith(head, known.bytes)) {
                text += std::string(" (") + known.what + ")";
                break;
            }
        }
        return text;
    }
    if (head.size() < kSignatureBytes) return {};
    const unsigned major = head[4], minor = head[5];
    if (major == 1 && (minor == 4 || minor == 5)) return {};
    return "an RSM model of version " + std::to_string(major) + "." + std::to_string(minor) +
           ", not one of the versions 1.4 and 1.5 the viewer reads";
}

std::string DescribeNotAModelFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return {};
    FilePtr file = OpenBinaryFile(path, "rb");
    if (!file) return {};
    std::array<uint8_t, kSignatureBytes> head{};
    const std::size_t got = std::fread(head.data(), 1, head.size(), file.get());
    if (std::ferror(file.get())) return {};
    return DescribeNotAModel(std::span<const uint8_t>(head.data(), got));
}

namespace {

// `failure` with `description` of the file `name` put first.
Error WithDescription(const std::string& description, const std::string& name,
                      const Error& failure) {
    if (description.empty()) return failure;
    // The reader's descriptions start with the file's name; it is said once, in front.
    std::string problem = failure.description();
    if (problem.starts_with(name + ": ")) problem.erase(0, name.size() + 2);
    return Error(failure.number(), name + ": " + description + ". Read as a model: " + problem);
}

}  // namespace

Error ExplainModelReadFailure(const std::filesystem::path& path, const Error& failure) {
    if (IsAccessFailure(failure.number())) return failure;
    return WithDescription(DescribeNotAModelFile(path), PathText(path), failure);
}

Error ExplainModelReadFailure(std::span<const uint8_t> bytes, const std::string& name,
                              const Error& failure) {
    if (IsAccessFailure(failure.number())) return failure;
    return WithDescription(DescribeNotAModel(bytes.first(std::min(bytes.size(), kSignatureBytes))),
                           name, failure);
}

}  // namespace plovant
