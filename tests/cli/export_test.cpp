// plovant-cli export run as a program: batches, output names, failures and the files it
// leaves behind.
#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "cli/cli_runner.h"
#include "gltf/gltf_test_support.h"

namespace plovant {
namespace {

namespace fs = std::filesystem;
using cli_test::CliRun;
using cli_test::ReadText;
using gltf_test::CraftedScene;
using gltf_test::WriteFile;

// Every file under `folder`, as paths relative to it.
std::set<std::string> FilesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (!e.is_directory()) names.insert(fs::relative(e.path(), folder).string());
    }
    return names;
}

class ExportCommand : public ::testing::Test {
protected:
    void SetUp() override {
        data_ = gltf_test::MakeDataFolder(folder_.path());
        fs::create_directories(folder_.path() / "in");
        fs::create_directories(folder_.path() / "out");
    }

    // Runs plovant-cli export with `args` in the test folder.
    CliRun Export(const std::string& args) {
        return cli_test::RunCli(folder_.path(), "export " + args);
    }

    // Writes a crafted model of `version` as in/NAME.
    void Model(const std::string& name, scene::Version version) {
        WriteFile(folder_.path() / "in" / name, testing::WriteRsmScene(CraftedScene(version)));
    }

    static tinygltf::Model Load(const fs::path& path) {
        tinygltf::TinyGLTF loader;
        tinygltf::Model model;
        std::string err, warn;
        const bool ok = path.extension() == ".gltf"
                            ? loader.LoadASCIIFromFile(&model, &err, &warn, path.string())
                            : loader.LoadBinaryFromFile(&model, &err, &warn, path.string());
        EXPECT_TRUE(ok) << path << ": " << err;
        return model;
    }

    cli_test::ScratchFolder folder_{"export-cli"};
    fs::path data_;
};

// Twenty inputs, the twelfth cut short: nineteen outputs, one message naming the broken
// file, exit status 1, and nothing else in the output folder (no temporary files).
TEST_F(ExportCommand, BatchWithOneBrokenInputExportsTheOthers) {
    const std::vector<scene::Version> versions = gltf_test::AllVersions();
    std::set<std::string> expected;
    for (int i = 0; i < 20; ++i) {
        const scene::Version v = versions[std::size_t(i) % versions.size()];
        const std::string stem = "model" + std::to_string(i);
        Model(stem + (v.IsV2() ? ".rsm2" : ".rsm"), v);
        if (i != 11) expected.insert(stem + ".glb");
    }
    // model11 is a 1.4 file: cut it in half.
    const fs::path broken = folder_.path() / "in" / "model11.rsm";
    const std::string whole = ReadText(broken);
    ASSERT_FALSE(whole.empty());
    std::ofstream(broken, std::ios::binary | std::ios::trunc) << whole.substr(0, whole.size() / 2);

    const CliRun run = Export("in -d out --data data");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(FilesIn(folder_.path() / "out"), expected);
    std::size_t errors = 0, at = 0;
    while ((at = run.err.find("plovant-cli: ", at)) != std::string::npos) {
        const std::size_t end = run.err.find('\n', at);
        const std::string line = run.err.substr(at, end - at);
        if (line.find("warning:") == std::string::npos) {
            ++errors;
            EXPECT_NE(line.find("model11.rsm"), std::string::npos) << line;
        }
        at = end;
    }
    EXPECT_EQ(errors, 1u) << run.err;
    // No progress line when stderr is not a terminal.
    EXPECT_EQ(run.err.find("[1/"), std::string::npos) << run.err;
    for (const std::string& name : expected) Load(folder_.path() / "out" / name);
}

TEST_F(ExportCommand, WritesBesideTheInputOrWhereToldAndInEitherForm) {
    Model("house.rsm", {1, 4});
    Model("Tower.RSM2", {2, 3});
    EXPECT_EQ(Export("in/house.rsm --data data").status, 0);
    EXPECT_TRUE(fs::exists(folder_.path() / "in" / "house.glb"));

    // -o with ".gltf": the JSON, its buffer and its pictures, named after the output.
    const CliRun named = Export("in/Tower.RSM2 -o 'out/my tower.gltf' --data data");
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(FilesIn(folder_.path() / "out"),
              (std::set<std::string>{"my tower.gltf", "my tower.bin", "my tower_1.png",
                                     "my tower_2.png"}));
    const tinygltf::Model model = Load(folder_.path() / "out" / "my tower.gltf");
    EXPECT_EQ(model.nodes.size(), 3u);
    EXPECT_EQ(model.buffers.at(0).uri, "my%20tower.bin");

    // --format gltf with -d: NAME.gltf beside NAME.bin; two models never share a file.
    fs::remove_all(folder_.path() / "out");
    fs::create_directories(folder_.path() / "out");
    EXPECT_EQ(Export("in --format gltf -d out --data data").status, 0);
    EXPECT_EQ(FilesIn(folder_.path() / "out"),
              (std::set<std::string>{"house.gltf", "house.bin", "house_1.png", "house_2.png",
                                     "Tower.gltf", "Tower.bin", "Tower_1.png", "Tower_2.png"}));
}

TEST_F(ExportCommand, MissingTextureIsAWarningNotAFailure) {
    Model("house.rsm", {1, 2});
    const CliRun run = Export("in/house.rsm --data data");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("plovant-cli: warning: in/house.rsm: texture \"missing.bmp\" not found"),
              std::string::npos)
        << run.err;
}

