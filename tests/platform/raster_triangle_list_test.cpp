// DrawTriangleList's per-triangle path: a list draws what its triangles draw one call at
// a time (nothing carried from one triangle to the next changes a pixel), colours that
// repeat and change are each drawn as they are, and triangles beyond a side of the
// viewport are dropped while those that only reach past it are drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/dx7/raster/instruction_set.h"
#include "platform/dx7/raster/rasteriser.h"
#include "raster_test_canvas.h"

namespace plovant::raster {
namespace {

using testing::At;
using testing::Canvas;
using testing::PlainState;
using testing::TestTexture;
using testing::WithColor;

struct Lcg {
    uint32_t state;
    uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    float Range(float lo, float hi) {
        return lo + (hi - lo) * static_cast<float>(Next() & 0xFFFF) / 65536.0f;
    }
};

// Triangles placed inside the view, across the near plane, beyond one side of the
// viewport, or with a NaN corner; their colours come from a palette of four, so that a
// colour comes back after others, with now and then a triangle of three colours.
std::vector<Vertex> MixedList(uint32_t seed, int count) {
    const float palette[4][3] = {{1, 1, 1}, {1, 0, 0}, {0.2f, 0.6f, 1}, {-0.0f, 0.0f, 0.0f}};
    Lcg rng{seed};
    std::vector<Vertex> out;
    for (int i = 0; i < count; ++i) {
        const int kind = static_cast<int>(rng.Next() % 8);
        const float cx = kind == 5 ? 3.0f : (kind == 6 ? -2.5f : rng.Range(-1, 1));
        const float cy = kind == 7 ? 4.0f : rng.Range(-1, 1);
        const int colour = static_cast<int>(rng.Next() % 5);
        for (int k = 0; k < 3; ++k) {
            Vertex v;
            v.w = rng.Range(0.5f, 4.0f);
            v.x = (cx + rng.Range(-0.6f, 0.6f)) * v.w;
            v.y = (cy + rng.Range(-0.6f, 0.6f)) * v.w;
            v.z = (kind == 1 && k == 0 ? -0.4f : rng.Range(0.05f, 0.95f)) * v.w;
            if (kind == 2 && k == 2) v.y = std::numeric_limits<float>::quiet_NaN();
            const float* c = palette[colour < 4 ? colour : rng.Next() % 4];
            if (colour == 4) c = palette[k];
            v.r = c[0];
            v.g = c[1];
            v.b = c[2];
            v.u = rng.Range(-1, 2);
            v.v = rng.Range(-1, 2);
            out.push_back(v);
        }
    }
    return out;
}

bool SamePixels(const Canvas& a, const Canvas& b) {
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.raw(x, y) != b.raw(x, y) || a.depth(x, y) != b.depth(x, y)) return false;
        }
    }
    return true;
}

TEST(RasterTriangleList, AListDrawsWhatItsTrianglesDrawOneCallAtATime) {
    TestTexture texture(4, 4, std::vector<uint32_t>(16, 0xFF80C040u));
    texture.texels[5] = 0x00000000u;  // keyed
    const std::vector<Vertex> list = MixedList(7, 300);
    for (InstructionSet set : {InstructionSet::Sse2, InstructionSet::Avx2}) {
        UseInstructionSet(set);
        // Variants 6 and 7 draw without the depth test, so that every overlap shows which
        // triangle came last.
        for (int variant = 0; variant < 8; ++variant) {
            State state = PlainState(48, 40);
            state.viewport = Viewport{3, 2, 40, 34, 0.0f, 1.0f};
            state.color_op = variant < 2 || variant == 6 ? ColorOp::Diffuse : ColorOp::Modulate;
            state.texture = variant < 2 || variant == 6 ? nullptr : &texture.texture;
            state.mag_filter = variant == 3 || variant == 7 ? Filter::Linear : Filter::Point;
            state.z_enable = variant < 6;
            state.color_key = variant == 4;
            state.fill = variant == 1 ? FillMode::Wireframe : FillMode::Solid;
            state.cull = variant == 5 ? CullMode::Clockwise : CullMode::None;

            Canvas whole(48, 40), one_by_one(48, 40);
            DrawTriangleList(state, whole.target(), list.data(), list.size());
            for (size_t i = 0; i < list.size(); i += 3) {
                DrawTriangleList(state, one_by_one.target(), &list[i], 3);
            }
            EXPECT_TRUE(SamePixels(whole, one_by_one))
                << "set " << static_cast<int>(set) << ", variant " << variant;
            EXPECT_GT(whole.count_touched(), 200);
            EXPECT_TRUE(whole.padding_untouched());
        }
    }
    UseInstructionSet(BestInstructionSet());
}

