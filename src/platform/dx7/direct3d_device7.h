// The Direct3D device: fixed-function transform and lighting in front of the software
// rasteriser. Setters check their arguments, keep the DirectX value and translate it
// once into rasteriser terms; DrawPrimitive transforms and lights the vertices of one
// call into clip space and hands them to the rasteriser.
//
// The drawing methods are virtual so tests can put a recording device in its place.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/dx7/direct_x7.h"
#include "platform/dx7/dx7_types.h"
#include "platform/dx7/raster/rasteriser.h"

namespace plovant::dx7 {

class Direct3DDevice7 {
public:
    // A device drawing into `render_target`, a 32-bit colour surface (else
    // DDERR_INVALIDPIXELFORMAT; null: DDERR_INVALIDPARAMS). `texture_formats` is what
    // GetTextureFormatsEnum lists (DefaultSystemConfig()'s by default).
    //
    // Initial state, as in DirectX 7: viewport = the whole target, depth 0..1; z enable
    // TRUE when the target has a depth buffer attached (else FALSE), z write TRUE, z
    // function LESSEQUAL, fill SOLID, cull CCW, lighting TRUE, ambient 0, colour keying
    // FALSE, specular FALSE, local viewer TRUE, normalize normals FALSE; all transforms
    // identity; no light set or enabled; material all zero; stage 0: colour op MODULATE
    // (texture × diffuse), alpha op SELECTARG1 (texture), wrap addressing, point
    // magnification and minification, no texture bound.
    explicit Direct3DDevice7(SurfacePtr render_target,
                             std::vector<DDPIXELFORMAT> texture_formats = DefaultSystemConfig().texture_formats);
    virtual ~Direct3DDevice7() = default;

    Direct3DDevice7(const Direct3DDevice7&) = delete;
    Direct3DDevice7& operator=(const Direct3DDevice7&) = delete;

    // The texture formats the device accepts.
    virtual Direct3DEnumPixelFormatsPtr GetTextureFormatsEnum() const;

    // The viewport must lie inside the render target, with positive size and
    // 0 <= MinZ <= MaxZ <= 1 (else DDERR_INVALIDPARAMS).
    virtual void SetViewport(const D3DVIEWPORT7& viewport);
    virtual void GetViewport(D3DVIEWPORT7& viewport) const;

    // Supported states: ZENABLE (D3DZB_FALSE / TRUE), FILLMODE (POINT, WIREFRAME, SOLID),
    // SHADEMODE (FLAT or GOURAUD, both drawn with interpolated vertex colours, which is
    // the same picture for faces whose vertices share one normal), ZWRITEENABLE, CULLMODE,
    // ZFUNC (D3DCMP_*), ALPHABLENDENABLE (FALSE only), SPECULARENABLE, COLORKEYENABLE,
    // CLIPPING, LIGHTING, AMBIENT (a D3DCOLOR), LOCALVIEWER, NORMALIZENORMALS.
    // Another state number, or a value outside the state's range, throws
    // DDERR_INVALIDPARAMS.
    virtual void SetRenderState(int32_t state, uint32_t value);
    virtual uint32_t GetRenderState(int32_t state) const;

    // Light `index` (0 … 7): D3DLIGHT_POINT or D3DLIGHT_DIRECTIONAL, range >= 0, not all
    // attenuations 0 for a point light (else DDERR_INVALIDPARAMS).
    virtual void SetLight(int32_t index, const D3DLIGHT7& light);
    virtual void GetLight(int32_t index, D3DLIGHT7& light) const;
    // Enables or disables light `index`; a light never set throws D3DERR_LIGHT_SET_FAILED
    // when enabled.
    virtual void LightEnable(int32_t index, bool enable);
    virtual bool GetLightEnable(int32_t index) const;

    virtual void SetMaterial(const D3DMATERIAL7& material);
    virtual void GetMaterial(D3DMATERIAL7& material) const;

    // D3DTRANSFORMSTATE_WORLD, VIEW or PROJECTION (else DDERR_INVALIDPARAMS).
    virtual void SetTransform(int32_t state, const D3DMATRIX& matrix);
    virtual void GetTransform(int32_t state, D3DMATRIX& matrix) const;

