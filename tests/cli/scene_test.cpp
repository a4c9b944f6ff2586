// plovant-cli scene run as a program on files written by the test writer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include "cli/cli_runner.h"
#include "support/rsm_scene_writer.h"

namespace plovant {
namespace {

namespace fs = std::filesystem;
using cli_test::CliRun;
using testing::RsmTriangleNode;
using testing::WriteRsmScene;

class SceneCommandTest : public ::testing::Test {
protected:
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        cli_test::WriteBytes(folder_ / name, bytes);
    }

    CliRun cli(const std::string& args) { return cli_test::RunCli(folder_, args); }

    cli_test::ScratchFolder scratch_{"scene-cli"};
    const fs::path folder_ = scratch_.path();
};

// A 1.4 house: a base with a Korean-named roof under it, and names that need escaping.
scene::Scene TwoLevelHouse() {
    scene::Scene s;
    s.version = {1, 4};
    s.animation_length = 1000;
    s.shade_type = 1;
    s.alpha = 0x7F;
    s.textures = {"wall.bmp", "\xB3\xAA\xB9\xAB.bmp", "q\"b\\s\x01\x1F\t.bmp"};
    s.root_nodes = {"base"};
    scene::Node base = RsmTriangleNode("base", "");
    base.texture_ids = {0, 2};
    scene::Node roof = RsmTriangleNode("\xB3\xAA\xB9\xAB", "base");
    roof.texture_ids = {1};
    roof.rotation_keys = {{0, glm::quat(1, 0, 0, 0)}, {1000, glm::quat(0, 0, 0, 1)}};
    roof.vertices.push_back({2, 2, 2});
    s.nodes = {base, roof};
    s.model_keys = {{0, {0, 0, 0}, 0}};
    s.volume_boxes.resize(3);
    return s;
}

TEST_F(SceneCommandTest, JsonOfATwoLevelOneFourFile) {
    Write("house.rsm", WriteRsmScene(TwoLevelHouse()));
    const CliRun run = cli("scene house.rsm --json");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "{\"version\":\"1.4\",\"animation_length\":1000,\"fps\":null,\"shade_type\":1,"
              "\"alpha\":127,"
              "\"textures\":[\"wall.bmp\",\"\xEB\x82\x98\xEB\xAC\xB4.bmp\","
              "\"q\\\"b\\\\s\\u0001\\u001f\\t.bmp\"],"
              "\"root_nodes\":[\"base\"],\"nodes\":["
              "{\"name\":\"base\",\"parent\":\"\",\"textures\":[\"wall.bmp\","
              "\"q\\\"b\\\\s\\u0001\\u001f\\t.bmp\"],\"vertices\":3,\"texture_vertices\":3,"
              "\"faces\":1,\"rotation_keys\":0,\"position_keys\":0,\"scale_keys\":0,"
              "\"texture_animations\":0},"
              "{\"name\":\"\xEB\x82\x98\xEB\xAC\xB4\",\"parent\":\"base\",\"textures\":["
              "\"\xEB\x82\x98\xEB\xAC\xB4.bmp\"],\"vertices\":4,\"texture_vertices\":3,"
              "\"faces\":1,\"rotation_keys\":2,\"position_keys\":0,\"scale_keys\":0,"
              "\"texture_animations\":0}],"
              "\"volume_boxes\":3}\n");
}

// A 2.3 model: two roots, per-node texture names, every kind of 2.x key.
scene::Scene TwoThree() {
    scene::Scene s;
    s.version = {2, 3};
    s.animation_length = 60;
    s.shade_type = 2;
    s.alpha = 0xFF;
    s.fps = 29.97f;
    s.root_nodes = {"hull", "flag"};
    scene::Node hull = RsmTriangleNode("hull", "");
    hull.textures = {"hull.tga"};
    scene::Node sail = RsmTriangleNode("sail", "hull");
    sail.textures = {"sail.bmp", "SAIL2.BMP"};
    sail.position_keys = {{0, {0, 0, 0}, 0}};
    sail.scale_keys = {{0, {1, 1, 1}, 0}, {30, {2, 2, 2}, 0}};
    sail.texture_animations = {{1, {{scene::TextureAnimationType::kScaleV, {{0, 1.0f}}}}}};
    scene::Node flag = RsmTriangleNode("flag", "");
    flag.faces.clear();
    s.nodes = {hull, sail, flag};
    return s;
}

