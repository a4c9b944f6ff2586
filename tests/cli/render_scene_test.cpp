// plovant-cli render --scene run as a program: every node drawn where its node tree and
// key frames put it, framed as a whole; the moment chosen with --time; both sides of the
// faces; a warning for each texture not found; and the files either reader alone opens.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <cmath>
#include <filesystem>
#include <string>

#include "cli/cli_runner.h"
#include "export/tds_file.h"
#include "support/rsm_scene_writer.h"

namespace plovant {
namespace {

namespace fs = std::filesystem;
using cli_test::CliRun;

constexpr int kSide = 200;  // the pictures are square: the projection then has no stretch

// A quad of `width` × `height` in the node's own x and y, texture slot 0.
scene::Node Rectangle(const std::string& name, const std::string& parent, float width,
                      float height) {
    scene::Node n;
    n.name = name;
    n.parent = parent;
    n.vertices = {{0, 0, 0}, {width, 0, 0}, {width, height, 0}, {0, height, 0}};
    n.texture_vertices = {
        {0xFFFFFFFF, 0, 0}, {0xFFFFFFFF, 1, 0}, {0xFFFFFFFF, 1, 1}, {0xFFFFFFFF, 0, 1}};
    scene::Face a, b;
    a.vertices = a.texture_vertices = {0, 1, 2};
    b.vertices = b.texture_vertices = {0, 2, 3};
    n.faces = {a, b};
    return n;
}

// 1.4: "base", a red unit square, and its child "arm", a green 2 × 1 rectangle turned 90°
// about Z (so 1 wide and 2 high) and moved 3 along x by its position. Placed, the base
// covers x 0…1, y 0…1 and the arm x 2…3, y 0…2.
scene::Scene BaseAndArm() {
    scene::Scene s;
    s.version = {1, 4};
    s.alpha = 0xFF;
    s.textures = {"red.bmp", "green.bmp"};
    s.root_nodes = {"base"};
    scene::Node base = Rectangle("base", "", 1, 1);
    base.texture_ids = {0};
    scene::Node arm = Rectangle("arm", "base", 2, 1);
    arm.texture_ids = {1};
    arm.position = {3, 0, 0};
    arm.rotation_angle = static_cast<float>(M_PI / 2);
    arm.rotation_axis = {0, 0, 1};
    s.nodes = {base, arm};
    return s;
}

bool IsRed(QRgb p) { return qRed(p) > 160 && qGreen(p) < 90 && qBlue(p) < 90; }
bool IsGreen(QRgb p) { return qGreen(p) > 160 && qRed(p) < 90 && qBlue(p) < 90; }
bool IsBlue(QRgb p) { return (p & 0xFFFFFF) == 0x0000FF; }

// The mean column of the pixels that pass `test`, or -1 when none does.
template <typename Test>
double MeanColumn(const QImage& picture, Test test) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (test(picture.pixel(x, y))) {
                sum += x;
                ++n;
            }
        }
    }
    return n ? sum / n : -1;
}

class RenderSceneCommand : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder_ / "data" / "texture");
        for (const auto& [name, colour] :
             {std::pair{"red.bmp", Qt::red}, {"green.bmp", Qt::green}}) {
            QImage image(8, 8, QImage::Format_RGB888);
            image.fill(colour);
            ASSERT_TRUE(image.save(
                QString::fromStdString((folder_ / "data" / "texture" / name).string()), "BMP"));
        }
    }

    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        cli_test::WriteBytes(folder_ / name, bytes);
    }

    // Runs "plovant-cli render" with `args` in the test folder.
    CliRun Render(const std::string& args) { return cli_test::RunCli(folder_, "render " + args); }

    // Renders `file` square with the test's data folder; the picture, or a null one.
    QImage Picture(const std::string& file, const std::string& options) {
        const CliRun run = Render(file + " --data data -o out.png --size " + std::to_string(kSide) +
                                  "x" + std::to_string(kSide) + " " + options);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        QImage image(QString::fromStdString((folder_ / "out.png").string()));
        fs::remove(folder_ / "out.png");
        return image.convertToFormat(QImage::Format_RGB32);
    }

    cli_test::ScratchFolder scratch_{"cli-render-scene"};
    const fs::path folder_ = scratch_.path();
};

