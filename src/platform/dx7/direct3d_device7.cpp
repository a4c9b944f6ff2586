#include "platform/dx7/direct3d_device7.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/dx7/direct_draw_surface7.h"
#include "platform/dx7/dx_error.h"
#include "platform/dx7/enumerations.h"
#include "platform/dx7/raster/instruction_set.h"
#include "render/math/d3d_math.h"

// SSE2 is part of every x86-64 target.
#if defined(__SSE2__) || defined(_M_X64)
#define PLOVANT_DEVICE_SSE2 1
#include <emmintrin.h>
#endif

// The per-vertex loops are also built for AVX2 (chosen at run time, as the rasteriser's
// routines are): its three-operand forms and broadcasts from memory save register copies
// and shuffles. The operations, and so the results, are the same.
#if defined(PLOVANT_DEVICE_SSE2) && (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define PLOVANT_DEVICE_AVX2 1
#define PLOVANT_DEVICE_TARGET_AVX2 __attribute__((target("avx2")))
#define PLOVANT_DEVICE_INLINE inline __attribute__((always_inline))
#else
#define PLOVANT_DEVICE_INLINE inline
#endif

namespace plovant::dx7 {

namespace {

constexpr uint32_t kTrue = 1;
constexpr int kMaxLights = 8;
// Vertices transformed per call of the rasteriser: 256 triangles, 40 KB of clip-space
// vertices.
constexpr int32_t kTransformBlock = 3 * 256;

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
Vec3 Normalized(Vec3 a) {
    const float len = Length(a);
    return len > 0 ? a * (1.0f / len) : a;
}

// p · M for a point (w = 1), keeping x, y, z.
Vec3 TransformPoint(const D3DMATRIX& m, Vec3 p) {
    return {p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41,
            p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42,
            p.x * m._13 + p.y * m._23 + p.z * m._33 + m._43};
}

// d · M for a direction (w = 0).
Vec3 TransformDirection(const D3DMATRIX& m, Vec3 d) {
    return {d.x * m._11 + d.y * m._21 + d.z * m._31, d.x * m._12 + d.y * m._22 + d.z * m._32,
            d.x * m._13 + d.y * m._23 + d.z * m._33};
}

float Clamp01(float v) { return v > 0 ? (v < 1 ? v : 1) : 0; }  // NaN → 0

bool Finite(float v) { return std::isfinite(v); }

bool IsBoolean(uint32_t v) { return v <= 1; }

[[noreturn]] void BadValue(const char* what, int32_t state, uint32_t value) {
    ThrowDxError(DDERR_INVALIDPARAMS, std::string("Direct3DDevice7.") + what + ": value " +
                                          std::to_string(value) + " is not valid for state " +
                                          std::to_string(state) + ".");
}

}  // namespace

struct Direct3DDevice7::LightingSetup {
    struct Active {
        bool point = true;
        Vec3 position;   // view space (point lights)
        Vec3 to_light;   // view space, unit (directional lights)
        float range2 = 0;  // squared range
        float a0 = 0, a1 = 0, a2 = 0;
        D3DCOLORVALUE diffuse, specular, ambient;
    };
    std::array<Active, kMaxLights> lights{};
    int count = 0;
    D3DMATRIX world_view;
    float normal_matrix[3][3] = {};  // inverse transpose of world · view (3 × 3)
    D3DCOLORVALUE base;              // emissive + ambient level × material ambient
    bool specular = false;
    bool local_viewer = true;
    bool normalize = false;
};

Direct3DDevice7::Direct3DDevice7(SurfacePtr render_target, std::vector<DDPIXELFORMAT> texture_formats)
    : render_target_(std::move(render_target)), texture_formats_(std::move(texture_formats)) {
    if (!render_target_) ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7: no render target was given.");
    const DDPIXELFORMAT& format = render_target_->PixelFormat();
    if (render_target_->IsPrimary() || render_target_->IsZBuffer() || format.dwRGBBitCount != 32 ||
        format.dwRBitMask != 0xFF0000 || format.dwGBitMask != 0xFF00 || format.dwBBitMask != 0xFF) {
        ThrowDxError(DDERR_INVALIDPIXELFORMAT,
                     "Direct3DDevice7: the render target must be a 32-bit X8R8G8B8 surface.");
    }
    viewport_ = D3DVIEWPORT7{0, 0, render_target_->Width(), render_target_->Height(), 0.0f, 1.0f};
    state_.viewport = raster::Viewport{0, 0, render_target_->Width(), render_target_->Height(), 0.0f, 1.0f};

    const bool has_depth = render_target_->AttachedZBuffer() != nullptr;
    render_states_[D3DRENDERSTATE_ZENABLE] = has_depth ? D3DZB_TRUE : D3DZB_FALSE;
    render_states_[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
    render_states_[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    render_states_[D3DRENDERSTATE_ZWRITEENABLE] = kTrue;
    render_states_[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
    render_states_[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
    render_states_[D3DRENDERSTATE_ALPHABLENDENABLE] = 0;
    render_states_[D3DRENDERSTATE_SPECULARENABLE] = 0;
    render_states_[D3DRENDERSTATE_COLORKEYENABLE] = 0;
    render_states_[D3DRENDERSTATE_CLIPPING] = kTrue;
    render_states_[D3DRENDERSTATE_LIGHTING] = kTrue;
    render_states_[D3DRENDERSTATE_AMBIENT] = 0;
    render_states_[D3DRENDERSTATE_LOCALVIEWER] = kTrue;
    render_states_[D3DRENDERSTATE_NORMALIZENORMALS] = 0;
    state_.z_enable = has_depth;
    state_.z_write = true;
    state_.z_func = raster::CompareFunc::LessEqual;
    state_.fill = raster::FillMode::Solid;
    state_.cull = raster::CullMode::CounterClockwise;
    state_.color_key = false;

    stage_states_[D3DTSS_COLOROP] = D3DTOP_MODULATE;
    stage_states_[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    stage_states_[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    stage_states_[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
    stage_states_[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    stage_states_[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    stage_states_[D3DTSS_TEXCOORDINDEX] = 0;
    stage_states_[D3DTSS_ADDRESS] = D3DTADDRESS_WRAP;
    stage_states_[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
    stage_states_[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
    stage_states_[D3DTSS_MAGFILTER] = D3DTFG_POINT;
    stage_states_[D3DTSS_MINFILTER] = D3DTFN_POINT;
    stage_states_[D3DTSS_MIPFILTER] = D3DTFP_NONE;
    state_.mag_filter = raster::Filter::Point;
    state_.min_filter = raster::Filter::Point;
    state_.address_u = raster::Address::Wrap;
    state_.address_v = raster::Address::Wrap;
    UpdateColorOp();

    plovant::IdentityMatrix(world_);
    plovant::IdentityMatrix(view_);
    plovant::IdentityMatrix(projection_);
}

Direct3DEnumPixelFormatsPtr Direct3DDevice7::GetTextureFormatsEnum() const {
    return std::make_shared<Direct3DEnumPixelFormats>(texture_formats_);
}

// --- viewport -------------------------------------------------------------------------

void Direct3DDevice7::SetViewport(const D3DVIEWPORT7& vp) {
    const bool inside = vp.dwX >= 0 && vp.dwY >= 0 && vp.dwWidth > 0 && vp.dwHeight > 0 &&
                        int64_t{vp.dwX} + vp.dwWidth <= render_target_->Width() &&
                        int64_t{vp.dwY} + vp.dwHeight <= render_target_->Height();
    const bool depth_range = Finite(vp.dvMinZ) && Finite(vp.dvMaxZ) && vp.dvMinZ >= 0.0f &&
                             vp.dvMinZ <= vp.dvMaxZ && vp.dvMaxZ <= 1.0f;
    if (!inside || !depth_range) {
        ThrowDxError(DDERR_INVALIDPARAMS,
                     "Direct3DDevice7.SetViewport: the viewport must lie inside the render target "
                     "and have depths 0 <= MinZ <= MaxZ <= 1.");
    }
    viewport_ = vp;
    state_.viewport = raster::Viewport{vp.dwX, vp.dwY, vp.dwWidth, vp.dwHeight, vp.dvMinZ, vp.dvMaxZ};
}

void Direct3DDevice7::GetViewport(D3DVIEWPORT7& viewport) const { viewport = viewport_; }

// --- render states --------------------------------------------------------------------

void Direct3DDevice7::SetRenderState(int32_t state, uint32_t value) {
    switch (state) {
        case D3DRENDERSTATE_ZENABLE:
            if (value != D3DZB_FALSE && value != D3DZB_TRUE) BadValue("SetRenderState", state, value);
            state_.z_enable = value == D3DZB_TRUE;
            break;
        case D3DRENDERSTATE_FILLMODE:
            if (value == D3DFILL_POINT) state_.fill = raster::FillMode::Point;
            else if (value == D3DFILL_WIREFRAME) state_.fill = raster::FillMode::Wireframe;
            else if (value == D3DFILL_SOLID) state_.fill = raster::FillMode::Solid;
            else BadValue("SetRenderState", state, value);
            break;
        case D3DRENDERSTATE_SHADEMODE:
            if (value != D3DSHADE_FLAT && value != D3DSHADE_GOURAUD) BadValue("SetRenderState", state, value);
            break;
        case D3DRENDERSTATE_ZWRITEENABLE:
            if (!IsBoolean(value)) BadValue("SetRenderState", state, value);
            state_.z_write = value != 0;
            break;
        case D3DRENDERSTATE_CULLMODE:
            if (value == D3DCULL_NONE) state_.cull = raster::CullMode::None;
            else if (value == D3DCULL_CW) state_.cull = raster::CullMode::Clockwise;
            else if (value == D3DCULL_CCW) state_.cull = raster::CullMode::CounterClockwise;
            else BadValue("SetRenderState", state, value);
            break;
        case D3DRENDERSTATE_ZFUNC:
            if (value < D3DCMP_NEVER || value > D3DCMP_ALWAYS) BadValue("SetRenderState", state, value);
            // D3DCMP_NEVER … ALWAYS are 1 … 8 in the order of raster::CompareFunc.
            state_.z_func = static_cast<raster::CompareFunc>(value - D3DCMP_NEVER);
            break;
        case D3DRENDERSTATE_ALPHABLENDENABLE:
            if (value != 0) BadValue("SetRenderState", state, value);  // blending is not offered
            break;
        case D3DRENDERSTATE_COLORKEYENABLE:
            if (!IsBoolean(value)) BadValue("SetRenderState", state, value);
            state_.color_key = value != 0;
            break;
        case D3DRENDERSTATE_SPECULARENABLE:
        case D3DRENDERSTATE_CLIPPING:
        case D3DRENDERSTATE_LIGHTING:
        case D3DRENDERSTATE_LOCALVIEWER:
        case D3DRENDERSTATE_NORMALIZENORMALS:
            if (!IsBoolean(value)) BadValue("SetRenderState", state, value);
            break;
        case D3DRENDERSTATE_AMBIENT:
            break;
        default:
            ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7.SetRenderState: render state " +
                                                  std::to_string(state) + " is not supported.");
    }
    render_states_[static_cast<size_t>(state)] = value;
}

uint32_t Direct3DDevice7::GetRenderState(int32_t state) const {
    switch (state) {
        case D3DRENDERSTATE_ZENABLE: case D3DRENDERSTATE_FILLMODE: case D3DRENDERSTATE_SHADEMODE:
        case D3DRENDERSTATE_ZWRITEENABLE: case D3DRENDERSTATE_CULLMODE: case D3DRENDERSTATE_ZFUNC:
        case D3DRENDERSTATE_ALPHABLENDENABLE: case D3DRENDERSTATE_COLORKEYENABLE:
        case D3DRENDERSTATE_SPECULARENABLE: case D3DRENDERSTATE_CLIPPING:
        case D3DRENDERSTATE_LIGHTING: case D3DRENDERSTATE_AMBIENT:
        case D3DRENDERSTATE_LOCALVIEWER: case D3DRENDERSTATE_NORMALIZENORMALS:
            return render_states_[static_cast<size_t>(state)];
        default:
            ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7.GetRenderState: render state " +
                                                  std::to_string(state) + " is not supported.");
    }
}

// --- lights and material -----------------------------------------------------------------

void Direct3DDevice7::SetLight(int32_t index, const D3DLIGHT7& light) {
    if (index < 0 || index >= kMaxLights) {
        ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7.SetLight: light index " +
                                              std::to_string(index) + " is outside 0 to 7.");
    }
    const bool point = light.dltType == D3DLIGHT_POINT;
    const bool directional = light.dltType == D3DLIGHT_DIRECTIONAL;
    bool valid = point || directional;
    if (point) {
        valid = Finite(light.dvRange) && light.dvRange >= 0 && light.dvAttenuation0 >= 0 &&
                light.dvAttenuation1 >= 0 && light.dvAttenuation2 >= 0 &&
                (light.dvAttenuation0 + light.dvAttenuation1 + light.dvAttenuation2) > 0;
    } else if (directional) {
        valid = Length(Vec3{light.dvDirection.x, light.dvDirection.y, light.dvDirection.z}) > 0;
    }
    if (!valid) {
        ThrowDxError(DDERR_INVALIDPARAMS,
                     "Direct3DDevice7.SetLight: only point lights (range >= 0, attenuation >= 0 and "
                     "not all zero) and directional lights (non-zero direction) are supported.");
    }
    lights_[static_cast<size_t>(index)].light = light;
    lights_[static_cast<size_t>(index)].set = true;
}

void Direct3DDevice7::GetLight(int32_t index, D3DLIGHT7& light) const {
    if (index < 0 || index >= kMaxLights || !lights_[static_cast<size_t>(index)].set) {
        ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7.GetLight: light " + std::to_string(index) +
                                              " was not set.");
    }
    light = lights_[static_cast<size_t>(index)].light;
}

void Direct3DDevice7::LightEnable(int32_t index, bool enable) {
    if (index < 0 || index >= kMaxLights) {
        ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7.LightEnable: light index " +
                                              std::to_string(index) + " is outside 0 to 7.");
    }
    Light& slot = lights_[static_cast<size_t>(index)];
    if (enable && !slot.set) {
        ThrowDxError(D3DERR_LIGHT_SET_FAILED, "Direct3DDevice7.LightEnable: light " +
                                                  std::to_string(index) + " was never set.");
    }
    slot.enabled = enable;
}

bool Direct3DDevice7::GetLightEnable(int32_t index) const {
    if (index < 0 || index >= kMaxLights) {
        ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7.GetLightEnable: light index " +
                                              std::to_string(index) + " is outside 0 to 7.");
    }
    return lights_[static_cast<size_t>(index)].enabled;
}

void Direct3DDevice7::SetMaterial(const D3DMATERIAL7& material) { material_ = material; }

void Direct3DDevice7::GetMaterial(D3DMATERIAL7& material) const { material = material_; }

// --- transforms ------------------------------------------------------------------------

void Direct3DDevice7::SetTransform(int32_t state, const D3DMATRIX& matrix) {
    switch (state) {
        case D3DTRANSFORMSTATE_WORLD: world_ = matrix; break;
        case D3DTRANSFORMSTATE_VIEW: view_ = matrix; break;
        case D3DTRANSFORMSTATE_PROJECTION: projection_ = matrix; break;
        default:
            ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7.SetTransform: transform state " +
                                                  std::to_string(state) + " is not supported.");
    }
    combined_dirty_ = true;
}

void Direct3DDevice7::GetTransform(int32_t state, D3DMATRIX& matrix) const {
    switch (state) {
        case D3DTRANSFORMSTATE_WORLD: matrix = world_; break;
        case D3DTRANSFORMSTATE_VIEW: matrix = view_; break;
        case D3DTRANSFORMSTATE_PROJECTION: matrix = projection_; break;
        default:
            ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7.GetTransform: transform state " +
                                                  std::to_string(state) + " is not supported.");
    }
}

void Direct3DDevice7::ComputeCombinedMatrix() {
    if (!combined_dirty_) return;
    D3DMATRIX world_view;
    plovant::MatrixMultiply(world_view, world_, view_);
    plovant::MatrixMultiply(combined_, world_view, projection_);
    combined_dirty_ = false;
}

// --- clear -----------------------------------------------------------------------------

void Direct3DDevice7::Clear(int32_t count, const D3DRECT* rects, uint32_t flags, D3DCOLOR color,
                            float z, uint32_t /*stencil*/) {
    raster::ClearUpperVectorState();  // a frame starts here: its SSE2 code runs at full speed
    if (flags == 0 || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) || count < 0 ||
        (count > 0 && rects == nullptr)) {
        ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7.Clear: invalid flags or rectangles.");
    }
    if (flags & D3DCLEAR_STENCIL) {
        ThrowDxError(D3DERR_STENCILBUFFER_NOTPRESENT, "Direct3DDevice7.Clear: there is no stencil buffer.");
    }
    if ((flags & D3DCLEAR_ZBUFFER) && !render_target_->AttachedZBuffer()) {
        ThrowDxError(D3DERR_ZBUFFER_NOTPRESENT, "Direct3DDevice7.Clear: no depth buffer is attached.");
    }
    if ((flags & D3DCLEAR_ZBUFFER) && !(z >= 0.0f && z <= 1.0f)) {
        ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7.Clear: the depth must lie in 0 to 1.");
    }
    const raster::Target target = render_target_->RasterTarget();
    const uint16_t depth = static_cast<uint16_t>(std::lround(z * 65535.0f));
    const D3DRECT whole{viewport_.dwX, viewport_.dwY, viewport_.dwX + viewport_.dwWidth,
                        viewport_.dwY + viewport_.dwHeight};
    const int32_t n = (count == 0 || rects == nullptr) ? 1 : count;
    for (int32_t i = 0; i < n; ++i) {
        const D3DRECT& r = (count == 0 || rects == nullptr) ? whole : rects[i];
        const int x1 = std::max(r.x1, whole.x1), y1 = std::max(r.y1, whole.y1);
        const int x2 = std::min(r.x2, whole.x2), y2 = std::min(r.y2, whole.y2);
        if (x1 >= x2 || y1 >= y2) continue;
        if (flags & D3DCLEAR_TARGET) raster::FillColor(target, x1, y1, x2, y2, color);
        if (flags & D3DCLEAR_ZBUFFER) raster::FillDepth(target, x1, y1, x2, y2, depth);
    }
}

// --- texture stage ---------------------------------------------------------------------

void Direct3DDevice7::RequireStage0(int32_t stage) const {
    if (stage != 0) {
        ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7: texture stage " + std::to_string(stage) +
                                              " is not supported; only stage 0 exists.");
    }
}

void Direct3DDevice7::SetTexture(int32_t stage, SurfacePtr texture) {
    RequireStage0(stage);
    if (texture) {
        bool known = false;
        if (!texture->IsPrimary() && !texture->IsZBuffer()) {
            for (const DDPIXELFORMAT& f : texture_formats_) {
                DDPIXELFORMAT a = f, b = texture->PixelFormat();
                a.dwSize = b.dwSize = 0;
                if (a == b) known = true;
            }
        }
        if (!known) {
            ThrowDxError(D3DERR_WRONGTEXTUREFORMAT,
                         "Direct3DDevice7.SetTexture: the surface is not in a texture format of the device.");
        }
    }
    texture_ = std::move(texture);
}

SurfacePtr Direct3DDevice7::GetTexture(int32_t stage) const {
    RequireStage0(stage);
    return texture_;
}

void Direct3DDevice7::SetTextureStageState(int32_t stage, int32_t type, uint32_t value) {
    RequireStage0(stage);
    auto is_op = [](uint32_t v) { return v >= D3DTOP_DISABLE && v <= D3DTOP_MODULATE; };
    auto is_arg = [](uint32_t v) { return v == D3DTA_DIFFUSE || v == D3DTA_CURRENT || v == D3DTA_TEXTURE; };
    auto is_address = [](uint32_t v) { return v == D3DTADDRESS_WRAP || v == D3DTADDRESS_CLAMP; };
    auto address = [](uint32_t v) { return v == D3DTADDRESS_WRAP ? raster::Address::Wrap : raster::Address::Clamp; };
    switch (type) {
        case D3DTSS_COLOROP:
        case D3DTSS_ALPHAOP:
            if (!is_op(value)) {
                ThrowDxError(D3DERR_UNSUPPORTEDCOLOROPERATION, "Direct3DDevice7.SetTextureStageState: "
                             "texture operation " + std::to_string(value) + " is not supported.");
            }
            break;
        case D3DTSS_COLORARG1:
        case D3DTSS_COLORARG2:
        case D3DTSS_ALPHAARG1:
        case D3DTSS_ALPHAARG2:
            if (!is_arg(value)) {
                ThrowDxError(D3DERR_UNSUPPORTEDCOLORARG, "Direct3DDevice7.SetTextureStageState: "
                             "texture argument " + std::to_string(value) + " is not supported.");
            }
            break;
        case D3DTSS_TEXCOORDINDEX:
            if (value != 0) BadValue("SetTextureStageState", type, value);
            break;
        case D3DTSS_ADDRESS:
            if (!is_address(value)) BadValue("SetTextureStageState", type, value);
            stage_states_[D3DTSS_ADDRESSU] = stage_states_[D3DTSS_ADDRESSV] = value;
            state_.address_u = state_.address_v = address(value);
            break;
        case D3DTSS_ADDRESSU:
            if (!is_address(value)) BadValue("SetTextureStageState", type, value);
            state_.address_u = address(value);
            break;
        case D3DTSS_ADDRESSV:
            if (!is_address(value)) BadValue("SetTextureStageState", type, value);
            state_.address_v = address(value);
            break;
        case D3DTSS_MAGFILTER:
            if (value != D3DTFG_POINT && value != D3DTFG_LINEAR) {
                ThrowDxError(D3DERR_UNSUPPORTEDTEXTUREFILTER, "Direct3DDevice7.SetTextureStageState: "
                             "magnification filter " + std::to_string(value) + " is not supported.");
            }
            state_.mag_filter = value == D3DTFG_LINEAR ? raster::Filter::Linear : raster::Filter::Point;
            break;
        case D3DTSS_MINFILTER:
            if (value != D3DTFN_POINT && value != D3DTFN_LINEAR) {
                ThrowDxError(D3DERR_UNSUPPORTEDTEXTUREFILTER, "Direct3DDevice7.SetTextureStageState: "
                             "minification filter " + std::to_string(value) + " is not supported.");
            }
            state_.min_filter = value == D3DTFN_LINEAR ? raster::Filter::Linear : raster::Filter::Point;
            break;
        case D3DTSS_MIPFILTER:
            if (value != D3DTFP_NONE) {
                ThrowDxError(D3DERR_UNSUPPORTEDTEXTUREFILTER,
                             "Direct3DDevice7.SetTextureStageState: mipmaps are not supported.");
            }
            break;
        default:
            ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7.SetTextureStageState: stage state " +
                                                  std::to_string(type) + " is not supported.");
    }
    stage_states_[static_cast<size_t>(type)] = value;
    UpdateColorOp();
}

uint32_t Direct3DDevice7::GetTextureStageState(int32_t stage, int32_t type) const {
    RequireStage0(stage);
    switch (type) {
        case D3DTSS_COLOROP: case D3DTSS_COLORARG1: case D3DTSS_COLORARG2: case D3DTSS_ALPHAOP:
        case D3DTSS_ALPHAARG1: case D3DTSS_ALPHAARG2: case D3DTSS_TEXCOORDINDEX:
        case D3DTSS_ADDRESS: case D3DTSS_ADDRESSU: case D3DTSS_ADDRESSV: case D3DTSS_MAGFILTER:
        case D3DTSS_MINFILTER: case D3DTSS_MIPFILTER:
            return stage_states_[static_cast<size_t>(type)];
        default:
            ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7.GetTextureStageState: stage state " +
                                                  std::to_string(type) + " is not supported.");
    }
}

