// The Direct3D device, tested by drawing small scenes off-screen and reading the pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "errors/error.h"
#include "support/error_of.h"
#include "platform/dx7/dx7.h"
#include "render/math/d3d_math.h"

namespace plovant::dx7 {
namespace {

constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr float kPi = 3.14159265f;

using plovant::testing::ErrorOf;

D3DVERTEX V(float x, float y, float z, float u = 0, float v = 0) {
    D3DVERTEX vertex;
    CreateD3DVertex(x, y, z, 0, 0, -1, u, v, vertex);
    return vertex;
}

// Two triangles covering x0..x1 × y0..y1 (clip space with identity transforms) at depth z,
// texture coordinates (0, 0) at the top left to (1, 1) at the bottom right.
std::vector<D3DVERTEX> Quad(float x0, float y0, float x1, float y1, float z) {
    return {V(x0, y1, z, 0, 0), V(x1, y1, z, 1, 0), V(x0, y0, z, 0, 1),
            V(x1, y1, z, 1, 0), V(x1, y0, z, 1, 1), V(x0, y0, z, 0, 1)};
}

std::vector<D3DVERTEX> FullScreen(float z = 0.5f) { return Quad(-1, -1, 1, 1, z); }

class Scene : public ::testing::Test {
protected:
    void SetUp() override {
        ddraw_ = dx_.DirectDrawCreate("");
        DDSURFACEDESC2 desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = kSize;
        desc.dwHeight = kSize;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
        target_ = ddraw_->CreateSurface(desc);
        desc.dwFlags |= DDSD_PIXELFORMAT;
        desc.ddpfPixelFormat = PixelFormatZ16();
        desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER;
        zbuffer_ = ddraw_->CreateSurface(desc);
        target_->AddAttachedSurface(zbuffer_);
        const Direct3D7Ptr d3d = ddraw_->GetDirect3D();
        device_ = d3d->CreateDevice(d3d->GetDevicesEnum()->GetGuid(2), target_);
        device_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        device_->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
        ClearAll();
    }

    void ClearAll() { device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlue, 1.0f, 0); }

    void Draw(const std::vector<D3DVERTEX>& vertices) {
        device_->BeginScene();
        device_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, vertices.data(),
                               static_cast<int32_t>(vertices.size()), 0);
        device_->EndScene();
    }

    uint32_t Pixel(int x, int y) const { return target_->GetPixel(x, y) & 0xFFFFFF; }

    int CountPixels(uint32_t colour) const {
        int n = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) n += Pixel(x, y) == colour;
        return n;
    }

    SurfacePtr Texture(int width, int height, const DDPIXELFORMAT& format, const std::vector<uint32_t>& raw) {
        DDSURFACEDESC2 desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.ddpfPixelFormat = format;
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        SurfacePtr texture = ddraw_->CreateSurface(desc);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) texture->SetPixel(x, y, raw[static_cast<size_t>(y * width + x)]);
        return texture;
    }

    // A camera at the origin looking along +Z with a 90° field of view (_11 = _22 = 1).
    void Perspective(float near_plane, float far_plane) {
        D3DMATRIX projection;
        dx_.ProjectionMatrix(projection, near_plane, far_plane, kPi / 2);
        device_->SetTransform(D3DTRANSFORMSTATE_PROJECTION, projection);
    }

    static constexpr int kSize = 64;
    DirectX7 dx_;
    DirectDraw7Ptr ddraw_;
    SurfacePtr target_, zbuffer_;
    Direct3DDevice7Ptr device_;
};

