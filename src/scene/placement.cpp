// Node placement. The rules, with the reasons where the open-source readers of these
// files differ:
//
// Version 1.x. A node's frame relative to its parent is T(position) · R · S, where R is
// the rotation keys at t, or else the axis-angle rotation. Its own vertices are placed in
// that frame by T(offset) · matrix, which its children do not inherit. The same rule
// holds for the main node and for a single-node model: readers that skip the main node's
// position and offset do so because they recentre the model afterwards, and since the
// recentring below measures the box of the vertices as finally placed, any translation
// that moves the whole model is cancelled by it anyway.
// The model is then moved so that its bounding box is centred in x and z and its largest
// y (the bottom, since Y points down in the file) lies at 0. The box is measured at
// time 0, so an animated model does not slide as its parts move; over the vertices that
// faces draw (faces with every index in range), each placed by its node's full
// transform. Some readers measure each node without its parents' rotation and scale;
// that misplaces models whose parents are turned, so the full transform is used here.
//
// Version 2.2 and 2.3. Without keys, R is the parent's matrix undone and the node's own
// applied (inverse(matrix(parent)) · matrix) and the position is the offset relative to
// the parent's, in the parent's matrix frame (inverse(matrix(parent)) · (offset −
// offset(parent))); a root uses its matrix and offset as they are. Rotation and position
// keys replace R and the position. The frame relative to the parent is T(position) · R ·
// S, with S the scale keys at t or 1; the vertices need nothing more, and the model is
// not recentred. Without keys this puts every node at T(offset) · matrix, as the readers
// agree. A parent matrix that cannot be inverted is taken as the identity.
//
// Scale keys (1.6 and 2.x) replace the node's scale (1.x) where present.
#include "scene/placement.h"

#include <algorithm>
#include <cmath>
#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <limits>

#include "scene/key_frames.h"

