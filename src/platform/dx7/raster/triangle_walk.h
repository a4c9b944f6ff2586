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
// The rows of a triangle are walked first and their pixels queued in a batch: each
// pixel's attribute (and colour) vector, its places in the target and the depth buffer,
// and its triangle. The batch collects the pixels of consecutive triangles drawn by the
// same routine and draws them in one loop when it fills, when another routine takes
// over, and at the end of the draw call, in the order they were queued. Small triangles
// have rows of a pixel or two, often none, and a handful of rows: a row always writes
// four entries and the batch grows by the row's length, so such rows cost no branch on
// their length, and a triangle costs no loop of its own over its pixels. A longer row
// writes further groups of four. Drawing the batch in one loop also lets the AVX2
// build draw two pixels at a time (see pixel_pairs.h).
//
// Edges are walked in 48.16 fixed point: an edge's x on its first row is computed from
// its upper end point and its slope, then the slope is added once per row. Only the
// edge's own end points and its first row enter this, and that row is the same in every
// triangle that has the edge (the first row at or below its upper end, within the
// target), so the two triangles that share an edge find the same x on every row, and
// each pixel along the edge goes to exactly one of them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/dx7/raster/pixel_batch.h"
#include "platform/dx7/raster/pixel_pairs.h"
#include "platform/dx7/raster/pixel_pipeline.h"
#include "platform/dx7/raster/raster_internal.h"
#include "platform/dx7/raster/simd.h"

namespace plovant::raster::detail {

inline constexpr int kEdgeFractionBits = 16;
// Added to an edge's x once, so that ceil(x) is a plain shift on every row.
inline constexpr int64_t kEdgeCeilBias = (int64_t{1} << kEdgeFractionBits) - 1;

// Edge positions and slopes are limited to ±2^40 before conversion to fixed point.
inline constexpr float kEdgeLimit = 1099511627776.0f;

inline int64_t ToEdgeFixed(float x) {
    x = x < kEdgeLimit ? x : kEdgeLimit;
    x = x > -kEdgeLimit ? x : -kEdgeLimit;
    return static_cast<int64_t>(x * 65536.0f);
}

struct EdgeWalk {
    int64_t x;     // x on the current row, 48.16, plus kEdgeCeilBias
    int64_t step;  // change per row

