// Texturing: where texels land (perspective-correct), nearest against bilinear
// filtering, addressing, the colour key, and how texture and diffuse colour combine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/dx7/raster/rasteriser.h"
#include "raster_test_canvas.h"

namespace plovant::raster {
namespace {

using testing::At;
using testing::Canvas;
using testing::PlainState;
using testing::TestTexture;
using testing::WithColor;
using testing::WithUv;

constexpr uint32_t kBg = testing::kBackground & 0x00FFFFFFu;

// A texture whose texel (x, y) has the colour 0xFF, x·16, y·16, 0x40 (all distinct).
TestTexture NumberedTexture(int width, int height) {
    std::vector<uint32_t> texels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            texels.push_back(0xFF000040u | static_cast<uint32_t>(x * 16) << 16 |
                             static_cast<uint32_t>(y * 16) << 8);
    return TestTexture(width, height, texels);
}
uint32_t NumberedTexel(int x, int y) {
    return (0xFF000040u | static_cast<uint32_t>(x * 16) << 16 |
            static_cast<uint32_t>(y * 16) << 8) &
           0x00FFFFFFu;
}

State TexturedState(int width, int height, const Texture& texture) {
    State s = PlainState(width, height);
    s.texture = &texture;
    s.color_op = ColorOp::Texture;
    return s;
}

// Two triangles over the screen rectangle [x0, x1] × [y0, y1] with u, v from u0..u1,
// v0..v1 (w = 1: no perspective).
std::vector<Vertex> ScreenQuad(const Viewport& vp, float x0, float y0, float x1, float y1,
                               float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1) {
    const Vertex a = WithUv(At(vp, x0, y0), u0, v0), b = WithUv(At(vp, x1, y0), u1, v0);
    const Vertex c = WithUv(At(vp, x1, y1), u1, v1), d = WithUv(At(vp, x0, y1), u0, v1);
    return {a, b, c, a, c, d};
}

void Draw(const State& state, Canvas& canvas, const std::vector<Vertex>& v) {
    DrawTriangleList(state, canvas.target(), v.data(), v.size());
}

TEST(RasterTexture, NearestTexelsLandOnTheirPixels) {
    // An 8 × 8 texture over a 64 × 64 viewport placed at (5, 3): pixel (x, y) of the
    // viewport samples u = x / 64, so it shows texel (x / 8, y / 8).
    Canvas canvas(72, 70);
    const TestTexture tex = NumberedTexture(8, 8);
    State state = TexturedState(72, 70, tex.texture);
    state.viewport = Viewport{5, 3, 64, 64, 0.0f, 1.0f};
    Draw(state, canvas, ScreenQuad(state.viewport, 5, 3, 69, 67));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(canvas.rgb(x + 5, y + 3), NumberedTexel(x / 8, y / 8)) << x << "," << y;
    EXPECT_EQ(canvas.rgb(4, 10), kBg);
    EXPECT_EQ(canvas.rgb(69, 10), kBg);
}

TEST(RasterTexture, TiltedQuadIsPerspectiveCorrect) {
    // A quad that recedes from 2 to 5 units in front of the eye, seen through a 90°
    // perspective projection; every pixel is compared with the texel found by casting
    // its ray onto the quad.
    constexpr int kSize = 96, kTex = 16;
    Canvas canvas(kSize, kSize);
    const TestTexture tex = NumberedTexture(kTex, kTex);
    const State state = TexturedState(kSize, kSize, tex.texture);
    const float near = 0.5f, far = 100.0f;
    auto clip = [&](float x, float y, float z, float u, float v) {
        Vertex out;
        out.x = x;
        out.y = y;
        out.z = (z - near) * far / (far - near);
        out.w = z;
        return WithUv(out, u, v);
    };
    // P(s, t) = origin + s · e1 + t · e2, texture coordinates (s, t).
    const float ox = -1.2f, oy = -1.0f, oz = 2.0f;
    const float e1x = 2.4f, e2y = 1.9f, e2z = 3.0f;
    const Vertex a = clip(ox, oy, oz, 0, 0), b = clip(ox + e1x, oy, oz, 1, 0);
    const Vertex c = clip(ox + e1x, oy + e2y, oz + e2z, 1, 1),
                 d = clip(ox, oy + e2y, oz + e2z, 0, 1);
    Draw(state, canvas, {a, b, c, a, c, d});

    int checked = 0, affine_would_differ = 0;
    for (int py = 0; py < kSize; ++py) {
        for (int px = 0; px < kSize; ++px) {
            // The ray through the pixel centre: (dx, dy, 1) · λ.
            const double dx = (px - kSize / 2.0) / (kSize / 2.0);
            const double dy = (kSize / 2.0 - py) / (kSize / 2.0);
            // λ·dy = oy + t·e2y and λ = oz + t·e2z give t; then s from x.
            const double t = (oz * dy - oy) / (e2y - e2z * dy);
            const double lambda = oz + t * e2z;
            const double s = (lambda * dx - ox) / e1x;
            const double u = s * kTex, v = t * kTex;
            const bool inside = s > 0.01 && s < 0.99 && t > 0.01 && t < 0.99;
            const bool outside = s < -0.02 || s > 1.02 || t < -0.02 || t > 1.02;
            if (outside) {
                EXPECT_EQ(canvas.rgb(px, py), kBg) << px << "," << py;
                continue;
            }
            if (!inside) continue;
            // Skip pixels within a hair of a texel boundary.
            const double fu = u - std::floor(u), fv = v - std::floor(v);
            if (fu < 0.02 || fu > 0.98 || fv < 0.02 || fv > 0.98) continue;
            EXPECT_EQ(canvas.rgb(px, py), NumberedTexel(static_cast<int>(u), static_cast<int>(v)))
                << px << "," << py << " u " << u << " v " << v;
            ++checked;
            // What screen-linear (affine) interpolation would give along this row: t in
            // screen space between the rows of the quad's near and far edges.
            const double row_near = kSize / 2.0 - (oy / oz) * kSize / 2.0;
            const double row_far = kSize / 2.0 - ((oy + e2y) / (oz + e2z)) * kSize / 2.0;
            const double t_affine = (py - row_near) / (row_far - row_near);
            if (static_cast<int>(t_affine * kTex) != static_cast<int>(v)) ++affine_would_differ;
        }
    }
    EXPECT_GT(checked, 900);
    // The scene is tilted enough that interpolating without the divide would fail.
    EXPECT_GT(affine_would_differ, checked / 10);
}

// A 2 × 1 texture (black, white) stretched over 64 pixels: texel centres fall on
// pixels 16 and 48.
struct RampCase {
    Filter filter;
    Address address;
};

TEST(RasterTexture, NearestAgainstBilinearMagnification) {
    Canvas canvas(64, 4);
    const TestTexture tex(2, 1, {0xFF000000u, 0xFFFFFFFFu});
    State state = TexturedState(64, 4, tex.texture);
    const auto quad = ScreenQuad(state.viewport, 0, 0, 64, 4);
    auto grey = [&](int x) { return static_cast<int>(canvas.rgb(x, 1) & 0xFF); };

    state.mag_filter = Filter::Point;
    Draw(state, canvas, quad);
    for (int x = 0; x < 64; ++x) ASSERT_EQ(grey(x), x < 32 ? 0 : 255) << x;

    state.mag_filter = Filter::Linear;
    state.address_u = Address::Clamp;
    Draw(state, canvas, quad);
    EXPECT_EQ(grey(0), 0);   // clamped at the edge
    EXPECT_EQ(grey(16), 0);  // on texel 0's centre
    EXPECT_NEAR(grey(24), 64, 1);
    EXPECT_NEAR(grey(32), 128, 1);
    EXPECT_NEAR(grey(40), 191, 1);
    EXPECT_EQ(grey(48), 255);  // on texel 1's centre
    EXPECT_EQ(grey(63), 255);
    for (int x = 17; x < 48; ++x) ASSERT_GT(grey(x), grey(x - 1)) << x;  // a smooth ramp

    state.address_u = Address::Wrap;
    Draw(state, canvas, quad);
    EXPECT_NEAR(grey(0), 128, 1);   // half texel 1 (wrapped round) and half texel 0
    EXPECT_NEAR(grey(63), 135, 1);  // 47% texel 0 (wrapped round), 53% texel 1
    EXPECT_EQ(grey(16), 0);
}

TEST(RasterTexture, MinificationUsesTheMinificationFilter) {
    // A 32 × 32 checker of single texels squeezed into 8 × 8 pixels: nearest sampling
    // keeps pure black and white, bilinear blends neighbours into grey.
    std::vector<uint32_t> texels;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) texels.push_back((x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u);
    const TestTexture tex(32, 32, texels);
    Canvas canvas(8, 8);
    State state = TexturedState(8, 8, tex.texture);
    state.mag_filter = Filter::Linear;
    state.min_filter = Filter::Point;
    const auto quad = ScreenQuad(state.viewport, 0, 0, 8, 8);
    Draw(state, canvas, quad);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const uint32_t c = canvas.rgb(x, y);
            ASSERT_TRUE(c == 0 || c == 0xFFFFFF) << x << "," << y << " " << std::hex << c;
        }
    state.min_filter = Filter::Linear;
    Draw(state, canvas, quad);
    EXPECT_NEAR(static_cast<int>(canvas.rgb(3, 3) & 0xFF), 128, 2);
}

TEST(RasterTexture, WrapAndClampAddressing) {
    // A 3 × 5 texture (sizes that are not powers of two) repeated twice across.
    Canvas canvas(60, 50);
    const TestTexture tex = NumberedTexture(3, 5);
    State state = TexturedState(60, 50, tex.texture);
    const auto quad = ScreenQuad(state.viewport, 0, 0, 60, 50, -1.0f, 0.0f, 1.0f, 2.0f);
    Draw(state, canvas, quad);
    // u runs from −1 to 1 over 60 pixels: each texel is 10 pixels wide, and u < 0 wraps.
    // The pixels checked lie away from texel boundaries.
    for (int x = 3; x < 60; x += 5)
        for (int y = 2; y < 50; y += 5)
            ASSERT_EQ(canvas.rgb(x, y), NumberedTexel((x / 10) % 3, (y / 5) % 5)) << x << "," << y;

    state.address_u = Address::Clamp;
    state.address_v = Address::Clamp;
    Draw(state, canvas, quad);
    for (int x = 3; x < 60; x += 5)
        for (int y = 2; y < 50; y += 5)
            ASSERT_EQ(canvas.rgb(x, y),
                      NumberedTexel(x < 30 ? 0 : (x - 30) / 10, y < 25 ? y / 5 : 4))
                << x << "," << y;
}

// 4 × 4: green everywhere except a keyed (alpha 0) magenta block in texels (1..2, 1..2).
TestTexture KeyedTexture() {
    std::vector<uint32_t> texels(16, 0xFF00FF00u);
    for (int y = 1; y <= 2; ++y)
        for (int x = 1; x <= 2; ++x) texels[static_cast<size_t>(y * 4 + x)] = 0x00FF00FFu;
    return TestTexture(4, 4, texels);
}

TEST(RasterTexture, KeyedTexelsLeaveTheBackground) {
    Canvas canvas(32, 32);
    const TestTexture tex = KeyedTexture();
    State state = TexturedState(32, 32, tex.texture);
    state.color_key = true;
    const auto quad = ScreenQuad(state.viewport, 0, 0, 32, 32);
    Draw(state, canvas, quad);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool keyed = x >= 8 && x < 24 && y >= 8 && y < 24;
            ASSERT_EQ(canvas.rgb(x, y), keyed ? kBg : 0x00FF00u) << x << "," << y;
        }
    // Keyed pixels write no depth either.
    EXPECT_EQ(canvas.depth(12, 12), testing::kFarDepth);
    EXPECT_NE(canvas.depth(2, 2), testing::kFarDepth);

