// Files of every RSM version opened through File, Open: where the first reader refuses a
// file, or its name ends in "rsm2", the node tree is shown assembled, with the caption,
// the information text, the textures window and Save As as for any model. A file both
// readers refuse keeps the previous model and names both problems.
#include <QComboBox>

#include "export/tds_file.h"
#include "gui_test_support.h"
#include "model/rsm_model.h"
#include "render/model_view.h"
#include "scene/scene_reader.h"
#include "support/error_of.h"
#include "support/rsm_scene_writer.h"
#include "ui/info_window.h"
#include "ui/picture_widget.h"
#include "ui/textures_window.h"

namespace plovant::testing {
namespace {

// A unit quad in x and y, texture slot 0.
scene::Node QuadNode(const std::string& name, const std::string& parent) {
    scene::Node n;
    n.name = name;
    n.parent = parent;
    n.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    n.texture_vertices = {
        {0xFFFFFFFF, 0, 0}, {0xFFFFFFFF, 1, 0}, {0xFFFFFFFF, 1, 1}, {0xFFFFFFFF, 0, 1}};
    scene::Face a, b;
    a.vertices = a.texture_vertices = {0, 1, 2};
    b.vertices = b.texture_vertices = {0, 2, 3};
    n.faces = {a, b};
    return n;
}

// Two quads side by side: "base" (red texture) and its child "arm" (green), which its
// transform puts one unit along x. Drawn where the file lays them, without the node
// transforms, the two would cover each other.
scene::Scene SideBySide(scene::Version version) {
    scene::Scene s;
    s.version = version;
    s.alpha = 0xFF;
    s.root_nodes = {"base"};
    scene::Node base = QuadNode("base", "");
    scene::Node arm = QuadNode("arm", "base");
    if (version.IsV2()) {
        s.fps = 30.0f;
        arm.offset = {1, 0, 0};  // 2.x: where the node stands in the model
    } else {
        arm.position = {1, 0, 0};  // 1.x: where the node stands in its parent
    }
    if (version.AtLeast(2, 3)) {
        base.textures = {"red.bmp"};
        arm.textures = {"green.bmp"};
    } else {
        s.textures = {"red.bmp", "green.bmp"};
        base.texture_ids = {0};
        arm.texture_ids = {1};
    }
    s.nodes = {base, arm};
    return s;
}

struct VersionCase {
    const char* file;
    scene::Version version;
};

void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.file; }

class SceneOpenTest : public GuiTest, public ::testing::WithParamInterface<VersionCase> {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        WriteBitmap(Texture("red.bmp"), Qt::red);
        WriteBitmap(Texture("green.bmp"), Qt::green);
    }
};

struct Colours {
    int red = 0, green = 0, blue = 0;
    double red_x = 0, green_x = 0;
};

Colours Count(const QImage& picture) {
    Colours c;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor p = picture.pixelColor(x, y);
            if (p.red() > 160 && p.green() < 90 && p.blue() < 90) {
                ++c.red;
                c.red_x += x;
            } else if (p.green() > 160 && p.red() < 90 && p.blue() < 90) {
                ++c.green;
                c.green_x += x;
            } else if ((picture.pixel(x, y) & 0xFFFFFF) == 0x0000FF) {
                ++c.blue;
            }
        }
    }
    if (c.red) c.red_x /= c.red;
    if (c.green) c.green_x /= c.green;
    return c;
}