    // The first pixel column at or right of the edge: ceil(x).
    int64_t Ceil() const { return x >> kEdgeFractionBits; }
};

// The edge from (x0, y0) with `slope` (dx/dy), positioned on row `first_row`.
inline EdgeWalk StartEdge(float x0, float y0, float slope, int first_row) {
    return EdgeWalk{ToEdgeFixed(x0 + (static_cast<float>(first_row) - y0) * slope) + kEdgeCeilBias,
                    ToEdgeFixed(slope)};
}

// What the row loop needs of a set-up triangle.
struct RowSetup {
    Vec4 attr_dx, attr_dy;     // attribute gradients
    Vec4 color_dx, color_dy;   // colour gradients (Gouraud routines)
    Vec4 attr_row, color_row;  // values at (0, y) of the current row y
    int color_row_index;       // index of (0, y) in the target
    int depth_row_index;       // and in the depth buffer (when the routine uses it)
};

// What walking a triangle's rows depends on in a pixel pipeline: whether its pixels have
// a place in the depth buffer and a colour vector. Pipelines that differ only in the rest
// (the texture filter, above all) share their triangle routines.
template <bool kDepth, bool kColor>
struct RowWalk {
    static constexpr bool kUsesDepth = kDepth;
    static constexpr bool kUsesColor = kColor;
};
template <class P>
using RowWalkOf = RowWalk<P::kUsesDepth, P::kUsesColor>;

// The BatchFn of pixel pipeline P.
template <class P>
PLOVANT_RASTER_INLINE void DrawBatchBody(const DrawContext& ctx, PixelBatch& batch) {
    const TextureInfo texture = ctx.texture;
    const int count = batch.count;
    for (int k = 0; k < count; ++k) DrawQueuedPixel<P>(ctx, texture, batch, k);
    batch.Empty();
}

// Draws the batch and keeps the triangle in slot `slot`, whose rows are still being
// queued, as its only triangle; returns its new slot.
PLOVANT_RASTER_INLINE int DrawBatchKeeping(const DrawContext& ctx, PixelBatch& batch,
                                           BatchFn draw, int slot) {
    const TriangleSlot current = batch.triangles[slot];
    draw(ctx, batch);
    batch.triangles[0] = current;
    batch.triangle_count = 1;
    return 0;
}

// The left and right edge of the rows being walked, stepped together. On the rows an
// edge is used for, its x lies between its end points, inside the guard band, so
// ceil(x) fits in 32 bits (the low half of x >> 16, whatever the sign).
#if defined(PLOVANT_RASTER_SSE2)
// A triangle's three edges started together, as StartEdge starts them: the long and the
// upper short edge on row y_top, the lower short edge on row y_mid. Two 64-bit lanes per
// vector: (unused, long) and (upper, lower).
struct EdgeStarts {
    __m128i x_long, x_short;        // as EdgeWalk::x
    __m128i step_long, step_short;  // as EdgeWalk::step
};

// The three edges one by one, through StartEdge.
inline EdgeStarts StartEdgesOneByOne(const ScreenVertex& t, const ScreenVertex& m,
                                     const float slope[4], int y_top, int y_mid) {
    const EdgeWalk long_edge = StartEdge(t.x, t.y, slope[1], y_top);
    const EdgeWalk upper = StartEdge(t.x, t.y, slope[2], y_top);
    const EdgeWalk lower = StartEdge(m.x, m.y, slope[3], y_mid);
    return {_mm_set_epi64x(long_edge.x, 0), _mm_set_epi64x(lower.x, upper.x),
            _mm_set_epi64x(long_edge.step, 0), _mm_set_epi64x(lower.step, upper.step)};
}

// The three edges in one vector, lanes (unused, long, upper, lower) of `slopes`: the
// same operations as StartEdge, lane for lane, with the conversion to fixed point made
// in 32 bits. When a value does not fit 32 bits (a vertex or a slope beyond ±32768
// pixels), StartEdge converts them instead.
PLOVANT_RASTER_INLINE EdgeStarts StartEdges(const ScreenVertex& t, const ScreenVertex& m,
                                            Vec4 slopes, int y_top, int y_mid) {
    const float top = static_cast<float>(y_top), mid = static_cast<float>(y_mid);
    const __m128 x0 = _mm_setr_ps(0.0f, t.x, t.x, m.x);
    const __m128 y0 = _mm_setr_ps(0.0f, t.y, t.y, m.y);
    const __m128 rows = _mm_setr_ps(0.0f, top, top, mid);
    const __m128 x = _mm_add_ps(x0, _mm_mul_ps(_mm_sub_ps(rows, y0), slopes.v));
    // ToEdgeFixed: limited (NaN → the upper limit), scaled, truncated.
    const __m128 limit = _mm_set1_ps(kEdgeLimit), minus_limit = _mm_set1_ps(-kEdgeLimit);
    const __m128 scale = _mm_set1_ps(65536.0f);
    const __m128i xi =
        _mm_cvttps_epi32(_mm_mul_ps(_mm_max_ps(_mm_min_ps(x, limit), minus_limit), scale));
    const __m128i si =
        _mm_cvttps_epi32(_mm_mul_ps(_mm_max_ps(_mm_min_ps(slopes.v, limit), minus_limit), scale));
    // A value out of the int range converts to INT32_MIN.
    const __m128i out_of_range = _mm_or_si128(_mm_cmpeq_epi32(xi, _mm_set1_epi32(INT32_MIN)),
                                              _mm_cmpeq_epi32(si, _mm_set1_epi32(INT32_MIN)));
    if (_mm_movemask_ps(_mm_castsi128_ps(out_of_range)) & 0xE) {
        alignas(16) float slope[4];
        StoreVec(slope, slopes);
        return StartEdgesOneByOne(t, m, slope, y_top, y_mid);
    }
    const __m128i x_sign = _mm_srai_epi32(xi, 31), s_sign = _mm_srai_epi32(si, 31);
    const __m128i bias = _mm_set1_epi64x(kEdgeCeilBias);
    return {_mm_add_epi64(_mm_unpacklo_epi32(xi, x_sign), bias),
            _mm_add_epi64(_mm_unpackhi_epi32(xi, x_sign), bias),
            _mm_unpacklo_epi32(si, s_sign), _mm_unpackhi_epi32(si, s_sign)};
}

struct EdgePair {
    __m128i x;     // (left x, right x) as EdgeWalk::x
    __m128i step;  // their changes per row

