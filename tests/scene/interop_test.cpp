// Files written by other projects' tools, read with the counts and values they declare.
#include <gtest/gtest.h>

#include <filesystem>

#include "errors/error.h"
#include "model/binary_file.h"
#include "scene/placement.h"
#include "scene/scene_reader.h"
#include "support/rsm_scene_writer.h"

namespace plovant::scene {
namespace {

std::filesystem::path Interop(const char* name) {
    return std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / "interop" / name;
}

struct Counts {
    std::size_t textures, vertices, texture_vertices, faces, rotation_keys, position_keys,
        scale_keys, texture_animations;
};

void ExpectCounts(const Node& n, const Counts& c) {
    EXPECT_EQ(n.textures.size(), c.textures);
    EXPECT_EQ(n.vertices.size(), c.vertices);
    EXPECT_EQ(n.texture_vertices.size(), c.texture_vertices);
    EXPECT_EQ(n.faces.size(), c.faces);
    EXPECT_EQ(n.rotation_keys.size(), c.rotation_keys);
    EXPECT_EQ(n.position_keys.size(), c.position_keys);
    EXPECT_EQ(n.scale_keys.size(), c.scale_keys);
    EXPECT_EQ(n.texture_animations.size(), c.texture_animations);
}

// The 1.4 and 1.5 RagLite files hold the same model; 1.5 has four more zero bytes
// before its model-level keys.
void ExpectRagLiteOneX(const Scene& s) {
    EXPECT_EQ(s.animation_length, 6000);
    EXPECT_EQ(s.shade_type, 0);
    EXPECT_EQ(s.alpha, 0xFF);
    EXPECT_FALSE(s.fps.has_value());
    EXPECT_EQ(s.textures, (std::vector<std::string>{"dir\\tex1.bmp", "asdf/texture.bmp"}));
    EXPECT_EQ(s.root_nodes, (std::vector<std::string>{"TransformationRoot"}));
    ASSERT_EQ(s.nodes.size(), 1u);
    const Node& n = s.nodes[0];
    EXPECT_EQ(n.name, "TransformationRoot");
    EXPECT_EQ(n.parent, "");
    ExpectCounts(n, {2, 3, 2, 2, 2, 0, 0, 0});
    EXPECT_EQ(n.textures, s.textures);
    EXPECT_EQ(n.vertices[2], glm::vec3(700, 800, 900));
    EXPECT_EQ(n.texture_vertices[0].colour, 0x04030201u);
    EXPECT_EQ(n.texture_vertices[1].u, 1.0f);
    EXPECT_EQ(n.texture_vertices[1].v, 0.75f);
    EXPECT_EQ(n.faces[0].vertices, (std::array<uint16_t, 3>{10, 11, 12}));
    EXPECT_EQ(n.faces[0].texture_vertices, (std::array<uint16_t, 3>{13, 14, 15}));
    EXPECT_EQ(n.faces[0].texture_slot, 8);
    EXPECT_TRUE(n.faces[0].two_sided);
    EXPECT_EQ(n.faces[0].smoothing_group, 42);
    EXPECT_FALSE(n.faces[1].two_sided);
    EXPECT_EQ(n.faces[1].smoothing_group, 123);
    EXPECT_EQ(n.rotation_keys[1].frame, 77);
    EXPECT_EQ(n.rotation_keys[1].rotation, glm::quat(29, 26, 27, 28));  // stored x y z w
    ASSERT_EQ(s.model_keys.size(), 2u);
    EXPECT_EQ(s.model_keys[1].frame, 666);
    EXPECT_EQ(s.model_keys[1].values, glm::vec3(3, 2, 1));
    ASSERT_EQ(s.volume_boxes.size(), 2u);
    EXPECT_EQ(s.volume_boxes[0].size, glm::vec3(9, 8, 7));
    EXPECT_EQ(s.volume_boxes[1].rotation, glm::vec3(30, 20, 10));
    EXPECT_EQ(s.volume_boxes[1].flag, 0);
    // Their faces point past the vertex lists (they are parser fixtures).
    ASSERT_EQ(s.warnings.size(), 1u);
    EXPECT_NE(s.warnings[0].find("2 of 2 faces"), std::string::npos);
}

TEST(InteropFiles, RagLiteOneFour) {
    const Scene s = LoadScene(Interop("raglite-v0104.rsm"));
    EXPECT_EQ(s.version.Text(), "1.4");
    ExpectRagLiteOneX(s);
}

TEST(InteropFiles, TheTestWriterRewritesRagLitesOneFourFileByteForByte) {
    const std::vector<uint8_t> bytes = ReadBinaryFile(Interop("raglite-v0104.rsm"));
    EXPECT_EQ(testing::WriteRsmScene(ReadScene(bytes, "raglite-v0104.rsm")), bytes);
}

TEST(InteropFiles, RagLiteOneFive) {
    const Scene s = LoadScene(Interop("raglite-v0105.rsm"));
    EXPECT_EQ(s.version.Text(), "1.5");
    ExpectRagLiteOneX(s);
}

void ExpectRagLiteTwoX(const Scene& s) {
    EXPECT_EQ(s.animation_length, 117);
    EXPECT_EQ(s.shade_type, 2);
    EXPECT_EQ(s.alpha, 252);
    EXPECT_EQ(s.fps, 37.0f);
    EXPECT_EQ(s.root_nodes,
              (std::vector<std::string>{"TransformationRootA", "TransformationRootB"}));
    ASSERT_EQ(s.nodes.size(), 1u);
    const Node& n = s.nodes[0];
    EXPECT_EQ(n.name, "TransformationRootA");
    EXPECT_EQ(n.matrix, glm::mat3(1.0f));
    EXPECT_EQ(n.offset, glm::vec3(1, 2, 3));
    ASSERT_EQ(n.faces.size(), 2u);
    EXPECT_EQ(n.faces[0].vertices, (std::array<uint16_t, 3>{1, 3, 4}));
    EXPECT_EQ(n.faces[0].smoothing_group, 1);
    EXPECT_EQ(n.faces[0].extra_smoothing_groups, (std::vector<int32_t>{1, 1}));  // 32 bytes
    EXPECT_TRUE(n.faces[1].extra_smoothing_groups.empty());                      // 24 bytes
    ASSERT_EQ(n.scale_keys.size(), 2u);
    EXPECT_EQ(n.scale_keys[0].frame, 500);
    EXPECT_EQ(n.scale_keys[0].scale, glm::vec3(1000, 1500, 2000));
    ASSERT_EQ(n.position_keys.size(), 2u);
    EXPECT_EQ(n.position_keys[1].frame, 200);
    EXPECT_EQ(n.position_keys[1].position, glm::vec3(16, 32, 64));
    EXPECT_TRUE(s.volume_boxes.empty());
    EXPECT_EQ(s.main_node, 0);
    EXPECT_TRUE(s.warnings.empty());
}

TEST(InteropFiles, RagLiteTwoTwo) {
    const Scene s = LoadScene(Interop("raglite-v0202.rsm2"));
    EXPECT_EQ(s.version.Text(), "2.2");
    ExpectRagLiteTwoX(s);
    EXPECT_EQ(s.textures, (std::vector<std::string>{"hmm\\texture.jpg", "asdf/texture2.bmp"}));
    ExpectCounts(s.nodes[0], {1, 5, 5, 2, 0, 2, 2, 0});
    EXPECT_EQ(s.nodes[0].textures, (std::vector<std::string>{"hmm\\texture.jpg"}));
}

TEST(InteropFiles, RagLiteTwoThreeEndsWithoutTheBoxCount) {
    const Scene s = LoadScene(Interop("raglite-v0203.rsm2"));
    EXPECT_EQ(s.version.Text(), "2.3");
    ExpectRagLiteTwoX(s);
    EXPECT_TRUE(s.textures.empty());
    ExpectCounts(s.nodes[0], {2, 5, 5, 2, 0, 2, 2, 2});
    EXPECT_EQ(s.nodes[0].textures,
              (std::vector<std::string>{"hmm\\texture.jpg", "asdf/texture2.bmp"}));
    const std::vector<TextureAnimation>& a = s.nodes[0].texture_animations;
    EXPECT_EQ(a[0].texture_id, 777);
    ASSERT_EQ(a[0].tracks.size(), 1u);
    EXPECT_EQ(a[0].tracks[0].type, TextureAnimationType::kTranslateU);
    ASSERT_EQ(a[0].tracks[0].keys.size(), 2u);
    EXPECT_EQ(a[0].tracks[0].keys[1].frame, 6);
    EXPECT_EQ(a[0].tracks[0].keys[1].value, 0.25f);
    EXPECT_EQ(a[1].texture_id, 888);
    ASSERT_EQ(a[1].tracks.size(), 4u);
    EXPECT_EQ(a[1].tracks[3].type, TextureAnimationType::kRotate);
    EXPECT_EQ(a[1].tracks[3].keys[0].value, 8.0f);
}

TEST(InteropFiles, KorangarPlaceholderWithAStrayByte) {
    const Scene s = LoadScene(Interop("korangar-missing.rsm"));
    EXPECT_EQ(s.version.Text(), "1.4");
    EXPECT_EQ(s.animation_length, 16000);
    EXPECT_EQ(s.textures, (std::vector<std::string>{"model\\missing.bmp"}));
    ASSERT_EQ(s.nodes.size(), 1u);
    EXPECT_EQ(s.nodes[0].name, "Missing0");
    ExpectCounts(s.nodes[0], {1, 12, 34, 14, 0, 0, 0, 0});
    EXPECT_TRUE(s.model_keys.empty());
    EXPECT_TRUE(s.volume_boxes.empty());
    EXPECT_EQ(s.warnings,
              (std::vector<std::string>{"1 bytes after the last section were not read"}));
    // Every face is drawable, and the placed model rests on y = 0, centred in x and z.
    const ScenePose pose = PoseAt(s, 0);
    glm::vec3 low(1e30f), high(-1e30f);
    for (const Face& f : s.nodes[0].faces) {
        ASSERT_TRUE(FaceInRange(s.nodes[0], f));
        for (const uint16_t v : f.vertices) {
            const glm::vec3 p =
                glm::vec3(pose.NodeMatrix(0) * glm::vec4(s.nodes[0].vertices[v], 1));
            low = glm::min(low, p);
            high = glm::max(high, p);
        }
    }
    EXPECT_NEAR(high.y, 0.0f, 1e-4f);
    EXPECT_NEAR(low.x + high.x, 0.0f, 1e-4f);
    EXPECT_NEAR(low.z + high.z, 0.0f, 1e-4f);
}

TEST(InteropFiles, MissingFileIsAnErrorNamingIt) {
    try {
        LoadScene(Interop("no-such-model.rsm"));
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_NE(e.description().find("no-such-model.rsm"), std::string::npos);
    }
}

}  // namespace
}  // namespace plovant::scene