    // Without the key the texels are drawn as they are.
    state.color_key = false;
    canvas.clear();
    Draw(state, canvas, quad);
    EXPECT_EQ(canvas.rgb(12, 12), 0xFF00FFu);
    EXPECT_EQ(canvas.raw(12, 12) >> 24, 0xFFu);  // the unused byte is always written as 0xFF
}

TEST(RasterTexture, BilinearKeyDecidesOnTheNearestTexelAndNeverBlendsKeyedColour) {
    Canvas canvas(32, 32);
    const TestTexture tex = KeyedTexture();
    State state = TexturedState(32, 32, tex.texture);
    state.color_key = true;
    state.mag_filter = Filter::Linear;
    Draw(state, canvas, ScreenQuad(state.viewport, 0, 0, 32, 32));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            // The nearest texel of pixel x is x / 8, as with nearest sampling.
            const bool keyed = x >= 8 && x < 24 && y >= 8 && y < 24;
            // Green texels only are blended: no red or blue from magenta creeps in.
            ASSERT_EQ(canvas.rgb(x, y), keyed ? kBg : 0x00FF00u) << x << "," << y;
        }
}

TEST(RasterTexture, ColourOperations) {
    Canvas canvas(8, 8);
    const TestTexture tex(1, 1, {0xFF8040C0u});
    State state = TexturedState(8, 8, tex.texture);
    std::vector<Vertex> quad = ScreenQuad(state.viewport, 0, 0, 8, 8);
    for (Vertex& v : quad) {
        v.r = 1.0f;
        v.g = 0.5f;
        v.b = 0.25f;
    }
    state.color_op = ColorOp::Texture;
    Draw(state, canvas, quad);
    EXPECT_EQ(canvas.rgb(4, 4), 0x8040C0u);

    state.color_op = ColorOp::Modulate;  // texel × diffuse
    Draw(state, canvas, quad);
    const uint32_t c = canvas.rgb(4, 4);
    EXPECT_EQ(c >> 16, 0x80u);
    EXPECT_NEAR(static_cast<int>((c >> 8) & 255), 0x20, 1);
    EXPECT_NEAR(static_cast<int>(c & 255), 0x30, 1);

    state.color_op = ColorOp::Diffuse;
    Draw(state, canvas, quad);
    EXPECT_EQ(canvas.rgb(4, 4), 0xFF8040u);

    // Modulation by white leaves the texel exactly.
    for (Vertex& v : quad) v.r = v.g = v.b = 1.0f;
    state.color_op = ColorOp::Modulate;
    Draw(state, canvas, quad);
    EXPECT_EQ(canvas.rgb(4, 4), 0x8040C0u);

    // No texture bound: the diffuse colour, whatever the colour op.
    state.texture = nullptr;
    for (Vertex& v : quad) v = WithColor(v, 0x123456);
    Draw(state, canvas, quad);
    EXPECT_EQ(canvas.rgb(4, 4), 0x123456u);
}

