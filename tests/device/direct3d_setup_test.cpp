// Direct3D set-up and shut-down: the objects, sizes, choices and device state that
// set-up leaves behind, its failures, and what shut-down releases.
#include <gtest/gtest.h>

#include <memory>

#include "device/direct3d_setup.h"
#include "render/math/d3d_math.h"

namespace plovant {
namespace {

using namespace plovant::dx7;

// The main window: outer rectangle 427 × 389 at (100, 50), a drawing area inside it.
OffscreenWindow MainWindow() { return OffscreenWindow(QRect(100, 50, 427, 389), QRect(104, 80, 419, 355)); }

DeviceState StateWith(const SystemConfig& config) {
    DeviceState state;
    state.DX = std::make_shared<DirectX7>(config);
    return state;
}

TEST(InitDirect3D, CreatesTheObjectsTheSizeOfTheOuterRectangle) {
    OffscreenWindow window = MainWindow();
    DeviceState state;
    InitDirect3D(state, &window);
    ASSERT_TRUE(state.DX && state.DDraw && state.D3D && state.D3DDevice);
    ASSERT_TRUE(state.PrimarySurface && state.BackBuffer && state.ZBuffer);

    EXPECT_EQ(state.WindowRect, (RECT{100, 50, 527, 439}));
    EXPECT_EQ(state.BackBuffer->Width(), 427);  // the outer rectangle, not the drawing area
    EXPECT_EQ(state.BackBuffer->Height(), 389);
    EXPECT_EQ(state.BackBuffer->PixelFormat(), PixelFormatX8R8G8B8());
    DDSURFACEDESC2 desc;
    state.BackBuffer->GetSurfaceDesc(desc);
    EXPECT_EQ(desc.ddsCaps.dwCaps, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY);
    state.ZBuffer->GetSurfaceDesc(desc);
    EXPECT_EQ(desc.ddsCaps.dwCaps, DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY);
    EXPECT_EQ(desc.dwWidth, 427);
    EXPECT_EQ(desc.dwHeight, 389);
    EXPECT_TRUE(desc.ddpfPixelFormat.dwFlags & DDPF_ZBUFFER);
    EXPECT_EQ(state.BackBuffer->AttachedZBuffer(), state.ZBuffer);
    EXPECT_TRUE(state.PrimarySurface->IsPrimary());
    ASSERT_TRUE(state.PrimarySurface->GetClipper());
    EXPECT_EQ(state.PrimarySurface->GetClipper()->GetHWnd(), &window);
    EXPECT_EQ(state.D3DDevice->GetRenderTarget(), state.BackBuffer);

    EXPECT_EQ(state.SourceRect, (RECT{0, 0, 427, 389}));
    EXPECT_EQ(state.ClearRects[0], (D3DRECT{0, 0, 427, 389}));
    EXPECT_EQ(state.ClearRects[1], (D3DRECT{0, 0, 0, 0}));

    // SurfaceDesc ends holding the display mode.
    EXPECT_EQ(state.SurfaceDesc.dwWidth, 1024);
    EXPECT_EQ(state.SurfaceDesc.dwHeight, 768);
    EXPECT_EQ(state.SurfaceDesc.ddpfPixelFormat.dwRGBBitCount, 32u);
    EXPECT_TRUE(state.SurfaceDesc.dwFlags & DDSD_REFRESHRATE);
}

TEST(InitDirect3D, ListsTheDevicesAndUsesTheLast) {
    OffscreenWindow window = MainWindow();
    SystemConfig config = DefaultSystemConfig();
    config.devices = {{"First", "guid-1"}, {"Second", "guid-2"}, {"Third", "guid-3"}};
    DeviceState state = StateWith(config);
    InitDirect3D(state, &window);
    EXPECT_EQ(state.DeviceNames, (std::vector<std::string>{"First", "Second", "Third"}));
    EXPECT_EQ(state.DeviceIndex, 2);

    DeviceState standard;
    InitDirect3D(standard, &window);
    EXPECT_EQ(standard.DeviceNames, (std::vector<std::string>{"RGB Emulation", "Plovant Software Rasterizer"}));
    EXPECT_EQ(standard.DeviceIndex, 1);
}

TEST(InitDirect3D, PutsTheDeviceInItsInitialState) {
    OffscreenWindow window = MainWindow();
    DeviceState state;
    InitDirect3D(state, &window);
    Direct3DDevice7& device = *state.D3DDevice;

    D3DVIEWPORT7 viewport;
    device.GetViewport(viewport);
    EXPECT_EQ(viewport, (D3DVIEWPORT7{0, 0, 427, 389, 0.0f, 1.0f}));

    EXPECT_EQ(device.GetRenderState(D3DRENDERSTATE_AMBIENT), 0xFFFFFFFFu);
    EXPECT_EQ(device.GetRenderState(D3DRENDERSTATE_COLORKEYENABLE), 1u);
    EXPECT_EQ(device.GetRenderState(D3DRENDERSTATE_LIGHTING), 1u);
    EXPECT_EQ(device.GetRenderState(D3DRENDERSTATE_CULLMODE), D3DCULL_NONE);
    EXPECT_EQ(device.GetRenderState(D3DRENDERSTATE_ZENABLE), D3DZB_TRUE);
    EXPECT_EQ(device.GetRenderState(D3DRENDERSTATE_ZFUNC), D3DCMP_LESSEQUAL);

    D3DLIGHT7 light;
    device.GetLight(0, light);
    EXPECT_TRUE(device.GetLightEnable(0));
    EXPECT_EQ(light.dltType, D3DLIGHT_POINT);
    EXPECT_EQ(light.dcvDiffuse, (D3DCOLORVALUE{1, 1, 1, 1}));
    EXPECT_EQ(light.dcvSpecular, (D3DCOLORVALUE{1, 1, 1, 1}));
    EXPECT_EQ(light.dcvAmbient, (D3DCOLORVALUE{1, 1, 1, 1}));
    EXPECT_EQ(light.dvPosition.y, 1000.0f);
    EXPECT_EQ(light.dvPosition.z, -100.0f);
    EXPECT_EQ(light.dvRange, 0.0f);
    EXPECT_EQ(light.dvAttenuation0, 1.0f);

    D3DMATERIAL7 material;
    device.GetMaterial(material);
    EXPECT_EQ(material.ambient, (D3DCOLORVALUE{1, 1, 1, 0}));
    EXPECT_EQ(material.diffuse, (D3DCOLORVALUE{}));
    EXPECT_EQ(material.specular, (D3DCOLORVALUE{}));
    EXPECT_EQ(material.emissive, (D3DCOLORVALUE{}));
    EXPECT_EQ(material.power, 0.0f);

    D3DMATRIX m;
    device.GetTransform(D3DTRANSFORMSTATE_WORLD, m);
    D3DMATRIX identity;
    IdentityMatrix(identity);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(m.at(i, j), identity.at(i, j));
    device.GetTransform(D3DTRANSFORMSTATE_VIEW, m);
    EXPECT_FLOAT_EQ(m._11, 1);
    EXPECT_FLOAT_EQ(m._22, 1);
    EXPECT_FLOAT_EQ(m._33, 1);
    EXPECT_FLOAT_EQ(m._43, 30);
    EXPECT_FLOAT_EQ(m._41, 0);
    device.GetTransform(D3DTRANSFORMSTATE_PROJECTION, m);
    EXPECT_NEAR(m._11, 1.7320508f, 1e-5f);
    EXPECT_NEAR(m._22, 1.7320508f, 1e-5f);
    EXPECT_NEAR(m._33, 1.0000100f, 1e-6f);
    EXPECT_FLOAT_EQ(m._34, 1.0f);
    EXPECT_NEAR(m._43, -1.0000100f, 1e-6f);
    EXPECT_EQ(m._44, 0.0f);

    // Under this state every lit vertex is white with alpha 0.
    EXPECT_EQ(device.LightVertex(D3DVECTOR{5, -3, 2}, D3DVECTOR{0, 0, -7}), (D3DCOLORVALUE{1, 1, 1, 0}));
}

TEST(InitDirect3D, DrawsAndPresentsAFrame) {
    OffscreenWindow window = MainWindow();
    DeviceState state;
    InitDirect3D(state, &window);
    Direct3DDevice7& device = *state.D3DDevice;
    device.Clear(1, state.ClearRects.data(), D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x000000FF, 1.0f, 0);
    // A triangle in front of the camera at (0, 0, -30), lit white.
    D3DVERTEX vertices[3];
    CreateD3DVertex(-5, -5, 0, 0, 0, -1, 0, 0, vertices[0]);
    CreateD3DVertex(0, 5, 0, 0, 0, -1, 0, 0, vertices[1]);
    CreateD3DVertex(5, -5, 0, 0, 0, -1, 0, 0, vertices[2]);
    device.BeginScene();
    device.DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, vertices, 3, 0);
    device.EndScene();
    EXPECT_EQ(state.BackBuffer->GetPixel(213, 200) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(state.BackBuffer->GetPixel(10, 10) & 0xFFFFFF, 0x0000FFu);

    state.DX->GetWindowRect(&window, state.WindowRect);
    state.PrimarySurface->Blt(state.WindowRect, state.BackBuffer, state.SourceRect, DDBLT_WAIT);
    // Drawing-area pixel (109, 120) is screen (213, 200): back-buffer pixel (113, 150).
    EXPECT_EQ(window.Picture().pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(window.Picture().pixel(213 - 4, 200 - 30), 0xFFFFFFFFu);
}

TEST(InitDirect3D, RefusesDisplaysOfEightBitsOrLess) {
    OffscreenWindow window = MainWindow();
    for (int bits : {8, 4}) {
        SystemConfig config = DefaultSystemConfig();
        config.display_mode = DisplayMode{1024, 768, bits, 60};
        DeviceState state = StateWith(config);
        try {
            InitDirect3D(state, &window);
            FAIL() << bits << " bits accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), kErrColorDepth);
            EXPECT_EQ(e.description(),
                      "This application does not support screen display modes lower than 16-bit.");
        }
        EXPECT_FALSE(state.D3DDevice);  // the check comes before the device
        EXPECT_TRUE(state.ZBuffer);     // and after the surfaces
    }
    for (int bits : {16, 24, 32}) {
        SystemConfig config = DefaultSystemConfig();
        config.display_mode = DisplayMode{800, 600, bits, 60};
        DeviceState state = StateWith(config);
        EXPECT_NO_THROW(InitDirect3D(state, &window)) << bits;
        EXPECT_EQ(state.SurfaceDesc.ddpfPixelFormat.dwRGBBitCount, static_cast<uint32_t>(bits));
        EXPECT_EQ(state.BackBuffer->PixelFormat().dwRGBBitCount, 32u);  // the target stays 32-bit
    }
}

TEST(InitDirect3D, FailsWithACodeAndADescription) {
    OffscreenWindow window = MainWindow();
    SystemConfig none = DefaultSystemConfig();
    none.devices.clear();
    DeviceState state = StateWith(none);
    try {
        InitDirect3D(state, &window);
        FAIL();
    } catch (const Error& e) {
        EXPECT_LT(e.number(), 0);
        EXPECT_NE(e.description().find("No Direct3D device"), std::string::npos) << e.description();
    }

    DeviceState no_window;
    try {
        InitDirect3D(no_window, nullptr);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), DDERR_NOHWND);
        EXPECT_FALSE(e.description().empty());
    }
}

TEST(InitDirect3D, TakesTheFirstDepthFormatWithTheDepthFlag) {
    OffscreenWindow window = MainWindow();
    DDPIXELFORMAT not_depth = PixelFormatR5G6B5();
    SystemConfig config = DefaultSystemConfig();
    config.zbuffer_formats = {not_depth, PixelFormatZ16(), not_depth};
    DeviceState state = StateWith(config);
    InitDirect3D(state, &window);
    EXPECT_EQ(state.ZBuffer->PixelFormat(), PixelFormatZ16());

    // None with the flag: the last one is used, and a colour format cannot be a depth buffer.
    config.zbuffer_formats = {not_depth, PixelFormatX1R5G5B5()};
    DeviceState without = StateWith(config);
    try {
        InitDirect3D(without, &window);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), DDERR_INVALIDPIXELFORMAT);
    }
    EXPECT_TRUE(without.BackBuffer);
    EXPECT_FALSE(without.ZBuffer);
}

