// A reader of little-endian values from a sequence of bytes of known length, either
// in memory or in an open file. It never reads past the end: a read that would do
// so reads nothing and reports it, and the caller decides what that means.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>

namespace plovant {

class ByteReader {
public:
    virtual ~ByteReader() = default;

    uint64_t size() const { return size_; }
    uint64_t position() const { return position_; }
    uint64_t remaining() const { return size_ - position_; }

    // Moves to `position`, which is at most size().
    void seek(uint64_t position);

    // Copies the next `count` bytes into `out` and advances. When fewer than `count`
    // bytes remain, or the underlying file fails, reads nothing and returns false.
    bool read(void* out, std::size_t count);

    // Reads up to `count` bytes; those beyond the end are given as zeros. Advances by
    // the number of bytes that existed and returns that number.
    std::size_t readPadded(void* out, std::size_t count);

    // A little-endian int32; false at the end of the bytes.
    bool readInt32(int32_t& value);

protected:
    explicit ByteReader(uint64_t size) : size_(size) {}

    // Copies `count` bytes starting at `position`, which the caller has checked lie
    // within the size. Returns false on an I/O failure.
    virtual bool fetch(uint64_t position, void* out, std::size_t count) = 0;

private:
    uint64_t size_;
    uint64_t position_ = 0;
};

// Bytes in memory; the span must outlive the reader.
class MemoryByteReader final : public ByteReader {
public:
    explicit MemoryByteReader(std::span<const uint8_t> bytes)
        : ByteReader(bytes.size()), bytes_(bytes) {}

protected:
    bool fetch(uint64_t position, void* out, std::size_t count) override {
        if (count != 0) std::memcpy(out, bytes_.data() + position, count);
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
};

// An open file of known size, read from its start. The reader does not own the file.
class FileByteReader final : public ByteReader {
public:
    FileByteReader(std::FILE* file, uint64_t size) : ByteReader(size), file_(file) {}

protected:
    bool fetch(uint64_t position, void* out, std::size_t count) override;

private:
    std::FILE* file_;
    uint64_t file_position_ = 0;
};

// Byte order: file values are little-endian; these turn them into host values in
// place (nothing to do on little-endian hosts).
inline uint16_t FromLittle16(uint16_t v) {
    if constexpr (std::endian::native == std::endian::little) return v;
    return uint16_t((v >> 8) | (v << 8));
}
inline uint32_t FromLittle32(uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) return v;
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

}  // namespace plovant
