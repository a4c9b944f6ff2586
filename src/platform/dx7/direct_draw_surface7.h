// A DirectDraw surface: a block of pixels in one pixel format (32-bit colour, 16-bit
// colour, 16-bit depth), or the primary surface, which stands for the screen and passes
// what is blitted onto it to the window its clipper is bound to.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QImage>

#include "platform/dx7/dx7_types.h"
#include "platform/dx7/raster/rasteriser.h"

namespace plovant::dx7 {

class DirectDrawSurface7 {
public:
    // Made by DirectDraw7::CreateSurface / CreateSurfaceFromFile; `desc` is complete
    // (flags, size, pixel format, caps) and already checked.
    explicit DirectDrawSurface7(const DDSURFACEDESC2& desc);

    // Fills `desc` with the surface's description: flags DDSD_CAPS | DDSD_WIDTH |
    // DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT (| DDSD_CKSRCBLT when a source key is
    // set), its size, pitch, pixel format, caps and source colour key.
    void GetSurfaceDesc(DDSURFACEDESC2& desc) const;

    // Attaches a clipper (null detaches). Blits onto a primary surface with a clipper
    // bound to a window land in that window's drawing area.
    void SetClipper(ClipperPtr clipper);
    ClipperPtr GetClipper() const { return clipper_; }

    // Attaches a depth buffer (a DDSCAPS_ZBUFFER surface of the same size) to this
    // render target; the surface keeps it alive. Another depth buffer already attached:
    // DDERR_SURFACEALREADYATTACHED; anything else: DDERR_CANNOTATTACHSURFACE.
    void AddAttachedSurface(SurfacePtr surface);
    // The attached depth buffer, or null.
    const SurfacePtr& AttachedZBuffer() const { return zbuffer_; }

    // Sets (or with DDCKEY_SRCBLT only) the source colour key: raw pixel values from
    // low to high (low alone unless DDCKEY_COLORSPACE) are transparent to keyed drawing.
    // Only DDCKEY_SRCBLT (optionally | DDCKEY_COLORSPACE) is supported; other kinds throw
    // DDERR_UNSUPPORTED.
    void SetColorKey(uint32_t flags, const DDCOLORKEY& key);
    // The source colour key; DDERR_NOCOLORKEY when none is set.
    void GetColorKey(uint32_t flags, DDCOLORKEY& key) const;

    // Copies `src_rect` of `source` onto `dest_rect` of this surface, stretching when the
    // sizes differ (nearest pixel) and converting pixel formats (channels widened to 8 bits
    // with all ones giving 255, narrowed by truncation). Flags: DDBLT_WAIT, DDBLT_ASYNC,
    // DDBLT_DONOTWAIT (ignored) and DDBLT_KEYSRC (skip the source's keyed pixels).
    // The source rectangle must lie inside the source and be non-empty
    // (DDERR_INVALIDRECT).
    // Onto an ordinary surface the destination must lie inside this surface
    // (DDERR_INVALIDRECT). Onto the primary surface the destination is in screen
    // pixels and is clipped to the drawing area of the clipper's window, which then
    // receives the painted part (nothing is painted without a window). An empty
    // destination draws nothing. Depth buffers cannot be blitted (DDERR_INVALIDSURFACETYPE).
    void Blt(const RECT& dest_rect, const SurfacePtr& source, const RECT& src_rect, uint32_t flags);

    // Fills `dest_rect` with the raw pixel value `color` (same rules as Blt's destination).
    void BltColorFill(const RECT& dest_rect, uint32_t color);

    // --- Direct access, for the device, the tests and writing images ----------------------

    bool IsPrimary() const { return (desc_.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0; }
    bool IsZBuffer() const { return (desc_.ddsCaps.dwCaps & DDSCAPS_ZBUFFER) != 0; }
    int Width() const { return desc_.dwWidth; }
    int Height() const { return desc_.dwHeight; }
    const DDPIXELFORMAT& PixelFormat() const { return desc_.ddpfPixelFormat; }
    int BytesPerPixel() const { return static_cast<int>(desc_.ddpfPixelFormat.dwRGBBitCount / 8); }
    int Pitch() const { return desc_.lPitch; }  // bytes per row

    // The pixels, rows top-down, Pitch() bytes apart. A primary surface has none (null).
    const uint8_t* Bits() const;
    // Writable pixels; call Touch() after changing them through this pointer.
    uint8_t* MutableBits();
    // Marks the contents as changed (invalidates the device's converted copy).
    void Touch() { ++version_; }
    // Counts changes of contents and colour key; starts at 1.
    uint64_t ContentVersion() const { return version_; }

    // Raw pixel value at (x, y) (16 or 32 bits as stored). Outside: DDERR_INVALIDRECT.
    uint32_t GetPixel(int x, int y) const;
    void SetPixel(int x, int y, uint32_t raw);
    // The pixel at (x, y) as 0xAARRGGBB (channels widened to 8 bits, all ones giving 255;
    // alpha 0xFF in formats without alpha; a depth value as grey, its high byte).
    uint32_t GetPixelARGB(int x, int y) const;

    // The colour surface as an image: Format_RGB32 for formats without alpha,
    // Format_ARGB32 for alpha formats. A depth buffer gives a grey image. A primary
    // surface gives a null image.
    QImage ToImage() const;

    // The colour texture as the rasteriser samples it: 0xAARRGGBB texels, keyed texels
    // (raw value equal to the source colour key) with alpha 0, all others 0xFF.
    // Converted on first use after each change of contents or key, then reused.
    const raster::Texture& RasterTexture() const;

    // The colour and depth buffers of this render target for the rasteriser. Only for
    // 32-bit colour surfaces; depth is the attached depth buffer's (null without one).
    raster::Target RasterTarget();

private:
    void CheckDestRect(const RECT& rect, const char* operation) const;
    void BltToWindow(const RECT& dest_rect, const DirectDrawSurface7& source, const RECT& src_rect);
    bool IsKeyed(uint32_t raw, uint32_t significant) const;

    DDSURFACEDESC2 desc_;
    bool has_src_key_ = false;
    std::vector<uint32_t> pixels_;  // storage for Pitch() × Height() bytes
    ClipperPtr clipper_;
    SurfacePtr zbuffer_;
    uint64_t version_ = 1;

    mutable std::vector<uint32_t> texels_;
    mutable std::vector<uint32_t> quads_;  // bilinear footprints (power-of-two sizes)
    mutable raster::Texture texture_;
    mutable uint64_t texels_version_ = 0;
    QImage present_buffer_;    // reused picture for blits onto a window
    std::vector<int> x_map_;   // reused source column of each destination column
};

}  // namespace plovant::dx7
