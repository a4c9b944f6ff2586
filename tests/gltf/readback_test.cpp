// Exports read back with tinygltf: nodes, placement, texture coordinates, textures and
// animation agree with the scene layer for crafted models of every RSM version.
#include <gtest/gtest.h>

#include <algorithm>

#include "errors/error.h"
#include "gltf/gltf_test_support.h"
#include "scene/placement.h"

namespace plovant {
namespace {

using namespace gltf_test;

struct Triangle {
    glm::vec3 p[3];
    glm::vec2 uv[3];
};

// What the scene layer says: every in-range face of node i at `time_ms`, upright, in the
// written (reversed) corner order.
std::vector<Triangle> ExpectedTriangles(const scene::Scene& s, std::size_t i, double time_ms) {
    const scene::ScenePose pose = scene::PoseAt(s, time_ms);
    const glm::mat4 m = scene::UprightMatrix() * pose.NodeMatrix(i);
    const scene::Node& node = s.nodes[i];
    std::vector<Triangle> out;
    for (const scene::Face& f : node.faces) {
        Triangle t;
        const int order[3] = {0, 2, 1};
        for (int c = 0; c < 3; ++c) {
            t.p[c] = glm::vec3(m * glm::vec4(node.vertices[f.vertices[order[c]]], 1.0f));
            const scene::TexVertex& tv = node.texture_vertices[f.texture_vertices[order[c]]];
            t.uv[c] = {tv.u, tv.v};
        }
        out.push_back(t);
    }
    return out;
}

std::vector<Triangle> ExportedTriangles(const tinygltf::Model& model, const Hierarchy& h, int n) {
    const std::vector<Corner> corners = WorldCorners(model, h, n);
    std::vector<Triangle> out(corners.size() / 3);
    for (std::size_t k = 0; k < corners.size(); ++k) {
        out[k / 3].p[k % 3] = corners[k].position;
        out[k / 3].uv[k % 3] = corners[k].uv;
    }
    return out;
}

float ModelSize(const scene::Scene& s) {
    glm::vec3 low(1e30f), high(-1e30f);
    for (std::size_t i = 0; i < s.nodes.size(); ++i) {
        for (const Triangle& t : ExpectedTriangles(s, i, 0)) {
            for (const glm::vec3& p : t.p) {
                low = glm::min(low, p);
                high = glm::max(high, p);
            }
        }
    }
    return glm::length(high - low);
}

// Every expected triangle is exported once, with the same corners in the same order.
void ExpectSameTriangles(std::vector<Triangle> expected, std::vector<Triangle> actual,
                         float tolerance, const std::string& what) {
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (const Triangle& e : expected) {
        const auto match = std::find_if(actual.begin(), actual.end(), [&](const Triangle& a) {
            for (int c = 0; c < 3; ++c) {
                if (glm::length(a.p[c] - e.p[c]) > tolerance || a.uv[c] != e.uv[c]) return false;
            }
            return true;
        });
        ASSERT_NE(match, actual.end())
            << what << ": no exported triangle at (" << e.p[0].x << ", " << e.p[0].y << ", "
            << e.p[0].z << ") with its texture coordinates";
        actual.erase(match);
    }
}

class EveryVersion : public ::testing::TestWithParam<scene::Version> {};

TEST_P(EveryVersion, NodesKeepTheirNamesAndParents) {
    TempFolder folder;
    const scene::Scene s = RoundTrip(CraftedScene(GetParam()));
    const tinygltf::Model model =
        ExportAndLoad(s, folder.path() / "out.glb", SettingsFor(MakeDataFolder(folder.path())));
    ASSERT_EQ(model.nodes.size(), s.nodes.size());
    const Hierarchy h = WorldMatrices(model);
    for (std::size_t i = 0; i < s.nodes.size(); ++i) {
        EXPECT_EQ(model.nodes[i].name, s.nodes[i].name);
        EXPECT_EQ(h.parent[i], s.nodes[i].parent_index) << s.nodes[i].name;
    }
}

TEST_P(EveryVersion, VerticesLieWhereTheScenePlacesThem) {
    TempFolder folder;
    const scene::Scene s = RoundTrip(CraftedScene(GetParam()));
    const fs::path data = MakeDataFolder(folder.path());
    const float tolerance = 1e-5f * ModelSize(s);
    // At rest and between keys (2.x frames at 10 per second: 700 ms is frame 7).
    for (const double time_ms : {0.0, 700.0}) {
        for (const char* name : {"out.glb", "out.gltf"}) {
            const tinygltf::Model model =
                ExportAndLoad(s, folder.path() / name, SettingsFor(data, time_ms));
            const Hierarchy h = WorldMatrices(model);
            for (std::size_t i = 0; i < s.nodes.size(); ++i) {
                ExpectSameTriangles(ExpectedTriangles(s, i, time_ms),
                                    ExportedTriangles(model, h, int(i)), tolerance,
                                    std::string(name) + " node " + s.nodes[i].name + " at " +
                                        std::to_string(time_ms) + " ms");
            }
        }
    }
}

TEST_P(EveryVersion, MissingTextureIsNamedAndTextureAnimationsReportedOnce) {
    TempFolder folder;
    const scene::Scene s = RoundTrip(CraftedScene(GetParam()));
    std::vector<std::string> warnings;
    const tinygltf::Model model = ExportAndLoad(
        s, folder.path() / "out.glb", SettingsFor(MakeDataFolder(folder.path())), &warnings);
    const auto count = [&](const std::string& part) {
        return std::count_if(warnings.begin(), warnings.end(), [&](const std::string& w) {
            return w.find(part) != std::string::npos;
        });
    };
    EXPECT_EQ(count("\"missing.bmp\" not found"), 1);
    EXPECT_EQ(count("keyed.bmp"), 0);
    EXPECT_EQ(count("texture animations"), GetParam().AtLeast(2, 3) ? 1 : 0);
    // The stand-by bitmap stands in: every material has a picture.
    for (const tinygltf::Material& m : model.materials) {
        EXPECT_GE(m.pbrMetallicRoughness.baseColorTexture.index, 0) << m.name;
        EXPECT_EQ(m.pbrMetallicRoughness.metallicFactor, 0.0);
        EXPECT_EQ(m.pbrMetallicRoughness.roughnessFactor, 1.0);
    }
}

// Plays the exported animation at `seconds` (LINEAR: lerp, slerp for rotations) by
// writing the sampled values into the nodes.
void PlayAnimation(tinygltf::Model& model, float seconds) {
    for (const tinygltf::Animation& animation : model.animations) {
        for (const tinygltf::AnimationChannel& c : animation.channels) {
            const auto& sampler = animation.samplers.at(std::size_t(c.sampler));
            const std::vector<float> t = Floats(model, sampler.input);
            const std::vector<float> v = Floats(model, sampler.output);
            const std::size_t width = c.target_path == "rotation" ? 4 : 3;
            std::size_t k = 0;
            while (k + 1 < t.size() && t[k + 1] <= seconds) ++k;
            const std::size_t next = std::min(k + 1, t.size() - 1);
            const float f = next == k || seconds <= t[k]
                                ? 0.0f
                                : std::min(1.0f, (seconds - t[k]) / (t[next] - t[k]));
            std::vector<double> value(width);
            if (width == 4) {
                const glm::quat a(v[4 * k + 3], v[4 * k], v[4 * k + 1], v[4 * k + 2]);
                const glm::quat b(v[4 * next + 3], v[4 * next], v[4 * next + 1], v[4 * next + 2]);
                const glm::quat q = glm::slerp(a, b, f);
                value = {q.x, q.y, q.z, q.w};
            } else {
                for (std::size_t j = 0; j < 3; ++j) {
                    value[j] = v[3 * k + j] + (v[3 * next + j] - v[3 * k + j]) * f;
                }
            }
            tinygltf::Node& node = model.nodes.at(std::size_t(c.target_node));
            (c.target_path == "rotation"      ? node.rotation
             : c.target_path == "translation" ? node.translation
                                              : node.scale) = value;
        }
    }
}

// Played at any time, the animation puts every vertex where the scene places it then.
TEST_P(EveryVersion, AnimationPlaysAsTheScenePoses) {
    TempFolder folder;
    const scene::Scene s = RoundTrip(CraftedScene(GetParam()));
    tinygltf::Model model =
        ExportAndLoad(s, folder.path() / "out.glb", SettingsFor(MakeDataFolder(folder.path())));
    ASSERT_EQ(model.animations.size(), 1u);
    const float tolerance = 1e-5f * ModelSize(s);
    for (const double time_ms : {0.0, 250.0, 500.0, 730.0, 1000.0, 1900.0}) {
        PlayAnimation(model, float(time_ms / 1000.0));
        const Hierarchy h = WorldMatrices(model);
        for (std::size_t i = 0; i < s.nodes.size(); ++i) {
            ExpectSameTriangles(ExpectedTriangles(s, i, time_ms),
                                ExportedTriangles(model, h, int(i)), tolerance,
                                s.nodes[i].name + " at " + std::to_string(time_ms) + " ms");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rsm, EveryVersion, ::testing::ValuesIn(AllVersions()),
                         [](const auto& info) {
                             return "v" + std::to_string(info.param.major) +
                                    std::to_string(info.param.minor);
                         });

TEST(GltfTextures, PureMagentaTexelIsTransparentAndNearMagentaIsNot) {
    TempFolder folder;
    const scene::Scene s = RoundTrip(CraftedScene({1, 4}));
    const tinygltf::Model model =
        ExportAndLoad(s, folder.path() / "out.gltf", SettingsFor(MakeDataFolder(folder.path())));
    const auto keyed = std::find_if(model.materials.begin(), model.materials.end(),
                                    [](const auto& m) { return m.name == "keyed.bmp"; });
    ASSERT_NE(keyed, model.materials.end());
    EXPECT_EQ(keyed->alphaMode, "MASK");
    const int texture = keyed->pbrMetallicRoughness.baseColorTexture.index;
    const tinygltf::Image& image =
        model.images.at(std::size_t(model.textures.at(std::size_t(texture)).source));
    ASSERT_EQ(image.width, 4);
    ASSERT_EQ(image.height, 2);
    ASSERT_EQ(image.component, 4);
    const auto texel = [&](int x, int y) { return &image.image[std::size_t((y * 4 + x) * 4)]; };
    EXPECT_EQ(texel(1, 0)[3], 0);    // (255, 0, 255)
    EXPECT_EQ(texel(2, 0)[3], 255);  // (254, 0, 255)
    EXPECT_EQ(texel(2, 0)[0], 254);
    EXPECT_EQ(texel(0, 1)[1], 200);
}

TEST(GltfTextures, PictureWithoutMagentaIsOpaque) {
    TempFolder folder;
    const fs::path data = MakeDataFolder(folder.path());
    QImage plain(3, 3, QImage::Format_RGB32);
    plain.fill(qRgb(255, 0, 254));
    plain.save(QString::fromStdString((data / "texture" / "plain.bmp").string()), "BMP");
    scene::Scene s = CraftedScene({1, 2});
    s.textures = {"plain.bmp", "PLAIN.BMP"};  // found without regard to letter case
    s = RoundTrip(s);
    std::vector<std::string> warnings;
    const tinygltf::Model model =
        ExportAndLoad(s, folder.path() / "out.glb", SettingsFor(data), &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    for (const tinygltf::Material& m : model.materials) EXPECT_EQ(m.alphaMode, "OPAQUE");
}

// One primitive per (texture, two-sided) group, its material double-sided exactly when
// its faces are.
TEST(GltfMaterials, TwoSidedFacesGetTheirOwnDoubleSidedMaterial) {
    TempFolder folder;
    const scene::Scene s = RoundTrip(CraftedScene({1, 2}));
    const tinygltf::Model model =
        ExportAndLoad(s, folder.path() / "out.glb", SettingsFor(MakeDataFolder(folder.path())));
    // The root: face a one-sided, face b two-sided, both with keyed.bmp.
    const tinygltf::Mesh& root = model.meshes.at(std::size_t(model.nodes.at(0).mesh));
    ASSERT_EQ(root.primitives.size(), 2u);
    const tinygltf::Material& first = model.materials.at(std::size_t(root.primitives[0].material));
    const tinygltf::Material& second = model.materials.at(std::size_t(root.primitives[1].material));
    EXPECT_FALSE(first.doubleSided);
    EXPECT_TRUE(second.doubleSided);
    EXPECT_EQ(first.name, "keyed.bmp");
    EXPECT_EQ(second.name, "keyed.bmp");
    // Both use the one picture.
    EXPECT_EQ(first.pbrMetallicRoughness.baseColorTexture.index,
              second.pbrMetallicRoughness.baseColorTexture.index);
    // The grandchild's one-sided keyed face shares the root's material.
    const tinygltf::Mesh& grandchild = model.meshes.at(std::size_t(model.nodes.at(2).mesh));
    EXPECT_EQ(grandchild.primitives.at(0).material, root.primitives[0].material);
}

// A texture file that is no picture is named and stood in for; without even the
// stand-by bitmap the faces stay, untextured, and that is said too.
TEST(GltfTextures, UnreadablePictureAndMissingStandbyAreWarnedNotFatal) {
    TempFolder folder;
    const fs::path data = MakeDataFolder(folder.path());
    WriteFile(data / "texture" / "missing.bmp", {'B', 'M', 0x7F, 0x80, 0xFF});
    const scene::Scene s = RoundTrip(CraftedScene({1, 3}));
    std::vector<std::string> warnings;
    gltf::ExportSettings settings = SettingsFor(data);
    tinygltf::Model model = ExportAndLoad(s, folder.path() / "a.glb", settings, &warnings);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("\"missing.bmp\" is not a picture"), std::string::npos)
        << warnings[0];
    EXPECT_EQ(model.images.size(), 2u);  // keyed.bmp and the stand-by bitmap

    warnings.clear();
    settings.standby_bitmap = (folder.path() / "no-such-blank.bmp").string();
    model = ExportAndLoad(s, folder.path() / "b.glb", settings, &warnings);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[1].find("no-such-blank.bmp"), std::string::npos) << warnings[1];
    EXPECT_EQ(model.images.size(), 1u);
    std::size_t untextured = 0;
    for (const tinygltf::Material& m : model.materials) {
        untextured += m.pbrMetallicRoughness.baseColorTexture.index < 0;
    }
    EXPECT_EQ(untextured, 1u);
    std::size_t triangles = 0;
    for (const tinygltf::Mesh& mesh : model.meshes) {
        for (const tinygltf::Primitive& p : mesh.primitives) {
            triangles += model.accessors.at(std::size_t(p.indices)).count / 3;
        }
    }
    EXPECT_EQ(triangles, 5u);  // every face kept
}

// Two 1.x nodes, the child turning by rotation keys: the animation's rotation values at
// the key times are the keys (upright: x and z negated).
TEST(GltfAnimation, RotationChannelHoldsTheKeysAtTheKeyTimes) {
    TempFolder folder;
    scene::Scene s;
    s.version = {1, 5};
    s.animation_length = 2000;
    s.textures = {"keyed.bmp"};
    s.root_nodes = {"base"};
    scene::Node base = testing::RsmTriangleNode("base", "");
    scene::Node arm = testing::RsmTriangleNode("arm", "base");
    base.texture_ids = arm.texture_ids = {0};
    arm.position = {0, -3, 0};
    const std::vector<scene::RotationKey> keys = {
        {0, glm::quat(1, 0, 0, 0)},
        {500, glm::normalize(glm::quat(0.9f, 0.1f, 0.4f, -0.2f))},
        {1500, glm::normalize(glm::quat(-0.3f, 0.5f, 0.2f, 0.7f))},
        // Past the animation's length: clamped to it, as the pose is.
        {4000, glm::normalize(glm::quat(0.2f, -0.6f, 0.1f, 0.3f))},
    };
    arm.rotation_keys = keys;
    s.nodes = {base, arm};
    s = RoundTrip(s);
    const tinygltf::Model model =
        ExportAndLoad(s, folder.path() / "out.glb", SettingsFor(MakeDataFolder(folder.path())));

    ASSERT_EQ(model.animations.size(), 1u);
    const tinygltf::Animation& animation = model.animations[0];
    ASSERT_EQ(animation.channels.size(), 1u);
    const tinygltf::AnimationChannel& channel = animation.channels[0];
    EXPECT_EQ(channel.target_node, 1);
    EXPECT_EQ(channel.target_path, "rotation");
    const tinygltf::AnimationSampler& sampler = animation.samplers.at(std::size_t(channel.sampler));
    EXPECT_EQ(sampler.interpolation, "LINEAR");
    const std::vector<float> times = Floats(model, sampler.input);
    const std::vector<float> values = Floats(model, sampler.output);
    ASSERT_EQ(times, (std::vector<float>{0.0f, 0.5f, 1.5f, 2.0f}));
    ASSERT_EQ(values.size(), 16u);
    const scene::ScenePose at_end = scene::PoseAt(s, 2000);
    for (std::size_t k = 0; k < 4; ++k) {
        const glm::quat written(values[4 * k + 3], values[4 * k], values[4 * k + 1],
                                values[4 * k + 2]);
        EXPECT_NEAR(glm::length(written), 1.0f, 1e-6f);
        // The key, or for the last time the pose there (between the last two keys).
        const glm::quat key = k < 3 ? glm::normalize(keys[k].rotation)
                                    : glm::quat_cast(glm::mat3(at_end.nodes[1].local_to_parent));
        const glm::quat upright(key.w, -key.x, key.y, -key.z);
        EXPECT_NEAR(std::abs(glm::dot(written, upright)), 1.0f, 1e-5f) << "key " << k;
    }
}

TEST(GltfAnimation, StillModelHasNoAnimation) {
    TempFolder folder;
    scene::Scene s = CraftedScene({1, 6});
    s.animation_length = 0;  // keys exist but never play
    const tinygltf::Model model = ExportAndLoad(RoundTrip(s), folder.path() / "out.glb",
                                                SettingsFor(MakeDataFolder(folder.path())));
    EXPECT_TRUE(model.animations.empty());
    scene::Scene v2 = CraftedScene({2, 2});
    v2.fps = 0.0f;  // frames that never advance
    const tinygltf::Model model2 = ExportAndLoad(RoundTrip(v2), folder.path() / "out2.glb",
                                                 SettingsFor(MakeDataFolder(folder.path())));
    EXPECT_TRUE(model2.animations.empty());
}

TEST(GltfAnimation, TwoPointTwoTimesAreFramesOverFramesPerSecond) {
    TempFolder folder;
    const scene::Scene s = RoundTrip(CraftedScene({2, 2}));  // 20 frames at 10 per second
    const tinygltf::Model model =
        ExportAndLoad(s, folder.path() / "out.glb", SettingsFor(MakeDataFolder(folder.path())));
    ASSERT_EQ(model.animations.size(), 1u);
    for (const tinygltf::AnimationChannel& c : model.animations[0].channels) {
        const auto& sampler = model.animations[0].samplers.at(std::size_t(c.sampler));
        const std::vector<float> times = Floats(model, sampler.input);
        ASSERT_FALSE(times.empty());
        EXPECT_EQ(times.front(), 0.0f);
        EXPECT_FLOAT_EQ(times.back(), 2.0f) << c.target_path;
    }
}

// A 1.x parent's offset places its own vertices only: the child is not moved by it.
TEST(GltfPlacement, ChildIsNotMovedByItsParentsOffset) {
    TempFolder folder;
    scene::Scene s;
    s.version = {1, 4};
    s.textures = {"keyed.bmp"};
    s.root_nodes = {"parent"};
    scene::Node parent = testing::RsmTriangleNode("parent", "");
    scene::Node child = testing::RsmTriangleNode("child", "parent");
    parent.texture_ids = child.texture_ids = {0};
    parent.offset = {100, 0, 0};
    s.nodes = {parent, child};
    s = RoundTrip(s);
    const tinygltf::Model model =
        ExportAndLoad(s, folder.path() / "out.glb", SettingsFor(MakeDataFolder(folder.path())));
    const Hierarchy h = WorldMatrices(model);
    ASSERT_EQ(h.parent[1], 0);
    const std::vector<Corner> p = WorldCorners(model, h, 0);
    const std::vector<Corner> c = WorldCorners(model, h, 1);
    ASSERT_EQ(p.size(), 3u);
    ASSERT_EQ(c.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const glm::vec3 d = c[std::size_t(k)].position - p[std::size_t(k)].position;
        EXPECT_NEAR(d.x, -100.0f, 1e-4f);
        EXPECT_NEAR(d.y, 0.0f, 1e-4f);
        EXPECT_NEAR(d.z, 0.0f, 1e-4f);
    }
}

// 2.x nodes whose frame relative to the parent has shear (the parent's matrix scales
// unevenly, the child's turns): glTF nodes cannot hold it, yet every vertex lands where
// the scene places it; nodes keep unit rotations and no matrix.
TEST(GltfPlacement, ShearedTwoPointTwoFramesLandExactly) {
    TempFolder folder;
    scene::Scene s;
    s.version = {2, 2};
    s.fps = 30;
    s.textures = {"keyed.bmp"};
    s.root_nodes = {"a"};
    scene::Node a = SquareNode("a", "");
    scene::Node b = SquareNode("b", "a");
    scene::Node c = SquareNode("c", "b");
    a.texture_ids = b.texture_ids = c.texture_ids = {0};
    a.matrix = glm::mat3(glm::scale(glm::mat4(1.0f), glm::vec3(1, 3, 0.5f)));
    b.matrix = glm::mat3(glm::rotate(glm::mat4(1.0f), 0.6f, glm::vec3(1, 0, 1)));
    b.offset = {2, 1, 0};
    c.matrix = glm::mat3(1, 0.5f, 0, 0, 1, 0, 0, 0, -1);  // shear and a mirror
    c.offset = {0, 4, 1};
    s.nodes = {a, b, c};
    s = RoundTrip(s);
    const tinygltf::Model model =
        ExportAndLoad(s, folder.path() / "out.glb", SettingsFor(MakeDataFolder(folder.path())));
    const Hierarchy h = WorldMatrices(model);
    const float tolerance = 1e-5f * ModelSize(s);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(model.nodes[i].matrix.empty());
        if (model.nodes[i].rotation.size() == 4) {
            const auto& r = model.nodes[i].rotation;
            EXPECT_NEAR(r[0] * r[0] + r[1] * r[1] + r[2] * r[2] + r[3] * r[3], 1.0, 1e-6);
        }
        ExpectSameTriangles(ExpectedTriangles(s, i, 0), ExportedTriangles(model, h, int(i)),
                            tolerance, s.nodes[i].name);
    }
}

// The written normal points to the side the written winding faces, also where a node's
// matrix mirrors; smooth shading averages only within a smoothing group.
TEST(GltfNormals, FollowWindingAndSmoothingGroups) {
    TempFolder folder;
    for (const float mirror : {1.0f, -1.0f}) {
        for (const int32_t shade : {0, 2}) {
            scene::Scene s;
            s.version = {1, 3};
            s.shade_type = shade;
            s.textures = {"keyed.bmp"};
            s.root_nodes = {"fold"};
            scene::Node n;
            n.name = "fold";
            n.texture_ids = {0};
            n.matrix = glm::mat3(glm::vec3(mirror, 0, 0), glm::vec3(0, 1, 0), glm::vec3(0, 0, 1));
            // Two faces folded along the edge 0-1, sharing it, in one smoothing group;
            // a third, sharing vertex 0, in another.
            n.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, -1, -1}};
            n.texture_vertices = {{0xFFFFFFFF, 0, 0}};
            scene::Face f1, f2, f3;
            f1.vertices = {0, 1, 2};
            f2.vertices = {1, 0, 3};
            f3.vertices = {0, 4, 1};
            f1.smoothing_group = f2.smoothing_group = 5;
            f3.smoothing_group = 6;
            n.faces = {f1, f2, f3};
            s.nodes = {n};
            s = RoundTrip(s);
            const tinygltf::Model model = ExportAndLoad(s, folder.path() / "out.glb",
                                                        SettingsFor(MakeDataFolder(folder.path())));
            const tinygltf::Primitive& p = model.meshes.at(0).primitives.at(0);
            const std::vector<float> pos = Floats(model, p.attributes.at("POSITION"));
            const std::vector<float> nor = Floats(model, p.attributes.at("NORMAL"));
            const std::vector<uint32_t> idx = Indices(model, p.indices);
            ASSERT_EQ(idx.size(), 9u);
            const auto at = [](const std::vector<float>& v, uint32_t i) {
                return glm::vec3(v[3 * i], v[3 * i + 1], v[3 * i + 2]);
            };
            std::vector<glm::vec3> face_normal;
            for (std::size_t t = 0; t < 3; ++t) {
                const glm::vec3 a = at(pos, idx[3 * t]), b = at(pos, idx[3 * t + 1]),
                                c = at(pos, idx[3 * t + 2]);
                face_normal.push_back(glm::normalize(glm::cross(b - a, c - a)));
                for (int k = 0; k < 3; ++k) {
                    const glm::vec3 normal = at(nor, idx[3 * t + std::size_t(k)]);
                    EXPECT_NEAR(glm::length(normal), 1.0f, 1e-6f);
                    EXPECT_GT(glm::dot(normal, face_normal[t]), 0.1f);
                }
            }
            // The shared edge's corners: one normal for both faces when smooth, else each
            // face its own; the third face keeps its own either way.
            const glm::vec3 n1 = at(nor, idx[0]);  // vertex 0 in face 1
            const glm::vec3 n3 = at(nor, idx[6]);  // vertex 0 in face 3
            if (shade == 2) {
                EXPECT_NEAR(glm::length(n1 - glm::normalize(face_normal[0] + face_normal[1])), 0,
                            1e-5f);
            } else {
                EXPECT_NEAR(glm::length(n1 - face_normal[0]), 0, 1e-6f);
            }
            EXPECT_NEAR(glm::length(n3 - face_normal[2]), 0, 1e-6f);
        }
    }
}

