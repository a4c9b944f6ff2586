// Builds Windows bitmap files byte by byte, so tests can cover every variant the loader
// must read (palettized, run-length encoded, bit fields, top-down, OS/2 headers).
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace plovant::testing {

inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kBiRle4 = 2;
inline constexpr uint32_t kBiBitfields = 3;

struct BmpLayout {
    int width = 0;
    int height = 0;         // rows of the picture
    int bits = 24;
    uint32_t compression = kBiRgb;
    bool top_down = false;  // negative height in the header
    bool os2 = false;       // 12-byte BITMAPCOREHEADER, 3-byte palette entries
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    std::vector<uint32_t> masks;    // red, green, blue masks for kBiBitfields
    std::vector<uint8_t> data;      // the pixel data exactly as stored
};

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

inline std::vector<uint8_t> BuildBmp(const BmpLayout& layout) {
    std::vector<uint8_t> header;
    if (layout.os2) {
        Put32(header, 12);
        Put16(header, static_cast<uint32_t>(layout.width));
        Put16(header, static_cast<uint32_t>(layout.height));
        Put16(header, 1);
        Put16(header, static_cast<uint32_t>(layout.bits));
        for (uint32_t c : layout.palette) {
            header.push_back(static_cast<uint8_t>(c));
            header.push_back(static_cast<uint8_t>(c >> 8));
            header.push_back(static_cast<uint8_t>(c >> 16));
        }
    } else {
        Put32(header, 40);
        Put32(header, static_cast<uint32_t>(layout.width));
        Put32(header, static_cast<uint32_t>(layout.top_down ? -layout.height : layout.height));
        Put16(header, 1);
        Put16(header, static_cast<uint32_t>(layout.bits));
        Put32(header, layout.compression);
        Put32(header, static_cast<uint32_t>(layout.data.size()));
        Put32(header, 2835);
        Put32(header, 2835);
        Put32(header, static_cast<uint32_t>(layout.palette.size()));
        Put32(header, 0);
        for (uint32_t m : layout.masks) Put32(header, m);
        for (uint32_t c : layout.palette) Put32(header, c & 0xFFFFFF);
    }
    std::vector<uint8_t> file{'B', 'M'};
    const uint32_t offset = 14 + static_cast<uint32_t>(header.size());
    Put32(file, offset + static_cast<uint32_t>(layout.data.size()));
    Put32(file, 0);
    Put32(file, offset);
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), layout.data.begin(), layout.data.end());
    return file;
}

// Rows of values packed at `bits` per pixel (1, 4, 8, 16, 24 or 32), each row padded to
// four bytes, stored bottom-up unless `top_down`. 24/32-bit values are 0x00RRGGBB.
inline std::vector<uint8_t> PackRows(const std::vector<std::vector<uint32_t>>& rows, int bits,
                                     bool top_down = false) {
    std::vector<uint8_t> out;
    const size_t count = rows.size();
    for (size_t k = 0; k < count; ++k) {
        const auto& row = rows[top_down ? k : count - 1 - k];
        std::vector<uint8_t> bytes;
        if (bits < 8) {
            uint32_t acc = 0;
            int filled = 0;
            for (uint32_t v : row) {
                acc = (acc << bits) | v;
                filled += bits;
                if (filled == 8) {
                    bytes.push_back(static_cast<uint8_t>(acc));
                    acc = 0;
                    filled = 0;
                }
            }
            if (filled > 0) bytes.push_back(static_cast<uint8_t>(acc << (8 - filled)));
        } else {
            for (uint32_t v : row)
                for (int b = 0; b < bits / 8; ++b) bytes.push_back(static_cast<uint8_t>(v >> (8 * b)));
        }
        while (bytes.size() % 4 != 0) bytes.push_back(0);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

// RLE8: every row as runs of one index (count, index), bottom-up, with end-of-line and
// end-of-bitmap codes.
inline std::vector<uint8_t> EncodeRle8(const std::vector<std::vector<uint32_t>>& rows) {
    std::vector<uint8_t> out;
    for (size_t k = rows.size(); k-- > 0;) {
        for (uint32_t v : rows[k]) {
            out.push_back(1);
            out.push_back(static_cast<uint8_t>(v));
        }
        out.push_back(0);
        out.push_back(0);
    }
    out.back() = 1;  // the last end-of-line becomes end-of-bitmap
    return out;
}

// RLE4: every pair of pixels as one run of two alternating nibbles.
inline std::vector<uint8_t> EncodeRle4(const std::vector<std::vector<uint32_t>>& rows) {
    std::vector<uint8_t> out;
    for (size_t k = rows.size(); k-- > 0;) {
        const auto& row = rows[k];
        for (size_t i = 0; i < row.size(); i += 2) {
            const uint32_t second = i + 1 < row.size() ? row[i + 1] : 0;
            out.push_back(static_cast<uint8_t>(i + 1 < row.size() ? 2 : 1));
            out.push_back(static_cast<uint8_t>(row[i] << 4 | second));
        }
        out.push_back(0);
        out.push_back(0);
    }
    out.back() = 1;
    return out;
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace plovant::testing