// The colour operation of stage 0 in rasteriser terms; the current colour of stage 0 is
// the diffuse colour. Combinations the rasteriser cannot express (diffuse × diffuse,
// texture × texture) make DrawPrimitive fail.
void Direct3DDevice7::UpdateColorOp() {
    const uint32_t op = stage_states_[D3DTSS_COLOROP];
    const bool tex1 = stage_states_[D3DTSS_COLORARG1] == D3DTA_TEXTURE;
    const bool tex2 = stage_states_[D3DTSS_COLORARG2] == D3DTA_TEXTURE;
    color_op_valid_ = true;
    if (op == D3DTOP_DISABLE) {
        state_.color_op = raster::ColorOp::Diffuse;
    } else if (op == D3DTOP_SELECTARG1) {
        state_.color_op = tex1 ? raster::ColorOp::Texture : raster::ColorOp::Diffuse;
    } else if (op == D3DTOP_SELECTARG2) {
        state_.color_op = tex2 ? raster::ColorOp::Texture : raster::ColorOp::Diffuse;
    } else {
        state_.color_op = raster::ColorOp::Modulate;
        color_op_valid_ = tex1 != tex2;
    }
}

// --- scenes and drawing ----------------------------------------------------------------

void Direct3DDevice7::BeginScene() {
    if (in_scene_) ThrowDxError(D3DERR_INBEGIN, "Direct3DDevice7.BeginScene: a scene is already in progress.");
    in_scene_ = true;
}

