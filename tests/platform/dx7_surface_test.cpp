// Surfaces, blits and presenting into a window.
#include <gtest/gtest.h>

#include <memory>

#include "errors/error.h"
#include "support/error_of.h"
#include "platform/dx7/dx7.h"

namespace plovant::dx7 {
namespace {

using plovant::testing::ErrorOf;

class SurfaceTest : public ::testing::Test {
protected:
    SurfacePtr Make(int width, int height, const DDPIXELFORMAT& format = PixelFormatX8R8G8B8(),
                    uint32_t caps = DDSCAPS_OFFSCREENPLAIN) {
        DDSURFACEDESC2 desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.ddpfPixelFormat = format;
        desc.ddsCaps.dwCaps = caps;
        return ddraw_->CreateSurface(desc);
    }

    SurfacePtr Primary(PlatformWindow* window) {
        ddraw_->SetCooperativeLevel(window, DDSCL_NORMAL);
        DDSURFACEDESC2 desc;
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        SurfacePtr primary = ddraw_->CreateSurface(desc);
        ClipperPtr clipper = ddraw_->CreateClipper(0);
        clipper->SetHWnd(window);
        primary->SetClipper(clipper);
        return primary;
    }

    // Fills a surface with distinct values: x + 16·y (+ 0x100000 to be non-zero).
    static void Number(const SurfacePtr& s) {
        for (int y = 0; y < s->Height(); ++y)
            for (int x = 0; x < s->Width(); ++x) s->SetPixel(x, y, 0x100000u + static_cast<uint32_t>(x + 16 * y));
    }

