// The input rules of the camera: which presses, moves, keys and menu clicks change what,
// measured in twips from the press.
#include <gtest/gtest.h>

#include "render/camera.h"

namespace plovant {
namespace {

CameraState CameraAfterOpen(float extent) {
    CameraState camera;
    ResetCamera(camera, extent);
    return camera;
}

TEST(CameraInput, FreshStateHasTiltOf120AndEverythingElseZero) {
    const CameraState camera;
    EXPECT_EQ(camera.ModelTilt, 120.0f);
    EXPECT_EQ(camera.CameraPos.x, 0.0f);
    EXPECT_EQ(camera.CameraPos.y, 0.0f);
    EXPECT_EQ(camera.CameraPos.z, 0.0f);
    EXPECT_EQ(camera.CameraYaw, 0.0);
    EXPECT_EQ(camera.CameraPitch, 0.0);
}

TEST(CameraInput, ResetPutsCameraOneAndAHalfExtentsInFrontAndKeepsTiltAndDragState) {
    CameraState camera;
    camera.CameraPos = {3, 4, 5};
    camera.CameraYaw = 33;
    camera.CameraPitch = -7;
    camera.ModelTilt = 135;
    camera.DragStart = {11, 12};
    camera.DragCameraPos = {1, 2, 3};
    camera.DragPitch = 4;
    camera.DragYaw = 5;

    ResetCamera(camera, 10.0f);

    EXPECT_EQ(camera.CameraPos.x, 0.0f);
    EXPECT_EQ(camera.CameraPos.y, 0.0f);
    EXPECT_EQ(camera.CameraPos.z, -15.0f);
    EXPECT_EQ(camera.CameraYaw, 0.0);
    EXPECT_EQ(camera.CameraPitch, 0.0);
    EXPECT_EQ(camera.DragCameraPos.z, -15.0);
    EXPECT_EQ(camera.ModelTilt, 135.0f);
    EXPECT_EQ(camera.DragStart.x, 11.0f);
    EXPECT_EQ(camera.DragStart.y, 12.0f);
    EXPECT_EQ(camera.DragCameraPos.x, 1.0);
    EXPECT_EQ(camera.DragCameraPos.y, 2.0);
    EXPECT_EQ(camera.DragPitch, 4.0);
    EXPECT_EQ(camera.DragYaw, 5.0);
}

TEST(CameraInput, PlainLeftDragOf1500TwipsUpMovesCamera15UnitsTowardsPlusZ) {
    CameraState camera = CameraAfterOpen(10.0f);
    CameraMouseDown(camera, kLeftButton, kNoModifier, 3000, 3000);
    CameraMouseMove(camera, kLeftButton, kNoModifier, 3000, 1500);
    EXPECT_EQ(camera.CameraPos.z, 0.0f);
    EXPECT_EQ(camera.CameraPos.x, 0.0f);
    EXPECT_EQ(camera.CameraPos.y, 0.0f);
    EXPECT_EQ(camera.CameraYaw, 0.0);
    EXPECT_EQ(camera.CameraPitch, 0.0);
    // Moves are measured from the press, not from the previous move.
    CameraMouseMove(camera, kLeftButton, kNoModifier, 3000, 4500);
    EXPECT_EQ(camera.CameraPos.z, -30.0f);
}

TEST(CameraInput, CtrlDragOf30TwipsTurnsOneDegree) {
    CameraState camera = CameraAfterOpen(10.0f);
    camera.CameraYaw = 10;
    camera.CameraPitch = 20;
    CameraMouseDown(camera, kLeftButton, kCtrlModifier, 600, 600);
    // 30 twips to the left: dx = +30 lowers the yaw by one degree.
    CameraMouseMove(camera, kLeftButton, kCtrlModifier, 570, 600);
    EXPECT_DOUBLE_EQ(camera.CameraYaw, 9.0);
    EXPECT_DOUBLE_EQ(camera.CameraPitch, 20.0);
    // 30 twips up: dy = +30 raises the pitch by one degree.
    CameraMouseMove(camera, kLeftButton, kCtrlModifier, 600, 570);
    EXPECT_DOUBLE_EQ(camera.CameraYaw, 10.0);
    EXPECT_DOUBLE_EQ(camera.CameraPitch, 21.0);
    EXPECT_EQ(camera.CameraPos.z, -15.0f);
}

TEST(CameraInput, CtrlDragThatEndsWhereItStartedRestoresTheAnglesExactly) {
    CameraState camera = CameraAfterOpen(10.0f);
    camera.CameraYaw = 0.1;
    camera.CameraPitch = -1.0 / 3.0;
    CameraMouseDown(camera, kLeftButton, kCtrlModifier, 1234.5f, 987.25f);
    const float path[][2] = {{1300, 900}, {17, 4000.5f}, {-250, -13}, {1234.5f, 987.25f}};
    for (const auto& p : path) CameraMouseMove(camera, kLeftButton, kCtrlModifier, p[0], p[1]);
    EXPECT_EQ(camera.CameraYaw, 0.1);
    EXPECT_EQ(camera.CameraPitch, -1.0 / 3.0);
}

TEST(CameraInput, ShiftDragMovesCameraSidewaysAndUp) {
    CameraState camera = CameraAfterOpen(10.0f);
    CameraMouseDown(camera, kLeftButton, kShiftModifier, 1000, 1000);
    // 200 twips to the left and 300 up: x grows by 2, y by 3.
    CameraMouseMove(camera, kLeftButton, kShiftModifier, 800, 700);
    EXPECT_FLOAT_EQ(camera.CameraPos.x, 2.0f);
    EXPECT_FLOAT_EQ(camera.CameraPos.y, 3.0f);
    EXPECT_EQ(camera.CameraPos.z, -15.0f);
    EXPECT_EQ(camera.CameraYaw, 0.0);
}

TEST(CameraInput, OtherButtonsAndModifierCombinationsChangeNothing) {
    struct Case {
        int button, shift;
    };
    const Case cases[] = {
        {kRightButton, kNoModifier},
        {kRightButton, kCtrlModifier},
        {kMiddleButton, kNoModifier},
        {kLeftButton | kRightButton, kNoModifier},
        {kLeftButton, kShiftModifier | kCtrlModifier},
        {kLeftButton, kAltModifier},
        {kLeftButton, kCtrlModifier | kAltModifier},
        {0, kNoModifier},
    };
    for (const Case& c : cases) {
        CameraState camera = CameraAfterOpen(10.0f);
        camera.CameraYaw = 5;
        camera.CameraPitch = 6;
        CameraMouseDown(camera, c.button, c.shift, 100, 100);
        CameraMouseMove(camera, c.button, c.shift, 700, -900);
        EXPECT_EQ(camera.CameraPos.x, 0.0f) << c.button << "/" << c.shift;
        EXPECT_EQ(camera.CameraPos.y, 0.0f) << c.button << "/" << c.shift;
        EXPECT_EQ(camera.CameraPos.z, -15.0f) << c.button << "/" << c.shift;
        EXPECT_EQ(camera.CameraYaw, 5.0) << c.button << "/" << c.shift;
        EXPECT_EQ(camera.CameraPitch, 6.0) << c.button << "/" << c.shift;
    }
}

TEST(CameraInput, PressWithAnyButtonRecordsTheDragReferences) {
    CameraState camera;
    camera.CameraPos = {1.5f, -2.25f, 7.0f};
    camera.CameraYaw = 12;
    camera.CameraPitch = -3;
    CameraMouseDown(camera, kRightButton, kShiftModifier | kCtrlModifier, 45, 90);
    EXPECT_EQ(camera.DragStart.x, 45.0f);
    EXPECT_EQ(camera.DragStart.y, 90.0f);
    EXPECT_EQ(camera.DragCameraPos.x, 1.5);
    EXPECT_EQ(camera.DragCameraPos.y, -2.25);
    EXPECT_EQ(camera.DragCameraPos.z, 7.0);
    EXPECT_EQ(camera.DragYaw, 12.0);
    EXPECT_EQ(camera.DragPitch, -3.0);
}

TEST(CameraInput, FourRotateClicksTurnTiltFrom120To180WithoutWrapping) {
    CameraState camera;
    for (int i = 0; i < 4; ++i) RotateModel(camera);
    EXPECT_EQ(camera.ModelTilt, 180.0f);
    for (int i = 0; i < 16; ++i) RotateModel(camera);
    EXPECT_EQ(camera.ModelTilt, 420.0f);
}

TEST(CameraInput, OnlyEscapeAsksToClose) {
    EXPECT_TRUE(CameraKeyDown(kKeyEscape, kNoModifier));
    EXPECT_TRUE(CameraKeyDown(kKeyEscape, kShiftModifier));
    EXPECT_FALSE(CameraKeyDown(13, kNoModifier));
    EXPECT_FALSE(CameraKeyDown('Q', kCtrlModifier));
}

}  // namespace
}  // namespace plovant
