// Sutherland–Hodgman clipping of one triangle against the planes of clipping.h, in
// clip space, with fixed-size buffers on the stack.
#include "platform/dx7/raster/clipping.h"

#include <cmath>

namespace plovant::raster::detail {
namespace {

enum class Plane { W, Near, Far, Left, Right, Bottom, Top };

// Signed distance to the plane, positive inside; the same expressions as Outcode.
float Distance(Plane plane, const Vertex& v, float guard) {
    switch (plane) {
        case Plane::W:
            return v.w - kMinW;
        case Plane::Near:
            return v.z;
        case Plane::Far:
            return v.w - v.z;
        case Plane::Left:
            return v.x + guard * v.w;
        case Plane::Right:
            return guard * v.w - v.x;
        case Plane::Bottom:
            return v.y + guard * v.w;
        case Plane::Top:
            return guard * v.w - v.y;
    }
    return 0.0f;
}

// The point where the edge from `inside` to `outside` meets the plane. It depends only on
// the two end points and which one is inside, so the two triangles that share an edge
// get the same point. The interpolation starts from the nearer end (parameter at most
// 1/2): starting from the far end loses all precision when the two ends differ by many
// orders of magnitude (a w of 1e30 against one of 1e-3, say).
Vertex Intersect(Plane plane, const Vertex& inside, const Vertex& outside, float d_in, float d_out,
                 float guard) {
    const float span = d_in - d_out;  // > 0
    const bool from_inside = d_in <= -d_out;
    const Vertex& from = from_inside ? inside : outside;
    const Vertex& to = from_inside ? outside : inside;
    float t = (from_inside ? d_in : -d_out) / span;
    t = t < 0.5f ? t : 0.5f;  // also maps NaN to 0.5
    t = t > 0.0f ? t : 0.0f;
    auto lerp = [t](float a, float b) { return a + t * (b - a); };
    Vertex v;
    v.x = lerp(from.x, to.x);
    v.y = lerp(from.y, to.y);
    v.z = lerp(from.z, to.z);
    v.w = lerp(from.w, to.w);
    v.r = lerp(from.r, to.r);
    v.g = lerp(from.g, to.g);
    v.b = lerp(from.b, to.b);
    v.a = lerp(from.a, to.a);
    v.u = lerp(from.u, to.u);
    v.v = lerp(from.v, to.v);
    // Put the point exactly on the plane, so rounding cannot leave it just outside.
    switch (plane) {
        case Plane::W:
            v.w = v.w > kMinW ? v.w : kMinW;
            break;
        case Plane::Near:
            v.z = 0.0f;
            break;
        case Plane::Far:
            v.z = v.w;
            break;
        case Plane::Left:
            v.x = -guard * v.w;
            break;
        case Plane::Right:
            v.x = guard * v.w;
            break;
        case Plane::Bottom:
            v.y = -guard * v.w;
            break;
        case Plane::Top:
            v.y = guard * v.w;
            break;
    }
    return v;
}

// Appends a vertex; false when the buffer is full, which only a polygon made non-convex
// by rounding could cause (each plane adds at most one vertex to a convex polygon).
bool Emit(ClipPolygon& out, const Vertex& v, bool edge_original, bool vertex_original) {
    if (out.count == kMaxClipVertices) return false;
    const int k = out.count++;
    out.vertices[k] = v;
    out.edge_original[k] = edge_original;
    out.vertex_original[k] = vertex_original;
    return true;
}

// Each kept vertex carries the flag of the edge that leaves it. Returns false when the
// result does not fit (the triangle is then dropped).
bool ClipAgainst(Plane plane, const ClipPolygon& in, ClipPolygon& out, float guard) {
    out.count = 0;
    const int n = in.count;
    if (n == 0) return true;
    float d_prev = Distance(plane, in.vertices[n - 1], guard);
    for (int i = 0; i < n; ++i) {
        const int prev = i == 0 ? n - 1 : i - 1;
        const Vertex& p = in.vertices[prev];
        const Vertex& q = in.vertices[i];
        const float d_q = Distance(plane, q, guard);
        const bool p_in = d_prev >= 0.0f;
        const bool q_in = d_q >= 0.0f;
        bool ok = true;
        if (p_in && !q_in) {
            // Leaving: p keeps its flag (p up to the crossing is part of p → q); the
            // crossing starts an edge that runs along the plane.
            ok = Emit(out, Intersect(plane, p, q, d_prev, d_q, guard), false, false);
        } else if (!p_in && q_in) {
            // Entering: the crossing starts the rest of p → q.
            ok = Emit(out, Intersect(plane, q, p, d_q, d_prev, guard), in.edge_original[prev],
                      false);
        }
        if (ok && q_in) ok = Emit(out, q, in.edge_original[i], in.vertex_original[i]);
        if (!ok) return false;
        d_prev = d_q;
    }
    return true;
}

}  // namespace

bool PositionIsSane(const Vertex& v) {
    return std::fabs(v.x) <= kMaxCoordinate && std::fabs(v.y) <= kMaxCoordinate &&
           std::fabs(v.z) <= kMaxCoordinate && std::fabs(v.w) <= kMaxCoordinate;
}

void ClipTriangle(const Vertex& a, const Vertex& b, const Vertex& c, uint32_t planes, float guard,
                  ClipPolygon& out) {
    ClipPolygon scratch;
    ClipPolygon* src = &out;
    ClipPolygon* dst = &scratch;
    src->count = 3;
    src->vertices[0] = a;
    src->vertices[1] = b;
    src->vertices[2] = c;
    for (int i = 0; i < 3; ++i) {
        src->edge_original[i] = true;
        src->vertex_original[i] = true;
    }
    static constexpr struct {
        uint32_t bit;
        Plane plane;
    } kPlanes[] = {
        {kOutW, Plane::W},       {kOutNear, Plane::Near},   {kOutFar, Plane::Far},
        {kOutLeft, Plane::Left}, {kOutRight, Plane::Right}, {kOutBottom, Plane::Bottom},
        {kOutTop, Plane::Top},
    };
    for (const auto& entry : kPlanes) {
        if (!(planes & entry.bit)) continue;
        if (!ClipAgainst(entry.plane, *src, *dst, guard)) {
            out.count = 0;
            return;
        }
        ClipPolygon* t = src;
        src = dst;
        dst = t;
        if (src->count < 3) break;
    }
    if (src != &out) {
        out.count = src->count;
        for (int i = 0; i < src->count; ++i) {
            out.vertices[i] = src->vertices[i];
            out.edge_original[i] = src->edge_original[i];
            out.vertex_original[i] = src->vertex_original[i];
        }
    }
    if (out.count < 3) out.count = 0;
}

}  // namespace plovant::raster::detail
