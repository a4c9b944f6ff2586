// The model held in memory: the records of an RSM model file, the reader that fills
// them and the centring of the first mesh.
//
// The vertex, texture-vertex, face and key records have exactly the layout of their
// file form (little-endian), so arrays of them are read as raw bytes. Everything the
// file holds is kept, also the fields that nothing interprets, so the records mirror
// the file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plovant {

// A text of 40: a fixed field of 40 single-byte characters in the game data's code
// page (CP949 for Korean data), padded with NUL bytes. All 40 bytes are kept, also
// those after the first NUL; wherever the text is shown or used to build a file name
// it ends at the first NUL (see TextOf).
inline constexpr std::size_t kTextLength = 40;
using Text40 = std::array<char, kTextLength>;

// The text of a field up to its first NUL; all 40 characters when it holds none.
inline std::string_view TextOf(const Text40& field) {
    std::size_t length = 0;
    while (length < field.size() && field[length] != '\0') ++length;
    return std::string_view(field.data(), length);
}

// True when the field holds at least one NUL byte (its text is shorter than 40).
inline bool HasNul(const Text40& field) {
    for (char c : field) {
        if (c == '\0') return true;
    }
    return false;
}

// A field holding `text` (cut to 40 bytes) padded with NUL bytes.
inline Text40 MakeText40(std::string_view text) {
    Text40 field{};
    for (std::size_t i = 0; i < text.size() && i < field.size(); ++i) field[i] = text[i];
    return field;
}

// The first 31 bytes of the file; stored, never compared or interpreted.
struct RsmHeader {
    std::array<char, 4> Signature{};
    std::array<uint8_t, 27> HeaderRest{};
};
static_assert(sizeof(RsmHeader) == 31);

struct RsmVertex {
    float X = 0, Y = 0, Z = 0;
};
static_assert(sizeof(RsmVertex) == 12);

struct RsmTexVertex {
    std::array<uint8_t, 4> Extra{};  // not interpreted
    float U = 0, V = 0;
};
static_assert(sizeof(RsmTexVertex) == 12);
static_assert(offsetof(RsmTexVertex, U) == 4 && offsetof(RsmTexVertex, V) == 8);

// One triangle. V0..V2 index the mesh's Vertices, T0..T2 its TexVertices and
// TextureSlot its TextureIds. No index is validated when the file is read: every
// consumer tests the bounds itself.
struct RsmFace {
    int16_t V0 = 0, V1 = 0, V2 = 0;
    int16_t T0 = 0, T1 = 0, T2 = 0;
    int16_t TextureSlot = 0;
    std::array<uint8_t, 10> FaceTail{};  // not interpreted
};
static_assert(sizeof(RsmFace) == 24);
static_assert(offsetof(RsmFace, TextureSlot) == 12 && offsetof(RsmFace, FaceTail) == 14);

// A key record: not interpreted, stored so that the mesh mirrors the file.
struct RsmKey {
    std::array<uint8_t, 20> Bytes{};
};
static_assert(sizeof(RsmKey) == 20);

// One mesh. Each count equals the size of its array.
struct RsmMesh {
    Text40 Name{};
    int32_t DeclaredMeshCount = 0;  // first mesh only: the count the file states (unused)
    Text40 ParentName{};  // first mesh: the second name of the first block
    std::array<int32_t, 10> RootExtra{};  // first mesh only; not interpreted
    int32_t TextureCount = 0;
    std::vector<int32_t> TextureIds;  // indices into RsmModel::TextureNames
    std::array<float, 22> ParamBlock{};  // not interpreted
    int32_t VertexCount = 0;
    std::vector<RsmVertex> Vertices;
    int32_t TexVertexCount = 0;
    std::vector<RsmTexVertex> TexVertices;
    int32_t FaceCount = 0;
    std::vector<RsmFace> Faces;
    int32_t KeyCount = 0;
    std::vector<RsmKey> Keys;
};

// The whole model. Once read, Meshes has MeshCount + 1 elements and TextureNames
// TextureCount + 1; the last element of each is blank and is never shown or drawn.
// A default-constructed model (nothing opened yet) has counts 0 and empty arrays.
struct RsmModel {
    RsmHeader Header{};
    int32_t MeshCount = 0;
    std::vector<RsmMesh> Meshes;
    int32_t TextureCount = 0;
    std::vector<Text40> TextureNames;
};

// Reads the RSM file at `path` into `model`. The model is replaced only when the
// whole file was read; on any failure it is left as it was and a plovant::Error is
// thrown whose description names the file and the problem (missing file, unexpected
// end of file, a negative count or one too large for the file, naming the field and
// the mesh number).
void LoadRsm(const std::filesystem::path& path, RsmModel& model);

// The same reading from bytes already in memory; `name` stands for the file in
// error descriptions.
void LoadRsmFromMemory(std::span<const uint8_t> bytes, const std::string& name,
                       RsmModel& model);

// Moves the first mesh's vertices so that its bounding box is centred on the origin
// and returns the box's largest side, all in float32 arithmetic. The bounds start at
// -9999 (maxima) and 9999 (minima) and take part in the result. Meshes after the
// first are never moved. Throws a plovant::Error (overflow) without changing anything
// when a shifted coordinate or a side would overflow float32. A model without meshes
// is left alone and gives 0.
float CenterRootMesh(RsmModel& model);

}  // namespace plovant
