// Reading back the chunk tree of a 3DS file in tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace plovant::testing {

inline std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline uint16_t U16At(const std::vector<uint8_t>& b, std::size_t at) {
    return uint16_t(b.at(at) | (b.at(at + 1) << 8));
}
inline uint32_t U32At(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t(U16At(b, at)) | (uint32_t(U16At(b, at + 2)) << 16);
}
inline float F32At(const std::vector<uint8_t>& b, std::size_t at) {
    const uint32_t bits = U32At(b, at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

struct Chunk {
    uint16_t id = 0;
    std::size_t offset = 0;
    uint32_t length = 0;
    std::size_t data = 0;  // offset of the data after the header
    std::vector<Chunk> children;

    const Chunk* child(uint16_t wanted, int index = 0) const {
        for (const Chunk& c : children) {
            if (c.id == wanted && index-- == 0) return &c;
        }
        return nullptr;
    }
    int count(uint16_t wanted) const {
        int n = 0;
        for (const Chunk& c : children) n += c.id == wanted;
        return n;
    }
};

// How many data bytes come before the sub-chunks of a chunk of this id.
inline std::size_t DataBeforeChildren(const std::vector<uint8_t>& b, const Chunk& c) {
    switch (c.id) {
        case 0x4000:  // NAMED_OBJECT: a NUL-terminated name
            return std::strlen(reinterpret_cast<const char*>(b.data() + c.data)) + 1;
        case 0x4D4D:
        case 0x3D3D:
        case 0xAFFF:
        case 0x4100:
        case 0xA020:
            return 0;
        default:
            return c.length - 6;  // a leaf
    }
}

// Parses the chunk at `offset`; every child must end within its parent and the
// last child exactly where its parent ends. Throws std::runtime_error otherwise.
inline Chunk ParseChunk(const std::vector<uint8_t>& b, std::size_t offset, std::size_t limit) {
    Chunk c;
    c.offset = offset;
    if (offset + 6 > limit) throw std::runtime_error("chunk header past its parent");
    c.id = U16At(b, offset);
    c.length = U32At(b, offset + 2);
    c.data = offset + 6;
    if (c.length < 6 || offset + c.length > limit) {
        throw std::runtime_error("chunk " + std::to_string(c.id) + " at " +
                                 std::to_string(offset) + " reaches past its parent");
    }
    std::size_t at = c.data + DataBeforeChildren(b, c);
    const std::size_t end = offset + c.length;
    while (at < end) {
        c.children.push_back(ParseChunk(b, at, end));
        at += c.children.back().length;
    }
    if (at != end) throw std::runtime_error("children do not end where their parent ends");
    return c;
}

inline Chunk ParseFile(const std::vector<uint8_t>& b) {
    Chunk root = ParseChunk(b, 0, b.size());
    if (root.length != b.size()) throw std::runtime_error("file length differs from M3DMAGIC");
    return root;
}

}  // namespace plovant::testing