TEST_F(Scene, ClearFillsColourAndDepth) {
    EXPECT_EQ(CountPixels(kBlue), kSize * kSize);
    EXPECT_EQ(zbuffer_->GetPixel(0, 0), 0xFFFFu);
    EXPECT_EQ(zbuffer_->GetPixel(63, 63), 0xFFFFu);

    const D3DRECT rect{8, 8, 16, 12};
    device_->Clear(1, &rect, D3DCLEAR_TARGET, kRed, 0, 0);
    EXPECT_EQ(CountPixels(kRed), 8 * 4);
    EXPECT_EQ(Pixel(8, 8), kRed);
    EXPECT_EQ(Pixel(15, 11), kRed);
    EXPECT_EQ(Pixel(16, 11), kBlue);

    device_->Clear(1, &rect, D3DCLEAR_ZBUFFER, 0, 0.5f, 0);
    EXPECT_EQ(zbuffer_->GetPixel(8, 8), 32768u);
    EXPECT_EQ(zbuffer_->GetPixel(7, 8), 0xFFFFu);

    // The whole viewport, and only it.
    device_->SetViewport(D3DVIEWPORT7{0, 0, 32, 32, 0, 1});
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1, 0);
    EXPECT_EQ(CountPixels(kGreen), 32 * 32);
    const D3DRECT outside{40, 40, 60, 60};
    device_->Clear(1, &outside, D3DCLEAR_TARGET, kWhite, 1, 0);
    EXPECT_EQ(CountPixels(kWhite), 0);
}

TEST_F(Scene, ClearChecksItsArguments) {
    EXPECT_EQ(ErrorOf([&] { device_->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1, 0); }),
              D3DERR_STENCILBUFFER_NOTPRESENT);
    EXPECT_EQ(ErrorOf([&] { device_->Clear(0, nullptr, 0, 0, 1, 0); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { device_->Clear(2, nullptr, D3DCLEAR_TARGET, 0, 1, 0); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 2.0f, 0); }), DDERR_INVALIDPARAMS);

    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = desc.dwHeight = 4;
    desc.ddsCaps.dwCaps = DDSCAPS_3DDEVICE;
    Direct3DDevice7 no_depth(ddraw_->CreateSurface(desc));
    EXPECT_EQ(no_depth.GetRenderState(D3DRENDERSTATE_ZENABLE), D3DZB_FALSE);
    EXPECT_EQ(ErrorOf([&] { no_depth.Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1, 0); }), D3DERR_ZBUFFER_NOTPRESENT);
    EXPECT_NO_THROW(no_depth.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0));
}

TEST_F(Scene, NearerSurfacesHideFartherOnesInEitherOrder) {
    const auto left_far = Quad(-1, -1, 0.5f, 1, 0.5f);
    const auto right_near = Quad(-0.5f, -1, 1, 1, 0.25f);
    device_->SetRenderState(D3DRENDERSTATE_LIGHTING, 1);
    D3DMATERIAL7 red;
    red.emissive = D3DCOLORVALUE{1, 0, 0, 1};
    D3DMATERIAL7 green;
    green.emissive = D3DCOLORVALUE{0, 1, 0, 1};

    for (int order = 0; order < 2; ++order) {
        ClearAll();
        device_->BeginScene();
        for (int k = 0; k < 2; ++k) {
            const bool far_one = (k == 0) == (order == 0);
            device_->SetMaterial(far_one ? red : green);
            const auto& quad = far_one ? left_far : right_near;
            device_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, quad.data(), 6, 0);
        }
        device_->EndScene();
        EXPECT_EQ(Pixel(4, 32), kRed) << "order " << order;     // only the far quad
        EXPECT_EQ(Pixel(32, 32), kGreen) << "order " << order;  // both: the near one wins
        EXPECT_EQ(Pixel(60, 32), kGreen) << "order " << order;
        EXPECT_NEAR(zbuffer_->GetPixel(32, 32), 16384.0, 2.0);
    }

    // With the depth test off, the last drawn wins.
    device_->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_FALSE);
    device_->SetMaterial(red);
    Draw(left_far);
    EXPECT_EQ(Pixel(32, 32), kRed);
}

TEST_F(Scene, TexelsLandWhereTheyShould) {
    std::vector<uint32_t> texels;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) texels.push_back(static_cast<uint32_t>(x * 60 << 16 | y * 60 << 8 | 0x80));
    device_->SetTexture(0, Texture(4, 4, PixelFormatX8R8G8B8(), texels));
    Draw(FullScreen());
    for (int ty = 0; ty < 4; ++ty)
        for (int tx = 0; tx < 4; ++tx)
            for (int dy : {1, 8, 14})
                for (int dx : {1, 8, 14})
                    ASSERT_EQ(Pixel(tx * 16 + dx, ty * 16 + dy), texels[static_cast<size_t>(ty * 4 + tx)])
                        << "texel " << tx << ", " << ty;
}