    // The long edge with the upper short edge (`upper`) or the lower one.
    template <bool kLongOnLeft>
    static PLOVANT_RASTER_INLINE EdgePair First(const EdgeStarts& e, bool upper) {
        if constexpr (kLongOnLeft) {
            if (upper) return {PairOf<1, 0>(e.x_long, e.x_short), PairOf<1, 0>(e.step_long, e.step_short)};
            return {PairOf<1, 1>(e.x_long, e.x_short), PairOf<1, 1>(e.step_long, e.step_short)};
        } else {
            if (upper) return {PairOf<0, 1>(e.x_short, e.x_long), PairOf<0, 1>(e.step_short, e.step_long)};
            return {PairOf<1, 1>(e.x_short, e.x_long), PairOf<1, 1>(e.step_short, e.step_long)};
        }
    }
    // The lower short edge takes the short edge's side.
    template <bool kLongOnLeft>
    PLOVANT_RASTER_INLINE void TakeLower(const EdgeStarts& e) {
        if constexpr (kLongOnLeft) {
            x = PairOf<0, 1>(x, e.x_short);
            step = PairOf<0, 1>(step, e.step_short);
        } else {
            x = PairOf<1, 1>(e.x_short, x);
            step = PairOf<1, 1>(e.step_short, step);
        }
    }
    // ceil of both edges' x: lanes 0 (left) and 2 (right).
    __m128i Ceils() const { return _mm_srli_epi64(x, kEdgeFractionBits); }
    void Step() { x = _mm_add_epi64(x, step); }

private:
    // (lane kA of a, lane kB of b)
    template <int kA, int kB>
    static __m128i PairOf(__m128i a, __m128i b) {
        return _mm_castpd_si128(
            _mm_shuffle_pd(_mm_castsi128_pd(a), _mm_castsi128_pd(b), kA | (kB << 1)));
    }
};
#else
struct EdgePair {
    EdgeWalk left, right;

    EdgePair(const EdgeWalk& l, const EdgeWalk& r) : left(l), right(r) {}
    int LeftCeil() const { return static_cast<int>(left.Ceil()); }
    int RightCeil() const { return static_cast<int>(right.Ceil()); }
    void Step() {
        left.x += left.step;
        right.x += right.step;
    }
    void SetLeft(const EdgeWalk& e) { left = e; }
    void SetRight(const EdgeWalk& e) { right = e; }
};
#endif

// Where a pixel lies in the target and in the depth buffer.
#if defined(PLOVANT_RASTER_SSE2)
struct PixelIndices {
    __m128i v;  // (index in the target, index in the depth buffer, 0, 0)

    PixelIndices Plus(int columns) const { return {_mm_add_epi32(v, _mm_set1_epi32(columns))}; }
};
#else
struct PixelIndices {
    int color, depth;

