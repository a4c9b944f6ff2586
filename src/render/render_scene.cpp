// RenderScene and the frame loop's step.
#include "render/render_scene.h"

#include <new>

#include "errors/error.h"
#include "platform/dx7/dx7.h"

namespace plovant {
namespace {

// Ends the scene this frame began when a step inside it failed, so that the device is
// ready for the next frame. The failure being raised is what counts; a second one here is
// dropped.
class SceneGuard {
public:
    explicit SceneGuard(dx7::Direct3DDevice7& device) : device_(device) { device_.BeginScene(); }
    ~SceneGuard() {
        if (!ended_ && device_.InScene()) {
            try {
                device_.EndScene();
            } catch (...) {
            }
        }
    }
    void End() {
        ended_ = true;
        device_.EndScene();
    }

private:
    dx7::Direct3DDevice7& device_;
    bool ended_ = false;
};

dx7::Direct3DDevice7& RequireDevice(const DeviceState& device) {
    if (!device.D3DDevice) {
        throw Error(dx7::D3DERR_INVALID_DEVICE, "RenderScene: the Direct3D device does not exist.");
    }
    return *device.D3DDevice;
}

// Steps 1 to 7: the picture in the back buffer and the window's rectangle.
void DrawFrame(DeviceState& device, const RsmModel& model,
               const std::vector<dx7::SurfacePtr>& texture_surfaces, const Settings& settings,
               const FrameHooks& hooks) {
    dx7::Direct3DDevice7& d3d = RequireDevice(device);
    const uint32_t clear_flags =
        dx7::D3DCLEAR_TARGET | (settings.ClearDepth ? dx7::D3DCLEAR_ZBUFFER : 0u);
    d3d.Clear(1, &device.ClearRects[0], clear_flags, kBackgroundColor, 1.0f, 0);
    d3d.SetTextureStageState(0, dx7::D3DTSS_MAGFILTER,
                             settings.Smooth ? dx7::D3DTFG_LINEAR : dx7::D3DTFG_POINT);
    d3d.SetRenderState(dx7::D3DRENDERSTATE_FILLMODE,
                       settings.Wireframe ? dx7::D3DFILL_WIREFRAME : dx7::D3DFILL_SOLID);
    {
        SceneGuard scene(d3d);
        DrawModel(d3d, model, texture_surfaces, settings.Textured, hooks.buffers);
        scene.End();
    }
    if (!device.DX) throw Error(dx7::DDERR_INVALIDOBJECT, "RenderScene: DirectX does not exist.");
    device.DX->GetWindowRect(hooks.window, device.WindowRect);
}

// Step 9: the back buffer onto the screen inside the window.
void Present(DeviceState& device) {
    if (!device.PrimarySurface || !device.BackBuffer) return;  // shut down by the events
    device.PrimarySurface->Blt(device.WindowRect, device.BackBuffer, device.SourceRect,
                               dx7::DDBLT_WAIT);
}

[[noreturn]] void ThrowOutOfMemory() {
    throw Error(dx7::DDERR_OUTOFMEMORY, "RenderScene: not enough memory to draw the frame.");
}

}  // namespace

void RenderScene(DeviceState& device, const RsmModel& model,
                 const std::vector<dx7::SurfacePtr>& texture_surfaces, const Settings& settings,
                 const FrameHooks& hooks) {
    try {
        DrawFrame(device, model, texture_surfaces, settings, hooks);
    } catch (const std::bad_alloc&) {
        ThrowOutOfMemory();
    }

    // Whatever the events change (model, textures, settings, camera) shows in the next
    // frame; this one presents the picture drawn before they ran.
    if (hooks.process_events && !hooks.process_events()) return;
    if (hooks.wait_for_refresh) hooks.wait_for_refresh();

    try {
        Present(device);
    } catch (const std::bad_alloc&) {
        ThrowOutOfMemory();
    }
}

void RunFrameStep(float& model_spin, const CameraState& camera, DeviceState& device,
                  const RsmModel& model, const std::vector<dx7::SurfacePtr>& texture_surfaces,
                  const Settings& settings, const FrameHooks& hooks) {
    model_spin += kSpinStep;
    UpdateCamera(RequireDevice(device), camera, model_spin);
    RenderScene(device, model, texture_surfaces, settings, hooks);
}

}  // namespace plovant