TEST(ShutdownDirect3D, ReleasesTexturesAndObjects) {
    OffscreenWindow window = MainWindow();
    DeviceState state;
    InitDirect3D(state, &window);
    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = desc.dwHeight = 2;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    std::vector<SurfacePtr> textures = {state.DDraw->CreateSurface(desc), state.DDraw->CreateSurface(desc)};
    std::weak_ptr<DirectDrawSurface7> texture = textures[1];
    std::weak_ptr<DirectDrawSurface7> zbuffer = state.ZBuffer;
    std::weak_ptr<DirectDrawSurface7> back = state.BackBuffer;
    std::weak_ptr<Direct3DDevice7> device = state.D3DDevice;
    std::weak_ptr<DirectDraw7> ddraw = state.DDraw;

    ShutdownDirect3D(state, textures);
    ASSERT_EQ(textures.size(), 2u);
    EXPECT_FALSE(textures[0]);
    EXPECT_FALSE(textures[1]);
    EXPECT_TRUE(texture.expired());
    EXPECT_TRUE(zbuffer.expired());
    EXPECT_TRUE(back.expired());
    EXPECT_TRUE(device.expired());
    EXPECT_TRUE(ddraw.expired());
    EXPECT_FALSE(state.DX);
    EXPECT_FALSE(state.PrimarySurface);
}

TEST(ShutdownDirect3D, BeforeAnyModelOrWithoutSetUp) {
    OffscreenWindow window = MainWindow();
    DeviceState state;
    InitDirect3D(state, &window);
    std::vector<SurfacePtr> never_sized;
    EXPECT_NO_THROW(ShutdownDirect3D(state, never_sized));
    EXPECT_FALSE(state.DDraw);

    // Without DDraw nothing happens, not even to the textures.
    DeviceState empty;
    empty.DX = std::make_shared<DirectX7>();
    std::vector<SurfacePtr> textures(1, nullptr);
    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = desc.dwHeight = 2;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    textures[0] = empty.DX->DirectDrawCreate("")->CreateSurface(desc);
    ShutdownDirect3D(empty, textures);
    EXPECT_TRUE(textures[0]);
    EXPECT_TRUE(empty.DX);
}

}  // namespace
}  // namespace plovant