    // Fills `count` rectangles (clipped to the viewport; count 0 or null: the whole
    // viewport) with `color` (D3DCLEAR_TARGET) and/or the depth `z` in 0..1
    // (D3DCLEAR_ZBUFFER; without a depth buffer D3DERR_ZBUFFER_NOTPRESENT).
    // D3DCLEAR_STENCIL throws D3DERR_STENCILBUFFER_NOTPRESENT. Allowed inside and outside
    // a scene.
    virtual void Clear(int32_t count, const D3DRECT* rects, uint32_t flags, D3DCOLOR color,
                       float z, uint32_t stencil);

    // Binds `texture` (null: none) to stage 0. Only stage 0 exists (else
    // DDERR_INVALIDPARAMS). The texture must be a colour surface in one of the formats of
    // GetTextureFormatsEnum (else D3DERR_WRONGTEXTUREFORMAT).
    virtual void SetTexture(int32_t stage, SurfacePtr texture);
    virtual SurfacePtr GetTexture(int32_t stage) const;

    // Stage 0 only. Supported: COLOROP (DISABLE, SELECTARG1, SELECTARG2, MODULATE),
    // COLORARG1/2 and ALPHAARG1/2 (D3DTA_DIFFUSE, CURRENT, TEXTURE), ALPHAOP (same ops),
    // TEXCOORDINDEX (0), ADDRESS/ADDRESSU/ADDRESSV (WRAP, CLAMP), MAGFILTER (D3DTFG_POINT,
    // LINEAR), MINFILTER (D3DTFN_POINT, LINEAR), MIPFILTER (D3DTFP_NONE). Another state
    // throws DDERR_INVALIDPARAMS; an unsupported filter D3DERR_UNSUPPORTEDTEXTUREFILTER;
    // an unsupported operation or argument D3DERR_UNSUPPORTEDCOLOROPERATION /
    // D3DERR_UNSUPPORTEDCOLORARG.
    virtual void SetTextureStageState(int32_t stage, int32_t type, uint32_t value);
    virtual uint32_t GetTextureStageState(int32_t stage, int32_t type) const;

    // A nested BeginScene throws D3DERR_INBEGIN; EndScene outside a scene
    // D3DERR_NOTINBEGIN.
    virtual void BeginScene();
    virtual void EndScene();
    bool InScene() const { return in_scene_; }

    // Draws `count` vertices of `vertices` as a triangle list. Only D3DPT_TRIANGLELIST
    // (else D3DERR_INVALIDPRIMITIVETYPE) of D3DFVF_VERTEX (else D3DERR_INVALIDVERTEXTYPE),
    // count a multiple of 3 (else DDERR_INVALIDPARAMS), flags ignored. Outside a scene:
    // D3DERR_NOTINBEGIN. Count 0 draws nothing. Vertices are transformed by world · view ·
    // projection, lit when lighting is on (else white, alpha 1), clipped against the near
    // and far planes and drawn with the current states.
    virtual void DrawPrimitive(int32_t primitive_type, uint32_t vertex_type,
                               const D3DVERTEX* vertices, int32_t count, uint32_t flags);

    // The surface the device draws into.
    const SurfacePtr& GetRenderTarget() const { return render_target_; }

    // The colour the fixed-function lighting gives a vertex at `position` with `normal`
    // (both in model space) under the current transforms, lights and material, as
    // 0..1 components (r, g, b, a). Exposed for tests of the lighting equation.
    D3DCOLORVALUE LightVertex(const D3DVECTOR& position, const D3DVECTOR& normal) const;

private:
    struct Light {
        D3DLIGHT7 light;
        bool set = false;
        bool enabled = false;
    };
    // Lights and matrices prepared once per draw call.
    struct LightingSetup;

    void RequireStage0(int32_t stage) const;
    void UpdateColorOp();
    void PrepareLighting(LightingSetup& setup) const;
    void ComputeCombinedMatrix();

    SurfacePtr render_target_;
    std::vector<DDPIXELFORMAT> texture_formats_;
    SurfacePtr texture_;
    bool in_scene_ = false;

    D3DVIEWPORT7 viewport_;
    std::array<uint32_t, 256> render_states_{};
    std::array<uint32_t, 32> stage_states_{};
    std::array<Light, 8> lights_{};
    D3DMATERIAL7 material_;
    D3DMATRIX world_, view_, projection_;
    D3DMATRIX combined_;
    bool combined_dirty_ = true;
    bool color_op_valid_ = true;

    raster::State state_;                  // translated states, texture pointer set per draw
    std::vector<raster::Vertex> clip_vertices_;  // reused between draws
};

}  // namespace plovant::dx7
