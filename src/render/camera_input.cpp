// What mouse drags, keys, the Rotate 15° item and a model open do to the camera state.
// Every drag is measured from the press, so moves never accumulate rounding error.
#include "render/camera.h"

namespace plovant {

void CameraMouseDown(CameraState& camera, int /*button*/, int /*shift*/, float x, float y) {
    camera.DragStart = {x, y};
    camera.DragCameraPos = {camera.CameraPos.x, camera.CameraPos.y, camera.CameraPos.z};
    camera.DragPitch = camera.CameraPitch;
    camera.DragYaw = camera.CameraYaw;
}

void CameraMouseMove(CameraState& camera, int button, int shift, float x, float y) {
    const float dx = camera.DragStart.x - x;
    const float dy = camera.DragStart.y - y;
    if (button != kLeftButton) return;
    switch (shift) {
        case kNoModifier:
            camera.CameraPos.z =
                static_cast<float>(double{dy / kDragMoveDivisor} + camera.DragCameraPos.z);
            break;
        case kCtrlModifier:
            camera.CameraPitch = double{dy / kDragTurnDivisor} + camera.DragPitch;
            camera.CameraYaw = camera.DragYaw - double{dx / kDragTurnDivisor};
            break;
        case kShiftModifier:
            camera.CameraPos.x =
                static_cast<float>(double{dx / kDragMoveDivisor} + camera.DragCameraPos.x);
            camera.CameraPos.y =
                static_cast<float>(double{dy / kDragMoveDivisor} + camera.DragCameraPos.y);
            break;
        default:
            break;
    }
}

bool CameraKeyDown(int key_code, int /*shift*/) { return key_code == kKeyEscape; }

void RotateModel(CameraState& camera) { camera.ModelTilt = camera.ModelTilt + kTiltStep; }

void ResetCamera(CameraState& camera, float model_extent) {
    // Exact in double; the camera position keeps it rounded to float.
    const double depth = -double{kCameraBackOff} * model_extent;
    camera.CameraPos = {0.0f, 0.0f, static_cast<float>(depth)};
    camera.DragCameraPos.z = depth;
    camera.CameraYaw = 0;
    camera.CameraPitch = 0;
}

}  // namespace plovant
