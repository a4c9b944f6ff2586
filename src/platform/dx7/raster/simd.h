// Four floats handled together: the attributes of a pixel (u/w, v/w, z, 1/w) and its
// colour (b, g, r, a) are each stepped, clamped and converted as one vector. SSE2 where
// the compiler offers it (every x86-64), plain floats elsewhere; the two give the same
// pixels except for rounding in the last bit of bilinear blends.
#pragma once

#include <cstdint>

// SSE2 is part of every x86-64 target; GCC and Clang say so with __SSE2__, MSVC with
// _M_X64 (or _M_IX86_FP >= 2 on 32-bit x86).
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define PLOVANT_RASTER_SSE2 1
#include <emmintrin.h>
#endif

// For the small functions of the per-pixel path, which must be inlined into the span
// loops whatever the compiler's size heuristics say.
#if defined(__GNUC__) || defined(__clang__)
#define PLOVANT_RASTER_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define PLOVANT_RASTER_INLINE __forceinline
#else
#define PLOVANT_RASTER_INLINE inline
#endif
// The same for a lambda (written after its parameter list).
#if defined(__GNUC__) || defined(__clang__)
#define PLOVANT_RASTER_LAMBDA_INLINE __attribute__((always_inline))
#else
#define PLOVANT_RASTER_LAMBDA_INLINE
#endif

// The triangle routines are built twice on x86-64 with GCC or Clang: for the SSE2 that
// every such processor has, and for AVX2 (chosen at run time, see instruction_set.h),
// whose three-operand instructions save most of the register copies of the pixel path.
// Both builds run the same source and give the same pixels.
#if defined(PLOVANT_RASTER_SSE2) && (defined(__GNUC__) || defined(__clang__)) && \
    defined(__x86_64__)
#define PLOVANT_RASTER_AVX2_PATH 1
#define PLOVANT_RASTER_TARGET_AVX2 __attribute__((target("avx2")))
#endif

namespace plovant::raster::detail {

#if defined(PLOVANT_RASTER_SSE2)

struct Vec4 {
    __m128 v;

    static Vec4 Set(float a, float b, float c, float d) { return {_mm_setr_ps(a, b, c, d)}; }
    static Vec4 Splat(float a) { return {_mm_set1_ps(a)}; }
    float Lane0() const { return _mm_cvtss_f32(v); }

    friend Vec4 operator+(Vec4 a, Vec4 b) { return {_mm_add_ps(a.v, b.v)}; }
    friend Vec4 operator-(Vec4 a, Vec4 b) { return {_mm_sub_ps(a.v, b.v)}; }
    friend Vec4 operator*(Vec4 a, Vec4 b) { return {_mm_mul_ps(a.v, b.v)}; }
    friend Vec4 operator/(Vec4 a, Vec4 b) { return {_mm_div_ps(a.v, b.v)}; }
    Vec4& operator+=(Vec4 b) {
        v = _mm_add_ps(v, b.v);
        return *this;
    }
};

inline void StoreVec(float* out, Vec4 a) { _mm_store_ps(out, a.v); }

// Per-lane minimum and maximum; when a lane of `a` is NaN the lane of `b` is returned.
inline Vec4 Min(Vec4 a, Vec4 b) { return {_mm_min_ps(a.v, b.v)}; }
inline Vec4 Max(Vec4 a, Vec4 b) { return {_mm_max_ps(a.v, b.v)}; }

// min(max(x, lo), hi) per lane, NaN → hi (minps returns its second operand when either
// is NaN). lo <= hi.
inline Vec4 ClampNaNHigh(Vec4 x, Vec4 lo, Vec4 hi) {
    return {_mm_max_ps(_mm_min_ps(x.v, hi.v), lo.v)};
}

// The attribute vector (u/w, v/w, z, 1/w) divided by its last lane: lanes 0 and 1 become
// u and v. The other lanes are not used (they are whatever the division gives).
inline Vec4 DivideUvByW(Vec4 x) {
    return {_mm_div_ps(x.v, _mm_shuffle_ps(x.v, x.v, _MM_SHUFFLE(3, 3, 3, 3)))};
}

// Four ints.
struct Int4 {
    __m128i v;

    template <int kLane>
    int Lane() const {
        if constexpr (kLane == 0)
            return _mm_cvtsi128_si32(v);
        else
            return _mm_cvtsi128_si32(_mm_shuffle_epi32(v, kLane * 0x55));
    }
};
// Truncates each lane to an int; the lanes must lie within the int range.
inline Int4 Truncate(Vec4 x) { return {_mm_cvttps_epi32(x.v)}; }

// A colour vector (b, g, r, a), each 0 … 255 (+0.5), packed as 0xAARRGGBB with each
// channel truncated and saturated to 0 … 255 (NaN → 0).
inline uint32_t PackColor(Vec4 c) {
    const __m128i i = _mm_cvttps_epi32(c.v);
    const __m128i w = _mm_packs_epi32(i, i);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(w, w)));
}

