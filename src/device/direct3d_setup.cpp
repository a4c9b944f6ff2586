#include "device/direct3d_setup.h"

#include <cstdint>
#include <limits>
#include <utility>

#include "render/math/d3d_math.h"

namespace plovant {

using namespace plovant::dx7;

namespace {

// Runs one step of set-up; a failure keeps its number and gains the step's name.
template <typename F>
void Step(const char* what, F&& step) {
    try {
        step();
    } catch (const Error& e) {
        throw Error(e.number(), std::string("Direct3D set-up failed (") + what + "): " + e.description());
    }
}

int32_t Extent(int32_t from, int32_t to) {
    const int64_t extent = int64_t{to} - from;
    if (extent < std::numeric_limits<int32_t>::min() || extent > std::numeric_limits<int32_t>::max()) {
        throw Error(kErrOverflow, "Direct3D set-up failed (window size): overflow.");
    }
    return static_cast<int32_t>(extent);
}

D3DCOLORVALUE Color(float r, float g, float b, float a) { return D3DCOLORVALUE{r, g, b, a}; }

}  // namespace

void InitDirect3D(DeviceState& state, PlatformWindow* window) {
    // 1. The root object and the DirectDraw object of the default display driver.
    Step("DirectDrawCreate", [&] {
        if (!state.DX) state.DX = std::make_shared<DirectX7>();
        state.DDraw = state.DX->DirectDrawCreate("");
    });
    // 2. Windowed, shared use of the display.
    Step("SetCooperativeLevel", [&] { state.DDraw->SetCooperativeLevel(window, DDSCL_NORMAL); });

    // 3. The primary surface.
    DDSURFACEDESC2& desc = state.SurfaceDesc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    Step("primary surface", [&] { state.PrimarySurface = state.DDraw->CreateSurface(desc); });

    // 4-7. The back buffer, the size of the window's outer rectangle.
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY;
    Step("GetWindowRect", [&] { state.DX->GetWindowRect(window, state.WindowRect); });
    const int32_t width = Extent(state.WindowRect.left, state.WindowRect.right);
    const int32_t height = Extent(state.WindowRect.top, state.WindowRect.bottom);
    desc.dwWidth = width;
    desc.dwHeight = height;
    Step("back buffer", [&] { state.BackBuffer = state.DDraw->CreateSurface(desc); });
    state.SourceRect = RECT{0, 0, width, height};

    // 8. A clipper bound to the window, attached to the primary surface.
    Step("clipper", [&] {
        ClipperPtr clipper = state.DDraw->CreateClipper(0);
        clipper->SetHWnd(window);
        state.PrimarySurface->SetClipper(clipper);
    });

    // 9-11. Direct3D, the device names, and the last device enumerated.
    std::string guid;
    Step("Direct3D devices", [&] {
        state.D3D = state.DDraw->GetDirect3D();
        const Direct3DEnumDevicesPtr devices = state.D3D->GetDevicesEnum();
        const int32_t count = devices->GetCount();
        if (count <= 0) throw Error(DDERR_GENERIC, "No Direct3D device is available.");
        if (count - 1 > std::numeric_limits<int16_t>::max()) {
            throw Error(kErrOverflow, "Too many Direct3D devices: overflow.");
        }
        state.DeviceNames.assign(static_cast<size_t>(count), std::string());
        for (int32_t i = 1; i <= count; ++i) {
            state.DeviceNames[static_cast<size_t>(i - 1)] = devices->GetName(i);
            state.DeviceIndex = static_cast<int16_t>(i - 1);
        }
        guid = devices->GetGuid(devices->GetCount());
    });

    // 12. The first depth format with DDPF_ZBUFFER (else the last one listed).
    DDPIXELFORMAT depth_format;
    depth_format.dwSize = 0;
    Step("depth formats", [&] {
        const Direct3DEnumPixelFormatsPtr formats = state.D3D->GetEnumZBufferFormats(guid);
        const int32_t count = formats->GetCount();
        for (int32_t i = 1; i <= count; ++i) {
            formats->GetItem(i, depth_format);
            if (depth_format.dwFlags & DDPF_ZBUFFER) break;
        }
    });

    // 13-14. The depth buffer, attached to the back buffer.
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddpfPixelFormat = depth_format;
    desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
    Step("depth buffer", [&] {
        state.ZBuffer = state.DDraw->CreateSurface(desc);
        state.BackBuffer->AddAttachedSurface(state.ZBuffer);
    });

    // 15-16. The display mode, and the colour-depth check.
    Step("GetDisplayMode", [&] { state.DDraw->GetDisplayMode(desc); });
    if (desc.ddpfPixelFormat.dwRGBBitCount <= 8) throw Error(kErrColorDepth, kColorDepthMessage);

    // 17-19. The device, its viewport and the clear rectangle.
    Step("CreateDevice", [&] { state.D3DDevice = state.D3D->CreateDevice(guid, state.BackBuffer); });
    Direct3DDevice7& device = *state.D3DDevice;
    Step("SetViewport", [&] { device.SetViewport(D3DVIEWPORT7{0, 0, width, height, 0.0f, 1.0f}); });
    state.ClearRects[0] = D3DRECT{0, 0, width, height};

    // 20. Render states.
    Step("render states", [&] {
        device.SetRenderState(D3DRENDERSTATE_AMBIENT, state.DX->CreateColorRGBA(1, 1, 1, 1));
        device.SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
        device.SetRenderState(D3DRENDERSTATE_LIGHTING, 1);
        device.SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        device.SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_TRUE);
        device.SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    });