TEST(RasterTriangleList, EachTriangleTakesItsOwnColourWhenColoursRepeatAndChange) {
    // Eight side-by-side triangles of one list, with colours that come back after others,
    // a Gouraud one in between and black given as +0 and −0.
    const uint32_t colours[] = {0xFFFFFF, 0xFF0000, 0xFFFFFF, 0xFF0000,
                                0x000000, 0x336699, 0xFF0000, 0x000000};
    State state = PlainState(64, 16);
    Canvas canvas(64, 16);
    std::vector<Vertex> list;
    for (int i = 0; i < 8; ++i) {
        const float x = 8.0f * static_cast<float>(i);
        Vertex a = WithColor(At(state.viewport, x, 0), colours[i]);
        Vertex b = WithColor(At(state.viewport, x + 8, 0), colours[i]);
        Vertex c = WithColor(At(state.viewport, x, 16), colours[i]);
        if (i == 7) a.r = b.r = c.r = -0.0f;
        if (i == 5) b = WithColor(b, 0x00FF00);  // Gouraud: the corners differ
        list.insert(list.end(), {a, b, c});
    }
    for (ColorOp op : {ColorOp::Diffuse, ColorOp::Modulate}) {
        TestTexture white(1, 1, {0xFFFFFFFFu});
        state.color_op = op;
        state.texture = op == ColorOp::Modulate ? &white.texture : nullptr;
        canvas.clear();
        DrawTriangleList(state, canvas.target(), list.data(), list.size());
        for (int i = 0; i < 8; ++i) {
            if (i == 5) continue;
            EXPECT_EQ(canvas.rgb(8 * i + 2, 2), colours[i]) << "triangle " << i;
        }
        // The Gouraud triangle leans from its top-left colour towards green.
        const uint32_t g = canvas.rgb(8 * 5 + 1, 1);
        EXPECT_NE(g, colours[5]);
        EXPECT_NE(g, 0x00FF00u);
    }
}

// Colour and depth buffers whose rows are of different lengths, with padding after each
// row, so that a pixel placed by the wrong row length, or written past its row, shows.
struct PitchedBuffers {
    static constexpr int kWidth = 64, kHeight = 48;
    static constexpr int kColorPitch = kWidth + 5, kDepthPitch = kWidth + 11;
    std::vector<uint32_t> color = std::vector<uint32_t>(kColorPitch * kHeight, 0x00123456u);
    std::vector<uint16_t> depth = std::vector<uint16_t>(kDepthPitch * kHeight, 0xFFFF);

    Target target() {
        return Target{color.data(), kColorPitch, depth.data(), kDepthPitch, kWidth, kHeight};
    }
};