    PixelIndices Plus(int columns) const { return {color + columns, depth + columns}; }
};
#endif

// first, first + step, (first + step) + step, … : the values of four pixels in a row,
// stepped as a span loop steps them; `first` becomes the fourth value.
PLOVANT_RASTER_INLINE void StoreFourSteps(Vec4* out, Vec4& first, Vec4 step) {
    out[0] = first;
    for (int k = 1; k < 4; ++k) {
        first += step;
        out[k] = first;
    }
}

// Writes the four entries from `at` for the pixels `first` … `first` + 3 of a row, of the
// triangle whose slot is in every byte of `slot_bytes`, whether the row has them all or
// not; `attr` and `rgba` are the first pixel's vectors and become the fourth's.
template <class P>
PLOVANT_RASTER_INLINE void QueueFour(PixelBatch& batch, int at, uint32_t slot_bytes,
                                     PixelIndices first, Vec4& attr, Vec4 attr_dx, Vec4& rgba,
                                     Vec4 color_dx) {
    std::memcpy(batch.triangle + at, &slot_bytes, 4);
#if defined(PLOVANT_RASTER_SSE2)
    const __m128i ramp = _mm_setr_epi32(0, 1, 2, 3);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(batch.color_index + at),
                     _mm_add_epi32(_mm_shuffle_epi32(first.v, _MM_SHUFFLE(0, 0, 0, 0)), ramp));
    if constexpr (P::kUsesDepth) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(batch.depth_index + at),
                         _mm_add_epi32(_mm_shuffle_epi32(first.v, _MM_SHUFFLE(1, 1, 1, 1)), ramp));
    }
#else
    for (int k = 0; k < 4; ++k) {
        batch.color_index[at + k] = first.color + k;
        if constexpr (P::kUsesDepth) batch.depth_index[at + k] = first.depth + k;
    }
#endif
    StoreFourSteps(batch.attr + at, attr, attr_dx);
    if constexpr (P::kUsesColor) StoreFourSteps(batch.rgba + at, rgba, color_dx);
}

