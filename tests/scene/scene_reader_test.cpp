// The scene reader: files of every version written by the test writer and read back
// field by field, the softer faults it reads past, and the layout choices at the edges.
#include "scene/scene_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "support/error_of.h"
#include "support/rsm_scene_writer.h"

namespace plovant::scene {
namespace {

using plovant::testing::ErrorOf;
using plovant::testing::RsmTriangleNode;
using plovant::testing::RsmWriteOptions;
using plovant::testing::WriteRsmScene;

// Two nodes using every field some version has, with values at byte edges.
Scene FullScene(Version version) {
    Scene s;
    s.version = version;
    s.animation_length = 0x7FFFFFFF;
    s.shade_type = 2;
    if (version.AtLeast(1, 4)) s.alpha = 0x80;
    if (version.IsV2()) s.fps = 29.97f;
    if (!version.AtLeast(2, 3)) s.textures = {"tex\\A.BMP", std::string("\xB3\xAA\xB9\xAB.bmp")};
    s.root_nodes = {"base"};
    if (version.IsV2()) s.root_nodes.push_back("other root");

    Node base = RsmTriangleNode("base", "");
    base.matrix = glm::mat3(1, 2, 3, 4, 5, 6, 7, 8, 9);
    base.offset = {-1.5f, 2.5f, 1e30f};
    if (!version.IsV2()) {
        base.position = {10, 20, 30};
        base.rotation_angle = 1.25f;
        base.rotation_axis = {0, 1, 0};
        base.scale = {2, 3, 4};
    }
    base.texture_vertices[1].colour = version.AtLeast(1, 2) ? 0x7F80FF00u : 0xFFFFFFFFu;
    base.texture_vertices[1].u = 0.75f;
    base.faces[0].texture_slot = 0xFFFF;
    base.faces[0].two_sided = true;
    if (version.AtLeast(1, 2)) base.faces[0].smoothing_group = -1;
    if (version.IsV2()) base.faces[0].extra_smoothing_groups = {7, 0x7FFFFFFF};
    base.rotation_keys = {{0, glm::quat(1, 0, 0, 0)}, {500, glm::quat(0.5f, 0.5f, -0.5f, 0.5f)}};
    if (version.AtLeast(1, 6)) base.scale_keys = {{100, {1, 2, 3}, 0.5f}};
    if (version.IsV2()) base.position_keys = {{3, {4, 5, 6}, 0}, {-1, {7, 8, 9}, 1}};

    Node child = RsmTriangleNode(std::string(40, 'C'), "base");  // a name filling its field
    child.faces.push_back(child.faces[0]);
    child.faces[1].vertices = {2, 1, 0};
    if (version.AtLeast(2, 3)) {
        base.textures = {"one.bmp"};
        child.textures = {"two.tga", std::string("\xC7\xD1.bmp")};
        TextureAnimation animation;
        animation.texture_id = 1;
        animation.tracks = {{TextureAnimationType::kTranslateU, {{0, 0.5f}, {10, 1.0f}}},
                            {TextureAnimationType::kRotate, {}}};
        child.texture_animations = {animation};
    } else {
        base.texture_ids = {1};
        child.texture_ids = {0, 1};
    }
    s.nodes = {base, child};
    if (!version.AtLeast(1, 6)) s.model_keys = {{333, {1, 2, 3}, 0}, {666, {3, 2, 1}, 0}};
    VolumeBox box;
    box.size = {1, 2, 3};
    box.position = {4, 5, 6};
    box.rotation = {7, 8, 9};
    if (version.AtLeast(1, 3)) box.flag = 1;
    s.volume_boxes = {box, box};
    return s;
}

void ExpectSameNode(const Node& a, const Node& b, const std::string& where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.parent, b.parent);
    EXPECT_EQ(a.texture_ids, b.texture_ids);
    EXPECT_EQ(a.textures, b.textures);
    EXPECT_EQ(a.matrix, b.matrix);
    EXPECT_EQ(a.offset, b.offset);
    EXPECT_EQ(a.position, b.position);
    EXPECT_EQ(a.rotation_angle, b.rotation_angle);
    EXPECT_EQ(a.rotation_axis, b.rotation_axis);
    EXPECT_EQ(a.scale, b.scale);
    EXPECT_EQ(a.vertices, b.vertices);
    ASSERT_EQ(a.texture_vertices.size(), b.texture_vertices.size());
    for (std::size_t i = 0; i < a.texture_vertices.size(); ++i) {
        EXPECT_EQ(a.texture_vertices[i].colour, b.texture_vertices[i].colour) << i;
        EXPECT_EQ(a.texture_vertices[i].u, b.texture_vertices[i].u) << i;
        EXPECT_EQ(a.texture_vertices[i].v, b.texture_vertices[i].v) << i;
    }
    ASSERT_EQ(a.faces.size(), b.faces.size());
    for (std::size_t i = 0; i < a.faces.size(); ++i) {
        EXPECT_EQ(a.faces[i].vertices, b.faces[i].vertices) << i;
        EXPECT_EQ(a.faces[i].texture_vertices, b.faces[i].texture_vertices) << i;
        EXPECT_EQ(a.faces[i].texture_slot, b.faces[i].texture_slot) << i;
        EXPECT_EQ(a.faces[i].two_sided, b.faces[i].two_sided) << i;
        EXPECT_EQ(a.faces[i].smoothing_group, b.faces[i].smoothing_group) << i;
        EXPECT_EQ(a.faces[i].extra_smoothing_groups, b.faces[i].extra_smoothing_groups) << i;
    }
    ASSERT_EQ(a.rotation_keys.size(), b.rotation_keys.size());
    for (std::size_t i = 0; i < a.rotation_keys.size(); ++i) {
        EXPECT_EQ(a.rotation_keys[i].frame, b.rotation_keys[i].frame);
        EXPECT_EQ(a.rotation_keys[i].rotation, b.rotation_keys[i].rotation);
    }
    ASSERT_EQ(a.scale_keys.size(), b.scale_keys.size());
    for (std::size_t i = 0; i < a.scale_keys.size(); ++i) {
        EXPECT_EQ(a.scale_keys[i].frame, b.scale_keys[i].frame);
        EXPECT_EQ(a.scale_keys[i].scale, b.scale_keys[i].scale);
        EXPECT_EQ(a.scale_keys[i].extra, b.scale_keys[i].extra);
    }
    ASSERT_EQ(a.position_keys.size(), b.position_keys.size());
    for (std::size_t i = 0; i < a.position_keys.size(); ++i) {
        EXPECT_EQ(a.position_keys[i].frame, b.position_keys[i].frame);
        EXPECT_EQ(a.position_keys[i].position, b.position_keys[i].position);
        EXPECT_EQ(a.position_keys[i].extra, b.position_keys[i].extra);
    }
    ASSERT_EQ(a.texture_animations.size(), b.texture_animations.size());
    for (std::size_t i = 0; i < a.texture_animations.size(); ++i) {
        const TextureAnimation& x = a.texture_animations[i];
        const TextureAnimation& y = b.texture_animations[i];
        EXPECT_EQ(x.texture_id, y.texture_id);
        ASSERT_EQ(x.tracks.size(), y.tracks.size());
        for (std::size_t t = 0; t < x.tracks.size(); ++t) {
            EXPECT_EQ(x.tracks[t].type, y.tracks[t].type);
            ASSERT_EQ(x.tracks[t].keys.size(), y.tracks[t].keys.size());
            for (std::size_t k = 0; k < x.tracks[t].keys.size(); ++k) {
                EXPECT_EQ(x.tracks[t].keys[k].frame, y.tracks[t].keys[k].frame);
                EXPECT_EQ(x.tracks[t].keys[k].value, y.tracks[t].keys[k].value);
            }
        }
    }
}

void PutInt(std::vector<uint8_t>& bytes, std::size_t at, int32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = uint8_t(uint32_t(value) >> (8 * i));
}

class EveryVersion : public ::testing::TestWithParam<Version> {};

TEST_P(EveryVersion, ReadsBackEveryFieldTheVersionHas) {
    const Version version = GetParam();
    Scene expected = FullScene(version);
    const std::vector<uint8_t> bytes = WriteRsmScene(expected);
    const Scene read = ReadScene(bytes, "full.rsm");

    EXPECT_EQ(read.version.major, version.major);
    EXPECT_EQ(read.version.minor, version.minor);
    EXPECT_EQ(read.animation_length, 0x7FFFFFFF);
    EXPECT_EQ(read.shade_type, 2);
    EXPECT_EQ(read.alpha, expected.alpha);
    EXPECT_EQ(read.fps, expected.fps);
    EXPECT_EQ(read.textures, expected.textures);
    EXPECT_EQ(read.root_nodes, expected.root_nodes);
    ASSERT_EQ(read.nodes.size(), 2u);
    if (!version.AtLeast(2, 3)) {
        // Texture ids resolve through the table.
        expected.nodes[0].textures = {expected.textures[1]};
        expected.nodes[1].textures = expected.textures;
    }
    ExpectSameNode(read.nodes[0], expected.nodes[0], "base");
    ExpectSameNode(read.nodes[1], expected.nodes[1], "child");
    EXPECT_EQ(read.nodes[0].parent_index, -1);
    EXPECT_EQ(read.nodes[1].parent_index, 0);
    EXPECT_EQ(read.main_node, 0);

    ASSERT_EQ(read.model_keys.size(), expected.model_keys.size());
    for (std::size_t i = 0; i < read.model_keys.size(); ++i) {
        EXPECT_EQ(read.model_keys[i].frame, expected.model_keys[i].frame);
        EXPECT_EQ(read.model_keys[i].values, expected.model_keys[i].values);
    }
    ASSERT_EQ(read.volume_boxes.size(), 2u);
    EXPECT_EQ(read.volume_boxes[1].size, glm::vec3(1, 2, 3));
    EXPECT_EQ(read.volume_boxes[1].position, glm::vec3(4, 5, 6));
    EXPECT_EQ(read.volume_boxes[1].rotation, glm::vec3(7, 8, 9));
    EXPECT_EQ(read.volume_boxes[1].flag, expected.volume_boxes[1].flag);
    EXPECT_TRUE(read.warnings.empty()) << read.warnings.front();
}

TEST_P(EveryVersion, EveryCutOfTheFileFailsCleanlyOrReadsTheSectionsBeforeIt) {
    const Version version = GetParam();
    const std::vector<uint8_t> bytes = WriteRsmScene(FullScene(version));
    // Where the nodes end: the same scene with no tail sections.
    const std::size_t nodes_end = WriteRsmScene(
                                      [&] {
                                          Scene s = FullScene(version);
                                          s.model_keys.clear();
                                          return s;
                                      }(),
                                      {.volume_boxes = false})
                                      .size() -
                                  (version.AtLeast(1, 6) ? 0 : 4);
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        // A buffer of exactly `length` bytes, so a sanitizer sees any overrun.
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(length));
        try {
            const Scene scene = ReadScene(cut, "cut.rsm");
            EXPECT_GE(length, nodes_end) << "a file cut inside its nodes was read";
            EXPECT_EQ(scene.nodes.size(), 2u);
        } catch (const Error& e) {
            EXPECT_TRUE(e.number() == kErrInputPastEnd || e.number() == kErrInvalidFormat)
                << e.number();
            EXPECT_NE(e.description().find("cut.rsm"), std::string::npos) << e.description();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, EveryVersion,
                         ::testing::Values(Version{1, 1}, Version{1, 2}, Version{1, 3},
                                           Version{1, 4}, Version{1, 5}, Version{1, 6},
                                           Version{2, 2}, Version{2, 3}),
                         [](const auto& info) {
                             return "V" + std::to_string(info.param.major) +
                                    std::to_string(info.param.minor);
                         });

TEST(SceneReaderLayout, OneAndTwoVersionsDifferInFieldSizes) {
    // The same one-triangle node: 1.1 has 8-byte texture vertices and 20-byte faces;
    // 1.2 adds 4 bytes to each (3 texture vertices, 1 face: 16 bytes).
    Scene s;
    s.root_nodes = {"n"};
    s.nodes = {RsmTriangleNode("n", "")};
    s.version = {1, 1};
    const std::size_t v11 = WriteRsmScene(s).size();
    s.version = {1, 2};
    const std::size_t v12 = WriteRsmScene(s).size();
    s.version = {1, 4};
    const std::size_t v14 = WriteRsmScene(s).size();
    EXPECT_EQ(v12 - v11, 16u);
    EXPECT_EQ(v14 - v12, 1u);  // alpha
    // A 1.4 header is 31 bytes: the texture count follows at byte 31.
    s.textures = {"x"};
    std::vector<uint8_t> bytes = WriteRsmScene(s);
    EXPECT_EQ(bytes[31], 1);
    EXPECT_EQ(bytes[35], 'x');
    // The largest texture count the bytes can hold passes its check (the file then ends
    // inside what follows); one more is refused as the count.
    auto message = [&](int32_t count) {
        PutInt(bytes, 31, count);
        try {
            ReadScene(bytes, "x.rsm");
        } catch (const Error& e) {
            return e.description();
        }
        return std::string();
    };
    const int32_t fits = int32_t((bytes.size() - 35) / 40);
    EXPECT_EQ(message(fits).find("texture count"), std::string::npos) << message(fits);
    EXPECT_NE(message(fits + 1).find("the texture count " + std::to_string(fits + 1)),
              std::string::npos)
        << message(fits + 1);
}

TEST(SceneReaderLayout, UnknownVersionsAreRefusedByName) {
    Scene s;
    s.root_nodes = {"n"};
    s.nodes = {RsmTriangleNode("n", "")};
    s.version = {1, 4};
    std::vector<uint8_t> bytes = WriteRsmScene(s);
    for (const auto& [major, minor] : {std::pair<int, int>{1, 0},
                                       {2, 0},
                                       {2, 1},
                                       {3, 0},
                                       {1, 7},
                                       {2, 4},
                                       {0, 0},
                                       {0xFF, 0xFF}}) {
        bytes[4] = uint8_t(major);
        bytes[5] = uint8_t(minor);
        try {
            ReadScene(bytes, "odd.rsm");
            ADD_FAILURE() << major << "." << minor << " was read";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), kErrInvalidFormat);
            const std::string version = std::to_string(major) + "." + std::to_string(minor);
            EXPECT_NE(e.description().find("version " + version + " "), std::string::npos)
                << e.description();
        }
    }
    bytes[0] = 'g';
    EXPECT_EQ(ErrorOf([&] { ReadScene(bytes, "odd.rsm"); }), kErrInvalidFormat);
}

