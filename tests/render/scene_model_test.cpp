// A scene turned into the viewer's model: the nodes placed where their matrices and keys
// put them, the counts and blank last elements every consumer relies on, the texture
// tables of both kinds, fields at the edges of what the model's records can hold, and
// the centring of the whole model.
#include "render/scene_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "errors/error.h"
#include "support/error_of.h"

namespace plovant {
namespace {

using testing::ErrorOf;

constexpr float kMax = std::numeric_limits<float>::max();

scene::Node MakeNode(const std::string& name, const std::string& parent, int32_t parent_index) {
    scene::Node node;
    node.name = name;
    node.parent = parent;
    node.parent_index = parent_index;
    node.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    node.texture_vertices = {{0xFFFFFFFF, 0, 0}, {0xFFFFFFFF, 1, 0}, {0xFFFFFFFF, 0, 1}};
    scene::Face face;
    face.vertices = {0, 1, 2};
    face.texture_vertices = {0, 1, 2};
    node.faces = {face};
    return node;
}

// A 2.2 scene: "base" at (10, 0, 0); "arm", its child, at (10, 5, 0) turned 90° about Z.
// Without keys a 2.x node stands at its own offset, turned by its own matrix.
scene::Scene TwoNodeScene22() {
    scene::Scene s;
    s.version = {2, 2};
    s.fps = 10.0f;
    s.animation_length = 10;
    s.textures = {"wood.bmp", "iron.bmp"};
    s.root_nodes = {"base"};
    scene::Node base = MakeNode("base", "", -1);
    base.offset = {10, 0, 0};
    base.texture_ids = {1};
    scene::Node arm = MakeNode("arm", "base", 0);
    arm.offset = {10, 5, 0};
    arm.matrix = glm::mat3(glm::vec3(0, 1, 0), glm::vec3(-1, 0, 0), glm::vec3(0, 0, 1));
    arm.texture_ids = {0, 1};
    s.nodes = {base, arm};
    s.main_node = 0;
    return s;
}

void ExpectVertex(const RsmVertex& v, float x, float y, float z) {
    EXPECT_NEAR(v.X, x, 1e-5f);
    EXPECT_NEAR(v.Y, y, 1e-5f);
    EXPECT_NEAR(v.Z, z, 1e-5f);
}

TEST(SceneModel, EveryNodeBecomesAMeshPlacedByItsMatrices) {
    const RsmModel model = SceneToModel(TwoNodeScene22(), 0);

    ASSERT_EQ(model.MeshCount, 2);
    ASSERT_EQ(model.Meshes.size(), 3u);
    EXPECT_EQ(TextOf(model.Meshes[0].Name), "base");
    EXPECT_EQ(TextOf(model.Meshes[0].ParentName), "");
    EXPECT_EQ(model.Meshes[0].DeclaredMeshCount, 2);
    EXPECT_EQ(TextOf(model.Meshes[1].Name), "arm");
    EXPECT_EQ(TextOf(model.Meshes[1].ParentName), "base");

    // The base only moves; the arm's (1, 0, 0) turns to (0, 1, 0), then moves.
    ExpectVertex(model.Meshes[0].Vertices[1], 11, 0, 0);
    ExpectVertex(model.Meshes[1].Vertices[0], 10, 5, 0);
    ExpectVertex(model.Meshes[1].Vertices[1], 10, 6, 0);
    ExpectVertex(model.Meshes[1].Vertices[2], 9, 5, 0);

    // Counts equal their arrays; the blank last mesh holds nothing.
    for (int i = 0; i < 2; ++i) {
        const RsmMesh& mesh = model.Meshes[i];
        EXPECT_EQ(mesh.VertexCount, 3);
        EXPECT_EQ(mesh.TexVertexCount, 3);
        EXPECT_EQ(mesh.FaceCount, 1);
        EXPECT_EQ(mesh.TextureCount, static_cast<int32_t>(mesh.TextureIds.size()));
        EXPECT_EQ(mesh.KeyCount, 0);
    }
    EXPECT_EQ(model.Meshes[1].DeclaredMeshCount, 0);
    const RsmMesh& blank = model.Meshes[2];
    EXPECT_EQ(TextOf(blank.Name), "");
    EXPECT_TRUE(blank.Vertices.empty() && blank.Faces.empty() && blank.TextureIds.empty());
}

TEST(SceneModel, TheTableBefore23IsTheFilesWithIdsAsStored) {
    scene::Scene s = TwoNodeScene22();
    s.nodes[1].texture_ids = {1, 7, -1};  // 7 and -1 name nothing: such slots draw untextured
    const RsmModel model = SceneToModel(s, 0);

    ASSERT_EQ(model.TextureCount, 2);
    ASSERT_EQ(model.TextureNames.size(), 3u);
    EXPECT_EQ(TextOf(model.TextureNames[0]), "wood.bmp");
    EXPECT_EQ(TextOf(model.TextureNames[1]), "iron.bmp");
    EXPECT_EQ(TextOf(model.TextureNames[2]), "");
    EXPECT_EQ(model.Meshes[0].TextureIds, (std::vector<int32_t>{1}));
    EXPECT_EQ(model.Meshes[1].TextureIds, (std::vector<int32_t>{1, 7, -1}));
    EXPECT_EQ(model.Meshes[1].TextureCount, 3);
}

TEST(SceneModel, The23TableHoldsEachNameOnceInFirstUseOrder) {
    scene::Scene s = TwoNodeScene22();
    s.version = {2, 3};
    s.textures.clear();
    s.nodes[0].texture_ids.clear();
    s.nodes[1].texture_ids.clear();
    s.nodes[0].textures = {"b.bmp", "a.bmp", "b.bmp"};
    // Names differing in case or only past 40 bytes are different names to the file.
    s.nodes[1].textures = {"A.bmp", "a.bmp", "c.bmp"};
    const RsmModel model = SceneToModel(s, 0);

    ASSERT_EQ(model.TextureCount, 4);
    ASSERT_EQ(model.TextureNames.size(), 5u);
    EXPECT_EQ(TextOf(model.TextureNames[0]), "b.bmp");
    EXPECT_EQ(TextOf(model.TextureNames[1]), "a.bmp");
    EXPECT_EQ(TextOf(model.TextureNames[2]), "A.bmp");
    EXPECT_EQ(TextOf(model.TextureNames[3]), "c.bmp");
    EXPECT_EQ(model.Meshes[0].TextureIds, (std::vector<int32_t>{0, 1, 0}));
    EXPECT_EQ(model.Meshes[1].TextureIds, (std::vector<int32_t>{2, 1, 3}));
}

TEST(SceneModel, NamesAreKeptAsBytesAndCutTo40) {
    scene::Scene s = TwoNodeScene22();
    const std::string forty(40, 'n');
    s.nodes[0].name = forty;
    s.nodes[1].name = forty + "X";               // 41 bytes: the field holds the first 40
    s.nodes[1].parent = "\x7F\x80\xFF\xB0\xA1";  // code-page bytes are not decoded
    const RsmModel model = SceneToModel(s, 0);

    EXPECT_EQ(TextOf(model.Meshes[0].Name), forty);
    EXPECT_FALSE(HasNul(model.Meshes[0].Name));
    EXPECT_EQ(TextOf(model.Meshes[1].Name), forty);
    EXPECT_EQ(TextOf(model.Meshes[1].ParentName), "\x7F\x80\xFF\xB0\xA1");
}

TEST(SceneModel, FaceFieldsAtTheEdgesOfSixteenBits) {
    scene::Scene s = TwoNodeScene22();
    scene::Face edge;
    edge.vertices = {32767, 32768, 65535};
    edge.texture_vertices = {0, 0x7FFF, 0x8000};
    edge.texture_slot = 0x8000;
    edge.two_sided = true;
    edge.smoothing_group = -2;
    s.nodes[0].faces.push_back(edge);
    s.nodes[0].texture_vertices[1].colour = 0x80FF7F00;
    const RsmModel model = SceneToModel(s, 0);

    const RsmFace& f = model.Meshes[0].Faces[1];
    // Read as signed 16-bit numbers, as the model holds them: from 32768 on an index is
    // negative, outside every array, and the face is never drawn.
    EXPECT_EQ(f.V0, 32767);
    EXPECT_EQ(f.V1, -32768);
    EXPECT_EQ(f.V2, -1);
    EXPECT_EQ(f.T1, 32767);
    EXPECT_EQ(f.T2, -32768);
    EXPECT_EQ(f.TextureSlot, -32768);
    // The tail mirrors the file: two bytes of padding, the two-sided flag, the group.
    const std::array<uint8_t, 10> tail{0, 0, 1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(f.FaceTail, tail);
    EXPECT_EQ(model.Meshes[0].Faces[0].FaceTail[2], 0);  // one-sided

    const RsmTexVertex& t = model.Meshes[0].TexVertices[1];
    EXPECT_EQ(t.Extra, (std::array<uint8_t, 4>{0x00, 0x7F, 0xFF, 0x80}));
    EXPECT_EQ(t.U, 1.0f);
    EXPECT_EQ(t.V, 0.0f);
}

TEST(SceneModel, HeaderMirrorsTheFile) {
    scene::Scene s = TwoNodeScene22();
    s.version = {1, 5};
    s.fps.reset();
    s.animation_length = 0x01020304;
    s.shade_type = 2;
    s.alpha = 0xFF;
    RsmModel model = SceneToModel(s, 0);
    EXPECT_EQ(std::string(model.Header.Signature.data(), 4), "GRSM");
    const std::array<uint8_t, 11> start{1, 5, 4, 3, 2, 1, 2, 0, 0, 0, 0xFF};
    EXPECT_TRUE(std::equal(start.begin(), start.end(), model.Header.HeaderRest.begin()));

    s.version = {2, 3};
    s.alpha = 0x80;
    s.fps = 1.0f;  // 0x3F800000
    model = SceneToModel(s, 0);
    EXPECT_EQ(model.Header.HeaderRest[10], 0x80);
    EXPECT_EQ(model.Header.HeaderRest[13], 0x80);
    EXPECT_EQ(model.Header.HeaderRest[14], 0x3F);
}

TEST(SceneModel, VerticesStandWhereTheKeysPutThemAtTheGivenTime) {
    scene::Scene s = TwoNodeScene22();
    s.nodes.resize(1);
    s.nodes[0].position_keys = {{0, {0, 0, 0}, 0}, {10, {10, 0, 0}, 0}};
    // 10 frames a second: 500 ms is frame 5, half-way; past the end the last key holds.
    ExpectVertex(SceneToModel(s, 0).Meshes[0].Vertices[0], 0, 0, 0);
    ExpectVertex(SceneToModel(s, 500).Meshes[0].Vertices[0], 5, 0, 0);
    ExpectVertex(SceneToModel(s, 1e9).Meshes[0].Vertices[0], 10, 0, 0);
}

TEST(SceneModel, Version1ModelsComeCentredAndResting) {
    // 1.x models stand centred in x and z with their largest y at 0 (the game's y
    // points down): what the placement does to the whole model reaches every vertex.
    scene::Scene s;
    s.version = {1, 4};
    s.alpha = 0xFF;
    s.root_nodes = {"main"};
    scene::Node main = MakeNode("main", "", -1);
    main.vertices = {{0, 0, 0}, {2, 4, 6}, {1, 1, 1}};
    s.nodes = {main};
    s.main_node = 0;
    const RsmModel model = SceneToModel(s, 0);
    ExpectVertex(model.Meshes[0].Vertices[0], -1, -4, -3);
    ExpectVertex(model.Meshes[0].Vertices[1], 1, 0, 3);
}

TEST(SceneModel, AnEmptySceneGivesAModelWithOnlyTheBlanks) {
    scene::Scene s;
    s.version = {1, 4};
    RsmModel model = SceneToModel(s, 0);
    EXPECT_EQ(model.MeshCount, 0);
    EXPECT_EQ(model.Meshes.size(), 1u);
    EXPECT_EQ(model.TextureCount, 0);
    EXPECT_EQ(model.TextureNames.size(), 1u);
    EXPECT_EQ(CenterWholeModel(model), 0.0f);
}

RsmModel TwoMeshes(std::vector<RsmVertex> first, std::vector<RsmVertex> second) {
    RsmModel model;
    model.MeshCount = 2;
    model.Meshes.resize(3);
    model.Meshes[0].Vertices = std::move(first);
    model.Meshes[1].Vertices = std::move(second);
    model.Meshes[2].Vertices = {{1000, 1000, 1000}};  // the blank mesh takes no part
    return model;
}

TEST(SceneModel, CentringMovesAllMeshesTogether) {
    RsmModel model = TwoMeshes({{0, 0, 0}, {2, 1, 1}}, {{10, -3, 1}, {12, 1, 1}});
    EXPECT_EQ(CenterWholeModel(model), 12.0f);
    ExpectVertex(model.Meshes[0].Vertices[0], -6, 1, -0.5f);
    ExpectVertex(model.Meshes[0].Vertices[1], -4, 2, 0.5f);
    ExpectVertex(model.Meshes[1].Vertices[0], 4, -2, 0.5f);
    ExpectVertex(model.Meshes[1].Vertices[1], 6, 2, 0.5f);
    ExpectVertex(model.Meshes[2].Vertices[0], 1000, 1000, 1000);
}

TEST(SceneModel, CentringLooksPastVerticesThatAreNotFinite) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    RsmModel model = TwoMeshes({{nan, 0, 0}, {2, 2, 2}}, {{4, 4, 4}, {-inf, 0, 0}});
    EXPECT_EQ(CenterWholeModel(model), 2.0f);
    ExpectVertex(model.Meshes[0].Vertices[1], -1, -1, -1);
    ExpectVertex(model.Meshes[1].Vertices[0], 1, 1, 1);
    EXPECT_TRUE(std::isnan(model.Meshes[0].Vertices[0].X));
    EXPECT_EQ(model.Meshes[1].Vertices[1].X, -inf);

    RsmModel none = TwoMeshes({{nan, nan, nan}}, {{inf, 0, 0}});
    EXPECT_EQ(CenterWholeModel(none), 0.0f);
    EXPECT_EQ(none.Meshes[1].Vertices[0].X, inf);
}

TEST(SceneModel, CentringTakesTheLargestSideFloatHoldsAndRefusesTheNext) {
    // A side of exactly the largest float is centred without overflowing.
    RsmModel largest = TwoMeshes({{0, 0, 0}}, {{kMax, 0, 0}});
    EXPECT_EQ(CenterWholeModel(largest), kMax);
    EXPECT_EQ(largest.Meshes[0].Vertices[0].X, -kMax / 2);
    EXPECT_EQ(largest.Meshes[1].Vertices[0].X, kMax / 2);

    // From -max/2 to the float after max/2 the side overflows: nothing moves.
    const float past_half = std::nextafter(kMax / 2, kMax);
    RsmModel too_wide = TwoMeshes({{-kMax / 2, 5, 0}}, {{past_half, 0, 0}});
    EXPECT_EQ(ErrorOf([&] { CenterWholeModel(too_wide); }), kErrOverflow);
    EXPECT_EQ(too_wide.Meshes[0].Vertices[0].X, -kMax / 2);
    EXPECT_EQ(too_wide.Meshes[0].Vertices[0].Y, 5.0f);
}

TEST(SceneModel, Rsm2EndingInAnyCaseOnly) {
    EXPECT_TRUE(HasRsm2Ending("ship.rsm2"));
    EXPECT_TRUE(HasRsm2Ending("SHIP.RSM2"));
    EXPECT_TRUE(HasRsm2Ending("rSm2"));  // the ending alone
    EXPECT_FALSE(HasRsm2Ending("sm2"));
    EXPECT_FALSE(HasRsm2Ending("ship.rsm"));
    EXPECT_FALSE(HasRsm2Ending("ship.rsm22"));
    EXPECT_FALSE(HasRsm2Ending("ship.rsm2 "));
    EXPECT_FALSE(HasRsm2Ending("ship.rsn2"));
}

}  // namespace
}  // namespace plovant