// Queues the pixels of rows [y, y_end) between two edges, of the triangle in slot
// `slot` of the batch; returns its slot (which changes when the batch is drawn on the
// way because it filled). kClipX: the spans are limited to the clip rectangle's columns;
// without it the triangle is known to lie within them. The count of queued pixels, and
// what changes from row to row, are kept in locals: stores into the batch could change
// them as far as the compiler knows, and they would make a round trip through memory
// on every row.
template <class P, bool kClipX>
PLOVANT_RASTER_INLINE int QueueRows(const DrawContext& ctx, RowSetup& rs, EdgePair& walked_edges,
                                    int y, int y_end, PixelBatch& batch, BatchFn draw,
                                    int slot) {
    int count = batch.count;
    uint32_t slot_bytes = static_cast<uint32_t>(slot) * 0x01010101u;
    const int x_lo = ctx.clip_x0, x_hi = ctx.clip_x1;
    const Vec4 attr_dx = rs.attr_dx, attr_dy = rs.attr_dy;
    const Vec4 color_dx = rs.color_dx, color_dy = rs.color_dy;
    EdgePair edges = walked_edges;
    Vec4 attr_row = rs.attr_row, color_row = rs.color_row;
#if defined(PLOVANT_RASTER_SSE2)
    // (index of the row's column 0 in the target, in the depth buffer, 0, 0)
    __m128i row_index = _mm_setr_epi32(rs.color_row_index, rs.depth_row_index, 0, 0);
    const __m128i index_step = _mm_setr_epi32(ctx.color_pitch, ctx.depth_pitch, 0, 0);
#else
    int color_row_index = rs.color_row_index, depth_row_index = rs.depth_row_index;
#endif
    // The current row: its length (x_end − x_begin, possibly not positive), and its first
    // pixel's places and vectors.
    struct Row {
        int length;
        PixelIndices first;
        Vec4 attr, rgba;
    };
    const auto row_here = [&]() PLOVANT_RASTER_LAMBDA_INLINE {
#if defined(PLOVANT_RASTER_SSE2)
        const __m128i ceils = edges.Ceils();
        int x_begin = _mm_cvtsi128_si32(ceils);
        int x_end = _mm_cvtsi128_si32(_mm_shuffle_epi32(ceils, _MM_SHUFFLE(2, 2, 2, 2)));
        __m128i begin;  // x_begin in every lane
        if constexpr (kClipX) {
            x_begin = x_begin < x_lo ? x_lo : (x_begin > x_hi ? x_hi : x_begin);
            x_end = x_end < x_lo ? x_lo : (x_end > x_hi ? x_hi : x_end);
            begin = _mm_set1_epi32(x_begin);
        } else {
            begin = _mm_shuffle_epi32(ceils, _MM_SHUFFLE(0, 0, 0, 0));
        }
        const Vec4 fx{_mm_cvtepi32_ps(begin)};
        const PixelIndices first{_mm_add_epi32(row_index, begin)};
#else
        int x_begin = edges.LeftCeil(), x_end = edges.RightCeil();
        if constexpr (kClipX) {
            x_begin = x_begin < x_lo ? x_lo : (x_begin > x_hi ? x_hi : x_begin);
            x_end = x_end < x_lo ? x_lo : (x_end > x_hi ? x_hi : x_end);
        }
        const Vec4 fx = Vec4::Splat(static_cast<float>(x_begin));
        const PixelIndices first{color_row_index + x_begin, depth_row_index + x_begin};
#endif
        Row row{x_end - x_begin, first, attr_row + fx * attr_dx, color_row};
        if constexpr (P::kUsesColor) row.rgba = color_row + fx * color_dx;
        return row;
    };
    const auto next_row = [&]() PLOVANT_RASTER_LAMBDA_INLINE {
        edges.Step();
        attr_row += attr_dy;
        if constexpr (P::kUsesColor) color_row += color_dy;
#if defined(PLOVANT_RASTER_SSE2)
        row_index = _mm_add_epi32(row_index, index_step);
#else
        color_row_index += ctx.color_pitch;
        depth_row_index += ctx.depth_pitch;
#endif
    };
    while (y < y_end) {
        // The rows that take one group of four entries while the batch has room for it.
        // Their loop calls nothing, so its values stay in registers.
        for (; y < y_end; ++y) {
            Row row = row_here();
            if (row.length > 4 || count > PixelBatch::kCapacity - 4) break;
            QueueFour<P>(batch, count, slot_bytes, row.first, row.attr, attr_dx, row.rgba,
                         color_dx);
            count += row.length > 0 ? row.length : 0;
            next_row();
        }
        if (y == y_end) break;
        // A row that needs room first, or more than four entries: groups of four, the
        // later ones stepped on from the fourth pixel of the one before as a span loop
        // steps them, the batch drawn whenever it is full. (The row is worked out again
        // here: carrying it out of the loop above costs that loop registers.)
        Row row = row_here();
        for (int queued = 0;;) {
            if (count > PixelBatch::kCapacity - 4) {
                batch.count = count;
                slot = DrawBatchKeeping(ctx, batch, draw, slot);
                slot_bytes = 0;
                count = 0;
            }
            QueueFour<P>(batch, count, slot_bytes, row.first, row.attr, attr_dx, row.rgba,
                         color_dx);
            const int left = row.length - queued;
            count += left < 4 ? (left > 0 ? left : 0) : 4;
            queued += 4;
            if (queued >= row.length) break;
            row.attr += attr_dx;
            if constexpr (P::kUsesColor) row.rgba += color_dx;
            row.first = row.first.Plus(4);
        }
        next_row();
        ++y;
    }
    walked_edges = edges;
    rs.attr_row = attr_row;
    rs.color_row = color_row;
#if defined(PLOVANT_RASTER_SSE2)
    rs.color_row_index = _mm_cvtsi128_si32(row_index);
    rs.depth_row_index = _mm_cvtsi128_si32(_mm_shuffle_epi32(row_index, _MM_SHUFFLE(1, 1, 1, 1)));
#else
    rs.color_row_index = color_row_index;
    rs.depth_row_index = depth_row_index;
#endif
    batch.count = count;
    return slot;
}

