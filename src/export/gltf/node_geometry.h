// The triangles of one node as glTF primitives: one per (texture, two-sided) group, with
// vertices split wherever the corners that share a vertex differ in texture coordinates
// or normal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <string>
#include <vector>

#include "scene/scene.h"

namespace plovant::gltf {

struct PrimitiveData {
    bool textured = false;  // false: the face's texture slot names no texture of the node
    std::string texture;    // the texture name (code-page bytes) when textured
    bool two_sided = false;
    std::vector<glm::vec3> positions;
    std::vector<glm::vec3> normals;  // unit length
    std::vector<glm::vec2> uvs;
    std::vector<uint32_t> indices;  // three per triangle, counter-clockwise seen from the front
};

struct NodeGeometry {
    std::vector<PrimitiveData> primitives;  // in the order their groups first appear
    // Faces left out: a vertex or texture-vertex index out of range, or a corner whose
    // placed position is not a finite number.
    std::size_t skipped_faces = 0;
};

// Places every vertex of `node` by `placement` and turns its faces into primitives.
// The face winding is reversed, because the placement includes the mirror that turns the
// file's Y-down axes upright (reversing keeps the faces' front side the one the game
// shows). Normals: with `smooth`, a corner's normal is the area-weighted mean of the
// normals of the faces around its vertex that share a smoothing group with its face;
// otherwise the face's own normal. A face without area gets (0, 1, 0).
NodeGeometry BuildNodeGeometry(const scene::Node& node, const glm::mat4& placement, bool smooth);

}  // namespace plovant::gltf
