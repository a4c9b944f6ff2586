// Texel quads: their layout, and that bilinear sampling through them draws exactly what
// sampling the texels does.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/dx7/raster/instruction_set.h"
#include "platform/dx7/raster/rasteriser.h"
#include "raster_test_canvas.h"

namespace plovant::raster {
namespace {

using testing::Canvas;
using testing::PlainState;
using testing::TestTexture;

TEST(TexelQuads, HoldEachFootprintWrappingAtTheEdges) {
    // 4 × 2 texels numbered 10 + index.
    TestTexture t(4, 2, {10, 11, 12, 13, 14, 15, 16, 17});
    std::vector<uint32_t> quads;
    ASSERT_TRUE(BuildTexelQuads(t.texture, quads));
    ASSERT_EQ(quads.size(), 32u);
    auto quad = [&](int x, int y) {
        const size_t i = 4 * static_cast<size_t>(y * 4 + x);
        return std::vector<uint32_t>(quads.begin() + i, quads.begin() + i + 4);
    };
    EXPECT_EQ(quad(0, 0), (std::vector<uint32_t>{10, 11, 14, 15}));
    EXPECT_EQ(quad(3, 0), (std::vector<uint32_t>{13, 10, 17, 14}));  // wraps right
    EXPECT_EQ(quad(1, 1), (std::vector<uint32_t>{15, 16, 11, 12}));  // wraps down
    EXPECT_EQ(quad(3, 1), (std::vector<uint32_t>{17, 14, 13, 10}));  // both
}

TEST(TexelQuads, FollowThePitchAndRefuseOtherSizes) {
    // Pitch 3 for a 2 × 2 texture: the padding column is never read.
    TestTexture padded(2, 2, {1, 2, 99, 3, 4, 99});
    padded.texture.pitch = 3;
    std::vector<uint32_t> quads;
    ASSERT_TRUE(BuildTexelQuads(padded.texture, quads));
    EXPECT_EQ(quads, (std::vector<uint32_t>{1, 2, 3, 4, 2, 1, 4, 3, 3, 4, 1, 2, 4, 3, 2, 1}));

    TestTexture odd(3, 2, std::vector<uint32_t>(6, 5));
    EXPECT_FALSE(BuildTexelQuads(odd.texture, quads));
    EXPECT_TRUE(quads.empty());
    Texture huge;
    std::vector<uint32_t> one(1);
    huge.texels = one.data();
    huge.width = huge.pitch = 1024;
    huge.height = 512;  // twice kMaxQuadTexels
    EXPECT_FALSE(BuildTexelQuads(huge, quads));
}

// A tilted, magnified, repeating quad with keyed texels, drawn with and without quads;
// also for a very wide one.
void CheckSameWithAndWithoutQuads(int width, int height) {
    std::vector<uint32_t> texels(static_cast<size_t>(width * height));
    uint32_t seed = 17;
    for (uint32_t& t : texels) {
        seed = seed * 1664525u + 1013904223u;
        t = ((seed >> 8) & 0x00FFFFFFu) | ((seed >> 5) % 6 == 0 ? 0u : 0xFF000000u);
    }
    TestTexture plain(width, height, texels);
    TestTexture with_quads(width, height, texels);
    std::vector<uint32_t> quads;
    ASSERT_TRUE(BuildTexelQuads(with_quads.texture, quads));
    with_quads.texture.quads = quads.data();

    for (bool key : {false, true}) {
        State state = PlainState(90, 70);
        state.color_op = ColorOp::Texture;
        state.mag_filter = state.min_filter = Filter::Linear;
        state.color_key = key;
        const Viewport& vp = state.viewport;
        std::vector<Vertex> quad = {
            testing::WithUv(testing::At(vp, 3.3f, 4.1f, 0.2f, 1.0f), -1.3f, -0.7f),
            testing::WithUv(testing::At(vp, 86.7f, 9.6f, 0.4f, 3.0f), 2.9f, -0.7f),
            testing::WithUv(testing::At(vp, 7.2f, 66.8f, 0.6f, 2.0f), -1.3f, 2.2f),
            testing::WithUv(testing::At(vp, 86.7f, 9.6f, 0.4f, 3.0f), 2.9f, -0.7f),
            testing::WithUv(testing::At(vp, 80.1f, 60.3f, 0.9f, 5.0f), 2.9f, 2.2f),
            testing::WithUv(testing::At(vp, 7.2f, 66.8f, 0.6f, 2.0f), -1.3f, 2.2f),
        };
        Canvas a(90, 70), b(90, 70);
        state.texture = &plain.texture;
        DrawTriangleList(state, a.target(), quad.data(), quad.size());
        state.texture = &with_quads.texture;
        DrawTriangleList(state, b.target(), quad.data(), quad.size());
        int drawn = 0, differ = 0;
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 90; ++x) {
                drawn += a.touched(x, y);
                differ += a.raw(x, y) != b.raw(x, y) || a.depth(x, y) != b.depth(x, y);
            }
        EXPECT_GT(drawn, 3000) << "key " << key;
        EXPECT_EQ(differ, 0) << width << " x " << height << ", key " << key;
    }
}

// A texture that says it has no keyed texels is drawn by the routines without the key
// test; with a keyed texel it must say so, or the key would be missed.
TEST(TexelQuads, KeyedTexelsAreSkippedOnlyWhenTheTextureSaysItHasThem) {
    TestTexture t(4, 4, std::vector<uint32_t>(16, 0xFF336699u));
    t.texels[5] = 0x00FF00FFu;  // keyed
    State state = PlainState(40, 40);
    state.color_op = ColorOp::Texture;
    state.color_key = true;
    state.texture = &t.texture;
    const Viewport& vp = state.viewport;
    std::vector<Vertex> quad = {
        testing::WithUv(testing::At(vp, 0, 0), 0, 0), testing::WithUv(testing::At(vp, 40, 0), 1, 0),
        testing::WithUv(testing::At(vp, 0, 40), 0, 1), testing::WithUv(testing::At(vp, 40, 0), 1, 0),
        testing::WithUv(testing::At(vp, 40, 40), 1, 1), testing::WithUv(testing::At(vp, 0, 40), 0, 1),
    };
    Canvas keyed(40, 40), unkeyed(40, 40);
    DrawTriangleList(state, keyed.target(), quad.data(), quad.size());
    EXPECT_EQ(keyed.count_touched(), 40 * 40 - 100);  // texel (1, 1): a 10 × 10 hole
    t.texture.has_keyed_texels = false;  // a wrong claim: drawn as if keying were off
    DrawTriangleList(state, unkeyed.target(), quad.data(), quad.size());
    EXPECT_EQ(unkeyed.count_touched(), 40 * 40);
}

// Two one-pixel triangles on the same pixel, one after the other: the second is tested
// against the depth the first wrote, whichever build draws them.
TEST(TexelQuads, ASecondTriangleOnTheSamePixelMeetsTheFirstOnesDepth) {
    std::vector<uint32_t> texels(16);
    for (uint32_t i = 0; i < 16; ++i) texels[i] = 0xFF000000u | (i * 0x111111u);
    TestTexture t(4, 4, texels);
    std::vector<uint32_t> quads;
    ASSERT_TRUE(BuildTexelQuads(t.texture, quads));
    t.texture.quads = quads.data();
    State state = PlainState(12, 12);
    state.color_op = ColorOp::Texture;
    state.mag_filter = state.min_filter = Filter::Linear;
    state.texture = &t.texture;
    // Covers pixel (5, 5) only, sampling the centre of texel (i, i).
    auto pixel = [&](float z, int i) {
        const float c = (static_cast<float>(i) + 0.5f) / 4.0f;
        const Viewport& vp = state.viewport;
        return std::vector<Vertex>{testing::WithUv(testing::At(vp, 4.6f, 4.6f, z), c, c),
                                   testing::WithUv(testing::At(vp, 5.6f, 4.6f, z), c, c),
                                   testing::WithUv(testing::At(vp, 4.6f, 5.6f, z), c, c)};
    };
    for (InstructionSet set : {InstructionSet::Sse2, InstructionSet::Avx2}) {
        UseInstructionSet(set);
        for (bool nearer_first : {true, false}) {
            for (bool depth : {true, false}) {
                state.z_enable = depth;
                std::vector<Vertex> list = pixel(nearer_first ? 0.3f : 0.6f, 1);
                const std::vector<Vertex> second = pixel(nearer_first ? 0.6f : 0.3f, 2);
                list.insert(list.end(), second.begin(), second.end());
                Canvas canvas(12, 12);
                DrawTriangleList(state, canvas.target(), list.data(), list.size());
                EXPECT_EQ(canvas.count_touched(), 1);
                const bool first_stays = depth && nearer_first;
                EXPECT_EQ(canvas.rgb(5, 5), first_stays ? 0x555555u : 0xAAAAAAu)
                    << "set " << static_cast<int>(set) << ", nearer first " << nearer_first
                    << ", depth " << depth;
            }
        }
    }
    UseInstructionSet(BestInstructionSet());
}

TEST(TexelQuads, BilinearPixelsAreTheSameWithAndWithoutQuads) {
    CheckSameWithAndWithoutQuads(16, 8);
    CheckSameWithAndWithoutQuads(32768, 2);
}

}  // namespace
}  // namespace plovant::raster
