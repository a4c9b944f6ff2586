// Small triangles (a few pixels across, as a detailed model gives them) under the
// less-or-equal depth test: the pixels drawn must be exactly those a pixel-by-pixel test
// of coverage and stored depth gives, also where stored depths equal the triangle's,
// where only one pixel near the triangle is open, and at the target's edges. A faster
// path for small triangles (a whole-triangle depth reject, a coverage mask) must keep
// these results.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/dx7/raster/rasteriser.h"
#include "raster_test_canvas.h"

namespace plovant::raster {
namespace {

using testing::At;
using testing::Canvas;
using testing::PlainState;
using testing::WithColor;

uint16_t Units(float z) { return static_cast<uint16_t>(z * 65535.0f + 0.5f); }

// A small deterministic generator, so a failure names a reproducible case.
struct Lcg {
    uint32_t state;
    uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    float Unit() { return static_cast<float>(Next() & 0xFFFF) / 65536.0f; }
};

// Draws `count` random triangles of at most `size` pixels across, at one flat depth, on
// random depth buffers of stored depths at, just above and just below the triangle's,
// and checks every pixel against coverage (the triangle drawn without depth) and the
// stored depth.
void CheckAgainstPixelTest(int width, int height, float size, int count, uint32_t seed) {
    Canvas canvas(width, height);
    const State state = PlainState(width, height);
    const Viewport& vp = state.viewport;
    Lcg rng{seed};
    int drawn_pixels = 0, hidden_pixels = 0, hidden_triangles = 0;
    for (int i = 0; i < count; ++i) {
        const float z = 0.1f + 0.8f * rng.Unit();
        const uint16_t zu = Units(z);
        // Corners around a point anywhere in the target, also over its edges.
        const float cx = -1.0f + (static_cast<float>(width) + 2.0f) * rng.Unit();
        const float cy = -1.0f + (static_cast<float>(height) + 2.0f) * rng.Unit();
        std::vector<Vertex> tri;
        for (int k = 0; k < 3; ++k) {
            // Half of the corners on whole or half pixels, where the fill rule decides.
            float x = cx + size * (rng.Unit() - 0.5f), y = cy + size * (rng.Unit() - 0.5f);
            if (rng.Next() & 1) {
                x = static_cast<float>(static_cast<int>(x * 2.0f)) * 0.5f;
                y = static_cast<float>(static_cast<int>(y * 2.0f)) * 0.5f;
            }
            tri.push_back(WithColor(At(vp, x, y, z), 0xFF8000));
        }

        canvas.clear();
        DrawTriangleList(state, canvas.target(false), tri.data(), 3);
        std::vector<bool> covered(static_cast<size_t>(width * height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                covered[static_cast<size_t>(y * width + x)] = canvas.touched(x, y);

        // Mostly below the triangle's depth (hidden); sometimes equal or above, at
        // random pixels, and in a quarter of the cases nowhere.
        canvas.clear();
        const uint32_t open_odds = (i % 4 == 0) ? 0 : 1 + rng.Next() % 16;
        std::vector<uint16_t> stored(static_cast<size_t>(width * height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint16_t d = static_cast<uint16_t>(zu - 1 - rng.Next() % 3);
                if (open_odds != 0 && rng.Next() % open_odds == 0)
                    d = static_cast<uint16_t>(zu + rng.Next() % 2);
                stored[static_cast<size_t>(y * width + x)] = d;
                canvas.set_depth(x, y, d);
            }
        DrawTriangleList(state, canvas.target(), tri.data(), 3);
        bool any_drawn = false, any_covered = false;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const size_t at = static_cast<size_t>(y * width + x);
                const bool expect = covered[at] && stored[at] >= zu;
                ASSERT_EQ(canvas.touched(x, y), expect)
                    << "triangle " << i << " pixel " << x << "," << y << " stored " << stored[at]
                    << " triangle depth " << zu;
                ASSERT_EQ(canvas.depth(x, y), expect ? zu : stored[at]);
                drawn_pixels += expect ? 1 : 0;
                hidden_pixels += (covered[at] && !expect) ? 1 : 0;
                any_drawn = any_drawn || expect;
                any_covered = any_covered || covered[at];
            }
        hidden_triangles += (any_covered && !any_drawn) ? 1 : 0;
        ASSERT_TRUE(canvas.padding_untouched());
    }
    // The cases must include both outcomes, or the check proves nothing.
    EXPECT_GT(drawn_pixels, 0);
    EXPECT_GT(hidden_pixels, 0);
    EXPECT_GT(hidden_triangles, 0);
}

TEST(RasterSmallTriangles, DrawExactlyThePixelsThatPassTheDepthTest) {
    CheckAgainstPixelTest(29, 21, 3.0f, 400, 1u);
    CheckAgainstPixelTest(29, 21, 7.0f, 400, 2u);
    CheckAgainstPixelTest(29, 21, 12.0f, 200, 3u);  // also beyond the small size
}

TEST(RasterSmallTriangles, NarrowTargetsAndTheirEdges) {
    CheckAgainstPixelTest(8, 12, 5.0f, 300, 4u);  // as wide as the rectangle read
    CheckAgainstPixelTest(9, 9, 4.0f, 300, 5u);
    CheckAgainstPixelTest(5, 7, 4.0f, 300, 6u);  // narrower: the test is not used
}

// A mesh of small triangles that share edges, drawn over a surface at the same depth:
// less-or-equal passes at equal depths, so every pixel is drawn once more.
TEST(RasterSmallTriangles, MeshAtEqualDepthIsDrawnWholly) {
    Canvas canvas(40, 40);
    const State state = PlainState(40, 40);
    const Viewport& vp = state.viewport;
    std::vector<Vertex> grid;
    for (int j = 0; j < 10; ++j)
        for (int i = 0; i < 10; ++i) {
            const float x0 = 4.0f * static_cast<float>(i) + 0.3f, y0 = 4.0f * j + 0.6f;
            const Vertex a = At(vp, x0, y0, 0.4f), b = At(vp, x0 + 4, y0, 0.4f);
            const Vertex c = At(vp, x0 + 4, y0 + 4, 0.4f), d = At(vp, x0, y0 + 4, 0.4f);
            grid.insert(grid.end(), {a, b, c, a, c, d});
        }
    for (Vertex& v : grid) v = WithColor(v, 0x00FF00);
    const auto counts = testing::CoverageCounts(state, canvas, grid);
    canvas.clear(testing::kBackground, Units(0.4f));
    DrawTriangleList(state, canvas.target(), grid.data(), grid.size());
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            ASSERT_LE(counts[static_cast<size_t>(y * 40 + x)], 1);
            EXPECT_EQ(canvas.touched(x, y), counts[static_cast<size_t>(y * 40 + x)] == 1)
                << x << "," << y;
        }
    // Just behind the surface instead: nothing.
    canvas.clear(testing::kBackground, static_cast<uint16_t>(Units(0.4f) - 1));
    DrawTriangleList(state, canvas.target(), grid.data(), grid.size());
    EXPECT_EQ(canvas.count_touched(), 0);
}

}  // namespace
}  // namespace plovant::raster
