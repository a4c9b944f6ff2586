// A surface made from a decoded picture: what loading a texture from a file and from
// bytes in memory have in common once the picture is decoded.
#pragma once

#include <QImage>
#include <string>

#include "platform/dx7/direct_draw7.h"

namespace plovant::dx7 {

// A new surface of `ddraw` holding `image`, converted by plain truncation into the pixel
// format of `desc`: the picture's own size when `desc` gives none, else stretched to the
// size `desc` gives (at most kMaxSurfaceSide a side); an offscreen plain surface unless
// `desc` gives caps, which may not ask for a primary surface or a depth buffer; colour key
// from `desc`. Errors start with `caller` (the call that was made) and name `shown_name`.
SurfacePtr CreateSurfaceFromImage(DirectDraw7& ddraw, QImage image, const DDSURFACEDESC2& desc,
                                  const std::string& shown_name, const std::string& caller);

}  // namespace plovant::dx7