// Where a point of the model (as centred) lands with the model untilted: the camera
// stands 1.5 extents in front, and the 60° field of view maps x / distance · cot 30° to
// the picture's half width.
QPoint Projected(double x, double y, double extent) {
    const double scale = 1.0 / std::tan(M_PI / 6);
    const double distance = 1.5 * extent;
    return QPoint(static_cast<int>(std::lround(kSide / 2.0 * (1 + scale * x / distance))),
                  static_cast<int>(std::lround(kSide / 2.0 * (1 - scale * y / distance))));
}

TEST_F(RenderSceneCommand, TheChildStandsWhereItsMatricesPutIt) {
    Write("pair.rsm", testing::WriteRsmScene(BaseAndArm()));
    const QImage picture = Picture("pair.rsm", "--scene --tilt 0");
    ASSERT_EQ(picture.size(), QSize(kSide, kSide));

    // Placed, the pair spans x 0…3 and y 0…2; centred whole: the base covers x -1.5…-0.5,
    // y -1…0 and the arm x 0.5…1.5, y -1…1. The extent is 3.
    EXPECT_PRED1(IsGreen, picture.pixel(Projected(1.0, 0.0, 3)));   // the arm's middle
    EXPECT_PRED1(IsGreen, picture.pixel(Projected(1.0, 0.75, 3)));  // the arm, turned upright
    EXPECT_PRED1(IsRed, picture.pixel(Projected(-1.0, -0.5, 3)));   // the base's middle
    EXPECT_PRED1(IsBlue, picture.pixel(Projected(-1.0, 0.5, 3)));   // above the base
    EXPECT_PRED1(IsBlue, picture.pixel(Projected(0.0, 0.0, 3)));    // between the two
    EXPECT_PRED1(IsBlue,
                 picture.pixel(Projected(2.0, -0.5, 3)));  // where an unturned arm would reach
}

TEST_F(RenderSceneCommand, TimeMovesTheKeyedChild) {
    // 2.2 at 10 frames a second: the arm's position keys take it from 2 units right of
    // the base (frame 0) to 2 units left of it (frame 10, one second).
    scene::Scene s = BaseAndArm();
    s.version = {2, 2};
    s.fps = 10.0f;
    s.animation_length = 10;
    s.nodes[1] = Rectangle("arm", "base", 1, 1);
    s.nodes[1].texture_ids = {1};
    s.nodes[1].position_keys = {{0, {2, 0, 0}, 0}, {10, {-2, 0, 0}, 0}};
    Write("keyed.rsm2", testing::WriteRsmScene(s));

    const QImage start = Picture("keyed.rsm2", "--scene --tilt 0");
    const QImage end = Picture("keyed.rsm2", "--scene --tilt 0 --time 1000");
    const QImage past_end = Picture("keyed.rsm2", "--scene --tilt 0 --time 1e9");
    EXPECT_GT(MeanColumn(start, IsGreen), MeanColumn(start, IsRed) + 40);
    EXPECT_LT(MeanColumn(end, IsGreen), MeanColumn(end, IsRed) - 40);
    EXPECT_EQ(past_end, end);
}

TEST_F(RenderSceneCommand, BothSidesOfATwoSidedFaceAreDrawn) {
    scene::Scene s = BaseAndArm();
    for (scene::Face& f : s.nodes[1].faces) f.two_sided = true;
    Write("pair.rsm", testing::WriteRsmScene(s));
    // Tilted half a turn about x the camera sees the faces' backs.
    const QImage back = Picture("pair.rsm", "--scene --tilt 180");
    EXPECT_GT(MeanColumn(back, IsGreen), kSide / 2.0);
    EXPECT_PRED1(IsGreen, back.pixel(Projected(1.0, 0.0, 3)));
}