void Direct3DDevice7::EndScene() {
    if (!in_scene_) ThrowDxError(D3DERR_NOTINBEGIN, "Direct3DDevice7.EndScene: no scene is in progress.");
    in_scene_ = false;
}

void Direct3DDevice7::PrepareLighting(LightingSetup& setup) const {
    plovant::MatrixMultiply(setup.world_view, world_, view_);
    const D3DMATRIX& m = setup.world_view;
    // Normals go through the inverse transpose of the upper 3 × 3 of world · view, which
    // is the cofactor matrix divided by the determinant.
    const float a[3][3] = {{m._11, m._12, m._13}, {m._21, m._22, m._23}, {m._31, m._32, m._33}};
    float cof[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            cof[i][j] = a[i1][j1] * a[i2][j2] - a[i1][j2] * a[i2][j1];
        }
    }
    const float det = a[0][0] * cof[0][0] + a[0][1] * cof[0][1] + a[0][2] * cof[0][2];
    const float inv = (det != 0 && Finite(det)) ? 1.0f / det : 1.0f;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) setup.normal_matrix[i][j] = cof[i][j] * inv;

    const D3DCOLOR ambient = render_states_[D3DRENDERSTATE_AMBIENT];
    const float gr = ((ambient >> 16) & 0xFF) / 255.0f, gg = ((ambient >> 8) & 0xFF) / 255.0f,
                gb = (ambient & 0xFF) / 255.0f;
    setup.base = D3DCOLORVALUE{material_.emissive.r + material_.ambient.r * gr,
                               material_.emissive.g + material_.ambient.g * gg,
                               material_.emissive.b + material_.ambient.b * gb, material_.diffuse.a};
    setup.specular = render_states_[D3DRENDERSTATE_SPECULARENABLE] != 0;
    setup.local_viewer = render_states_[D3DRENDERSTATE_LOCALVIEWER] != 0;
    setup.normalize = render_states_[D3DRENDERSTATE_NORMALIZENORMALS] != 0;
    setup.count = 0;
    for (const Light& slot : lights_) {
        if (!slot.set || !slot.enabled) continue;
        LightingSetup::Active& active = setup.lights[static_cast<size_t>(setup.count++)];
        const D3DLIGHT7& l = slot.light;
        active.point = l.dltType == D3DLIGHT_POINT;
        active.position = TransformPoint(view_, Vec3{l.dvPosition.x, l.dvPosition.y, l.dvPosition.z});
        active.to_light = Normalized(
            TransformDirection(view_, Vec3{-l.dvDirection.x, -l.dvDirection.y, -l.dvDirection.z}));
        active.range2 = l.dvRange * l.dvRange;
        active.a0 = l.dvAttenuation0;
        active.a1 = l.dvAttenuation1;
        active.a2 = l.dvAttenuation2;
        active.diffuse = l.dcvDiffuse;
        active.specular = l.dcvSpecular;
        active.ambient = l.dcvAmbient;
    }
}

