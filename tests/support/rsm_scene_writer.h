// Writes RSM files of any version (1.1 to 1.6, 2.2, 2.3) for tests, from a
// plovant::scene::Scene used as the description. Header-only.
//
//   scene::Scene s;
//   s.version = {1, 4};
//   s.textures = {"wall.bmp"};
//   s.root_nodes = {"base"};                       // 1.x: the main node's name
//   scene::Node n = testing::RsmTriangleNode("base", "");  // one face, texture slot 0
//   n.texture_ids = {0};                           // 1.x / 2.2: indices into s.textures
//   s.nodes.push_back(n);
//   std::vector<uint8_t> bytes = testing::WriteRsmScene(s);
//
// What is written follows the version: fields a version does not have are left out (alpha
// before 1.4, texture-vertex colours and smoothing groups before 1.2, box flags before
// 1.3, scale keys before 1.6, model keys from 1.6, position keys and frames per second
// before 2.2, the global texture table and texture animations as 2.3 has them). In 2.3 a
// node's textures are written from Node::textures; before that from Node::texture_ids.
// Names longer than 40 bytes are cut in 1.x files. Node::parent_index, Scene::main_node
// and Scene::warnings are not written (the reader works them out).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "scene/scene.h"

namespace plovant::testing {

struct RsmWriteOptions {
    // Write the volume-box count and boxes at the end (a file may end before them).
    bool volume_boxes = true;
    // Bytes of value 0 written after everything else.
    std::size_t trailing_zeros = 0;
    // The 16 bytes a 1.x header keeps after the shade type (and alpha).
    uint8_t reserved_byte = 0;
};

// Little-endian appending.
class RsmBytes {
public:
    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void i32(int32_t v) { u32(uint32_t(v)); }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) u8(uint8_t(v >> (8 * i)));
    }
    void f32(float v) {
        uint32_t raw;
        std::memcpy(&raw, &v, 4);
        u32(raw);
    }
    void vec3(const glm::vec3& v) {
        f32(v.x);
        f32(v.y);
        f32(v.z);
    }
    // A fixed 40-byte field, NUL padded (cut to 40 bytes).
    void name40(const std::string& s) {
        for (std::size_t i = 0; i < 40; ++i) u8(i < s.size() ? uint8_t(s[i]) : 0);
    }
    // An int32 length and the bytes.
    void text(const std::string& s) {
        i32(int32_t(s.size()));
        for (const char c : s) u8(uint8_t(c));
    }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

inline void WriteRsmNode(RsmBytes& out, const scene::Scene& s, const scene::Node& n) {
    const scene::Version v = s.version;
    const bool v2 = v.IsV2();
    if (v2) {
        out.text(n.name);
        out.text(n.parent);
    } else {
        out.name40(n.name);
        out.name40(n.parent);
    }
    if (v.AtLeast(2, 3)) {
        out.i32(int32_t(n.textures.size()));
        for (const std::string& t : n.textures) out.text(t);
    } else {
        out.i32(int32_t(n.texture_ids.size()));
        for (const int32_t id : n.texture_ids) out.i32(id);
    }
    for (int c = 0; c < 3; ++c) out.vec3(n.matrix[c]);
    out.vec3(n.offset);
    if (!v2) {
        out.vec3(n.position);
        out.f32(n.rotation_angle);
        out.vec3(n.rotation_axis);
        out.vec3(n.scale);
    }
    out.i32(int32_t(n.vertices.size()));
    for (const glm::vec3& p : n.vertices) out.vec3(p);
    out.i32(int32_t(n.texture_vertices.size()));
    for (const scene::TexVertex& t : n.texture_vertices) {
        if (v.AtLeast(1, 2)) out.u32(t.colour);
        out.f32(t.u);
        out.f32(t.v);
    }
    out.i32(int32_t(n.faces.size()));
    for (const scene::Face& f : n.faces) {
        if (v2) out.i32(int32_t(24 + 4 * f.extra_smoothing_groups.size()));
        for (const uint16_t i : f.vertices) out.u16(i);
        for (const uint16_t i : f.texture_vertices) out.u16(i);
        out.u16(f.texture_slot);
        out.u16(0);  // padding
        out.i32(f.two_sided ? 1 : 0);
        if (v.AtLeast(1, 2)) out.i32(f.smoothing_group);
        if (v2) {
            for (const int32_t g : f.extra_smoothing_groups) out.i32(g);
        }
    }
    if (v.AtLeast(1, 6)) {
        out.i32(int32_t(n.scale_keys.size()));
        for (const scene::ScaleKey& k : n.scale_keys) {
            out.i32(k.frame);
            out.vec3(k.scale);
            out.f32(k.extra);
        }
    }
    out.i32(int32_t(n.rotation_keys.size()));
    for (const scene::RotationKey& k : n.rotation_keys) {
        out.i32(k.frame);
        out.f32(k.rotation.x);
        out.f32(k.rotation.y);
        out.f32(k.rotation.z);
        out.f32(k.rotation.w);
    }
    if (v2) {
        out.i32(int32_t(n.position_keys.size()));
        for (const scene::PositionKey& k : n.position_keys) {
            out.i32(k.frame);
            out.vec3(k.position);
            out.i32(k.extra);
        }
    }
    if (v.AtLeast(2, 3)) {
        out.i32(int32_t(n.texture_animations.size()));
        for (const scene::TextureAnimation& a : n.texture_animations) {
            out.i32(a.texture_id);
            out.i32(int32_t(a.tracks.size()));
            for (const scene::TextureAnimationTrack& t : a.tracks) {
                out.i32(int32_t(t.type));
                out.i32(int32_t(t.keys.size()));
                for (const scene::TextureKey& k : t.keys) {
                    out.i32(k.frame);
                    out.f32(k.value);
                }
            }
        }
    }
}

