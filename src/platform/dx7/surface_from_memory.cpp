#include "platform/dx7/surface_from_memory.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include "errors/error.h"
#include "platform/dx7/bitmap_file.h"
#include "platform/dx7/direct_draw_surface7.h"
#include "platform/dx7/dx_error.h"

namespace plovant::dx7 {

QImage DecodePicture(std::span<const uint8_t> bytes, const std::string& shown_name) {
    if (bytes.size() > uint64_t(kMaxBitmapFileBytes)) {
        throw Error(kErrInvalidFormat, "Cannot load " + shown_name + ": the file is too large.");
    }
    const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                    qsizetype(bytes.size()));
    std::string reason;
    QImage image;
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        image = DecodeBitmap(data, reason);
    } else {
        QBuffer buffer;
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QSize size = reader.size();
        const int64_t width = size.width(), height = size.height();
        if (!reader.canRead()) {
            reason = "it is not a picture Plovant reads";
        } else if (width > kMaxBitmapSide || height > kMaxBitmapSide ||
                   width * height > kMaxBitmapPixels) {
            reason = "its size " + std::to_string(width) + " x " + std::to_string(height) +
                     " is too large";
        } else if (!reader.read(&image) || image.isNull()) {
            reason = "it is not a readable picture (" + reader.errorString().toStdString() + ")";
        } else {
            image = image.convertToFormat(QImage::Format_ARGB32);
        }
    }
    if (image.isNull()) {
        throw Error(kErrInvalidFormat, "Cannot load " + shown_name + ": " + reason + ".");
    }
    return image;
}

SurfacePtr CreateSurfaceFromMemory(DirectDraw7& ddraw, std::span<const uint8_t> bytes,
                                   const std::string& shown_name, const DDSURFACEDESC2& desc) {
    QImage image = DecodePicture(bytes, shown_name);
    DDSURFACEDESC2 wanted = desc;
    const bool sized = (desc.dwFlags & DDSD_WIDTH) && (desc.dwFlags & DDSD_HEIGHT) &&
                       desc.dwWidth > 0 && desc.dwHeight > 0;
    if (sized && (desc.dwWidth != image.width() || desc.dwHeight != image.height())) {
        if (desc.dwWidth > kMaxBitmapSide || desc.dwHeight > kMaxBitmapSide) {
            ThrowDxError(DDERR_TOOBIGSIZE,
                         "DirectDraw7.CreateSurfaceFromMemory: the size asked for " + shown_name +
                             " is too large.");
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
                     "DirectDraw7.CreateSurfaceFromMemory: a picture cannot "
                     "become a primary surface or a depth buffer.");
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
