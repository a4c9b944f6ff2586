// DirectDraw object of the display driver: creates surfaces (also from bitmap files),
// clippers and the Direct3D object, and reports the display mode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/dx7/direct_x7.h"
#include "platform/dx7/dx7_types.h"

namespace plovant {
class PlatformWindow;
}

namespace plovant::dx7 {

// The largest side of a surface, and the most memory one surface may take (its row
// pitch times its height): 67,108,864 pixels of 4 bytes, 8192 x 8192 or 16384 x 4096.
inline constexpr int kMaxSurfaceSide = 16384;
inline constexpr int64_t kMaxSurfaceBytes = 256LL * 1024 * 1024;

// Binds a primary surface's blits to a window: what a blit puts onto the screen lands
// only inside the window's drawing area, and is handed to the window to show.
class DirectDrawClipper {
public:
    DirectDrawClipper() = default;

    // Binds the clipper to `window` (null unbinds it). The window must outlive the binding.
    void SetHWnd(PlatformWindow* window) { window_ = window; }
    PlatformWindow* GetHWnd() const { return window_; }

private:
    PlatformWindow* window_ = nullptr;
};

class DirectDraw7 : public std::enable_shared_from_this<DirectDraw7> {
public:
    explicit DirectDraw7(SystemConfig config);

    // Only windowed, shared use exists: `flags` must be DDSCL_NORMAL (8), possibly with
    // other flags that do not ask for exclusive or full-screen use; else
    // DDERR_INVALIDPARAMS. `window` may be null.
    void SetCooperativeLevel(PlatformWindow* window, uint32_t flags);

    // A new surface as `desc` describes it (DDSD_CAPS required):
    // - DDSCAPS_PRIMARYSURFACE: the screen, display-mode size and format; one per
    //   DirectDraw object (else DDERR_PRIMARYSURFACEALREADYEXISTS). Width and height must
    //   not be given.
    // - DDSCAPS_ZBUFFER: a depth buffer; the pixel format must be a 16-bit DDPF_ZBUFFER
    //   format (else DDERR_INVALIDPIXELFORMAT).
    // - anything else (off-screen plain, 3D device, texture): width and height
    //   (DDSD_WIDTH | DDSD_HEIGHT) required; the pixel format is DDSD_PIXELFORMAT's, or
    //   X8R8G8B8 when none is given. Supported colour formats: 16- and 32-bit DDPF_RGB
    //   with contiguous masks (else DDERR_INVALIDPIXELFORMAT).
    // A source colour key given with DDSD_CKSRCBLT is set on the surface. Sizes must be
    // positive (DDERR_INVALIDPARAMS) and at most 16384 per side (DDERR_TOOBIGSIZE).
    // The new surface's pixels are zero.
    SurfacePtr CreateSurface(const DDSURFACEDESC2& desc);

    // A new surface holding the Windows bitmap `file_name` ("\" counts as a folder
    // separator), converted by plain truncation of each colour channel into the pixel
    // format of `desc` (X8R8G8B8 when DDSD_PIXELFORMAT is not given). Width and height 0
    // (or not flagged) take the bitmap's own size; otherwise the bitmap is stretched to
    // them. Caps and colour key are taken from `desc` as CreateSurface does.
    // A missing file throws kErrFileNotFound; a file that is not a readable bitmap throws
    // kErrInvalidFormat; both descriptions name the file.
    SurfacePtr CreateSurfaceFromFile(const std::string& file_name, const DDSURFACEDESC2& desc);

    // A clipper; `flags` must be 0.
    ClipperPtr CreateClipper(uint32_t flags);

    // The Direct3D object of this DirectDraw object.
    Direct3D7Ptr GetDirect3D();

    // Fills `desc` with the current display mode: flags DDSD_WIDTH | DDSD_HEIGHT |
    // DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE, width, height, pitch, the pixel
    // format (its dwRGBBitCount is the colour depth) and the refresh rate. Other members
    // are zeroed.
    void GetDisplayMode(DDSURFACEDESC2& desc) const;

    // The display modes that match `filter` in every member its flags name (width,
    // height, pitch, pixel format, refresh rate); `flags` must be 0. The modes listed are
    // the current one and the usual 640 × 480 … 1600 × 1200 at 16 and 32 bits that fit.
    DirectDrawEnumModesPtr GetDisplayModesEnum(uint32_t flags, const DDSURFACEDESC2& filter) const;

    const SystemConfig& Config() const { return config_; }
    PlatformWindow* CooperativeWindow() const { return window_; }

private:
    SystemConfig config_;
    PlatformWindow* window_ = nullptr;
    bool cooperative_level_set_ = false;
    std::weak_ptr<DirectDrawSurface7> primary_;
    std::weak_ptr<Direct3D7> direct3d_;
};

}  // namespace plovant::dx7
