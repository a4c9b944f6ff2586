// Texture sampling: nearest-texel and bilinear filters, wrap and clamp addressing, and
// the colour key. Coordinates arrive in fixed point, texels × 256.
//
// The colour key: a keyed texel has alpha 0. Nearest-texel sampling skips the pixel
// when the texel is keyed. Bilinear sampling skips the pixel when the texel nearest to
// the sample point is keyed; otherwise any keyed texel among the four is replaced by
// that nearest texel before blending, so a keyed colour (magenta, typically) never
// bleeds into the edge of what is drawn.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/dx7/raster/raster_internal.h"
#include "platform/dx7/raster/simd.h"

namespace plovant::raster::detail {

// The sampler of untextured routines.
struct NoSampler {
    static constexpr bool kEnabled = false;
};

inline int AddressWrap(int i, int size) {
    // Powers of two (textures too large for quads) wrap by a mask, without a division.
    if ((size & (size - 1)) == 0) return i & (size - 1);
    i %= size;
    return i < 0 ? i + size : i;
}
inline int AddressClamp(int i, int size) { return i < 0 ? 0 : (i >= size ? size - 1 : i); }

// kPow2Wrap: both axes wrap and both sizes are powers of two, so addressing is a mask.
// Otherwise each axis wraps (by remainder) or clamps as the texture says.
template <bool kPow2Wrap>
struct Addressing {
    static PLOVANT_RASTER_INLINE int U(const TextureInfo& t, int i) {
        if constexpr (kPow2Wrap)
            return i & t.width_mask;
        else
            return t.wrap_u ? AddressWrap(i, t.width) : AddressClamp(i, t.width);
    }
    static PLOVANT_RASTER_INLINE int V(const TextureInfo& t, int i) {
        if constexpr (kPow2Wrap)
            return i & t.height_mask;
        else
            return t.wrap_v ? AddressWrap(i, t.height) : AddressClamp(i, t.height);
    }
};

inline bool IsKeyed(uint32_t texel) { return (texel >> 24) == 0; }

// Picks the texel nearest the sample point among the four of a bilinear footprint, and
// puts it in place of the keyed ones. False when the nearest texel itself is keyed.
inline bool ReplaceKeyedTexels(uint32_t t[4], uint32_t fx, uint32_t fy) {
    const uint32_t nearest = t[(fy < 128 ? 0 : 2) + (fx < 128 ? 0 : 1)];
    if (IsKeyed(nearest)) return false;
    for (int i = 0; i < 4; ++i) {
        if (IsKeyed(t[i])) t[i] = nearest;
    }
    return true;
}

#if !defined(PLOVANT_RASTER_SSE2)
// Blends four texels with 8-bit fractions, two channels at a time in 32-bit integers:
// the weights add up to 256 and every channel stays below 256 · 256.
inline uint32_t Bilerp(const uint32_t t[4], uint32_t fx, uint32_t fy) {
    const uint32_t w11 = (fx * fy) >> 8;
    const uint32_t w[4] = {256 - fx - fy + w11, fx - w11, fy - w11, w11};
    constexpr uint32_t kMask = 0x00FF00FFu;
    uint32_t rb = 0, ag = 0;
    for (int i = 0; i < 4; ++i) {
        rb += (t[i] & kMask) * w[i];
        ag += ((t[i] >> 8) & kMask) * w[i];
    }
    return ((rb >> 8) & kMask) | (ag & ~kMask);
}
#endif

// The bilinear weights of each 8-bit fraction f as 16-bit lanes: 256 − f eight times,
// f eight times, and (256 − f four times, f four times) for the horizontal pass.
struct BilinearWeights {
    alignas(16) int16_t complement[256][8];
    alignas(16) int16_t fraction[256][8];
    alignas(16) int16_t horizontal[256][8];
};

constexpr BilinearWeights MakeBilinearWeights() {
    BilinearWeights w{};
    for (int f = 0; f < 256; ++f) {
        for (int i = 0; i < 8; ++i) {
            w.complement[f][i] = static_cast<int16_t>(256 - f);
            w.fraction[f][i] = static_cast<int16_t>(f);
            w.horizontal[f][i] = static_cast<int16_t>(i < 4 ? 256 - f : f);
        }
    }
    return w;
}

inline constexpr BilinearWeights kBilinearWeights = MakeBilinearWeights();

template <bool kFilterBilinear, bool kWrapsPow2, bool kKeys>
struct TextureSampler {
    static constexpr bool kEnabled = true;
    static constexpr bool kBilinear = kFilterBilinear;
    static constexpr bool kPow2Wrap = kWrapsPow2;
    static constexpr bool kColorKey = kKeys;
    using Addr = Addressing<kPow2Wrap>;

