#include "archive/grf_table.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "archive/grf_names.h"
#include "errors/error.h"
#include "model/code_page.h"

namespace plovant {
namespace {

uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t U64(const uint8_t* p) { return uint64_t(U32(p)) | uint64_t(U32(p + 4)) << 32; }

[[noreturn]] void Refuse(const std::string& shown_name, const std::string& problem) {
    throw Error(kErrInvalidFormat, shown_name + ": not a readable GRF archive: " + problem);
}

// The fixed fields after an entry's name.
constexpr size_t kEntryFields = 17;     // three sizes, flags, a 32-bit offset
constexpr size_t kEntryFields300 = 21;  // the offset has 64 bits
// Smallest entry of each table: an empty name with its NUL, or a 0x1xx name field.
constexpr size_t kMinEntry200 = 1 + kEntryFields;
constexpr size_t kMinEntry300 = 1 + kEntryFields300;
constexpr size_t kNameFieldExtra = 6;  // 2 bytes before the scrambled name, 4 after it
constexpr size_t kMinEntry100 = 4 + kNameFieldExtra + kEntryFields;
// The 0x1xx table stores two sizes with these amounts added.
constexpr uint32_t kPackedSizeBias = 715;
constexpr uint32_t kAlignedSizeBias = 37579;

std::vector<uint8_t> InflateTable(std::span<const uint8_t> packed, uint32_t real_size,
                                  const std::string& shown_name) {
    std::vector<uint8_t> table(real_size);
    uLongf out_size = real_size;
    const int result = uncompress(table.data(), &out_size, packed.data(), packed.size());
    if (result != Z_OK) {
        Refuse(shown_name,
               std::string("its file table does not inflate (") +
                   (result == Z_BUF_ERROR ? "longer than its stated size" : zError(result)) + ")");
    }
    if (out_size != real_size) {
        Refuse(shown_name, "its file table inflates to " + std::to_string(out_size) +
                               " bytes, not the stated " + std::to_string(real_size));
    }
    return table;
}

void ParseNewTable(std::span<const uint8_t> table, const GrfHeader& header,
                   const std::string& shown_name, std::vector<GrfEntry>& entries) {
    const bool wide = header.version == kGrfVersion300;
    const size_t fields = wide ? kEntryFields300 : kEntryFields;
    size_t pos = 0;
    for (uint32_t i = 0; i < header.file_count; ++i) {
        const uint8_t* start = table.data() + pos;
        const size_t left = table.size() - pos;
        const void* nul = std::memchr(start, 0, left);
        if (!nul) Refuse(shown_name, "entry " + std::to_string(i + 1) + " of its table is cut off");
        const size_t name_length = static_cast<const uint8_t*>(nul) - start;
        if (left - name_length - 1 < fields) {
            Refuse(shown_name, "entry " + std::to_string(i + 1) + " of its table is cut off");
        }
        const uint8_t* f = start + name_length + 1;
        pos += name_length + 1 + fields;
        const uint8_t flags = f[12];
        if (!(flags & kGrfFlagFile)) continue;
        GrfEntry e;
        e.name.assign(reinterpret_cast<const char*>(start), name_length);
        e.compressed_size = U32(f);
        e.aligned_size = U32(f + 4);
        e.real_size = U32(f + 8);
        e.flags = flags;
        const uint64_t stored = wide ? U64(f + 13) : U32(f + 13);
        e.offset = stored + kGrfHeaderSize;  // may wrap for nonsense: checked on reading
        if (e.offset < stored) e.offset = UINT64_MAX;
        e.cipher = (flags & kGrfFlagMixed)         ? EntryCipher::kMixed
                   : (flags & kGrfFlagFirstBlocks) ? EntryCipher::kFirstBlocks
                                                   : EntryCipher::kNone;
        entries.push_back(std::move(e));
    }
}

void ParseOldTable(std::span<const uint8_t> table, const GrfHeader& header,
                   const std::string& shown_name, std::vector<GrfEntry>& entries) {
    size_t pos = 0;
    for (uint32_t i = 0; i < header.file_count; ++i) {
        const size_t left = table.size() - pos;
        const auto cut = [&] {
            Refuse(shown_name, "entry " + std::to_string(i + 1) + " of its table is cut off");
        };
        if (left < 4) cut();
        const uint32_t field = U32(table.data() + pos);
        if (field < kNameFieldExtra) {
            Refuse(shown_name, "entry " + std::to_string(i + 1) +
                                   " of its table has a name field of " + std::to_string(field) +
                                   " bytes");
        }
        if (left - 4 < field || left - 4 - field < kEntryFields) cut();
        const uint8_t* name_field = table.data() + pos + 4;
        const uint8_t* f = name_field + field;
        pos += 4 + size_t(field) + kEntryFields;
        const uint8_t flags = f[12];
        if (!(flags & kGrfFlagFile)) continue;
        std::vector<uint8_t> name(name_field + 2, name_field + field - 4);
        UnscrambleName(name);
        const auto end = std::find(name.begin(), name.end(), uint8_t{0});
        GrfEntry e;
        e.name.assign(name.begin(), end);
        e.real_size = U32(f + 8);
        // Stored as compressed + real + 715 and aligned + 37579 (32-bit arithmetic).
        e.compressed_size = U32(f) - e.real_size - kPackedSizeBias;
        e.aligned_size = U32(f + 4) - kAlignedSizeBias;
        e.flags = flags;
        e.offset = uint64_t(U32(f + 13)) + kGrfHeaderSize;
        e.cipher = OldTableCipher(e.name);
        entries.push_back(std::move(e));
    }
}

}  // namespace

EntryCipher OldTableCipher(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return EntryCipher::kMixed;
    const std::string ext = FoldName(name.substr(dot));
    const bool first_blocks = ext == ".gnd" || ext == ".gat" || ext == ".act" || ext == ".str";
    return first_blocks ? EntryCipher::kFirstBlocks : EntryCipher::kMixed;
}

GrfHeader ParseGrfHeader(std::span<const uint8_t> header, uint64_t archive_size,
                         const std::string& shown_name) {
    if (header.size() < kGrfHeaderSize || archive_size < kGrfHeaderSize) {
        Refuse(shown_name,
               "it is shorter than a GRF header (" + std::to_string(archive_size) + " bytes)");
    }
    if (std::memcmp(header.data(), kGrfMagic, sizeof kGrfMagic) != 0) {
        Refuse(shown_name, "it does not start with \"Master of Magic\"");
    }
    GrfHeader h;
    h.version = U32(header.data() + 42);
    const uint64_t after_header = archive_size - kGrfHeaderSize;
    uint64_t offset = 0;
    switch (h.version) {
        case kGrfVersion102:
        case kGrfVersion103:
        case kGrfVersion200: {
            offset = U32(header.data() + 30);
            const uint32_t seed = U32(header.data() + 34);
            const uint32_t raw = U32(header.data() + 38);
            if (raw < seed || raw - seed < 7) {
                Refuse(shown_name, "its file count is negative (" + std::to_string(raw) + " - " +
                                       std::to_string(seed) + " - 7)");
            }
            h.file_count = raw - seed - 7;
            break;
        }
        case kGrfVersion300:
            offset = U64(header.data() + 30);
            h.file_count = U32(header.data() + 38);
            break;
        default: {
            char text[16];
            std::snprintf(text, sizeof text, "0x%X", h.version);
            Refuse(shown_name, std::string("its version ") + text +
                                   " is not one of 0x102, 0x103, 0x200, 0x300");
        }
    }
    if (offset > after_header) {
        Refuse(shown_name, "its file table offset " + std::to_string(offset) +
                               " lies past the end of the archive");
    }
    h.table_offset = offset + kGrfHeaderSize;
    return h;
}

std::vector<GrfEntry> ReadGrfTable(const GrfHeader& header, uint64_t archive_size,
                                   const ReadAt& read, const std::string& shown_name) {
    const uint64_t available = archive_size - header.table_offset;
    std::vector<uint8_t> table;
    if (header.version == kGrfVersion102 || header.version == kGrfVersion103) {
        if (uint64_t(header.file_count) * kMinEntry100 > available) {
            Refuse(shown_name, "its table of " + std::to_string(available) + " bytes cannot hold " +
                                   std::to_string(header.file_count) + " entries");
        }
        table.resize(available);
        read(header.table_offset, table);
    } else {
        const size_t prefix = header.version == kGrfVersion300 ? 4 : 0;
        uint8_t sizes[12];
        if (available < prefix + 8) Refuse(shown_name, "its file table is cut off");
        read(header.table_offset, std::span<uint8_t>(sizes, prefix + 8));
        const uint32_t packed = U32(sizes + prefix);
        const uint32_t real = U32(sizes + prefix + 4);
        if (packed > available - prefix - 8) {
            Refuse(shown_name, "its file table of " + std::to_string(packed) +
                                   " bytes runs past the end of the archive");
        }
        const size_t min_entry = header.version == kGrfVersion300 ? kMinEntry300 : kMinEntry200;
        if (uint64_t(header.file_count) * min_entry > real) {
            Refuse(shown_name, "its table of " + std::to_string(real) + " bytes cannot hold " +
                                   std::to_string(header.file_count) + " entries");
        }
        if (real > uint64_t(packed) * kMaxInflateRatio + 64) {
            Refuse(shown_name, "its file table cannot inflate from " + std::to_string(packed) +
                                   " to " + std::to_string(real) + " bytes");
        }
        std::vector<uint8_t> packed_bytes(packed);
        read(header.table_offset + prefix + 8, packed_bytes);
        table = InflateTable(packed_bytes, real, shown_name);
    }
    std::vector<GrfEntry> entries;
    entries.reserve(header.file_count);
    if (header.version == kGrfVersion102 || header.version == kGrfVersion103) {
        ParseOldTable(table, header, shown_name, entries);
    } else {
        ParseNewTable(table, header, shown_name, entries);
    }
    for (GrfEntry& e : entries) e.display_name = DecodeGameText(e.name);
    return entries;
}

}  // namespace plovant