namespace {

// The lighting equation of one vertex, in view space:
//   diffuse  = emissive + Ma × (ambient level + Σ atten × La) + Σ atten × Md × Ld × max(N·L, 0)
//   specular = Σ atten × Ms × Ls × max(N·H, 0)^power          (added when enabled)
// A point light reaches only vertices within its range; atten = 1 / (a0 + a1 d + a2 d²).
template <typename Setup>
raster::Vertex& LightOne(const Setup& setup, const D3DMATERIAL7& material, Vec3 position,
                         Vec3 normal, raster::Vertex& out) {
    float r = setup.base.r, g = setup.base.g, b = setup.base.b;
    float sr = 0, sg = 0, sb = 0;
    if (setup.count > 0) {
        const Vec3 p = TransformPoint(setup.world_view, position);
        Vec3 n;
        bool have_normal = false;  // the normal is transformed only for a light that reaches
        for (int i = 0; i < setup.count; ++i) {
            const auto& light = setup.lights[static_cast<size_t>(i)];
            Vec3 to_light = light.to_light;
            float atten = 1.0f;
            if (light.point) {
                const Vec3 d = light.position - p;
                const float distance2 = Dot(d, d);
                if (!(distance2 <= light.range2)) continue;
                const float distance = std::sqrt(distance2);
                const float denominator = light.a0 + light.a1 * distance + light.a2 * distance2;
                atten = denominator > 1e-20f ? 1.0f / denominator : 1e20f;
                to_light = distance > 0 ? d * (1.0f / distance) : Vec3{};
            }
            r += atten * material.ambient.r * light.ambient.r;
            g += atten * material.ambient.g * light.ambient.g;
            b += atten * material.ambient.b * light.ambient.b;
            if (!have_normal) {
                const auto& m = setup.normal_matrix;
                n = Vec3{normal.x * m[0][0] + normal.y * m[1][0] + normal.z * m[2][0],
                         normal.x * m[0][1] + normal.y * m[1][1] + normal.z * m[2][1],
                         normal.x * m[0][2] + normal.y * m[1][2] + normal.z * m[2][2]};
                if (setup.normalize) n = Normalized(n);
                have_normal = true;
            }
            const float n_dot_l = Dot(n, to_light);
            if (n_dot_l <= 0) continue;
            r += atten * material.diffuse.r * light.diffuse.r * n_dot_l;
            g += atten * material.diffuse.g * light.diffuse.g * n_dot_l;
            b += atten * material.diffuse.b * light.diffuse.b * n_dot_l;
            if (setup.specular) {
                const Vec3 to_eye = setup.local_viewer ? Normalized(Vec3{} - p) : Vec3{0, 0, -1};
                const float n_dot_h = Dot(Normalized(n), Normalized(to_light + to_eye));
                if (n_dot_h > 0) {
                    const float s = atten * std::pow(n_dot_h, material.power);
                    sr += s * material.specular.r * light.specular.r;
                    sg += s * material.specular.g * light.specular.g;
                    sb += s * material.specular.b * light.specular.b;
                }
            }
        }
    }
    out.r = Clamp01(Clamp01(r) + Clamp01(sr));
    out.g = Clamp01(Clamp01(g) + Clamp01(sg));
    out.b = Clamp01(Clamp01(b) + Clamp01(sb));
    out.a = Clamp01(setup.base.a);
    return out;
}

#if defined(PLOVANT_DEVICE_SSE2)
// The smallest and largest x, y and z of `count` (>= 1) vertices, in lanes 0 to 2 of
// `lo` and `hi` (lane 3 is a spare). minps(v, lo) is v < lo ? v : lo and maxps(v, hi)
// is v > hi ? v : hi, exactly what std::min(lo, v) and std::max(hi, v) give, NaN
// included, taken vertex after vertex in order. A vertex's first four floats are x, y, z
// and nx.
PLOVANT_DEVICE_INLINE void Bounds(const D3DVERTEX* vertices, int32_t count, float* lo, float* hi) {
    __m128 vlo = _mm_loadu_ps(&vertices[0].x), vhi = vlo;
    int32_t k = 1;
    for (; k + 1 < count; k += 2) {
        const __m128 p = _mm_loadu_ps(&vertices[k].x);
        const __m128 q = _mm_loadu_ps(&vertices[k + 1].x);
        vlo = _mm_min_ps(q, _mm_min_ps(p, vlo));
        vhi = _mm_max_ps(q, _mm_max_ps(p, vhi));
    }
    if (k < count) {
        const __m128 p = _mm_loadu_ps(&vertices[k].x);
        vlo = _mm_min_ps(p, vlo);
        vhi = _mm_max_ps(p, vhi);
    }
    _mm_store_ps(lo, vlo);
    _mm_store_ps(hi, vhi);
}

void BoundsSse2(const D3DVERTEX* vertices, int32_t count, float* lo, float* hi) {
    Bounds(vertices, count, lo, hi);
}

// `count` vertices transformed by the rows of a matrix, (x · row1 + y · row2) + z · row3
// + row4 in each lane, as the plain expression sums them, with one colour and their
// texture coordinates.
PLOVANT_DEVICE_INLINE void TransformConstantColour(const D3DVERTEX* in, int32_t count,
                                                   const __m128* rows, __m128 colour,
                                                   raster::Vertex* out) {
    const __m128 row1 = rows[0], row2 = rows[1], row3 = rows[2], row4 = rows[3];
    for (const D3DVERTEX* end = in + count; in != end; ++in, ++out) {
        const __m128 sum = _mm_add_ps(
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(in->x), row1),
                                  _mm_mul_ps(_mm_set1_ps(in->y), row2)),
                       _mm_mul_ps(_mm_set1_ps(in->z), row3)),
            row4);
        _mm_storeu_ps(&out->x, sum);
        _mm_storeu_ps(&out->r, colour);
        _mm_storel_pi(reinterpret_cast<__m64*>(&out->u),
                      _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&in->tu))));
    }
}

