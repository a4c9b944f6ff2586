#include "platform/dx7/direct_draw7.h"

#include <algorithm>
#include <new>
#include <utility>

#include "platform/dx7/bitmap_file.h"
#include "platform/dx7/direct3d7.h"
#include "platform/dx7/direct_draw_surface7.h"
#include "platform/dx7/dx_error.h"
#include "platform/dx7/pixel_format.h"
#include "platform/dx7/surface_from_image.h"
#include "platform/file_lookup.h"

namespace plovant::dx7 {

namespace {

constexpr uint32_t DDEDM_REFRESHRATES = 0x1;
constexpr uint32_t DDEDM_STANDARDVGAMODES = 0x2;

DDPIXELFORMAT DisplayPixelFormat(int32_t bits) {
    switch (bits) {
        case 32: return PixelFormatX8R8G8B8();
        case 16: return PixelFormatR5G6B5();
        case 24: {
            DDPIXELFORMAT f = PixelFormatX8R8G8B8();
            f.dwRGBBitCount = 24;
            return f;
        }
        default: {
            DDPIXELFORMAT f;
            f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
            f.dwRGBBitCount = static_cast<uint32_t>(std::max(bits, 0));
            return f;
        }
    }
}

DDSURFACEDESC2 DescribeMode(const DisplayMode& mode) {
    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    desc.dwWidth = mode.width;
    desc.dwHeight = mode.height;
    desc.lPitch = mode.width * ((mode.bits_per_pixel + 7) / 8);
    desc.ddpfPixelFormat = DisplayPixelFormat(mode.bits_per_pixel);
    desc.dwRefreshRate = mode.refresh_rate;
    return desc;
}

bool ModeMatches(const DDSURFACEDESC2& mode, const DDSURFACEDESC2& filter) {
    const uint32_t f = filter.dwFlags;
    if ((f & DDSD_WIDTH) && mode.dwWidth != filter.dwWidth) return false;
    if ((f & DDSD_HEIGHT) && mode.dwHeight != filter.dwHeight) return false;
    if ((f & DDSD_PITCH) && mode.lPitch != filter.lPitch) return false;
    if ((f & DDSD_REFRESHRATE) && filter.dwRefreshRate != 0 &&
        mode.dwRefreshRate != filter.dwRefreshRate) {
        return false;
    }
    if (f & DDSD_PIXELFORMAT) {
        const DDPIXELFORMAT& a = mode.ddpfPixelFormat;
        const DDPIXELFORMAT& b = filter.ddpfPixelFormat;
        if (a.dwRGBBitCount != b.dwRGBBitCount || a.dwRBitMask != b.dwRBitMask ||
            a.dwGBitMask != b.dwGBitMask || a.dwBBitMask != b.dwBBitMask) {
            return false;
        }
    }
    return true;
}

}  // namespace

DirectDraw7::DirectDraw7(SystemConfig config) : config_(std::move(config)) {}

void DirectDraw7::SetCooperativeLevel(PlatformWindow* window, uint32_t flags) {
    if (!(flags & DDSCL_NORMAL) || (flags & (DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN))) {
        ThrowDxError(DDERR_INVALIDPARAMS,
                     "DirectDraw7.SetCooperativeLevel: only the normal, windowed level "
                     "(DDSCL_NORMAL) is available.");
    }
    window_ = window;
    cooperative_level_set_ = true;
}

SurfacePtr DirectDraw7::CreateSurface(const DDSURFACEDESC2& desc) {
    if (!(desc.dwFlags & DDSD_CAPS)) {
        ThrowDxError(DDERR_INVALIDPARAMS, "DirectDraw7.CreateSurface: the description has no caps.");
    }
    const uint32_t caps = desc.ddsCaps.dwCaps;
    DDSURFACEDESC2 made;
    made.ddsCaps = desc.ddsCaps;
    made.dwTextureStage = (desc.dwFlags & DDSD_TEXTURESTAGE) ? desc.dwTextureStage : 0;

    if (caps & DDSCAPS_PRIMARYSURFACE) {
        if (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) {
            ThrowDxError(DDERR_INVALIDPARAMS,
                         "DirectDraw7.CreateSurface: a primary surface takes the display's size "
                         "and format.");
        }
        if (caps & (DDSCAPS_TEXTURE | DDSCAPS_ZBUFFER | DDSCAPS_OFFSCREENPLAIN)) {
            ThrowDxError(DDERR_INVALIDCAPS, "DirectDraw7.CreateSurface: invalid caps for a primary surface.");
        }
        if (!cooperative_level_set_) {
            ThrowDxError(DDERR_NOCOOPERATIVELEVELSET,
                         "DirectDraw7.CreateSurface: SetCooperativeLevel was not called.");
        }
        if (!primary_.expired()) {
            ThrowDxError(DDERR_PRIMARYSURFACEALREADYEXISTS,
                         "DirectDraw7.CreateSurface: this DirectDraw object already has a primary "
                         "surface.");
        }
        const DDSURFACEDESC2 mode = DescribeMode(CurrentDisplayMode(config_));
        made.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
        made.dwWidth = mode.dwWidth;
        made.dwHeight = mode.dwHeight;
        made.lPitch = mode.lPitch;
        made.ddpfPixelFormat = mode.ddpfPixelFormat;
        auto surface = std::make_shared<DirectDrawSurface7>(made);
        primary_ = surface;
        return surface;
    }

    if ((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) {
        ThrowDxError(DDERR_INVALIDPARAMS, "DirectDraw7.CreateSurface: width and height are required.");
    }
    if (desc.dwWidth <= 0 || desc.dwHeight <= 0) {
        ThrowDxError(DDERR_INVALIDPARAMS, "DirectDraw7.CreateSurface: the size " +
                                              std::to_string(desc.dwWidth) + " x " +
                                              std::to_string(desc.dwHeight) + " is not positive.");
    }
    if (desc.dwWidth > kMaxSurfaceSide || desc.dwHeight > kMaxSurfaceSide) {
        ThrowDxError(DDERR_TOOBIGSIZE, "DirectDraw7.CreateSurface: the size " +
                                           std::to_string(desc.dwWidth) + " x " +
                                           std::to_string(desc.dwHeight) + " is too large.");
    }
    const bool zbuffer = (caps & DDSCAPS_ZBUFFER) != 0;
    if (zbuffer && (caps & (DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE))) {
        ThrowDxError(DDERR_INVALIDCAPS, "DirectDraw7.CreateSurface: a depth buffer cannot be a "
                                        "texture or a render target.");
    }
    DDPIXELFORMAT format = PixelFormatX8R8G8B8();
    if (desc.dwFlags & DDSD_PIXELFORMAT) {
        format = desc.ddpfPixelFormat;
    } else if (zbuffer) {
        ThrowDxError(DDERR_INVALIDPIXELFORMAT, "DirectDraw7.CreateSurface: a depth buffer needs a pixel format.");
    }
    FormatLayout layout;
    if (!DescribeFormat(format, layout) || layout.depth != zbuffer) {
        ThrowDxError(DDERR_INVALIDPIXELFORMAT,
                     zbuffer ? "DirectDraw7.CreateSurface: the depth buffer's pixel format is not a "
                               "16-bit depth format."
                             : "DirectDraw7.CreateSurface: the pixel format is not supported.");
    }
    const int64_t pitch = ((static_cast<int64_t>(desc.dwWidth) * layout.bytes_per_pixel) + 3) & ~int64_t{3};
    if (pitch * desc.dwHeight > kMaxSurfaceBytes) {
        ThrowDxError(DDERR_OUTOFMEMORY, "DirectDraw7.CreateSurface: a surface of " +
                                            std::to_string(desc.dwWidth) + " x " +
                                            std::to_string(desc.dwHeight) + " would take " +
                                            std::to_string(pitch * desc.dwHeight) +
                                            " bytes, more than the " +
                                            std::to_string(kMaxSurfaceBytes) + " a surface may take.");
    }
    format.dwSize = 32;
    made.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    made.dwWidth = desc.dwWidth;
    made.dwHeight = desc.dwHeight;
    made.lPitch = static_cast<int32_t>(pitch);
    made.ddpfPixelFormat = format;
    if (!(caps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY))) made.ddsCaps.dwCaps |= DDSCAPS_VIDEOMEMORY;
    SurfacePtr surface;
    try {
        surface = std::make_shared<DirectDrawSurface7>(made);
    } catch (const std::bad_alloc&) {
        ThrowDxError(DDERR_OUTOFMEMORY, "DirectDraw7.CreateSurface: not enough memory for the surface.");
    }
    if (desc.dwFlags & DDSD_CKSRCBLT) surface->SetColorKey(DDCKEY_SRCBLT, desc.ddckCKSrcBlt);
    return surface;
}

SurfacePtr DirectDraw7::CreateSurfaceFromFile(const std::string& file_name,
                                              const DDSURFACEDESC2& desc) {
    return CreateSurfaceFromImage(*this, ReadBitmapFile(NativePath(file_name), file_name), desc,
                                  file_name, "DirectDraw7.CreateSurfaceFromFile");
}

ClipperPtr DirectDraw7::CreateClipper(uint32_t flags) {
    if (flags != 0) ThrowDxError(DDERR_INVALIDPARAMS, "DirectDraw7.CreateClipper: flags must be 0.");
    return std::make_shared<DirectDrawClipper>();
}

Direct3D7Ptr DirectDraw7::GetDirect3D() {
    if (auto d3d = direct3d_.lock()) return d3d;
    auto d3d = std::make_shared<Direct3D7>(config_);
    direct3d_ = d3d;
    return d3d;
}

void DirectDraw7::GetDisplayMode(DDSURFACEDESC2& desc) const {
    desc = DescribeMode(CurrentDisplayMode(config_));
}

DirectDrawEnumModesPtr DirectDraw7::GetDisplayModesEnum(uint32_t flags,
                                                        const DDSURFACEDESC2& filter) const {
    if (flags & ~(DDEDM_REFRESHRATES | DDEDM_STANDARDVGAMODES)) {
        ThrowDxError(DDERR_INVALIDPARAMS, "DirectDraw7.GetDisplayModesEnum: unknown flags.");
    }
    const DisplayMode current = CurrentDisplayMode(config_);
    std::vector<DisplayMode> modes;
    static constexpr int kSizes[][2] = {{640, 480},   {800, 600},   {1024, 768},
                                        {1152, 864},  {1280, 1024}, {1600, 1200}};
    for (const auto& size : kSizes) {
        if (size[0] > current.width || size[1] > current.height) continue;
        for (int bits : {16, 32}) {
            DisplayMode mode{size[0], size[1], bits, current.refresh_rate};
            if (mode != current) modes.push_back(mode);
        }
    }
    modes.push_back(current);
    std::sort(modes.begin(), modes.end(), [](const DisplayMode& a, const DisplayMode& b) {
        if (a.width != b.width) return a.width < b.width;
        if (a.height != b.height) return a.height < b.height;
        return a.bits_per_pixel < b.bits_per_pixel;
    });
    std::vector<DDSURFACEDESC2> matching;
    for (const DisplayMode& mode : modes) {
        DDSURFACEDESC2 desc = DescribeMode(mode);
        if (ModeMatches(desc, filter)) matching.push_back(desc);
    }
    return std::make_shared<DirectDrawEnumModes>(std::move(matching));
}

}  // namespace plovant::dx7
