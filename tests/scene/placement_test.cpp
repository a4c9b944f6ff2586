// Node placement against matrices worked out by hand.
#include "scene/placement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <numbers>

namespace plovant::scene {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// A node whose one face draws its three vertices.
Node TriangleNode(const std::string& name, const std::string& parent, int32_t parent_index,
                  std::vector<glm::vec3> vertices) {
    Node node;
    node.name = name;
    node.parent = parent;
    node.parent_index = parent_index;
    node.vertices = std::move(vertices);
    node.texture_vertices.resize(3);
    Face face;
    face.vertices = {0, 1, 2};
    face.texture_vertices = {0, 1, 2};
    node.faces.push_back(face);
    return node;
}

glm::vec3 Apply(const glm::mat4& m, const glm::vec3& v) {
    return glm::vec3(m * glm::vec4(v, 1.0f));
}

void ExpectNear(const glm::vec3& actual, const glm::vec3& expected, float tolerance = 1e-4f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void ExpectNear(const glm::mat4& actual, const glm::mat4& expected, float tolerance = 1e-4f) {
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            EXPECT_NEAR(actual[c][r], expected[c][r], tolerance) << "column " << c << " row " << r;
        }
    }
}

glm::mat4 T(float x, float y, float z) { return glm::translate(glm::mat4(1.0f), {x, y, z}); }

// Rotation about Z by `degrees` as a quaternion (w, x, y, z).
glm::quat AboutZ(float degrees) {
    const float half = degrees * kPi / 360.0f;
    return glm::quat(std::cos(half), 0, 0, std::sin(half));
}

// Version 1.4: a parent moved by its position, with an offset of its own, and a child
// turned 90 degrees about Z and moved under it.
Scene TwoLevelV1() {
    Scene scene;
    scene.version = {1, 4};
    Node parent = TriangleNode("parent", "", -1, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    parent.position = {10, 0, 0};
    parent.offset = {100, 0, 0};
    Node child = TriangleNode("child", "parent", 0, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    child.position = {0, 5, 0};
    child.rotation_angle = kPi / 2;
    child.rotation_axis = {0, 0, 1};
    child.offset = {1, 0, 0};
    scene.nodes = {parent, child};
    scene.main_node = 0;
    return scene;
}

TEST(PlacementV1, ChildTurnedUnderTranslatedParentInheritsOnlyTheParentsFrame) {
    const ScenePose pose = PoseAt(TwoLevelV1(), 0);
    ASSERT_EQ(pose.nodes.size(), 2u);
    // Rz(90) maps (x, y, z) to (-y, x, z); written out column by column.
    glm::mat4 rz(0.0f);
    rz[0] = {0, 1, 0, 0};
    rz[1] = {-1, 0, 0, 0};
    rz[2] = {0, 0, 1, 0};
    rz[3] = {0, 0, 0, 1};
    ExpectNear(pose.nodes[0].local_to_parent, T(10, 0, 0));
    ExpectNear(pose.nodes[0].mesh, T(100, 0, 0));
    ExpectNear(pose.nodes[1].local_to_parent, T(0, 5, 0) * rz);
    // The parent's offset (100) is not inherited: only its position (10) is.
    ExpectNear(pose.nodes[1].inherited, T(10, 5, 0) * rz);
    ExpectNear(pose.nodes[1].mesh, T(1, 0, 0));
}

TEST(PlacementV1, ModelIsCentredInXAndZAndRestsOnItsLargestY) {
    // Drawn vertices: the parent's at (110,0,0) (111,0,0) (110,1,0); the child's at
    // (10,7,0) (9,6,0) (9,5,1). Box x 9..111, y 0..7, z 0..1.
    const ScenePose pose = PoseAt(TwoLevelV1(), 0);
    ExpectNear(pose.model, T(-60, -7, -0.5f));
    ExpectNear(Apply(pose.NodeMatrix(1), {1, 0, 0}), {-50, 0, -0.5f});
    ExpectNear(Apply(pose.NodeMatrix(0), {1, 0, 0}), {51, -7, -0.5f});
}

TEST(PlacementV1, FacesWithIndicesOutOfRangeDoNotWidenTheBox) {
    Scene scene = TwoLevelV1();
    // A vertex that no face draws, a face past the vertices, and one past the texture
    // vertices.
    scene.nodes[0].vertices.push_back({5000, 5000, 5000});
    Face stray;
    stray.vertices = {0, 1, 4};
    scene.nodes[0].faces.push_back(stray);
    stray.vertices = {0, 1, 3};
    stray.texture_vertices = {0, 1, 3};
    scene.nodes[0].faces.push_back(stray);
    ExpectNear(PoseAt(scene, 0).model, T(-60, -7, -0.5f));
}

TEST(PlacementV1, SingleNodeIsCentredWhateverItsPositionAndOffset) {
    Scene scene;
    scene.version = {1, 5};
    Node node = TriangleNode("only", "", -1, {{0, 0, 0}, {2, 0, 0}, {0, 4, 6}});
    node.position = {7, 7, 7};
    node.offset = {5, 5, 5};
    scene.nodes = {node};
    const ScenePose pose = PoseAt(scene, 0);
    ExpectNear(Apply(pose.NodeMatrix(0), {0, 0, 0}), {-1, -4, -3});
    ExpectNear(Apply(pose.NodeMatrix(0), {2, 0, 0}), {1, -4, -3});
    ExpectNear(Apply(pose.NodeMatrix(0), {0, 4, 6}), {-1, 0, 3});
}

TEST(PlacementV1, ScaleAppliesBeforeThePositionAndScalesTheChildrensPositions) {
    Scene scene = TwoLevelV1();
    scene.nodes[0].scale = {2, 3, 4};
    scene.nodes[1].rotation_angle = 0;
    const ScenePose pose = PoseAt(scene, 0);
    ExpectNear(pose.nodes[0].local_to_parent, T(10, 0, 0) * glm::scale(glm::mat4(1.0f), {2, 3, 4}));
    // The child's origin: its position (0,5,0) scaled by the parent, then moved by 10.
    ExpectNear(Apply(pose.nodes[1].inherited, {0, 0, 0}), {10, 15, 0});
    // Its vertex (1,0,0), moved by its offset to (2,0,0), is scaled to (4,0,0).
    ExpectNear(Apply(pose.nodes[1].inherited * pose.nodes[1].mesh, {1, 0, 0}), {14, 15, 0});
}

TEST(PlacementV1, ZeroAxisOrAngleMeansNoRotation) {
    Scene scene = TwoLevelV1();
    scene.nodes[1].rotation_axis = {0, 0, 0};
    const ScenePose pose = PoseAt(scene, 0);
    ExpectNear(pose.nodes[1].local_to_parent, T(0, 5, 0));
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) EXPECT_FALSE(std::isnan(pose.model[c][r]));
    }
}

