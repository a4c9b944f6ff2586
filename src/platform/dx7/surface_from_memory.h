// Texture surfaces from picture bytes already in memory (a texture read out of an
// archive): Windows bitmaps as CreateSurfaceFromFile reads them, and the other picture
// formats Qt reads (PNG above all), with the same size limits.
#pragma once

#include <QImage>
#include <cstdint>
#include <span>
#include <string>

#include "platform/dx7/direct_draw7.h"

namespace plovant::dx7 {

// Decodes `bytes`: a Windows bitmap (starting "BM") exactly as a bitmap file is decoded,
// anything else by Qt's readers with at most kMaxBitmapSide per side and
// kMaxBitmapPixels in all. Throws kErrInvalidFormat naming `shown_name` when the bytes are
// not a readable picture or are too large.
QImage DecodePicture(std::span<const uint8_t> bytes, const std::string& shown_name);

// A new surface holding the picture in `bytes`, as CreateSurfaceFromFile makes one from a
// file: converted by plain truncation into the pixel format of `desc`, its own size when
// `desc` gives none, else stretched; caps and colour key from `desc`. Errors name
// `shown_name`.
SurfacePtr CreateSurfaceFromMemory(DirectDraw7& ddraw, std::span<const uint8_t> bytes,
                                   const std::string& shown_name, const DDSURFACEDESC2& desc);

}  // namespace plovant::dx7