// The SSE2 build reads a position once and spreads its lanes.
void TransformConstantColourSse2(const D3DVERTEX* in, int32_t count, const __m128* rows,
                                 __m128 colour, raster::Vertex* out) {
    const __m128 row1 = rows[0], row2 = rows[1], row3 = rows[2], row4 = rows[3];
    for (const D3DVERTEX* end = in + count; in != end; ++in, ++out) {
        const __m128i p = _mm_castps_si128(_mm_loadu_ps(&in->x));  // x y z nx
        const __m128 x = _mm_castsi128_ps(_mm_shuffle_epi32(p, _MM_SHUFFLE(0, 0, 0, 0)));
        const __m128 y = _mm_castsi128_ps(_mm_shuffle_epi32(p, _MM_SHUFFLE(1, 1, 1, 1)));
        const __m128 z = _mm_castsi128_ps(_mm_shuffle_epi32(p, _MM_SHUFFLE(2, 2, 2, 2)));
        const __m128 sum = _mm_add_ps(
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, row1), _mm_mul_ps(y, row2)), _mm_mul_ps(z, row3)),
            row4);
        _mm_storeu_ps(&out->x, sum);
        _mm_storeu_ps(&out->r, colour);
        _mm_storel_pi(reinterpret_cast<__m64*>(&out->u),
                      _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&in->tu))));
    }
}

