// Records, constants and result codes of our DirectDraw 7 / Direct3D 7 subset, with the
// values DirectX 7 gives them, so code written against DirectX 7 reads the same here.
//
// Every operation of the layer that fails throws plovant::Error whose number is the
// DirectX result code (a negative 32-bit value such as D3DERR_NOTINBEGIN) and whose
// description says what went wrong.
#pragma once

#include <cstdint>
#include <memory>

#include "render/math/d3d_types.h"

namespace plovant::dx7 {

class DirectX7;
class DirectDraw7;
class DirectDrawSurface7;
class DirectDrawClipper;
class Direct3D7;
class Direct3DDevice7;
class Direct3DEnumDevices;
class Direct3DEnumPixelFormats;
class DirectDrawEnumModes;

// Objects are shared like COM objects: the last reference releases them.
using DirectX7Ptr = std::shared_ptr<DirectX7>;
using DirectDraw7Ptr = std::shared_ptr<DirectDraw7>;
using SurfacePtr = std::shared_ptr<DirectDrawSurface7>;
using ClipperPtr = std::shared_ptr<DirectDrawClipper>;
using Direct3D7Ptr = std::shared_ptr<Direct3D7>;
using Direct3DDevice7Ptr = std::shared_ptr<Direct3DDevice7>;
using Direct3DEnumDevicesPtr = std::shared_ptr<Direct3DEnumDevices>;
using Direct3DEnumPixelFormatsPtr = std::shared_ptr<Direct3DEnumPixelFormats>;
using DirectDrawEnumModesPtr = std::shared_ptr<DirectDrawEnumModes>;

using D3DCOLOR = uint32_t;  // 0xAARRGGBB

// ---------------------------------------------------------------------------------------
// Records

// Rectangle in pixels; right and bottom are exclusive.
struct RECT {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const RECT&) const = default;
};

// Rectangle of a Clear, in render-target pixels; x2 and y2 are exclusive.
struct D3DRECT {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool operator==(const D3DRECT&) const = default;
};

// A range of raw pixel values; a single key has low = high.
struct DDCOLORKEY {
    uint32_t dwColorSpaceLowValue = 0;
    uint32_t dwColorSpaceHighValue = 0;
    bool operator==(const DDCOLORKEY&) const = default;
};

// Pixel format. For a depth format (DDPF_ZBUFFER) dwRGBBitCount holds the depth's bit
// count and dwGBitMask its mask, as the DirectX record's unions place them
// (dwZBufferBitDepth, dwZBitMask).
struct DDPIXELFORMAT {
    uint32_t dwSize = 32;
    uint32_t dwFlags = 0;
    uint32_t dwFourCC = 0;
    uint32_t dwRGBBitCount = 0;
    uint32_t dwRBitMask = 0;
    uint32_t dwGBitMask = 0;
    uint32_t dwBBitMask = 0;
    uint32_t dwRGBAlphaBitMask = 0;
    bool operator==(const DDPIXELFORMAT&) const = default;
};

struct DDSCAPS2 {
    uint32_t dwCaps = 0;
    uint32_t dwCaps2 = 0;
    uint32_t dwCaps3 = 0;
    uint32_t dwCaps4 = 0;
    bool operator==(const DDSCAPS2&) const = default;
};

// Surface description: dwFlags (DDSD_*) says which members are valid.
struct DDSURFACEDESC2 {
    uint32_t dwSize = 124;
    uint32_t dwFlags = 0;
    int32_t dwHeight = 0;
    int32_t dwWidth = 0;
    int32_t lPitch = 0;  // bytes per row
    int32_t dwBackBufferCount = 0;
    int32_t dwMipMapCount = 0;
    int32_t dwAlphaBitDepth = 0;
    int32_t dwRefreshRate = 0;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
    int32_t dwTextureStage = 0;
    bool operator==(const DDSURFACEDESC2&) const = default;
};

struct D3DCOLORVALUE {
    float r = 0, g = 0, b = 0, a = 0;
    bool operator==(const D3DCOLORVALUE&) const = default;
};