TEST_P(SceneOpenTest, OpensAssembledWithCaptionInformationAndTextures) {
    const VersionCase& param = GetParam();
    scene::Scene s = SideBySide(param.version);
    if (!param.version.IsV2()) {
        // Volume boxes after the nodes are what the first reader takes for another mesh.
        scene::VolumeBox box;
        box.size = {1, 2, 3};
        box.flag = 0;
        s.volume_boxes = {box, box};
    }
    if (param.version.minor == 6) {
        s.nodes[1].scale_keys = {{0, glm::vec3(1.0f), 0}};  // present, changing nothing
    }
    const std::filesystem::path file = Root() / param.file;
    WriteFile(file, WriteRsmScene(s));
    if (!param.version.IsV2()) {
        RsmModel unread;
        EXPECT_NE(ErrorOf([&] { LoadRsm(file, unread); }), 0) << "the first reader reads it";
    }

    MainWindow& w = Window();
    Open(file);
    ASSERT_TRUE(dialogs_.messages.empty()) << dialogs_.messages[0].text;
    EXPECT_EQ(w.windowTitle().toStdString(), std::string("Plovant - [") + param.file + "]");
    EXPECT_TRUE(w.mnuSave()->isEnabled());
    ASSERT_EQ(w.Model().MeshCount, 2);

    // The information text: one block per node, names as the file gives them.
    w.mnuFileInfo()->trigger();
    const std::string info = w.ExistingInfoWindow()->Text();
    EXPECT_NE(info.find("Meshes: 2\r\nTextures: 2\r\nMesh #1\r\nName: base\r\nParent Mesh: \r\n"
                        "No. Textures: 1\r\nNo. Vertices: 4\r\nNo. Faces: 2\r\n"),
              std::string::npos)
        << info;
    EXPECT_NE(info.find("Mesh #2\r\nName: arm\r\nParent Mesh: base\r\n"), std::string::npos)
        << info;
    EXPECT_TRUE(
        info.ends_with("Textures loaded:\r\nTexture 1: red.bmp\r\nTexture 2: green.bmp\r\n"))
        << info;

    TexturesWindow* tex = w.ExistingTexturesWindow();
    ASSERT_NE(tex, nullptr);
    EXPECT_TRUE(tex->isVisible());
    ASSERT_EQ(tex->cboTex()->count(), 2);
    EXPECT_EQ(tex->cboTex()->itemText(1), "green.bmp");

    // The whole model is framed: 2 units wide, centred, the camera 1.5 widths away.
    EXPECT_FLOAT_EQ(w.ModelExtent(), 2.0f);
    EXPECT_FLOAT_EQ(w.Camera().CameraPos.z, -3.0f);

    Frames(2);
    const Colours c = Count(w.DrawingArea()->Picture());
    const int pixels = w.DrawingArea()->Picture().width() * w.DrawingArea()->Picture().height();
    EXPECT_GT(c.blue, pixels / 4);
    // Both quads are in view, the same size, the child to the right of its parent.
    EXPECT_GT(c.red, pixels / 40);
    EXPECT_GT(c.green, pixels / 40);
    EXPECT_NEAR(c.red, c.green, c.red / 5);
    EXPECT_GT(c.green_x - c.red_x, 50.0);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, SceneOpenTest,
                         ::testing::Values(VersionCase{"boxes14.rsm", {1, 4}},
                                           VersionCase{"scaled16.rsm", {1, 6}},
                                           VersionCase{"ship22.rsm2", {2, 2}},
                                           VersionCase{"SHIP23.RSM2", {2, 3}}),
                         [](const auto& info) {
                             return "V" + std::to_string(info.param.version.major) +
                                    std::to_string(info.param.version.minor);
                         });

using SceneOpenFallbackTest = GuiTest;

TEST_F(SceneOpenFallbackTest, TheDialogOffersBothEndingsAfterTheFirstFilter) {
    WriteFile(Root() / "m.rsm", QuadModel({}));
    Open(Root() / "m.rsm");
    ASSERT_EQ(dialogs_.requests.size(), 1u);
    EXPECT_EQ(dialogs_.requests[0].filter,
              "Ragnarok Model files (*.rsm)|*.rsm|"
              "Ragnarok Model files of every version (*.rsm *.rsm2)|*.rsm;*.rsm2");
}

TEST_F(SceneOpenFallbackTest, FilesTheFirstReaderReadsOpenThroughItAsBefore) {
    // A one-node 1.4 file without anything after its node is read by the first reader:
    // its first mesh takes the main node's name and the node's name as its parent.
    scene::Scene s = SideBySide({1, 4});
    s.root_nodes = {"main"};
    s.nodes.resize(1);
    RsmWriteOptions options;
    options.volume_boxes = false;
    WriteFile(Root() / "one.rsm", WriteRsmScene(s, options));
    RsmModel direct;
    ASSERT_EQ(ErrorOf([&] { LoadRsm(Root() / "one.rsm", direct); }), 0);

    MainWindow& w = Window();
    Open(Root() / "one.rsm");
    ASSERT_TRUE(dialogs_.messages.empty()) << dialogs_.messages[0].text;
    EXPECT_EQ(TextOf(w.Model().Meshes[0].Name), "main");
    EXPECT_EQ(TextOf(w.Model().Meshes[0].ParentName), "base");
}

