#include "platform/dx7/pixel_format.h"

#include <bit>

namespace plovant::dx7 {

namespace {

DDPIXELFORMAT Rgb(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    DDPIXELFORMAT f;
    f.dwFlags = DDPF_RGB | (a != 0 ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}

// A mask must be one run of set bits inside the pixel.
bool MakeChannel(uint32_t mask, int pixel_bits, Channel& channel) {
    channel = Channel{};
    if (mask == 0) return true;
    if (pixel_bits < 32 && (mask >> pixel_bits) != 0) return false;
    int shift = std::countr_zero(mask);
    uint32_t run = mask >> shift;
    if ((run & (run + 1)) != 0) return false;  // not contiguous
    channel.mask = mask;
    channel.shift = shift;
    channel.bits = std::popcount(mask);
    return true;
}

uint32_t ReadChannel(const Channel& c, uint32_t raw) {
    return c.bits == 0 ? 0 : Widen((raw & c.mask) >> c.shift, c.bits);
}

uint32_t WriteChannel(const Channel& c, uint32_t value8) {
    if (c.bits == 0) return 0;
    uint32_t v = c.bits >= 8 ? value8 << (c.bits - 8) : value8 >> (8 - c.bits);
    return (v << c.shift) & c.mask;
}

}  // namespace

DDPIXELFORMAT PixelFormatX8R8G8B8() { return Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0); }
DDPIXELFORMAT PixelFormatA8R8G8B8() { return Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000); }
DDPIXELFORMAT PixelFormatX1R5G5B5() { return Rgb(16, 0x7C00, 0x3E0, 0x1F, 0); }
DDPIXELFORMAT PixelFormatA1R5G5B5() { return Rgb(16, 0x7C00, 0x3E0, 0x1F, 0x8000); }
DDPIXELFORMAT PixelFormatA4R4G4B4() { return Rgb(16, 0xF00, 0xF0, 0xF, 0xF000); }
DDPIXELFORMAT PixelFormatR5G6B5() { return Rgb(16, 0xF800, 0x7E0, 0x1F, 0); }

DDPIXELFORMAT PixelFormatZ16() {
    DDPIXELFORMAT f;
    f.dwFlags = DDPF_ZBUFFER;
    f.dwRGBBitCount = 16;  // dwZBufferBitDepth
    f.dwGBitMask = 0xFFFF;  // dwZBitMask
    return f;
}

bool DescribeFormat(const DDPIXELFORMAT& format, FormatLayout& layout) {
    layout = FormatLayout{};
    if (format.dwFourCC != 0) return false;
    if (format.dwFlags & DDPF_ZBUFFER) {
        if (format.dwFlags & (DDPF_RGB | DDPF_STENCILBUFFER)) return false;
        if (format.dwRGBBitCount != 16 || format.dwGBitMask != 0xFFFF) return false;
        layout.bytes_per_pixel = 2;
        layout.depth = true;
        layout.g = Channel{0xFFFF, 0, 16};
        return true;
    }
    constexpr uint32_t kUnsupported = DDPF_ALPHA | DDPF_FOURCC | DDPF_PALETTEINDEXED8 |
                                      DDPF_LUMINANCE | DDPF_BUMPLUMINANCE | DDPF_BUMPDUDV;
    if (!(format.dwFlags & DDPF_RGB) || (format.dwFlags & kUnsupported)) return false;
    const int bits = static_cast<int>(format.dwRGBBitCount);
    if (bits != 16 && bits != 32) return false;
    const uint32_t alpha = (format.dwFlags & DDPF_ALPHAPIXELS) ? format.dwRGBAlphaBitMask : 0;
    if (!MakeChannel(format.dwRBitMask, bits, layout.r) ||
        !MakeChannel(format.dwGBitMask, bits, layout.g) ||
        !MakeChannel(format.dwBBitMask, bits, layout.b) || !MakeChannel(alpha, bits, layout.a)) {
        return false;
    }
    if (layout.r.bits == 0 || layout.g.bits == 0 || layout.b.bits == 0) return false;
    const uint32_t masks[] = {layout.r.mask, layout.g.mask, layout.b.mask, layout.a.mask};
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
            if (masks[i] & masks[j]) return false;
    layout.bytes_per_pixel = bits / 8;
    return true;
}

uint32_t RawToArgb(const FormatLayout& layout, uint32_t raw) {
    if (layout.depth) {
        uint32_t d = raw >> 8 & 0xFF;
        return 0xFF000000u | d << 16 | d << 8 | d;
    }
    uint32_t a = layout.a.bits ? ReadChannel(layout.a, raw) : 0xFF;
    return a << 24 | ReadChannel(layout.r, raw) << 16 | ReadChannel(layout.g, raw) << 8 |
           ReadChannel(layout.b, raw);
}

uint32_t ArgbToRaw(const FormatLayout& layout, uint32_t argb) {
    return WriteChannel(layout.a, argb >> 24) | WriteChannel(layout.r, argb >> 16 & 0xFF) |
           WriteChannel(layout.g, argb >> 8 & 0xFF) | WriteChannel(layout.b, argb & 0xFF);
}

}  // namespace plovant::dx7