struct D3DVIEWPORT7 {
    int32_t dwX = 0, dwY = 0, dwWidth = 0, dwHeight = 0;
    float dvMinZ = 0.0f, dvMaxZ = 1.0f;
    bool operator==(const D3DVIEWPORT7&) const = default;
};

struct D3DLIGHT7 {
    int32_t dltType = 0;  // D3DLIGHT_*
    D3DCOLORVALUE dcvDiffuse;
    D3DCOLORVALUE dcvSpecular;
    D3DCOLORVALUE dcvAmbient;
    D3DVECTOR dvPosition;
    D3DVECTOR dvDirection;
    float dvRange = 0;
    float dvFalloff = 0;
    float dvAttenuation0 = 0;
    float dvAttenuation1 = 0;
    float dvAttenuation2 = 0;
    float dvTheta = 0;
    float dvPhi = 0;
};

struct D3DMATERIAL7 {
    D3DCOLORVALUE diffuse;
    D3DCOLORVALUE ambient;
    D3DCOLORVALUE specular;
    D3DCOLORVALUE emissive;
    float power = 0;
};

// ---------------------------------------------------------------------------------------
// DirectDraw constants

// Cooperative levels.
inline constexpr uint32_t DDSCL_FULLSCREEN = 0x1;
inline constexpr uint32_t DDSCL_NORMAL = 0x8;
inline constexpr uint32_t DDSCL_EXCLUSIVE = 0x10;

// Members of DDSURFACEDESC2 that are valid.
inline constexpr uint32_t DDSD_CAPS = 0x1;
inline constexpr uint32_t DDSD_HEIGHT = 0x2;
inline constexpr uint32_t DDSD_WIDTH = 0x4;
inline constexpr uint32_t DDSD_PITCH = 0x8;
inline constexpr uint32_t DDSD_BACKBUFFERCOUNT = 0x20;
inline constexpr uint32_t DDSD_PIXELFORMAT = 0x1000;
inline constexpr uint32_t DDSD_CKDESTOVERLAY = 0x2000;
inline constexpr uint32_t DDSD_CKDESTBLT = 0x4000;
inline constexpr uint32_t DDSD_CKSRCOVERLAY = 0x8000;
inline constexpr uint32_t DDSD_CKSRCBLT = 0x10000;
inline constexpr uint32_t DDSD_MIPMAPCOUNT = 0x20000;
inline constexpr uint32_t DDSD_REFRESHRATE = 0x40000;
inline constexpr uint32_t DDSD_TEXTURESTAGE = 0x100000;

// Surface capabilities (DDSCAPS2::dwCaps).
inline constexpr uint32_t DDSCAPS_BACKBUFFER = 0x4;
inline constexpr uint32_t DDSCAPS_COMPLEX = 0x8;
inline constexpr uint32_t DDSCAPS_FLIP = 0x10;
inline constexpr uint32_t DDSCAPS_OFFSCREENPLAIN = 0x40;
inline constexpr uint32_t DDSCAPS_PRIMARYSURFACE = 0x200;
inline constexpr uint32_t DDSCAPS_SYSTEMMEMORY = 0x800;
inline constexpr uint32_t DDSCAPS_TEXTURE = 0x1000;
inline constexpr uint32_t DDSCAPS_3DDEVICE = 0x2000;
inline constexpr uint32_t DDSCAPS_VIDEOMEMORY = 0x4000;
inline constexpr uint32_t DDSCAPS_ZBUFFER = 0x20000;
// DDSCAPS2::dwCaps2.
inline constexpr uint32_t DDSCAPS2_TEXTUREMANAGE = 0x10;

