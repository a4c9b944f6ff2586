// The root object, the enumerations and the display modes.
#include <gtest/gtest.h>

#include <cmath>

#include "errors/error.h"
#include "support/error_of.h"
#include "platform/dx7/dx7.h"

namespace plovant::dx7 {
namespace {

using plovant::testing::ErrorOf;

// The selection texture loading makes: 16-bit, no alpha, FourCC, luminance or bump flags.
bool Acceptable(const DDPIXELFORMAT& f) {
    return (f.dwFlags & 0xE0000) == 0 && f.dwFourCC == 0 && (f.dwFlags & DDPF_ALPHAPIXELS) == 0 &&
           f.dwRGBBitCount == 16;
}

TEST(Enumerations, DevicesAreNumberedFromOne) {
    DirectX7 dx;
    const Direct3DEnumDevicesPtr devices = dx.DirectDrawCreate("")->GetDirect3D()->GetDevicesEnum();
    ASSERT_EQ(devices->GetCount(), 2);
    EXPECT_EQ(devices->GetName(1), "RGB Emulation");
    EXPECT_EQ(devices->GetName(2), "Plovant Software Rasterizer");
    EXPECT_NE(devices->GetGuid(1), devices->GetGuid(2));
    EXPECT_EQ(ErrorOf([&] { devices->GetName(0); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { devices->GetGuid(3); }), DDERR_INVALIDPARAMS);
}

TEST(Enumerations, DepthFormatsOfAKnownDevice) {
    DirectX7 dx;
    const Direct3D7Ptr d3d = dx.DirectDrawCreate("")->GetDirect3D();
    const std::string guid = d3d->GetDevicesEnum()->GetGuid(2);
    const Direct3DEnumPixelFormatsPtr formats = d3d->GetEnumZBufferFormats(guid);
    ASSERT_GE(formats->GetCount(), 1);
    DDPIXELFORMAT f;
    formats->GetItem(1, f);
    EXPECT_TRUE(f.dwFlags & DDPF_ZBUFFER);
    EXPECT_EQ(f.dwRGBBitCount, 16u);
    EXPECT_EQ(ErrorOf([&] { d3d->GetEnumZBufferFormats("no such device"); }), D3DERR_INVALID_DEVICE);
}

TEST(Enumerations, TextureFormatsPutX1R5G5B5FirstAmongTheAcceptable) {
    DirectX7 dx;
    DirectDraw7Ptr ddraw = dx.DirectDrawCreate("");
    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = desc.dwHeight = 4;
    desc.ddsCaps.dwCaps = DDSCAPS_3DDEVICE;
    const Direct3D7Ptr d3d = ddraw->GetDirect3D();
    const Direct3DDevice7Ptr device = d3d->CreateDevice(d3d->GetDevicesEnum()->GetGuid(2), ddraw->CreateSurface(desc));
    const Direct3DEnumPixelFormatsPtr formats = device->GetTextureFormatsEnum();

    bool alpha = false, thirty_two = false, r565 = false;
    int first_accepted = 0;
    for (int i = 1; i <= formats->GetCount(); ++i) {
        DDPIXELFORMAT f;
        formats->GetItem(i, f);
        alpha |= (f.dwFlags & DDPF_ALPHAPIXELS) != 0;
        thirty_two |= f.dwRGBBitCount == 32;
        r565 |= f == PixelFormatR5G6B5();
        if (first_accepted == 0 && Acceptable(f)) {
            first_accepted = i;
            EXPECT_EQ(f, PixelFormatX1R5G5B5());
        }
        // Every format offered can hold a texture.
        DDSURFACEDESC2 t;
        t.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        t.dwWidth = t.dwHeight = 2;
        t.ddpfPixelFormat = f;
        t.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        EXPECT_NO_THROW(device->SetTexture(0, ddraw->CreateSurface(t))) << i;
    }
    EXPECT_TRUE(alpha);
    EXPECT_TRUE(thirty_two);
    EXPECT_TRUE(r565);
    EXPECT_GT(first_accepted, 1);  // the alpha formats come first
}

TEST(DisplayModes, DefaultModeWithoutScreen) {
    DirectX7 dx;
    DDSURFACEDESC2 mode;
    dx.DirectDrawCreate("")->GetDisplayMode(mode);
    EXPECT_EQ(mode.dwWidth, 1024);
    EXPECT_EQ(mode.dwHeight, 768);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 32u);
    EXPECT_EQ(mode.lPitch, 4096);
    EXPECT_EQ(mode.dwFlags, DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE);
}

TEST(DisplayModes, TheCurrentModeAsFilterFindsExactlyIt) {
    SystemConfig config = DefaultSystemConfig();
    config.display_mode = DisplayMode{1280, 1024, 16, 75};
    DirectX7 dx(config);
    DirectDraw7Ptr ddraw = dx.DirectDrawCreate("");
    DDSURFACEDESC2 current;
    ddraw->GetDisplayMode(current);
    EXPECT_EQ(current.ddpfPixelFormat.dwRGBBitCount, 16u);

    const DirectDrawEnumModesPtr one = ddraw->GetDisplayModesEnum(0, current);
    ASSERT_EQ(one->GetCount(), 1);
    DDSURFACEDESC2 item;
    one->GetItem(1, item);
    EXPECT_EQ(item, current);

    const DirectDrawEnumModesPtr all = ddraw->GetDisplayModesEnum(0, DDSURFACEDESC2{});
    EXPECT_GT(all->GetCount(), 1);
    for (int i = 1; i <= all->GetCount(); ++i) {
        all->GetItem(i, item);
        EXPECT_LE(item.dwWidth, 1280);
    }
    DDSURFACEDESC2 by_depth;
    by_depth.dwFlags = DDSD_PIXELFORMAT;
    by_depth.ddpfPixelFormat = PixelFormatX8R8G8B8();
    const DirectDrawEnumModesPtr deep = ddraw->GetDisplayModesEnum(0, by_depth);
    for (int i = 1; i <= deep->GetCount(); ++i) {
        deep->GetItem(i, item);
        EXPECT_EQ(item.ddpfPixelFormat.dwRGBBitCount, 32u);
    }
    EXPECT_EQ(ErrorOf([&] { all->GetItem(0, item); }), DDERR_INVALIDPARAMS);
}

TEST(RootObject, UtilityOperations) {
    DirectX7 dx;
    EXPECT_EQ(dx.CreateColorRGBA(1, 1, 1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(dx.CreateColorRGBA(0, 0, 1, 0), 0x000000FFu);
    EXPECT_EQ(dx.CreateColorRGBA(0.5f, 2.0f, -1.0f, 1), 0xFF80FF00u);  // clamped, rounded
    EXPECT_EQ(ErrorOf([&] { dx.DirectDrawCreate("{00000000-0000-0000-0000-000000000001}"); }),
              DDERR_INVALIDDIRECTDRAWGUID);

    OffscreenWindow window(QRect(-5, 7, 427, 389), QRect(0, 30, 417, 350));
    RECT rect;
    dx.GetWindowRect(&window, rect);
    EXPECT_EQ(rect, (RECT{-5, 7, 422, 396}));
    EXPECT_EQ(ErrorOf([&] { dx.GetWindowRect(nullptr, rect); }), DDERR_NOHWND);

    D3DMATRIX m;
    dx.ProjectionMatrix(m, 1.0f, 100000.0f, 3.14159265f / 3);
    EXPECT_NEAR(m._11, 1.7320508f, 1e-5f);
    EXPECT_NEAR(m._33, 1.00001f, 1e-6f);
    EXPECT_FLOAT_EQ(m._34, 1.0f);
    EXPECT_EQ(ErrorOf([&] { dx.ProjectionMatrix(m, 5, 5, 1); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { dx.ProjectionMatrix(m, 1, 5, 0); }), DDERR_INVALIDPARAMS);
}

TEST(RootObject, CreateDeviceChecksItsTarget) {
    DirectX7 dx;
    DirectDraw7Ptr ddraw = dx.DirectDrawCreate("");
    const Direct3D7Ptr d3d = ddraw->GetDirect3D();
    EXPECT_EQ(d3d, ddraw->GetDirect3D());  // one Direct3D object per DirectDraw object
    const std::string guid = d3d->GetDevicesEnum()->GetGuid(1);
    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = desc.dwHeight = 4;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    EXPECT_EQ(ErrorOf([&] { d3d->CreateDevice(guid, ddraw->CreateSurface(desc)); }), DDERR_INVALIDCAPS);
    desc.ddsCaps.dwCaps = DDSCAPS_3DDEVICE;
    desc.dwFlags |= DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat = PixelFormatR5G6B5();
    EXPECT_EQ(ErrorOf([&] { d3d->CreateDevice(guid, ddraw->CreateSurface(desc)); }), DDERR_INVALIDPIXELFORMAT);
    desc.ddpfPixelFormat = PixelFormatX8R8G8B8();
    EXPECT_EQ(ErrorOf([&] { d3d->CreateDevice("IID_Nothing", ddraw->CreateSurface(desc)); }),
              D3DERR_INVALID_DEVICE);
    EXPECT_NE(d3d->CreateDevice(guid, ddraw->CreateSurface(desc)), nullptr);
}

}  // namespace
}  // namespace plovant::dx7
