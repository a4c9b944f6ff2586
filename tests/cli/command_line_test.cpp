// plovant-cli as a new user meets it: the version, names that are empty or folders, the
// picture formats of render, the largest picture size, and files that are not models.
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/cli_runner.h"

namespace plovant {
namespace {

namespace fs = std::filesystem;
using cli_test::CliRun;

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override { fs::copy_file(Sample("house.rsm"), folder_ / "house.rsm"); }

    static fs::path Sample(const std::string& name) { return cli_test::SamplePath(name); }

    CliRun cli(const std::string& args) { return cli_test::RunCli(folder_, args); }

    std::string Render(const std::string& output, const std::string& options = "") {
        return "render house.rsm --data '" + (fs::path(PLOVANT_SAMPLES_DIR) / "data").string() +
               "' -o " + output + " " + options;
    }

    cli_test::ScratchFolder scratch_{"cmdline"};
    const fs::path folder_ = scratch_.path();
};

TEST_F(CommandLine, VersionIsTheProjectsVersion) {
    const CliRun run = cli("--version");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "plovant-cli 0.1.0\n");
    EXPECT_EQ(run.err, "");
    EXPECT_NE(cli("--help").out.find("--version"), std::string::npos);
}

TEST_F(CommandLine, AnEmptyNameSaysNoNameWasGiven) {
    for (const std::string& args : {"info ''", "convert ''", "render '' -o out.png"}) {
        const CliRun run = cli(args);
        EXPECT_EQ(run.status, 1) << args;
        EXPECT_EQ(run.err, "plovant-cli: no model file name was given (the name is empty)\n")
            << args;
    }
}

TEST_F(CommandLine, AFolderGivenAsAModelIsCalledAFolder) {
    // Named like a model, so that the name check does not answer first.
    fs::create_directories(folder_ / "models.rsm");
    for (const std::string& args :
         {"info models.rsm", "convert models.rsm", "render models.rsm -o out.png"}) {
        const CliRun run = cli(args);
        EXPECT_EQ(run.status, 1) << args;
        EXPECT_EQ(run.err, "plovant-cli: models.rsm: is a folder, not a model file\n") << args;
    }
    const CliRun plain = cli("info .");
    EXPECT_EQ(plain.err, "plovant-cli: .: is a folder, not a model file\n");
}

TEST_F(CommandLine, ConvertIntoAFileSaysItIsNotAFolder) {
    std::ofstream(folder_ / "file") << "x";
    const CliRun file = cli("convert house.rsm -d file");
    EXPECT_EQ(file.status, 2);
    EXPECT_NE(file.err.find("-d file: not a folder"), std::string::npos) << file.err;
    const CliRun missing = cli("convert house.rsm -d nowhere");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("-d nowhere: no such folder"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(folder_ / "house.3ds"));
}

TEST_F(CommandLine, RenderWritesTheFormatTheNameAsksFor) {
    struct Case {
        const char* name;
        const char* format;  // as Qt recognises the written bytes
    };
    for (const Case& c : {Case{"a.png", "png"}, Case{"b.bmp", "bmp"}, Case{"c.jpg", "jpeg"},
                          Case{"d.jpeg", "jpeg"}, Case{"E.PNG", "png"}, Case{"F.JpG", "jpeg"}}) {
        const CliRun run = cli(Render(c.name));
        ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
        QImageReader reader(QString::fromStdString((folder_ / c.name).string()));
        reader.setDecideFormatFromContent(true);
        EXPECT_EQ(reader.format().toStdString(), c.format) << c.name;
        EXPECT_EQ(reader.size(), QSize(427, 389)) << c.name;
    }
}

TEST_F(CommandLine, RenderRefusesFormatsItCannotWrite) {
    for (const std::string& name : {"x.gif", "x.tga", "x", "x.png.txt", "x.", ".png.gz"}) {
        const CliRun run = cli(Render("'" + name + "'"));
        EXPECT_EQ(run.status, 2) << name;
        EXPECT_NE(run.err.find("the name must end in .png, .bmp, .jpg or .jpeg"), std::string::npos)
            << name << ": " << run.err;
        EXPECT_FALSE(fs::exists(folder_ / name)) << name;
    }
}

TEST_F(CommandLine, TheLargestSizeTheHelpAllowsIsDrawnAndTheNextIsRefusedSayingWhy) {
    // The help states the limit: sides up to 16384, 67108864 pixels in all.
    const CliRun help = cli("render --help");
    EXPECT_NE(help.out.find("from 1 to 16384, at most 67108864 pixels in all"), std::string::npos)
        << help.out;

    for (const std::string& size : {"16384x4097", "8193x8192", "16385x1", "1x16385"}) {
        const CliRun run = cli(Render("big.png", "--size " + size));
        EXPECT_EQ(run.status, 2) << size;
        EXPECT_NE(run.err.find("sides from 1 to 16384 and at most 67108864 pixels in all"),
                  std::string::npos)
            << size << ": " << run.err;
    }
    EXPECT_FALSE(fs::exists(folder_ / "big.png"));

    // Exactly at the limit: drawn (a thin picture, to keep the test light).
    const CliRun largest = cli(Render("big.bmp", "--size 16384x4096 --untextured"));
    ASSERT_EQ(largest.status, 0) << "out: " << largest.out << " err: " << largest.err;
    EXPECT_EQ(QImageReader(QString::fromStdString((folder_ / "big.bmp").string())).size(),
              QSize(16384, 4096));
}

TEST_F(CommandLine, AFileThatIsNotAModelSaysWhatItStartsWith) {
    fs::copy_file(Sample("texture/house_wall.bmp"), folder_ / "wall.rsm");
    const CliRun run = cli("info wall.rsm");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("plovant-cli: wall.rsm: not an RSM model: it starts with 'BM", 0), 0u)
        << run.err;
    EXPECT_NE(run.err.find("(a Windows bitmap)"), std::string::npos) << run.err;

    std::ofstream(folder_ / "empty.rsm").flush();
    const CliRun empty = cli("info empty.rsm");
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err.rfind("plovant-cli: empty.rsm: not an RSM model: the file is empty", 0), 0u)
        << empty.err;
}

}  // namespace
}  // namespace plovant