// The byte offset of node 0's vertex count in a 1.4 file with no textures: header 31,
// texture count 4, main node name 40, node count 4; name and parent 80, texture count
// 4, matrix and offset 48, position, angle, axis, scale 40.
constexpr std::size_t kV14VertexCount = 31 + 4 + 40 + 4 + 80 + 4 + 48 + 40;

std::vector<uint8_t> SimpleV14() {
    Scene s;
    s.version = {1, 4};
    s.root_nodes = {"n"};
    s.nodes = {RsmTriangleNode("n", "")};
    return WriteRsmScene(s);
}

TEST(SceneReaderCounts, NegativeAndOversizedCountsNameTheNodeAndField) {
    std::vector<uint8_t> bytes = SimpleV14();
    ASSERT_EQ(bytes[kV14VertexCount], 3);
    // The largest vertex count that fits: what remains after the count, over 12.
    const std::size_t after = bytes.size() - kV14VertexCount - 4;
    struct Case {
        int32_t count;
        int32_t error;
    };
    for (const Case c :
         {Case{-1, kErrInvalidFormat}, Case{INT32_MIN, kErrInvalidFormat},
          Case{INT32_MAX, kErrInputPastEnd}, Case{int32_t(after / 12) + 1, kErrInputPastEnd}}) {
        PutInt(bytes, kV14VertexCount, c.count);
        try {
            ReadScene(bytes, "counts.rsm");
            ADD_FAILURE() << c.count << " was read";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), c.error) << c.count;
            EXPECT_NE(e.description().find("counts.rsm: node 0 \"n\": the vertex count"),
                      std::string::npos)
                << e.description();
        }
    }
    // The largest count that fits reads the following bytes as vertices and then fails
    // on what comes after, not on the count.
    PutInt(bytes, kV14VertexCount, int32_t(after / 12));
    try {
        ReadScene(bytes, "counts.rsm");
    } catch (const Error& e) {
        EXPECT_EQ(e.description().find("vertex count"), std::string::npos) << e.description();
    }
}

