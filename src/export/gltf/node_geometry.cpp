#include "export/gltf/node_geometry.h"

#include <cmath>
#include <cstring>
#include <glm/geometric.hpp>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace plovant::gltf {
namespace {

// The corner order written: the file's (0, 1, 2) becomes (0, 2, 1).
constexpr int kCornerOrder[3] = {0, 2, 1};

struct CornerKey {
    uint32_t vertex;
    float u, v;
    glm::vec3 normal;

    bool operator==(const CornerKey& o) const {
        return std::memcmp(this, &o, sizeof(CornerKey)) == 0;
    }
};
static_assert(sizeof(CornerKey) == 24, "CornerKey is compared as bytes");

struct CornerKeyHash {
    std::size_t operator()(const CornerKey& k) const {
        uint32_t words[6];
        std::memcpy(words, &k, sizeof words);
        uint64_t h = 1469598103934665603ull;
        for (const uint32_t w : words) h = (h ^ w) * 1099511628211ull;
        return std::size_t(h);
    }
};

// A float with -0 turned into +0, so equal values compare equal as bytes.
float Canonical(float f) { return f == 0.0f ? 0.0f : f; }

glm::vec3 UnitOr(const glm::vec3& n, const glm::vec3& fallback) {
    const float length = glm::length(n);
    if (!(length > 0) || !std::isfinite(length)) return fallback;
    return n / length;
}

bool FaceUsable(const scene::Node& node, const scene::Face& face,
                const std::vector<glm::vec3>& placed) {
    for (int c = 0; c < 3; ++c) {
        if (face.vertices[c] >= node.vertices.size()) return false;
        if (face.texture_vertices[c] >= node.texture_vertices.size()) return false;
        const glm::vec3& p = placed[face.vertices[c]];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
        const scene::TexVertex& t = node.texture_vertices[face.texture_vertices[c]];
        if (!std::isfinite(t.u) || !std::isfinite(t.v)) return false;
    }
    return true;
}

struct Group {
    PrimitiveData data;
    std::unordered_map<CornerKey, uint32_t, CornerKeyHash> corners;
};

}  // namespace

NodeGeometry BuildNodeGeometry(const scene::Node& node, const glm::mat4& placement, bool smooth) {
    NodeGeometry geometry;
    std::vector<glm::vec3> placed(node.vertices.size());
    for (std::size_t i = 0; i < placed.size(); ++i) {
        placed[i] = glm::vec3(placement * glm::vec4(node.vertices[i], 1.0f));
    }

    // Face normals (area-weighted: the cross product's length is twice the area), in the
    // written winding.
    std::vector<glm::vec3> face_normals(node.faces.size(), glm::vec3(0.0f));
    std::vector<bool> usable(node.faces.size(), false);
    for (std::size_t f = 0; f < node.faces.size(); ++f) {
        const scene::Face& face = node.faces[f];
        usable[f] = FaceUsable(node, face, placed);
        if (!usable[f]) {
            ++geometry.skipped_faces;
            continue;
        }
        const glm::vec3& a = placed[face.vertices[kCornerOrder[0]]];
        const glm::vec3& b = placed[face.vertices[kCornerOrder[1]]];
        const glm::vec3& c = placed[face.vertices[kCornerOrder[2]]];
        face_normals[f] = glm::cross(b - a, c - a);
    }

    // Smooth shading: the sum of the face normals around each (vertex, smoothing group).
    std::map<std::pair<uint32_t, int32_t>, glm::vec3> group_sums;
    if (smooth) {
        for (std::size_t f = 0; f < node.faces.size(); ++f) {
            if (!usable[f]) continue;
            const scene::Face& face = node.faces[f];
            for (const uint16_t v : face.vertices) {
                group_sums[{v, face.smoothing_group}] += face_normals[f];
                for (const int32_t g : face.extra_smoothing_groups) {
                    if (g != face.smoothing_group) group_sums[{v, g}] += face_normals[f];
                }
            }
        }
    }

    constexpr glm::vec3 kUp(0.0f, 1.0f, 0.0f);
    // (textured, texture name, two-sided) -> group: slots naming one texture share it.
    std::map<std::tuple<bool, std::string, bool>, std::size_t> group_of;
    std::vector<Group> groups;
    for (std::size_t f = 0; f < node.faces.size(); ++f) {
        if (!usable[f]) continue;
        const scene::Face& face = node.faces[f];
        const bool textured = face.texture_slot < node.textures.size();
        auto key = std::make_tuple(
            textured, textured ? node.textures[face.texture_slot] : std::string(), face.two_sided);
        auto [it, added] = group_of.emplace(std::move(key), groups.size());
        if (added) {
            groups.emplace_back();
            groups.back().data.textured = textured;
            if (textured) groups.back().data.texture = node.textures[face.texture_slot];
            groups.back().data.two_sided = face.two_sided;
        }
        Group& group = groups[it->second];
        const glm::vec3 flat = UnitOr(face_normals[f], kUp);
        for (const int c : kCornerOrder) {
            const uint16_t v = face.vertices[c];
            glm::vec3 normal = flat;
            if (smooth) {
                glm::vec3 sum = group_sums[{v, face.smoothing_group}];
                for (const int32_t g : face.extra_smoothing_groups) {
                    if (g != face.smoothing_group) sum += group_sums[{v, g}];
                }
                normal = UnitOr(sum, flat);
            }
            const scene::TexVertex& t = node.texture_vertices[face.texture_vertices[c]];
            const CornerKey corner{
                v, Canonical(t.u), Canonical(t.v),
                glm::vec3(Canonical(normal.x), Canonical(normal.y), Canonical(normal.z))};
            auto [slot, fresh] =
                group.corners.emplace(corner, uint32_t(group.data.positions.size()));
            if (fresh) {
                group.data.positions.push_back(placed[v]);
                group.data.normals.push_back(corner.normal);
                group.data.uvs.emplace_back(corner.u, corner.v);
            }
            group.data.indices.push_back(slot->second);
        }
    }
    geometry.primitives.reserve(groups.size());
    for (Group& g : groups) geometry.primitives.push_back(std::move(g.data));
    return geometry;
}

}  // namespace plovant::gltf