#if defined(PLOVANT_DEVICE_AVX2)
PLOVANT_DEVICE_TARGET_AVX2 void BoundsAvx2(const D3DVERTEX* vertices, int32_t count, float* lo,
                                           float* hi) {
    Bounds(vertices, count, lo, hi);
}

PLOVANT_DEVICE_TARGET_AVX2 void TransformConstantColourAvx2(const D3DVERTEX* in, int32_t count,
                                                            const __m128* rows, __m128 colour,
                                                            raster::Vertex* out) {
    TransformConstantColour(in, count, rows, colour, out);
}
#endif
#endif

// Drops the point lights that cannot reach any of `count` vertices: their range, in view
// space, misses a sphere around the vertices' bounding box. Exact: a light dropped here
// would have been skipped for every vertex.
template <typename Setup>
void DropUnreachableLights(Setup& setup, const D3DVERTEX* vertices, int32_t count) {
    bool any_point = false;
    for (int i = 0; i < setup.count; ++i) any_point |= setup.lights[static_cast<size_t>(i)].point;
    if (!any_point || count <= 0) return;
    float lo[3] = {vertices[0].x, vertices[0].y, vertices[0].z};
    float hi[3] = {lo[0], lo[1], lo[2]};
#if defined(PLOVANT_DEVICE_SSE2)
    alignas(16) float out_lo[4], out_hi[4];
#if defined(PLOVANT_DEVICE_AVX2)
    if (raster::CurrentInstructionSet() == raster::InstructionSet::Avx2)
        BoundsAvx2(vertices, count, out_lo, out_hi);
    else
#endif
        BoundsSse2(vertices, count, out_lo, out_hi);
    for (int i = 0; i < 3; ++i) lo[i] = out_lo[i], hi[i] = out_hi[i];
#else
    for (int32_t k = 1; k < count; ++k) {
        const D3DVERTEX& v = vertices[k];
        lo[0] = std::min(lo[0], v.x), hi[0] = std::max(hi[0], v.x);
        lo[1] = std::min(lo[1], v.y), hi[1] = std::max(hi[1], v.y);
        lo[2] = std::min(lo[2], v.z), hi[2] = std::max(hi[2], v.z);
    }
#endif
    const Vec3 centre{(lo[0] + hi[0]) * 0.5f, (lo[1] + hi[1]) * 0.5f, (lo[2] + hi[2]) * 0.5f};
    const float radius = Length(Vec3{hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]}) * 0.5f;
    // How far world · view can stretch a distance: at most the root of the sum of the
    // squares of its 3 × 3 entries.
    const D3DMATRIX& m = setup.world_view;
    const float stretch = std::sqrt(m._11 * m._11 + m._12 * m._12 + m._13 * m._13 + m._21 * m._21 +
                                    m._22 * m._22 + m._23 * m._23 + m._31 * m._31 + m._32 * m._32 +
                                    m._33 * m._33);
    const Vec3 centre_view = TransformPoint(m, centre);
    const float reach = radius * stretch;
    if (!Finite(reach) || !Finite(centre_view.x) || !Finite(centre_view.y) || !Finite(centre_view.z)) return;
    int kept = 0;
    for (int i = 0; i < setup.count; ++i) {
        const auto& light = setup.lights[static_cast<size_t>(i)];
        if (light.point) {
            const float gap = Length(light.position - centre_view) - reach;
            // A margin for rounding: only lights clearly out of reach are dropped.
            if (gap > 0 && gap * gap > light.range2 * 1.0001f + 1e-6f) continue;
        }
        setup.lights[static_cast<size_t>(kept++)] = light;
    }
    setup.count = kept;
}

}  // namespace

