#include "platform/dx7/surface_from_image.h"

#include "errors/error.h"
#include "platform/dx7/bitmap_file.h"
#include "platform/dx7/direct_draw_surface7.h"
#include "platform/dx7/dx_error.h"

namespace plovant::dx7 {

SurfacePtr CreateSurfaceFromImage(DirectDraw7& ddraw, QImage image, const DDSURFACEDESC2& desc,
                                  const std::string& shown_name, const std::string& caller) {
    DDSURFACEDESC2 wanted = desc;
    const bool sized = (desc.dwFlags & DDSD_WIDTH) && (desc.dwFlags & DDSD_HEIGHT) &&
                       desc.dwWidth > 0 && desc.dwHeight > 0;
    if (sized && (desc.dwWidth != image.width() || desc.dwHeight != image.height())) {
        if (desc.dwWidth > kMaxSurfaceSide || desc.dwHeight > kMaxSurfaceSide) {
            ThrowDxError(DDERR_TOOBIGSIZE,
                         caller + ": the size asked for " + shown_name + " is too large.");
        }
        image = image.scaled(desc.dwWidth, desc.dwHeight, Qt::IgnoreAspectRatio,
                             Qt::FastTransformation);
    }
    wanted.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT;
    wanted.dwWidth = image.width();
    wanted.dwHeight = image.height();
    if (!(wanted.dwFlags & DDSD_CAPS)) {
        wanted.dwFlags |= DDSD_CAPS;
        wanted.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    }
    if (wanted.ddsCaps.dwCaps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_ZBUFFER)) {
        ThrowDxError(DDERR_INVALIDCAPS,
                     caller + ": a picture cannot become a primary surface or a depth buffer.");
    }
    SurfacePtr surface;
    try {
        surface = ddraw.CreateSurface(wanted);
    } catch (const Error& e) {
        throw Error(e.number(), e.description() + " (loading " + shown_name + ")");
    }
    CopyImageToSurface(image, *surface);
    return surface;
}

}  // namespace plovant::dx7
