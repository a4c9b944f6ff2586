// Where every node of a scene lies at a time t: the one place that evaluates node
// transforms and key frames. Drawing (render --scene, the viewer) and export all call it.
#pragma once

#include <cstddef>
#include <glm/mat4x4.hpp>
#include <vector>

#include "scene/scene.h"

namespace plovant::scene {

struct NodePose {
    // The node's frame relative to its parent's frame (T(position) · R · S); children
    // inherit it.
    glm::mat4 local_to_parent{1.0f};
    // The node's frame in model space: inherited(parent) · local_to_parent.
    glm::mat4 inherited{1.0f};
    // The part that places the node's own vertices in its frame and that children do
    // not inherit (1.x: T(offset) · matrix; 2.x: identity).
    glm::mat4 mesh{1.0f};
};

struct ScenePose {
    std::vector<NodePose> nodes;  // one per Scene::nodes, same order
    // Applied to the whole model after the node transforms (1.x: the translation that
    // centres the model's bounding box, x and z centred and y resting on its maximum;
    // 2.x: identity). In the file's own axes, where Y points down. The box is that of the
    // vertices the faces draw (faces with every index in range), placed by their nodes'
    // transforms at time 0, so it does not move while the model is animated.
    glm::mat4 model{1.0f};

    // Where node i's vertices are drawn, in the file's axes: model · inherited · mesh.
    glm::mat4 NodeMatrix(std::size_t i) const { return model * nodes[i].inherited * nodes[i].mesh; }
};

// Turns the file's axes (Y down) upright (Y up) by negating Y. This mirrors: whoever
// applies it reverses the winding of the faces.
inline glm::mat4 UprightMatrix() {
    glm::mat4 m{1.0f};
    m[1][1] = -1.0f;
    return m;
}

// Every node's pose at `time_ms` milliseconds (2.x files: frame = time_ms / 1000 · fps),
// clamped to [0, animation length]. Keys are interpolated linearly (rotations by slerp);
// before the first key the first applies, after the last the last.
ScenePose PoseAt(const Scene& scene, double time_ms);

}  // namespace plovant::scene
