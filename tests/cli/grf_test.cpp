// plovant-cli grf list / extract, and the commands that read models and textures out of
// an archive, run as a program.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "archive/grf_builder.h"
#include "cli/cli_runner.h"
#include "support/rsm_scene_writer.h"

namespace plovant {
namespace {

namespace fs = std::filesystem;
using cli_test::CliRun;
using cli_test::ReadBytes;
using cli_test::WriteBytes;

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

fs::path Interop(const std::string& name) {
    return fs::path(__FILE__).parent_path().parent_path() / "data" / "interop" / name;
}

fs::path Sample(const std::string& name) { return cli_test::SamplePath(name); }

class GrfCli : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(folder_ / "work"); }

    // Runs plovant-cli with `args` (quoted where needed) in folder_/work.
    CliRun cli(const std::string& args) { return cli_test::RunCli(folder_ / "work", args); }

    // Every file below `root`, relative, with its size.
    static std::map<std::string, uintmax_t> Tree(const fs::path& root) {
        std::map<std::string, uintmax_t> files;
        if (!fs::exists(root)) return files;
        for (const auto& e : fs::recursive_directory_iterator(root)) {
            if (e.is_regular_file())
                files[fs::relative(e.path(), root).generic_string()] = e.file_size();
        }
        return files;
    }

    cli_test::ScratchFolder scratch_{"grf-cli"};
    const fs::path folder_ = scratch_.path();
};

TEST_F(GrfCli, ListPrintsSizeTabNameInTableOrder) {
    const CliRun run = cli("grf list '" + Interop("raglite-test.grf").string() + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(
        run.out,
        "78\tsubdirectory\\hello.txt\n62\thello-grf.txt\n189\tUPPERCASE.PNG\n18\t안녕하세요.txt\n");
    const CliRun korangar = cli("grf list '" + Interop("korangar-textures.grf").string() + "'");
    EXPECT_EQ(std::count(korangar.out.begin(), korangar.out.end(), '\n'), 22);
    EXPECT_TRUE(korangar.out.starts_with(
        "263368\tdata\\texture\\effect.png\n5794424\tdata\\texture\\font.png\n"));
}

TEST_F(GrfCli, ListLeavesFoldersOutAndShowsEmptyFiles) {
    WriteBytes(folder_ / "a.grf",
               BuildGrf(0x103, {{.name = "data", .folder = true},
                                {.name = "data\\Empty.TXT", .content = {}},
                                {.name = "data\\x.gat", .content = Bytes("gat")}}));
    const CliRun run = cli("grf list ../a.grf");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "0\tdata\\Empty.TXT\n3\tdata\\x.gat\n");
}

TEST_F(GrfCli, ExtractWritesEveryFileWithItsNameAndSize) {
    CliRun run = cli("grf extract '" + Interop("raglite-test.grf").string() + "' -d out");
    EXPECT_EQ(run.status, 0) << run.err;
    const std::map<std::string, uintmax_t> expected = {{"subdirectory/hello.txt", 78},
                                                       {"hello-grf.txt", 62},
                                                       {"UPPERCASE.PNG", 189},
                                                       {"안녕하세요.txt", 18}};
    EXPECT_EQ(Tree(folder_ / "work" / "out"), expected);

    run = cli("grf extract '" + Interop("raglite-missing-map-files.grf").string() + "' -d empty");
    EXPECT_EQ(run.status, 0) << run.err;
    const auto empty = Tree(folder_ / "work" / "empty");
    EXPECT_EQ(empty.size(), 11u);
    EXPECT_EQ(empty.at("data/no-gnd.gat"), 0u);

    run = cli("grf extract '" + Interop("korangar-textures.grf").string() + "' -d all");
    EXPECT_EQ(run.status, 0) << run.err;
    const auto all = Tree(folder_ / "work" / "all");
    EXPECT_EQ(all.size(), 22u);
    EXPECT_EQ(all.at("data/texture/font.png"), 5794424u);
    EXPECT_EQ(all.at("data/texture/goal.png"), 13430u);

    run = cli("grf extract '" + Interop("korangar-textures.grf").string() +
              "' -d k 'DATA/TEXTURE/?.PNG'");
    EXPECT_EQ(run.status, 0) << run.err;
    const auto digits = Tree(folder_ / "work" / "k");
    EXPECT_EQ(digits.size(), 7u);  // 0.png to 6.png
    EXPECT_EQ(digits.at("data/texture/1.png"), 267774u);
}

