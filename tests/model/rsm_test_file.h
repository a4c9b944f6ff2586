// Builds the bytes of RSM files for tests, field by field, in the layout the reader
// expects: a 31-byte header, the texture table, then mesh blocks.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/rsm_model.h"

namespace plovant::testing {

struct MeshSpec {
    std::string name;
    std::string parent;
    std::vector<int32_t> texture_ids;
    std::vector<RsmVertex> vertices;
    std::vector<RsmTexVertex> tex_vertices;
    std::vector<RsmFace> faces;
};

inline RsmFace Face(int16_t v0, int16_t v1, int16_t v2, int16_t slot) {
    RsmFace f;
    f.V0 = f.T0 = v0;
    f.V1 = f.T1 = v1;
    f.V2 = f.T2 = v2;
    f.TextureSlot = slot;
    return f;
}

inline RsmTexVertex Tex(float u, float v) {
    RsmTexVertex t;
    t.U = u;
    t.V = v;
    return t;
}

// A small mesh: a quad of two triangles using texture slot 0, ids {id}.
inline MeshSpec Quad(const std::string& name, const std::string& parent, int32_t id = 0) {
    MeshSpec m;
    m.name = name;
    m.parent = parent;
    m.texture_ids = {id};
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    m.tex_vertices = {Tex(0, 0), Tex(1, 0), Tex(1, 1), Tex(0, 1)};
    m.faces = {Face(0, 1, 2, 0), Face(0, 2, 3, 0)};
    return m;
}

class RsmFile {
public:
    std::vector<uint8_t> bytes;

    RsmFile& raw(const void* data, std::size_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + n);
        return *this;
    }
    RsmFile& i32(int32_t v) {
        const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        return raw(b, 4);
    }
    RsmFile& f32(float v) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        return i32(int32_t(u));
    }
    RsmFile& i16(int16_t v) {
        const uint8_t b[2] = {uint8_t(v), uint8_t(uint16_t(v) >> 8)};
        return raw(b, 2);
    }
    RsmFile& zeros(std::size_t n) {
        bytes.insert(bytes.end(), n, 0);
        return *this;
    }
    RsmFile& text40(const std::string& s) {
        const Text40 t = MakeText40(s);
        return raw(t.data(), t.size());
    }

    // Signature, then 27 bytes 1, 2, ... 27.
    RsmFile& header(const std::string& signature = "GRSM") {
        raw(signature.data(), 4);
        for (int i = 1; i <= 27; ++i) bytes.push_back(uint8_t(i));
        return *this;
    }
    RsmFile& textures(const std::vector<std::string>& names) {
        i32(int32_t(names.size()));
        for (const std::string& n : names) text40(n);
        return *this;
    }

    // The first block: name, declared mesh count, second name, 40 extra bytes.
    RsmFile& firstMesh(const MeshSpec& m, int32_t declared = 1) {
        text40(m.name).i32(declared).text40(m.parent);
        for (int i = 0; i < 10; ++i) i32(100 + i);
        return body(m);
    }
    RsmFile& mesh(const MeshSpec& m) { return text40(m.name).text40(m.parent).body(m); }

    // The mesh body up to and including the faces (no key block).
    RsmFile& body(const MeshSpec& m) {
        i32(int32_t(m.texture_ids.size()));
        for (int32_t id : m.texture_ids) i32(id);
        for (int i = 0; i < 22; ++i) f32(float(i) + 0.5f);
        i32(int32_t(m.vertices.size()));
        for (const RsmVertex& v : m.vertices) f32(v.X).f32(v.Y).f32(v.Z);
        i32(int32_t(m.tex_vertices.size()));
        for (const RsmTexVertex& t : m.tex_vertices) raw(t.Extra.data(), 4).f32(t.U).f32(t.V);
        i32(int32_t(m.faces.size()));
        for (const RsmFace& f : m.faces) {
            i16(f.V0).i16(f.V1).i16(f.V2).i16(f.T0).i16(f.T1).i16(f.T2).i16(f.TextureSlot);
            raw(f.FaceTail.data(), 10);
        }
        return *this;
    }

    // A key block of `count` records whose bytes are 1, 2, 3, ...
    RsmFile& keys(int32_t count) {
        i32(count);
        for (int32_t k = 0; k < count * 20; ++k) bytes.push_back(uint8_t(k + 1));
        return *this;
    }
};

}  // namespace plovant::testing