// Pixel-format flags.
inline constexpr uint32_t DDPF_ALPHAPIXELS = 0x1;
inline constexpr uint32_t DDPF_ALPHA = 0x2;
inline constexpr uint32_t DDPF_FOURCC = 0x4;
inline constexpr uint32_t DDPF_PALETTEINDEXED8 = 0x20;
inline constexpr uint32_t DDPF_RGB = 0x40;
inline constexpr uint32_t DDPF_ZBUFFER = 0x400;
inline constexpr uint32_t DDPF_STENCILBUFFER = 0x4000;
inline constexpr uint32_t DDPF_LUMINANCE = 0x20000;
inline constexpr uint32_t DDPF_BUMPLUMINANCE = 0x40000;
inline constexpr uint32_t DDPF_BUMPDUDV = 0x80000;

// Colour-key kinds.
inline constexpr uint32_t DDCKEY_COLORSPACE = 0x1;
inline constexpr uint32_t DDCKEY_DESTBLT = 0x2;
inline constexpr uint32_t DDCKEY_DESTOVERLAY = 0x4;
inline constexpr uint32_t DDCKEY_SRCBLT = 0x8;
inline constexpr uint32_t DDCKEY_SRCOVERLAY = 0x10;

// Blit flags.
inline constexpr uint32_t DDBLT_ASYNC = 0x200;
inline constexpr uint32_t DDBLT_COLORFILL = 0x400;
inline constexpr uint32_t DDBLT_KEYSRC = 0x8000;
inline constexpr uint32_t DDBLT_WAIT = 0x1000000;
inline constexpr uint32_t DDBLT_DONOTWAIT = 0x8000000;

// ---------------------------------------------------------------------------------------
// Direct3D constants

inline constexpr int32_t D3DPT_POINTLIST = 1;
inline constexpr int32_t D3DPT_LINELIST = 2;
inline constexpr int32_t D3DPT_LINESTRIP = 3;
inline constexpr int32_t D3DPT_TRIANGLELIST = 4;
inline constexpr int32_t D3DPT_TRIANGLESTRIP = 5;
inline constexpr int32_t D3DPT_TRIANGLEFAN = 6;

// Render states (D3DRENDERSTATETYPE).
inline constexpr int32_t D3DRENDERSTATE_ZENABLE = 7;
inline constexpr int32_t D3DRENDERSTATE_FILLMODE = 8;
inline constexpr int32_t D3DRENDERSTATE_SHADEMODE = 9;
inline constexpr int32_t D3DRENDERSTATE_ZWRITEENABLE = 14;
inline constexpr int32_t D3DRENDERSTATE_CULLMODE = 22;
inline constexpr int32_t D3DRENDERSTATE_ZFUNC = 23;
inline constexpr int32_t D3DRENDERSTATE_ALPHABLENDENABLE = 27;
inline constexpr int32_t D3DRENDERSTATE_SPECULARENABLE = 29;
inline constexpr int32_t D3DRENDERSTATE_COLORKEYENABLE = 41;
inline constexpr int32_t D3DRENDERSTATE_CLIPPING = 136;
inline constexpr int32_t D3DRENDERSTATE_LIGHTING = 137;
inline constexpr int32_t D3DRENDERSTATE_AMBIENT = 139;
inline constexpr int32_t D3DRENDERSTATE_LOCALVIEWER = 142;
inline constexpr int32_t D3DRENDERSTATE_NORMALIZENORMALS = 143;

inline constexpr uint32_t D3DZB_FALSE = 0;
inline constexpr uint32_t D3DZB_TRUE = 1;

inline constexpr uint32_t D3DFILL_POINT = 1;
inline constexpr uint32_t D3DFILL_WIREFRAME = 2;
inline constexpr uint32_t D3DFILL_SOLID = 3;

inline constexpr uint32_t D3DSHADE_FLAT = 1;
inline constexpr uint32_t D3DSHADE_GOURAUD = 2;

inline constexpr uint32_t D3DCULL_NONE = 1;
inline constexpr uint32_t D3DCULL_CW = 2;
inline constexpr uint32_t D3DCULL_CCW = 3;