TEST(SceneReaderCounts, NodeCountBeyondTheDataIsRefusedBeforeReadingNodes) {
    std::vector<uint8_t> bytes = SimpleV14();
    PutInt(bytes, 31 + 4 + 40, 1000000);
    try {
        ReadScene(bytes, "nodes.rsm");
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrInputPastEnd);
        EXPECT_NE(e.description().find("node count 1000000"), std::string::npos) << e.description();
    }
}

Scene SimpleV2(Version version) {
    Scene s;
    s.version = version;
    s.fps = 30;
    s.root_nodes = {"n"};
    s.nodes = {RsmTriangleNode("n", "")};
    return s;
}

TEST(SceneReaderCounts, TwoFaceLengthsAreChecked) {
    // 2.2 with no textures: header 19, texture count 4, root count 4 + "n" 5, node
    // count 4; name 5, parent 4, texture count 4, matrix and offset 48, vertices 4 + 36,
    // texture vertices 4 + 36, face count 4: the first face length.
    const std::size_t face_length = 19 + 4 + 9 + 4 + 5 + 4 + 4 + 48 + 40 + 40 + 4;
    std::vector<uint8_t> bytes = WriteRsmScene(SimpleV2({2, 2}));
    ASSERT_EQ(bytes[face_length], 24);
    for (const int32_t length : {19, 22, 0, -4, 1 << 30}) {
        PutInt(bytes, face_length, length);
        const int32_t error = ErrorOf([&] { ReadScene(bytes, "faces.rsm2"); });
        EXPECT_EQ(error, length == (1 << 30) ? kErrInputPastEnd : kErrInvalidFormat) << length;
    }
    // 20 bytes: a face without smoothing groups; the 4 bytes after it are then read
    // as the scale key count (0 here is the first byte of the old group, which is 0).
    PutInt(bytes, face_length, 20);
    const std::vector<uint8_t> shorter = [&] {
        std::vector<uint8_t> b = bytes;
        b.erase(b.begin() + std::ptrdiff_t(face_length + 4 + 20),
                b.begin() + std::ptrdiff_t(face_length + 4 + 24));
        return b;
    }();
    const Scene read = ReadScene(shorter, "faces.rsm2");
    EXPECT_EQ(read.nodes[0].faces[0].smoothing_group, 0);
    EXPECT_TRUE(read.nodes[0].faces[0].extra_smoothing_groups.empty());
}

