// The header and the file table of a GRF archive: what is where, checked against the
// archive's length before anything is allocated for it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "archive/grf_cipher.h"

namespace plovant {

inline constexpr size_t kGrfHeaderSize = 46;
inline constexpr char kGrfMagic[16] = "Master of Magic";  // 15 letters and a NUL

// The table versions read.
inline constexpr uint32_t kGrfVersion102 = 0x102;
inline constexpr uint32_t kGrfVersion103 = 0x103;
inline constexpr uint32_t kGrfVersion200 = 0x200;
inline constexpr uint32_t kGrfVersion300 = 0x300;

// Entry flags of the table.
inline constexpr uint8_t kGrfFlagFile = 0x01;         // else a folder
inline constexpr uint8_t kGrfFlagMixed = 0x02;        // mixed scrambling
inline constexpr uint8_t kGrfFlagFirstBlocks = 0x04;  // the first blocks scrambled

// Biggest inflation ratio a zlib stream can reach (deflate's limit is about 1032:1), used
// to refuse sizes the stored bytes cannot hold before allocating them.
inline constexpr uint64_t kMaxInflateRatio = 1032;

struct GrfHeader {
    uint32_t version = 0;
    uint64_t table_offset = 0;  // absolute position of the table in the archive
    uint32_t file_count = 0;    // entries in the table (files and folders)
};

struct GrfEntry {
    std::string name;          // as stored: CP949 bytes, "\" between folders
    std::string display_name;  // the name decoded to UTF-8
    uint32_t compressed_size = 0;
    uint32_t aligned_size = 0;
    uint32_t real_size = 0;
    uint64_t offset = 0;  // absolute position of the stored bytes
    uint8_t flags = 0;
    EntryCipher cipher = EntryCipher::kNone;
};

// How a 0x1xx table's file named `name` is scrambled: .gnd, .gat, .act and .str files
// (any case) in their first blocks only, every other file in mixed mode.
EntryCipher OldTableCipher(const std::string& name);

// Reads the header from the first kGrfHeaderSize bytes of an archive `archive_size` bytes
// long. Throws an Error naming `shown_name` for a wrong magic, an unknown version, a
// table offset past the end or an impossible count.
GrfHeader ParseGrfHeader(std::span<const uint8_t> header, uint64_t archive_size,
                         const std::string& shown_name);

// Reads `count` bytes at absolute position `offset` of the archive into `out`; throws an
// Error when they cannot be read.
using ReadAt = std::function<void(uint64_t offset, std::span<uint8_t> out)>;

// Reads and parses the file table: every entry that is a file, in table order. The table
// must hold header.file_count entries; a table that is out of bounds, truncated, fails to
// inflate or holds fewer entries is refused with an Error naming `shown_name`.
std::vector<GrfEntry> ReadGrfTable(const GrfHeader& header, uint64_t archive_size,
                                   const ReadAt& read, const std::string& shown_name);

}  // namespace plovant
