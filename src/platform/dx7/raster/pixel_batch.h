// The batch in which the triangle routines queue their pixels before drawing them (see
// triangle_walk.h), one per draw call.
#pragma once

#include <cstdint>

#include "platform/dx7/raster/pixel_pipeline.h"
#include "platform/dx7/raster/raster_internal.h"
#include "platform/dx7/raster/simd.h"

namespace plovant::raster::detail {

// What a queued pixel needs of its triangle.
struct TriangleSlot {
    Bounds bounds;
    TriangleInfo info;
};

// Pixels waiting to be drawn, one per entry, in drawing order: those of consecutive
// triangles of one draw call that use the same routine.
struct PixelBatch {
    // A row writes four entries: the batch is drawn first when fewer places are left.
    static constexpr int kCapacity = 512;
    static constexpr int kTriangles = 128;
    alignas(16) Vec4 attr[kCapacity];
    alignas(16) Vec4 rgba[kCapacity];  // Gouraud routines
    alignas(16) int32_t color_index[kCapacity];
    alignas(16) int32_t depth_index[kCapacity];
    alignas(16) uint8_t triangle[kCapacity];  // index into `triangles`
    TriangleSlot triangles[kTriangles];
    int count = 0;           // queued pixels
    int triangle_count = 0;  // triangles in use
    BatchFn draw = nullptr;  // the routine of the queued pixels

    // After drawing: no pixels and no triangles queued (the routine stays).
    void Empty() {
        count = 0;
        triangle_count = 0;
    }
};
static_assert(PixelBatch::kTriangles <= 256, "a pixel's triangle is a byte");

// Draws queued pixel k by the one-pixel path of pipeline P; `texture` is the draw's.
template <class P>
PLOVANT_RASTER_INLINE void DrawQueuedPixel(const DrawContext& ctx, const TextureInfo& texture,
                                           const PixelBatch& batch, int k) {
    const TriangleSlot& triangle = batch.triangles[batch.triangle[k]];
    const Vec4 rgba = P::kUsesColor ? batch.rgba[k] : Vec4::Splat(0.0f);
    P::Run(ctx, texture, triangle.info, triangle.bounds, ctx.color + batch.color_index[k],
           P::kUsesDepth ? ctx.depth + batch.depth_index[k] : nullptr, batch.attr[k], rgba);
}

}  // namespace plovant::raster::detail
