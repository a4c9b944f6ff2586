// Clipping in homogeneous clip space, before the divide by w.
//
// A point is kept when w >= kMinW, 0 <= z <= w (near and far planes) and |x|, |y| <=
// guard · w. The guard band lets triangles that merely cross the viewport's sides go
// through unclipped (the span loops limit pixels to the viewport); only a vertex far
// outside, or one near the eye plane, costs a real clip. The w plane keeps 1/w finite.
#pragma once

#include <cstdint>

#include "platform/dx7/raster/rasteriser.h"

namespace plovant::raster::detail {

inline constexpr float kMinW = 1e-9f;
// Coordinates of larger magnitude (and NaN or infinity) reject their triangle: no
// meaningful picture comes out of them, and arithmetic on them could overflow.
inline constexpr float kMaxCoordinate = 1e30f;

// Outcode bits: a set bit means "outside this plane".
enum : uint32_t {
    kOutW = 1u << 0,       // w < kMinW
    kOutNear = 1u << 1,    // z < 0
    kOutFar = 1u << 2,     // z > w
    kOutLeft = 1u << 3,    // x < −guard · w
    kOutRight = 1u << 4,   // x > guard · w
    kOutBottom = 1u << 5,  // y < −guard · w
    kOutTop = 1u << 6,     // y > guard · w
    kClipPlaneBits = 0x7Fu,
    // Only to reject whole triangles: outside the viewport's own sides, or too large.
    kOutViewLeft = 1u << 7,
    kOutViewRight = 1u << 8,
    kOutViewBottom = 1u << 9,
    kOutViewTop = 1u << 10,
    kOutHuge = 1u << 11,  // w above kMaxCoordinate (or NaN)
};

// Written with "not inside" tests so that NaN counts as outside every plane.
inline uint32_t Outcode(const Vertex& v, float guard) {
    const float gw = guard * v.w;
    uint32_t code = 0;
    code |= !(v.w - kMinW >= 0.0f) ? kOutW : 0u;
    code |= !(v.z >= 0.0f) ? kOutNear : 0u;
    code |= !(v.w - v.z >= 0.0f) ? kOutFar : 0u;
    code |= !(v.x + gw >= 0.0f) ? kOutLeft : 0u;
    code |= !(gw - v.x >= 0.0f) ? kOutRight : 0u;
    code |= !(v.y + gw >= 0.0f) ? kOutBottom : 0u;
    code |= !(gw - v.y >= 0.0f) ? kOutTop : 0u;
    code |= !(v.x + v.w >= 0.0f) ? kOutViewLeft : 0u;
    code |= !(v.w - v.x >= 0.0f) ? kOutViewRight : 0u;
    code |= !(v.y + v.w >= 0.0f) ? kOutViewBottom : 0u;
    code |= !(v.w - v.y >= 0.0f) ? kOutViewTop : 0u;
    code |= !(v.w <= kMaxCoordinate) ? kOutHuge : 0u;
    return code;
}

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
