// A draw of many more vertices than the device transforms at a time: every triangle lands
// where it should with its own texture coordinates, unlit and lit alike.
#include <gtest/gtest.h>

#include <vector>

#include "platform/dx7/dx7.h"
#include "render/math/d3d_math.h"

namespace plovant::dx7 {
namespace {

constexpr int kSize = 64;
constexpr int kCells = 32;  // 32 × 32 quads of 2 × 2 pixels: 6,144 vertices

TEST(DeviceLargeDraw, EveryTriangleOfADrawOfThousandsOfVerticesLandsWithItsTexel) {
    DirectX7 dx;
    const DirectDraw7Ptr ddraw = dx.DirectDrawCreate("");
    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = kSize;
    desc.dwHeight = kSize;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    const SurfacePtr target = ddraw->CreateSurface(desc);
    const Direct3D7Ptr d3d = ddraw->GetDirect3D();
    const Direct3DDevice7Ptr device = d3d->CreateDevice(d3d->GetDevicesEnum()->GetGuid(2), target);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);

    // One texel per quad, each of its own colour.
    DDSURFACEDESC2 tdesc;
    tdesc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    tdesc.dwWidth = kCells;
    tdesc.dwHeight = kCells;
    tdesc.ddpfPixelFormat = PixelFormatX8R8G8B8();
    tdesc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    const SurfacePtr texture = ddraw->CreateSurface(tdesc);
    const auto texel = [](int i, int j) {
        return static_cast<uint32_t>(0x10000 * (i * 7) + 0x100 * (j * 5) + i + j);
    };
    for (int j = 0; j < kCells; ++j)
        for (int i = 0; i < kCells; ++i) texture->SetPixel(i, j, texel(i, j));
    device->SetTexture(0, texture);

    // Quad (i, j) covers pixels 2i … 2i+1 × 2j … 2j+1 (identity transforms: clip space),
    // all its corners at the centre of texel (i, j).
    std::vector<D3DVERTEX> vertices;
    const float cell = 2.0f / kCells;
    for (int j = 0; j < kCells; ++j) {
        for (int i = 0; i < kCells; ++i) {
            const float x0 = -1 + cell * static_cast<float>(i), x1 = x0 + cell;
            const float y1 = 1 - cell * static_cast<float>(j), y0 = y1 - cell;
            const float u = (static_cast<float>(i) + 0.5f) / kCells;
            const float v = (static_cast<float>(j) + 0.5f) / kCells;
            const auto at = [&](float x, float y) {
                D3DVERTEX out;
                CreateD3DVertex(x, y, 0.5f, 0, 0, -1, u, v, out);
                return out;
            };
            vertices.insert(vertices.end(), {at(x0, y1), at(x1, y1), at(x0, y0), at(x1, y1),
                                             at(x1, y0), at(x0, y0)});
        }
    }

    // Unlit; then lit by a material that glows white and a point light out of reach;
    // then with the light reaching every vertex (each vertex lit on its own, still white).
    for (int pass = 0; pass < 3; ++pass) {
        device->SetRenderState(D3DRENDERSTATE_LIGHTING, pass == 0 ? 0 : 1);
        D3DMATERIAL7 material;
        material.emissive = D3DCOLORVALUE{1, 1, 1, 1};
        device->SetMaterial(material);
        D3DLIGHT7 light;
        light.dltType = D3DLIGHT_POINT;
        light.dcvDiffuse = D3DCOLORVALUE{1, 1, 1, 1};
        light.dvPosition = MakeVector(0, 0, pass == 1 ? 1000.0f : 0.0f);
        light.dvRange = 10;
        light.dvAttenuation0 = 1;
        device->SetLight(0, light);
        device->LightEnable(0, pass > 0);

        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x0000FF, 1.0f, 0);
        device->BeginScene();
        device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, vertices.data(),
                              static_cast<int32_t>(vertices.size()), 0);
        device->EndScene();
        int wrong = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                wrong += (target->GetPixel(x, y) & 0xFFFFFF) != texel(x / 2, y / 2);
        EXPECT_EQ(wrong, 0) << "pass " << pass;
    }
}

}  // namespace
}  // namespace plovant::dx7
