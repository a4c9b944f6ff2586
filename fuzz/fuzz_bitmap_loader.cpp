// libFuzzer target: arbitrary bytes as a Windows bitmap file. Decoding must refuse or
// accept without any memory fault, and an accepted picture must convert into every
// texture format and into the rasteriser's texel form.
#include <cstddef>
#include <cstdint>
#include <string>

#include <QByteArray>
#include <QImage>

#include "errors/error.h"
#include "platform/dx7/bitmap_file.h"
#include "platform/dx7/dx7.h"

using namespace plovant::dx7;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static DirectX7 dx;
    static DirectDraw7Ptr ddraw = dx.DirectDrawCreate("");

    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::string reason;
    const QImage image = DecodeBitmap(bytes, reason);
    if (image.isNull()) {
        if (reason.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    if (image.format() != QImage::Format_ARGB32) __builtin_trap();
    // The conversions do the same per pixel at any size; pictures of more than a million
    // pixels (a few bytes of run-length data can describe one) would only slow the search.
    if (static_cast<int64_t>(image.width()) * image.height() > 1'000'000) return 0;

    for (const DDPIXELFORMAT& format : dx.Config().texture_formats) {
        DDSURFACEDESC2 desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = image.width();
        desc.dwHeight = image.height();
        desc.ddpfPixelFormat = format;
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        SurfacePtr surface;
        try {
            surface = ddraw->CreateSurface(desc);
        } catch (const plovant::Error&) {
            return 0;  // too large for a surface: refused, not a fault
        }
        CopyImageToSurface(image, *surface);
        surface->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{0x7C1F, 0x7C1F});
        const auto& texture = surface->RasterTexture();
        if (texture.width != image.width() || texture.height != image.height()) __builtin_trap();
    }
    return 0;
}
