// plovant-cli render run as a program: the pictures it writes of the samples, what its
// options change, and its failures, which leave no half-written or stray files.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/cli_runner.h"

namespace plovant {
namespace {

namespace fs = std::filesystem;
using cli_test::CliRun;
using cli_test::ReadText;

constexpr QRgb kBlue = 0xFF0000FFu;
constexpr QRgb kWhite = 0xFFFFFFFFu;

struct Coverage {
    int model_pixels = 0;
    int white_pixels = 0;
    double cx = 0, cy = 0;
};

Coverage Measure(const QImage& picture) {
    Coverage c;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            if (p == kBlue) continue;
            ++c.model_pixels;
            c.white_pixels += p == kWhite;
            c.cx += x;
            c.cy += y;
        }
    }
    if (c.model_pixels) {
        c.cx /= c.model_pixels;
        c.cy /= c.model_pixels;
    }
    return c;
}

class RenderCommand : public ::testing::Test {
protected:
    static std::string Data() { return (fs::path(PLOVANT_SAMPLES_DIR) / "data").string(); }
    static std::string Sample(const std::string& name) {
        return cli_test::SamplePath(name).string();
    }

    // Runs "plovant-cli render" with `args` (quoted where needed) in the test folder.
    CliRun render(const std::string& args) { return cli_test::RunCli(folder_, "render " + args); }

    // Renders `sample` with the sample data folder and `options`; returns the picture.
    QImage Picture(const std::string& sample, const std::string& options = "") {
        const CliRun run =
            render("'" + Sample(sample) + "' --data '" + Data() + "' -o out.png " + options);
        EXPECT_EQ(run.status, 0) << run.err;
        QImage image(QString::fromStdString((folder_ / "out.png").string()));
        fs::remove(folder_ / "out.png");
        return image.convertToFormat(QImage::Format_RGB32);
    }

    // The files in the test folder.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    cli_test::ScratchFolder scratch_{"cli-render"};
    const fs::path folder_ = scratch_.path();
};

TEST_F(RenderCommand, WritesACorrectPictureOfEverySample) {
    for (const char* sample : {"house.rsm", "windmill.rsm", "tree.rsm", "fountain.rsm"}) {
        SCOPED_TRACE(sample);
        const QImage picture = Picture(sample);
        ASSERT_EQ(picture.size(), QSize(427, 389));
        EXPECT_EQ(picture.pixel(0, 0), kBlue);
        EXPECT_EQ(picture.pixel(426, 388), kBlue);
        const Coverage c = Measure(picture);
        EXPECT_GT(c.model_pixels, 427 * 389 / 30);
        EXPECT_GT(c.cx, 427 * 0.25);
        EXPECT_LT(c.cx, 427 * 0.75);
        EXPECT_GT(c.cy, 389 * 0.2);
        EXPECT_LT(c.cy, 389 * 0.8);
        // Textured: the sample bitmaps, not the white of untextured faces.
        EXPECT_LT(c.white_pixels, c.model_pixels / 10);
    }
    EXPECT_TRUE(Files().empty());
}

TEST_F(RenderCommand, OptionsChangeWhatIsDrawn) {
    const QImage base = Picture("windmill.rsm");
    const Coverage base_c = Measure(base);

    const QImage small = Picture("windmill.rsm", "--size 200x120");
    EXPECT_EQ(small.size(), QSize(200, 120));

    const Coverage wire = Measure(Picture("windmill.rsm", "--wireframe"));
    EXPECT_GT(wire.model_pixels, 0);
    EXPECT_LT(wire.model_pixels, base_c.model_pixels / 2);

    EXPECT_NE(Picture("windmill.rsm", "--frames 60"), base);
    EXPECT_NE(Picture("windmill.rsm", "--no-smooth"), base);
    EXPECT_NE(Picture("windmill.rsm", "--tilt 135"), base);

    const Coverage plain = Measure(Picture("windmill.rsm", "--untextured"));
    EXPECT_EQ(plain.white_pixels, plain.model_pixels);

    const Coverage far = Measure(Picture("windmill.rsm", "--distance 200"));
    EXPECT_GT(far.model_pixels, 0);
    EXPECT_LT(far.model_pixels, base_c.model_pixels / 4);

    // Turning the camera to the right moves the model to the left, pitching it up moves
    // the model down.
    EXPECT_LT(Measure(Picture("windmill.rsm", "--yaw 10")).cx, base_c.cx - 20);
    EXPECT_GT(Measure(Picture("windmill.rsm", "--pitch 10")).cy, base_c.cy + 20);
}

TEST_F(RenderCommand, MissingTexturesShowTheStandByBitmap) {
    // An empty data folder: every texture falls back to blank.bmp; the model is drawn.
    fs::create_directories(folder_ / "empty" / "texture");
    const CliRun run = render("'" + Sample("house.rsm") + "' --data empty -o out.png");
    ASSERT_EQ(run.status, 0) << run.err;
    const QImage picture(QString::fromStdString((folder_ / "out.png").string()));
    EXPECT_GT(Measure(picture.convertToFormat(QImage::Format_RGB32)).model_pixels, 427 * 389 / 30);
}

TEST_F(RenderCommand, FailuresNameTheFileAndLeaveNoFiles) {
    const CliRun missing = render("'" + Sample("no-such.rsm") + "' -o out.png");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no-such.rsm"), std::string::npos) << missing.err;

    const CliRun not_model = render("'" + Sample("texture/house_wall.bmp") + "' -o out.png");
    EXPECT_EQ(not_model.status, 1);
    EXPECT_NE(not_model.err.find("house_wall.bmp"), std::string::npos) << not_model.err;

    const CliRun no_folder =
        render("'" + Sample("house.rsm") + "' --data '" + Data() + "' -o missing/out.png");
    EXPECT_EQ(no_folder.status, 1);
    EXPECT_NE(no_folder.err.find("missing/out.png"), std::string::npos) << no_folder.err;

    // A broken texture bitmap fails the open; nothing is written.
    fs::create_directories(folder_ / "bad" / "texture");
    std::ofstream(folder_ / "bad" / "texture" / "house_wall.bmp") << "BM not a bitmap";
    const CliRun bad_texture = render("'" + Sample("house.rsm") + "' --data bad -o out.png");
    EXPECT_EQ(bad_texture.status, 1);
    EXPECT_NE(bad_texture.err.find("house_wall.bmp"), std::string::npos) << bad_texture.err;
    fs::remove_all(folder_ / "bad");

    EXPECT_TRUE(Files().empty());
}

TEST_F(RenderCommand, AFailedRenderKeepsTheOldPicture) {
    std::ofstream(folder_ / "out.png") << "old picture";
    const CliRun run = render("'" + Sample("no-such.rsm") + "' -o out.png");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadText(folder_ / "out.png"), "old picture");
    EXPECT_EQ(Files(), std::vector<std::string>{"out.png"});
}

TEST_F(RenderCommand, WrongCommandLinesAreUsageErrors) {
    const std::string house = "'" + Sample("house.rsm") + "'";
    for (const std::string& args : std::vector<std::string>{
             "", house, "-o out.png", house + " " + house + " -o out.png",
          house + " -o out.png --frames 0", house + " -o out.png --frames x",
          house + " -o out.png --size 100", house + " -o out.png --size 0x10",
          house + " -o out.png --size 100x99999", house + " -o out.png --tilt nan",
          house + " -o out.png --yaw", house + " -o out.png --bogus"}) {
        const CliRun run = render(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.err.find("render --help"), std::string::npos) << args;
    }
    EXPECT_TRUE(Files().empty());
}

}  // namespace
}  // namespace plovant