TEST_F(Scene, TextureCoordinatesArePerspectiveCorrect) {
    Perspective(0.5f, 10.0f);
    device_->SetTexture(0, Texture(2, 1, PixelFormatX8R8G8B8(), {kRed, kBlue}));
    device_->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    // A wall receding to the right: its left edge at depth 1, its right edge at depth 3.
    // The texture's middle (u = 0.5) lies at (1, y, 2), which projects to x = 0.5,
    // three quarters of the way across, not half way as affine mapping would put it.
    ClearAll();
    Draw({V(-1, 1, 1, 0, 0), V(3, 3, 3, 1, 0), V(-1, -1, 1, 0, 1),
          V(3, 3, 3, 1, 0), V(3, -3, 3, 1, 1), V(-1, -1, 1, 0, 1)});
    EXPECT_EQ(Pixel(20, 32), kRed);
    EXPECT_EQ(Pixel(40, 32), kRed);
    EXPECT_EQ(Pixel(46, 32), kRed);
    EXPECT_EQ(Pixel(50, 32), kBlue);
    EXPECT_EQ(Pixel(60, 32), kBlue);
}

TEST_F(Scene, PointAndBilinearMagnification) {
    device_->SetTexture(0, Texture(2, 1, PixelFormatX8R8G8B8(), {0x000000, 0xFFFFFF}));
    device_->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);

    device_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
    Draw(FullScreen());
    EXPECT_EQ(Pixel(31, 32), 0u);
    EXPECT_EQ(Pixel(32, 32), kWhite);
    EXPECT_EQ(Pixel(16, 32), 0u);

    device_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    Draw(FullScreen());
    const uint32_t middle = Pixel(32, 32) & 0xFF;
    EXPECT_GT(middle, 80u);
    EXPECT_LT(middle, 180u);
    EXPECT_LT(Pixel(24, 32) & 0xFF, middle);       // rising from left to right
    EXPECT_GT(Pixel(40, 32) & 0xFF, middle);
    EXPECT_LE(Pixel(1, 32) & 0xFF, 8u);            // clamped at the edges
    EXPECT_GE(Pixel(62, 32) & 0xFF, 247u);
}

TEST_F(Scene, MagentaKeyedTexelsLeaveTheBackgroundInX1R5G5B5Only) {
    const DDCOLORKEY key{0x7C1F, 0x7C1F};
    const SurfacePtr x555 = Texture(2, 1, PixelFormatX1R5G5B5(), {0x7C1F, 0x7C00});  // magenta, red
    x555->SetColorKey(DDCKEY_SRCBLT, key);
    device_->SetTexture(0, x555);

    device_->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
    Draw(FullScreen());
    EXPECT_EQ(Pixel(10, 32), kBlue);
    EXPECT_EQ(Pixel(50, 32), kRed);

    device_->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 0);
    Draw(FullScreen());
    EXPECT_EQ(Pixel(10, 32), 0xFF00FFu);

    // The same raw key in R5G6B5 is another colour: magenta texels stay opaque.
    const SurfacePtr r565 = Texture(2, 1, PixelFormatR5G6B5(), {0xF81F, 0xF800});
    r565->SetColorKey(DDCKEY_SRCBLT, key);
    device_->SetTexture(0, r565);
    device_->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
    ClearAll();
    Draw(FullScreen());
    EXPECT_EQ(Pixel(10, 32), 0xFF00FFu);
}

