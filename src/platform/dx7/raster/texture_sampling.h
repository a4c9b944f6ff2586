// Texture sampling: nearest-texel and bilinear filters, wrap and clamp addressing, and
// the colour key. Coordinates arrive in fixed point, texels × 256.
//
// The colour key: a keyed texel has alpha 0. Nearest-texel sampling skips the pixel
// when the texel is keyed. Bilinear sampling skips the pixel when the texel nearest to
// the sample point is keyed; otherwise any keyed texel among the four is replaced by
// that nearest texel before blending, so a keyed colour (magenta, typically) never
// bleeds into the edge of what is drawn.
#pragma once

#include <cstdint>

#include "platform/dx7/raster/raster_internal.h"
#include "platform/dx7/raster/simd.h"

namespace plovant::raster::detail {

// The sampler of untextured routines.
struct NoSampler {
    static constexpr bool kEnabled = false;
};

inline int AddressWrap(int i, int size) {
    i %= size;
    return i < 0 ? i + size : i;
}
inline int AddressClamp(int i, int size) { return i < 0 ? 0 : (i >= size ? size - 1 : i); }

// kPow2Wrap: both axes wrap and both sizes are powers of two, so addressing is a mask.
// Otherwise each axis wraps (by remainder) or clamps as the texture says.
template <bool kPow2Wrap>
struct Addressing {
    static PLOVANT_RASTER_INLINE int U(const TextureInfo& t, int i) {
        if constexpr (kPow2Wrap) return i & t.width_mask;
        else return t.wrap_u ? AddressWrap(i, t.width) : AddressClamp(i, t.width);
    }
    static PLOVANT_RASTER_INLINE int V(const TextureInfo& t, int i) {
        if constexpr (kPow2Wrap) return i & t.height_mask;
        else return t.wrap_v ? AddressWrap(i, t.height) : AddressClamp(i, t.height);
    }
};

inline bool IsKeyed(uint32_t texel) { return (texel >> 24) == 0; }

// Blends four texels with 8-bit fractions fx, fy. The weights add up to 256 and every
// channel stays below 256 · 256, so the sums fit in 16 bits.
#if defined(__SSE2__)
PLOVANT_RASTER_INLINE uint32_t Bilerp(uint32_t t00, uint32_t t01, uint32_t t10, uint32_t t11,
                                      uint32_t fx, uint32_t fy) {
    const uint32_t w11 = (fx * fy) >> 8;
    const uint32_t w01 = fx - w11;
    const uint32_t w10 = fy - w11;
    const uint32_t w00 = 256 - fx - fy + w11;
    const __m128i zero = _mm_setzero_si128();
    // Weights as 16-bit lanes: (w00 × 4, w01 × 4) for the top row, (w10 × 4, w11 × 4).
    __m128i wa = _mm_cvtsi32_si128(static_cast<int>(w00 | (w01 << 16)));
    __m128i wb = _mm_cvtsi32_si128(static_cast<int>(w10 | (w11 << 16)));
    wa = _mm_shufflelo_epi16(wa, _MM_SHUFFLE(1, 1, 0, 0));
    wb = _mm_shufflelo_epi16(wb, _MM_SHUFFLE(1, 1, 0, 0));
    wa = _mm_unpacklo_epi16(wa, wa);
    wb = _mm_unpacklo_epi16(wb, wb);
    const __m128i top = _mm_unpacklo_epi8(
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(t00)), _mm_cvtsi32_si128(static_cast<int>(t01))),
        zero);
    const __m128i bottom = _mm_unpacklo_epi8(
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(t10)), _mm_cvtsi32_si128(static_cast<int>(t11))),
        zero);
    __m128i sum = _mm_add_epi16(_mm_mullo_epi16(top, wa), _mm_mullo_epi16(bottom, wb));
    sum = _mm_add_epi16(sum, _mm_srli_si128(sum, 8));
    sum = _mm_srli_epi16(sum, 8);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
}
#else
// Two channels at a time in 32-bit integers.
inline uint32_t Bilerp(uint32_t t00, uint32_t t01, uint32_t t10, uint32_t t11, uint32_t fx,
                       uint32_t fy) {
    const uint32_t w11 = (fx * fy) >> 8;
    const uint32_t w01 = fx - w11;
    const uint32_t w10 = fy - w11;
    const uint32_t w00 = 256 - fx - fy + w11;
    constexpr uint32_t kMask = 0x00FF00FFu;
    const uint32_t rb = (t00 & kMask) * w00 + (t01 & kMask) * w01 + (t10 & kMask) * w10 +
                        (t11 & kMask) * w11;
    const uint32_t ag = ((t00 >> 8) & kMask) * w00 + ((t01 >> 8) & kMask) * w01 +
                        ((t10 >> 8) & kMask) * w10 + ((t11 >> 8) & kMask) * w11;
    return ((rb >> 8) & kMask) | (ag & ~kMask);
}
#endif

template <bool kBilinear, bool kPow2Wrap, bool kColorKey>
struct TextureSampler {
    static constexpr bool kEnabled = true;
    using Addr = Addressing<kPow2Wrap>;

    // Samples at (iu, iv) (texels × 256, texel centres at +128). Returns false when the
    // pixel is to be skipped because of the colour key.
    static PLOVANT_RASTER_INLINE bool Sample(const TextureInfo& t, int iu, int iv, uint32_t& out) {
        if constexpr (!kBilinear) {
            const int x = Addr::U(t, iu >> kTexelFractionBits);
            const int y = Addr::V(t, iv >> kTexelFractionBits);
            out = t.texels[y * t.pitch + x];
            if constexpr (kColorKey) {
                if (IsKeyed(out)) return false;
            }
            return true;
        } else {
            iu -= 128;  // measure from texel centres
            iv -= 128;
            const int xi = iu >> kTexelFractionBits;
            const int yi = iv >> kTexelFractionBits;
            const uint32_t fx = static_cast<uint32_t>(iu) & 255u;
            const uint32_t fy = static_cast<uint32_t>(iv) & 255u;
            const int x0 = Addr::U(t, xi);
            const int x1 = Addr::U(t, xi + 1);
            const uint32_t* row0 = t.texels + Addr::V(t, yi) * t.pitch;
            const uint32_t* row1 = t.texels + Addr::V(t, yi + 1) * t.pitch;
            uint32_t t00 = row0[x0], t01 = row0[x1], t10 = row1[x0], t11 = row1[x1];
            if constexpr (kColorKey) {
                if (IsKeyed(t00 & t01 & t10 & t11)) {
                    const uint32_t nearest =
                        fy < 128 ? (fx < 128 ? t00 : t01) : (fx < 128 ? t10 : t11);
                    if (IsKeyed(nearest)) return false;
                    if (IsKeyed(t00)) t00 = nearest;
                    if (IsKeyed(t01)) t01 = nearest;
                    if (IsKeyed(t10)) t10 = nearest;
                    if (IsKeyed(t11)) t11 = nearest;
                }
            }
            out = Bilerp(t00, t01, t10, t11, fx, fy);
            return true;
        }
    }
};

}  // namespace plovant::raster::detail