TEST_F(SceneCommandTest, JsonOfATwoThreeFile) {
    Write("ship.rsm2", WriteRsmScene(TwoThree(), {.volume_boxes = false}));
    const CliRun run = cli("scene --json ship.rsm2");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "{\"version\":\"2.3\",\"animation_length\":60,\"fps\":29.97,\"shade_type\":2,"
              "\"alpha\":255,\"textures\":[],\"root_nodes\":[\"hull\",\"flag\"],\"nodes\":["
              "{\"name\":\"hull\",\"parent\":\"\",\"textures\":[\"hull.tga\"],\"vertices\":3,"
              "\"texture_vertices\":3,\"faces\":1,\"rotation_keys\":0,\"position_keys\":0,"
              "\"scale_keys\":0,\"texture_animations\":0},"
              "{\"name\":\"sail\",\"parent\":\"hull\",\"textures\":[\"sail.bmp\",\"SAIL2.BMP\"],"
              "\"vertices\":3,\"texture_vertices\":3,\"faces\":1,\"rotation_keys\":0,"
              "\"position_keys\":1,\"scale_keys\":2,\"texture_animations\":1},"
              "{\"name\":\"flag\",\"parent\":\"\",\"textures\":[],\"vertices\":3,"
              "\"texture_vertices\":3,\"faces\":0,\"rotation_keys\":0,\"position_keys\":0,"
              "\"scale_keys\":0,\"texture_animations\":0}],"
              "\"volume_boxes\":0}\n");
}

TEST_F(SceneCommandTest, FrameRatesPrintSoTheyReadBack) {
    scene::Scene s = TwoThree();
    for (const float fps : {0.1f, 1e-7f, 16777217.0f, 3.4028235e38f}) {
        s.fps = fps;
        Write("rate.rsm2", WriteRsmScene(s));
        const std::string out = cli("scene --json rate.rsm2").out;
        const std::size_t at = out.find("\"fps\":");
        ASSERT_NE(at, std::string::npos) << out;
        EXPECT_EQ(std::strtof(out.c_str() + at + 6, nullptr), fps) << out.substr(at, 30);
    }
    s.fps = std::numeric_limits<float>::quiet_NaN();
    Write("rate.rsm2", WriteRsmScene(s));
    EXPECT_NE(cli("scene --json rate.rsm2").out.find("\"fps\":null,"), std::string::npos);
}

TEST_F(SceneCommandTest, TextShowsTheTreeIndentedUnderEachParent) {
    scene::Scene s = TwoLevelHouse();
    s.nodes.push_back(RsmTriangleNode("chimney", "\xB3\xAA\xB9\xAB"));
    s.nodes.push_back(RsmTriangleNode("shed", "attic"));
    Write("house.rsm", WriteRsmScene(s));
    const CliRun run = cli("scene house.rsm");
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string korean = "\xEB\x82\x98\xEB\xAC\xB4";
    EXPECT_NE(run.out.find("house.rsm: RSM 1.4, animation 1000 ms, shade type 1, alpha 127\n"
                           "3 textures\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("4 nodes\n"
                           "  \"base\" (main): 3 vertices, 3 texture vertices, 1 face\n"
                           "    textures: \"wall.bmp\" \"q\"b\\s\x01\x1F\t.bmp\"\n"
                           "    \"" +
                           korean +
                           "\": 4 vertices, 3 texture vertices, 1 face, 2 rotation keys\n"
                           "      textures: \"" +
                           korean +
                           ".bmp\"\n"
                           "      \"chimney\": 3 vertices, 3 texture vertices, 1 face\n"
                           "  \"shed\": 3 vertices, 3 texture vertices, 1 face\n"
                           "1 model key\n"
                           "3 volume boxes\n"),
              std::string::npos)
        << run.out;
    // The shed's parent is missing: a warning, and it is listed as a root.
    EXPECT_NE(run.err.find("plovant-cli: warning: house.rsm: node 3 \"shed\""), std::string::npos)
        << run.err;
}

TEST_F(SceneCommandTest, AFileThatCannotBeReadIsNamedWithExitOne) {
    std::vector<uint8_t> bytes = WriteRsmScene(TwoLevelHouse());
    // Cut inside the roof's rotation keys: the tail after them is 148 bytes.
    bytes.resize(bytes.size() - 160);
    Write("cut.rsm", bytes);
    const CliRun cut = cli("scene cut.rsm --json");
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.out, "");
    EXPECT_TRUE(
        cut.err.starts_with("plovant-cli: cut.rsm: node 1 \"\xEB\x82\x98\xEB\xAC\xB4\": "
                            "the rotation key count 2 needs at least 40 bytes but 28 remain"))
        << cut.err;

    const CliRun missing = cli("scene missing.rsm");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("missing.rsm"), std::string::npos) << missing.err;

    bytes = WriteRsmScene(TwoLevelHouse());
    bytes[5] = 0;  // version 1.0
    Write("old.rsm", bytes);
    const CliRun old = cli("scene old.rsm");
    EXPECT_EQ(old.status, 1);
    EXPECT_NE(old.err.find("old.rsm: RSM version 1.0 "), std::string::npos) << old.err;
}

TEST_F(SceneCommandTest, CommandLineMistakesExitTwo) {
    Write("house.rsm", WriteRsmScene(TwoLevelHouse()));
    EXPECT_EQ(cli("scene").status, 2);
    EXPECT_EQ(cli("scene house.rsm house.rsm").status, 2);
    EXPECT_EQ(cli("scene house.rsm --xml").status, 2);
    const CliRun help = cli("scene --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--json"), std::string::npos);
}

}  // namespace
}  // namespace plovant