TEST_F(RenderSceneCommand, EachTextureNotFoundIsNamedAndTheStandByDrawn) {
    scene::Scene s = BaseAndArm();
    s.version = {2, 3};
    s.textures.clear();
    s.nodes[0].texture_ids.clear();
    s.nodes[1].texture_ids.clear();
    s.nodes[0].textures = {"red.bmp"};
    s.nodes[1].textures = {"gone\\ARM.bmp"};
    Write("pair.rsm2", testing::WriteRsmScene(s));
    const CliRun run = Render("pair.rsm2 --scene --data data -o out.png");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err,
              "plovant-cli: warning: pair.rsm2: texture \"gone\\ARM.bmp\" not found in "
              "data; the stand-by bitmap is drawn\n");
    EXPECT_TRUE(fs::exists(folder_ / "out.png"));
}

TEST_F(RenderSceneCommand, PlainRenderFallsBackToTheSceneLayer) {
    // Volume boxes after the nodes: the first reader takes them for another mesh and
    // fails; render then draws the scene layer's model, as the viewer shows it.
    scene::Scene s = BaseAndArm();
    scene::VolumeBox box;
    box.size = {1, 1, 1};
    s.volume_boxes = {box};
    Write("boxed.rsm", testing::WriteRsmScene(s));
    const QImage plain = Picture("boxed.rsm", "--tilt 0");
    const QImage scene = Picture("boxed.rsm", "--scene --tilt 0");
    EXPECT_EQ(plain, scene);
    EXPECT_PRED1(IsGreen, plain.pixel(Projected(1.0, 0.0, 3)));
}

TEST_F(RenderSceneCommand, InfoAndConvertFollowTheSameRule) {
    scene::Scene s = BaseAndArm();
    s.version = {2, 2};
    s.nodes[1].offset = {3, 0, 0};  // 2.x: the node's place in the model
    Write("PAIR.RSM2", testing::WriteRsmScene(s));

    const CliRun info_run = cli_test::RunCli(folder_, "info PAIR.RSM2");
    ASSERT_EQ(info_run.status, 0) << info_run.err;
    const std::string& info = info_run.out;
    EXPECT_NE(info.find("Meshes: 2\r\nTextures: 2\r\nMesh #1\r\nName: base\r\n"), std::string::npos)
        << info;
    EXPECT_NE(info.find("Mesh #2\r\nName: arm\r\nParent Mesh: base\r\n"), std::string::npos)
        << info;

    // The first mesh written is the first node as placed: the arm stands at x 3…5, so
    // the pair spans x 0…5 and y 0…1; centred whole, the base lies at x -2.5…-1.5.
    ASSERT_EQ(cli_test::RunCli(folder_, "convert PAIR.RSM2").status, 0);
    const std::vector<uint8_t> b = testing::ReadFileBytes(folder_ / "PAIR.3ds");
    const testing::Chunk root = testing::ParseFile(b);
    const testing::Chunk* mesh = root.children[1].children[2].child(0x4100);
    ASSERT_NE(mesh, nullptr);
    const testing::Chunk* points = mesh->child(0x4110);
    ASSERT_EQ(testing::U16At(b, points->data), 4);
    const float expected[4][2] = {{-2.5f, -0.5f}, {-1.5f, -0.5f}, {-1.5f, 0.5f}, {-2.5f, 0.5f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(testing::F32At(b, points->data + 2 + 12 * i), expected[i][0]) << i;
        EXPECT_FLOAT_EQ(testing::F32At(b, points->data + 6 + 12 * i), expected[i][1]) << i;
    }
}

TEST_F(RenderSceneCommand, RefusesWhatItCannotRead) {
    Write("pair.rsm", testing::WriteRsmScene(BaseAndArm()));
    scene::Scene old = BaseAndArm();
    old.version = {2, 0};
    Write("old.rsm2", testing::WriteRsmScene(old));

    CliRun run = Render("old.rsm2 --scene -o out.png");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("old.rsm2"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("2.0"), std::string::npos) << run.err;

    run = Render("pair.rsm -o out.png --time 0");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--time needs --scene"), std::string::npos) << run.err;
    for (const char* bad : {"-0.001", "nan", "inf", "1e999", "5ms"}) {
        SCOPED_TRACE(bad);
        run = Render(std::string("pair.rsm --scene -o out.png --time ") + bad);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("not a time"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(folder_ / "out.png"));
    // The first time accepted.
    EXPECT_EQ(Render("pair.rsm --scene --data data -o out.png --time 0").status, 0);
}

}  // namespace
}  // namespace plovant
