#include "platform/dx7/bitmap_file.h"

#include <cerrno>
#include <cstdlib>
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

namespace {

uint32_t Le(const QByteArray& bytes, qsizetype at, int size) {
    uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(bytes[at + i]);
    return v;
}

// QImage fills in what it can of an uncompressed bitmap whose pixel data is cut short,
// and makes up a picture from headers of sizes no Windows bitmap has. Such files are
// refused instead: the header must be one of the known kinds (12-byte OS/2 core, 40-byte
// info, 52/56-byte info with masks, 64-byte OS/2 2.x, 108-byte V4, 124-byte V5) and all
// rows of an uncompressed bitmap must be there. Returns false with `reason` otherwise.
bool KnownHeaderAndCompleteRows(const QByteArray& bytes, std::string& reason) {
    constexpr qsizetype kFileHeader = 14;
    if (bytes.size() < kFileHeader + 16) return true;  // the reader refuses it itself
    const uint32_t offset = Le(bytes, 10, 4);
    const uint32_t header_size = Le(bytes, kFileHeader, 4);
    int64_t width = 0, height = 0, bits = 0, compression = 0;
    // The fields read below: up to byte 26 of a core header, byte 34 of the others.
    if (bytes.size() < (header_size == 12 ? 26 : 34)) {
        reason = "its header is cut short";
        return false;
    }
    if (header_size == 12) {
        width = static_cast<int16_t>(Le(bytes, 18, 2));
        height = static_cast<int16_t>(Le(bytes, 20, 2));
        bits = Le(bytes, 24, 2);
    } else if (header_size == 40 || header_size == 52 || header_size == 56 || header_size == 64 ||
               header_size == 108 || header_size == 124) {
        width = static_cast<int32_t>(Le(bytes, 18, 4));
        height = static_cast<int32_t>(Le(bytes, 22, 4));
        bits = Le(bytes, 28, 2);
        compression = Le(bytes, 30, 4);
    } else {
        reason = "its header (" + std::to_string(header_size) + " bytes) is not a Windows bitmap header";
        return false;
    }
    if (compression != 0 && compression != 3) return true;  // run-length data ends itself
    if (width <= 0 || bits <= 0 || bits > 32) return true;
    const int64_t rows = height < 0 ? -height : height;
    if (width > kMaxBitmapSide || rows > kMaxBitmapSide || width * rows > kMaxBitmapPixels) {
        reason = "its size " + std::to_string(width) + " x " + std::to_string(rows) + " is too large";
        return false;
    }
    const int64_t stride = (width * bits + 31) / 32 * 4;
    if (int64_t{offset} + stride * rows > bytes.size()) {
        reason = "its pixel data is cut short";
        return false;
    }
    return true;
}

}  // namespace

QImage DecodeBitmap(const QByteArray& bytes, std::string& reason) {
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) {
        reason = "it cannot be read";
        return {};
    }
    if (!KnownHeaderAndCompleteRows(bytes, reason)) return {};
    QImageReader reader(&buffer, "bmp");
    reader.setAutoDetectImageFormat(false);  // Windows bitmaps only, whatever the bytes
    reader.setDecideFormatFromContent(false);
    // The size from the headers (a top-down bitmap may report a negative height).
    const QSize size = reader.size();
    const int64_t width = std::abs(static_cast<int64_t>(size.width()));
    const int64_t height = std::abs(static_cast<int64_t>(size.height()));
    if (width > kMaxBitmapSide || height > kMaxBitmapSide || width * height > kMaxBitmapPixels) {
        reason = "its size " + std::to_string(width) + " x " + std::to_string(height) + " is too large";
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
