// The 3D Studio (.3ds) writer: the first mesh of a model as one triangle-mesh object
// named "Rar01", one material per texture slot of that mesh ("Vidozore #" and the
// slot number) and, per material, the list of faces that use it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

#include "model/rsm_model.h"

namespace plovant {

// Chunk ids of the 3DS format that the writer uses.
enum TdsChunk : uint16_t {
    kM3dMagic = 0x4D4D,
    kM3dVersion = 0x0002,
    kMData = 0x3D3D,
    kMeshVersion = 0x3D3E,
    kMatEntry = 0xAFFF,
    kMatName = 0xA000,
    kMatFacemap = 0xA088,
    kMatDiffuse = 0xA020,
    kColor24 = 0x0011,
    kLinColor24 = 0x0012,
    kMasterScale = 0x0100,
    kNamedObject = 0x4000,
    kNTriObject = 0x4100,
    kPointArray = 0x4110,
    kFaceArray = 0x4120,
    kMshMatGroup = 0x4130,
    kTexVerts = 0x4140,
};

// Counts and indices are written in 16-bit fields and limited to 0..32767.
inline constexpr int32_t kMax3dsCount = 32767;

// The 12-byte name field of the material for texture slot `slot` (0 or more):
// "Vidozore #" and the slot number, NUL-terminated. From slot 10 on, the characters
// just before "#" are dropped until the text fits in 11 bytes ("Vidozore#10",
// "Vidozor#100"), so every name is unique and terminated.
std::array<char, 12> MaterialName(int32_t slot);

// Writes the first mesh of `model` to `path` as a 3DS file, replacing any file there.
// The file is written beside the target under a temporary name and renamed over it
// only when complete. On failure the temporary file is removed, an existing target
// is left untouched, and a plovant::Error says what failed: a model without meshes,
// a vertex, face or texture-vertex count above 32767, a read-only target, a folder
// that cannot be written.
void Write3DS(const std::filesystem::path& path, const RsmModel& model);

}  // namespace plovant
