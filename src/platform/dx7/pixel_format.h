// Reading and writing pixels of the formats a surface can have: the masks of a
// DDPIXELFORMAT turned into shifts and widths once, then used per pixel.
#pragma once

#include <cstdint>

#include "platform/dx7/dx7_types.h"

namespace plovant::dx7 {

// One channel of a format: its mask's position and width (0 bits: absent).
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
};

struct FormatLayout {
    int bytes_per_pixel = 0;  // 2 or 4
    bool depth = false;       // a DDPF_ZBUFFER format
    Channel r, g, b, a;       // for depth: the depth bits are in g
};

// Describes `format`: true for the formats surfaces support (16- or 32-bit DDPF_RGB with
// contiguous, non-overlapping masks, optional DDPF_ALPHAPIXELS alpha; or a 16-bit depth
// format with mask 0xFFFF). False for anything else.
bool DescribeFormat(const DDPIXELFORMAT& format, FormatLayout& layout);

// A channel value widened to 8 bits (0 → 0, all ones → 255, rounded scaling in between).
inline uint32_t Widen(uint32_t value, int bits) {
    if (bits >= 8) return value >> (bits - 8);
    if (bits <= 0) return 0;
    uint32_t max = (1u << bits) - 1;
    return (value * 255u + max / 2) / max;
}

// Raw pixel → 0xAARRGGBB (alpha 0xFF when the format has none; depth as grey).
uint32_t RawToArgb(const FormatLayout& layout, uint32_t raw);

// 0xAARRGGBB → raw pixel, each channel truncated to its width (keeping its high bits).
uint32_t ArgbToRaw(const FormatLayout& layout, uint32_t argb);

// The bits of a raw pixel that carry colour or alpha (what a colour key compares).
inline uint32_t SignificantBits(const FormatLayout& layout) {
    return layout.r.mask | layout.g.mask | layout.b.mask | layout.a.mask;
}

}  // namespace plovant::dx7
