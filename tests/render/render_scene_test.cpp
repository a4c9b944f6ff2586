// RenderScene and the frame step: the calls of one frame in their order, the switches they
// follow, the event pass between the scene and the presentation, and failures.
#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform_window.h"
#include "recording_device.h"
#include "render/render_scene.h"

namespace plovant {
namespace {

using test_support::DeviceCall;
using test_support::RecordingDevice;
using Kind = DeviceCall::Kind;

// One mesh, one face, two texture slots of which only the first is used.
RsmModel OneTriangle() {
    RsmMesh mesh;
    mesh.Vertices = {{-3, -3, 0}, {3, -3, 0}, {0, 3, 0}};
    mesh.VertexCount = 3;
    mesh.TexVertices.resize(3);
    mesh.TexVertexCount = 3;
    RsmFace face;
    face.V0 = 0;
    face.V1 = 1;
    face.V2 = 2;
    face.T0 = 0;
    face.T1 = 1;
    face.T2 = 2;
    mesh.Faces = {face};
    mesh.FaceCount = 1;
    mesh.TextureIds = {0, 0};
    mesh.TextureCount = 2;
    RsmModel model;
    model.MeshCount = 1;
    model.Meshes = {mesh, RsmMesh{}};
    model.TextureCount = 1;
    model.TextureNames.resize(2);
    return model;
}

// A device set up for an off-screen window, as the viewer sets it up for its window.
struct Viewer {
    explicit Viewer(QRect outer = QRect(200, 100, 64, 48)) : window(outer) {
        InitDirect3D(device, &window);
    }
    // Puts a recording device in place of the real one (recording only).
    RecordingDevice& Record(bool perform = false) {
        auto recorder = std::make_shared<RecordingDevice>(device.BackBuffer, perform);
        device.D3DDevice = recorder;
        return *recorder;
    }
    FrameHooks Hooks() { return FrameHooks{&window, {}, &buffers}; }