// The bytes of an RSM file of version `s.version` holding `s`.
inline std::vector<uint8_t> WriteRsmScene(const scene::Scene& s,
                                          const RsmWriteOptions& options = {}) {
    RsmBytes out;
    const scene::Version v = s.version;
    const bool v2 = v.IsV2();
    for (const char c : {'G', 'R', 'S', 'M'}) out.u8(uint8_t(c));
    out.u8(v.major);
    out.u8(v.minor);
    out.i32(s.animation_length);
    out.i32(s.shade_type);
    if (v.AtLeast(1, 4)) out.u8(s.alpha.value_or(0xFF));
    if (v2) {
        out.f32(s.fps.value_or(0.0f));
    } else {
        for (int i = 0; i < 16; ++i) out.u8(options.reserved_byte);
    }
    if (!v.AtLeast(2, 3)) {
        out.i32(int32_t(s.textures.size()));
        for (const std::string& t : s.textures) v2 ? out.text(t) : out.name40(t);
    }
    if (v2) {
        out.i32(int32_t(s.root_nodes.size()));
        for (const std::string& r : s.root_nodes) out.text(r);
    } else {
        out.name40(s.root_nodes.empty() ? std::string() : s.root_nodes.front());
    }
    out.i32(int32_t(s.nodes.size()));
    for (const scene::Node& n : s.nodes) WriteRsmNode(out, s, n);
    if (!v.AtLeast(1, 6)) {
        out.i32(int32_t(s.model_keys.size()));
        for (const scene::ModelKey& k : s.model_keys) {
            out.i32(k.frame);
            out.vec3(k.values);
            out.f32(k.extra);
        }
    }
    if (options.volume_boxes) {
        out.i32(int32_t(s.volume_boxes.size()));
        for (const scene::VolumeBox& b : s.volume_boxes) {
            out.vec3(b.size);
            out.vec3(b.position);
            out.vec3(b.rotation);
            if (v.AtLeast(1, 3)) out.i32(b.flag.value_or(0));
        }
    }
    for (std::size_t i = 0; i < options.trailing_zeros; ++i) out.u8(0);
    return std::move(out.bytes());
}

// A node with three vertices (0,0,0), (1,0,0), (0,1,0), three texture vertices and one
// face drawing them with texture slot 0.
inline scene::Node RsmTriangleNode(const std::string& name, const std::string& parent) {
    scene::Node n;
    n.name = name;
    n.parent = parent;
    n.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    n.texture_vertices = {{0xFFFFFFFF, 0, 0}, {0xFFFFFFFF, 1, 0}, {0xFFFFFFFF, 0, 1}};
    scene::Face f;
    f.vertices = {0, 1, 2};
    f.texture_vertices = {0, 1, 2};
    n.faces.push_back(f);
    return n;
}

}  // namespace plovant::testing
