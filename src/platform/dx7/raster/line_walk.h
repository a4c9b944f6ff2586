// Lines for wireframe fill (and single points for point fill): one pixel per step
// along the major axis, the pixel whose centre is nearest the line on the minor axis,
// both end points included. The attributes are interpolated linearly in screen space,
// which keeps texture coordinates perspective-correct (u/w, v/w and 1/w are linear).
#pragma once

#include "platform/dx7/raster/pixel_pipeline.h"
#include "platform/dx7/raster/raster_internal.h"

namespace plovant::raster::detail {

// floor(x) for the bounded coordinates of screen vertices (within the guard band).
inline int FloorBounded(float x) {
    const int i = static_cast<int>(x);
    return i - (x < static_cast<float>(i) ? 1 : 0);
}

template <class P>
void DrawLine(const DrawContext& ctx, const ScreenVertex& a, const ScreenVertex& b,
              const TriangleInfo& info) {
    if (ctx.clip_x0 >= ctx.clip_x1 || ctx.clip_y0 >= ctx.clip_y1) return;
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    const bool x_major = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    // Walk in increasing major coordinate.
    const bool reverse = x_major ? dx < 0 : dy < 0;
    const ScreenVertex& p = reverse ? b : a;
    const ScreenVertex& q = reverse ? a : b;
    const float major_p = x_major ? p.x : p.y;
    const float major_q = x_major ? q.x : q.y;
    const float minor_p = x_major ? p.y : p.x;
    const float minor_q = x_major ? q.y : q.x;
    const float length = major_q - major_p;
    const float inv_length = length > 0.0f ? 1.0f / length : 0.0f;

    // The walk is limited to the clip rectangle along the major axis; pixels outside it
    // on the minor axis are skipped.
    const int major_lo = x_major ? ctx.clip_x0 : ctx.clip_y0;
    const int major_hi = (x_major ? ctx.clip_x1 : ctx.clip_y1) - 1;
    const int minor_lo = x_major ? ctx.clip_y0 : ctx.clip_x0;
    const int minor_hi = (x_major ? ctx.clip_y1 : ctx.clip_x1) - 1;
    int begin = FloorBounded(major_p + 0.5f);
    int end = FloorBounded(major_q + 0.5f);
    begin = begin > major_lo ? begin : major_lo;
    end = end < major_hi ? end : major_hi;

    const Bounds bounds = MakeBounds(a, b, b);
    const Vec4 attr_delta = q.attr - p.attr;
    const Vec4 color_delta = q.color - p.color;
    for (int i = begin; i <= end; ++i) {
        float t = (static_cast<float>(i) - major_p) * inv_length;
        t = t < 1.0f ? t : 1.0f;
        t = t > 0.0f ? t : 0.0f;
        const float minor = minor_p + (minor_q - minor_p) * t + 0.5f;
        // Skip when outside the rows (or columns) we may write.
        if (!(minor >= static_cast<float>(minor_lo) && minor < static_cast<float>(minor_hi + 1))) {
            continue;
        }
        const int j = static_cast<int>(minor);
        const int x = x_major ? i : j;
        const int y = x_major ? j : i;
        const Vec4 tv = Vec4::Splat(t);
        uint16_t* depth = nullptr;
        if constexpr (P::kUsesDepth) {
            depth = ctx.depth + static_cast<ptrdiff_t>(y) * ctx.depth_pitch + x;
        }
        P::Run(ctx, info, bounds, ctx.color + static_cast<ptrdiff_t>(y) * ctx.color_pitch + x, depth,
               p.attr + tv * attr_delta, p.color + tv * color_delta);
    }
}

}  // namespace plovant::raster::detail
