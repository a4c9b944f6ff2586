// Triangle set-up and scan conversion.
//
// Set-up computes, for each attribute the pipeline reads, its change per pixel in x and
// in y (the attribute's plane through the three vertices). Scan conversion walks the
// rows between the top and bottom vertex and fills the span between the left and right
// edge of each row.
//
// Fill convention (Direct3D's top-left rule): pixel (i, j) is drawn when its centre
// (i, j) lies inside the triangle, or on a left edge or a horizontal top edge. Rows run
// from ceil(y_top) up to but excluding ceil(y_bottom), spans from ceil(x_left) up to but
// excluding ceil(x_right). An edge's x on a row is computed from its upper end point
// and its slope only, so the two triangles that share an edge compute the same x on
// every row, and each pixel along the edge goes to exactly one of them.
#pragma once

#include <utility>

#include "platform/dx7/raster/pixel_pipeline.h"
#include "platform/dx7/raster/raster_internal.h"

namespace plovant::raster::detail {

// ceil(x) limited to [lo, hi]; x may be anything, NaN included (→ hi).
inline int CeilClamped(float x, int lo, int hi) {
    const float flo = static_cast<float>(lo);
    const float fhi = static_cast<float>(hi);
    x = x < fhi ? x : fhi;
    x = x > flo ? x : flo;
    // lo >= 0, so truncation is floor.
    const int i = static_cast<int>(x);
    return i + (x > static_cast<float>(i) ? 1 : 0);
}

// The x of an edge on row y: from its upper end (x0, y0) with slope dx/dy.
struct Edge {
    float x0, y0, slope;
    float At(float y) const { return x0 + (y - y0) * slope; }
};

inline Edge MakeEdge(const ScreenVertex& top, const ScreenVertex& bottom) {
    return Edge{top.x, top.y, (bottom.x - top.x) / (bottom.y - top.y)};
}

template <class P>
inline void FillSpan(const DrawContext& ctx, const TriangleInfo& info, const Bounds& bounds, int y,
                     int x_begin, int x_end, Attrs a, const Attrs& dx) {
    uint32_t* color = ctx.color + static_cast<ptrdiff_t>(y) * ctx.color_pitch;
    uint16_t* depth = nullptr;
    if constexpr (P::kUsesDepth) depth = ctx.depth + static_cast<ptrdiff_t>(y) * ctx.depth_pitch;
    for (int x = x_begin; x < x_end; ++x) {
        P::Run(ctx, info, bounds, color + x, P::kUsesDepth ? depth + x : nullptr, a);
        P::Step(a, dx);
    }
}

template <class P>
void DrawTriangle(const DrawContext& ctx, const ScreenVertex& v0, const ScreenVertex& v1,
                  const ScreenVertex& v2, const TriangleInfo& info, float area2) {
    // Attribute gradients.
    const float inv_area = 1.0f / area2;
    const float dx1 = v1.x - v0.x, dy1 = v1.y - v0.y;
    const float dx2 = v2.x - v0.x, dy2 = v2.y - v0.y;
    Attrs ddx{}, ddy{};
    auto gradient = [&](float a0, float a1, float a2, float& gx, float& gy) {
        const float d1 = a1 - a0, d2 = a2 - a0;
        gx = (d1 * dy2 - d2 * dy1) * inv_area;
        gy = (d2 * dx1 - d1 * dx2) * inv_area;
    };
    if constexpr (P::kUsesDepth) gradient(v0.z, v1.z, v2.z, ddx.z, ddy.z);
    if constexpr (P::kTextured) {
        gradient(v0.rw, v1.rw, v2.rw, ddx.rw, ddy.rw);
        gradient(v0.uw, v1.uw, v2.uw, ddx.uw, ddy.uw);
        gradient(v0.vw, v1.vw, v2.vw, ddx.vw, ddy.vw);
    }
    if constexpr (P::kUsesColor) {
        gradient(v0.b, v1.b, v2.b, ddx.b, ddy.b);
        gradient(v0.g, v1.g, v2.g, ddx.g, ddy.g);
        gradient(v0.r, v1.r, v2.r, ddx.r, ddy.r);
    }

    const Bounds bounds = MakeBounds<P::kUsesDepth, P::kTextured>(v0, v1, v2);

    // Sort by y: top, middle, bottom.
    const ScreenVertex* t = &v0;
    const ScreenVertex* m = &v1;
    const ScreenVertex* b = &v2;
    if (m->y < t->y) std::swap(t, m);
    if (b->y < m->y) std::swap(m, b);
    if (m->y < t->y) std::swap(t, m);

    const int y_top = CeilClamped(t->y, ctx.clip_y0, ctx.clip_y1);
    const int y_mid = CeilClamped(m->y, ctx.clip_y0, ctx.clip_y1);
    const int y_bottom = CeilClamped(b->y, ctx.clip_y0, ctx.clip_y1);
    if (y_top >= y_bottom) return;

    // The long edge runs from top to bottom; it is on the left when the middle vertex
    // lies to its right.
    const Edge long_edge = MakeEdge(*t, *b);
    const bool long_on_left =
        (m->x - t->x) * (b->y - t->y) - (b->x - t->x) * (m->y - t->y) > 0.0f;

    auto rows = [&](const Edge& short_edge, int y_begin, int y_end) {
        for (int y = y_begin; y < y_end; ++y) {
            const float fy = static_cast<float>(y);
            const float x_long = long_edge.At(fy);
            const float x_short = short_edge.At(fy);
            const float x_left = long_on_left ? x_long : x_short;
            const float x_right = long_on_left ? x_short : x_long;
            const int x_begin = CeilClamped(x_left, ctx.clip_x0, ctx.clip_x1);
            const int x_end = CeilClamped(x_right, ctx.clip_x0, ctx.clip_x1);
            if (x_begin >= x_end) continue;
            // The attributes at the first pixel's centre, from vertex 0's values.
            const float ox = static_cast<float>(x_begin) - v0.x;
            const float oy = fy - v0.y;
            Attrs a{};
            if constexpr (P::kUsesDepth) a.z = v0.z + ox * ddx.z + oy * ddy.z;
            if constexpr (P::kTextured) {
                a.rw = v0.rw + ox * ddx.rw + oy * ddy.rw;
                a.uw = v0.uw + ox * ddx.uw + oy * ddy.uw;
                a.vw = v0.vw + ox * ddx.vw + oy * ddy.vw;
            }
            if constexpr (P::kUsesColor) {
                a.b = v0.b + ox * ddx.b + oy * ddy.b;
                a.g = v0.g + ox * ddx.g + oy * ddy.g;
                a.r = v0.r + ox * ddx.r + oy * ddy.r;
            }
            FillSpan<P>(ctx, info, bounds, y, x_begin, x_end, a, ddx);
        }
    };
    // Rows in the upper part exist only when the middle vertex is strictly lower than
    // the top one, and likewise for the lower part, so no slope divides by zero.
    if (y_top < y_mid) rows(MakeEdge(*t, *m), y_top, y_mid);
    const int y_lower = y_mid > y_top ? y_mid : y_top;
    if (y_lower < y_bottom) rows(MakeEdge(*m, *b), y_lower, y_bottom);
}

}  // namespace plovant::raster::detail