TEST(SceneReaderCounts, TextureAnimationTypesPastRotateAreRefused) {
    Scene s = SimpleV2({2, 3});
    s.nodes[0].texture_animations = {{0, {{TextureAnimationType::kRotate, {{1, 2.0f}}}}}};
    std::vector<uint8_t> bytes = WriteRsmScene(s, {.volume_boxes = false});
    EXPECT_EQ(ReadScene(bytes, "t.rsm2").nodes[0].texture_animations[0].tracks[0].type,
              TextureAnimationType::kRotate);
    // The type sits 16 bytes before the end: type, key count, frame, value.
    PutInt(bytes, bytes.size() - 16, 5);
    EXPECT_EQ(ErrorOf([&] { ReadScene(bytes, "t.rsm2"); }), kErrInvalidFormat);
    PutInt(bytes, bytes.size() - 16, -1);
    EXPECT_EQ(ErrorOf([&] { ReadScene(bytes, "t.rsm2"); }), kErrInvalidFormat);
}

TEST(SceneReaderTail, SectionsMayBeMissingAndLeftoverBytesAreAWarning) {
    Scene s = FullScene({1, 4});
    Scene without = ReadScene(WriteRsmScene(s, {.volume_boxes = false}), "a.rsm");
    EXPECT_TRUE(without.volume_boxes.empty());
    EXPECT_EQ(without.model_keys.size(), 2u);
    EXPECT_TRUE(without.warnings.empty());

    const Scene trailing = ReadScene(WriteRsmScene(s, {.trailing_zeros = 3}), "b.rsm");
    EXPECT_EQ(trailing.volume_boxes.size(), 2u);
    ASSERT_EQ(trailing.warnings.size(), 1u);
    EXPECT_EQ(trailing.warnings[0], "3 bytes after the last section were not read");
}

