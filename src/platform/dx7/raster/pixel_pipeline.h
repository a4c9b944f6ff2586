// What happens to one pixel: depth test, texture sample and colour key, colour
// combination, writes. Every choice is a template parameter, so a span loop built on a
// PixelPipeline contains only the work its state asks for.
#pragma once

#include <cstdint>

#include "platform/dx7/raster/raster_internal.h"
#include "platform/dx7/raster/simd.h"
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

// The range each attribute lane can take over one triangle (or line): the values at its
// vertices, lanes (u, v, z, 1/w) with u and v already divided by w. Interpolated values
// are clamped into it before conversion to integers. That keeps the conversions defined
// for any input, and stops rounding in a sliver triangle's steep gradients from making
// a depth or texel far from the triangle's own. The 1/w lane is not used (0).
struct Bounds {
    Vec4 lo, hi;
};

// The lanes of the three vertices' `range`, limited so that truncation to int is
// defined (NaN → the lower limit).
inline Bounds MakeBounds(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c) {
    constexpr float kLimit = kTexelCoordinateLimit;
    const Vec4 limit_lo = Vec4::Set(-kLimit, -kLimit, 0.0f, 0.0f);
    const Vec4 limit_hi = Vec4::Set(kLimit, kLimit, kDepthUnits, 0.0f);
    const Vec4 lo = Min(Min(a.range, b.range), c.range);
    const Vec4 hi = Max(Max(a.range, b.range), c.range);
    return Bounds{Min(Max(lo, limit_lo), limit_hi), Min(Max(hi, limit_lo), limit_hi)};
}

template <DepthMode kDepthMode, bool kWritesDepth, Shade kShadeMode, class SamplerType>
struct PixelPipeline {
    static constexpr DepthMode kDepth = kDepthMode;
    static constexpr bool kDepthWrite = kWritesDepth;
    static constexpr Shade kShade = kShadeMode;
    using Sampler = SamplerType;
    static constexpr bool kTextured = Sampler::kEnabled;
    static constexpr bool kUsesDepth = kDepth != DepthMode::Off;
    static constexpr bool kUsesColor = kShade == Shade::Gouraud || kShade == Shade::TextureGouraud;
    static_assert(kTextured == (kShade == Shade::Texture || kShade == Shade::TextureGouraud));

    // One pixel with attributes `attr` (see ScreenVertex) and colour `rgba`; `color` and
    // `depth` point at it (depth only when kUsesDepth). `texture` is the draw's texture.
    static PLOVANT_RASTER_INLINE void Run(const DrawContext& ctx, const TextureInfo& texture,
                                          const TriangleInfo& info, const Bounds& bounds,
                                          uint32_t* color, uint16_t* depth, Vec4 attr, Vec4 rgba) {
        // The depth test first, on the undivided vector (z is linear in screen space), so
        // a hidden pixel costs no division.
        uint32_t z = 0;
        if constexpr (kUsesDepth) {
            z = static_cast<uint32_t>(
                Truncate(ClampNaNHigh(attr, bounds.lo, bounds.hi)).template Lane<kLaneZ>());
            if constexpr (kDepth == DepthMode::LessEqual) {
                if (z > *depth) return;
            } else {
                const uint32_t stored = *depth;
                const uint32_t index = (z > stored) + (z >= stored);  // 0 less, 1 equal, 2 greater
                if (!((ctx.depth_pass_mask >> index) & 1u)) return;
            }
        }

        uint32_t out;
        if constexpr (kTextured) {
            const Int4 uv = Truncate(ClampNaNHigh(DivideUvByW(attr), bounds.lo, bounds.hi));
            uint32_t texel;
            if (!Sampler::Sample(texture, uv, texel)) return;
            if constexpr (kShade == Shade::Texture) {
                out = texel | 0xFF000000u;
            } else {
                out = ModulateColor(texel, rgba);
            }
        } else if constexpr (kShade == Shade::Flat) {
            out = info.flat_color;
        } else {
            out = PackColor(rgba);
        }

        *color = out;
        if constexpr (kUsesDepth && kDepthWrite) *depth = static_cast<uint16_t>(z);
    }
};

}  // namespace plovant::raster::detail
