// Types shared by the pieces of the rasteriser: the screen-space vertex, the values
// fixed for one draw call, and the signatures of the drawing routines picked per
// triangle. Nothing here is part of the public interface.
#pragma once

#include <cstdint>

#include "platform/dx7/raster/rasteriser.h"
#include "platform/dx7/raster/simd.h"

namespace plovant::raster::detail {

// Screen conventions (those of Direct3D 7): x grows to the right, y downwards, and the
// centre of pixel (i, j) is the point (i, j). Texel i of a texture of width W covers
// u in [i / W, (i + 1) / W], so its centre is at (i + 0.5) / W.

// Depth is carried in depth-buffer units: 0 at min_z, 65535 at max_z.
inline constexpr float kDepthUnits = 65535.0f;
// Texture coordinates are carried in texels with 8 bits of fraction.
inline constexpr int kTexelFractionBits = 8;
inline constexpr float kTexelScale = 256.0f;
// Fixed-point texture coordinates are limited to this magnitude before conversion to
// int, so wild coordinates cannot overflow (2^30 / 256 = four million texels).
inline constexpr float kTexelCoordinateLimit = 1073741824.0f;

// A vertex after the divide by w and the viewport mapping. Every attribute in `attr`
// and `color` is linear in screen space: u/w and v/w (which give perspective-correct u
// and v per pixel), z, 1/w, and the diffuse colour (Gouraud shading is linear in screen
// space, as in Direct3D).
struct alignas(16) ScreenVertex {
    Vec4 attr;   // (u · width · 256 / w, v · height · 256 / w, depth units, 1 / w)
    Vec4 color;  // (b, g, r, a), 0 … 255, +0.5 so that truncation rounds; a = 255.5
    Vec4 range;  // (u · width · 256, v · height · 256, depth units, 0): the texel
                 // coordinates and depth at the vertex, which bound the interpolated ones
    float x, y;
    int row;  // ceil(y), the first pixel row at or below the vertex, limited to the clip
              // rows [clip_y0, clip_y1]
};
inline constexpr int kLaneU = 0, kLaneV = 1, kLaneZ = 2, kLaneRw = 3;

// The texture as the samplers see it.
struct TextureInfo {
    const uint32_t* texels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
    int width_mask = 0;  // width − 1 (used when the width is a power of two)
    int height_mask = 0;
    bool wrap_u = true;
    bool wrap_v = true;
    const uint32_t* quads = nullptr;  // see Texture::quads
};

// Per-triangle values that do not come from gradients.
struct TriangleInfo {
    uint32_t flat_color = 0xFF000000u;  // 0xFFRRGGBB, flat untextured triangles
};

struct DrawContext;
struct PixelBatch;

// Draws the queued pixels of a batch with the routine that queued them, and empties it.
using BatchFn = void (*)(const DrawContext& ctx, PixelBatch& batch);
// Walks the rows of one triangle whose vertices lie inside the guard band and queues its
// pixels, to be drawn by `draw`.
using TriangleFn = void (*)(const DrawContext& ctx, const ScreenVertex& a, const ScreenVertex& b,
                            const ScreenVertex& c, const TriangleInfo& info, BatchFn draw);
// Draws the segment from a to b (both ends included); a == b draws one point.
using LineFn = void (*)(const DrawContext& ctx, const ScreenVertex& a, const ScreenVertex& b,
                        const TriangleInfo& info);

// How a triangle's colour is chosen; indexes the per-draw routine tables.
enum ColorVariant : int {
    kColorFlat = 0,     // one diffuse colour for the whole triangle (not white if textured)
    kColorGouraud = 1,  // diffuse colours differ between the vertices
    kColorWhite = 2,    // flat white: modulation leaves the texel unchanged
    kColorVariantCount = 3,
};

// Everything fixed for one draw call.
struct DrawContext {
    // The pixels that may be written: viewport ∩ target, [x0, x1) × [y0, y1).
    int clip_x0 = 0, clip_y0 = 0, clip_x1 = 0, clip_y1 = 0;
    // clip_x0 − 0.5 and clip_x1 − 0.5: a triangle whose vertices lie within them needs no
    // limiting of its spans to the clip columns.
    float inside_x0 = 0, inside_x1 = 0;

    // Viewport mapping: x_screen = centre_x + x/w · scale_x, y_screen = centre_y − y/w ·
    // scale_y, depth = z_offset + z/w · z_scale.
    float centre_x = 0, centre_y = 0, scale_x = 0, scale_y = 0;
    float z_offset = 0, z_scale = 0;
    // Vertices with |x| or |y| beyond guard · w are clipped, which keeps screen
    // coordinates within a few thousand pixels of the viewport.
    float guard = 1;
    // Texture coordinates are scaled into fixed-point texels.
    float u_scale = 0, v_scale = 0;
    // The same mappings as vectors: (x, y, z, w) · (1/w) · project_scale + project_offset
    // gives (x, y, depth, 0) on the screen; (u, v, 0, 0) · texel_scale gives texels.
    Vec4 project_scale = Vec4::Splat(0.0f);
    Vec4 project_offset = Vec4::Splat(0.0f);
    Vec4 texel_scale = Vec4::Splat(0.0f);

    uint32_t* color = nullptr;
    int color_pitch = 0;
    uint16_t* depth = nullptr;
    int depth_pitch = 0;

    // Bit 0: pass when the new depth is less than the stored one, bit 1: equal,
    // bit 2: greater. Used by the general depth-test routines.
    uint32_t depth_pass_mask = 0;

    TextureInfo texture;
    bool textured = false;
    bool uses_diffuse = true;    // the colour op reads the vertex colours
    bool choose_filter = false;  // minification and magnification filters differ
    int mag_filter = 0;          // 0 point, 1 bilinear
    int min_filter = 0;
    CullMode cull = CullMode::None;
    FillMode fill = FillMode::Solid;

    TriangleFn triangle_fns[kColorVariantCount][2] = {};  // [colour variant][filter]
    BatchFn batch_fns[kColorVariantCount][2] = {};        // their pixels' routines
    // Where the triangle routines queue their pixels (see triangle_walk.h); drawn out
    // at the end of the draw call.
    PixelBatch* batch = nullptr;
    LineFn line_fns[kColorVariantCount][2] = {};
};

}  // namespace plovant::raster::detail