// The rows [y_top, y_bottom). The short edge runs from the top to the middle vertex
// until row y_mid, then from the middle to the bottom vertex. Rows in the upper part
// exist only when the middle vertex is strictly lower than the top one, and likewise for
// the lower part, so every slope used is finite.
template <class P, bool kLongOnLeft, bool kClipX>
PLOVANT_RASTER_INLINE void ScanTriangle(const DrawContext& ctx, RowSetup& rs,
                                        const ScreenVertex& t, const ScreenVertex& m,
                                        Vec4 slopes, int y_top, int y_mid, int y_bottom,
                                        PixelBatch& batch, BatchFn draw, int slot) {
    // Within the target, so the indices fit an int (see BuildContext).
    rs.color_row_index = y_top * ctx.color_pitch;
    rs.depth_row_index = P::kUsesDepth ? y_top * ctx.depth_pitch : 0;
    // The upper short edge, or the lower one straight away when the upper part has no
    // rows (y_top == y_mid, the lower edge's first row); the lower one takes over at row
    // y_mid. `slopes`: 1/area, long, upper, lower.
    const bool upper = y_top < y_mid;
#if defined(PLOVANT_RASTER_SSE2)
    const EdgeStarts starts = StartEdges(t, m, slopes, y_top, y_mid);
    EdgePair edges = EdgePair::First<kLongOnLeft>(starts, upper);
#else
    alignas(16) float slope[4];
    StoreVec(slope, slopes);
    const EdgeWalk long_edge = StartEdge(t.x, t.y, slope[1], y_top);
    const EdgeWalk first_short = upper ? StartEdge(t.x, t.y, slope[2], y_top)
                                       : StartEdge(m.x, m.y, slope[3], y_top);
    EdgePair edges = kLongOnLeft ? EdgePair(long_edge, first_short)
                                 : EdgePair(first_short, long_edge);
#endif
    if (upper) {
        slot = QueueRows<P, kClipX>(ctx, rs, edges, y_top, y_mid, batch, draw, slot);
        if (y_mid >= y_bottom) return;
#if defined(PLOVANT_RASTER_SSE2)
        edges.template TakeLower<kLongOnLeft>(starts);
#else
        const EdgeWalk lower = StartEdge(m.x, m.y, slope[3], y_mid);
        if constexpr (kLongOnLeft)
            edges.SetRight(lower);
        else
            edges.SetLeft(lower);
#endif
    }
    QueueRows<P, kClipX>(ctx, rs, edges, y_mid, y_bottom, batch, draw, slot);
}

