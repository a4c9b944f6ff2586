// UpdateCamera: the look-at point, the view and world transforms it hands the device.
#include <gtest/gtest.h>

#include <cmath>

#include "recording_device.h"
#include "render/camera.h"
#include "render/math/d3d_math.h"

namespace plovant {
namespace {

using test_support::DeviceCall;
using test_support::RecordingDevice;

void ExpectMatrixNear(const D3DMATRIX& actual, const D3DMATRIX& expected, float tolerance) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(actual.at(r, c), expected.at(r, c), tolerance) << "_" << r + 1 << c + 1;
        }
    }
}

D3DMATRIX Identity() {
    D3DMATRIX m;
    IdentityMatrix(m);
    return m;
}

// The point p (row vector, w = 1) transformed by m.
D3DVECTOR Transform(const D3DVECTOR& p, const D3DMATRIX& m) {
    return {p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41,
            p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42,
            p.x * m._13 + p.y * m._23 + p.z * m._33 + m._43};
}

TEST(Camera, AfterOpeningAModelOfExtent10TheCameraLooksAlongZFrom15Back) {
    CameraState camera;
    ResetCamera(camera, 10.0f);
    const D3DVECTOR target = LookAtPoint(camera);
    EXPECT_EQ(target.x, 0.0f);
    EXPECT_EQ(target.y, 0.0f);
    EXPECT_EQ(target.z, 5.0f);  // the sum of both cosines: −15 + 10 + 10

    const CameraTransforms t = ComputeCameraTransforms(camera, 0.0f);
    D3DMATRIX expected = Identity();
    expected._43 = 15.0f;
    ExpectMatrixNear(t.view, expected, 0.0f);
}

TEST(Camera, WorldAtTilt120AndNoSpinIsTheRotationAboutX) {
    CameraState camera;  // tilt 120 after the window loads
    const CameraTransforms t = ComputeCameraTransforms(camera, 0.0f);
    D3DMATRIX expected = Identity();
    expected._22 = expected._33 = -0.5f;
    expected._23 = 0.8660254f;
    expected._32 = -0.8660254f;
    ExpectMatrixNear(t.world, expected, 1e-6f);
}

TEST(Camera, SpinTurnsAboutZFirstThenTheTiltAboutX) {
    CameraState camera;
    camera.ModelTilt = 90;
    const float spin = 0.02f * 785;  // spin / 10 close to π/2
    const CameraTransforms t = ComputeCameraTransforms(camera, spin);
    // (1, 0, 0) turns about Z to (cos, sin, 0), which the tilt of 90° about X takes to
    // (cos, 0, sin). Tilting first and spinning second would give (cos, sin, 0).
    const D3DVECTOR p = Transform({1, 0, 0}, t.world);
    EXPECT_NEAR(p.x, std::cos(spin / 10.0f), 1e-6f);
    EXPECT_NEAR(p.y, 0.0f, 1e-6f);
    EXPECT_NEAR(p.z, std::sin(spin / 10.0f), 1e-6f);

    D3DMATRIX spin_matrix, tilt_matrix, expected;
    RotateZMatrix(spin_matrix, spin / 10.0f);
    RotateXMatrix(tilt_matrix, static_cast<float>(90.0 * M_PI / 180.0));
    MatrixMultiply(expected, spin_matrix, tilt_matrix);
    ExpectMatrixNear(t.world, expected, 0.0f);
}

TEST(Camera, YawAndPitchTurnTheLookAtPoint) {
    CameraState camera;
    camera.CameraPos = {1, 2, 3};
    camera.CameraYaw = 90;
    const D3DVECTOR right = LookAtPoint(camera);
    EXPECT_FLOAT_EQ(right.x, 11.0f);
    EXPECT_FLOAT_EQ(right.y, 2.0f);
    EXPECT_NEAR(right.z, 13.0f, 1e-5f);  // cos 0 + cos 90°

    camera.CameraYaw = 0;
    camera.CameraPitch = 30;
    const D3DVECTOR up = LookAtPoint(camera);
    EXPECT_FLOAT_EQ(up.x, 1.0f);
    EXPECT_FLOAT_EQ(up.y, 7.0f);
    EXPECT_FLOAT_EQ(up.z, static_cast<float>(10 * std::cos(M_PI / 6) + 3 + 10));

    // Yaw 180 makes the look direction vanish; the view stays a finite matrix.
    camera.CameraPitch = 0;
    camera.CameraYaw = 180;
    const CameraTransforms t = ComputeCameraTransforms(camera, 0.0f);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_TRUE(std::isfinite(t.view.at(r, c)));
    }
}

TEST(Camera, UpdateCameraSetsTheViewAndThenTheWorldTransform) {
    CameraState camera;
    ResetCamera(camera, 10.0f);
    camera.CameraYaw = 12;
    camera.CameraPitch = -5;
    RecordingDevice device;
    UpdateCamera(device, camera, 0.42f);

    ASSERT_EQ(device.calls.size(), 2u);
    const CameraTransforms expected = ComputeCameraTransforms(camera, 0.42f);
    EXPECT_EQ(device.calls[0].kind, DeviceCall::Kind::SetTransform);
    EXPECT_EQ(device.calls[0].a, dx7::D3DTRANSFORMSTATE_VIEW);
    ExpectMatrixNear(device.calls[0].matrix, expected.view, 0.0f);
    EXPECT_EQ(device.calls[1].a, dx7::D3DTRANSFORMSTATE_WORLD);
    ExpectMatrixNear(device.calls[1].matrix, expected.world, 0.0f);
}

TEST(Camera, FailedViewTransformStopsBeforeTheWorld) {
    CameraState camera;
    RecordingDevice device;
    device.FailAtCall(0, dx7::D3DERR_INVALIDMATRIX);
    try {
        UpdateCamera(device, camera, 0.0f);
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), dx7::D3DERR_INVALIDMATRIX);
    }
    EXPECT_EQ(device.calls.size(), 1u);
}

}  // namespace
}  // namespace plovant
