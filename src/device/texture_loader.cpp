#include "device/texture_loader.h"

#include <algorithm>

#include "archive/folder_location.h"
#include "platform/dx7/surface_from_memory.h"
#include "platform/executable_folder.h"
#include "platform/file_lookup.h"

namespace plovant {

using namespace plovant::dx7;

namespace {

// The colour key of every texture: magenta in X1R5G5B5.
constexpr uint32_t kTextureColorKey = 0x7C1F;

// A format the textures use: 16-bit, no alpha, no FourCC, no luminance or bump mapping.
bool Acceptable(const DDPIXELFORMAT& format) {
    return (format.dwFlags & (DDPF_LUMINANCE | DDPF_BUMPLUMINANCE | DDPF_BUMPDUDV)) == 0 &&
           format.dwFourCC == 0 && (format.dwFlags & DDPF_ALPHAPIXELS) == 0 &&
           format.dwRGBBitCount == 16;
}

// The surface description every texture is made with: its own size, the first acceptable
// texture format of the device, the colour key flag.
DDSURFACEDESC2 TextureDescription(DeviceState& state) {
    if (!state.DDraw || !state.D3DDevice) {
        throw Error(DDERR_INVALIDOBJECT, "LoadTexture: the device is not set up.");
    }
    DDSURFACEDESC2 desc;
    desc.dwFlags =
        DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_CKSRCBLT | DDSD_TEXTURESTAGE;
    desc.dwWidth = 0;  // the bitmap's own size
    desc.dwHeight = 0;
    desc.ddckCKSrcBlt = DDCOLORKEY{0, 0};
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    desc.dwTextureStage = 0;

    // The texture format, chosen afresh for every texture.
    const Direct3DEnumPixelFormatsPtr formats = state.D3DDevice->GetTextureFormatsEnum();
    const int32_t count = formats->GetCount();
    for (int32_t i = 1; i <= count; ++i) {
        formats->GetItem(i, desc.ddpfPixelFormat);
        if (Acceptable(desc.ddpfPixelFormat)) break;
    }
    return desc;
}

SurfacePtr LoadStandby(DeviceState& state, const DDSURFACEDESC2& desc,
                       const std::string& standby_folder) {
    return state.DDraw->CreateSurfaceFromFile(
        (standby_folder.empty() ? ExecutableFolder() : standby_folder) + "\\" + kStandbyBitmapName,
        desc);
}

SurfacePtr LoadTextureFile(DeviceState& state, std::string_view path,
                           const std::string& standby_folder, bool* found_file) {
    const DDSURFACEDESC2 desc = TextureDescription(state);
    const std::string_view name = path.substr(0, path.find('\0'));
    SurfacePtr surface;
    const std::optional<std::string> found = FindNormalFile(name);
    if (found_file) *found_file = found.has_value();
    if (found) {
        surface = state.DDraw->CreateSurfaceFromFile(*found, desc);
    } else {
        surface = LoadStandby(state, desc, standby_folder);
    }
    surface->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{kTextureColorKey, kTextureColorKey});
    return surface;
}

}  // namespace

SurfacePtr LoadTexture(DeviceState& state, std::string_view path,
                       const std::string& standby_folder) {
    return LoadTextureFile(state, path, standby_folder, nullptr);
}

SurfacePtr LoadTexture(DeviceState& state, const DataLocation& location, std::string_view name,
                       const std::string& standby_folder, bool* found) {
    name = name.substr(0, name.find('\0'));
    if (const auto* folder = dynamic_cast<const FolderLocation*>(&location)) {
        return LoadTextureFile(state, folder->Path() + "\\texture\\" + std::string(name),
                               standby_folder, found);
    }
    const DDSURFACEDESC2 desc = TextureDescription(state);
    const std::optional<std::vector<uint8_t>> bytes = location.ReadTexture(name);
    if (found) *found = bytes.has_value();
    SurfacePtr surface =
        bytes ? CreateSurfaceFromMemory(*state.DDraw, *bytes,
                                        location.Path() + ": texture " + std::string(name), desc)
              : LoadStandby(state, desc, standby_folder);
    surface->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{kTextureColorKey, kTextureColorKey});
    return surface;
}

std::vector<SurfacePtr> LoadModelTextures(DeviceState& state, const RsmModel& model,
                                          const DataLocation& location,
                                          const std::string& standby_folder,
                                          std::vector<std::string>* missing) {
    const size_t count = model.TextureCount <= 0 ? 0
                                                 : std::min(static_cast<size_t>(model.TextureCount),
                                                            model.TextureNames.size());
    std::vector<SurfacePtr> surfaces(count + 1);
    for (size_t i = 0; i < count; ++i) {
        bool found = false;
        surfaces[i] =
            LoadTexture(state, location, TextOf(model.TextureNames[i]), standby_folder, &found);
        if (!found && missing) missing->emplace_back(TextOf(model.TextureNames[i]));
    }
    return surfaces;
}

SurfacePtr LoadTexture(DeviceState& state, std::string_view path) {
    return LoadTexture(state, path, ExecutableFolder());
}

}  // namespace plovant
