#include "platform/dx7/direct3d7.h"

#include <algorithm>
#include <utility>

#include "platform/dx7/direct3d_device7.h"
#include "platform/dx7/direct_draw_surface7.h"
#include "platform/dx7/dx_error.h"
#include "platform/dx7/enumerations.h"

namespace plovant::dx7 {

Direct3D7::Direct3D7(SystemConfig config) : config_(std::move(config)) {}

bool Direct3D7::KnowsDevice(const std::string& guid) const {
    return std::any_of(config_.devices.begin(), config_.devices.end(),
                       [&](const DeviceDescription& d) { return d.guid == guid; });
}

Direct3DEnumDevicesPtr Direct3D7::GetDevicesEnum() const {
    return std::make_shared<Direct3DEnumDevices>(config_.devices);
}

Direct3DEnumPixelFormatsPtr Direct3D7::GetEnumZBufferFormats(const std::string& guid) const {
    if (!KnowsDevice(guid)) {
        ThrowDxError(D3DERR_INVALID_DEVICE,
                     "Direct3D7.GetEnumZBufferFormats: there is no device \"" + guid + "\".");
    }
    return std::make_shared<Direct3DEnumPixelFormats>(config_.zbuffer_formats);
}

Direct3DDevice7Ptr Direct3D7::CreateDevice(const std::string& guid, SurfacePtr render_target) {
    if (!KnowsDevice(guid)) {
        ThrowDxError(D3DERR_INVALID_DEVICE, "Direct3D7.CreateDevice: there is no device \"" + guid + "\".");
    }
    if (!render_target) ThrowDxError(DDERR_INVALIDPARAMS, "Direct3D7.CreateDevice: no render target was given.");
    DDSURFACEDESC2 desc;
    render_target->GetSurfaceDesc(desc);
    if (!(desc.ddsCaps.dwCaps & DDSCAPS_3DDEVICE)) {
        ThrowDxError(DDERR_INVALIDCAPS,
                     "Direct3D7.CreateDevice: the render target was not created with DDSCAPS_3DDEVICE.");
    }
    return std::make_shared<Direct3DDevice7>(std::move(render_target), config_.texture_formats);
}

}  // namespace plovant::dx7
