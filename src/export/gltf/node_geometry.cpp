#include "export/gltf/node_geometry.h"

#include <cmath>
#include <cstdint>
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
constexpr uint32_t kNone = UINT32_MAX;

// A float with -0 turned into +0, so equal values compare equal as bytes.
float Canonical(float f) { return f == 0.0f ? 0.0f : f; }

bool SameBits(const glm::vec3& a, const glm::vec3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

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

// Per (vertex, smoothing group), the sum of the face normals around it: a short chain
// of entries for each vertex (a vertex rarely lies in more than a few groups).
class GroupSums {
public:
    explicit GroupSums(std::size_t vertex_count) : head_(vertex_count, kNone) {}

    glm::vec3& At(uint16_t vertex, int32_t group) {
        for (uint32_t e = head_[vertex]; e != kNone; e = entries_[e].next) {
            if (entries_[e].group == group) return entries_[e].sum;
        }
        entries_.push_back({group, glm::vec3(0.0f), head_[vertex]});
        head_[vertex] = uint32_t(entries_.size() - 1);
        return entries_.back().sum;
    }

private:
    struct Entry {
        int32_t group;
        glm::vec3 sum;
        uint32_t next;
    };
    std::vector<uint32_t> head_;
    std::vector<Entry> entries_;
};

// A primitive being built: its written vertices are found again by a chain per file
// vertex, holding the written vertices made from it.
struct Group {
    PrimitiveData data;
    std::vector<uint32_t> head;  // per file vertex: the last written vertex made from it
    std::vector<uint32_t> next;  // per written vertex: the one before it of the same file vertex

    uint32_t Corner(uint16_t vertex, const glm::vec3& position, const glm::vec2& uv,
                    const glm::vec3& normal) {
        for (uint32_t w = head[vertex]; w != kNone; w = next[w]) {
            if (std::memcmp(&data.uvs[w], &uv, sizeof uv) == 0 &&
                SameBits(data.normals[w], normal)) {
                return w;
            }
        }
        const auto w = uint32_t(data.positions.size());
        data.positions.push_back(position);
        data.normals.push_back(normal);
        data.uvs.push_back(uv);
        next.push_back(head[vertex]);
        head[vertex] = w;
        return w;
    }
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
    GroupSums sums(smooth ? node.vertices.size() : 0);
    if (smooth) {
        for (std::size_t f = 0; f < node.faces.size(); ++f) {
            if (!usable[f]) continue;
            const scene::Face& face = node.faces[f];
            for (const uint16_t v : face.vertices) {
                sums.At(v, face.smoothing_group) += face_normals[f];
                for (const int32_t g : face.extra_smoothing_groups) {
                    if (g != face.smoothing_group) sums.At(v, g) += face_normals[f];
                }
            }
        }
    }

    constexpr glm::vec3 kUp(0.0f, 1.0f, 0.0f);
    // (textured, texture name, two-sided) -> group: slots naming one texture share it.
    std::map<std::tuple<bool, std::string, bool>, std::size_t> group_of;
    std::vector<Group> groups;
    std::unordered_map<uint32_t, std::size_t> group_of_slot;  // (slot, two-sided) -> group
    uint32_t last_slot_key = kNone;
    std::size_t last_group = 0;
    for (std::size_t f = 0; f < node.faces.size(); ++f) {
        if (!usable[f]) continue;
        const scene::Face& face = node.faces[f];
        // Faces of one slot and sidedness come in runs: the last one found is kept.
        const uint32_t slot_key = uint32_t(face.texture_slot) << 1 | uint32_t(face.two_sided);
        if (slot_key != last_slot_key) {
            auto [found, fresh] = group_of_slot.emplace(slot_key, 0);
            if (fresh) {
                const bool textured = face.texture_slot < node.textures.size();
                auto key = std::make_tuple(
                    textured, textured ? node.textures[face.texture_slot] : std::string(),
                    face.two_sided);
                auto [it, added] = group_of.emplace(std::move(key), groups.size());
                if (added) {
                    Group& g = groups.emplace_back();
                    g.data.textured = textured;
                    if (textured) g.data.texture = node.textures[face.texture_slot];
                    g.data.two_sided = face.two_sided;
                    g.head.assign(node.vertices.size(), kNone);
                }
                found->second = it->second;
            }
            last_slot_key = slot_key;
            last_group = found->second;
        }
        Group& group = groups[last_group];
        const glm::vec3 flat = UnitOr(face_normals[f], kUp);
        for (const int c : kCornerOrder) {
            const uint16_t v = face.vertices[c];
            glm::vec3 normal = flat;
            if (smooth) {
                glm::vec3 sum = sums.At(v, face.smoothing_group);
                for (const int32_t g : face.extra_smoothing_groups) {
                    if (g != face.smoothing_group) sum += sums.At(v, g);
                }
                normal = UnitOr(sum, flat);
            }
            normal = {Canonical(normal.x), Canonical(normal.y), Canonical(normal.z)};
            const scene::TexVertex& t = node.texture_vertices[face.texture_vertices[c]];
            const glm::vec2 uv(Canonical(t.u), Canonical(t.v));
            group.data.indices.push_back(group.Corner(v, placed[v], uv, normal));
        }
    }
    geometry.primitives.reserve(groups.size());
    for (Group& g : groups) geometry.primitives.push_back(std::move(g.data));
    return geometry;
}

}  // namespace plovant::gltf