    OffscreenWindow window;
    DeviceState device;
    DrawBuffers buffers;
};

std::vector<Kind> Kinds(const std::vector<DeviceCall>& calls) {
    std::vector<Kind> kinds;
    for (const DeviceCall& c : calls) kinds.push_back(c.kind);
    return kinds;
}

TEST(RenderScene, OneFrameRunsItsStepsInOrderAndPresentsAfterTheEvents) {
    Viewer viewer;
    RecordingDevice& device = viewer.Record();
    const RsmModel model = OneTriangle();
    const std::vector<dx7::SurfacePtr> textures(2);
    const Settings settings;

    size_t calls_before_events = 0;
    int presented_before_events = -1;
    FrameHooks hooks = viewer.Hooks();
    hooks.process_events = [&] {
        calls_before_events = device.calls.size();
        presented_before_events = viewer.window.PresentCount();
        return true;
    };
    RenderScene(viewer.device, model, textures, settings, hooks);

    EXPECT_EQ(Kinds(device.calls),
              (std::vector<Kind>{Kind::Clear, Kind::SetTextureStageState, Kind::SetRenderState,
                                 Kind::BeginScene, Kind::SetTexture, Kind::DrawPrimitive,
                                 Kind::SetTexture, Kind::DrawPrimitive, Kind::EndScene}));
    const DeviceCall& clear = device.calls[0];
    EXPECT_EQ(clear.a, 1);
    ASSERT_EQ(clear.rects.size(), 1u);
    EXPECT_EQ(clear.rects[0], (dx7::D3DRECT{0, 0, 64, 48}));
    EXPECT_EQ(clear.value, 3u);  // D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER
    EXPECT_EQ(clear.color, 0x000000FFu);
    EXPECT_EQ(clear.z, 1.0f);
    EXPECT_EQ(clear.stencil, 0u);
    EXPECT_EQ(device.calls[1].a, 0);
    EXPECT_EQ(device.calls[1].b, 16);         // D3DTSS_MAGFILTER
    EXPECT_EQ(device.calls[1].value, 2u);     // D3DTFG_LINEAR
    EXPECT_EQ(device.calls[2].a, 8);          // D3DRENDERSTATE_FILLMODE
    EXPECT_EQ(device.calls[2].value, 3u);     // D3DFILL_SOLID

    EXPECT_EQ(calls_before_events, device.calls.size());
    EXPECT_EQ(presented_before_events, 0);
    EXPECT_EQ(viewer.window.PresentCount(), 1);
    EXPECT_EQ(viewer.device.WindowRect, (dx7::RECT{200, 100, 264, 148}));
}

TEST(RenderScene, FilterFillModeDepthClearAndTexturesFollowTheSwitches) {
    Viewer viewer;
    RecordingDevice& device = viewer.Record();
    const RsmModel model = OneTriangle();
    const std::vector<dx7::SurfacePtr> textures = {viewer.device.BackBuffer, nullptr};
    Settings settings;
    settings.Smooth = false;
    settings.Wireframe = true;
    settings.ClearDepth = false;
    settings.Textured = false;
    RenderScene(viewer.device, model, textures, settings, viewer.Hooks());

    EXPECT_EQ(device.calls[0].value, 1u);  // colour only
    EXPECT_EQ(device.calls[1].value, 1u);  // D3DTFG_POINT
    EXPECT_EQ(device.calls[2].value, 2u);  // D3DFILL_WIREFRAME
    for (const DeviceCall& c : device.Calls(Kind::SetTexture)) EXPECT_EQ(c.texture, nullptr);

    device.calls.clear();
    settings = Settings{};
    RenderScene(viewer.device, model, textures, settings, viewer.Hooks());
    EXPECT_EQ(device.calls[0].value, 3u);
    EXPECT_EQ(device.calls[1].value, 2u);
    EXPECT_EQ(device.calls[2].value, 3u);
    EXPECT_EQ(device.Calls(Kind::SetTexture)[0].texture, viewer.device.BackBuffer);
}

TEST(RenderScene, AFrameWhoseEventsSayNoIsNotPresented) {
    Viewer viewer;
    viewer.Record();
    FrameHooks hooks = viewer.Hooks();
    hooks.process_events = [] { return false; };
    RenderScene(viewer.device, OneTriangle(), {}, Settings{}, hooks);
    EXPECT_EQ(viewer.window.PresentCount(), 0);

    // Events that shut the device down leave nothing to present, and nothing fails.
    hooks.process_events = [&] {
        std::vector<dx7::SurfacePtr> none;
        ShutdownDirect3D(viewer.device, none);
        return true;
    };
    RenderScene(viewer.device, OneTriangle(), {}, Settings{}, hooks);
    EXPECT_EQ(viewer.window.PresentCount(), 0);
}

TEST(RenderScene, TheRefreshWaitComesAfterTheEventsAndRightBeforeThePresent) {
    Viewer viewer;
    FrameHooks hooks = viewer.Hooks();
    std::vector<std::string> order;
    hooks.process_events = [&] {
        order.push_back("events");
        return true;
    };
    hooks.wait_for_refresh = [&] {
        order.push_back("wait, " + std::to_string(viewer.window.PresentCount()) + " presented");
    };
    RenderScene(viewer.device, OneTriangle(), {}, Settings{}, hooks);
    EXPECT_EQ(order, (std::vector<std::string>{"events", "wait, 0 presented"}));
    EXPECT_EQ(viewer.window.PresentCount(), 1);

    // A frame that is not presented does not wait for the display either.
    order.clear();
    hooks.process_events = [&] {
        order.push_back("events");
        return false;
    };
    RenderScene(viewer.device, OneTriangle(), {}, Settings{}, hooks);
    EXPECT_EQ(order, std::vector<std::string>{"events"});
    EXPECT_EQ(viewer.window.PresentCount(), 1);
}

TEST(RenderScene, MovedWindowIsFollowedAtTheNextFrameAndTheBufferKeepsItsSize) {
    Viewer viewer(QRect(0, 0, 64, 48));
    const Settings settings;
    RenderScene(viewer.device, RsmModel{}, {}, settings, viewer.Hooks());
    viewer.window.SetGeometry(QRect(30, 40, 128, 96), QRect(30, 40, 128, 96));
    RenderScene(viewer.device, RsmModel{}, {}, settings, viewer.Hooks());
    EXPECT_EQ(viewer.device.WindowRect, (dx7::RECT{30, 40, 158, 136}));
    EXPECT_EQ(viewer.device.BackBuffer->Width(), 64);
    // The back buffer is stretched into the new rectangle: blue everywhere.
    const QImage& picture = viewer.window.Picture();
    EXPECT_EQ(picture.pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(picture.pixel(127, 95), 0xFF0000FFu);
}

TEST(RenderScene, AModelWithNothingToDrawStillClearsToBlueAndPresents) {
    Viewer viewer(QRect(0, 0, 40, 30));
    RsmModel model = OneTriangle();
    model.Meshes[0].TextureIds.clear();
    model.Meshes[0].TextureCount = 0;
    RenderScene(viewer.device, model, {}, Settings{}, viewer.Hooks());
    EXPECT_EQ(viewer.window.PresentCount(), 1);
    const QImage& picture = viewer.window.Picture();
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) ASSERT_EQ(picture.pixel(x, y), 0xFF0000FFu);
    }
}

TEST(RenderScene, DeviceFailureIsRaisedWithItsCodeAndTheNextFrameStillWorks) {
    Viewer viewer;
    RecordingDevice& device = viewer.Record(true);
    device.FailAtCall(5, dx7::D3DERR_INVALIDVERTEXTYPE);  // the first DrawPrimitive
    bool events_ran = false;
    FrameHooks hooks = viewer.Hooks();
    hooks.process_events = [&] {
        events_ran = true;
        return true;
    };
    try {
        RenderScene(viewer.device, OneTriangle(), {}, Settings{}, hooks);
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), dx7::D3DERR_INVALIDVERTEXTYPE);
    }
    EXPECT_FALSE(events_ran);
    EXPECT_EQ(viewer.window.PresentCount(), 0);
    EXPECT_FALSE(device.InScene());  // the scene was ended for the next frame

    device.FailAtCall(1000000, 0);
    EXPECT_NO_THROW(RenderScene(viewer.device, OneTriangle(), {}, Settings{}, hooks));
    EXPECT_EQ(viewer.window.PresentCount(), 1);
}