TEST(SceneReaderTail, OneFiveFilesWithAZeroBeforeTheModelKeysReadTheirKeysAndBoxes) {
    Scene s = FullScene({1, 5});
    std::vector<uint8_t> bytes = WriteRsmScene(s);
    const std::size_t tail = bytes.size() - 4 - 2 * 20 - 4 - 2 * 40;
    bytes.insert(bytes.begin() + std::ptrdiff_t(tail), 4, 0);
    const Scene read = ReadScene(bytes, "shifted.rsm");
    ASSERT_EQ(read.model_keys.size(), 2u);
    EXPECT_EQ(read.model_keys[1].frame, 666);
    ASSERT_EQ(read.volume_boxes.size(), 2u);
    EXPECT_EQ(read.volume_boxes[0].rotation, glm::vec3(7, 8, 9));
    EXPECT_TRUE(read.warnings.empty());

    // Trailing zeros in a 1.5 file are read past with a warning, keys intact.
    const Scene padded = ReadScene(WriteRsmScene(s, {.trailing_zeros = 8}), "padded.rsm");
    EXPECT_EQ(padded.model_keys.size(), 2u);
    EXPECT_EQ(padded.volume_boxes.size(), 2u);
    EXPECT_EQ(padded.warnings.size(), 1u);

    // The same shift in a 1.4 file is not guessed at: the zero is the key count, the
    // keys are read as boxes, and the bytes left over are named.
    std::vector<uint8_t> b14 = WriteRsmScene(FullScene({1, 4}));
    b14.insert(b14.begin() + std::ptrdiff_t(b14.size() - 4 - 2 * 20 - 4 - 2 * 40), 4, 0);
    const Scene read14 = ReadScene(b14, "shifted14.rsm");
    EXPECT_TRUE(read14.model_keys.empty());
    ASSERT_EQ(read14.warnings.size(), 1u);
    EXPECT_EQ(read14.warnings[0], "44 bytes after the last section were not read");
}

