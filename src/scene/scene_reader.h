// Reading an RSM file of any version (1.1 to 1.6, 2.2, 2.3) into a Scene.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "scene/scene.h"

namespace plovant::scene {

// Reads a whole RSM file held in memory. `name` stands for the file in messages.
// Throws plovant::Error (kErrInvalidFormat or kErrInputPastEnd) whose description names
// the file and, where it applies, the node and the field: an unknown version (1.0, 2.0,
// 2.1 and anything else, naming the version), a negative count or one past the end of
// the data, a file cut short anywhere. Never allocates more than the data can hold.
// Softer faults are read past and listed in Scene::warnings.
Scene ReadScene(std::span<const uint8_t> bytes, const std::string& name);

// Reads the file at `path` (a missing or unreadable file throws an Error naming it).
Scene LoadScene(const std::filesystem::path& path);

}  // namespace plovant::scene
