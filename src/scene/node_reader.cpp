// One node of an RSM file. Layout by version:
//   name, parent name     1.x: 40 bytes each; 2.x: int32 length + bytes
//   textures              below 2.3: int32 count + int32 ids; 2.3: count + counted names
//   matrix (9 floats, by columns), offset (3 floats)
//   1.x only              position (3), rotation angle (1), rotation axis (3), scale (3)
//   vertices              int32 count × 3 floats
//   texture vertices      int32 count × ([u32 colour from 1.2] u, v)
//   faces                 int32 count × ([2.x: int32 length] 3 × u16 vertex, 3 × u16
//                         texture vertex, u16 texture slot, u16 padding, int32 two-sided,
//                         [from 1.2: int32 smoothing group; 2.x: (length − 20) / 4 of them])
//   scale keys            1.6 and 2.x: int32 count × (int32 frame, 3 floats, float)
//   rotation keys         int32 count × (int32 frame, x, y, z, w)
//   position keys         2.x: int32 count × (int32 frame, 3 floats, int32)
//   texture animations    2.3: int32 count × (int32 texture id, int32 count × (int32 type
//                         0–4, int32 count × (int32 frame, float)))
#include <string>

#include "model/code_page.h"
#include "scene/scene_reader_parts.h"

namespace plovant::scene {
namespace {

constexpr std::size_t kNameLength = 40;
constexpr std::size_t kKeySize = 20;         // every kind of node key
constexpr std::size_t kFixedFaceBytes = 20;  // a face without its smoothing groups
constexpr int32_t kLargestTextureAnimationType = int32_t(TextureAnimationType::kRotate);

void ReadFaces(ByteCursor& in, Version version, Node& node) {
    if (version.IsV2()) {
        const std::size_t count = in.Count("face count", 4 + kFixedFaceBytes);
        node.faces.resize(count);
        for (Face& face : node.faces) {
            const int32_t length = in.I32("face length");
            if (length < int32_t(kFixedFaceBytes) || length % 4 != 0) {
                in.Fail(kErrInvalidFormat, "a face length is " + std::to_string(length) +
                                               " (it must be at least 20 and a multiple of 4)");
            }
            in.Need(std::size_t(length), "face");
            for (uint16_t& v : face.vertices) v = in.U16Unchecked();
            for (uint16_t& t : face.texture_vertices) t = in.U16Unchecked();
            face.texture_slot = in.U16Unchecked();
            in.U16Unchecked();  // padding
            face.two_sided = in.I32Unchecked() != 0;
            std::size_t groups = (std::size_t(length) - kFixedFaceBytes) / 4;
            if (groups > 0) {
                face.smoothing_group = in.I32Unchecked();
                --groups;
            }
            if (groups > 0) {
                face.extra_smoothing_groups.resize(groups);
                for (int32_t& g : face.extra_smoothing_groups) g = in.I32Unchecked();
            }
        }
        return;
    }
    const bool smoothing = version.AtLeast(1, 2);
    const std::size_t face_size = kFixedFaceBytes + (smoothing ? 4 : 0);
    const std::size_t count = in.Count("face count", face_size);
    node.faces.resize(count);
    for (Face& face : node.faces) {
        for (uint16_t& v : face.vertices) v = in.U16Unchecked();
        for (uint16_t& t : face.texture_vertices) t = in.U16Unchecked();
        face.texture_slot = in.U16Unchecked();
        in.U16Unchecked();  // padding
        face.two_sided = in.I32Unchecked() != 0;
        if (smoothing) face.smoothing_group = in.I32Unchecked();
    }
}

void ReadKeys(ByteCursor& in, Version version, Node& node) {
    if (version.AtLeast(1, 6)) {
        node.scale_keys.resize(in.Count("scale key count", kKeySize));
        for (ScaleKey& key : node.scale_keys) {
            key.frame = in.I32Unchecked();
            key.scale = in.Vec3Unchecked();
            key.extra = in.F32Unchecked();
        }
    }
    node.rotation_keys.resize(in.Count("rotation key count", kKeySize));
    for (RotationKey& key : node.rotation_keys) {
        key.frame = in.I32Unchecked();
        const float x = in.F32Unchecked();
        const float y = in.F32Unchecked();
        const float z = in.F32Unchecked();
        const float w = in.F32Unchecked();
        key.rotation = glm::quat(w, x, y, z);
    }
    if (version.IsV2()) {
        node.position_keys.resize(in.Count("position key count", kKeySize));
        for (PositionKey& key : node.position_keys) {
            key.frame = in.I32Unchecked();
            key.position = in.Vec3Unchecked();
            key.extra = in.I32Unchecked();
        }
    }
}

void ReadTextureAnimations(ByteCursor& in, Node& node) {
    node.texture_animations.resize(in.Count("texture animation count", 8));
    for (TextureAnimation& animation : node.texture_animations) {
        animation.texture_id = in.I32("texture animation's texture id");
        animation.tracks.resize(in.Count("texture animation's track count", 8));
        for (TextureAnimationTrack& track : animation.tracks) {
            const int32_t type = in.I32("texture animation type");
            if (type < 0 || type > kLargestTextureAnimationType) {
                in.Fail(kErrInvalidFormat,
                        "a texture animation has the unknown type " + std::to_string(type));
            }
            track.type = TextureAnimationType(type);
            track.keys.resize(in.Count("texture animation key count", 8));
            for (TextureKey& key : track.keys) {
                key.frame = in.I32Unchecked();
                key.value = in.F32Unchecked();
            }
        }
    }
}

}  // namespace

std::string NodeLabel(std::size_t index, const std::string& name) {
    return "node " + std::to_string(index) + " \"" + DecodeGameText(name) + "\"";
}

std::size_t SmallestNodeSize(Version version) {
    // Names, texture count, matrix and offset, vertex, texture-vertex, face and rotation
    // key counts.
    std::size_t size = (version.IsV2() ? 8 : 2 * kNameLength) + 4 + 48 + 16;
    if (!version.IsV2()) size += 40;  // position, angle, axis, scale
    if (version.AtLeast(1, 6)) size += 4;
    if (version.IsV2()) size += 4;
    if (version.AtLeast(2, 3)) size += 4;
    return size;
}

Node ReadNode(ByteCursor& in, Version version, std::size_t index) {
    Node node;
    in.SetContext("node " + std::to_string(index));
    const bool v2 = version.IsV2();
    node.name = v2 ? in.CountedText("name length") : in.FixedText(kNameLength, "name");
    in.SetContext(NodeLabel(index, node.name));
    node.parent =
        v2 ? in.CountedText("parent name length") : in.FixedText(kNameLength, "parent name");

    if (version.AtLeast(2, 3)) {
        node.textures.resize(in.Count("texture count", 4));
        for (std::string& texture : node.textures) texture = in.CountedText("texture name length");
    } else {
        node.texture_ids.resize(in.Count("texture count", 4));
        for (int32_t& id : node.texture_ids) id = in.I32Unchecked();
    }

    in.Need(48, "matrix and offset");
    for (int column = 0; column < 3; ++column) node.matrix[column] = in.Vec3Unchecked();
    node.offset = in.Vec3Unchecked();
    if (!v2) {
        in.Need(40, "position, rotation and scale");
        node.position = in.Vec3Unchecked();
        node.rotation_angle = in.F32Unchecked();
        node.rotation_axis = in.Vec3Unchecked();
        node.scale = in.Vec3Unchecked();
    }

    node.vertices.resize(in.Count("vertex count", 12));
    for (glm::vec3& vertex : node.vertices) vertex = in.Vec3Unchecked();

    const bool colours = version.AtLeast(1, 2);
    node.texture_vertices.resize(in.Count("texture vertex count", colours ? 12 : 8));
    for (TexVertex& t : node.texture_vertices) {
        if (colours) t.colour = in.U32Unchecked();
        t.u = in.F32Unchecked();
        t.v = in.F32Unchecked();
    }

    ReadFaces(in, version, node);
    ReadKeys(in, version, node);
    if (version.AtLeast(2, 3)) ReadTextureAnimations(in, node);
    in.SetContext("");
    return node;
}

}  // namespace plovant::scene