// A 1.x node whose rotation keys turn it from 0 to 90 degrees about Z between 0 and
// 1000 ms, in a model 2000 ms long.
Scene KeyedV1(std::vector<RotationKey> keys, int32_t length = 2000) {
    Scene scene;
    scene.version = {1, 4};
    scene.animation_length = length;
    Node node = TriangleNode("turning", "", -1, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    node.rotation_angle = kPi;  // replaced by the keys
    node.rotation_axis = {1, 0, 0};
    node.rotation_keys = std::move(keys);
    scene.nodes = {node};
    return scene;
}

// The angle about Z that `m` turns the X axis to, in degrees.
float TurnAboutZ(const glm::mat4& m) {
    const glm::vec3 x = glm::vec3(m * glm::vec4(1, 0, 0, 0));
    EXPECT_NEAR(x.z, 0.0f, 1e-5f);
    return std::atan2(x.y, x.x) * 180.0f / kPi;
}

TEST(PlacementKeys, RotationAtBetweenAndBeyondKeyTimes) {
    const Scene scene = KeyedV1({{0, AboutZ(0)}, {1000, AboutZ(90)}});
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, 0).nodes[0].local_to_parent), 0, 1e-3);
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, 250).nodes[0].local_to_parent), 22.5, 1e-3);
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, 500).nodes[0].local_to_parent), 45, 1e-3);
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, 1000).nodes[0].local_to_parent), 90, 1e-3);
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, 1500).nodes[0].local_to_parent), 90, 1e-3);
    // Before 0 and past the animation length, the time is clamped.
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, -300).nodes[0].local_to_parent), 0, 1e-3);
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, 1e12).nodes[0].local_to_parent), 90, 1e-3);
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, std::nan("")).nodes[0].local_to_parent), 0, 1e-3);
}

TEST(PlacementKeys, TimeIsClampedToTheAnimationLengthBeforeTheKeysAreRead) {
    const Scene scene = KeyedV1({{0, AboutZ(0)}, {1000, AboutZ(90)}}, 500);
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, 900).nodes[0].local_to_parent), 45, 1e-3);
}

