#include "model/byte_reader.h"

#include <cassert>

namespace plovant {

void ByteReader::seek(uint64_t position) {
    assert(position <= size_);
    position_ = position;
}

bool ByteReader::read(void* out, std::size_t count) {
    if (count > remaining()) return false;
    if (!fetch(position_, out, count)) return false;
    position_ += count;
    return true;
}

std::size_t ByteReader::readPadded(void* out, std::size_t count) {
    const std::size_t available = count < remaining() ? count : std::size_t(remaining());
    std::memset(out, 0, count);
    if (available != 0 && !fetch(position_, out, available)) {
        // A failing file reads as its end: the bytes count as missing.
        std::memset(out, 0, count);
        return 0;
    }
    position_ += available;
    return available;
}

bool ByteReader::readInt32(int32_t& value) {
    uint32_t raw = 0;
    if (!read(&raw, sizeof raw)) return false;
    value = int32_t(FromLittle32(raw));
    return true;
}

bool FileByteReader::fetch(uint64_t position, void* out, std::size_t count) {
    if (count == 0) return true;
    if (position != file_position_) {
        // Seeking needs a signed offset; files beyond its range are read in order only.
        if (position > uint64_t(INT64_MAX)) return false;
#ifdef _WIN32
        if (_fseeki64(file_, int64_t(position), SEEK_SET) != 0) return false;
#else
        if (fseeko(file_, off_t(position), SEEK_SET) != 0) return false;
#endif
        file_position_ = position;
    }
    const std::size_t got = std::fread(out, 1, count, file_);
    file_position_ += got;
    return got == count;
}

}  // namespace plovant
