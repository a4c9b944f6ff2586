// Frames of the bundled sample models, opened as the viewer opens them and drawn by the
// real software device into an off-screen window of the viewer's size, checked for what
// a person would see.
#include <gtest/gtest.h>

#include <QImage>
#include <set>
#include <string>

#include "platform/platform_window.h"
#include "render/model_view.h"
#include "render/render_scene.h"

namespace plovant {
namespace {

const std::string kData = std::string(PLOVANT_SAMPLES_DIR) + "/data";
constexpr QRgb kBlue = 0xFF0000FFu;
constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kMagenta = 0xFFFF00FFu;

// The viewer with one sample open, drawing into a 427 × 389 off-screen window.
struct SampleView {
    explicit SampleView(const std::string& name) : window(QRect(0, 0, 427, 389)) {
        InitDirect3D(device, &window);
        opened = ReadViewModel(kData + "/" + name);
        ResetViewCamera(camera, opened.extent);
        textures = LoadViewTextures(device, opened.model, kData, PLOVANT_BIN_DIR);
    }
    QImage Frame() {
        RunFrameStep(spin, camera, device, opened.model, textures, settings,
                     FrameHooks{&window, {}, &buffers});
        return window.Picture().copy();
    }

    OffscreenWindow window;
    DeviceState device;
    OpenedModel opened;
    std::vector<dx7::SurfacePtr> textures;
    CameraState camera;
    Settings settings;
    float spin = 0;
    DrawBuffers buffers;
};

struct Coverage {
    int count = 0;  // pixels that are not background
    double cx = 0, cy = 0;  // their centre
    QRect box;
    std::set<QRgb> colors;
};

Coverage Measure(const QImage& picture) {
    Coverage c;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            if (p == kBlue) continue;
            ++c.count;
            c.cx += x;
            c.cy += y;
            c.box |= QRect(x, y, 1, 1);
            c.colors.insert(p);
        }
    }
    if (c.count > 0) {
        c.cx /= c.count;
        c.cy /= c.count;
    }
    return c;
}

int CountColor(const QImage& picture, QRgb color) {
    int n = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) n += picture.pixel(x, y) == color;
    }
    return n;
}

class SampleFrames : public ::testing::TestWithParam<const char*> {};

TEST_P(SampleFrames, ModelStandsTexturedInTheMiddleOfABlueBackground) {
    SampleView view(GetParam());
    const QImage picture = view.Frame();
    ASSERT_EQ(picture.size(), QSize(427, 389));
    EXPECT_EQ(picture.pixel(0, 0), kBlue);
    EXPECT_EQ(picture.pixel(426, 0), kBlue);
    EXPECT_EQ(picture.pixel(0, 388), kBlue);
    EXPECT_EQ(picture.pixel(426, 388), kBlue);

    const Coverage c = Measure(picture);
    const int total = 427 * 389;
    EXPECT_GT(c.count, total / 30) << "the model is too small or out of view";
    EXPECT_LT(c.count, total * 9 / 10);
    EXPECT_GT(c.cx, 427 * 0.25);
    EXPECT_LT(c.cx, 427 * 0.75);
    EXPECT_GT(c.cy, 389 * 0.2);
    EXPECT_LT(c.cy, 389 * 0.8);
    // Textures show many colours; an untextured frame is white on blue only.
    EXPECT_GT(c.colors.size(), 20u);

    view.settings.Textured = false;
    const Coverage plain = Measure(view.Frame());
    ASSERT_GT(plain.count, 0);
    EXPECT_EQ(plain.colors, std::set<QRgb>{kWhite});
}

TEST_P(SampleFrames, WireframeShowsTheEdgesOnly) {
    SampleView solid_view(GetParam());
    SampleView wire_view(GetParam());
    wire_view.settings.Wireframe = true;
    const QImage solid = solid_view.Frame();
    const QImage wire = wire_view.Frame();
    EXPECT_NE(solid, wire);
    const Coverage s = Measure(solid), w = Measure(wire);
    EXPECT_GT(w.count, 0);
    EXPECT_LT(w.count, s.count);
    // The edges lie where the solid model is.
    EXPECT_TRUE(s.box.adjusted(-2, -2, 2, 2).contains(w.box));
}

TEST_P(SampleFrames, TheModelTurnsFromFrameToFrame) {
    SampleView view(GetParam());
    const QImage first = view.Frame();
    for (int i = 0; i < 50; ++i) view.Frame();
    EXPECT_NE(first, view.Frame());
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleFrames,
                         ::testing::Values("house.rsm", "windmill.rsm", "tree.rsm",
                                           "fountain.rsm"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

TEST(SampleFrames, KeyedMagentaOfTheLeavesIsTransparent) {
    SampleView view("tree.rsm");
    for (const bool smooth : {false, true}) {
        view.settings.Smooth = smooth;
        EXPECT_EQ(CountColor(view.Frame(), kMagenta), 0) << "smooth " << smooth;
    }
    // Without colour keying the same frame shows the magenta around the leaves: the
    // keyed texels are in view.
    view.device.D3DDevice->SetRenderState(dx7::D3DRENDERSTATE_COLORKEYENABLE, 0);
    view.settings.Smooth = false;
    EXPECT_GT(CountColor(view.Frame(), kMagenta), 100);
}

TEST(SampleFrames, CameraDragsMoveThePicture) {
    SampleView view("house.rsm");
    const Coverage before = Measure(view.Frame());
    // A Shift-drag to the left (dx > 0) moves the camera a third of the model's extent
    // towards +X, so the model moves left on the screen.
    CameraMouseDown(view.camera, kLeftButton, kShiftModifier, 3000, 3000);
    CameraMouseMove(view.camera, kLeftButton, kShiftModifier,
                    3000 - 100 * view.opened.extent / 3, 3000);
    view.spin -= kSpinStep;  // the same spin as the frame before
    const Coverage after = Measure(view.Frame());
    EXPECT_LT(after.cx, before.cx - 20);

    // A plain drag down backs the camera away: the model gets smaller.
    view.camera = CameraState{};
    ResetViewCamera(view.camera, view.opened.extent);
    CameraMouseDown(view.camera, kLeftButton, kNoModifier, 3000, 3000);
    CameraMouseMove(view.camera, kLeftButton, kNoModifier, 3000, 3000 + 100 * view.opened.extent);
    view.spin -= kSpinStep;
    const Coverage farther = Measure(view.Frame());
    EXPECT_LT(farther.count, before.count / 2);
}

}  // namespace
}  // namespace plovant
