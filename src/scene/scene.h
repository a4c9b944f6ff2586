// The scene layer's records: an RSM model of any version (1.1 to 1.6, 2.2, 2.3) as a tree
// of nodes with key frames. Shaped by the file versions, independent of the viewer's
// model records: fields a version does not have keep their defaults.
//
// Texts are kept as the file stores them (bytes in the game data's code page, CP949 for
// Korean data), cut at their first NUL byte (what follows it in a fixed-size field is
// left-over memory); decode them only to show them.
#pragma once

#include <array>
#include <cstdint>
#include <glm/gtc/quaternion.hpp>
#include <glm/mat3x3.hpp>
#include <glm/vec3.hpp>
#include <optional>
#include <string>
#include <vector>

namespace plovant::scene {

struct Version {
    uint8_t major = 0;
    uint8_t minor = 0;

    bool AtLeast(uint8_t maj, uint8_t min) const {
        return major > maj || (major == maj && minor >= min);
    }
    bool IsV2() const { return major >= 2; }
    // "1.4", "2.3".
    std::string Text() const { return std::to_string(major) + "." + std::to_string(minor); }
};

struct TexVertex {
    uint32_t colour = 0xFFFFFFFF;  // from 1.2 on; 1.1 files have none
    float u = 0, v = 0;
};

// One triangle. No index is checked when the file is read: consumers test the bounds
// (and count the faces they skip).
struct Face {
    std::array<uint16_t, 3> vertices{};          // into Node::vertices
    std::array<uint16_t, 3> texture_vertices{};  // into Node::texture_vertices
    uint16_t texture_slot = 0;                   // into Node::textures
    bool two_sided = false;
    int32_t smoothing_group = 0;                  // from 1.2 on
    std::vector<int32_t> extra_smoothing_groups;  // 2.2+: the groups past the first
};

// Key frames. `frame` counts milliseconds in 1.x files and frames in 2.x files.
struct RotationKey {
    int32_t frame = 0;
    glm::quat rotation{1, 0, 0, 0};  // stored x, y, z, w in the file
};
struct PositionKey {  // 2.2+
    int32_t frame = 0;
    glm::vec3 position{0};
    int32_t extra = 0;
};
struct ScaleKey {  // 1.6+
    int32_t frame = 0;
    glm::vec3 scale{1};
    float extra = 0;
};
// The model-level keys of versions below 1.6 (kept, not interpreted).
struct ModelKey {
    int32_t frame = 0;
    glm::vec3 values{0};
    float extra = 0;
};

// 2.3 texture animations: per texture of a node, tracks of (frame, value) keys.
enum class TextureAnimationType : int32_t {
    kTranslateU = 0,
    kTranslateV = 1,
    kScaleU = 2,
    kScaleV = 3,
    kRotate = 4,
};
struct TextureKey {
    int32_t frame = 0;
    float value = 0;
};
struct TextureAnimationTrack {
    TextureAnimationType type = TextureAnimationType::kTranslateU;
    std::vector<TextureKey> keys;
};
struct TextureAnimation {
    int32_t texture_id = 0;  // the node's texture slot it animates
    std::vector<TextureAnimationTrack> tracks;
};

struct VolumeBox {
    glm::vec3 size{0}, position{0}, rotation{0};
    std::optional<int32_t> flag;  // from 1.3 on
};

struct Node {
    std::string name;
    std::string parent;  // "" for none
    // 1.x and 2.2: indices into Scene::textures, one per slot; 2.3: empty.
    std::vector<int32_t> texture_ids;
    // The texture names of the node's slots (resolved through Scene::textures before 2.3;
    // an id outside the table resolves to "").
    std::vector<std::string> textures;

    glm::mat3 matrix{1.0f};  // the nine floats of the file fill its columns
    glm::vec3 offset{0};
    // 1.x only.
    glm::vec3 position{0};
    float rotation_angle = 0;  // radians
    glm::vec3 rotation_axis{0};
    glm::vec3 scale{1};

    std::vector<glm::vec3> vertices;
    std::vector<TexVertex> texture_vertices;
    std::vector<Face> faces;

    std::vector<ScaleKey> scale_keys;  // 1.6+
    std::vector<RotationKey> rotation_keys;
    std::vector<PositionKey> position_keys;            // 2.2+
    std::vector<TextureAnimation> texture_animations;  // 2.3

    // Filled by the reader: the index of the parent in Scene::nodes, or -1 for a root
    // (no parent, a parent not found, or a cut cycle).
    int32_t parent_index = -1;
};

// True when every vertex and texture-vertex index of `face` lies within `node`'s lists.
// Faces that fail it are read and kept but skipped when drawing or exporting.
inline bool FaceInRange(const Node& node, const Face& face) {
    for (int i = 0; i < 3; ++i) {
        if (face.vertices[i] >= node.vertices.size()) return false;
        if (face.texture_vertices[i] >= node.texture_vertices.size()) return false;
    }
    return true;
}

struct Scene {
    Version version;
    int32_t animation_length = 0;  // milliseconds (1.x) or frames (2.x)
    int32_t shade_type = 0;
    std::optional<uint8_t> alpha;         // from 1.4 on
    std::optional<float> fps;             // 2.x
    std::vector<std::string> textures;    // the global table; empty in 2.3
    std::vector<std::string> root_nodes;  // 1.x: the main node's name; 2.x: the root names
    std::vector<Node> nodes;              // in file order
    std::vector<ModelKey> model_keys;     // below 1.6
    std::vector<VolumeBox> volume_boxes;
    // The index of the main node in `nodes` (the first of root_nodes that names a node,
    // else the first node), -1 when there are no nodes. In 1.x files it is always a root:
    // a parent it names is ignored, as the tree is drawn from it.
    int32_t main_node = -1;
    // Softer faults the file was read past (missing parents, cycles, duplicate names,
    // trailing bytes, faces with indices out of range), one sentence each.
    std::vector<std::string> warnings;
};

}  // namespace plovant::scene
