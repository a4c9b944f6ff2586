// Helpers of the glTF export tests: crafted models of every RSM version, a data folder
// with keyed bitmaps, exporting, and reading exports back with tinygltf.
#pragma once

#include <gtest/gtest.h>
#include <tiny_gltf.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>
#include <string>
#include <vector>

#include "archive/data_location.h"
#include "export/gltf/batch_export.h"
#include "export/gltf/gltf_file.h"
#include "export/gltf/scene_to_gltf.h"
#include "scene/scene_reader.h"
#include "support/rsm_scene_writer.h"

namespace plovant::gltf_test {

namespace fs = std::filesystem;

// A folder under the temporary folder, named after the running test, emptied first and
// removed at the end.
class TempFolder {
public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process number keeps test programs of different builds, and tests run
        // side by side by CTest, out of each other's folders.
        std::string name = "plovant-gltf-" + std::to_string(getpid()) + "-" +
                           std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        path_ = fs::temp_directory_path() / name;
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

inline void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A 4×2 BMP whose texel (1, 0) is pure magenta and (2, 0) nearly magenta (254, 0, 255).
inline std::vector<uint8_t> KeyedBitmap() {
    QImage image(4, 2, QImage::Format_RGB32);
    image.fill(qRgb(10, 200, 30));
    image.setPixel(1, 0, qRgb(255, 0, 255));
    image.setPixel(2, 0, qRgb(254, 0, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// A data folder whose texture subfolder holds "keyed.bmp" (see KeyedBitmap).
inline fs::path MakeDataFolder(const fs::path& root) {
    const fs::path data = root / "data";
    fs::create_directories(data / "texture");
    WriteFile(data / "texture" / "keyed.bmp", KeyedBitmap());
    return data;
}

// Two faces of a square, one of them two-sided, with corners that share a vertex but not
// its texture coordinates.
inline scene::Node SquareNode(const std::string& name, const std::string& parent) {
    scene::Node n;
    n.name = name;
    n.parent = parent;
    n.vertices = {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}};
    n.texture_vertices = {{0xFFFFFFFF, 0.0f, 0.0f},
                          {0xFFFFFFFF, 1.0f, 0.0f},
                          {0xFFFFFFFF, 1.0f, 1.0f},
                          {0xFFFFFFFF, 0.0f, 1.0f},
                          {0xFFFFFFFF, 0.25f, 0.75f}};
    scene::Face a;
    a.vertices = {0, 1, 2};
    a.texture_vertices = {0, 1, 2};
    scene::Face b;
    b.vertices = {0, 2, 3};
    b.texture_vertices = {4, 2, 3};  // vertex 0 with other texture coordinates
    b.two_sided = true;
    b.smoothing_group = 1;
    n.faces = {a, b};
    return n;
}

// A model of `version` with a root, a child turned and offset under it, and a grandchild;
// textures "keyed.bmp" and "missing.bmp"; key frames where the version has them.
inline scene::Scene CraftedScene(scene::Version version) {
    scene::Scene s;
    s.version = version;
    s.shade_type = 2;
    s.animation_length = version.IsV2() ? 20 : 1000;
    if (version.IsV2()) s.fps = 10.0f;
    if (version.AtLeast(1, 4)) s.alpha = 255;
    if (!version.AtLeast(2, 3)) s.textures = {"keyed.bmp", "missing.bmp"};
    s.root_nodes = {"root"};

    scene::Node root = SquareNode("root", "");
    scene::Node child = SquareNode("child", "root");
    scene::Node grandchild = testing::RsmTriangleNode("grandchild", "child");
    for (scene::Node* n : {&root, &child, &grandchild}) {
        n->texture_ids = {0, 1};
        n->textures = {"keyed.bmp", "missing.bmp"};
    }
    child.faces[1].texture_slot = 1;
    root.offset = {1.5f, -2.0f, 0.5f};
    root.matrix = glm::mat3(glm::rotate(glm::mat4(1.0f), 0.3f, glm::vec3(0, 0, 1)));
    child.offset = {4.0f, 1.0f, -1.0f};
    child.matrix = glm::mat3(2.0f);
    if (!version.IsV2()) {
        root.position = {0.5f, 0.0f, 0.0f};
        child.position = {3.0f, -1.0f, 2.0f};
        child.rotation_angle = 0.7f;
        child.rotation_axis = {0.0f, 1.0f, 0.0f};
        child.scale = {1.0f, 2.0f, 1.0f};
        grandchild.position = {0.0f, 2.0f, 0.0f};
    }
    const int32_t end = s.animation_length;
    child.rotation_keys = {{0, glm::angleAxis(0.0f, glm::vec3(0, 1, 0))},
                           {end / 2, glm::angleAxis(1.0f, glm::vec3(0, 1, 0))},
                           {end, glm::angleAxis(2.5f, glm::normalize(glm::vec3(1, 1, 0)))}};
    if (version.AtLeast(1, 6)) grandchild.scale_keys = {{0, {1, 1, 1}, 0}, {end, {2, 1, 3}, 0}};
    if (version.IsV2()) grandchild.position_keys = {{0, {0, 1, 0}, 0}, {end, {3, 1, -2}, 0}};
    if (version.AtLeast(2, 3)) {
        scene::TextureAnimation animation;
        animation.texture_id = 0;
        animation.tracks = {{scene::TextureAnimationType::kTranslateU, {{0, 0.0f}, {end, 1.0f}}}};
        child.texture_animations = {animation};
    }
    s.nodes = {root, child, grandchild};
    return s;
}

inline std::vector<scene::Version> AllVersions() {
    return {{1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}, {2, 2}, {2, 3}};
}

// The scene as the reader gives it back from the bytes of `s`.
inline scene::Scene RoundTrip(const scene::Scene& s) {
    return scene::ReadScene(testing::WriteRsmScene(s), "crafted.rsm");
}

inline gltf::ExportSettings SettingsFor(const fs::path& data, double time_ms = 0) {
    gltf::ExportSettings settings;
    settings.time_ms = time_ms;
    settings.data = OpenDataLocation(data.string());
    settings.standby_bitmap = std::string(PLOVANT_BIN_DIR) + "/blank.bmp";
    return settings;
}

// Exports `scene` to `path` and loads the result with tinygltf.
inline tinygltf::Model ExportAndLoad(const scene::Scene& scene, const fs::path& path,
                                     const gltf::ExportSettings& settings,
                                     std::vector<std::string>* warnings = nullptr) {
    std::vector<std::string> ignored;
    gltf::GltfDocument doc =
        gltf::SceneToGltf(scene, "crafted.rsm", settings, warnings ? *warnings : ignored);
    gltf::WriteGltf(std::move(doc), path, gltf::FormatForPath(path));
    tinygltf::TinyGLTF loader;
    tinygltf::Model model;
    std::string err, warn;
    const bool ok = gltf::FormatForPath(path) == gltf::GltfFormat::kBinary
                        ? loader.LoadBinaryFromFile(&model, &err, &warn, path.string())
                        : loader.LoadASCIIFromFile(&model, &err, &warn, path.string());
    EXPECT_TRUE(ok) << err;
    EXPECT_EQ(err, "");
    return model;
}

inline glm::mat4 NodeLocal(const tinygltf::Node& n) {
    if (n.matrix.size() == 16) {
        glm::mat4 m;
        for (int i = 0; i < 16; ++i) m[i / 4][i % 4] = float(n.matrix[std::size_t(i)]);
        return m;
    }
    glm::mat4 m(1.0f);
    if (n.translation.size() == 3) {
        m = glm::translate(m, glm::vec3(n.translation[0], n.translation[1], n.translation[2]));
    }
    if (n.rotation.size() == 4) {
        m = m * glm::mat4_cast(glm::quat(float(n.rotation[3]), float(n.rotation[0]),
                                         float(n.rotation[1]), float(n.rotation[2])));
    }
    if (n.scale.size() == 3) {
        m = glm::scale(m, glm::vec3(n.scale[0], n.scale[1], n.scale[2]));
    }
    return m;
}

// Every node's world matrix and parent (-1 for a root), from the scene's roots down.
struct Hierarchy {
    std::vector<glm::mat4> world;
    std::vector<int> parent;
};
inline Hierarchy WorldMatrices(const tinygltf::Model& model) {
    Hierarchy h;
    h.world.assign(model.nodes.size(), glm::mat4(1.0f));
    h.parent.assign(model.nodes.size(), -2);  // -2: not reached
    std::vector<int> todo;
    for (const int r : model.scenes.at(0).nodes) {
        h.parent[std::size_t(r)] = -1;
        h.world[std::size_t(r)] = NodeLocal(model.nodes[std::size_t(r)]);
        todo.push_back(r);
    }
    while (!todo.empty()) {
        const int n = todo.back();
        todo.pop_back();
        for (const int c : model.nodes[std::size_t(n)].children) {
            h.parent[std::size_t(c)] = n;
            h.world[std::size_t(c)] =
                h.world[std::size_t(n)] * NodeLocal(model.nodes[std::size_t(c)]);
            todo.push_back(c);
        }
    }
    return h;
}

// The float values of an accessor (tightly packed float data, as the exporter writes).
inline std::vector<float> Floats(const tinygltf::Model& model, int accessor_index) {
    const tinygltf::Accessor& a = model.accessors.at(std::size_t(accessor_index));
    const tinygltf::BufferView& v = model.bufferViews.at(std::size_t(a.bufferView));
    const tinygltf::Buffer& b = model.buffers.at(std::size_t(v.buffer));
    EXPECT_EQ(a.componentType, TINYGLTF_COMPONENT_TYPE_FLOAT);
    const std::size_t n = a.count * std::size_t(tinygltf::GetNumComponentsInType(uint32_t(a.type)));
    std::vector<float> out(n);
    std::memcpy(out.data(), b.data.data() + v.byteOffset + a.byteOffset, n * sizeof(float));
    return out;
}

inline std::vector<uint32_t> Indices(const tinygltf::Model& model, int accessor_index) {
    const tinygltf::Accessor& a = model.accessors.at(std::size_t(accessor_index));
    const tinygltf::BufferView& v = model.bufferViews.at(std::size_t(a.bufferView));
    const tinygltf::Buffer& b = model.buffers.at(std::size_t(v.buffer));
    EXPECT_EQ(a.componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
    std::vector<uint32_t> out(a.count);
    std::memcpy(out.data(), b.data.data() + v.byteOffset + a.byteOffset, a.count * 4);
    return out;
}

// One exported triangle corner: its world position and texture coordinates.
struct Corner {
    glm::vec3 position;
    glm::vec2 uv;
};

// The triangles of node `n` in world space, corner by corner, in the written order.
inline std::vector<Corner> WorldCorners(const tinygltf::Model& model, const Hierarchy& h, int n) {
    std::vector<Corner> corners;
    const tinygltf::Node& node = model.nodes.at(std::size_t(n));
    if (node.mesh < 0) return corners;
    for (const tinygltf::Primitive& p : model.meshes.at(std::size_t(node.mesh)).primitives) {
        const std::vector<float> pos = Floats(model, p.attributes.at("POSITION"));
        const std::vector<float> uv = Floats(model, p.attributes.at("TEXCOORD_0"));
        for (const uint32_t i : Indices(model, p.indices)) {
            const glm::vec4 local(pos[3 * i], pos[3 * i + 1], pos[3 * i + 2], 1.0f);
            corners.push_back(
                {glm::vec3(h.world[std::size_t(n)] * local), {uv[2 * i], uv[2 * i + 1]}});
        }
    }
    return corners;
}

}  // namespace plovant::gltf_test
