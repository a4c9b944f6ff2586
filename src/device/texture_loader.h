// Loading one bitmap file into a texture surface the device can draw with.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "archive/data_location.h"
#include "device/direct3d_setup.h"
#include "model/rsm_model.h"

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

// As above, for the texture a model names `name` in the data location `location`. A folder
// location loads exactly as LoadTexture(state, folder + "\texture\" + name) does; an
// archive's texture is decoded from its bytes (a Windows bitmap, or a PNG or another
// picture Qt reads). The stand-by bitmap comes from `standby_folder` (empty: the
// executable's folder). `found` (when given) tells whether the location held the texture.
dx7::SurfacePtr LoadTexture(DeviceState& state, const DataLocation& location, std::string_view name,
                            const std::string& standby_folder, bool* found = nullptr);

// Loads one texture surface per texture name of `model`, in table order, from `location`
// (every name, whether or not a mesh uses it; a name that stands twice is loaded twice).
// The result has TextureCount + 1 elements; the last is null. The names the location does
// not hold (as stored, up to the first NUL), for which the stand-by bitmap was loaded, are
// appended to `missing` when it is given. Throws plovant::Error (an unreadable picture, a
// missing stand-by bitmap, a device failure); surfaces loaded so far are released.
std::vector<dx7::SurfacePtr> LoadModelTextures(DeviceState& state, const RsmModel& model,
                                               const DataLocation& location,
                                               const std::string& standby_folder,
                                               std::vector<std::string>* missing = nullptr);

}  // namespace plovant