inline constexpr uint32_t D3DCMP_NEVER = 1;
inline constexpr uint32_t D3DCMP_LESS = 2;
inline constexpr uint32_t D3DCMP_EQUAL = 3;
inline constexpr uint32_t D3DCMP_LESSEQUAL = 4;
inline constexpr uint32_t D3DCMP_GREATER = 5;
inline constexpr uint32_t D3DCMP_NOTEQUAL = 6;
inline constexpr uint32_t D3DCMP_GREATEREQUAL = 7;
inline constexpr uint32_t D3DCMP_ALWAYS = 8;

// Texture-stage states (D3DTEXTURESTAGESTATETYPE).
inline constexpr int32_t D3DTSS_COLOROP = 1;
inline constexpr int32_t D3DTSS_COLORARG1 = 2;
inline constexpr int32_t D3DTSS_COLORARG2 = 3;
inline constexpr int32_t D3DTSS_ALPHAOP = 4;
inline constexpr int32_t D3DTSS_ALPHAARG1 = 5;
inline constexpr int32_t D3DTSS_ALPHAARG2 = 6;
inline constexpr int32_t D3DTSS_TEXCOORDINDEX = 11;
inline constexpr int32_t D3DTSS_ADDRESS = 12;
inline constexpr int32_t D3DTSS_ADDRESSU = 13;
inline constexpr int32_t D3DTSS_ADDRESSV = 14;
inline constexpr int32_t D3DTSS_MAGFILTER = 16;
inline constexpr int32_t D3DTSS_MINFILTER = 17;
inline constexpr int32_t D3DTSS_MIPFILTER = 18;

inline constexpr uint32_t D3DTOP_DISABLE = 1;
inline constexpr uint32_t D3DTOP_SELECTARG1 = 2;
inline constexpr uint32_t D3DTOP_SELECTARG2 = 3;
inline constexpr uint32_t D3DTOP_MODULATE = 4;

inline constexpr uint32_t D3DTA_DIFFUSE = 0;
inline constexpr uint32_t D3DTA_CURRENT = 1;
inline constexpr uint32_t D3DTA_TEXTURE = 2;

inline constexpr uint32_t D3DTADDRESS_WRAP = 1;
inline constexpr uint32_t D3DTADDRESS_CLAMP = 3;

inline constexpr uint32_t D3DTFG_POINT = 1;
inline constexpr uint32_t D3DTFG_LINEAR = 2;
inline constexpr uint32_t D3DTFN_POINT = 1;
inline constexpr uint32_t D3DTFN_LINEAR = 2;
inline constexpr uint32_t D3DTFP_NONE = 1;

inline constexpr int32_t D3DLIGHT_POINT = 1;
inline constexpr int32_t D3DLIGHT_SPOT = 2;
inline constexpr int32_t D3DLIGHT_DIRECTIONAL = 3;

inline constexpr int32_t D3DTRANSFORMSTATE_WORLD = 1;
inline constexpr int32_t D3DTRANSFORMSTATE_VIEW = 2;
inline constexpr int32_t D3DTRANSFORMSTATE_PROJECTION = 3;

inline constexpr uint32_t D3DCLEAR_TARGET = 0x1;
inline constexpr uint32_t D3DCLEAR_ZBUFFER = 0x2;
inline constexpr uint32_t D3DCLEAR_STENCIL = 0x4;

// D3DFVF_VERTEX (0x112) lives beside D3DVERTEX in render/math/d3d_types.h.

// ---------------------------------------------------------------------------------------
// Result codes (HRESULTs as signed 32-bit values)

constexpr int32_t HResult(uint32_t value) { return static_cast<int32_t>(value); }

inline constexpr int32_t DD_OK = 0;
inline constexpr int32_t D3D_OK = 0;