TEST_F(Scene, WireframeDrawsEdgesOnly) {
    device_->SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_WIREFRAME);
    Draw({V(-0.8f, -0.8f, 0.5f), V(0, 0.8f, 0.5f), V(0.8f, -0.8f, 0.5f)});
    EXPECT_EQ(Pixel(32, 36), kBlue);  // inside
    int bottom_edge = 0;
    for (int y = 55; y <= 59; ++y) bottom_edge += Pixel(32, y) == kWhite;
    EXPECT_GE(bottom_edge, 1);
    const int drawn = CountPixels(kWhite);
    EXPECT_GT(drawn, 100);   // three edges of ~50 pixels
    EXPECT_LT(drawn, 400);   // far fewer than the ~1300 of the filled triangle

    device_->SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
    Draw({V(-0.8f, -0.8f, 0.5f), V(0, 0.8f, 0.5f), V(0.8f, -0.8f, 0.5f)});
    EXPECT_EQ(Pixel(32, 36), kWhite);
    EXPECT_GT(CountPixels(kWhite), 1000);
}

TEST_F(Scene, CullingFollowsTheCullMode) {
    const std::vector<D3DVERTEX> clockwise = {V(-0.5f, -0.5f, 0.5f), V(0, 0.5f, 0.5f), V(0.5f, -0.5f, 0.5f)};
    const std::vector<D3DVERTEX> counter = {V(-0.5f, -0.5f, 0.5f), V(0.5f, -0.5f, 0.5f), V(0, 0.5f, 0.5f)};
    device_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    Draw(clockwise);
    EXPECT_EQ(Pixel(32, 36), kWhite);
    ClearAll();
    Draw(counter);
    EXPECT_EQ(Pixel(32, 36), kBlue);
    device_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    Draw(counter);
    EXPECT_EQ(Pixel(32, 36), kWhite);
}

TEST_F(Scene, TrianglesAreClippedAtTheNearPlane) {
    Perspective(1.0f, 100.0f);
    // One corner behind the camera, two in front: only the part in front is drawn,
    // and nothing but the triangle's colour appears.
    Draw({V(-2, -1, 4), V(2, -1, 4), V(0, 3, -4)});
    const int drawn = CountPixels(kWhite);
    EXPECT_GT(drawn, 0);
    EXPECT_EQ(drawn + CountPixels(kBlue), kSize * kSize);

    // Wholly behind the camera, or beyond the far plane: nothing.
    ClearAll();
    Draw({V(-2, -1, -4), V(2, -1, -4), V(0, 1, -4)});
    Draw({V(-2, -1, 0.5f), V(2, -1, 0.5f), V(0, 1, 0.5f)});
    Draw({V(-2, -1, 200), V(2, -1, 200), V(0, 1, 200)});
    EXPECT_EQ(CountPixels(kBlue), kSize * kSize);

    // The camera inside a box: every wall crosses the near plane; the frame is still whole.
    ClearAll();
    const float s = 5;
    Draw({V(-s, -s, -s), V(s, -s, s), V(-s, -s, s), V(-s, -s, -s), V(s, -s, -s), V(s, -s, s),
          V(-s, s, -s), V(-s, s, s), V(s, s, s), V(-s, s, -s), V(s, s, s), V(s, s, -s),
          V(-s, -s, s), V(s, -s, s), V(s, s, s), V(-s, -s, s), V(s, s, s), V(-s, s, s)});
    EXPECT_EQ(CountPixels(kWhite), kSize * kSize);
}

TEST_F(Scene, UntexturedTrianglesTakeTheVertexColour) {
    device_->SetRenderState(D3DRENDERSTATE_LIGHTING, 1);
    D3DMATERIAL7 material;
    material.emissive = D3DCOLORVALUE{0.5f, 0.25f, 1.0f, 1};
    device_->SetMaterial(material);
    Draw(FullScreen());
    const uint32_t p = Pixel(32, 32);
    EXPECT_NEAR(static_cast<int>(p >> 16 & 0xFF), 128, 1);
    EXPECT_NEAR(static_cast<int>(p >> 8 & 0xFF), 64, 1);
    EXPECT_EQ(p & 0xFF, 255u);

    device_->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);  // unlit: white
    Draw(FullScreen());
    EXPECT_EQ(Pixel(32, 32), kWhite);
}

