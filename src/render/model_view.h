// Opening a model as the viewer does, in pieces that the viewer's File, Open and the
// command-line tool share: reading and centring the model, the camera reset, and loading
// one texture per texture name. Each piece either succeeds or leaves the caller's state
// exactly as it was, so a failed open keeps the previous model, textures and camera.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "device/direct3d_setup.h"
#include "model/rsm_model.h"
#include "render/camera.h"

namespace plovant {

// A model read and centred, with the extent of its first mesh.
struct OpenedModel {
    RsmModel model;
    float extent = 0;
};

// Reads the RSM file at `path` (LoadRsm) and centres its first mesh (CenterRootMesh).
// Throws plovant::Error naming the file and the problem, with what the file's first
// bytes say about it put first (ExplainModelReadFailure); nothing of the caller's changes.
OpenedModel ReadViewModel(const std::filesystem::path& path);

// The same for a file's bytes already in memory; `name` stands for the file.
OpenedModel ReadViewModel(std::span<const uint8_t> bytes, const std::string& name);

// The camera reset of an open, for a model whose first mesh has `model_extent`: the same
// as ResetCamera (never fails).
inline void ResetViewCamera(CameraState& camera, float model_extent) {
    ResetCamera(camera, model_extent);
}

// The path of texture `name` in the data folder: data_path + "\texture\" + the name up
// to its first NUL, with "\" as the folder separator as the device layer expects.
std::string TexturePath(const std::string& data_path, const Text40& name);

// Loads one texture surface per texture name of `model`, in table order, from
// TexturePath(data_path, name): every name, whether or not a mesh uses it, and a name
// that stands twice is loaded twice. When `data_path` names a .grf file, the textures are
// read from the archive's "data\texture\" instead (see OpenDataLocation). A missing file
// gets the stand-by bitmap (`standby_folder` + "\blank.bmp"; empty: the executable's
// folder), and its name (up to the first NUL) is appended to `missing` when given. The
// result has TextureCount + 1 elements; the last is null.
//
// Throws plovant::Error (an unreadable bitmap, an archive that cannot be read, a missing
// stand-by bitmap, a device failure) without changing anything of the caller's: surfaces
// loaded so far are released.
std::vector<dx7::SurfacePtr> LoadViewTextures(DeviceState& device, const RsmModel& model,
                                              const std::string& data_path,
                                              const std::string& standby_folder = {},
                                              std::vector<std::string>* missing = nullptr);

}  // namespace plovant
