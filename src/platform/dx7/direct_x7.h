// The root object of our DirectX 7 subset: creates DirectDraw objects and offers the
// utility operations of the DirectX 7 root (window rectangle, colours, matrices).
//
// A SystemConfig describes the machine the layer pretends to run on: display mode,
// Direct3D devices, depth and texture formats. The default is what this software
// implementation offers; tests pass their own to exercise other machines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/dx7/dx7_types.h"
#include "platform/dx7/enumerations.h"

namespace plovant {
class PlatformWindow;
}

namespace plovant::dx7 {

struct DisplayMode {
    int32_t width = 1024;
    int32_t height = 768;
    int32_t bits_per_pixel = 32;  // 8, 16, 24 or 32
    int32_t refresh_rate = 60;
    bool operator==(const DisplayMode&) const = default;
};

struct SystemConfig {
    // The display mode GetDisplayMode reports. Unset: the primary screen's size and depth
    // when a Qt GUI application with a screen exists, else 1024 × 768 × 32.
    std::optional<DisplayMode> display_mode;
    // The Direct3D devices, in enumeration order. All draw with the same rasteriser.
    std::vector<DeviceDescription> devices;
    // Depth formats offered by GetEnumZBufferFormats, in order.
    std::vector<DDPIXELFORMAT> zbuffer_formats;
    // Texture formats offered by GetTextureFormatsEnum, in order.
    std::vector<DDPIXELFORMAT> texture_formats;
};

// The default machine: two software devices, "RGB Emulation" and then "Plovant Software
// Rasterizer"; one 16-bit depth format; texture formats A1R5G5B5, A4R4G4B4, A8R8G8B8,
// X8R8G8B8, X1R5G5B5, R5G6B5 (so X1R5G5B5 is the first 16-bit format without alpha).
SystemConfig DefaultSystemConfig();

// The display mode in force for `config` (see SystemConfig::display_mode).
DisplayMode CurrentDisplayMode(const SystemConfig& config);

class DirectX7 {
public:
    DirectX7();
    explicit DirectX7(SystemConfig config);

    const SystemConfig& Config() const { return config_; }

    // A DirectDraw object of the display driver. `guid` empty (or "DDRAW_DEFAULT")
    // means the default driver, the only one; anything else throws
    // DDERR_INVALIDDIRECTDRAWGUID.
    DirectDraw7Ptr DirectDrawCreate(const std::string& guid);

    // The window's outer rectangle in screen pixels. A null window throws DDERR_NOHWND.
    void GetWindowRect(const PlatformWindow* window, RECT& rect) const;

    // 0xAARRGGBB from components 0..1 (clamped, rounded).
    D3DCOLOR CreateColorRGBA(float r, float g, float b, float a) const;
    D3DCOLOR CreateColorRGB(float r, float g, float b) const { return CreateColorRGBA(r, g, b, 1); }

    // The matrix and vertex builders of the root object; they give the results of the
    // functions of the same names in render/math/d3d_math.h.
    void IdentityMatrix(D3DMATRIX& dest) const;
    void RotateXMatrix(D3DMATRIX& dest, float radians) const;
    void RotateZMatrix(D3DMATRIX& dest, float radians) const;
    void MatrixMultiply(D3DMATRIX& dest, const D3DMATRIX& a, const D3DMATRIX& b) const;
    void ViewMatrix(D3DMATRIX& dest, const D3DVECTOR& from, const D3DVECTOR& at,
                    const D3DVECTOR& up, float roll) const;
    void ProjectionMatrix(D3DMATRIX& dest, float near_plane, float far_plane, float fov) const;
    void CreateD3DVertex(float x, float y, float z, float nx, float ny, float nz, float tu,
                         float tv, D3DVERTEX& v) const;

private:
    SystemConfig config_;
};

}  // namespace plovant::dx7