TEST(GltfGeometry, FacesOutOfRangeAreLeftOutAndNamed) {
    TempFolder folder;
    scene::Scene s = CraftedScene({1, 4});
    s.nodes[1].faces[0].vertices[2] = 4;           // one past the last vertex
    s.nodes[1].faces[1].texture_vertices[0] = 99;  // far past
    s.nodes[2].faces.clear();                      // no faces: no mesh
    s = RoundTrip(s);
    std::vector<std::string> warnings;
    const tinygltf::Model model = ExportAndLoad(
        s, folder.path() / "out.glb", SettingsFor(MakeDataFolder(folder.path())), &warnings);
    EXPECT_EQ(model.nodes[1].mesh, -1);
    EXPECT_EQ(model.nodes[2].mesh, -1);
    EXPECT_EQ(model.meshes.size(), 1u);
    EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(), [](const std::string& w) {
        return w.find("\"child\": 2 face(s) left out") != std::string::npos;
    }));
}

TEST(GltfGeometry, ModelWithoutNodesIsRefused) {
    TempFolder folder;
    scene::Scene s;
    s.version = {2, 3};
    s.fps = 30;
    std::vector<std::string> warnings;
    try {
        gltf::SceneToGltf(s, "empty.rsm2", SettingsFor(folder.path()), warnings);
        FAIL() << "a model without nodes was exported";
    } catch (const Error& e) {
        EXPECT_NE(e.description().find("empty.rsm2"), std::string::npos);
    }
}

// Korean (CP949) names become UTF-8 names of nodes and materials.
TEST(GltfNames, CodePageNamesBecomeUtf8) {
    TempFolder folder;
    scene::Scene s = CraftedScene({1, 4});
    s.nodes[0].name = "\xB3\xAA\xB9\xAB";  // "나무" in CP949
    s.nodes[1].parent = s.nodes[0].name;
    s.root_nodes = {s.nodes[0].name};
    s = RoundTrip(s);
    const tinygltf::Model model =
        ExportAndLoad(s, folder.path() / "out.glb", SettingsFor(MakeDataFolder(folder.path())));
    EXPECT_EQ(model.nodes[0].name, "\xEB\x82\x98\xEB\xAC\xB4");
    EXPECT_EQ(model.nodes[0].children, std::vector<int>{1});
}

}  // namespace
}  // namespace plovant