// texel × colour per channel, the colour (b, g, r, a) in 0 … 255 (+0.5) as for
// PackColor; 255 leaves the channel unchanged. The top byte of the result is 0xFF.
inline uint32_t ModulateColor(uint32_t texel, Vec4 c) {
    const __m128i zero = _mm_setzero_si128();
    __m128i m = _mm_cvttps_epi32(c.v);
    m = _mm_packs_epi32(m, m);
    m = _mm_max_epi16(_mm_min_epi16(m, _mm_set1_epi16(255)), zero);
    m = _mm_add_epi16(m, _mm_srli_epi16(m, 7));  // 0 … 256
    const __m128i t = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(texel)), zero);
    const __m128i p = _mm_srli_epi16(_mm_mullo_epi16(t, m), 8);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(p, p))) | 0xFF000000u;
}

#else  // plain floats

struct Vec4 {
    float v[4];

    static Vec4 Set(float a, float b, float c, float d) { return {{a, b, c, d}}; }
    static Vec4 Splat(float a) { return {{a, a, a, a}}; }
    float Lane0() const { return v[0]; }

    friend Vec4 operator+(Vec4 a, Vec4 b) {
        return {{a.v[0] + b.v[0], a.v[1] + b.v[1], a.v[2] + b.v[2], a.v[3] + b.v[3]}};
    }
    friend Vec4 operator-(Vec4 a, Vec4 b) {
        return {{a.v[0] - b.v[0], a.v[1] - b.v[1], a.v[2] - b.v[2], a.v[3] - b.v[3]}};
    }
    friend Vec4 operator*(Vec4 a, Vec4 b) {
        return {{a.v[0] * b.v[0], a.v[1] * b.v[1], a.v[2] * b.v[2], a.v[3] * b.v[3]}};
    }
    friend Vec4 operator/(Vec4 a, Vec4 b) {
        return {{a.v[0] / b.v[0], a.v[1] / b.v[1], a.v[2] / b.v[2], a.v[3] / b.v[3]}};
    }
    Vec4& operator+=(Vec4 b) {
        *this = *this + b;
        return *this;
    }
};

inline void StoreVec(float* out, Vec4 a) {
    for (int i = 0; i < 4; ++i) out[i] = a.v[i];
}

inline Vec4 Min(Vec4 a, Vec4 b) {
    Vec4 out;
    for (int i = 0; i < 4; ++i) out.v[i] = a.v[i] < b.v[i] ? a.v[i] : b.v[i];
    return out;
}
inline Vec4 Max(Vec4 a, Vec4 b) {
    Vec4 out;
    for (int i = 0; i < 4; ++i) out.v[i] = a.v[i] > b.v[i] ? a.v[i] : b.v[i];
    return out;
}

inline Vec4 ClampNaNHigh(Vec4 x, Vec4 lo, Vec4 hi) {
    Vec4 out;
    for (int i = 0; i < 4; ++i) {
        float f = x.v[i] < hi.v[i] ? x.v[i] : hi.v[i];
        out.v[i] = f > lo.v[i] ? f : lo.v[i];
    }
    return out;
}

inline Vec4 DivideUvByW(Vec4 x) {
    // 1/w interpolated across a sliver can reach 0; the result is clamped afterwards,
    // so any large quotient will do (and C++ leaves a division by zero undefined).
    const float d = x.v[3] != 0.0f ? x.v[3] : 1e-30f;
    return {{x.v[0] / d, x.v[1] / d, x.v[2], x.v[3]}};
}

struct Int4 {
    int32_t lane[4];

    template <int kLane>
    int Lane() const {
        return lane[kLane];
    }
};
inline Int4 Truncate(Vec4 x) {
    return {{static_cast<int32_t>(x.v[0]), static_cast<int32_t>(x.v[1]),
             static_cast<int32_t>(x.v[2]), static_cast<int32_t>(x.v[3])}};
}

// A colour lane to 0 … 255 as the SSE2 conversion and saturation give it (NaN → 0).
inline uint32_t ChannelOf(float c) {
    c = c > 0.0f ? c : 0.0f;  // NaN → 0
    c = c < 255.0f ? c : 255.0f;
    return static_cast<uint32_t>(c);
}

inline uint32_t PackColor(Vec4 c) {
    return (ChannelOf(c.v[3]) << 24) | (ChannelOf(c.v[2]) << 16) | (ChannelOf(c.v[1]) << 8) |
           ChannelOf(c.v[0]);
}

inline uint32_t ModulateColor(uint32_t texel, Vec4 c) {
    uint32_t out = 0xFF000000u;
    for (int i = 0; i < 3; ++i) {
        const uint32_t m = ChannelOf(c.v[i]);
        out |= ((((texel >> (8 * i)) & 255u) * (m + (m >> 7))) >> 8) << (8 * i);
    }
    return out;
}

#endif

}  // namespace plovant::raster::detail
