// Clipping in homogeneous clip space, before the divide by w.
//
// A point is kept when w >= kMinW, 0 <= z <= w (near and far planes) and |x|, |y| <=
// guard · w. The guard band lets triangles that merely cross the viewport's sides go
// through unclipped (the span loops limit pixels to the viewport); only a vertex far
// outside, or one near the eye plane, costs a real clip. The w plane keeps 1/w finite.
#pragma once

#include <cstdint>

#include "platform/dx7/raster/rasteriser.h"
#include "platform/dx7/raster/simd.h"

namespace plovant::raster::detail {

inline constexpr float kMinW = 1e-9f;
// Coordinates of larger magnitude (and NaN or infinity) reject their triangle: no
// meaningful picture comes out of them, and arithmetic on them could overflow.
inline constexpr float kMaxCoordinate = 1e30f;

// Outcode bits: a set bit means "outside this plane". The layout follows the three
// groups of four tests in Outcode.
enum : uint32_t {
    kOutLeft = 1u << 0,        // x < −guard · w
    kOutBottom = 1u << 1,      // y < −guard · w
    kOutViewLeft = 1u << 2,    // x < −w (only to reject whole triangles)
    kOutViewBottom = 1u << 3,  // y < −w (likewise)
    kOutRight = 1u << 4,       // x > guard · w
    kOutTop = 1u << 5,         // y > guard · w
    kOutViewRight = 1u << 6,   // x > w (likewise)
    kOutViewTop = 1u << 7,     // y > w (likewise)
    kOutNear = 1u << 8,        // z < 0
    kOutFar = 1u << 9,         // z > w
    kOutW = 1u << 10,          // w < kMinW
    kOutHuge = 1u << 11,       // w > kMaxCoordinate (only to reject)
    kClipPlaneBits = kOutLeft | kOutBottom | kOutRight | kOutTop | kOutNear | kOutFar | kOutW,
};

// Each test is "not (distance >= 0)", so that NaN counts as outside every plane. The
// distances are computed exactly as ClipTriangle computes them.
#if defined(PLOVANT_RASTER_SSE2)
inline uint32_t Outcode(const Vertex& v, float guard) {
    const __m128 p = _mm_loadu_ps(&v.x);  // x y z w
    const __m128 w = _mm_shuffle_ps(p, p, _MM_SHUFFLE(3, 3, 3, 3));
    const __m128 xy = _mm_shuffle_ps(p, p, _MM_SHUFFLE(1, 0, 1, 0));  // x y x y
    const __m128 gw = _mm_mul_ps(w, _mm_setr_ps(guard, guard, 1.0f, 1.0f));
    const __m128 zero = _mm_setzero_ps();
    const __m128 low = _mm_add_ps(xy, gw);   // x + gw, y + gw, x + w, y + w
    const __m128 high = _mm_sub_ps(gw, xy);  // gw − x, gw − y, w − x, w − y
    const __m128 depth = _mm_setr_ps(v.z, v.w - v.z, v.w - kMinW, kMaxCoordinate - v.w);
    return static_cast<uint32_t>(_mm_movemask_ps(_mm_cmpnge_ps(low, zero))) |
           static_cast<uint32_t>(_mm_movemask_ps(_mm_cmpnge_ps(high, zero))) << 4 |
           static_cast<uint32_t>(_mm_movemask_ps(_mm_cmpnge_ps(depth, zero))) << 8;
}
#else
inline uint32_t Outcode(const Vertex& v, float guard) {
    const float gw = guard * v.w;
    const float tests[12] = {v.x + gw, v.y + gw,  v.x + v.w,   v.y + v.w,
                             gw - v.x, gw - v.y,  v.w - v.x,   v.w - v.y,
                             v.z,      v.w - v.z, v.w - kMinW, kMaxCoordinate - v.w};
    uint32_t code = 0;
    for (int i = 0; i < 12; ++i) code |= !(tests[i] >= 0.0f) ? 1u << i : 0u;
    return code;
}
#endif

// True when every position coordinate is finite and no larger than kMaxCoordinate.
bool PositionIsSane(const Vertex& v);

// A triangle clipped to a convex polygon. The triangle (3 vertices) gains at most one
// vertex per plane, so 3 + 7 fit with room to spare.
inline constexpr int kMaxClipVertices = 16;

struct ClipPolygon {
    Vertex vertices[kMaxClipVertices];
    // edge_original[i]: the edge from vertex i to vertex i + 1 (cyclically) lies on an
    // edge of the original triangle (not on a clip plane). Wireframe draws only these.
    bool edge_original[kMaxClipVertices];
    // vertex_original[i]: vertex i is one of the triangle's own vertices. Point fill
    // draws only these.
    bool vertex_original[kMaxClipVertices];
    int count = 0;
};

// Clips the triangle (a, b, c) against the planes whose bits are set in `planes`
// (kOut* plane bits). Leaves `out.count` below 3 when nothing remains. The vertices must
// satisfy PositionIsSane. Vertices created on a plane lie exactly on it, so they pass
// that plane's test.
void ClipTriangle(const Vertex& a, const Vertex& b, const Vertex& c, uint32_t planes, float guard,
                  ClipPolygon& out);

}  // namespace plovant::raster::detail
