#include "platform/dx7/enumerations.h"

#include <utility>

#include "platform/dx7/dx_error.h"

namespace plovant::dx7 {

namespace {

template <typename T>
const T& ItemAt(const std::vector<T>& items, int32_t index, const char* what) {
    if (index < 1 || static_cast<size_t>(index) > items.size()) {
        ThrowDxError(DDERR_INVALIDPARAMS, std::string(what) + ": index " + std::to_string(index) +
                                              " is outside 1 to " + std::to_string(items.size()) +
                                              ".");
    }
    return items[static_cast<size_t>(index) - 1];
}

}  // namespace

Direct3DEnumDevices::Direct3DEnumDevices(std::vector<DeviceDescription> devices)
    : devices_(std::move(devices)) {}

int32_t Direct3DEnumDevices::GetCount() const { return static_cast<int32_t>(devices_.size()); }

const DeviceDescription& Direct3DEnumDevices::At(int32_t index) const {
    return ItemAt(devices_, index, "Direct3DEnumDevices");
}

std::string Direct3DEnumDevices::GetName(int32_t index) const { return At(index).name; }
std::string Direct3DEnumDevices::GetGuid(int32_t index) const { return At(index).guid; }
std::string Direct3DEnumDevices::GetDescription(int32_t index) const {
    return At(index).name + " (software rasterizer)";
}

Direct3DEnumPixelFormats::Direct3DEnumPixelFormats(std::vector<DDPIXELFORMAT> formats)
    : formats_(std::move(formats)) {}

int32_t Direct3DEnumPixelFormats::GetCount() const { return static_cast<int32_t>(formats_.size()); }

void Direct3DEnumPixelFormats::GetItem(int32_t index, DDPIXELFORMAT& format) const {
    format = ItemAt(formats_, index, "Direct3DEnumPixelFormats");
}

DirectDrawEnumModes::DirectDrawEnumModes(std::vector<DDSURFACEDESC2> modes)
    : modes_(std::move(modes)) {}

int32_t DirectDrawEnumModes::GetCount() const { return static_cast<int32_t>(modes_.size()); }

void DirectDrawEnumModes::GetItem(int32_t index, DDSURFACEDESC2& desc) const {
    desc = ItemAt(modes_, index, "DirectDrawEnumModes");
}

}  // namespace plovant::dx7
