// Lines for wireframe fill (and single points for point fill): one pixel per step
// along the major axis, the pixel whose centre is nearest the line on the minor axis,
// both end points included. The attributes are stepped linearly in screen space, which
// keeps texture coordinates perspective-correct (u/w, v/w and 1/w are linear), and
// clamped to the range of the two end points.
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

    if (begin > end) return;

    // Values at the first pixel, then stepped by one pixel along the major axis.
    const Bounds bounds = MakeBounds(a, b, b);
    // The first pixel may lie up to half a pixel before the end point: the values are
    // extrapolated there (and the attributes clamped to the end points' range).
    const float t = (static_cast<float>(begin) - major_p) * inv_length;
    const Vec4 step_t = Vec4::Splat(inv_length);
    const Vec4 attr_delta = q.attr - p.attr;
    const Vec4 attr_step = attr_delta * step_t;
    Vec4 attr = p.attr + Vec4::Splat(t) * attr_delta;
    Vec4 color_step = Vec4::Splat(0.0f);
    Vec4 rgba = p.color;
    if constexpr (P::kUsesColor) {
        const Vec4 color_delta = q.color - p.color;
        color_step = color_delta * step_t;
        rgba = p.color + Vec4::Splat(t) * color_delta;
    }
    const float minor_step = (minor_q - minor_p) * inv_length;
    float minor = minor_p + (minor_q - minor_p) * t + 0.5f;
    const float minor_begin = static_cast<float>(minor_lo);
    const float minor_end = static_cast<float>(minor_hi + 1);
    for (int i = begin; i <= end; ++i) {
        // Skip pixels outside the rows (or columns) we may write.
        if (minor >= minor_begin && minor < minor_end) {
            const int j = static_cast<int>(minor);  // >= 0: truncation is floor
            const int x = x_major ? i : j;
            const int y = x_major ? j : i;
            uint16_t* depth = nullptr;
            if constexpr (P::kUsesDepth) {
                depth = ctx.depth + static_cast<ptrdiff_t>(y) * ctx.depth_pitch + x;
            }
            P::Run(ctx, ctx.texture, info, bounds,
                   ctx.color + static_cast<ptrdiff_t>(y) * ctx.color_pitch + x,
                   depth, attr, rgba);
        }
        minor += minor_step;
        attr += attr_step;
        if constexpr (P::kUsesColor) rgba += color_step;
    }
}

}  // namespace plovant::raster::detail