TEST_F(SceneOpenFallbackTest, AFileBothReadersRefuseNamesBothProblemsAndKeepsTheModel) {
    WriteBitmap(Texture("red.bmp"), Qt::red);
    WriteFile(Root() / "good.rsm", QuadModel({"red.bmp"}, 4.0f));
    // A bitmap under a model's name: the first reader reads past its end, the scene layer
    // finds no known version.
    WriteFile(Root() / "picture.rsm", {'B', 'M', 0x36, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0});
    std::vector<uint8_t> cut = WriteRsmScene(SideBySide({2, 3}));
    cut.resize(cut.size() - 7);
    WriteFile(Root() / "cut.rsm2", cut);

    MainWindow& w = Window();
    Open(Root() / "good.rsm");
    Frames(1);
    const dx7::SurfacePtr texture = w.TextureSurfaces()[0];

    for (const char* name : {"picture.rsm", "cut.rsm2"}) {
        SCOPED_TRACE(name);
        const std::filesystem::path path = Root() / name;
        std::string first, second;
        try {
            ReadViewModel(path);
        } catch (const Error& e) {
            first = e.description();
        }
        try {
            scene::LoadScene(path);
        } catch (const Error& e) {
            second = e.description();
        }
        ASSERT_FALSE(second.empty());
        // A ".rsm2" file is the scene layer's alone: whatever the first reader makes of a
        // 2.x file (here it reads the cut one without complaint) is no model.
        const bool rsm2 = std::string(name).ends_with(".rsm2");
        EXPECT_EQ(first.empty(), rsm2) << first;

        dialogs_.messages.clear();
        Open(path);
        ASSERT_EQ(dialogs_.messages.size(), 1u);
        const std::string& text = dialogs_.messages[0].text;
        const std::string prefix = path.string() + ": ";
        ASSERT_TRUE(second.starts_with(prefix)) << second;
        EXPECT_EQ(text, "Cannot open " + path.string() + ":\n" +
                            (rsm2 ? second
                                  : first + "\nRead as an RSM file of any version: " +
                                        second.substr(prefix.size())));

        EXPECT_EQ(w.windowTitle(), "Plovant - [good.rsm]");
        EXPECT_EQ(w.Model().MeshCount, 1);
        EXPECT_EQ(w.ModelExtent(), 4.0f);
        EXPECT_EQ(w.TextureSurfaces()[0], texture);
        EXPECT_EQ(w.LoopStarts(), 1);
    }
}

TEST_F(SceneOpenFallbackTest, AMissingFileIsReportedOnceAsMissing) {
    MainWindow& w = Window();
    Open(Root() / "absent.rsm");
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    const std::string& text = dialogs_.messages[0].text;
    EXPECT_NE(text.find("file not found"), std::string::npos) << text;
    EXPECT_EQ(text.find("any version"), std::string::npos) << text;
    EXPECT_FALSE(w.ViewRunning());
}

TEST_F(SceneOpenFallbackTest, SaveAsWritesTheFirstNodePlaced) {
    WriteFile(Root() / "pair.rsm2", WriteRsmScene(SideBySide({2, 2})));
    MainWindow& w = Window();
    Open(Root() / "pair.rsm2");
    ASSERT_TRUE(dialogs_.messages.empty()) << dialogs_.messages[0].text;
    dialogs_.Answer((Root() / "pair.3ds").string());
    w.mnuSave()->trigger();
    ASSERT_TRUE(dialogs_.messages.empty()) << dialogs_.messages[0].text;

    // The base is the first node; the whole pair (x from 0 to 2, y from 0 to 1) is
    // centred, so the base's corners lie at x -1 and 0, y -0.5 and 0.5.
    const std::vector<uint8_t> b = ReadFileBytes(Root() / "pair.3ds");
    const Chunk root = ParseFile(b);
    const Chunk* mesh = root.children[1].children[2].child(0x4100);
    ASSERT_NE(mesh, nullptr);
    const Chunk* points = mesh->child(0x4110);
    ASSERT_EQ(U16At(b, points->data), 4);
    const float expected[4][3] = {{-1, -0.5f, 0}, {0, -0.5f, 0}, {0, 0.5f, 0}, {-1, 0.5f, 0}};
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_FLOAT_EQ(F32At(b, points->data + 2 + 12 * i + 4 * k), expected[i][k])
                << "vertex " << i << " coordinate " << k;
        }
    }
}

}  // namespace
}  // namespace plovant::testing
