// The depth buffer: ordering, the compare functions, writes, and the depth range of
// the viewport.
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

std::vector<Vertex> Quad(const Viewport& vp, float x0, float y0, float x1, float y1, float z,
                         uint32_t rgb) {
    const Vertex a = WithColor(At(vp, x0, y0, z), rgb), b = WithColor(At(vp, x1, y0, z), rgb);
    const Vertex c = WithColor(At(vp, x1, y1, z), rgb), d = WithColor(At(vp, x0, y1, z), rgb);
    return {a, b, c, a, c, d};
}

void Draw(const State& state, Canvas& canvas, const std::vector<Vertex>& v) {
    DrawTriangleList(state, canvas.target(), v.data(), v.size());
}

// Depth units of a depth z in 0..1: rounded to the nearest of 0..65535 (in float
// arithmetic, as the rasteriser computes it).
uint16_t Units(float z) { return static_cast<uint16_t>(z * 65535.0f + 0.5f); }

TEST(RasterDepth, NearerSurfaceWinsInEitherOrder) {
    Canvas canvas(32, 32);
    const State state = PlainState(32, 32);
    const auto near = Quad(state.viewport, 4, 4, 20, 20, 0.3f, 0xFF0000);
    const auto far = Quad(state.viewport, 12, 12, 28, 28, 0.6f, 0x0000FF);
    for (bool near_first : {true, false}) {
        canvas.clear();
        Draw(state, canvas, near_first ? near : far);
        Draw(state, canvas, near_first ? far : near);
        EXPECT_EQ(canvas.rgb(15, 15), 0xFF0000u) << near_first;  // overlap
        EXPECT_EQ(canvas.rgb(6, 6), 0xFF0000u);
        EXPECT_EQ(canvas.rgb(25, 25), 0x0000FFu);
        EXPECT_EQ(canvas.depth(15, 15), Units(0.3f));
        EXPECT_EQ(canvas.depth(25, 25), Units(0.6f));
    }
}

TEST(RasterDepth, InterpenetratingSurfacesCrossWhereTheirDepthsAreEqual) {
    // A quad whose depth runs from 0 (left) to 1 (right) against one at 0.5: the
    // crossing is the middle column.
    Canvas canvas(64, 8);
    const State state = PlainState(64, 8);
    const Viewport& vp = state.viewport;
    Draw(state, canvas, Quad(vp, 0, 0, 64, 8, 0.5f, 0x0000FF));
    const Vertex a = WithColor(At(vp, 0, 0, 0.0f), 0xFF0000),
                 b = WithColor(At(vp, 64, 0, 1.0f), 0xFF0000);
    const Vertex c = WithColor(At(vp, 64, 8, 1.0f), 0xFF0000),
                 d = WithColor(At(vp, 0, 8, 0.0f), 0xFF0000);
    Draw(state, canvas, {a, b, c, a, c, d});
    for (int x = 0; x < 64; ++x) {
        if (x == 32) continue;  // exactly equal depth
        EXPECT_EQ(canvas.rgb(x, 4), x < 32 ? 0xFF0000u : 0x0000FFu) << x;
        // Depth is linear across the screen: x / 64 on the red part.
        if (x < 32) {
            EXPECT_NEAR(canvas.depth(x, 4), x / 64.0 * 65535.0, 1.0) << x;
        }
    }
}

TEST(RasterDepth, CompareFunctions) {
    // The stored depth is that of z = 0.5; quads at 0.25, 0.5 and 0.75 are drawn over it.
    struct Case {
        CompareFunc func;
        bool less, equal, greater;
    } cases[] = {
        {CompareFunc::Never, false, false, false},      {CompareFunc::Less, true, false, false},
        {CompareFunc::Equal, false, true, false},       {CompareFunc::LessEqual, true, true, false},
        {CompareFunc::Greater, false, false, true},     {CompareFunc::NotEqual, true, false, true},
        {CompareFunc::GreaterEqual, false, true, true}, {CompareFunc::Always, true, true, true},
    };
    Canvas canvas(8, 8);
    State state = PlainState(8, 8);
    for (const Case& c : cases) {
        const float depths[3] = {0.25f, 0.5f, 0.75f};
        const bool expected[3] = {c.less, c.equal, c.greater};
        for (int i = 0; i < 3; ++i) {
            canvas.clear(testing::kBackground, Units(0.5f));
            state.z_func = c.func;
            Draw(state, canvas, Quad(state.viewport, 0, 0, 8, 8, depths[i], 0x00FF00));
            EXPECT_EQ(canvas.touched(4, 4), expected[i]) << static_cast<int>(c.func) << " " << i;
            EXPECT_EQ(canvas.depth(4, 4), expected[i] ? Units(depths[i]) : Units(0.5f));
        }
    }
}

TEST(RasterDepth, WriteAndEnableSwitches) {
    Canvas canvas(8, 8);
    State state = PlainState(8, 8);
    // No depth writes: the colour is drawn, the depth stays.
    state.z_write = false;
    Draw(state, canvas, Quad(state.viewport, 0, 0, 8, 8, 0.2f, 0xFF0000));
    EXPECT_EQ(canvas.rgb(3, 3), 0xFF0000u);
    EXPECT_EQ(canvas.depth(3, 3), testing::kFarDepth);
    // ... so a farther surface drawn after it still shows.
    state.z_write = true;
    Draw(state, canvas, Quad(state.viewport, 0, 0, 8, 8, 0.7f, 0x0000FF));
    EXPECT_EQ(canvas.rgb(3, 3), 0x0000FFu);
    // Depth disabled: no test and no write.
    state.z_enable = false;
    Draw(state, canvas, Quad(state.viewport, 0, 0, 8, 8, 0.9f, 0x00FF00));
    EXPECT_EQ(canvas.rgb(3, 3), 0x00FF00u);
    EXPECT_EQ(canvas.depth(3, 3), Units(0.7f));
    // A target without a depth buffer draws without the test.
    state.z_enable = true;
    DrawTriangleList(state, canvas.target(false),
                     Quad(state.viewport, 0, 0, 8, 8, 0.95f, 0xFFFF00).data(), 6);
    EXPECT_EQ(canvas.rgb(3, 3), 0xFFFF00u);
}

TEST(RasterDepth, ViewportDepthRange) {
    Canvas canvas(8, 8);
    State state = PlainState(8, 8);
    state.viewport.min_z = 0.25f;
    state.viewport.max_z = 0.75f;
    Draw(state, canvas, Quad(state.viewport, 0, 0, 4, 8, 0.0f, 0xFF0000));
    Draw(state, canvas, Quad(state.viewport, 4, 0, 8, 8, 1.0f, 0xFF0000));
    EXPECT_EQ(canvas.depth(1, 1), Units(0.25f));
    EXPECT_EQ(canvas.depth(6, 1), Units(0.75f));
    // Out-of-range or NaN depth ranges are limited to 0..1 instead of overflowing.
    state.viewport.min_z = -3.0f;
    state.viewport.max_z = std::nanf("");
    canvas.clear();
    Draw(state, canvas, Quad(state.viewport, 0, 0, 8, 8, 1.0f, 0xFF0000));
    EXPECT_EQ(canvas.depth(1, 1), 65535);
}

}  // namespace
}  // namespace plovant::raster
