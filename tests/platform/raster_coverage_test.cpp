// Which pixels a triangle covers: the fill convention, shared edges, the viewport,
// culling, and the rectangle fills.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "platform/dx7/raster/rasteriser.h"
#include "raster_test_canvas.h"

namespace plovant::raster {
namespace {

using testing::At;
using testing::Canvas;
using testing::CoverageCounts;
using testing::PlainState;
using testing::WithColor;

// A grid of (n + 1)² points over the whole viewport, interior points jittered by up to
// `jitter` pixels, cut into 2n² triangles with alternating diagonals.
std::vector<Vertex> GridMesh(const Viewport& vp, int n, float jitter, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> offset(-jitter, jitter);
    std::vector<Vertex> points;
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            float sx = static_cast<float>(vp.x) + static_cast<float>(vp.width) * i / n;
            float sy = static_cast<float>(vp.y) + static_cast<float>(vp.height) * j / n;
            if (i > 0 && i < n) sx += offset(rng);
            if (j > 0 && j < n) sy += offset(rng);
            points.push_back(WithColor(At(vp, sx, sy), 0xFF0000));
        }
    }
    auto p = [&](int i, int j) { return points[static_cast<size_t>(j * (n + 1) + i)]; };
    std::vector<Vertex> tris;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            if ((i + j) % 2 == 0) {
                tris.insert(tris.end(), {p(i, j), p(i + 1, j), p(i + 1, j + 1)});
                tris.insert(tris.end(), {p(i, j), p(i + 1, j + 1), p(i, j + 1)});
            } else {
                tris.insert(tris.end(), {p(i, j), p(i + 1, j), p(i, j + 1)});
                tris.insert(tris.end(), {p(i + 1, j), p(i + 1, j + 1), p(i, j + 1)});
            }
        }
    }
    // A jitter small against the spacing keeps every triangle turned the same way, so
    // the triangles tile the viewport without folding over each other.
    for (size_t i = 0; i < tris.size(); i += 3) {
        const Vertex &a = tris[i], &b = tris[i + 1], &c = tris[i + 2];
        EXPECT_LT((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y), 0.0f);
    }
    return tris;
}

TEST(RasterCoverage, SharedEdgesCoverEachPixelExactlyOnce) {
    Canvas canvas(48, 40);
    const State state = PlainState(48, 40);
    // Jitter 0 puts vertices and edges exactly on pixel centres (the tie cases of the
    // fill rule); the others put them anywhere.
    for (float jitter : {0.0f, 0.5f, 1.6f}) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            const auto counts =
                CoverageCounts(state, canvas, GridMesh(state.viewport, 6, jitter, seed));
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 48; ++x)
                    ASSERT_EQ(counts[static_cast<size_t>(y * 48 + x)], 1)
                        << "pixel " << x << "," << y << " jitter " << jitter << " seed " << seed;
        }
    }
}

TEST(RasterCoverage, FanAroundAPointCoversEachPixelOnce) {
    // Thin triangles meeting at one point: long shared edges at every slope.
    Canvas canvas(41, 41);
    const State state = PlainState(41, 41);
    const Viewport& vp = state.viewport;
    const int spokes = 37;
    std::vector<Vertex> rim;
    for (int k = 0; k < spokes; ++k) {
        const float a = 6.2831853f * static_cast<float>(k) / spokes;
        rim.push_back(At(vp, 20.3f + 18.0f * std::cos(a), 19.8f + 18.0f * std::sin(a)));
    }
    std::vector<Vertex> tris;
    const Vertex centre = At(vp, 20.3f, 19.8f);
    for (int k = 0; k < spokes; ++k)
        tris.insert(tris.end(), {centre, rim[k], rim[(k + 1) % spokes]});
    const auto counts = CoverageCounts(state, canvas, tris);
    int covered = 0;
    for (int c : counts) {
        ASSERT_LE(c, 1);
        covered += c;
    }
    // The polygon's area is close to π · 18² ≈ 1018 pixels.
    EXPECT_NEAR(covered, 1010, 25);
    // Every pixel well inside is covered.
    for (int y = 8; y <= 32; ++y) {
        for (int x = 9; x <= 31; ++x) {
            if (std::hypot(x - 20.3f, y - 19.8f) < 16.0f) {
                EXPECT_EQ(counts[y * 41 + x], 1) << x << "," << y;
            }
        }
    }
}

TEST(RasterCoverage, NearlyLevelEdgesCrossingARowAreSharedExactly) {
    // Edges that cross a pixel row while rising a thousandth of a pixel over the whole
    // width, 46,000 pixels per row. A rectangle cut along such an edge, rising or
    // falling, still covers each pixel of the rectangle once and nothing else.
    Canvas canvas(48, 24);
    const State state = PlainState(48, 24);
    const Viewport& vp = state.viewport;
    for (float dy : {0.001f, -0.001f}) {
        const Vertex p0 = At(vp, 0.5f, 2.2f), p1 = At(vp, 46.5f, 2.2f);
        const Vertex p2 = At(vp, 46.5f, 18.7f), p3 = At(vp, 0.5f, 18.7f);
        const Vertex a = At(vp, 0.5f, 10.0f - dy / 2), b = At(vp, 46.5f, 10.0f + dy / 2);
        const std::vector<Vertex> tris = {p0, p1, b, p0, b, a, a, b, p2, a, p2, p3};
        const auto counts = CoverageCounts(state, canvas, tris);
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 48; ++x) {
                const int inside = x >= 1 && x <= 46 && y >= 3 && y <= 18;
                ASSERT_EQ(counts[static_cast<size_t>(y * 48 + x)], inside)
                    << "pixel " << x << "," << y << " dy " << dy;
            }
        }
    }
}

