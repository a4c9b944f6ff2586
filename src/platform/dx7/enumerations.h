// The enumerations of devices, pixel formats and display modes. Each is a snapshot taken
// when it is created; items are numbered from 1 to GetCount(). An index outside that
// range throws plovant::Error with DDERR_INVALIDPARAMS.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dx7/dx7_types.h"

namespace plovant::dx7 {

// A Direct3D device as the device enumeration lists it.
struct DeviceDescription {
    std::string name;  // display name, e.g. "RGB Emulation"
    std::string guid;  // the string CreateDevice takes
};

class Direct3DEnumDevices {
public:
    explicit Direct3DEnumDevices(std::vector<DeviceDescription> devices);

    int32_t GetCount() const;
    // Display name of device `index` (1-based).
    std::string GetName(int32_t index) const;
    // GUID string of device `index` (1-based), as CreateDevice takes it.
    std::string GetGuid(int32_t index) const;
    // A short description of device `index` (1-based).
    std::string GetDescription(int32_t index) const;

private:
    const DeviceDescription& At(int32_t index) const;
    std::vector<DeviceDescription> devices_;
};

class Direct3DEnumPixelFormats {
public:
    explicit Direct3DEnumPixelFormats(std::vector<DDPIXELFORMAT> formats);

    int32_t GetCount() const;
    // Writes format `index` (1-based) into `format`.
    void GetItem(int32_t index, DDPIXELFORMAT& format) const;

private:
    std::vector<DDPIXELFORMAT> formats_;
};

class DirectDrawEnumModes {
public:
    explicit DirectDrawEnumModes(std::vector<DDSURFACEDESC2> modes);

    int32_t GetCount() const;
    // Writes mode `index` (1-based) into `desc`: width, height, pitch, pixel format and
    // refresh rate, with the flags that name them.
    void GetItem(int32_t index, DDSURFACEDESC2& desc) const;

private:
    std::vector<DDSURFACEDESC2> modes_;
};

}  // namespace plovant::dx7
