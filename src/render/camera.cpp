// UpdateCamera: the camera state and the frame's spin become the device's view and world
// transforms.
#include <cmath>
#include <numbers>

#include "platform/dx7/direct3d_device7.h"
#include "render/camera.h"
#include "render/math/d3d_math.h"

namespace plovant {

D3DVECTOR LookAtPoint(const CameraState& camera) {
    const double yaw = camera.CameraYaw / 180.0 * std::numbers::pi;
    const double pitch = camera.CameraPitch / 180.0 * std::numbers::pi;
    D3DVECTOR target;
    target.x = static_cast<float>(kLookDistance * std::sin(yaw) + camera.CameraPos.x);
    target.y = static_cast<float>(kLookDistance * std::sin(pitch) + camera.CameraPos.y);
    // The sum of the two cosines, not their product: with yaw = pitch = 0 the camera looks
    // 20 units ahead along +Z.
    target.z = static_cast<float>((kLookDistance * std::cos(pitch) + camera.CameraPos.z) +
                                  kLookDistance * std::cos(yaw));
    return target;
}

CameraTransforms ComputeCameraTransforms(const CameraState& camera, float spin) {
    CameraTransforms result;
    ViewMatrix(result.view, camera.CameraPos, LookAtPoint(camera), MakeVector(0, 1, 0), 0.0f);

    D3DMATRIX spin_matrix;
    RotateZMatrix(spin_matrix, spin / kSpinDivisor);
    D3DMATRIX tilt_matrix;
    RotateXMatrix(tilt_matrix,
                  static_cast<float>(double{camera.ModelTilt} * std::numbers::pi / 180.0));
    // Turned about Z first, then about X.
    MatrixMultiply(result.world, spin_matrix, tilt_matrix);
    return result;
}

void UpdateCamera(dx7::Direct3DDevice7& device, const CameraState& camera, float spin) {
    const CameraTransforms transforms = ComputeCameraTransforms(camera, spin);
    device.SetTransform(dx7::D3DTRANSFORMSTATE_VIEW, transforms.view);
    device.SetTransform(dx7::D3DTRANSFORMSTATE_WORLD, transforms.world);
}

}  // namespace plovant