namespace plovant::scene {
namespace {

// The file's frame at `time_ms`: milliseconds in 1.x, frames in 2.x; clamped to
// [0, animation length]. A time that is not a number counts as 0, and so does every
// time of a 2.x file whose frames per second are not a positive number.
double FrameAt(const Scene& scene, double time_ms) {
    double frame = std::isnan(time_ms) ? 0.0 : time_ms;
    if (scene.version.IsV2()) {
        const double fps = scene.fps.value_or(0.0f);
        frame = (std::isfinite(fps) && fps > 0) ? frame / 1000.0 * fps : 0.0;
    }
    const double length = std::max<int32_t>(scene.animation_length, 0);
    return std::clamp(frame, 0.0, length);
}

glm::quat RotationAt(const std::vector<RotationKey>& keys, double frame) {
    const KeyBracket<RotationKey> k = BracketKeys(keys, frame);
    // normalize() turns a zero quaternion into the identity.
    const glm::quat a = glm::normalize(k.before->rotation);
    const glm::quat b = glm::normalize(k.after->rotation);
    if (k.before == k.after || k.fraction == 0) return a;
    return glm::normalize(glm::slerp(a, b, float(k.fraction)));  // takes the shorter arc
}

template <typename Key, typename Member>
glm::vec3 VectorAt(const std::vector<Key>& keys, double frame, Member member) {
    const KeyBracket<Key> k = BracketKeys(keys, frame);
    const glm::vec3 a = (*k.before).*member;
    const glm::vec3 b = (*k.after).*member;
    return a + (b - a) * float(k.fraction);
}

glm::mat4 AxisAngle(float angle, const glm::vec3& axis) {
    const float length = glm::length(axis);
    if (!(length > 0) || !std::isfinite(length) || angle == 0) return glm::mat4(1.0f);
    return glm::rotate(glm::mat4(1.0f), angle, axis / length);
}

glm::mat4 Translation(const glm::vec3& v) { return glm::translate(glm::mat4(1.0f), v); }

// Inverse of a node's matrix, or the identity when it has none.
glm::mat3 InverseOrIdentity(const glm::mat3& m) {
    const float det = glm::determinant(m);
    if (!(std::abs(det) > std::numeric_limits<float>::min()) || !std::isfinite(det)) {
        return glm::mat3(1.0f);
    }
    return glm::inverse(m);
}

const Node* ParentOf(const Scene& scene, const Node& node) {
    const int32_t p = node.parent_index;
    if (p < 0 || std::size_t(p) >= scene.nodes.size() || &scene.nodes[std::size_t(p)] == &node) {
        return nullptr;
    }
    return &scene.nodes[std::size_t(p)];
}

NodePose LocalPose(const Scene& scene, const Node& node, double frame) {
    NodePose pose;
    glm::vec3 scale = scene.version.IsV2() ? glm::vec3(1.0f) : node.scale;
    if (!node.scale_keys.empty()) scale = VectorAt(node.scale_keys, frame, &ScaleKey::scale);

    if (!scene.version.IsV2()) {
        const glm::mat4 rotation = node.rotation_keys.empty()
                                       ? AxisAngle(node.rotation_angle, node.rotation_axis)
                                       : glm::mat4_cast(RotationAt(node.rotation_keys, frame));
        pose.local_to_parent =
            Translation(node.position) * rotation * glm::scale(glm::mat4(1.0f), scale);
        pose.mesh = Translation(node.offset) * glm::mat4(node.matrix);
        return pose;
    }

    const Node* parent = ParentOf(scene, node);
    const glm::mat3 undo_parent = parent ? InverseOrIdentity(parent->matrix) : glm::mat3(1.0f);
    const glm::vec3 parent_offset = parent ? parent->offset : glm::vec3(0.0f);
    const glm::mat4 rotation = node.rotation_keys.empty()
                                   ? glm::mat4(undo_parent * node.matrix)
                                   : glm::mat4_cast(RotationAt(node.rotation_keys, frame));
    const glm::vec3 position = node.position_keys.empty()
                                   ? undo_parent * (node.offset - parent_offset)
                                   : VectorAt(node.position_keys, frame, &PositionKey::position);
    pose.local_to_parent = Translation(position) * rotation * glm::scale(glm::mat4(1.0f), scale);
    return pose;
}

// Fills every node's pose at `frame`. Parents are placed before their children whatever
// the file order; a parent chain that loops (which the reader never produces) is cut
// where it repeats, the node closing it taken as a root.
std::vector<NodePose> NodePoses(const Scene& scene, double frame) {
    const std::size_t count = scene.nodes.size();
    std::vector<NodePose> poses(count);
    enum : uint8_t { kTodo, kOnPath, kDone };
    std::vector<uint8_t> state(count, kTodo);
    std::vector<std::size_t> path;
    for (std::size_t start = 0; start < count; ++start) {
        std::size_t i = start;
        while (state[i] == kTodo) {
            state[i] = kOnPath;
            path.push_back(i);
            const Node* parent = ParentOf(scene, scene.nodes[i]);
            if (!parent) break;
            i = std::size_t(parent - scene.nodes.data());
        }
        // `path` runs from a child up; place it from the top down.
        for (auto it = path.rbegin(); it != path.rend(); ++it) {
            const std::size_t n = *it;
            poses[n] = LocalPose(scene, scene.nodes[n], frame);
            const Node* parent = ParentOf(scene, scene.nodes[n]);
            const std::size_t p = parent ? std::size_t(parent - scene.nodes.data()) : n;
            const bool has_placed_parent = parent && state[p] == kDone;
            poses[n].inherited = has_placed_parent ? poses[p].inherited * poses[n].local_to_parent
                                                   : poses[n].local_to_parent;
            state[n] = kDone;
        }
        path.clear();
    }
    return poses;
}

// The translation that centres the drawn vertices in x and z and rests their largest y
// on 0 (identity when nothing is drawn).
glm::mat4 CentringMatrix(const Scene& scene, const std::vector<NodePose>& poses) {
    glm::vec3 low(std::numeric_limits<float>::infinity());
    glm::vec3 high(-std::numeric_limits<float>::infinity());
    bool any = false;
    for (std::size_t n = 0; n < scene.nodes.size(); ++n) {
        const Node& node = scene.nodes[n];
        const glm::mat4 m = poses[n].inherited * poses[n].mesh;
        for (const Face& face : node.faces) {
            if (!FaceInRange(node, face)) continue;
            for (const uint16_t v : face.vertices) {
                const glm::vec3 p = glm::vec3(m * glm::vec4(node.vertices[v], 1.0f));
                low = glm::min(low, p);
                high = glm::max(high, p);
                any = true;
            }
        }
    }
    if (!any || !std::isfinite(low.x + low.y + low.z + high.x + high.y + high.z)) {
        return glm::mat4(1.0f);
    }
    return Translation(glm::vec3(-(low.x + high.x) / 2, -high.y, -(low.z + high.z) / 2));
}

}  // namespace

ScenePose PoseAt(const Scene& scene, double time_ms) {
    const double frame = FrameAt(scene, time_ms);
    ScenePose pose;
    pose.nodes = NodePoses(scene, frame);
    if (!scene.version.IsV2()) {
        pose.model = CentringMatrix(scene, frame == 0 ? pose.nodes : NodePoses(scene, 0));
    }
    return pose;
}

}  // namespace plovant::scene
