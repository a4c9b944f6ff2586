// The Direct3D object of a DirectDraw object: lists devices and depth formats, creates
// devices.
#pragma once

#include <memory>
#include <string>

#include "platform/dx7/direct_x7.h"
#include "platform/dx7/dx7_types.h"

namespace plovant::dx7 {

class Direct3D7 {
public:
    explicit Direct3D7(SystemConfig config);

    // The devices, in the order of SystemConfig::devices.
    Direct3DEnumDevicesPtr GetDevicesEnum() const;

    // The depth formats of device `guid` (SystemConfig::zbuffer_formats); an unknown
    // GUID throws D3DERR_INVALID_DEVICE.
    Direct3DEnumPixelFormatsPtr GetEnumZBufferFormats(const std::string& guid) const;

    // A device of kind `guid` drawing into `render_target`, which must be a 32-bit colour
    // surface created with DDSCAPS_3DDEVICE (else DDERR_INVALIDCAPS /
    // DDERR_INVALIDPIXELFORMAT). An unknown GUID throws D3DERR_INVALID_DEVICE. Its depth
    // buffer is the one attached to the render target when drawing.
    Direct3DDevice7Ptr CreateDevice(const std::string& guid, SurfacePtr render_target);

    const SystemConfig& Config() const { return config_; }

private:
    bool KnowsDevice(const std::string& guid) const;
    SystemConfig config_;
};

}  // namespace plovant::dx7