D3DCOLORVALUE Direct3DDevice7::LightVertex(const D3DVECTOR& position, const D3DVECTOR& normal) const {
    LightingSetup setup;
    PrepareLighting(setup);
    raster::Vertex v;
    LightOne(setup, material_, Vec3{position.x, position.y, position.z},
             Vec3{normal.x, normal.y, normal.z}, v);
    return D3DCOLORVALUE{v.r, v.g, v.b, v.a};
}

void Direct3DDevice7::DrawPrimitive(int32_t primitive_type, uint32_t vertex_type,
                                    const D3DVERTEX* vertices, int32_t count, uint32_t /*flags*/) {
    raster::ClearUpperVectorState();
    if (!in_scene_) {
        ThrowDxError(D3DERR_NOTINBEGIN, "Direct3DDevice7.DrawPrimitive: drawing outside BeginScene and EndScene.");
    }
    if (primitive_type != D3DPT_TRIANGLELIST) {
        ThrowDxError(D3DERR_INVALIDPRIMITIVETYPE, "Direct3DDevice7.DrawPrimitive: primitive type " +
                                                      std::to_string(primitive_type) +
                                                      " is not supported; only triangle lists.");
    }
    if (vertex_type != D3DFVF_VERTEX) {
        ThrowDxError(D3DERR_INVALIDVERTEXTYPE, "Direct3DDevice7.DrawPrimitive: vertex type " +
                                                   std::to_string(vertex_type) +
                                                   " is not supported; only D3DFVF_VERTEX.");
    }
    if (count < 0 || count % 3 != 0 || (count > 0 && vertices == nullptr)) {
        ThrowDxError(DDERR_INVALIDPARAMS, "Direct3DDevice7.DrawPrimitive: the vertex count " +
                                              std::to_string(count) + " is not a multiple of 3.");
    }
    if (!color_op_valid_) {
        ThrowDxError(D3DERR_UNSUPPORTEDCOLORARG,
                     "Direct3DDevice7.DrawPrimitive: stage 0 modulates two equal arguments.");
    }
    if (count == 0) return;

    ComputeCombinedMatrix();
    const D3DMATRIX& m = combined_;
    clip_vertices_.resize(static_cast<size_t>(std::min(count, kTransformBlock)));
    const bool lighting = render_states_[D3DRENDERSTATE_LIGHTING] != 0;
    LightingSetup setup;
    raster::Vertex unlit;  // the colour of every vertex when no light reaches any of them
    bool constant_colour = !lighting;
    if (lighting) {
        PrepareLighting(setup);
        DropUnreachableLights(setup, vertices, count);
        if (setup.count == 0) {
            LightOne(setup, material_, Vec3{}, Vec3{}, unlit);
            constant_colour = true;
        }
    } else {
        unlit.r = unlit.g = unlit.b = unlit.a = 1.0f;
    }
    raster::State state = state_;
    state.texture = texture_ ? &texture_->RasterTexture() : nullptr;
    const raster::Target target = render_target_->RasterTarget();
    if (target.depth == nullptr) {
        state.z_enable = false;
        state.z_write = false;
    }
#if defined(PLOVANT_DEVICE_SSE2)
    // The four columns at once, each lane summed in the order of the plain expression
    // below ((x · m1j + y · m2j) + z · m3j) + m4j, so the results are the same bits.
    const __m128 row1 = _mm_loadu_ps(&m._11), row2 = _mm_loadu_ps(&m._21);
    const __m128 row3 = _mm_loadu_ps(&m._31), row4 = _mm_loadu_ps(&m._41);
    const __m128 rows[4] = {row1, row2, row3, row4};
#if defined(PLOVANT_DEVICE_AVX2)
    const bool avx2 = raster::CurrentInstructionSet() == raster::InstructionSet::Avx2;
#endif
#endif
    raster::Vertex* const out = clip_vertices_.data();
    // Vertices are transformed and drawn a block of triangles at a time, so the
    // transformed ones are still in the cache when the rasteriser reads them instead of
    // making a round trip through memory for a large model. Triangles are drawn in
    // order either way.
    for (int32_t first = 0; first < count; first += kTransformBlock) {
        const int32_t block = std::min(count - first, kTransformBlock);
#if defined(PLOVANT_DEVICE_SSE2)
        if (constant_colour) {
            // The common case (no light reaches the vertices, or lighting is off): the
            // position transformed as below, the texture coordinates copied, one colour.
            const __m128 colour = _mm_setr_ps(unlit.r, unlit.g, unlit.b, unlit.a);
#if defined(PLOVANT_DEVICE_AVX2)
            if (avx2)
                TransformConstantColourAvx2(vertices + first, block, rows, colour, out);
            else
#endif
                TransformConstantColourSse2(vertices + first, block, rows, colour, out);
            raster::DrawTriangleList(state, target, out, static_cast<size_t>(block));
            continue;
        }
#endif
        for (int32_t k = 0; k < block; ++k) {
            const D3DVERTEX& in = vertices[first + k];
            raster::Vertex& vertex = out[k];
#if defined(PLOVANT_DEVICE_SSE2)
            const __m128 sum = _mm_add_ps(
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(in.x), row1),
                                      _mm_mul_ps(_mm_set1_ps(in.y), row2)),
                           _mm_mul_ps(_mm_set1_ps(in.z), row3)),
                row4);
            _mm_storeu_ps(&vertex.x, sum);
#else
            vertex.x = in.x * m._11 + in.y * m._21 + in.z * m._31 + m._41;
            vertex.y = in.x * m._12 + in.y * m._22 + in.z * m._32 + m._42;
            vertex.z = in.x * m._13 + in.y * m._23 + in.z * m._33 + m._43;
            vertex.w = in.x * m._14 + in.y * m._24 + in.z * m._34 + m._44;
#endif
            vertex.u = in.tu;
            vertex.v = in.tv;
            if (constant_colour) {
                vertex.r = unlit.r;
                vertex.g = unlit.g;
                vertex.b = unlit.b;
                vertex.a = unlit.a;
            } else {
                LightOne(setup, material_, Vec3{in.x, in.y, in.z}, Vec3{in.nx, in.ny, in.nz}, vertex);
            }
        }
        raster::DrawTriangleList(state, target, out, static_cast<size_t>(block));
    }
}

}  // namespace plovant::dx7
