// Loading one bitmap file into a texture surface the device can draw with.
#pragma once

#include <string>
#include <string_view>

#include "device/direct3d_setup.h"

namespace plovant {

// The name of the stand-by bitmap beside the executable.
inline constexpr const char* kStandbyBitmapName = "blank.bmp";

// Loads the bitmap `path` (used up to its first NUL; "\" separates folders; found by
// FindNormalFile, so stored, CP949-decoded and case-insensitive names all work) into a
// new texture surface of the first texture format of `state.D3DDevice` that is 16-bit,
// without alpha, FourCC, luminance or bump flags (the last format listed when none is),
// with source colour key 0x7C1F (magenta in X1R5G5B5). When no such file exists, loads
// `standby_folder` + "\blank.bmp" instead, silently.
//
// Needs DDraw and D3DDevice of `state`. Failures (an unreadable or non-bitmap file, a
// missing stand-by bitmap, an unusable format) throw plovant::Error naming the file.
dx7::SurfacePtr LoadTexture(DeviceState& state, std::string_view path,
                            const std::string& standby_folder);

// As above, with the stand-by bitmap from the executable's folder.
dx7::SurfacePtr LoadTexture(DeviceState& state, std::string_view path);

}  // namespace plovant