Scene Named(std::vector<std::pair<std::string, std::string>> nodes, Version version = {1, 4}) {
    Scene s;
    s.version = version;
    s.fps = 10;
    s.root_nodes = {nodes.empty() ? "" : nodes[0].first};
    for (const auto& [name, parent] : nodes) s.nodes.push_back(RsmTriangleNode(name, parent));
    return s;
}

Scene Reread(const Scene& s) { return ReadScene(WriteRsmScene(s), "links.rsm"); }

std::vector<int32_t> Parents(const Scene& s) {
    std::vector<int32_t> parents;
    for (const Node& n : s.nodes) parents.push_back(n.parent_index);
    return parents;
}

TEST(SceneReaderLinks, ParentsAreFoundByNameWhereverTheyAre) {
    const Scene s = Reread(Named({{"root", ""}, {"leaf", "mid"}, {"mid", "root"}}));
    EXPECT_EQ(Parents(s), (std::vector<int32_t>{-1, 2, 0}));
    EXPECT_TRUE(s.warnings.empty());
}

TEST(SceneReaderLinks, MissingAndSelfParentsMakeRootsWithAWarning) {
    const Scene s = Reread(Named({{"root", ""}, {"a", "nowhere"}, {"b", "b"}, {"c", "ROOT"}}));
    EXPECT_EQ(Parents(s), (std::vector<int32_t>{-1, -1, -1, -1}));  // names match exactly
    ASSERT_EQ(s.warnings.size(), 3u);
    EXPECT_EQ(s.warnings[0],
              "node 1 \"a\": its parent \"nowhere\" is not in the file; read as a root");
    EXPECT_EQ(s.warnings[1], "node 2 \"b\": it names itself as its parent; read as a root");
}

