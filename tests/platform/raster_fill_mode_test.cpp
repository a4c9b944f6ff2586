// Wireframe and point fill: edges (or vertices) only, depth-tested, shaded like solid
// triangles; the edges that clipping adds are not drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/dx7/raster/rasteriser.h"
#include "raster_test_canvas.h"

namespace plovant::raster {
namespace {

using testing::At;
using testing::Canvas;
using testing::PlainState;
using testing::WithColor;

// Distance from (x, y) to the segment a–b.
double SegmentDistance(double x, double y, double ax, double ay, double bx, double by) {
    const double ex = bx - ax, ey = by - ay;
    double t = ((x - ax) * ex + (y - ay) * ey) / (ex * ex + ey * ey);
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return std::hypot(x - (ax + t * ex), y - (ay + t * ey));
}

TEST(RasterFillMode, WireframeDrawsTheEdgesOnly) {
    Canvas canvas(64, 64);
    State state = PlainState(64, 64);
    state.fill = FillMode::Wireframe;
    const Viewport& vp = state.viewport;
    const double pts[3][2] = {{6.2, 5.7}, {57.4, 14.1}, {20.3, 58.6}};
    std::vector<Vertex> tri;
    for (const auto& p : pts)
        tri.push_back(
            WithColor(At(vp, static_cast<float>(p[0]), static_cast<float>(p[1])), 0x00FF00));
    DrawTriangleList(state, canvas.target(), tri.data(), 3);
    int drawn = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            double d = 1e9;
            for (int e = 0; e < 3; ++e)
                d = std::min(d, SegmentDistance(x, y, pts[e][0], pts[e][1], pts[(e + 1) % 3][0],
                                                pts[(e + 1) % 3][1]));
            if (canvas.touched(x, y)) {
                ++drawn;
                EXPECT_LE(d, 0.75) << x << "," << y;  // on an edge
                EXPECT_EQ(canvas.rgb(x, y), 0x00FF00u);
            }
        }
    // One pixel per step along the longer axis of each edge: 52 + 45 + 53, shared ends.
    EXPECT_GE(drawn, 145);
    EXPECT_LE(drawn, 151);
    EXPECT_FALSE(canvas.touched(28, 26));  // the interior
    // Every edge is continuous: each column (or row) it spans has a drawn pixel.
    for (int x = 7; x <= 57; ++x) {
        const double y = 5.7 + (x - 6.2) * (14.1 - 5.7) / (57.4 - 6.2);
        EXPECT_TRUE(canvas.touched(x, static_cast<int>(std::floor(y + 0.5)))) << x;
    }
}

TEST(RasterFillMode, WireframeIsDepthTested) {
    Canvas canvas(32, 32);
    State state = PlainState(32, 32);
    const Viewport& vp = state.viewport;
    // A solid red quad at depth 0.3, then a wireframe triangle behind it (0.6) whose
    // edges run partly under the quad.
    const std::vector<Vertex> quad = {
        WithColor(At(vp, 0, 0, 0.3f), 0xFF0000),   WithColor(At(vp, 16, 0, 0.3f), 0xFF0000),
        WithColor(At(vp, 16, 32, 0.3f), 0xFF0000), WithColor(At(vp, 0, 0, 0.3f), 0xFF0000),
        WithColor(At(vp, 16, 32, 0.3f), 0xFF0000), WithColor(At(vp, 0, 32, 0.3f), 0xFF0000)};
    DrawTriangleList(state, canvas.target(), quad.data(), quad.size());
    state.fill = FillMode::Wireframe;
    const std::vector<Vertex> tri = {WithColor(At(vp, 4, 10, 0.6f), 0x0000FF),
                                     WithColor(At(vp, 28, 10, 0.6f), 0x0000FF),
                                     WithColor(At(vp, 28, 26, 0.6f), 0x0000FF)};
    DrawTriangleList(state, canvas.target(), tri.data(), 3);
    EXPECT_EQ(canvas.rgb(8, 10), 0xFF0000u);   // hidden under the quad
    EXPECT_EQ(canvas.rgb(22, 10), 0x0000FFu);  // in the open
    EXPECT_EQ(canvas.rgb(28, 18), 0x0000FFu);
}

TEST(RasterFillMode, ClippingAddsNoEdges) {
    // A triangle whose right part lies before the near plane (z < 0): wireframe draws
    // the two original edges as far as they are visible, not the cut along the plane.
    Canvas canvas(64, 64);
    State state = PlainState(64, 64);
    state.fill = FillMode::Wireframe;
    const Viewport& vp = state.viewport;
    // z runs from 1 at x = 0 to −1 at x = 64, so the near plane is the column x = 32.
    auto v = [&](float x, float y) { return WithColor(At(vp, x, y, 1.0f - x / 32.0f), 0xFFFFFF); };
    const std::vector<Vertex> tri = {v(4, 8), v(60, 32), v(4, 56)};
    DrawTriangleList(state, canvas.target(), tri.data(), 3);
    EXPECT_TRUE(canvas.touched(4, 30));    // the left edge
    EXPECT_TRUE(canvas.touched(20, 15));   // the upper edge, before the cut
    EXPECT_FALSE(canvas.touched(40, 22));  // the upper edge, cut away
    for (int y = 22; y <= 42; ++y) EXPECT_FALSE(canvas.touched(31, y)) << y;  // no cut edge

    // Solid fill draws exactly the part with z >= 0.
    state.fill = FillMode::Solid;
    canvas.clear();
    DrawTriangleList(state, canvas.target(), tri.data(), 3);
    EXPECT_TRUE(canvas.touched(30, 32));
    EXPECT_TRUE(canvas.touched(31, 32));
    EXPECT_FALSE(canvas.touched(33, 32));
}

TEST(RasterFillMode, PointFillDrawsTheVertices) {
    Canvas canvas(32, 32);
    State state = PlainState(32, 32);
    state.fill = FillMode::Point;
    const Viewport& vp = state.viewport;
    const std::vector<Vertex> tri = {WithColor(At(vp, 3.2f, 4.4f), 0xFFFF00),
                                     WithColor(At(vp, 27.6f, 6.0f), 0xFFFF00),
                                     WithColor(At(vp, 12.0f, 25.5f), 0xFFFF00)};
    DrawTriangleList(state, canvas.target(), tri.data(), 3);
    EXPECT_EQ(canvas.count_touched(), 3);
    EXPECT_TRUE(canvas.touched(3, 4));
    EXPECT_TRUE(canvas.touched(28, 6));
    EXPECT_TRUE(canvas.touched(12, 26));
}

TEST(RasterFillMode, CullingAppliesToEveryFillMode) {
    Canvas canvas(32, 32);
    State state = PlainState(32, 32);
    state.cull = CullMode::CounterClockwise;
    const Viewport& vp = state.viewport;
    const std::vector<Vertex> ccw = {At(vp, 2, 2), At(vp, 2, 28), At(vp, 28, 2)};
    for (FillMode fill : {FillMode::Solid, FillMode::Wireframe, FillMode::Point}) {
        state.fill = fill;
        DrawTriangleList(state, canvas.target(), ccw.data(), 3);
        EXPECT_EQ(canvas.count_touched(), 0) << static_cast<int>(fill);
    }
}

}  // namespace
}  // namespace plovant::raster
