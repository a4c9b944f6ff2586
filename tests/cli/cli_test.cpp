// plovant-cli run as a program: its output, its files and its exit codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cli/cli_runner.h"
#include "export/tds_writer.h"
#include "model/info_text.h"
#include "model/rsm_model.h"

namespace plovant {
namespace {

namespace fs = std::filesystem;
using cli_test::CliRun;
using cli_test::ReadText;

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"house.rsm", "windmill.rsm", "tree.rsm"}) {
            fs::copy_file(cli_test::SamplePath(name), folder_ / name);
        }
    }

    // Runs plovant-cli with `args` (already quoted where needed) in the test folder.
    CliRun cli(const std::string& args) { return cli_test::RunCli(folder_, args); }

    // The bytes the viewer's Save As writes for `rsm`.
    std::string ExpectedExport(const fs::path& rsm) {
        RsmModel model;
        LoadRsm(rsm, model);
        CenterRootMesh(model);
        const fs::path reference = folder_ / "reference.out";
        Write3DS(reference, model);
        const std::string bytes = ReadText(reference);
        fs::remove(reference);
        return bytes;
    }

    cli_test::ScratchFolder scratch_{"cli-test"};
    const fs::path folder_ = scratch_.path();
};

TEST_F(CliTest, InfoPrintsTheInformationTextWithCrLf) {
    const CliRun run = cli("info house.rsm");
    EXPECT_EQ(run.status, 0) << run.err;
    RsmModel model;
    LoadRsm(folder_ / "house.rsm", model);
    EXPECT_EQ(run.out, BuildInfoText(model, "house.rsm"));
    EXPECT_TRUE(run.out.starts_with("Filepath: \r\nhouse.rsm\r\n\r\nMeshes: 1\r\n")) << run.out;
    EXPECT_TRUE(run.err.empty()) << run.err;

    const CliRun korean = cli("info windmill.rsm");
    EXPECT_NE(korean.out.find("Name: \xED\x92\x8D\xEC\xB0\xA8\xEB\x82\xA0\xEA\xB0\x9C\r\n"),
              std::string::npos)
        << korean.out;
}

TEST_F(CliTest, InfoReportsAFileItCannotRead) {
    const CliRun missing = cli("info nothing.rsm");
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.out.empty());
    EXPECT_NE(missing.err.find("nothing.rsm: file not found"), std::string::npos) << missing.err;

    std::ofstream(folder_ / "notes.txt") << "text";
    const CliRun text = cli("info notes.txt");
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.err.find("notes.txt"), std::string::npos) << text.err;
    EXPECT_NE(text.err.find("rsm"), std::string::npos) << text.err;

    EXPECT_EQ(cli("info").status, 2);
    EXPECT_EQ(cli("info a.rsm b.rsm").status, 2);
}

TEST_F(CliTest, ConvertWritesBesideTheInputAsTheViewerSaves) {
    const CliRun run = cli("convert house.rsm");
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(fs::exists(folder_ / "house.3ds"));
    EXPECT_EQ(ReadText(folder_ / "house.3ds"), ExpectedExport(folder_ / "house.rsm"));

    const CliRun named = cli("convert tree.rsm -o 'my tree.3ds'");
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(ReadText(folder_ / "my tree.3ds"), ExpectedExport(folder_ / "tree.rsm"));
}

TEST_F(CliTest, ConvertGoesOnAfterAFailureAndExitsNonZero) {
    // A copy of the house cut inside its mesh block, and a file that does not exist.
    const std::string house = ReadText(folder_ / "house.rsm");
    std::ofstream(folder_ / "broken.rsm", std::ios::binary) << house.substr(0, 300);
    fs::create_directories(folder_ / "out");

    const CliRun run = cli("convert house.rsm broken.rsm missing.rsm windmill.rsm -d out");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("broken.rsm: unexpected end of file in mesh 1"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("missing.rsm: file not found"), std::string::npos) << run.err;
    EXPECT_EQ(ReadText(folder_ / "out" / "house.3ds"), ExpectedExport(folder_ / "house.rsm"));
    EXPECT_EQ(ReadText(folder_ / "out" / "windmill.3ds"),
              ExpectedExport(folder_ / "windmill.rsm"));
    EXPECT_FALSE(fs::exists(folder_ / "out" / "broken.3ds"));
    EXPECT_FALSE(fs::exists(folder_ / "out" / "missing.3ds"));
}

TEST_F(CliTest, ConvertRefusesToWriteTwoInputsToOneOutput) {
    fs::create_directories(folder_ / "a");
    fs::create_directories(folder_ / "out");
    fs::copy_file(folder_ / "tree.rsm", folder_ / "a" / "house.rsm");
    const CliRun run = cli("convert house.rsm a/house.rsm -d out");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("already the result of house.rsm"), std::string::npos) << run.err;
    EXPECT_EQ(ReadText(folder_ / "out" / "house.3ds"), ExpectedExport(folder_ / "house.rsm"));
}

TEST_F(CliTest, ConvertReportsAnUnwritableOutput) {
    const CliRun run = cli("convert house.rsm -o no/such/folder/house.3ds");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no/such/folder/house.3ds"), std::string::npos) << run.err;
}

TEST_F(CliTest, RejectsBadCommandLines) {
    EXPECT_EQ(cli("").status, 2);
    EXPECT_EQ(cli("frobnicate").status, 2);
    EXPECT_EQ(cli("convert").status, 2);
    EXPECT_EQ(cli("convert house.rsm tree.rsm -o x.3ds").status, 2);
    EXPECT_EQ(cli("convert house.rsm -o x.3ds -d .").status, 2);
    EXPECT_EQ(cli("convert house.rsm -d nowhere").status, 2);
    EXPECT_EQ(cli("convert house.rsm --bogus").status, 2);
    EXPECT_EQ(cli("convert house.rsm -o").status, 2);
    EXPECT_FALSE(fs::exists(folder_ / "house.3ds"));
}

TEST_F(CliTest, EveryCommandHasHelp) {
    const CliRun top = cli("--help");
    EXPECT_EQ(top.status, 0);
    EXPECT_NE(top.out.find("info"), std::string::npos);
    EXPECT_NE(top.out.find("convert"), std::string::npos);
    for (const char* command : {"info", "convert"}) {
        const CliRun help = cli(std::string(command) + " --help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_TRUE(help.out.starts_with(std::string("Usage: plovant-cli ") + command)) << help.out;
    }
}

}  // namespace
}  // namespace plovant
