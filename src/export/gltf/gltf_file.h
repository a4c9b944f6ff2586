// Writing a glTF document to disk: one .glb file, or a .gltf file with its binary buffer
// and PNG pictures beside it. Nothing is ever left half-written.
#pragma once

#include <filesystem>
#include <vector>

#include "export/gltf/scene_to_gltf.h"

namespace plovant::gltf {

enum class GltfFormat { kBinary, kText };

// kText when the file name ends in ".gltf" (any letter case), else kBinary.
GltfFormat FormatForPath(const std::filesystem::path& path);

// The files a .gltf output at `path` consists of, besides itself: NAME.bin and, for each
// of `image_count` pictures, NAME_1.png, NAME_2.png, ... (NAME: the output's name without
// its extension). Outputs of different names in one folder never share a file.
std::vector<std::filesystem::path> CompanionFiles(const std::filesystem::path& path,
                                                  std::size_t image_count);

// Writes `document` to `path`. Binary: the images go into the GLB's buffer. Text: the
// companion files are written beside it, and the JSON names them by relative URI.
// Every file is first written completely under a temporary name in the target folder
// and then renamed into place (the .gltf last, so it never names missing files). On
// failure the temporary files are removed, existing targets are left as they were, and
// an Error naming the file and the reason is thrown.
void WriteGltf(GltfDocument document, const std::filesystem::path& path, GltfFormat format);

}  // namespace plovant::gltf
