#include "platform/dx7/direct_x7.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QGuiApplication>
#include <QScreen>

#include "platform/dx7/direct_draw7.h"
#include "platform/dx7/dx_error.h"
#include "platform/platform_window.h"
#include "render/math/d3d_math.h"

namespace plovant::dx7 {

SystemConfig DefaultSystemConfig() {
    SystemConfig config;
    config.devices = {
        {"RGB Emulation", "IID_IDirect3DRGBDevice"},
        {"Plovant Software Rasterizer", "{504C4F56-414E-5400-8000-000000000007}"},
    };
    config.zbuffer_formats = {PixelFormatZ16()};
    config.texture_formats = {PixelFormatA1R5G5B5(), PixelFormatA4R4G4B4(),
                              PixelFormatA8R8G8B8(), PixelFormatX8R8G8B8(),
                              PixelFormatX1R5G5B5(), PixelFormatR5G6B5()};
    return config;
}

DisplayMode CurrentDisplayMode(const SystemConfig& config) {
    if (config.display_mode) return *config.display_mode;
    DisplayMode mode;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QSize size = screen->geometry().size();
            if (size.width() > 0 && size.height() > 0) {
                mode.width = size.width();
                mode.height = size.height();
            }
            if (screen->depth() > 0) mode.bits_per_pixel = screen->depth();
            if (screen->refreshRate() >= 1) mode.refresh_rate = static_cast<int32_t>(std::lround(screen->refreshRate()));
        }
    }
    return mode;
}

DirectX7::DirectX7() : DirectX7(DefaultSystemConfig()) {}

DirectX7::DirectX7(SystemConfig config) : config_(std::move(config)) {}

DirectDraw7Ptr DirectX7::DirectDrawCreate(const std::string& guid) {
    if (!guid.empty() && guid != "DDRAW_DEFAULT") {
        ThrowDxError(DDERR_INVALIDDIRECTDRAWGUID,
                     "DirectX7.DirectDrawCreate: there is no display driver \"" + guid + "\".");
    }
    return std::make_shared<DirectDraw7>(config_);
}

void DirectX7::GetWindowRect(const PlatformWindow* window, RECT& rect) const {
    if (window == nullptr) ThrowDxError(DDERR_NOHWND, "DirectX7.GetWindowRect: no window was given.");
    const QRect r = window->OuterRect();
    rect.left = r.left();
    rect.top = r.top();
    rect.right = r.left() + r.width();
    rect.bottom = r.top() + r.height();
}

D3DCOLOR DirectX7::CreateColorRGBA(float r, float g, float b, float a) const {
    auto channel = [](float v) -> uint32_t {
        if (!(v > 0.0f)) return 0;  // also NaN
        if (v >= 1.0f) return 255;
        return static_cast<uint32_t>(std::lround(v * 255.0f));
    };
    return channel(a) << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
}

void DirectX7::IdentityMatrix(D3DMATRIX& dest) const { plovant::IdentityMatrix(dest); }

void DirectX7::RotateXMatrix(D3DMATRIX& dest, float radians) const {
    plovant::RotateXMatrix(dest, radians);
}

void DirectX7::RotateZMatrix(D3DMATRIX& dest, float radians) const {
    plovant::RotateZMatrix(dest, radians);
}

void DirectX7::MatrixMultiply(D3DMATRIX& dest, const D3DMATRIX& a, const D3DMATRIX& b) const {
    plovant::MatrixMultiply(dest, a, b);
}

void DirectX7::ViewMatrix(D3DMATRIX& dest, const D3DVECTOR& from, const D3DVECTOR& at,
                          const D3DVECTOR& up, float roll) const {
    plovant::ViewMatrix(dest, from, at, up, roll);
}

void DirectX7::ProjectionMatrix(D3DMATRIX& dest, float near_plane, float far_plane,
                                float fov) const {
    // The planes must be apart and the field of view open, or the matrix is degenerate.
    if (!(std::fabs(far_plane - near_plane) >= 0.01f) || !(std::fabs(std::sin(fov / 2)) >= 0.01f)) {
        ThrowDxError(DDERR_INVALIDPARAMS,
                     "DirectX7.ProjectionMatrix: the near and far planes must be apart and the "
                     "field of view must be open.");
    }
    plovant::ProjectionMatrix(dest, near_plane, far_plane, fov);
}

void DirectX7::CreateD3DVertex(float x, float y, float z, float nx, float ny, float nz, float tu,
                               float tv, D3DVERTEX& v) const {
    plovant::CreateD3DVertex(x, y, z, nx, ny, nz, tu, tv, v);
}

}  // namespace plovant::dx7
