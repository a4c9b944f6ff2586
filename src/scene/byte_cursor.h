// A bounds-checked little-endian reader over bytes in memory, for the scene reader.
// Every read names what it reads, so a file cut short or a count that does not fit
// throws an Error saying where: the file, the part being read (set by the caller, such
// as a node's index and name) and the field.
#pragma once

#include <cstdint>
#include <cstring>
#include <glm/vec3.hpp>
#include <span>
#include <string>

#include "errors/error.h"

namespace plovant::scene {

class ByteCursor {
public:
    ByteCursor(std::span<const uint8_t> bytes, const std::string& file)
        : data_(bytes.data()), size_(bytes.size()), file_(file) {}

    std::size_t position() const { return position_; }
    std::size_t remaining() const { return size_ - position_; }
    bool AtEnd() const { return position_ == size_; }

    // What is being read, for messages ("node 2 \"mast\""); empty for the header.
    void SetContext(std::string context) { context_ = std::move(context); }

    // Throws unless `count` more bytes are there.
    void Need(std::size_t count, const char* field) const {
        if (count > remaining()) Fail(kErrInputPastEnd, "the data ends inside the " + Field(field));
    }

    uint8_t U8(const char* field) {
        Need(1, field);
        return data_[position_++];
    }
    uint16_t U16(const char* field) {
        Need(2, field);
        return U16Unchecked();
    }
    uint32_t U32(const char* field) {
        Need(4, field);
        return U32Unchecked();
    }
    int32_t I32(const char* field) { return int32_t(U32(field)); }
    float F32(const char* field) {
        Need(4, field);
        return F32Unchecked();
    }
    glm::vec3 Vec3(const char* field) {
        Need(12, field);
        return Vec3Unchecked();
    }

    // Reads without checking: the caller has called Need() for them.
    uint16_t U16Unchecked() {
        const uint8_t* p = data_ + position_;
        position_ += 2;
        return uint16_t(p[0] | (p[1] << 8));
    }
    uint32_t U32Unchecked() {
        const uint8_t* p = data_ + position_;
        position_ += 4;
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
               (uint32_t(p[3]) << 24);
    }
    int32_t I32Unchecked() { return int32_t(U32Unchecked()); }
    float F32Unchecked() {
        const uint32_t raw = U32Unchecked();
        float value;
        std::memcpy(&value, &raw, sizeof value);
        return value;
    }
    glm::vec3 Vec3Unchecked() {
        const float x = F32Unchecked();
        const float y = F32Unchecked();
        const float z = F32Unchecked();
        return {x, y, z};
    }

    // An int32 count of items at least `item_size` bytes long each. Throws when it is
    // negative or when that many items cannot fit in the bytes that remain, so the
    // caller may size an array by it.
    std::size_t Count(const char* field, std::size_t item_size) {
        const int32_t count = I32(field);
        if (count < 0) {
            Fail(kErrInvalidFormat,
                 "the " + Field(field) + " is negative (" + std::to_string(count) + ")");
        }
        if (item_size != 0 && std::size_t(count) > remaining() / item_size) {
            Fail(kErrInputPastEnd, "the " + Field(field) + " " + std::to_string(count) +
                                       " needs at least " +
                                       std::to_string(uint64_t(count) * item_size) + " bytes but " +
                                       std::to_string(remaining()) + " remain");
        }
        return std::size_t(count);
    }

    // A text in a field of `length` bytes, cut at its first NUL.
    std::string FixedText(std::size_t length, const char* field) {
        Need(length, field);
        return Take(length);
    }

    // An int32 length and that many bytes, cut at the first NUL.
    std::string CountedText(const char* field) {
        const std::size_t length = Count(field, 1);
        return Take(length);
    }

    // Moves back to a position read before (at most the current one).
    void Rewind(std::size_t position) { position_ = position < position_ ? position : position_; }

    void Skip(std::size_t count, const char* field) {
        Need(count, field);
        position_ += count;
    }

    [[noreturn]] void Fail(int32_t number, const std::string& problem) const {
        std::string text = file_ + ": ";
        if (!context_.empty()) text += context_ + ": ";
        text += problem + " (at byte " + std::to_string(position_) + ")";
        throw Error(number, text);
    }

private:
    static std::string Field(const char* field) { return field; }

    std::string Take(std::size_t length) {
        const char* start = reinterpret_cast<const char*>(data_ + position_);
        const void* nul = std::memchr(start, 0, length);
        position_ += length;
        return std::string(start, nul ? static_cast<const char*>(nul) - start : length);
    }

    const uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
    std::string file_;
    std::string context_;
};

}  // namespace plovant::scene