    // 21. Light 0: a white point light of range 0.
    Step("light", [&] {
        D3DLIGHT7 light;
        light.dltType = D3DLIGHT_POINT;
        light.dcvDiffuse = Color(1, 1, 1, 1);
        light.dcvSpecular = Color(1, 1, 1, 1);
        light.dcvAmbient = Color(1, 1, 1, 1);
        light.dvPosition = MakeVector(0, 1000, -100);
        light.dvDirection = MakeVector(0, 0, 0);
        light.dvRange = 0;
        light.dvFalloff = 0;
        light.dvAttenuation0 = 1.0f;
        light.dvAttenuation1 = 0;
        light.dvAttenuation2 = 0;
        light.dvTheta = 0;
        light.dvPhi = 0;
        device.SetLight(0, light);
        device.LightEnable(0, true);
    });

    // 22. The material: white ambient with alpha 0, nothing else.
    Step("material", [&] {
        D3DMATERIAL7 material;
        material.ambient = Color(1, 1, 1, 0);
        device.SetMaterial(material);
    });

    // 23-25. World, view and projection transforms.
    Step("transforms", [&] {
        D3DMATRIX world;
        state.DX->IdentityMatrix(world);
        device.SetTransform(D3DTRANSFORMSTATE_WORLD, world);

        D3DMATRIX view;
        state.DX->IdentityMatrix(view);
        state.DX->ViewMatrix(view, MakeVector(0, 0, -30), MakeVector(0, 0, 0), MakeVector(0, 1, 0), 0);
        device.SetTransform(D3DTRANSFORMSTATE_VIEW, view);

        D3DMATRIX projection;
        state.DX->IdentityMatrix(projection);
        state.DX->ProjectionMatrix(projection, 1.0f, 100000.0f, 3.14159265f / 3.0f);
        device.SetTransform(D3DTRANSFORMSTATE_PROJECTION, projection);
    });
}

void ShutdownDirect3D(DeviceState& state, std::vector<SurfacePtr>& texture_surfaces) {
    if (!state.DDraw) return;
    for (SurfacePtr& texture : texture_surfaces) texture.reset();
    state.BackBuffer.reset();
    state.ZBuffer.reset();  // goes with the back buffer it is attached to
    state.PrimarySurface.reset();
    state.D3DDevice.reset();
    state.D3D.reset();
    state.DDraw.reset();
    state.DX.reset();
}

}  // namespace plovant