TEST(RasterTexture, GouraudInterpolatesVertexColours) {
    Canvas canvas(64, 64);
    const State state = PlainState(64, 64);
    const Viewport& vp = state.viewport;
    const std::vector<Vertex> tri = {WithColor(At(vp, 2, 2), 0xFF0000),
                                     WithColor(At(vp, 62, 2), 0x00FF00),
                                     WithColor(At(vp, 2, 62), 0x0000FF)};
    Draw(state, canvas, tri);
    auto near = [](uint32_t got, int r, int g, int b) {
        return std::abs(static_cast<int>(got >> 16) - r) <= 2 &&
               std::abs(static_cast<int>((got >> 8) & 255) - g) <= 2 &&
               std::abs(static_cast<int>(got & 255) - b) <= 2;
    };
    EXPECT_TRUE(near(canvas.rgb(2, 2), 255, 0, 0));
    EXPECT_TRUE(near(canvas.rgb(32, 2), 128, 128, 0)) << std::hex << canvas.rgb(32, 2);
    EXPECT_TRUE(near(canvas.rgb(2, 32), 128, 0, 128)) << std::hex << canvas.rgb(2, 32);
    EXPECT_TRUE(near(canvas.rgb(22, 22), 85, 85, 85)) << std::hex << canvas.rgb(22, 22);
    // Out-of-range colours are clamped, not wrapped.
    std::vector<Vertex> bright = tri;
    bright[0].r = 7.0f;
    bright[1].g = -3.0f;
    Draw(state, canvas, bright);
    EXPECT_EQ(canvas.rgb(2, 2) >> 16, 0xFFu);
}

}  // namespace
}  // namespace plovant::raster
