// Triangle set-up and scan conversion.
//
// Set-up computes, for the attribute and colour vectors, their change per pixel in x and
// in y (the planes through the three vertices). Scan conversion walks the rows between
// the top and bottom vertex and fills the span between the left and right edge of each
// row.
//
// Fill convention (Direct3D's top-left rule): pixel (i, j) is drawn when its centre
// (i, j) lies inside the triangle, or on a left edge or a horizontal top edge. Rows run
// from ceil(y_top) up to but excluding ceil(y_bottom), spans from ceil(x_left) up to but
// excluding ceil(x_right).
//
// Edges are walked in 48.16 fixed point: an edge's x on its first row is computed from
// its upper end point and its slope, then the slope is added once per row. Only the
// edge's own end points and its first row enter this, and that row is the same in every
// triangle that has the edge (the first row at or below its upper end, within the
// target), so the two triangles that share an edge find the same x on every row, and
// each pixel along the edge goes to exactly one of them.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/dx7/raster/pixel_pipeline.h"
#include "platform/dx7/raster/raster_internal.h"
#include "platform/dx7/raster/simd.h"

namespace plovant::raster::detail {

inline constexpr int kEdgeFractionBits = 16;

inline int64_t ToEdgeFixed(float x) {
    constexpr float kLimit = 1099511627776.0f;  // 2^40
    x = x < kLimit ? x : kLimit;
    x = x > -kLimit ? x : -kLimit;
    return static_cast<int64_t>(x * 65536.0f);
}

struct EdgeWalk {
    int64_t x;     // x on the current row, 48.16
    int64_t step;  // change per row

    // The first pixel column at or right of the edge: ceil(x), within [lo, hi].
    int Ceil(int lo, int hi) const {
        const int64_t c = (x + ((int64_t{1} << kEdgeFractionBits) - 1)) >> kEdgeFractionBits;
        return static_cast<int>(c < lo ? lo : (c > hi ? hi : c));
    }
};

// The edge from `top` to `bottom` (bottom.y > top.y), positioned on row `first_row`.
inline EdgeWalk StartEdge(const ScreenVertex& top, const ScreenVertex& bottom, int first_row) {
    const float slope = (bottom.x - top.x) / (bottom.y - top.y);
    const float x = top.x + (static_cast<float>(first_row) - top.y) * slope;
    return EdgeWalk{ToEdgeFixed(x), ToEdgeFixed(slope)};
}

template <class P>
void DrawTriangle(const DrawContext& ctx, const ScreenVertex& v0, const ScreenVertex& v1,
                  const ScreenVertex& v2, const TriangleInfo& info, float area2) {
    // Gradients of the attribute and colour vectors.
    const float inv_area = 1.0f / area2;
    const Vec4 dx1 = Vec4::Splat((v1.x - v0.x) * inv_area), dy1 = Vec4::Splat((v1.y - v0.y) * inv_area);
    const Vec4 dx2 = Vec4::Splat((v2.x - v0.x) * inv_area), dy2 = Vec4::Splat((v2.y - v0.y) * inv_area);
    const Vec4 da1 = v1.attr - v0.attr, da2 = v2.attr - v0.attr;
    const Vec4 attr_dx = da1 * dy2 - da2 * dy1;
    const Vec4 attr_dy = da2 * dx1 - da1 * dx2;
    Vec4 color_dx = Vec4::Splat(0.0f), color_dy = Vec4::Splat(0.0f);
    if constexpr (P::kUsesColor) {
        const Vec4 dc1 = v1.color - v0.color, dc2 = v2.color - v0.color;
        color_dx = dc1 * dy2 - dc2 * dy1;
        color_dy = dc2 * dx1 - dc1 * dx2;
    }
    const Bounds bounds = MakeBounds(v0, v1, v2);

    // Sort by y: top, middle, bottom.
    const ScreenVertex* t = &v0;
    const ScreenVertex* m = &v1;
    const ScreenVertex* b = &v2;
    if (m->y < t->y) std::swap(t, m);
    if (b->y < m->y) std::swap(m, b);
    if (m->y < t->y) std::swap(t, m);

    auto clamp_row = [&](int row) {
        return row < ctx.clip_y0 ? ctx.clip_y0 : (row > ctx.clip_y1 ? ctx.clip_y1 : row);
    };
    const int y_top = clamp_row(t->row);
    const int y_mid = clamp_row(m->row);
    const int y_bottom = clamp_row(b->row);
    if (y_top >= y_bottom) return;

    // The long edge runs from top to bottom; it is on the left when the middle vertex
    // lies to its right.
    EdgeWalk long_edge = StartEdge(*t, *b, y_top);
    const bool long_on_left =
        (m->x - t->x) * (b->y - t->y) - (b->x - t->x) * (m->y - t->y) > 0.0f;

    const int x_lo = ctx.clip_x0, x_hi = ctx.clip_x1;
    auto rows = [&](EdgeWalk short_edge, int y_begin, int y_end) {
        uint32_t* color_row = ctx.color + static_cast<ptrdiff_t>(y_begin) * ctx.color_pitch;
        uint16_t* depth_row = nullptr;
        if constexpr (P::kUsesDepth) {
            depth_row = ctx.depth + static_cast<ptrdiff_t>(y_begin) * ctx.depth_pitch;
        }
        for (int y = y_begin; y < y_end; ++y) {
            const EdgeWalk& left = long_on_left ? long_edge : short_edge;
            const EdgeWalk& right = long_on_left ? short_edge : long_edge;
            const int x_begin = left.Ceil(x_lo, x_hi);
            const int x_end = right.Ceil(x_lo, x_hi);
            long_edge.x += long_edge.step;
            short_edge.x += short_edge.step;
            if (x_begin < x_end) {
                // The values at the first pixel's centre, from vertex 0's.
                const Vec4 ox = Vec4::Splat(static_cast<float>(x_begin) - v0.x);
                const Vec4 oy = Vec4::Splat(static_cast<float>(y) - v0.y);
                Vec4 attr = v0.attr + ox * attr_dx + oy * attr_dy;
                Vec4 rgba = v0.color;
                if constexpr (P::kUsesColor) rgba = rgba + ox * color_dx + oy * color_dy;
                for (int x = x_begin; x < x_end; ++x) {
                    P::Run(ctx, info, bounds, color_row + x, P::kUsesDepth ? depth_row + x : nullptr,
                           attr, rgba);
                    attr += attr_dx;
                    if constexpr (P::kUsesColor) rgba += color_dx;
                }
            }
            color_row += ctx.color_pitch;
            if constexpr (P::kUsesDepth) depth_row += ctx.depth_pitch;
        }
    };
    // Rows in the upper part exist only when the middle vertex is strictly lower than
    // the top one, and likewise for the lower part, so no slope divides by zero.
    if (y_top < y_mid) rows(StartEdge(*t, *m, y_top), y_top, y_mid);
    const int y_lower = y_mid > y_top ? y_mid : y_top;
    if (y_lower < y_bottom) rows(StartEdge(*m, *b, y_lower), y_lower, y_bottom);
}

}  // namespace plovant::raster::detail