TEST_F(GrfCli, ExtractRefusesNamesThatLeaveTheFolderAndWritesTheRest) {
    WriteBytes(folder_ / "evil.grf",
               BuildGrf(0x200, {{.name = "..\\..\\x", .content = Bytes("escaped")},
                                {.name = "data\\..\\..\\y", .content = Bytes("escaped")},
                                {.name = "\\abs", .content = Bytes("escaped")},
                                {.name = "/abs2", .content = Bytes("escaped")},
                                {.name = "C:\\drive", .content = Bytes("escaped")},
                                {.name = "data\\fine.txt", .content = Bytes("fine")}}));
    fs::create_directories(folder_ / "work" / "deep" / "out");
    const CliRun run = cli("grf extract ../evil.grf -d deep/out");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("..\\..\\x"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\\abs"), std::string::npos);
    EXPECT_NE(run.err.find("C:\\drive"), std::string::npos);
    // Only the one file, inside the folder; nothing beside or above it.
    EXPECT_EQ(Tree(folder_),
              (std::map<std::string, uintmax_t>{{"evil.grf", fs::file_size(folder_ / "evil.grf")},
                                                {"work/deep/out/data/fine.txt", 4}}));
}

TEST_F(GrfCli, ExtractNeverWritesThroughALinkInTheFolder) {
    WriteBytes(folder_ / "a.grf",
               BuildGrf(0x200, {{.name = "data\\linked\\x.txt", .content = Bytes("x")},
                                {.name = "data\\file\\y.txt", .content = Bytes("y")},
                                {.name = "data\\z.txt", .content = Bytes("z")}}));
    fs::create_directories(folder_ / "outside");
    fs::create_directories(folder_ / "work" / "out" / "data");
    fs::create_directory_symlink(folder_ / "outside", folder_ / "work" / "out" / "data" / "linked");
    WriteBytes(folder_ / "work" / "out" / "data" / "file", Bytes("a file, not a folder"));
    const CliRun run = cli("grf extract ../a.grf -d out");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("symbolic link"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("y.txt"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_empty(folder_ / "outside"));
    EXPECT_EQ(ReadBytes(folder_ / "work" / "out" / "data" / "z.txt"), Bytes("z"));
}

TEST_F(GrfCli, ExtractGoesOnAfterABrokenEntryAndLeavesNoTemporaryFile) {
    WriteBytes(
        folder_ / "a.grf",
        BuildGrf(0x200, {{.name = "a.txt", .content = Bytes("first")},
                         {.name = "bad.txt", .content = Bytes("some text"), .stated_real_size = 4},
                         {.name = "c.txt", .content = Bytes("third")}}));
    fs::create_directories(folder_ / "work" / "out");
    WriteBytes(folder_ / "work" / "out" / "bad.txt", Bytes("older"));
    WriteBytes(folder_ / "work" / "out" / "a.txt", Bytes("older"));
    const CliRun run = cli("grf extract ../a.grf -d out");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bad.txt"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(folder_ / "work" / "out" / "a.txt"), Bytes("first"));    // replaced
    EXPECT_EQ(ReadBytes(folder_ / "work" / "out" / "bad.txt"), Bytes("older"));  // left alone
    EXPECT_EQ(ReadBytes(folder_ / "work" / "out" / "c.txt"), Bytes("third"));
    EXPECT_EQ(Tree(folder_ / "work" / "out").size(), 3u);
}

TEST_F(GrfCli, PatternThatMatchesNothingFailsAfterTheOthers) {
    const CliRun run =
        cli("grf extract '" + Interop("raglite-test.grf").string() + "' -d out '*.png' 'nothing*'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("nothing*"), std::string::npos);
    EXPECT_EQ(Tree(folder_ / "work" / "out").size(), 1u);  // UPPERCASE.PNG
}

TEST_F(GrfCli, BadArchiveAndBadCommandLines) {
    WriteBytes(folder_ / "bad.grf", Bytes("Master of Magic, or so it says"));
    CliRun run = cli("grf list ../bad.grf");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bad.grf"), std::string::npos);
    EXPECT_EQ(cli("grf list ../missing.grf").status, 1);
    EXPECT_EQ(cli("grf").status, 2);
    EXPECT_EQ(cli("grf list").status, 2);
    EXPECT_EQ(cli("grf unpack ../bad.grf").status, 2);
    EXPECT_EQ(cli("grf extract ../bad.grf").status, 2);     // no -d
    EXPECT_EQ(cli("grf extract ../bad.grf -d").status, 2);  // -d without a folder
    EXPECT_EQ(cli("grf extract ../bad.grf -x out").status, 2);
    EXPECT_EQ(cli("grf --help").status, 0);
}

// An archive of the sample models under data\model\ and their textures under
// data\texture\, written to `path`.
void WriteModelArchive(const fs::path& path) {
    std::vector<GrfBuildEntry> entries;
    for (const char* name : {"house.rsm", "tree.rsm"}) {
        entries.push_back(
            {.name = std::string("data\\model\\") + name, .content = ReadBytes(Sample(name))});
    }
    entries.push_back({.name = "data\\model\\notes.txt", .content = Bytes("not a model")});
    for (const auto& e : fs::directory_iterator(Sample("texture"))) {
        entries.push_back({.name = "data\\texture\\" + e.path().filename().string(),
                           .content = ReadBytes(e.path()),
                           .cipher = EntryCipher::kMixed});
    }
    WriteBytes(path, BuildGrf(0x200, entries));
}

std::string AfterPathLine(const std::string& info) {
    const size_t second = info.find("\r\n", info.find("\r\n") + 2);
    return second == std::string::npos ? "" : info.substr(second);
}

TEST_F(GrfCli, InfoReadsAModelInsideTheArchive) {
    WriteModelArchive(folder_ / "m.grf");
    const CliRun run = cli("info --grf ../m.grf 'DATA/model/House.RSM'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("../m.grf: data\\model\\house.rsm\r\n"), std::string::npos) << run.out;
    const CliRun plain = cli("info '" + Sample("house.rsm").string() + "'");
    EXPECT_EQ(AfterPathLine(run.out), AfterPathLine(plain.out));
    EXPECT_FALSE(AfterPathLine(run.out).empty());

    // A pattern prints every model it matches; one that matches nothing fails.
    const CliRun both = cli("info --grf ../m.grf 'data\\model\\*.rsm'");
    EXPECT_EQ(both.status, 0) << both.err;
    EXPECT_NE(both.out.find("tree.rsm"), std::string::npos);
    EXPECT_NE(both.out.find("house.rsm"), std::string::npos);
    const CliRun none = cli("info --grf ../m.grf 'data\\model\\missing.rsm'");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("missing.rsm"), std::string::npos);
    EXPECT_EQ(cli("info --grf ../m.grf 'data/model/notes.txt'").status, 1);
    EXPECT_EQ(cli("info --grf ../m.grf").status, 2);
}

// A model inside an archive is read by the same readers, in the same order, as the same
// file outside it: a 1.6 file and a 2.3 ".rsm2" file, which only the scene layer reads.
TEST_F(GrfCli, ModelsOfEveryVersionInsideTheArchiveReadAsTheirFiles) {
    std::vector<GrfBuildEntry> entries;
    for (const scene::Version version : {scene::Version{1, 6}, scene::Version{2, 3}}) {
        scene::Scene s;
        s.version = version;
        s.fps = version.IsV2() ? std::optional<float>(30.0f) : std::nullopt;
        s.textures = {"wall.bmp"};
        s.root_nodes = {"base"};
        scene::Node base = testing::RsmTriangleNode("base", "");
        scene::Node arm = testing::RsmTriangleNode("arm", "base");
        for (scene::Node* n : {&base, &arm}) {
            n->texture_ids = {0};
            n->textures = {"wall.bmp"};
        }
        arm.offset = {3, 0, 0};
        s.nodes = {base, arm};
        const std::string name = version.IsV2() ? "v23.rsm2" : "v16.rsm";
        const std::vector<uint8_t> bytes = testing::WriteRsmScene(s);
        WriteBytes(folder_ / "work" / name, bytes);
        entries.push_back({.name = "data\\model\\" + name, .content = bytes});
    }
    WriteBytes(folder_ / "m.grf", BuildGrf(0x200, entries));

    for (const char* name : {"v16.rsm", "v23.rsm2"}) {
        SCOPED_TRACE(name);
        const CliRun inside = cli(std::string("info --grf ../m.grf 'data/model/") + name + "'");
        const CliRun outside = cli(std::string("info ") + name);
        ASSERT_EQ(inside.status, 0) << inside.err;
        ASSERT_EQ(outside.status, 0) << outside.err;
        EXPECT_EQ(AfterPathLine(inside.out), AfterPathLine(outside.out));
        EXPECT_NE(inside.out.find("arm"), std::string::npos) << inside.out;
    }
}

TEST_F(GrfCli, ConvertWritesModelsInsideTheArchiveLikeTheirFiles) {
    WriteModelArchive(folder_ / "m.grf");
    fs::create_directories(folder_ / "work" / "out");
    CliRun run = cli("convert --grf ../m.grf 'data\\model\\*.RSM' -d out");
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* name : {"house", "tree"}) {
        fs::copy_file(Sample(std::string(name) + ".rsm"),
                      folder_ / "work" / (std::string(name) + ".rsm"));
        EXPECT_EQ(cli(std::string("convert ") + name + ".rsm").status, 0);
        EXPECT_EQ(ReadBytes(folder_ / "work" / "out" / (std::string(name) + ".3ds")),
                  ReadBytes(folder_ / "work" / (std::string(name) + ".3ds")))
            << name;
    }
    run = cli("convert --grf ../m.grf data/model/house.rsm -o one.3ds");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(folder_ / "work" / "one.3ds"), ReadBytes(folder_ / "work" / "house.3ds"));
    EXPECT_EQ(cli("convert --grf ../m.grf data/model/house.rsm").status, 2);  // no -o, no -d
    EXPECT_EQ(cli("convert --grf ../m.grf 'data/model/*.rsm' -o two.3ds").status, 2);
    run = cli("convert --grf ../m.grf data/model/notes.txt data/model/tree.rsm -d out");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("notes.txt"), std::string::npos) << run.err;
}