    // Samples at lanes 0 and 1 of `uv` (texels × 256, texel centres at +128). Returns
    // false when the pixel is to be skipped because of the colour key.
    static PLOVANT_RASTER_INLINE bool Sample(const TextureInfo& t, Int4 uv, uint32_t& out) {
        if constexpr (!kBilinear) {
            const int x = Addr::U(t, uv.template Lane<0>() >> kTexelFractionBits);
            const int y = Addr::V(t, uv.template Lane<1>() >> kTexelFractionBits);
            out = t.texels[y * t.pitch + x];
            if constexpr (kColorKey) {
                if (IsKeyed(out)) return false;
            }
            return true;
        } else {
            return SampleBilinear(t, uv, out);
        }
    }

#if defined(PLOVANT_RASTER_SSE2)
    // The four texels are blended vertically, then horizontally, in 16-bit lanes:
    // a · (256 − f) + b · f stays below 65536 for channels below 256.
    static PLOVANT_RASTER_INLINE bool SampleBilinear(const TextureInfo& t, Int4 uv, uint32_t& out) {
        // Coordinates from texel centres, in general registers: the whole texels address
        // the footprint and the fractions pick the weights from tables, which leaves the
        // vector units to the blend.
        const __m128i c = _mm_sub_epi32(uv.v, _mm_set1_epi32(128));
        const int cu = _mm_cvtsi128_si32(c);
        const int cv = _mm_cvtsi128_si32(_mm_shuffle_epi32(c, 0x55));
        const int xi = cu >> kTexelFractionBits, yi = cv >> kTexelFractionBits;
        const uint32_t fx = static_cast<uint32_t>(cu) & 255u;
        const uint32_t fy = static_cast<uint32_t>(cv) & 255u;
        __m128i four;  // (t00, t01, t10, t11)
        if constexpr (kPow2Wrap) {
            // The footprint of (x0, y0) is quad x0 + y0 · width (the power-of-two
            // routines are chosen only for textures with quads).
            const uint32_t index = static_cast<uint32_t>(xi & t.width_mask) +
                                   static_cast<uint32_t>(yi & t.height_mask) *
                                       static_cast<uint32_t>(t.width);
            four = _mm_loadu_si128(
                reinterpret_cast<const __m128i*>(t.quads + 4 * static_cast<size_t>(index)));
        } else {
            const int x0 = Addr::U(t, xi), x1 = Addr::U(t, xi + 1);
            const uint32_t* row0 = t.texels + Addr::V(t, yi) * t.pitch;
            const uint32_t* row1 = t.texels + Addr::V(t, yi + 1) * t.pitch;
            if (x1 == x0 + 1) {
                four = _mm_unpacklo_epi64(
                    _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row0 + x0)),
                    _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row1 + x0)));
            } else {
                four = _mm_setr_epi32(static_cast<int>(row0[x0]), static_cast<int>(row0[x1]),
                                      static_cast<int>(row1[x0]), static_cast<int>(row1[x1]));
            }
        }
        const __m128i zero = _mm_setzero_si128();
        if constexpr (kColorKey) {
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(four, zero)) & 0x8888) {  // an alpha is 0
                alignas(16) uint32_t texels[4];
                _mm_store_si128(reinterpret_cast<__m128i*>(texels), four);
                if (!ReplaceKeyedTexels(texels, fx, fy)) return false;
                four = _mm_load_si128(reinterpret_cast<const __m128i*>(texels));
            }
        }
        const BilinearWeights& w = kBilinearWeights;
        const __m128i wy0 = _mm_load_si128(reinterpret_cast<const __m128i*>(w.complement[fy]));
        const __m128i wy1 = _mm_load_si128(reinterpret_cast<const __m128i*>(w.fraction[fy]));
        const __m128i wx = _mm_load_si128(reinterpret_cast<const __m128i*>(w.horizontal[fx]));
        const __m128i a = _mm_unpacklo_epi8(four, zero);  // top row
        const __m128i b = _mm_unpackhi_epi8(four, zero);  // bottom row
        __m128i v = _mm_add_epi16(_mm_mullo_epi16(a, wy0), _mm_mullo_epi16(b, wy1));
        v = _mm_srli_epi16(v, 8);  // (left column, right column)
        __m128i h = _mm_mullo_epi16(v, wx);
        h = _mm_srli_epi16(_mm_add_epi16(h, _mm_srli_si128(h, 8)), 8);
        out = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(h, h)));
        return true;
    }
#else
    static PLOVANT_RASTER_INLINE bool SampleBilinear(const TextureInfo& t, Int4 uv, uint32_t& out) {
        const int iu = uv.template Lane<0>() - 128;  // from texel centres
        const int iv = uv.template Lane<1>() - 128;
        const int xi = iu >> kTexelFractionBits;
        const int yi = iv >> kTexelFractionBits;
        const uint32_t fx = static_cast<uint32_t>(iu) & 255u;
        const uint32_t fy = static_cast<uint32_t>(iv) & 255u;
        const int x0 = Addr::U(t, xi), x1 = Addr::U(t, xi + 1);
        const uint32_t* row0 = t.texels + Addr::V(t, yi) * t.pitch;
        const uint32_t* row1 = t.texels + Addr::V(t, yi + 1) * t.pitch;
        uint32_t texels[4] = {row0[x0], row0[x1], row1[x0], row1[x1]};
        if constexpr (kColorKey) {
            if (IsKeyed(texels[0] & texels[1] & texels[2] & texels[3]) &&
                !ReplaceKeyedTexels(texels, fx, fy)) {
                return false;
            }
        }
        out = Bilerp(texels, fx, fy);
        return true;
    }
#endif
};

}  // namespace plovant::raster::detail
