// Writing GRF archives in memory, in every version the reader reads, with the entries'
// scrambling applied as an archive writer of the game does. The tests, benchmarks and
// fuzz seeds build their archives with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/grf_cipher.h"

namespace plovant {

struct GrfBuildEntry {
    std::string name{};  // stored as given (CP949 bytes), "\" between folders
    std::vector<uint8_t> content{};
    bool folder = false;  // a folder entry: no content, not a file
    // The scrambling of 0x200/0x300 archives (0x1xx archives choose it by the name).
    EntryCipher cipher = EntryCipher::kNone;
    int level = 6;  // zlib compression level
    // For broken archives: the content stored as given instead of compressed, and sizes
    // or an offset stated in the table in place of the true ones.
    bool store_raw = false;
    std::optional<uint32_t> stated_real_size{};
    std::optional<uint32_t> stated_compressed_size{};
    std::optional<uint64_t> stated_offset{};  // relative to the end of the header
};

// The bytes of an archive of `version` (0x102, 0x103, 0x200 or 0x300) holding `entries`
// in this order, the data first and the table at the end.
std::vector<uint8_t> BuildGrf(uint32_t version, const std::vector<GrfBuildEntry>& entries);

}  // namespace plovant