    DirectX7 dx_{[] {
        SystemConfig config = DefaultSystemConfig();
        config.display_mode = DisplayMode{800, 600, 32, 60};
        return config;
    }()};
    DirectDraw7Ptr ddraw_ = dx_.DirectDrawCreate("");
};

TEST_F(SurfaceTest, CreatesSurfacesAsDescribed) {
    const SurfacePtr s = Make(5, 3, PixelFormatX1R5G5B5(), DDSCAPS_TEXTURE);
    DDSURFACEDESC2 desc;
    s->GetSurfaceDesc(desc);
    EXPECT_EQ(desc.dwWidth, 5);
    EXPECT_EQ(desc.dwHeight, 3);
    EXPECT_EQ(desc.lPitch, 12);  // 10 bytes rounded up to 4
    EXPECT_EQ(desc.ddpfPixelFormat, PixelFormatX1R5G5B5());
    EXPECT_TRUE(desc.ddsCaps.dwCaps & DDSCAPS_TEXTURE);
    EXPECT_EQ(s->GetPixel(4, 2), 0u);

    DDSURFACEDESC2 plain;  // no pixel format: 32-bit
    plain.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    plain.dwWidth = plain.dwHeight = 2;
    plain.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    EXPECT_EQ(ddraw_->CreateSurface(plain)->PixelFormat(), PixelFormatX8R8G8B8());

    const SurfacePtr z = Make(4, 4, PixelFormatZ16(), DDSCAPS_ZBUFFER);
    EXPECT_TRUE(z->IsZBuffer());
    EXPECT_EQ(z->Pitch(), 8);
}

TEST_F(SurfaceTest, RefusesImpossibleSurfaces) {
    EXPECT_EQ(ErrorOf([&] { Make(0, 4); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { Make(-1, 4); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { Make(20000, 4); }), DDERR_TOOBIGSIZE);
    EXPECT_EQ(ErrorOf([&] { Make(16384, 16384); }), DDERR_OUTOFMEMORY);
    DDPIXELFORMAT odd = PixelFormatX1R5G5B5();
    odd.dwGBitMask = 0x3A0;  // not contiguous
    EXPECT_EQ(ErrorOf([&] { Make(4, 4, odd); }), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(ErrorOf([&] { Make(4, 4, DDPIXELFORMAT{}); }), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(ErrorOf([&] { Make(4, 4, PixelFormatX8R8G8B8(), DDSCAPS_ZBUFFER); }), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(ErrorOf([&] { Make(4, 4, PixelFormatZ16(), DDSCAPS_TEXTURE); }), DDERR_INVALIDPIXELFORMAT);
    DDSURFACEDESC2 no_caps;
    EXPECT_EQ(ErrorOf([&] { ddraw_->CreateSurface(no_caps); }), DDERR_INVALIDPARAMS);
}

TEST_F(SurfaceTest, OnePrimarySurfaceAfterTheCooperativeLevel) {
    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    EXPECT_EQ(ErrorOf([&] { ddraw_->CreateSurface(desc); }), DDERR_NOCOOPERATIVELEVELSET);
    EXPECT_EQ(ErrorOf([&] { ddraw_->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN); }),
              DDERR_INVALIDPARAMS);
    ddraw_->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    SurfacePtr primary = ddraw_->CreateSurface(desc);
    DDSURFACEDESC2 got;
    primary->GetSurfaceDesc(got);
    EXPECT_EQ(got.dwWidth, 800);
    EXPECT_EQ(got.dwHeight, 600);
    EXPECT_EQ(got.ddpfPixelFormat.dwRGBBitCount, 32u);
    EXPECT_EQ(ErrorOf([&] { ddraw_->CreateSurface(desc); }), DDERR_PRIMARYSURFACEALREADYEXISTS);
    primary.reset();
    EXPECT_NO_THROW(ddraw_->CreateSurface(desc));  // released: a new one may be made
}

TEST_F(SurfaceTest, ColourKeys) {
    const SurfacePtr s = Make(2, 2, PixelFormatX1R5G5B5(), DDSCAPS_TEXTURE);
    DDCOLORKEY key;
    EXPECT_EQ(ErrorOf([&] { s->GetColorKey(DDCKEY_SRCBLT, key); }), DDERR_NOCOLORKEY);
    s->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{0x7C1F, 0x1234});
    s->GetColorKey(DDCKEY_SRCBLT, key);
    EXPECT_EQ(key, (DDCOLORKEY{0x7C1F, 0x7C1F}));  // a single key: high = low
    DDSURFACEDESC2 desc;
    s->GetSurfaceDesc(desc);
    EXPECT_TRUE(desc.dwFlags & DDSD_CKSRCBLT);
    EXPECT_EQ(desc.ddckCKSrcBlt.dwColorSpaceLowValue, 0x7C1Fu);
    EXPECT_EQ(ErrorOf([&] { s->SetColorKey(DDCKEY_DESTBLT, key); }), DDERR_UNSUPPORTED);

    // Given at creation.
    DDSURFACEDESC2 keyed;
    keyed.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_CKSRCBLT;
    keyed.dwWidth = keyed.dwHeight = 1;
    keyed.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    keyed.ddckCKSrcBlt = DDCOLORKEY{5, 5};
    ddraw_->CreateSurface(keyed)->GetColorKey(DDCKEY_SRCBLT, key);
    EXPECT_EQ(key.dwColorSpaceLowValue, 5u);
}

TEST_F(SurfaceTest, BltCopiesAndStretches) {
    const SurfacePtr src = Make(4, 4);
    Number(src);
    const SurfacePtr dst = Make(8, 8);

    dst->Blt(RECT{1, 1, 3, 3}, src, RECT{2, 2, 4, 4}, DDBLT_WAIT);
    EXPECT_EQ(dst->GetPixel(1, 1), src->GetPixel(2, 2));
    EXPECT_EQ(dst->GetPixel(2, 2), src->GetPixel(3, 3));
    EXPECT_EQ(dst->GetPixel(0, 0), 0u);
    EXPECT_EQ(dst->GetPixel(3, 3), 0u);

    // Doubled: every source pixel covers 2 × 2.
    dst->Blt(RECT{0, 0, 8, 8}, src, RECT{0, 0, 4, 4}, DDBLT_WAIT);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(dst->GetPixel(x, y), src->GetPixel(x / 2, y / 2));

    // Halved: the pixel under each destination pixel's centre.
    const SurfacePtr small = Make(2, 2);
    small->Blt(RECT{0, 0, 2, 2}, dst, RECT{0, 0, 8, 8}, 0);
    EXPECT_EQ(small->GetPixel(0, 0), src->GetPixel(1, 1));
    EXPECT_EQ(small->GetPixel(1, 1), src->GetPixel(3, 3));

    // Uneven: 3 source columns onto 7.
    const SurfacePtr wide = Make(7, 1);
    wide->Blt(RECT{0, 0, 7, 1}, src, RECT{0, 0, 3, 1}, 0);
    const int expected[7] = {0, 0, 1, 1, 1, 2, 2};
    for (int x = 0; x < 7; ++x) EXPECT_EQ(wide->GetPixel(x, 0), src->GetPixel(expected[x], 0)) << x;
}

TEST_F(SurfaceTest, BltConvertsFormats) {
    const SurfacePtr src = Make(2, 1);
    src->SetPixel(0, 0, 0xFF00FF);
    src->SetPixel(1, 0, 0x0F1F2F);
    const SurfacePtr x555 = Make(2, 1, PixelFormatX1R5G5B5());
    x555->Blt(RECT{0, 0, 2, 1}, src, RECT{0, 0, 2, 1}, 0);
    EXPECT_EQ(x555->GetPixel(0, 0), 0x7C1Fu);
    EXPECT_EQ(x555->GetPixel(1, 0), (1u << 10) | (3u << 5) | 5u);  // truncated
    // Back to 32 bits: full-range channels stay full.
    const SurfacePtr back = Make(2, 1);
    back->Blt(RECT{0, 0, 2, 1}, x555, RECT{0, 0, 2, 1}, 0);
    EXPECT_EQ(back->GetPixel(0, 0), 0xFF00FFu);
    EXPECT_EQ(x555->GetPixelARGB(0, 0), 0xFFFF00FFu);
}

TEST_F(SurfaceTest, KeyedBltSkipsKeyedPixels) {
    const SurfacePtr src = Make(2, 1, PixelFormatX1R5G5B5());
    src->SetPixel(0, 0, 0x7C1F);
    src->SetPixel(1, 0, 0x001F);
    src->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{0x7C1F, 0x7C1F});
    const SurfacePtr dst = Make(2, 1, PixelFormatX1R5G5B5());
    dst->BltColorFill(RECT{0, 0, 2, 1}, 0x1111);
    dst->Blt(RECT{0, 0, 2, 1}, src, RECT{0, 0, 2, 1}, DDBLT_KEYSRC);
    EXPECT_EQ(dst->GetPixel(0, 0), 0x1111u);
    EXPECT_EQ(dst->GetPixel(1, 0), 0x001Fu);
}

TEST_F(SurfaceTest, BltWithinOneSurfaceReadsTheOriginal) {
    const SurfacePtr s = Make(4, 1);
    Number(s);
    s->Blt(RECT{1, 0, 4, 1}, s, RECT{0, 0, 3, 1}, 0);
    EXPECT_EQ(s->GetPixel(1, 0), 0x100000u);
    EXPECT_EQ(s->GetPixel(2, 0), 0x100001u);
    EXPECT_EQ(s->GetPixel(3, 0), 0x100002u);
}

TEST_F(SurfaceTest, BltRefusesBadRectangles) {
    const SurfacePtr src = Make(4, 4);
    const SurfacePtr dst = Make(4, 4);
    const RECT all{0, 0, 4, 4};
    EXPECT_EQ(ErrorOf([&] { dst->Blt(all, src, RECT{0, 0, 5, 4}, 0); }), DDERR_INVALIDRECT);
    EXPECT_EQ(ErrorOf([&] { dst->Blt(all, src, RECT{-1, 0, 4, 4}, 0); }), DDERR_INVALIDRECT);
    EXPECT_EQ(ErrorOf([&] { dst->Blt(all, src, RECT{2, 0, 2, 4}, 0); }), DDERR_INVALIDRECT);
    EXPECT_EQ(ErrorOf([&] { dst->Blt(RECT{0, 0, 5, 4}, src, all, 0); }), DDERR_INVALIDRECT);
    EXPECT_EQ(ErrorOf([&] { dst->Blt(RECT{3, 0, 1, 4}, src, all, 0); }), DDERR_INVALIDRECT);
    EXPECT_EQ(ErrorOf([&] { dst->Blt(all, nullptr, all, 0); }), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ErrorOf([&] { dst->Blt(all, src, all, DDBLT_KEYSRC); }), DDERR_NOCOLORKEY);
    const SurfacePtr z = Make(4, 4, PixelFormatZ16(), DDSCAPS_ZBUFFER);
    EXPECT_EQ(ErrorOf([&] { dst->Blt(all, z, all, 0); }), DDERR_INVALIDSURFACETYPE);
    EXPECT_NO_THROW(dst->Blt(RECT{1, 1, 1, 3}, src, all, 0));  // empty destination: nothing
}

TEST_F(SurfaceTest, AttachesOneDepthBufferOfTheSameSize) {
    const SurfacePtr target = Make(4, 4, PixelFormatX8R8G8B8(), DDSCAPS_3DDEVICE);
    EXPECT_EQ(ErrorOf([&] { target->AddAttachedSurface(Make(4, 4)); }), DDERR_CANNOTATTACHSURFACE);
    EXPECT_EQ(ErrorOf([&] { target->AddAttachedSurface(Make(5, 4, PixelFormatZ16(), DDSCAPS_ZBUFFER)); }),
              DDERR_CANNOTATTACHSURFACE);
    const SurfacePtr z = Make(4, 4, PixelFormatZ16(), DDSCAPS_ZBUFFER);
    target->AddAttachedSurface(z);
    EXPECT_EQ(target->AttachedZBuffer(), z);
    EXPECT_EQ(ErrorOf([&] { target->AddAttachedSurface(Make(4, 4, PixelFormatZ16(), DDSCAPS_ZBUFFER)); }),
              DDERR_SURFACEALREADYATTACHED);
}

// A window that keeps no picture to draw into: pictures are handed to it.
class HandedPicturesWindow : public OffscreenWindow {
public:
    using OffscreenWindow::OffscreenWindow;
    QImage* DrawablePicture() override { return nullptr; }
};

// The same whether the blit draws into the window's picture or hands one over.
TEST_F(SurfaceTest, PrimaryBltPaintsTheWindowsDrawingArea) {
    // Outer rectangle 100,100 … 140,130; drawing area inset by a 2-pixel frame and a
    // 6-pixel title bar.
    for (bool offers_picture : {true, false}) {
        SCOPED_TRACE(offers_picture ? "drawn into the window's picture" : "handed to the window");
        const QRect outer(100, 100, 40, 30), area(102, 108, 36, 20);
        std::unique_ptr<OffscreenWindow> owned =
            offers_picture ? std::make_unique<OffscreenWindow>(outer, area)
                           : std::make_unique<HandedPicturesWindow>(outer, area);
        OffscreenWindow& window = *owned;
        const SurfacePtr primary = Primary(&window);
        const SurfacePtr back = Make(40, 30);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                back->SetPixel(x, y, static_cast<uint32_t>(x << 16 | y << 8 | 0x40));

        primary->Blt(RECT{100, 100, 140, 130}, back, RECT{0, 0, 40, 30}, DDBLT_WAIT);
        EXPECT_EQ(window.PresentCount(), 1);
        const QImage& picture = window.Picture();
        ASSERT_EQ(picture.size(), QSize(36, 20));
        // Drawing-area pixel (0, 0) is screen (102, 108): back-buffer pixel (2, 8).
        EXPECT_EQ(picture.pixel(0, 0), 0xFF000000u | 2u << 16 | 8u << 8 | 0x40u);
        EXPECT_EQ(picture.pixel(35, 19), 0xFF000000u | 37u << 16 | 27u << 8 | 0x40u);

        // Stretched onto a rectangle twice the size, half of it off the drawing area.
        window.SetGeometry(QRect(0, 0, 80, 60), QRect(0, 0, 40, 30));
        primary->Blt(RECT{0, 0, 80, 60}, back, RECT{0, 0, 40, 30}, DDBLT_WAIT);
        EXPECT_EQ(window.Picture().pixel(9, 5), 0xFF000000u | 4u << 16 | 2u << 8 | 0x40u);
        EXPECT_EQ(window.Picture().pixel(39, 29), 0xFF000000u | 19u << 16 | 14u << 8 | 0x40u);

        // A small rectangle inside the drawing area: the rest keeps what it showed.
        const QRgb left_of = window.Picture().pixel(4, 7), below = window.Picture().pixel(14, 12);
        primary->Blt(RECT{5, 7, 15, 12}, back, RECT{20, 20, 30, 25}, DDBLT_WAIT);
        EXPECT_EQ(window.Picture().pixel(5, 7), 0xFF000000u | 20u << 16 | 20u << 8 | 0x40u);
        EXPECT_EQ(window.Picture().pixel(14, 11), 0xFF000000u | 29u << 16 | 24u << 8 | 0x40u);
        EXPECT_EQ(window.Picture().pixel(4, 7), left_of);
        EXPECT_EQ(window.Picture().pixel(14, 12), below);

        // A destination wholly outside the drawing area paints nothing.
        const int presents = window.PresentCount();
        primary->Blt(RECT{500, 500, 540, 530}, back, RECT{0, 0, 40, 30}, DDBLT_WAIT);
        EXPECT_EQ(window.PresentCount(), presents);
    }
}

TEST_F(SurfaceTest, PrimaryBltWithoutWindowShowsNothing) {
    ddraw_->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    const SurfacePtr primary = ddraw_->CreateSurface(desc);
    const SurfacePtr back = Make(4, 4);
    EXPECT_NO_THROW(primary->Blt(RECT{0, 0, 4, 4}, back, RECT{0, 0, 4, 4}, DDBLT_WAIT));
    primary->SetClipper(ddraw_->CreateClipper(0));  // a clipper bound to no window
    EXPECT_NO_THROW(primary->Blt(RECT{0, 0, 4, 4}, back, RECT{0, 0, 4, 4}, DDBLT_WAIT));
    EXPECT_EQ(ErrorOf([&] { primary->Blt(RECT{4, 0, 0, 4}, back, RECT{0, 0, 4, 4}, 0); }), DDERR_INVALIDRECT);
}

TEST_F(SurfaceTest, SixteenBitTexturePresentsStretched) {
    // The textures window: a small 16-bit texture stretched onto a 256 × 256 picture box.
    OffscreenWindow box(QRect(10, 10, 256, 256));
    const SurfacePtr primary = Primary(&box);
    const SurfacePtr texture = Make(2, 2, PixelFormatX1R5G5B5(), DDSCAPS_TEXTURE);
    texture->SetPixel(0, 0, 0x7C00);
    texture->SetPixel(1, 1, 0x001F);
    primary->Blt(RECT{10, 10, 266, 266}, texture, RECT{0, 0, 2, 2}, DDBLT_WAIT);
    EXPECT_EQ(box.Picture().pixel(127, 127), 0xFFFF0000u);
    EXPECT_EQ(box.Picture().pixel(128, 128), 0xFF0000FFu);
    EXPECT_EQ(box.Picture().pixel(200, 20), 0xFF000000u);
}

TEST_F(SurfaceTest, RasterTextureKeysTexelsAndFollowsChanges) {
    const SurfacePtr s = Make(2, 1, PixelFormatX1R5G5B5(), DDSCAPS_TEXTURE);
    s->SetPixel(0, 0, 0x7C1F);
    s->SetPixel(1, 0, 0x03E0);
    const raster::Texture& plain = s->RasterTexture();
    EXPECT_EQ(plain.texels[0], 0xFFFF00FFu);  // no key set: opaque
    EXPECT_FALSE(plain.has_keyed_texels);
    s->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{0x7C1F, 0x7C1F});
    const raster::Texture& keyed = s->RasterTexture();
    EXPECT_EQ(keyed.texels[0], 0x00FF00FFu);
    EXPECT_EQ(keyed.texels[1], 0xFF00FF00u);
    EXPECT_TRUE(keyed.has_keyed_texels);
    const uint32_t* before = keyed.texels;
    EXPECT_EQ(s->RasterTexture().texels, before);  // unchanged: reused
    s->SetPixel(1, 0, 0x001F);
    EXPECT_EQ(s->RasterTexture().texels[1], 0xFF0000FFu);
    s->SetPixel(0, 0, 0x03E0);  // the magenta texel painted over: nothing keyed is left
    EXPECT_FALSE(s->RasterTexture().has_keyed_texels);

    // The same raw value in R5G6B5 is a different colour and the key still matches raw.
    const SurfacePtr r = Make(1, 1, PixelFormatR5G6B5(), DDSCAPS_TEXTURE);
    r->SetPixel(0, 0, 0xF81F);  // magenta in 5-6-5
    r->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{0x7C1F, 0x7C1F});
    EXPECT_EQ(r->RasterTexture().texels[0], 0xFFFF00FFu);  // opaque
}

TEST_F(SurfaceTest, ToImageGivesTheColours) {
    const SurfacePtr s = Make(2, 1, PixelFormatX1R5G5B5());
    s->SetPixel(0, 0, 0x7FFF);
    const QImage image = s->ToImage();
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image.pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(image.pixel(1, 0), 0xFF000000u);
}

}  // namespace
}  // namespace plovant::dx7