TEST(RenderScene, MissingWindowIsADeviceFailure) {
    Viewer viewer;
    FrameHooks hooks = viewer.Hooks();
    hooks.window = nullptr;
    try {
        RenderScene(viewer.device, OneTriangle(), {}, Settings{}, hooks);
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), dx7::DDERR_NOHWND);
    }
}

TEST(FrameStep, SpinGrowsBy002BeforeEachFrameAndReachesTheWorldTransform) {
    Viewer viewer;
    RecordingDevice& device = viewer.Record();
    CameraState camera;
    ResetCamera(camera, 10);
    float spin = 0;
    RunFrameStep(spin, camera, viewer.device, OneTriangle(), {}, Settings{}, viewer.Hooks());
    EXPECT_EQ(spin, 0.02f);
    RunFrameStep(spin, camera, viewer.device, OneTriangle(), {}, Settings{}, viewer.Hooks());
    EXPECT_EQ(spin, 0.02f + 0.02f);

    const auto transforms = device.Calls(Kind::SetTransform);
    ASSERT_EQ(transforms.size(), 4u);
    const CameraTransforms expected = ComputeCameraTransforms(camera, 0.04f);
    EXPECT_EQ(transforms[2].a, dx7::D3DTRANSFORMSTATE_VIEW);
    EXPECT_EQ(transforms[3].a, dx7::D3DTRANSFORMSTATE_WORLD);
    EXPECT_EQ(0, std::memcmp(&transforms[3].matrix, &expected.world, sizeof(D3DMATRIX)));
    // The camera is set before the frame is drawn.
    EXPECT_EQ(device.calls[0].kind, Kind::SetTransform);
    EXPECT_EQ(device.calls[2].kind, Kind::Clear);
    EXPECT_EQ(viewer.window.PresentCount(), 2);
}

}  // namespace
}  // namespace plovant
