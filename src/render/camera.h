// The free camera of the main window and the turning model: the state that mouse drags,
// the Escape key and the Rotate 15° item change, and UpdateCamera, which turns that state
// and the frame's spin into the device's view and world transforms.
//
// Mouse positions are in twips (15 per pixel at 96 dots per inch) from the top left of
// the client area, y downwards. Angles are held in degrees.
#pragma once

#include "render/math/d3d_types.h"

namespace plovant {

namespace dx7 {
class Direct3DDevice7;
}

// Distance from the camera to its look-at point, along each of the three terms.
inline constexpr double kLookDistance = 10.0;
// A drag of this many twips moves the camera one unit.
inline constexpr float kDragMoveDivisor = 100.0f;
// A drag of this many twips turns the camera one degree.
inline constexpr float kDragTurnDivisor = 30.0f;
// The camera starts this many model extents in front of the model.
inline constexpr float kCameraBackOff = 1.5f;
// Degrees added to the tilt by one Rotate 15° click.
inline constexpr float kTiltStep = 15.0f;
// The tilt of the model when the window has loaded.
inline constexpr float kStartTilt = 120.0f;
// Spin added before every frame, and the divisor that turns spin into radians.
inline constexpr float kSpinStep = 0.02f;
inline constexpr float kSpinDivisor = 10.0f;

// Mouse buttons and modifier keys as the input rules see them. Only the exact values
// count: the left button alone, no modifier, Shift alone or Ctrl alone.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;
inline constexpr int kNoModifier = 0;
inline constexpr int kShiftModifier = 1;
inline constexpr int kCtrlModifier = 2;
inline constexpr int kAltModifier = 4;

inline constexpr int kKeyEscape = 27;

struct DragPoint {
    float x = 0, y = 0;
};

struct DragPosition {
    double x = 0, y = 0, z = 0;
};

// The camera and tilt state the main window keeps. A freshly made state is the state
// right after the window has loaded: everything 0, the tilt 120 degrees.
struct CameraState {
    D3DVECTOR CameraPos;      // camera position in world units
    double CameraYaw = 0;     // degrees; turns the look direction about the vertical
    double CameraPitch = 0;   // degrees; tilts the look direction up and down
    float ModelTilt = kStartTilt;  // degrees; world rotation about X
    DragPoint DragStart;       // mouse position at the last button press
    DragPosition DragCameraPos;  // CameraPos at the last button press
    double DragPitch = 0;      // CameraPitch at the last button press
    double DragYaw = 0;        // CameraYaw at the last button press
};

// The two transforms UpdateCamera hands to the device.
struct CameraTransforms {
    D3DMATRIX view;
    D3DMATRIX world;
};

// The look-at point of the camera: CameraPos plus ten times (sin yaw, sin pitch,
// cos pitch + cos yaw), each component computed in double and stored as float.
D3DVECTOR LookAtPoint(const CameraState& camera);

// The view matrix (looking from CameraPos at LookAtPoint, up +Y) and the world matrix
// (spin / 10 radians about Z, then ModelTilt degrees about X) for one frame.
CameraTransforms ComputeCameraTransforms(const CameraState& camera, float spin);

// Sets the device's view transform, then its world transform, from the camera and the
// frame's spin. A device failure is raised as plovant::Error with the device's result
// code; when the view transform fails, the world transform is left alone.
void UpdateCamera(dx7::Direct3DDevice7& device, const CameraState& camera, float spin);

// A mouse button went down (any button, any modifiers): remember where, and the camera
// as it is now, so that the following moves are measured from here.
void CameraMouseDown(CameraState& camera, int button, int shift, float x, float y);

// The mouse moved. Only with the left button alone held: no modifier moves the camera
// along Z (dragging up moves it towards +Z), Ctrl turns it (pitch and yaw), Shift moves
// it in X and Y. Any other button or modifier combination changes nothing.
void CameraMouseMove(CameraState& camera, int button, int shift, float x, float y);

// A key went down. Returns true when the key asks to close the main window (Escape);
// every other key is ignored and changes nothing.
bool CameraKeyDown(int key_code, int shift);

// The Rotate 15° menu item: the tilt grows by 15 degrees, without wrapping at 360.
void RotateModel(CameraState& camera);

// The camera reset of a model open: the camera goes to (0, 0, -1.5 × extent) looking
// along +Z, yaw and pitch 0, and the drag reference depth follows. The tilt, the drag
// start, the other drag references and the drag angles keep their values.
void ResetCamera(CameraState& camera, float model_extent);

}  // namespace plovant