TEST_F(Scene, ChangedTextureContentsAreSeenAtTheNextDraw) {
    const SurfacePtr texture = Texture(1, 1, PixelFormatX8R8G8B8(), {kRed});
    device_->SetTexture(0, texture);
    Draw(FullScreen());
    EXPECT_EQ(Pixel(5, 5), kRed);
    texture->SetPixel(0, 0, kGreen);
    Draw(FullScreen());
    EXPECT_EQ(Pixel(5, 5), kGreen);
    device_->SetTexture(0, nullptr);
    Draw(FullScreen());
    EXPECT_EQ(Pixel(5, 5), kWhite);
}

TEST_F(Scene, DrawingOnlyInsideTheViewport) {
    device_->SetViewport(D3DVIEWPORT7{32, 0, 32, 32, 0, 1});
    Draw(FullScreen());
    EXPECT_EQ(CountPixels(kWhite), 32 * 32);
    EXPECT_EQ(Pixel(40, 10), kWhite);
    EXPECT_EQ(Pixel(10, 10), kBlue);
    EXPECT_EQ(ErrorOf([&] { device_->SetViewport(D3DVIEWPORT7{40, 0, 32, 32, 0, 1}); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { device_->SetViewport(D3DVIEWPORT7{0, 0, 0, 32, 0, 1}); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { device_->SetViewport(D3DVIEWPORT7{0, 0, 8, 8, 0.8f, 0.2f}); }), DDERR_INVALIDPARAMS);
}

TEST_F(Scene, SceneRules) {
    const auto quad = FullScreen();
    auto draw = [&](int32_t type, uint32_t fvf, int32_t count) {
        device_->DrawPrimitive(type, fvf, quad.data(), count, 0);
    };
    EXPECT_EQ(ErrorOf([&] { draw(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, 6); }), D3DERR_NOTINBEGIN);
    EXPECT_EQ(ErrorOf([&] { device_->EndScene(); }), D3DERR_NOTINBEGIN);
    device_->BeginScene();
    EXPECT_TRUE(device_->InScene());
    EXPECT_EQ(ErrorOf([&] { device_->BeginScene(); }), D3DERR_INBEGIN);
    EXPECT_NO_THROW(draw(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, 0));  // nothing to draw is fine
    EXPECT_NO_THROW(device_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, nullptr, 0, 0));
    EXPECT_EQ(ErrorOf([&] { draw(D3DPT_TRIANGLESTRIP, D3DFVF_VERTEX, 6); }), D3DERR_INVALIDPRIMITIVETYPE);
    EXPECT_EQ(ErrorOf([&] { draw(D3DPT_TRIANGLELIST, 0x142, 6); }), D3DERR_INVALIDVERTEXTYPE);
    EXPECT_EQ(ErrorOf([&] { draw(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, 4); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { draw(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, -3); }), DDERR_INVALIDPARAMS);
    EXPECT_NO_THROW(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0));  // allowed in a scene
    device_->EndScene();
    EXPECT_FALSE(device_->InScene());
    EXPECT_EQ(CountPixels(0), kSize * kSize);  // nothing was drawn by the failed calls
}

TEST_F(Scene, StatesAreCheckedAndKept) {
    EXPECT_EQ(ErrorOf([&] { device_->SetRenderState(999, 1); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { device_->SetRenderState(-1, 1); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { device_->SetRenderState(D3DRENDERSTATE_FILLMODE, 7); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { device_->SetRenderState(D3DRENDERSTATE_ZFUNC, 0); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { device_->SetRenderState(D3DRENDERSTATE_CULLMODE, 4); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { device_->GetRenderState(12345); }), DDERR_INVALIDPARAMS);
    device_->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x12345678);
    EXPECT_EQ(device_->GetRenderState(D3DRENDERSTATE_AMBIENT), 0x12345678u);

    EXPECT_EQ(device_->GetTextureStageState(0, D3DTSS_COLOROP), D3DTOP_MODULATE);
    EXPECT_EQ(device_->GetTextureStageState(0, D3DTSS_ADDRESSU), D3DTADDRESS_WRAP);
    EXPECT_EQ(device_->GetTextureStageState(0, D3DTSS_MINFILTER), D3DTFN_POINT);
    EXPECT_EQ(ErrorOf([&] { device_->SetTextureStageState(1, D3DTSS_MAGFILTER, D3DTFG_POINT); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { device_->SetTextureStageState(0, D3DTSS_MAGFILTER, 5); }), D3DERR_UNSUPPORTEDTEXTUREFILTER);
    EXPECT_EQ(ErrorOf([&] { device_->SetTextureStageState(0, 99, 0); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { device_->SetTextureStageState(0, D3DTSS_COLOROP, 13); }), D3DERR_UNSUPPORTEDCOLOROPERATION);

    // Modulating the diffuse colour with itself cannot be drawn.
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device_->BeginScene();
    const auto quad = FullScreen();
    EXPECT_EQ(ErrorOf([&] { device_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, quad.data(), 6, 0); }),
              D3DERR_UNSUPPORTEDCOLORARG);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    EXPECT_NO_THROW(device_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, quad.data(), 6, 0));
    device_->EndScene();

    // Only surfaces in a texture format can be bound.
    EXPECT_EQ(ErrorOf([&] { device_->SetTexture(0, zbuffer_); }), D3DERR_WRONGTEXTUREFORMAT);
    EXPECT_EQ(ErrorOf([&] { device_->SetTexture(1, nullptr); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { device_->SetTransform(4, D3DMATRIX{}); }), DDERR_INVALIDPARAMS);
}

// --- lighting ----------------------------------------------------------------------------

class Lighting : public Scene {
protected:
    D3DCOLORVALUE Lit(D3DVECTOR normal, D3DVECTOR position = D3DVECTOR{}) const {
        return device_->LightVertex(position, normal);
    }
};

TEST_F(Lighting, TheSetUpStateGivesWhiteWithAlphaZero) {
    device_->SetRenderState(D3DRENDERSTATE_AMBIENT, 0xFFFFFFFF);
    device_->SetRenderState(D3DRENDERSTATE_LIGHTING, 1);
    D3DLIGHT7 light;
    light.dltType = D3DLIGHT_POINT;
    light.dcvDiffuse = light.dcvSpecular = light.dcvAmbient = D3DCOLORVALUE{1, 1, 1, 1};
    light.dvPosition = D3DVECTOR{0, 1000, -100};
    light.dvAttenuation0 = 1;
    device_->SetLight(0, light);
    device_->LightEnable(0, true);
    D3DMATERIAL7 material;
    material.ambient = D3DCOLORVALUE{1, 1, 1, 0};
    device_->SetMaterial(material);

    for (D3DVECTOR n : {D3DVECTOR{0, 0, -1}, D3DVECTOR{0, 50, 0}, D3DVECTOR{}}) {
        const D3DCOLORVALUE c = Lit(n, D3DVECTOR{3, -2, 7});
        EXPECT_EQ(c, (D3DCOLORVALUE{1, 1, 1, 0}));
    }
    Draw(FullScreen());
    EXPECT_EQ(Pixel(32, 32), kWhite);
}

TEST_F(Lighting, DiffuseFollowsTheAngleToTheLight) {
    D3DMATERIAL7 material;
    material.diffuse = D3DCOLORVALUE{0.5f, 0.25f, 1.0f, 0.75f};
    device_->SetMaterial(material);
    D3DLIGHT7 light;
    light.dltType = D3DLIGHT_DIRECTIONAL;
    light.dcvDiffuse = D3DCOLORVALUE{1, 1, 1, 1};
    light.dvDirection = D3DVECTOR{0, 0, 1};  // shining along +Z, onto faces facing -Z
    device_->SetLight(2, light);
    device_->LightEnable(2, true);

    D3DCOLORVALUE c = Lit(D3DVECTOR{0, 0, -1});
    EXPECT_NEAR(c.r, 0.5f, 1e-5f);
    EXPECT_NEAR(c.g, 0.25f, 1e-5f);
    EXPECT_NEAR(c.b, 1.0f, 1e-5f);
    EXPECT_NEAR(c.a, 0.75f, 1e-5f);  // alpha from the material's diffuse
    c = Lit(D3DVECTOR{std::sin(kPi / 3), 0, -std::cos(kPi / 3)});  // 60° off: half
    EXPECT_NEAR(c.r, 0.25f, 1e-5f);
    c = Lit(D3DVECTOR{0, 0, 1});  // facing away
    EXPECT_NEAR(c.r, 0.0f, 1e-6f);

    // Normals are used as given unless NORMALIZENORMALS is on.
    EXPECT_NEAR(Lit(D3DVECTOR{0, 0, -2}).g, 0.5f, 1e-5f);
    device_->SetRenderState(D3DRENDERSTATE_NORMALIZENORMALS, 1);
    EXPECT_NEAR(Lit(D3DVECTOR{0, 0, -2}).g, 0.25f, 1e-5f);

    // The world transform turns normals with the model.
    D3DMATRIX world;
    RotateXMatrix(world, kPi);  // upside down: -Z becomes +Z
    device_->SetTransform(D3DTRANSFORMSTATE_WORLD, world);
    EXPECT_NEAR(Lit(D3DVECTOR{0, 0, 1}).r, 0.5f, 1e-5f);

    device_->LightEnable(2, false);
    EXPECT_NEAR(Lit(D3DVECTOR{0, 0, 1}).r, 0.0f, 1e-6f);
}

TEST_F(Lighting, PointLightsReachAsFarAsTheirRangeWithAttenuation) {
    D3DMATERIAL7 material;
    material.diffuse = D3DCOLORVALUE{1, 1, 1, 1};
    material.ambient = D3DCOLORVALUE{1, 1, 1, 1};
    device_->SetMaterial(material);
    D3DLIGHT7 light;
    light.dltType = D3DLIGHT_POINT;
    light.dcvDiffuse = D3DCOLORVALUE{1, 1, 1, 1};
    light.dcvAmbient = D3DCOLORVALUE{0.2f, 0.2f, 0.2f, 1};
    light.dvPosition = D3DVECTOR{0, 0, -10};
    light.dvRange = 20;
    light.dvAttenuation0 = 1;
    light.dvAttenuation1 = 0.1f;  // at distance 10: 1 / (1 + 1) = 0.5
    device_->SetLight(0, light);
    device_->LightEnable(0, true);

    D3DCOLORVALUE c = Lit(D3DVECTOR{0, 0, -1});
    EXPECT_NEAR(c.r, 0.5f * (1.0f + 0.2f), 1e-5f);  // attenuated diffuse and light ambient
    light.dvRange = 5;  // out of reach
    device_->SetLight(0, light);
    EXPECT_NEAR(Lit(D3DVECTOR{0, 0, -1}).r, 0.0f, 1e-6f);

    // Emissive and the ambient level add on top.
    material.emissive = D3DCOLORVALUE{0.1f, 0, 0, 0};
    device_->SetMaterial(material);
    device_->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x00404040);
    c = Lit(D3DVECTOR{0, 0, -1});
    EXPECT_NEAR(c.r, 0.1f + 0x40 / 255.0f, 1e-5f);
    EXPECT_NEAR(c.g, 0x40 / 255.0f, 1e-5f);
}

TEST_F(Lighting, DrawnVerticesWithinALightsRangeAreLit) {
    device_->SetRenderState(D3DRENDERSTATE_LIGHTING, 1);
    D3DMATERIAL7 material;
    material.ambient = D3DCOLORVALUE{1, 1, 1, 1};
    device_->SetMaterial(material);
    D3DLIGHT7 light;
    light.dltType = D3DLIGHT_POINT;
    light.dcvAmbient = D3DCOLORVALUE{1, 1, 1, 1};
    light.dvAttenuation0 = 1;
    light.dvPosition = D3DVECTOR{-1.5f, 0, 0.5f};  // left of the picture
    light.dvRange = 1.2f;                         // reaches the left quad only
    device_->SetLight(0, light);
    device_->LightEnable(0, true);
    // Two quads in one draw: the left one within reach, the right one not.
    std::vector<D3DVERTEX> both = Quad(-1, -0.5f, -0.6f, 0.5f, 0.5f);
    const auto right = Quad(0.2f, -0.5f, 1, 0.5f, 0.5f);
    both.insert(both.end(), right.begin(), right.end());
    Draw(both);
    EXPECT_EQ(Pixel(6, 32), kWhite);
    EXPECT_EQ(Pixel(50, 32), 0u);

    // Out of reach of every vertex: nothing lit, the quads black.
    light.dvRange = 0.45f;
    device_->SetLight(0, light);
    Draw(both);
    EXPECT_EQ(Pixel(6, 32), 0u);
    EXPECT_EQ(Pixel(50, 32), 0u);
}

TEST_F(Lighting, SpecularOnlyWhenEnabled) {
    D3DMATERIAL7 material;
    material.specular = D3DCOLORVALUE{0.5f, 0.5f, 0.5f, 1};
    material.diffuse = D3DCOLORVALUE{0.1f, 0.1f, 0.1f, 1};
    material.power = 10;
    device_->SetMaterial(material);
    D3DLIGHT7 light;
    light.dltType = D3DLIGHT_DIRECTIONAL;
    light.dcvDiffuse = light.dcvSpecular = D3DCOLORVALUE{1, 1, 1, 1};
    light.dvDirection = D3DVECTOR{0, 0, 1};
    device_->SetLight(0, light);
    device_->LightEnable(0, true);
    const D3DVECTOR in_front{0, 0, 5};
    EXPECT_NEAR(Lit(D3DVECTOR{0, 0, -1}, in_front).r, 0.1f, 1e-5f);
    device_->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, 1);
    EXPECT_NEAR(Lit(D3DVECTOR{0, 0, -1}, in_front).r, 0.6f, 1e-4f);  // looking straight at it
}

TEST_F(Lighting, LightsAreChecked) {
    D3DLIGHT7 spot;
    spot.dltType = D3DLIGHT_SPOT;
    EXPECT_EQ(ErrorOf([&] { device_->SetLight(0, spot); }), DDERR_INVALIDPARAMS);
    D3DLIGHT7 point;
    point.dltType = D3DLIGHT_POINT;  // all attenuations zero
    EXPECT_EQ(ErrorOf([&] { device_->SetLight(0, point); }), DDERR_INVALIDPARAMS);
    point.dvAttenuation0 = 1;
    EXPECT_EQ(ErrorOf([&] { device_->SetLight(8, point); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { device_->LightEnable(3, true); }), D3DERR_LIGHT_SET_FAILED);
    device_->SetLight(3, point);
    device_->LightEnable(3, true);
    EXPECT_TRUE(device_->GetLightEnable(3));
    D3DLIGHT7 got;
    device_->GetLight(3, got);
    EXPECT_EQ(got.dvAttenuation0, 1.0f);
}

// --- presenting ---------------------------------------------------------------------------

TEST_F(Scene, AFrameReachesTheWindow) {
    OffscreenWindow window(QRect(200, 100, kSize, kSize));
    ddraw_->SetCooperativeLevel(&window, DDSCL_NORMAL);
    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    const SurfacePtr primary = ddraw_->CreateSurface(desc);
    const ClipperPtr clipper = ddraw_->CreateClipper(0);
    clipper->SetHWnd(&window);
    primary->SetClipper(clipper);

    Draw(Quad(-1, -1, 0, 1, 0.5f));  // left half white on blue
    primary->Blt(RECT{200, 100, 200 + kSize, 100 + kSize}, target_, RECT{0, 0, kSize, kSize}, DDBLT_WAIT);
    EXPECT_EQ(window.Picture().pixel(10, 10), 0xFFFFFFFFu);
    EXPECT_EQ(window.Picture().pixel(50, 10), 0xFF0000FFu);
}

}  // namespace
}  // namespace plovant::dx7