TEST_F(ExportCommand, FailureLeavesAnExistingTargetAsItWas) {
    std::ofstream(folder_.path() / "in" / "bad.rsm", std::ios::binary) << "GRSM\x01";
    std::ofstream(folder_.path() / "out" / "bad.glb") << "earlier result";
    const CliRun run = Export("in/bad.rsm -o out/bad.glb --data data");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bad.rsm"), std::string::npos) << run.err;
    EXPECT_EQ(ReadText(folder_.path() / "out" / "bad.glb"), "earlier result");
    EXPECT_EQ(FilesIn(folder_.path() / "out"), std::set<std::string>{"bad.glb"});

    // A target that cannot be replaced (a folder holds its name): reported, no debris.
    Model("good.rsm", {1, 5});
    fs::create_directories(folder_.path() / "out" / "good.gltf" / "inside");
    const CliRun blocked = Export("in/good.rsm -o out/good.gltf --data data");
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.err.find("good.gltf"), std::string::npos) << blocked.err;
    // Nothing of it is placed: not even its .bin and pictures, which could be.
    EXPECT_EQ(FilesIn(folder_.path() / "out"), std::set<std::string>{"bad.glb"});
    EXPECT_TRUE(fs::is_directory(folder_.path() / "out" / "good.gltf" / "inside"));
}

// Exporting again over earlier results replaces them whole, in both forms, and leaves
// none of the files set aside or written under temporary names.
TEST_F(ExportCommand, SuccessReplacesEarlierResultsAndLeavesNothingElse) {
    Model("mill.rsm", {1, 4});
    std::ofstream(folder_.path() / "out" / "mill.glb") << "earlier result";
    std::ofstream(folder_.path() / "out" / "mill.gltf") << "earlier json";
    std::ofstream(folder_.path() / "out" / "mill.bin") << "earlier buffer";

    ASSERT_EQ(Export("in/mill.rsm -o out/mill.glb --data data").status, 0);
    ASSERT_EQ(Export("in/mill.rsm -o out/mill.gltf --data data").status, 0);
    EXPECT_EQ(FilesIn(folder_.path() / "out"),
              (std::set<std::string>{"mill.glb", "mill.gltf", "mill.bin", "mill_1.png",
                                     "mill_2.png"}));
    EXPECT_EQ(Load(folder_.path() / "out" / "mill.glb").nodes.size(), 3u);
    EXPECT_EQ(Load(folder_.path() / "out" / "mill.gltf").nodes.size(), 3u);
}

TEST_F(ExportCommand, FoldersAreSearchedBelowOnlyWithR) {
    Model("a.rsm", {1, 6});
    fs::create_directories(folder_.path() / "in" / "sub");
    WriteFile(folder_.path() / "in" / "sub" / "b.rsm2",
              testing::WriteRsmScene(CraftedScene({2, 2})));
    std::ofstream(folder_.path() / "in" / "notes.txt") << "not a model";
    EXPECT_EQ(Export("in -d out --data data").status, 0);
    EXPECT_EQ(FilesIn(folder_.path() / "out"), std::set<std::string>{"a.glb"});
    EXPECT_EQ(Export("in -r -d out --data data").status, 0);
    EXPECT_EQ(FilesIn(folder_.path() / "out"), (std::set<std::string>{"a.glb", "b.glb"}));
}

TEST_F(ExportCommand, TwoInputsWithOneResultNameAreNotBothWritten) {
    Model("same.rsm", {1, 4});
    Model("same.rsm2", {2, 2});
    const CliRun run = Export("in/same.rsm in/same.rsm2 -d out --data data");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is already the result of in/same.rsm"), std::string::npos) << run.err;
    EXPECT_EQ(FilesIn(folder_.path() / "out"), std::set<std::string>{"same.glb"});
}

TEST_F(ExportCommand, WrongCommandLinesAreRefused) {
    Model("a.rsm", {1, 4});
    Model("b.rsm", {1, 4});
    for (const char* args : {"", "in/a.rsm in/b.rsm -o x.glb", "in/a.rsm --format obj",
                             "in/a.rsm --time -1", "in/a.rsm --time 5ms", "in/a.rsm --time nan",
                             "in/a.rsm -o x.gltf --format glb", "in/a.rsm -d nowhere",
                             "in/a.rsm -o x.glb -d out", "in/a.rsm --bogus", "in/a.rsm --time"}) {
        EXPECT_EQ(Export(args).status, 2) << args;
    }
    EXPECT_EQ(FilesIn(folder_.path() / "out"), std::set<std::string>{});
}

TEST_F(ExportCommand, TimeSetsThePoseWrittenIntoTheNodes) {
    Model("a.rsm", {1, 4});
    ASSERT_EQ(Export("in/a.rsm -o out/rest.glb --data data").status, 0);
    ASSERT_EQ(Export("in/a.rsm -o out/late.glb --time 800 --data data").status, 0);
    const tinygltf::Model rest = Load(folder_.path() / "out" / "rest.glb");
    const tinygltf::Model late = Load(folder_.path() / "out" / "late.glb");
    // The child turns by its keys; the root does not.
    EXPECT_EQ(rest.nodes.at(0).rotation, late.nodes.at(0).rotation);
    EXPECT_NE(rest.nodes.at(1).rotation, late.nodes.at(1).rotation);
}

TEST_F(ExportCommand, ProgressLineOnATerminal) {
    Model("a.rsm", {1, 4});
    Model("b.rsm", {1, 1});
    // script(1) gives the program a terminal; what it prints comes back through it.
    const std::string command = "cd " + cli_test::ShellQuoted(folder_.path().string()) +
                                " && script -qec \"" +
                                cli_test::ShellQuoted(cli_test::CliProgram().string()) +
                                " export in -d out --data data\" /dev/null > tty.txt";
    if (std::system("command -v script >/dev/null") != 0) GTEST_SKIP() << "no script(1)";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string shown = ReadText(folder_.path() / "tty.txt");
    EXPECT_NE(shown.find("[2/2] in/"), std::string::npos) << shown;
}

}  // namespace
}  // namespace plovant