TEST_F(GrfCli, RenderDrawsTexturesFoundOnlyInTheArchive) {
    WriteModelArchive(folder_ / "m.grf");
    fs::create_directories(folder_ / "work" / "empty");
    const std::string model = "'" + Sample("house.rsm").string() + "'";
    CliRun run = cli("render " + model + " --data '" + Sample("").string() + "' -o folder.png");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    run = cli("render " + model + " --data ../m.grf -o archive.png");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");  // every texture found
    run = cli("render " + model + " --data empty -o standby.png");
    ASSERT_EQ(run.status, 0) << run.err;
    const QImage folder((folder_ / "work" / "folder.png").string().c_str());
    const QImage archive((folder_ / "work" / "archive.png").string().c_str());
    const QImage standby((folder_ / "work" / "standby.png").string().c_str());
    ASSERT_FALSE(folder.isNull());
    EXPECT_EQ(archive, folder);  // the same textures, from the archive
    EXPECT_NE(standby, folder);  // the stand-by bitmap looks different

    // The model itself out of the archive, its textures from there too.
    run = cli("render --grf ../m.grf 'DATA\\MODEL\\HOUSE.RSM' -o inside.png");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(QImage((folder_ / "work" / "inside.png").string().c_str()), folder);
}

TEST_F(GrfCli, RenderWarnsOfEachTextureNotFound) {
    fs::create_directories(folder_ / "work" / "empty");
    const CliRun run = cli("render '" + Sample("house.rsm").string() + "' --data empty -o a.png");
    EXPECT_EQ(run.status, 0) << run.err;
    // house.rsm names two textures: one warning each, naming it and the data folder.
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
    EXPECT_NE(run.err.find("house_wall.bmp"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("house_roof.bmp"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("empty"), std::string::npos);
    EXPECT_TRUE(fs::exists(folder_ / "work" / "a.png"));
}

TEST_F(GrfCli, RenderRefusesAMissingDataFolderAndBadArchiveNames) {
    WriteModelArchive(folder_ / "m.grf");
    const std::string model = "'" + Sample("house.rsm").string() + "'";
    CliRun run = cli("render " + model + " --data no-such-folder -o a.png");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("no-such-folder"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder_ / "work" / "a.png"));
    EXPECT_EQ(cli("render --grf ../m.grf 'data/model/*.rsm' -o a.png").status, 1);  // two models
    EXPECT_EQ(cli("render --grf ../m.grf data/model/none.rsm -o a.png").status, 1);
    EXPECT_EQ(cli("render --grf ../none.grf data/model/house.rsm -o a.png").status, 1);
    EXPECT_FALSE(fs::exists(folder_ / "work" / "a.png"));
}

TEST_F(GrfCli, ExportWritesModelsInsideTheArchiveLikeTheirFiles) {
    WriteModelArchive(folder_ / "m.grf");
    fs::create_directories(folder_ / "work" / "a");
    fs::create_directories(folder_ / "work" / "b");
    CliRun run = cli("export '" + Sample("house.rsm").string() + "' '" +
                     Sample("tree.rsm").string() + "' -d a --data '" + Sample("").string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    // Models and textures out of the archive: the same bytes.
    run = cli("export --grf ../m.grf 'DATA/model/*.rsm' -d b");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    for (const char* name : {"house.glb", "tree.glb"}) {
        EXPECT_EQ(ReadBytes(folder_ / "work" / "b" / name),
                  ReadBytes(folder_ / "work" / "a" / name))
            << name;
    }
    EXPECT_EQ(cli("export --grf ../m.grf data/model/house.rsm").status, 2);  // no -o, no -d
    EXPECT_EQ(cli("export --grf ../m.grf data/model/none.rsm -d b").status, 1);
}

TEST_F(GrfCli, SceneReadsAModelInsideTheArchive) {
    WriteModelArchive(folder_ / "m.grf");
    const CliRun run = cli("scene --grf ../m.grf 'data\\model\\TREE.rsm'");
    ASSERT_EQ(run.status, 0) << run.err;
    const CliRun plain = cli("scene '" + Sample("tree.rsm").string() + "'");
    ASSERT_EQ(plain.status, 0);
    EXPECT_TRUE(run.out.starts_with("../m.grf: data\\model\\tree.rsm: RSM ")) << run.out;
    EXPECT_EQ(run.out.substr(run.out.find('\n')), plain.out.substr(plain.out.find('\n')));
    EXPECT_EQ(cli("scene --grf ../m.grf --json 'data/model/*.rsm'").out.size(),
              cli("scene --json '" + Sample("house.rsm").string() + "'").out.size() +
                  cli("scene --json '" + Sample("tree.rsm").string() + "'").out.size());
    EXPECT_EQ(cli("scene --grf ../m.grf data/model/none.rsm").status, 1);
    EXPECT_EQ(cli("scene --grf").status, 2);
}

}  // namespace
}  // namespace plovant
