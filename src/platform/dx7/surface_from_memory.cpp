#include "platform/dx7/surface_from_memory.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include "errors/error.h"
#include "platform/dx7/bitmap_file.h"
#include "platform/dx7/surface_from_image.h"

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
    return CreateSurfaceFromImage(ddraw, DecodePicture(bytes, shown_name), desc, shown_name,
                                  "DirectDraw7.CreateSurfaceFromMemory");
}

}  // namespace plovant::dx7
