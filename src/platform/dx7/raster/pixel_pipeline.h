// What happens to one pixel: depth test, texture sample and colour key, colour
// combination, writes. Every choice is a template parameter, so a span loop built on a
// PixelPipeline contains only the work its state asks for.
#pragma once

#include <cstdint>

#include "platform/dx7/raster/raster_internal.h"
#include "platform/dx7/raster/texture_sampling.h"

namespace plovant::raster::detail {

enum class DepthMode : uint8_t {
    Off,        // no test, no write
    LessEqual,  // the usual test, hard-wired
    Masked,     // any other compare function, through DrawContext::depth_pass_mask
};

// Where the written colour comes from.
enum class Shade : uint8_t {
    Flat,            // TriangleInfo::flat_color
    Gouraud,         // interpolated diffuse
    Texture,         // the texel
    TextureGouraud,  // texel × interpolated diffuse
};

// The attributes of a point, linear in screen space (see ScreenVertex).
struct Attrs {
    float z, rw, uw, vw, b, g, r;
};

// The range an attribute can take over one triangle (or line): the values at its
// vertices. Interpolated values are clamped into it before conversion to integers, which
// both keeps the conversions defined for any input and stops rounding in a sliver
// triangle's steep gradients from producing a depth or texel far from the triangle's own.
struct Bounds {
    float z_lo = 0, z_hi = 0;  // within [0, kDepthUnits]
    float u_lo = 0, u_hi = 0;  // within ±kTexelCoordinateLimit
    float v_lo = 0, v_hi = 0;
};

inline float Min3(float a, float b, float c) {
    const float m = a < b ? a : b;
    return m < c ? m : c;
}
inline float Max3(float a, float b, float c) {
    const float m = a > b ? a : b;
    return m > c ? m : c;
}
// Limits a bound into [lo, hi]; NaN → lo.
inline float ClampBound(float x, float lo, float hi) {
    x = x > lo ? x : lo;
    return x < hi ? x : hi;
}

template <bool kDepth, bool kTexture>
inline Bounds MakeBounds(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c) {
    Bounds bounds;
    if constexpr (kDepth) {
        bounds.z_lo = ClampBound(Min3(a.z, b.z, c.z), 0.0f, kDepthUnits);
        bounds.z_hi = ClampBound(Max3(a.z, b.z, c.z), 0.0f, kDepthUnits);
    }
    if constexpr (kTexture) {
        constexpr float kLimit = kTexelCoordinateLimit;
        bounds.u_lo = ClampBound(Min3(a.us, b.us, c.us), -kLimit, kLimit);
        bounds.u_hi = ClampBound(Max3(a.us, b.us, c.us), -kLimit, kLimit);
        bounds.v_lo = ClampBound(Min3(a.vs, b.vs, c.vs), -kLimit, kLimit);
        bounds.v_hi = ClampBound(Max3(a.vs, b.vs, c.vs), -kLimit, kLimit);
    }
    return bounds;
}

// x limited to [lo, hi], written so that NaN gives hi; lo and hi are finite.
inline float Clamp(float x, float lo, float hi) {
    x = x < hi ? x : hi;
    return x > lo ? x : lo;
}
inline uint32_t ToDepth(float z, const Bounds& b) {
    return static_cast<uint32_t>(static_cast<int>(Clamp(z, b.z_lo, b.z_hi)));
}
inline uint32_t ToChannel(float c) {
    return static_cast<uint32_t>(static_cast<int>(Clamp(c, 0.0f, 255.0f)));
}

// texel × colour per channel, with the multipliers in 0 … 256 (256 leaves it unchanged).
inline uint32_t Modulate(uint32_t texel, uint32_t mr, uint32_t mg, uint32_t mb) {
    const uint32_t r = (((texel >> 16) & 255u) * mr) >> 8;
    const uint32_t g = (((texel >> 8) & 255u) * mg) >> 8;
    const uint32_t b = ((texel & 255u) * mb) >> 8;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}
// A channel 0 … 255 as a multiplier 0 … 256.
inline uint32_t ToMultiplier(uint32_t c) { return c + (c >> 7); }

template <DepthMode kDepth, bool kDepthWrite, Shade kShade, class Sampler>
struct PixelPipeline {
    static constexpr bool kTextured = Sampler::kEnabled;
    static constexpr bool kUsesDepth = kDepth != DepthMode::Off;
    static constexpr bool kUsesColor = kShade == Shade::Gouraud || kShade == Shade::TextureGouraud;
    static_assert(kTextured == (kShade == Shade::Texture || kShade == Shade::TextureGouraud));

    // Adds the per-step change `d` to the attributes this pipeline reads.
    static inline void Step(Attrs& a, const Attrs& d) {
        if constexpr (kUsesDepth) a.z += d.z;
        if constexpr (kTextured) {
            a.rw += d.rw;
            a.uw += d.uw;
            a.vw += d.vw;
        }
        if constexpr (kUsesColor) {
            a.b += d.b;
            a.g += d.g;
            a.r += d.r;
        }
    }

    // One pixel; `color` and `depth` point at it (depth only when kUsesDepth).
    static inline void Run(const DrawContext& ctx, const TriangleInfo& info, const Bounds& bounds,
                           uint32_t* color, uint16_t* depth, const Attrs& a) {
        uint32_t z = 0;
        if constexpr (kDepth == DepthMode::LessEqual) {
            z = ToDepth(a.z, bounds);
            if (z > *depth) return;
        } else if constexpr (kDepth == DepthMode::Masked) {
            z = ToDepth(a.z, bounds);
            const uint32_t stored = *depth;
            const uint32_t index = (z > stored) + (z >= stored);  // 0 less, 1 equal, 2 greater
            if (!((ctx.depth_pass_mask >> index) & 1u)) return;
        }

        uint32_t out;
        if constexpr (kTextured) {
            const float inv_rw = 1.0f / a.rw;
            uint32_t texel;
            const int iu = static_cast<int>(Clamp(a.uw * inv_rw, bounds.u_lo, bounds.u_hi));
            const int iv = static_cast<int>(Clamp(a.vw * inv_rw, bounds.v_lo, bounds.v_hi));
            if (!Sampler::Sample(ctx.texture, iu, iv, texel)) {
                return;
            }
            if constexpr (kShade == Shade::Texture) {
                out = texel | 0xFF000000u;
            } else {
                out = Modulate(texel, ToMultiplier(ToChannel(a.r)), ToMultiplier(ToChannel(a.g)),
                               ToMultiplier(ToChannel(a.b)));
            }
        } else if constexpr (kShade == Shade::Flat) {
            out = info.flat_color;
        } else {
            out = 0xFF000000u | (ToChannel(a.r) << 16) | (ToChannel(a.g) << 8) | ToChannel(a.b);
        }

        *color = out;
        if constexpr (kUsesDepth && kDepthWrite) *depth = static_cast<uint16_t>(z);
    }
};

}  // namespace plovant::raster::detail