TEST(SceneReaderLinks, LoopsAreCutWhereTheyRepeat) {
    // 1 -> 2 -> 3 -> 1; walking up from node 1: 1, 2, 3, then 1 repeats.
    const Scene s = Reread(Named({{"root", ""}, {"x", "y"}, {"y", "z"}, {"z", "x"}}, {2, 3}));
    EXPECT_EQ(Parents(s), (std::vector<int32_t>{-1, 2, 3, -1}));
    ASSERT_EQ(s.warnings.size(), 1u);
    EXPECT_EQ(s.warnings[0], "node 3 \"z\": its parent chain loops back to it; read as a root");
}

TEST(SceneReaderLinks, DuplicateNamesResolveToTheFirst) {
    const Scene s =
        Reread(Named({{"root", ""}, {"twin", "root"}, {"twin", "root"}, {"k", "twin"}}));
    EXPECT_EQ(Parents(s), (std::vector<int32_t>{-1, 0, 0, 1}));
    ASSERT_EQ(s.warnings.size(), 1u);
    EXPECT_EQ(s.warnings[0],
              "node 2 \"twin\": the same name as node 1, which is the one that name finds");
}

TEST(SceneReaderLinks, MainNodeIsTheNamedOneElseTheFirstAndAlwaysARootInOneX) {
    Scene s = Named({{"a", ""}, {"main", "a"}});
    s.root_nodes = {"main"};
    Scene read = Reread(s);
    EXPECT_EQ(read.main_node, 1);
    EXPECT_EQ(Parents(read), (std::vector<int32_t>{-1, -1}));
    EXPECT_EQ(read.warnings.size(), 1u);

    s.root_nodes = {"absent"};
    read = Reread(s);
    EXPECT_EQ(read.main_node, 0);
    EXPECT_EQ(Parents(read), (std::vector<int32_t>{-1, 0}));

    // 2.x: the first root name found; its parent link is kept.
    s = Named({{"a", ""}, {"b", "a"}}, {2, 2});
    s.root_nodes = {"absent", "b"};
    read = Reread(s);
    EXPECT_EQ(read.main_node, 1);
    EXPECT_EQ(Parents(read), (std::vector<int32_t>{-1, 0}));

    s.nodes.clear();
    EXPECT_EQ(Reread(s).main_node, -1);
}

TEST(SceneReaderLinks, FacesAndTextureIdsOutOfRangeAreKeptAndCounted) {
    Scene s = Named({{"n", ""}});
    s.textures = {"only.bmp"};
    s.nodes[0].texture_ids = {0, 1, -1};
    Face bad = s.nodes[0].faces[0];
    bad.vertices[2] = 3;  // three vertices: 3 is the first index past the end
    s.nodes[0].faces.push_back(bad);
    bad = s.nodes[0].faces[0];
    bad.texture_vertices[0] = 0xFFFF;
    s.nodes[0].faces.push_back(bad);
    const Scene read = Reread(s);
    EXPECT_EQ(read.nodes[0].faces.size(), 3u);
    EXPECT_EQ(read.nodes[0].textures, (std::vector<std::string>{"only.bmp", "", ""}));
    ASSERT_EQ(read.warnings.size(), 2u);
    EXPECT_EQ(read.warnings[0], "node 0 \"n\": 2 texture ids are outside the texture table");
    EXPECT_EQ(read.warnings[1],
              "node 0 \"n\": 2 of 3 faces refer to vertices or texture vertices past the end "
              "of their lists and are not drawn");
}

TEST(SceneReaderLinks, NamesAreCutAtTheirFirstNulAndKeptAsBytes) {
    Scene s = Named({{std::string("ab\0cd", 5), ""}}, {2, 2});
    s.nodes[0].parent = std::string("\0zz", 3);
    const std::string korean("\xB3\xAA\xB9\xAB");
    s.textures = {korean + std::string(3, '\0')};
    s.nodes[0].texture_ids = {0};
    const Scene read = Reread(s);
    EXPECT_EQ(read.nodes[0].name, "ab");
    EXPECT_EQ(read.nodes[0].parent, "");
    EXPECT_EQ(read.textures[0], korean);
    EXPECT_EQ(read.nodes[0].textures[0], korean);
}

}  // namespace
}  // namespace plovant::scene
