// The viewer's model made from a scene: a model file of any version (read by the scene
// layer into a node tree with key frames) turned into the one in-memory model that the
// drawing, the camera, the information and textures windows and Save As work on.
//
// One mesh per node, in file order, its vertices placed where the scene layer's
// placement puts them at a time t, in the file's own axes (as the first reader gives
// vertices), so the viewer's tilt shows the assembled model like any other.
#pragma once

#include <filesystem>
#include <string>

#include "model/rsm_model.h"
#include "render/model_view.h"
#include "scene/scene.h"

namespace plovant {

// The model of `scene` with every node placed at `time_ms` (scene::PoseAt):
//   - MeshCount = the node count; mesh i is node i: its name and parent name (cut to 40
//     bytes), one texture slot per node texture, its vertices multiplied by the node's
//     matrix, its texture vertices (colour bytes, u, v) and faces as stored (indices
//     past 32767 and slots past 32767 become negative and are never drawn, exported or
//     shown, like any other index out of range). The first mesh's DeclaredMeshCount is
//     the node count.
//   - The texture table is the file's (before 2.3) with each node's slots pointing into
//     it as stored; in 2.3, where nodes name their textures themselves, it is the
//     distinct names in the order nodes first use them.
//   - Meshes and TextureNames end with the blank element every model has.
// Keys are not copied: the vertices already stand where the keys put them at `time_ms`.
RsmModel SceneToModel(const scene::Scene& scene, double time_ms);

// Moves the vertices of all meshes together so that the box around them (the finite
// ones) is centred on the origin, and returns the box's largest side: the whole model
// turns about its middle and the camera frames all of it, as the first mesh of a model
// of the first reader does. Changes nothing and gives 0 when no vertex is finite. Throws
// an Error (overflow) without changing anything when a side or a moved coordinate would
// overflow float.
float CenterWholeModel(RsmModel& model);

// True when the file name ends in "rsm2" in any letter case: the names of the files that
// only the scene layer reads.
bool HasRsm2Ending(const std::string& name);

// The file at `path` read by the scene layer, adapted at time 0 and centred whole.
// Throws the scene layer's Error.
OpenedModel ReadSceneViewModel(const std::filesystem::path& path);

// Opens a model as the viewer shows it: the first reader (ReadViewModel: LoadRsm, its
// first mesh centred) as always; when that fails, the scene layer's model
// (ReadSceneViewModel) instead. When both refuse the file, the Error thrown carries the
// first reader's number and both problems, the first reader's first (a missing file is
// reported once, as the first reader reports it). A file whose name ends in "rsm2" is
// read by the scene layer alone, and its Error is the scene layer's.
OpenedModel ReadAnyViewModel(const std::filesystem::path& path);

// The same for a file's bytes already in memory (a model inside an archive); `name`
// stands for the file, and its ending decides as the file name's does.
OpenedModel ReadAnyViewModel(std::span<const uint8_t> bytes, const std::string& name);

}  // namespace plovant
