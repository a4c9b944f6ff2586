// A whole model (every node, placed, textured, animated) as a glTF 2.0 document.
//
// Conventions: Y up (the file's Y axis points down, so every position, transform and key
// is mirrored in Y and the face winding reversed: the model is seen as the game shows
// it, not mirrored), units as stored, times in seconds. Placement comes from the scene
// layer's PoseAt at the chosen time; the part of a node's transform that its children do
// not inherit (and any part a glTF node cannot hold: shear, a mirror) is baked into its
// vertices, so every RSM node is exactly one glTF node with the same name and parent.
#pragma once

#include <tiny_gltf.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/scene.h"

namespace plovant {
class DataLocation;
}

namespace plovant::gltf {

struct ExportSettings {
    double time_ms = 0;                        // the pose written into the nodes
    std::shared_ptr<const DataLocation> data;  // where textures are found; may be null
    std::string standby_bitmap;                // path of the picture for missing textures
};

// A glTF model whose images have no data yet (only names) and the PNG bytes of each
// image, in the same order: the writer puts them inside a GLB or beside a .gltf.
struct GltfDocument {
    tinygltf::Model model;
    std::vector<std::vector<uint8_t>> image_png;
};

// Builds the document for `scene`. Appends a sentence to `warnings` for every texture not
// found, for 2.3 texture animations (once), for faces left out and for animated nodes
// whose transform a glTF node can only approximate. Throws an Error (naming `name`) when
// the scene has no node.
GltfDocument SceneToGltf(const scene::Scene& scene, const std::string& name,
                         const ExportSettings& settings, std::vector<std::string>& warnings);

}  // namespace plovant::gltf