inline constexpr int32_t DDERR_GENERIC = HResult(0x80004005);       // E_FAIL
inline constexpr int32_t DDERR_UNSUPPORTED = HResult(0x80004001);   // E_NOTIMPL
inline constexpr int32_t DDERR_INVALIDPARAMS = HResult(0x80070057); // E_INVALIDARG
inline constexpr int32_t DDERR_OUTOFMEMORY = HResult(0x8007000E);   // E_OUTOFMEMORY
inline constexpr int32_t DDERR_CANNOTATTACHSURFACE = HResult(0x8876000A);
inline constexpr int32_t DDERR_INVALIDCAPS = HResult(0x88760064);
inline constexpr int32_t DDERR_INVALIDMODE = HResult(0x88760078);
inline constexpr int32_t DDERR_INVALIDOBJECT = HResult(0x88760082);
inline constexpr int32_t DDERR_INVALIDPIXELFORMAT = HResult(0x88760091);
inline constexpr int32_t DDERR_INVALIDRECT = HResult(0x88760096);
inline constexpr int32_t DDERR_NOCOOPERATIVELEVELSET = HResult(0x887600D4);
inline constexpr int32_t DDERR_NOCOLORKEY = HResult(0x887600D7);
inline constexpr int32_t DDERR_NOTFOUND = HResult(0x887600FF);
inline constexpr int32_t DDERR_SURFACEALREADYATTACHED = HResult(0x8876019A);
inline constexpr int32_t DDERR_TOOBIGSIZE = HResult(0x887601E0);
inline constexpr int32_t DDERR_UNSUPPORTEDFORMAT = HResult(0x887601FE);
inline constexpr int32_t DDERR_INVALIDDIRECTDRAWGUID = HResult(0x88760231);
inline constexpr int32_t DDERR_PRIMARYSURFACEALREADYEXISTS = HResult(0x88760234);
inline constexpr int32_t DDERR_NOCLIPPERATTACHED = HResult(0x88760238);
inline constexpr int32_t DDERR_NOHWND = HResult(0x88760239);
inline constexpr int32_t DDERR_UNSUPPORTEDMODE = HResult(0x8876024E);
inline constexpr int32_t DDERR_INVALIDSURFACETYPE = HResult(0x88760250);

inline constexpr int32_t D3DERR_INVALID_DEVICE = HResult(0x887602C1);
inline constexpr int32_t D3DERR_INITFAILED = HResult(0x887602C2);
inline constexpr int32_t D3DERR_INVALIDPRIMITIVETYPE = HResult(0x887602E0);
inline constexpr int32_t D3DERR_INVALIDVERTEXTYPE = HResult(0x887602E1);
inline constexpr int32_t D3DERR_LIGHT_SET_FAILED = HResult(0x887602EE);
inline constexpr int32_t D3DERR_INBEGIN = HResult(0x88760302);
inline constexpr int32_t D3DERR_NOTINBEGIN = HResult(0x88760303);
inline constexpr int32_t D3DERR_ZBUFFER_NOTPRESENT = HResult(0x88760816);
inline constexpr int32_t D3DERR_STENCILBUFFER_NOTPRESENT = HResult(0x88760817);
inline constexpr int32_t D3DERR_WRONGTEXTUREFORMAT = HResult(0x88760818);
inline constexpr int32_t D3DERR_UNSUPPORTEDCOLOROPERATION = HResult(0x88760819);
inline constexpr int32_t D3DERR_UNSUPPORTEDCOLORARG = HResult(0x8876081A);
inline constexpr int32_t D3DERR_UNSUPPORTEDTEXTUREFILTER = HResult(0x88760822);
inline constexpr int32_t D3DERR_INVALIDMATRIX = HResult(0x88760824);

// ---------------------------------------------------------------------------------------
// Pixel formats this layer creates and enumerates

// 32-bit X8R8G8B8: the render target and every surface created without a pixel format.
DDPIXELFORMAT PixelFormatX8R8G8B8();
DDPIXELFORMAT PixelFormatA8R8G8B8();
DDPIXELFORMAT PixelFormatX1R5G5B5();
DDPIXELFORMAT PixelFormatA1R5G5B5();
DDPIXELFORMAT PixelFormatA4R4G4B4();
DDPIXELFORMAT PixelFormatR5G6B5();
// 16-bit depth (DDPF_ZBUFFER, 16 bits, mask 0xFFFF).
DDPIXELFORMAT PixelFormatZ16();

}  // namespace plovant::dx7
