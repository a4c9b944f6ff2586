// The program's connection to the graphics device: the DirectDraw and Direct3D objects,
// the screen surface, the off-screen render target with its depth buffer and the device,
// created once for the main window and released at the end.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "errors/error.h"
#include "platform/dx7/dx7.h"

namespace plovant {

// The device-layer objects and values that set-up creates and the frame code, texture
// loading and the settings dialog use.
struct DeviceState {
    dx7::DirectX7Ptr DX;  // created by InitDirect3D when null; a test may put its own here
    dx7::DirectDraw7Ptr DDraw;
    dx7::Direct3D7Ptr D3D;
    dx7::Direct3DDevice7Ptr D3DDevice;
    dx7::SurfacePtr PrimarySurface;
    dx7::SurfacePtr BackBuffer;
    dx7::SurfacePtr ZBuffer;
    // Set-up's last description: after InitDirect3D it holds the display mode, which the
    // settings dialog uses as its display-mode filter.
    dx7::DDSURFACEDESC2 SurfaceDesc;
    dx7::RECT WindowRect;   // the main window's outer rectangle, screen pixels
    dx7::RECT SourceRect;   // (0, 0, width, height) of BackBuffer
    std::array<dx7::D3DRECT, 2> ClearRects{};  // [0] the whole target, [1] all zero
    std::vector<std::string> DeviceNames;     // the Direct3D devices in enumeration order
    int16_t DeviceIndex = 0;                  // index of the device in use (the last)
};

// Error number of the colour-depth refusal, and its message (shown with an OK button,
// no icon, the program's title; the program then ends).
inline constexpr int32_t kErrColorDepth = dx7::DDERR_UNSUPPORTEDMODE;
inline constexpr const char* kColorDepthMessage =
    "This application does not support screen display "
    "modes lower than 16-bit.";

// Sets up the device for `window` (the main window): DirectDraw at the normal
// cooperative level, the primary surface with a clipper bound to the window, a back
// buffer and a 16-bit depth buffer the size of the window's outer rectangle, the last
// Direct3D device enumerated, its viewport, render states (white ambient, colour keying,
// lighting, no culling, z-buffering with LESSEQUAL), one point light, one material, and
// identity world, look-at view and perspective projection transforms.
//
// Failures throw plovant::Error: a display of 8 bits or less throws kErrColorDepth with
// kColorDepthMessage; any other failure carries the DirectX result code of the
// operation that failed (or DDERR_GENERIC with "No Direct3D device is available." when
// no device is enumerated) and a description naming the step. The objects created before
// a failure stay in `state`.
void InitDirect3D(DeviceState& state, PlatformWindow* window);

// Releases the texture surfaces (each element set to null) and then BackBuffer,
// PrimarySurface, D3DDevice, D3D, DDraw and DX (and ZBuffer with BackBuffer). Does
// nothing when DDraw does not exist. Never throws.
void ShutdownDirect3D(DeviceState& state, std::vector<dx7::SurfacePtr>& texture_surfaces);

}  // namespace plovant
