// Windows bitmap files: decoding with QtGui's BMP reader and converting the pixels into a
// surface's format by plain truncation of each channel.
#pragma once

#include <cstdint>
#include <string>

#include <QByteArray>
#include <QImage>

namespace plovant::dx7 {

class DirectDrawSurface7;

// Largest bitmap side, pixel count and file size accepted (a few bytes of run-length
// data can describe a huge picture; textures are far smaller).
inline constexpr int kMaxBitmapSide = 16384;
inline constexpr int64_t kMaxBitmapPixels = int64_t{4096} * 4096;
inline constexpr qint64 kMaxBitmapFileBytes = 256 * 1024 * 1024;

// Decodes the Windows bitmap in `bytes` (every BMP variant QImage reads: 1/4/8-bit
// palettized, RLE4/RLE8, 16-bit 5-5-5 and bit fields, 24/32-bit, top-down, OS/2 headers).
// Returns the image as Format_ARGB32, or a null image with `reason` set when the bytes are
// not a readable bitmap.
QImage DecodeBitmap(const QByteArray& bytes, std::string& reason);

// Reads and decodes the bitmap file at `native_path`. `shown_name` is the name the errors
// use. Throws plovant::Error: kErrFileNotFound when there is no such file,
// kErrPathFileAccess when it cannot be read, kErrInvalidFormat when it is not a readable
// bitmap; every description names the file.
QImage ReadBitmapFile(const std::string& native_path, const std::string& shown_name);

// Writes `image` (any format; converted to ARGB32 first) into `surface`, which has the
// image's size and a colour format: each channel truncated to the format's width.
void CopyImageToSurface(const QImage& image, DirectDrawSurface7& surface);

}  // namespace plovant::dx7
