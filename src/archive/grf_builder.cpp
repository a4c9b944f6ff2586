#include "archive/grf_builder.h"

#include <zlib.h>

#include <cstring>
#include <stdexcept>

#include "archive/grf_table.h"

namespace plovant {
namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void Put64(std::vector<uint8_t>& out, uint64_t v) {
    Put32(out, uint32_t(v));
    Put32(out, uint32_t(v >> 32));
}

void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& data, int level) {
    uLongf size = compressBound(data.size());
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), data.size(), level) != Z_OK) {
        throw std::runtime_error("BuildGrf: compress2 failed");
    }
    out.resize(size);
    return out;
}

struct Placed {
    uint32_t compressed = 0, aligned = 0, real = 0;
    uint64_t offset = 0;  // relative to the end of the header
    uint8_t flags = 0;
};

}  // namespace

std::vector<uint8_t> BuildGrf(uint32_t version, const std::vector<GrfBuildEntry>& entries) {
    const bool old_table = version == kGrfVersion102 || version == kGrfVersion103;
    std::vector<uint8_t> out(kGrfHeaderSize, 0);
    std::memcpy(out.data(), kGrfMagic, sizeof kGrfMagic);
    for (uint8_t i = 0; i < 14; ++i) out[16 + i] = uint8_t(i + 1);

    std::vector<Placed> placed(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const GrfBuildEntry& e = entries[i];
        Placed& p = placed[i];
        if (e.folder) continue;
        const EntryCipher cipher = old_table ? OldTableCipher(e.name) : e.cipher;
        std::vector<uint8_t> stored = e.store_raw ? e.content : Compress(e.content, e.level);
        p.compressed = uint32_t(stored.size());
        p.real = uint32_t(e.content.size());
        if (cipher != EntryCipher::kNone) {
            stored.resize((stored.size() + 7) / 8 * 8, 0);
            ScrambleEntry(stored, cipher, p.compressed);
        }
        p.aligned = uint32_t(stored.size());
        p.offset = out.size() - kGrfHeaderSize;
        p.flags = kGrfFlagFile;
        if (!old_table && cipher == EntryCipher::kMixed) p.flags |= kGrfFlagMixed;
        if (!old_table && cipher == EntryCipher::kFirstBlocks) p.flags |= kGrfFlagFirstBlocks;
        out.insert(out.end(), stored.begin(), stored.end());
        if (e.stated_real_size) p.real = *e.stated_real_size;
        if (e.stated_compressed_size) p.compressed = *e.stated_compressed_size;
        if (e.stated_offset) p.offset = *e.stated_offset;
    }

    std::vector<uint8_t> table;
    for (size_t i = 0; i < entries.size(); ++i) {
        const GrfBuildEntry& e = entries[i];
        const Placed& p = placed[i];
        if (old_table) {
            // The name with at least one NUL, padded to whole blocks and scrambled.
            std::vector<uint8_t> name(e.name.begin(), e.name.end());
            name.resize((name.size() + 1 + 7) / 8 * 8, 0);
            ScrambleName(name);
            Put32(table, uint32_t(name.size() + 6));
            table.push_back(0);
            table.push_back(0);
            table.insert(table.end(), name.begin(), name.end());
            Put32(table, 0);
            Put32(table, p.compressed + p.real + 715);
            Put32(table, p.aligned + 37579);
        } else {
            table.insert(table.end(), e.name.begin(), e.name.end());
            table.push_back(0);
            Put32(table, p.compressed);
            Put32(table, p.aligned);
        }
        Put32(table, p.real);
        table.push_back(p.flags);
        if (version == kGrfVersion300) {
            Put64(table, p.offset);
        } else {
            Put32(table, uint32_t(p.offset));
        }
    }

    const uint64_t table_offset = out.size() - kGrfHeaderSize;
    if (old_table) {
        out.insert(out.end(), table.begin(), table.end());
    } else {
        const std::vector<uint8_t> packed = Compress(table, 6);
        if (version == kGrfVersion300) Put32(out, 0);
        Put32(out, uint32_t(packed.size()));
        Put32(out, uint32_t(table.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }
    const uint32_t count = uint32_t(entries.size());
    if (version == kGrfVersion300) {
        Set32(out, 30, uint32_t(table_offset));
        Set32(out, 34, uint32_t(table_offset >> 32));
        Set32(out, 38, count);
    } else {
        Set32(out, 30, uint32_t(table_offset));
        Set32(out, 34, 0);  // seed
        Set32(out, 38, count + 7);
    }
    Set32(out, 42, version);
    return out;
}

}  // namespace plovant