TEST(RasterTriangleList, ManySmallTrianglesFillTheQueueAndStillLandExactly) {
    // A grid of 4 × 4-pixel cells, two triangles each, at depths and in colours that
    // change from cell to cell: rows of up to four pixels, hundreds of them, which fill
    // the queue of pixels many times over within one list.
    const State state = PlainState(PitchedBuffers::kWidth, PitchedBuffers::kHeight);
    const Viewport& vp = state.viewport;
    std::vector<Vertex> list;
    for (int cy = 0; cy < PitchedBuffers::kHeight; cy += 4) {
        for (int cx = 0; cx < PitchedBuffers::kWidth; cx += 4) {
            const float z = 0.1f + 0.8f * static_cast<float>((cx * 7 + cy * 3) % 29) / 29.0f;
            const uint32_t rgb = 0x010203u * static_cast<uint32_t>((cx + 5 * cy) % 83);
            const float x0 = static_cast<float>(cx), y0 = static_cast<float>(cy);
            const Vertex a = WithColor(At(vp, x0, y0, z), rgb);
            const Vertex b = WithColor(At(vp, x0 + 4, y0, z), rgb);
            const Vertex c = WithColor(At(vp, x0, y0 + 4, z), rgb);
            const Vertex d = WithColor(At(vp, x0 + 4, y0 + 4, z), rgb);
            list.insert(list.end(), {a, b, c, b, d, c});
        }
    }
    for (InstructionSet set : {InstructionSet::Sse2, InstructionSet::Avx2}) {
        UseInstructionSet(set);
        PitchedBuffers whole, one_by_one;
        DrawTriangleList(state, whole.target(), list.data(), list.size());
        for (size_t i = 0; i < list.size(); i += 3) {
            DrawTriangleList(state, one_by_one.target(), &list[i], 3);
        }
        EXPECT_EQ(whole.color, one_by_one.color) << "set " << static_cast<int>(set);
        EXPECT_EQ(whole.depth, one_by_one.depth) << "set " << static_cast<int>(set);
        // Every pixel drawn, the padding untouched.
        int drawn = 0, padding = 0;
        for (int y = 0; y < PitchedBuffers::kHeight; ++y) {
            for (int x = 0; x < PitchedBuffers::kColorPitch; ++x) {
                const bool changed = whole.color[y * PitchedBuffers::kColorPitch + x] != 0x00123456u;
                (x < PitchedBuffers::kWidth ? drawn : padding) += changed ? 1 : 0;
            }
            for (int x = PitchedBuffers::kWidth; x < PitchedBuffers::kDepthPitch; ++x) {
                padding += whole.depth[y * PitchedBuffers::kDepthPitch + x] != 0xFFFF ? 1 : 0;
            }
        }
        EXPECT_EQ(drawn, PitchedBuffers::kWidth * PitchedBuffers::kHeight);
        EXPECT_EQ(padding, 0);
    }
    UseInstructionSet(BestInstructionSet());
}

TEST(RasterTriangleList, TrianglesBeyondASideOfTheViewportAreDroppedAndThoseAcrossItDrawn) {
    // A viewport inside a larger target: whatever lies beyond one of its sides writes
    // nothing, not even in the target around it; a triangle whose corners lie beyond
    // different sides still covers the viewport.
    Canvas canvas(40, 40);
    State state = PlainState(40, 40);
    state.viewport = Viewport{10, 10, 20, 20, 0.0f, 1.0f};
    const Viewport& vp = state.viewport;
    const std::vector<Vertex> beyond = {
        At(vp, -5, 12),  At(vp, 9, 15),
        At(vp, 2, 28),  // left
        At(vp, 31, 12),  At(vp, 45, 15),
        At(vp, 33, 28),  // right
        At(vp, 12, -9),  At(vp, 28, 0),
        At(vp, 20, 9),  // above
        At(vp, 12, 31),  At(vp, 28, 50),
        At(vp, 15, 40),  // below
        At(vp, -30, 5),  At(vp, 9, -20, 0.5f, 3.0f),
        At(vp, 5, 9.5f),  // above and left
    };
    DrawTriangleList(state, canvas.target(), beyond.data(), beyond.size());
    EXPECT_EQ(canvas.count_touched(), 0);

    const std::vector<Vertex> across = {At(vp, -20, -20), At(vp, 80, 0), At(vp, 0, 80, 0.5f, 2.0f)};
    DrawTriangleList(state, canvas.target(), across.data(), across.size());
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool inside = x >= 10 && x < 30 && y >= 10 && y < 30;
            EXPECT_EQ(canvas.touched(x, y), inside) << x << ", " << y;
        }
    }
}

}  // namespace
}  // namespace plovant::raster
