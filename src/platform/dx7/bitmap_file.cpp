#include "platform/dx7/bitmap_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include <QBuffer>
#include <QImageReader>

#include "errors/error.h"
#include "platform/dx7/direct_draw_surface7.h"
#include "platform/dx7/pixel_format.h"

namespace plovant::dx7 {

QImage DecodeBitmap(const QByteArray& bytes, std::string& reason) {
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) {
        reason = "it cannot be read";
        return {};
    }
    QImageReader reader(&buffer, "bmp");
    reader.setAutoDetectImageFormat(false);  // Windows bitmaps only, whatever the bytes
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) {
        reason = "it is not a Windows bitmap";
        return {};
    }
    if (size.width() > kMaxBitmapSide || size.height() > kMaxBitmapSide) {
        reason = "its size " + std::to_string(size.width()) + " x " + std::to_string(size.height()) +
                 " is too large";
        return {};
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        reason = "it is not a readable Windows bitmap (" + reader.errorString().toStdString() + ")";
        return {};
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage ReadBitmapFile(const std::string& native_path, const std::string& shown_name) {
    std::error_code ec;
    const std::filesystem::path path(native_path);
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        throw Error(kErrFileNotFound, "File not found: " + shown_name);
    }
    if (!std::filesystem::is_regular_file(status)) {
        throw Error(kErrPathFileAccess, "Cannot read " + shown_name + ": it is not a file.");
    }
    // Opened by its bytes, so names in any encoding work.
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(native_path.c_str(), "rb"), &std::fclose);
    if (!file) {
        throw Error(kErrPathFileAccess,
                    "Cannot read " + shown_name + ": " + std::strerror(errno) + ".");
    }
    QByteArray bytes;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        if (bytes.size() + static_cast<qint64>(got) > kMaxBitmapFileBytes) {
            throw Error(kErrInvalidFormat, "Cannot load " + shown_name + ": the file is too large.");
        }
        bytes.append(chunk, static_cast<qsizetype>(got));
    }
    if (std::ferror(file.get())) {
        throw Error(kErrPathFileAccess, "Cannot read " + shown_name + ": a read error occurred.");
    }
    std::string reason;
    QImage image = DecodeBitmap(bytes, reason);
    if (image.isNull()) {
        throw Error(kErrInvalidFormat, "Cannot load " + shown_name + ": " + reason + ".");
    }
    return image;
}

void CopyImageToSurface(const QImage& source, DirectDrawSurface7& surface) {
    const QImage image = source.format() == QImage::Format_ARGB32
                             ? source
                             : source.convertToFormat(QImage::Format_ARGB32);
    FormatLayout layout;
    DescribeFormat(surface.PixelFormat(), layout);
    const int width = std::min(image.width(), surface.Width());
    const int height = std::min(image.height(), surface.Height());
    uint8_t* bits = surface.MutableBits();
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        uint8_t* row = bits + static_cast<ptrdiff_t>(y) * surface.Pitch();
        if (layout.bytes_per_pixel == 4) {
            auto* out = reinterpret_cast<uint32_t*>(row);
            for (int x = 0; x < width; ++x) out[x] = ArgbToRaw(layout, in[x]);
        } else {
            auto* out = reinterpret_cast<uint16_t*>(row);
            for (int x = 0; x < width; ++x) out[x] = static_cast<uint16_t>(ArgbToRaw(layout, in[x]));
        }
    }
    surface.Touch();
}

}  // namespace plovant::dx7
