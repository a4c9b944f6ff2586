#include "device/texture_loader.h"

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

}  // namespace

SurfacePtr LoadTexture(DeviceState& state, std::string_view path, const std::string& standby_folder) {
    if (!state.DDraw || !state.D3DDevice) {
        throw Error(DDERR_INVALIDOBJECT, "LoadTexture: the device is not set up.");
    }
    const std::string_view name = path.substr(0, path.find('\0'));

    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_CKSRCBLT |
                   DDSD_TEXTURESTAGE;
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

    SurfacePtr surface;
    if (const std::optional<std::string> found = FindNormalFile(name)) {
        surface = state.DDraw->CreateSurfaceFromFile(*found, desc);
    } else {
        surface = state.DDraw->CreateSurfaceFromFile(standby_folder + "\\" + kStandbyBitmapName, desc);
    }
    surface->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{kTextureColorKey, kTextureColorKey});
    return surface;
}

SurfacePtr LoadTexture(DeviceState& state, std::string_view path) {
    return LoadTexture(state, path, ExecutableFolder());
}

}  // namespace plovant