TEST(PlacementKeys, KeysOutOfOrderAndBeforeTheFirstKey) {
    const Scene scene = KeyedV1({{1000, AboutZ(90)}, {200, AboutZ(10)}, {600, AboutZ(50)}});
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, 0).nodes[0].local_to_parent), 10, 1e-3);
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, 400).nodes[0].local_to_parent), 30, 1e-3);
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, 800).nodes[0].local_to_parent), 70, 1e-3);
}

TEST(PlacementKeys, SlerpTakesTheShorterArcAndIgnoresKeyLength) {
    // 270 degrees is -90 the short way: halfway is -45, not 135. The second key is
    // stored at twice unit length.
    glm::quat turned = AboutZ(270);
    turned = glm::quat(turned.w * 2, turned.x * 2, turned.y * 2, turned.z * 2);
    const Scene scene = KeyedV1({{0, AboutZ(0)}, {1000, turned}});
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, 500).nodes[0].local_to_parent), -45, 1e-3);
    // A zero quaternion counts as no rotation.
    const Scene zero = KeyedV1({{0, glm::quat(0, 0, 0, 0)}});
    ExpectNear(PoseAt(zero, 0).nodes[0].local_to_parent, glm::mat4(1.0f));
}

TEST(PlacementKeys, TwoKeysAtTheSameFrameDoNotDivideByZero) {
    const Scene scene = KeyedV1({{500, AboutZ(20)}, {500, AboutZ(60)}});
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, 500).nodes[0].local_to_parent), 20, 1e-3);
    EXPECT_NEAR(TurnAboutZ(PoseAt(scene, 1500).nodes[0].local_to_parent), 20, 1e-3);
}

TEST(PlacementKeys, ScaleKeysReplaceTheNodesScale) {
    Scene scene = KeyedV1({});
    scene.version = {1, 6};
    scene.nodes[0].scale = {9, 9, 9};
    scene.nodes[0].rotation_angle = 0;
    scene.nodes[0].scale_keys = {{0, {1, 1, 1}, 0}, {1000, {3, 5, 1}, 0}};
    const glm::mat4 m = PoseAt(scene, 500).nodes[0].local_to_parent;
    ExpectNear(m, glm::scale(glm::mat4(1.0f), {2, 3, 1}));
}

TEST(PlacementKeys, CentringIsMeasuredAtTimeZero) {
    Scene scene = TwoLevelV1();
    scene.animation_length = 1000;
    scene.nodes[1].rotation_keys = {{0, AboutZ(90)}, {1000, AboutZ(0)}};
    ExpectNear(PoseAt(scene, 1000).model, PoseAt(scene, 0).model);
    ExpectNear(PoseAt(scene, 0).model, T(-60, -7, -0.5f));
}

