// The SSE2 and AVX2 builds of the triangle routines draw the same pixels and depths, bit
// for bit, in every combination of state the routines are chosen by.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dx7/raster/instruction_set.h"
#include "platform/dx7/raster/rasteriser.h"
#include "raster_test_canvas.h"

namespace plovant::raster {
namespace {

using testing::Canvas;
using testing::PlainState;
using testing::TestTexture;

struct Lcg {
    uint32_t state;
    uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    float Unit() { return static_cast<float>(Next() & 0xFFFF) / 65536.0f; }
    float Range(float lo, float hi) { return lo + (hi - lo) * Unit(); }
};

// A texture with keyed texels (alpha 0) scattered through it, `pitch` texels a row.
TestTexture MakeTexture(int width, int height, uint32_t seed, int pitch = 0) {
    if (pitch == 0) pitch = width;
    Lcg rng{seed};
    std::vector<uint32_t> texels(static_cast<size_t>(pitch * height));
    for (uint32_t& t : texels) {
        t = (rng.Next() & 0x00FFFFFFu) | (rng.Next() % 5 == 0 ? 0u : 0xFF000000u);
    }
    TestTexture out(width, height, std::move(texels));
    out.texture.pitch = pitch;
    return out;
}

// Triangles of every size, some far apart in depth (perspective), some crossing the near
// plane or the viewport's edges, with diffuse colours that are white, flat or varied.
std::vector<Vertex> MakeScene(uint32_t seed, int count) {
    Lcg rng{seed};
    std::vector<Vertex> out;
    for (int i = 0; i < count; ++i) {
        const float size = (i % 3 == 0) ? 0.6f : (i % 3 == 1 ? 0.08f : 0.015f);
        const float cx = rng.Range(-1.1f, 1.1f), cy = rng.Range(-1.1f, 1.1f);
        const int colouring = static_cast<int>(rng.Next() % 3);
        const float flat_r = rng.Unit(), flat_g = rng.Unit(), flat_b = rng.Unit();
        for (int k = 0; k < 3; ++k) {
            Vertex v;
            const float w = rng.Range(0.5f, 8.0f);
            v.x = (cx + size * rng.Range(-1.0f, 1.0f)) * w;
            v.y = (cy + size * rng.Range(-1.0f, 1.0f)) * w;
            // Now and then a corner in front of the near plane.
            v.z = (i % 17 == 0 && k == 0) ? -0.3f * w : rng.Range(0.05f, 0.95f) * w;
            v.w = w;
            v.u = rng.Range(-2.0f, 3.0f);
            v.v = rng.Range(-2.0f, 3.0f);
            if (colouring == 1) {
                v.r = flat_r;
                v.g = flat_g;
                v.b = flat_b;
            } else if (colouring == 2) {
                v.r = rng.Unit();
                v.g = rng.Unit();
                v.b = rng.Unit();
            }
            out.push_back(v);
        }
    }
    return out;
}

struct Picture {
    std::vector<uint32_t> color;
    std::vector<uint16_t> depth;
};

Picture Draw(InstructionSet set, const State& state, const std::vector<Vertex>& scene) {
    EXPECT_EQ(UseInstructionSet(set), set);
    Canvas canvas(67, 53);
    if (state.z_func == CompareFunc::Greater) canvas.clear(testing::kBackground, 0);
    DrawTriangleList(state, canvas.target(), scene.data(), scene.size());
    Picture p;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            p.color.push_back(canvas.raw(x, y));
            p.depth.push_back(canvas.depth(x, y));
        }
    return p;
}

TEST(RasterInstructionSets, Avx2BuildDrawsTheSamePixelsAsSse2Build) {
    if (BestInstructionSet() != InstructionSet::Avx2) GTEST_SKIP() << "no AVX2 on this processor";
    const InstructionSet before = CurrentInstructionSet();
    const TestTexture pow2 = MakeTexture(16, 8, 7);
    const TestTexture odd = MakeTexture(13, 6, 9);
    // Wrapped power-of-two textures with quads are drawn by routines of their own.
    TestTexture with_quads = MakeTexture(16, 8, 11, 19);
    std::vector<uint32_t> quads;
    ASSERT_TRUE(BuildTexelQuads(with_quads.texture, quads));
    with_quads.texture.quads = quads.data();
    const std::vector<Vertex> scene = MakeScene(12345, 400);

    int compared = 0, differing_scenes = 0;
    const TestTexture* const textures[] = {nullptr, &pow2, &odd, &with_quads};
    for (const TestTexture* texture : textures) {
        for (ColorOp op : {ColorOp::Texture, ColorOp::Modulate}) {
            for (Filter mag : {Filter::Point, Filter::Linear}) {
                for (Filter min : {Filter::Point, Filter::Linear}) {
                    // Never: stands for drawing without the depth buffer.
                    for (CompareFunc z : {CompareFunc::LessEqual, CompareFunc::Greater,
                                          CompareFunc::Always, CompareFunc::Never}) {
                        for (int flags = 0; flags < 4; ++flags) {
                            if (texture == nullptr && (op != ColorOp::Texture || mag != min))
                                continue;  // the texture settings do not matter untextured
                            State state = PlainState(67, 53);
                            state.texture = texture ? &texture->texture : nullptr;
                            state.color_op = texture ? op : ColorOp::Diffuse;
                            state.mag_filter = mag;
                            state.min_filter = min;
                            state.z_func = z;
                            state.z_enable = z != CompareFunc::Never;
                            state.color_key = (flags & 1) != 0;
                            state.address_u = (flags & 2) ? Address::Clamp : Address::Wrap;
                            state.z_write = z != CompareFunc::Always || (flags & 2) == 0;
                            const Picture sse2 = Draw(InstructionSet::Sse2, state, scene);
                            const Picture avx2 = Draw(InstructionSet::Avx2, state, scene);
                            ++compared;
                            int drawn = 0;
                            for (uint32_t c : sse2.color) drawn += c != testing::kBackground;
                            EXPECT_GT(drawn, 200) << "scene " << compared << " draws too little";
                            if (sse2.color != avx2.color || sse2.depth != avx2.depth) {
                                ++differing_scenes;
                                ADD_FAILURE() << "scene " << compared << " differs";
                            }
                        }
                    }
                }
            }
        }
    }
    UseInstructionSet(before);
    EXPECT_GT(compared, 100);
    EXPECT_EQ(differing_scenes, 0);
}

TEST(RasterInstructionSets, NarrowingIsAlwaysPossibleAndWideningOnlyToWhatIsOffered) {
    const InstructionSet before = CurrentInstructionSet();
    EXPECT_EQ(UseInstructionSet(InstructionSet::Sse2), InstructionSet::Sse2);
    EXPECT_EQ(CurrentInstructionSet(), InstructionSet::Sse2);
    EXPECT_EQ(UseInstructionSet(InstructionSet::Avx2), BestInstructionSet());
    EXPECT_EQ(CurrentInstructionSet(), BestInstructionSet());
    UseInstructionSet(before);
}

}  // namespace
}  // namespace plovant::raster