TEST(RasterCoverage, FollowsTheTopLeftRule) {
    // The square with corners (2, 2) and (6, 5): pixel centres on its left and top edges
    // are inside, those on its right and bottom edges are not.
    Canvas canvas(10, 10);
    const State state = PlainState(10, 10);
    const Viewport& vp = state.viewport;
    const Vertex a = At(vp, 2, 2), b = At(vp, 6, 2), c = At(vp, 6, 5), d = At(vp, 2, 5);
    const std::vector<Vertex> quad = {a, b, c, a, c, d};
    DrawTriangleList(state, canvas.target(), quad.data(), quad.size());
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(canvas.touched(x, y), x >= 2 && x < 6 && y >= 2 && y < 5) << x << "," << y;
}

TEST(RasterCoverage, FullViewportQuadFillsExactlyTheViewport) {
    Canvas canvas(64, 48);
    State state = PlainState(64, 48);
    state.viewport = Viewport{10, 7, 33, 21, 0.0f, 1.0f};
    Vertex a, b, c, d;
    a.x = -1;
    a.y = 1;
    b.x = 1;
    b.y = 1;
    c.x = 1;
    c.y = -1;
    d.x = -1;
    d.y = -1;
    for (Vertex* v : {&a, &b, &c, &d}) *v = WithColor(*v, 0x00FF00);
    const std::vector<Vertex> quad = {a, b, c, a, c, d};
    DrawTriangleList(state, canvas.target(), quad.data(), quad.size());
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= 10 && x < 43 && y >= 7 && y < 28;
            ASSERT_EQ(canvas.rgb(x, y), inside ? 0x00FF00u : testing::kBackground & 0xFFFFFFu)
                << x << "," << y;
        }
}

TEST(RasterCoverage, ClipsToTheViewportAndTheTarget) {
    // A triangle much larger than everything, through a viewport that hangs over the
    // target's corner: only the overlap is written, nothing past the rows' ends.
    Canvas canvas(30, 20);
    State state = PlainState(30, 20);
    state.viewport = Viewport{-5, 12, 50, 30, 0.0f, 1.0f};
    const Viewport& vp = state.viewport;
    const std::vector<Vertex> tri = {At(vp, -400, -300), At(vp, 900, -250), At(vp, 100, 800)};
    DrawTriangleList(state, canvas.target(), tri.data(), tri.size());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(canvas.touched(x, y), y >= 12) << x << "," << y;
    EXPECT_TRUE(canvas.padding_untouched());
}

TEST(RasterCoverage, CullModesFollowScreenWinding) {
    Canvas canvas(16, 16);
    State state = PlainState(16, 16);
    const Viewport& vp = state.viewport;
    // Clockwise on screen (y down): right, then down-left.
    const std::vector<Vertex> cw = {At(vp, 2, 2), At(vp, 14, 2), At(vp, 2, 14)};
    const std::vector<Vertex> ccw = {At(vp, 2, 2), At(vp, 2, 14), At(vp, 14, 2)};
    struct Case {
        CullMode cull;
        bool cw_drawn, ccw_drawn;
    } cases[] = {{CullMode::None, true, true},
                 {CullMode::Clockwise, false, true},
                 {CullMode::CounterClockwise, true, false}};
    for (const Case& c : cases) {
        state.cull = c.cull;
        canvas.clear();
        DrawTriangleList(state, canvas.target(), cw.data(), 3);
        EXPECT_EQ(canvas.count_touched() > 0, c.cw_drawn) << static_cast<int>(c.cull);
        canvas.clear();
        DrawTriangleList(state, canvas.target(), ccw.data(), 3);
        EXPECT_EQ(canvas.count_touched() > 0, c.ccw_drawn) << static_cast<int>(c.cull);
    }
    // The default state culls counter-clockwise triangles.
    EXPECT_EQ(State{}.cull, CullMode::CounterClockwise);
}

TEST(RasterCoverage, DrawsOnlyWholeTrianglesOfTheList) {
    Canvas canvas(16, 16);
    const State state = PlainState(16, 16);
    const Viewport& vp = state.viewport;
    const std::vector<Vertex> v = {At(vp, 0, 0), At(vp, 8, 0), At(vp, 0, 8), At(vp, 8, 8),
                                   At(vp, 16, 8)};
    DrawTriangleList(state, canvas.target(), v.data(), v.size());  // 5 vertices: 1 triangle
    EXPECT_TRUE(canvas.touched(1, 1));
    EXPECT_FALSE(canvas.touched(10, 9));
    DrawTriangleList(state, canvas.target(), nullptr, 3);  // no vertices: nothing, no crash
}

TEST(RasterFill, FillsRectanglesLimitedToTheTarget) {
    Canvas canvas(20, 10);
    Target target = canvas.target();
    FillColor(target, 5, 2, 9, 4, 0xFFABCDEFu);
    FillDepth(target, -10, -10, 3, 30, 1234);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            EXPECT_EQ(canvas.raw(x, y),
                      (x >= 5 && x < 9 && y >= 2 && y < 4) ? 0xFFABCDEFu : testing::kBackground);
            EXPECT_EQ(canvas.depth(x, y), x < 3 ? 1234 : testing::kFarDepth);
        }
    FillColor(target, 15, 0, 40, 10, 1);  // hangs over the right edge
    EXPECT_TRUE(canvas.padding_untouched());
    FillColor(target, 8, 8, 2, 2, 7);  // empty
    EXPECT_NE(canvas.raw(5, 5), 7u);
    target.depth = nullptr;
    FillDepth(target, 0, 0, 20, 10, 0);  // no depth buffer: nothing
    EXPECT_EQ(canvas.depth(5, 5), testing::kFarDepth);
}

}  // namespace
}  // namespace plovant::raster
