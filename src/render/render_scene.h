// One frame of the open model: RenderScene clears the back buffer, sets the texture filter
// and fill mode, draws the model in a scene, lets the window's pending events run and
// presents the picture in the window. RunFrameStep is one pass of the frame loop.
#pragma once

#include <functional>
#include <vector>

#include "app/settings.h"
#include "device/direct3d_setup.h"
#include "model/rsm_model.h"
#include "render/camera.h"
#include "render/draw_model.h"

namespace plovant {

class PlatformWindow;

// The background every frame clears to: pure blue (Direct3D ARGB 0x000000FF).
inline constexpr dx7::D3DCOLOR kBackgroundColor = 0x000000FF;

// What the window supplies to a frame.
struct FrameHooks {
    // The main window: its outer rectangle becomes WindowRect, where the back buffer is
    // presented. Required (without it the frame fails with DDERR_NOHWND).
    PlatformWindow* window = nullptr;
    // One pass of the window's event pump, run after the scene has ended and before the
    // presentation. Returns false when the frame must not be presented: the window was
    // closed, or an open replaced the running frame loop. Empty: no events to run.
    std::function<bool()> process_events;
    // Vertex storage reused between frames; null: DrawModel makes its own.
    DrawBuffers* buffers = nullptr;
    // Waits for the display's next refresh, run right before the picture is presented.
    // A window on a display sets it; off-screen drawing leaves it empty and is not paced.
    std::function<void()> wait_for_refresh;
};

// Draws one frame, in this order:
//   1. Clear ClearRects[0] to kBackgroundColor, with the depth reset to 1.0 when
//      ClearDepth is on;
//   2. magnification filter of stage 0: linear when Smooth is on, point when off;
//   3. fill mode: wireframe when Wireframe is on, solid when off;
//   4. BeginScene; 5. DrawModel (textured when Textured is on); 6. EndScene;
//   7. WindowRect = the window's outer rectangle;
//   8. the window's pending events (hooks.process_events);
//   9. unless step 8 said otherwise or shut the device down: the wait for the display's
//      refresh (hooks.wait_for_refresh), then Blt of BackBuffer (SourceRect) onto
//      PrimarySurface at WindowRect, with DDBLT_WAIT; the primary surface's clipper hands
//      the picture to the window.
// The transforms are not touched: UpdateCamera sets the view and world before.
//
// A failure of any step is raised as plovant::Error with the device's result code (lack
// of memory as DDERR_OUTOFMEMORY) and no further step runs. A scene begun by this frame is
// ended first, so the next frame can begin its own. Errors raised by the event pass
// itself are passed on unchanged.
void RenderScene(DeviceState& device, const RsmModel& model,
                 const std::vector<dx7::SurfacePtr>& texture_surfaces, const Settings& settings,
                 const FrameHooks& hooks);

// One pass of the frame loop: model_spin += 0.02, UpdateCamera with it, RenderScene.
void RunFrameStep(float& model_spin, const CameraState& camera, DeviceState& device,
                  const RsmModel& model, const std::vector<dx7::SurfacePtr>& texture_surfaces,
                  const Settings& settings, const FrameHooks& hooks);

}  // namespace plovant