// Version 2.3: a root turned 90 degrees about Z at (10,0,0) and a child with its own
// absolute matrix and offset.
Scene TwoLevelV2() {
    Scene scene;
    scene.version = {2, 3};
    scene.fps = 10.0f;
    scene.animation_length = 20;
    Node root = TriangleNode("root", "", -1, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    root.matrix = glm::mat3(glm::mat4_cast(AboutZ(90)));
    root.offset = {10, 0, 0};
    Node child = TriangleNode("child", "root", 0, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    child.matrix = glm::mat3(glm::mat4_cast(AboutZ(90))) * glm::mat3(2.0f);
    child.offset = {10, 5, 0};
    scene.nodes = {root, child};
    scene.main_node = 0;
    scene.root_nodes = {"root"};
    return scene;
}

TEST(PlacementV2, WithoutKeysEveryNodeSitsAtItsOffsetAndMatrix) {
    const Scene scene = TwoLevelV2();
    const ScenePose pose = PoseAt(scene, 0);
    ExpectNear(pose.model, glm::mat4(1.0f));
    for (std::size_t i = 0; i < 2; ++i) {
        ExpectNear(pose.NodeMatrix(i), glm::translate(glm::mat4(1.0f), scene.nodes[i].offset) *
                                           glm::mat4(scene.nodes[i].matrix));
        ExpectNear(pose.nodes[i].mesh, glm::mat4(1.0f));
    }
    // Relative to the root: the parent's turn undone, so a scale of 2 and a position
    // (0,5,0) turned back by -90 degrees: (5,0,0).
    ExpectNear(pose.nodes[1].local_to_parent, T(5, 0, 0) * glm::scale(glm::mat4(1.0f), {2, 2, 2}));
}

TEST(PlacementV2, PositionKeysCountFramesAtTheFileRate) {
    Scene scene = TwoLevelV2();
    scene.nodes[1].position_keys = {{0, {0, 0, 0}, 0}, {10, {10, 0, 0}, 0}};
    // 500 ms at 10 frames per second is frame 5: halfway.
    const ScenePose pose = PoseAt(scene, 500);
    ExpectNear(Apply(pose.nodes[1].local_to_parent, {0, 0, 0}), {5, 0, 0});
    // The child's origin in the model: the root's turn maps (5,0,0) to (0,5,0).
    ExpectNear(Apply(pose.NodeMatrix(1), {0, 0, 0}), {10, 5, 0});
    // 3000 ms is frame 30, clamped to the length 20, past the last key.
    ExpectNear(Apply(PoseAt(scene, 3000).nodes[1].local_to_parent, {0, 0, 0}), {10, 0, 0});
}

TEST(PlacementV2, RotationAndScaleKeysReplaceTheMatrix) {
    Scene scene = TwoLevelV2();
    scene.nodes[1].rotation_keys = {{0, AboutZ(0)}, {20, AboutZ(40)}};
    scene.nodes[1].scale_keys = {{0, {1, 1, 1}, 0}, {20, {3, 3, 3}, 0}};
    const glm::mat4 local = PoseAt(scene, 1000).nodes[1].local_to_parent;  // frame 10
    const glm::mat4 expected =
        T(5, 0, 0) * glm::mat4_cast(AboutZ(20)) * glm::scale(glm::mat4(1.0f), {2, 2, 2});
    ExpectNear(local, expected);
}

TEST(PlacementV2, MissingOrZeroFrameRateHoldsTheFirstFrame) {
    Scene scene = TwoLevelV2();
    scene.nodes[1].position_keys = {{0, {1, 0, 0}, 0}, {10, {10, 0, 0}, 0}};
    for (const std::optional<float> fps :
         {std::optional<float>(), std::optional<float>(0.0f), std::optional<float>(-5.0f),
          std::optional<float>(INFINITY)}) {
        scene.fps = fps;
        ExpectNear(Apply(PoseAt(scene, 700).nodes[1].local_to_parent, {0, 0, 0}), {1, 0, 0});
    }
}

TEST(PlacementV2, ParentWithASingularMatrixIsTakenAsIdentity) {
    Scene scene = TwoLevelV2();
    scene.nodes[0].matrix = glm::mat3(0.0f);
    const ScenePose pose = PoseAt(scene, 0);
    ExpectNear(pose.nodes[1].local_to_parent, T(0, 5, 0) * glm::mat4(scene.nodes[1].matrix));
}

TEST(PlacementOrder, ParentsAfterTheirChildrenInTheFileArePlacedFirst) {
    Scene forward = TwoLevelV1();
    Scene reversed = forward;
    reversed.nodes = {forward.nodes[1], forward.nodes[0]};
    reversed.nodes[0].parent_index = 1;
    reversed.nodes[1].parent_index = -1;
    ExpectNear(PoseAt(reversed, 0).NodeMatrix(0), PoseAt(forward, 0).NodeMatrix(1));
    ExpectNear(PoseAt(reversed, 0).NodeMatrix(1), PoseAt(forward, 0).NodeMatrix(0));
}

TEST(PlacementOrder, ParentLinksThatLoopOrPointAnywhereDoNotHang) {
    Scene scene = TwoLevelV1();
    scene.nodes.push_back(scene.nodes[1]);
    scene.nodes[0].parent_index = 2;
    scene.nodes[1].parent_index = 0;
    scene.nodes[2].parent_index = 1;  // 0 -> 2 -> 1 -> 0
    ScenePose pose = PoseAt(scene, 0);
    ASSERT_EQ(pose.nodes.size(), 3u);
    // Walking up from node 0: 0, 2, 1, then 0 repeats, so node 1 is placed as a root.
    ExpectNear(pose.nodes[1].inherited, pose.nodes[1].local_to_parent);
    ExpectNear(pose.nodes[2].inherited, pose.nodes[1].inherited * pose.nodes[2].local_to_parent);

    scene.nodes[0].parent_index = 0;
    scene.nodes[1].parent_index = 99;
    scene.nodes[2].parent_index = -7;
    pose = PoseAt(scene, 0);
    for (std::size_t i = 0; i < 3; ++i) {
        ExpectNear(pose.nodes[i].inherited, pose.nodes[i].local_to_parent);
    }
}

TEST(PlacementOrder, EmptySceneHasNoPosesAndAnIdentityModel) {
    Scene scene;
    scene.version = {1, 4};
    const ScenePose pose = PoseAt(scene, 100);
    EXPECT_TRUE(pose.nodes.empty());
    ExpectNear(pose.model, glm::mat4(1.0f));
}

}  // namespace
}  // namespace plovant::scene