// P: the pixel pipeline or its RowWalk; `draw` is the BatchFn of the pipeline in the same
// build as the caller.
template <class P>
PLOVANT_RASTER_INLINE void DrawTriangleBody(const DrawContext& ctx, const ScreenVertex& v0,
                                            const ScreenVertex& v1, const ScreenVertex& v2,
                                            const TriangleInfo& info, BatchFn draw) {
    const ScreenVertex* t = &v0;
    const ScreenVertex* m = &v1;
    const ScreenVertex* b = &v2;
    if (m->y < t->y) std::swap(t, m);
    if (b->y < m->y) std::swap(m, b);
    if (m->y < t->y) std::swap(t, m);

    // The vertices' rows are already limited to the clip rows.
    const int y_top = t->row;
    const int y_mid = m->row;
    const int y_bottom = b->row;
    if (y_top >= y_bottom) return;

    // Twice the area, from the sorted vertices: positive when the middle vertex lies
    // right of the long edge (top to bottom), which is then the left edge.
    const float dx1 = m->x - t->x, dy1 = m->y - t->y;
    const float dx2 = b->x - t->x, dy2 = b->y - t->y;
    const float area2 = dx1 * dy2 - dx2 * dy1;
    if (area2 == 0.0f) return;
    // One division for 1/area and the three edge slopes (dx/dy). An edge with dy = 0
    // spans no row and its slope is never used: it divides by 1 instead.
    const float dy3 = b->y - m->y;
    const Vec4 slopes = Vec4::Set(1.0f, dx2, dx1, b->x - m->x) /
                        Vec4::Set(area2, dy2, dy1 != 0.0f ? dy1 : 1.0f, dy3 != 0.0f ? dy3 : 1.0f);
    const float inv_area = slopes.Lane0();

    // Gradients of the attribute and colour vectors, and their values at (0, y_top).
    RowSetup rs;
    const Vec4 sx1 = Vec4::Splat(dx1 * inv_area), sy1 = Vec4::Splat(dy1 * inv_area);
    const Vec4 sx2 = Vec4::Splat(dx2 * inv_area), sy2 = Vec4::Splat(dy2 * inv_area);
    const Vec4 ox = Vec4::Splat(-t->x), oy = Vec4::Splat(static_cast<float>(y_top) - t->y);
    const Vec4 da1 = m->attr - t->attr, da2 = b->attr - t->attr;
    rs.attr_dx = da1 * sy2 - da2 * sy1;
    rs.attr_dy = da2 * sx1 - da1 * sx2;
    rs.attr_row = t->attr + ox * rs.attr_dx + oy * rs.attr_dy;
    rs.color_row = t->color;
    if constexpr (P::kUsesColor) {
        const Vec4 dc1 = m->color - t->color, dc2 = b->color - t->color;
        rs.color_dx = dc1 * sy2 - dc2 * sy1;
        rs.color_dy = dc2 * sx1 - dc1 * sx2;
        rs.color_row = t->color + ox * rs.color_dx + oy * rs.color_dy;
    }
    // The batch holds the pixels of this routine only; a triangle takes a slot in it.
    PixelBatch& batch = *ctx.batch;
    if (batch.draw != draw) {
        if (batch.draw != nullptr) batch.draw(ctx, batch);
        batch.draw = draw;
    }
    if (batch.triangle_count == PixelBatch::kTriangles) draw(ctx, batch);
    const int slot = batch.triangle_count++;
    batch.triangles[slot].bounds = MakeBounds(v0, v1, v2);
    batch.triangles[slot].info = info;

    // Every edge's x lies between its end points' up to the rounding of the fixed-point
    // walk (far below half a pixel), so a triangle half a pixel inside the clip columns
    // needs no limiting of its spans.
    const float x_min = std::min(std::min(v0.x, v1.x), v2.x);
    const float x_max = std::max(std::max(v0.x, v1.x), v2.x);
    const bool inside = x_min >= ctx.inside_x0 && x_max <= ctx.inside_x1;
    if (area2 > 0.0f) {
        if (inside)
            ScanTriangle<P, true, false>(ctx, rs, *t, *m, slopes, y_top, y_mid, y_bottom, batch,
                                         draw, slot);
        else
            ScanTriangle<P, true, true>(ctx, rs, *t, *m, slopes, y_top, y_mid, y_bottom, batch,
                                        draw, slot);
    } else {
        if (inside)
            ScanTriangle<P, false, false>(ctx, rs, *t, *m, slopes, y_top, y_mid, y_bottom, batch,
                                          draw, slot);
        else
            ScanTriangle<P, false, true>(ctx, rs, *t, *m, slopes, y_top, y_mid, y_bottom, batch,
                                         draw, slot);
    }
}

// The routine for one pixel pipeline, in the SSE2 build and (where there is one) the
// AVX2 build.
template <class P>
void DrawBatch(const DrawContext& ctx, PixelBatch& batch) {
    DrawBatchBody<P>(ctx, batch);
}

// W: a RowWalk; `draw`: the BatchFn of the SSE2 build.
template <class W>
void DrawTriangle(const DrawContext& ctx, const ScreenVertex& v0, const ScreenVertex& v1,
                  const ScreenVertex& v2, const TriangleInfo& info, BatchFn draw) {
    DrawTriangleBody<W>(ctx, v0, v1, v2, info, draw);
}

#if defined(PLOVANT_RASTER_AVX2_PATH)
template <class P>
PLOVANT_RASTER_TARGET_AVX2 void DrawBatchAvx2(const DrawContext& ctx, PixelBatch& batch) {
    if constexpr (DrawsPairs<P>())
        DrawPairsAvx2<P>(ctx, batch);
    else
        DrawBatchBody<P>(ctx, batch);
}

// W: a RowWalk; `draw`: the BatchFn of the AVX2 build.
template <class W>
PLOVANT_RASTER_TARGET_AVX2 void DrawTriangleAvx2(const DrawContext& ctx, const ScreenVertex& v0,
                                                 const ScreenVertex& v1, const ScreenVertex& v2,
                                                 const TriangleInfo& info, BatchFn draw) {
    DrawTriangleBody<W>(ctx, v0, v1, v2, info, draw);
}
#endif

}  // namespace plovant::raster::detail
