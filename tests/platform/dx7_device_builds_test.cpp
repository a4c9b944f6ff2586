// The device's per-vertex loops (transform, the bounding box that drops lights out of
// reach) also have an AVX2 build: draws of odd and even vertex counts, unlit, lit by a
// light out of reach and lit by one in reach, must give the same pixels and depths under
// both instruction sets.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/dx7/dx7.h"
#include "platform/dx7/raster/instruction_set.h"
#include "render/math/d3d_math.h"

namespace plovant::dx7 {
namespace {

std::vector<uint32_t> DrawScene(raster::InstructionSet set, int pass, int triangles) {
    raster::UseInstructionSet(set);
    DirectX7 dx;
    const DirectDraw7Ptr ddraw = dx.DirectDrawCreate("");
    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = 48;
    desc.dwHeight = 40;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    const SurfacePtr target = ddraw->CreateSurface(desc);
    const Direct3D7Ptr d3d = ddraw->GetDirect3D();
    const Direct3DDevice7Ptr device = d3d->CreateDevice(d3d->GetDevicesEnum()->GetGuid(2), target);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, pass == 0 ? 0 : 1);
    D3DMATERIAL7 material;
    material.diffuse = D3DCOLORVALUE{0.8f, 0.5f, 0.3f, 1};
    material.ambient = D3DCOLORVALUE{0.2f, 0.2f, 0.2f, 1};
    device->SetMaterial(material);
    D3DLIGHT7 light;
    light.dltType = D3DLIGHT_POINT;
    light.dcvDiffuse = D3DCOLORVALUE{1, 1, 1, 1};
    light.dvPosition = MakeVector(0.2f, 0.1f, pass == 1 ? 500.0f : -1.0f);
    light.dvRange = 5;
    light.dvAttenuation0 = 1;
    device->SetLight(0, light);
    device->LightEnable(0, pass > 0);
    D3DMATRIX world;
    IdentityMatrix(world);
    world._11 = 0.9f;
    world._12 = 0.3f;
    world._43 = 0.25f;
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, world);

    std::vector<D3DVERTEX> vertices;
    uint32_t state = 77;
    const auto unit = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>((state >> 8) & 0xFFFF) / 65536.0f;
    };
    for (int i = 0; i < 3 * triangles; ++i) {
        D3DVERTEX v;
        CreateD3DVertex(unit() * 2 - 1, unit() * 2 - 1, unit() * 0.5f, unit() - 0.5f, unit() - 0.5f,
                        -1, unit(), unit(), v);
        vertices.push_back(v);
    }
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x000000FF, 1.0f, 0);
    device->BeginScene();
    device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, vertices.data(),
                          static_cast<int32_t>(vertices.size()), 0);
    device->EndScene();
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x) pixels.push_back(target->GetPixel(x, y));
    return pixels;
}

TEST(DeviceBuilds, UnlitAndLitDrawsGiveTheSamePixelsUnderBothInstructionSets) {
    using raster::InstructionSet;
    const InstructionSet before = raster::CurrentInstructionSet();
    for (int pass = 0; pass < 3; ++pass) {
        for (int triangles : {1, 2, 7, 300}) {
            const std::vector<uint32_t> sse2 = DrawScene(InstructionSet::Sse2, pass, triangles);
            const std::vector<uint32_t> avx2 = DrawScene(InstructionSet::Avx2, pass, triangles);
            int drawn = 0;
            for (uint32_t p : sse2) drawn += (p & 0xFFFFFF) != 0x0000FF;
            EXPECT_GT(drawn, 0) << "pass " << pass << ", " << triangles << " triangles";
            EXPECT_EQ(sse2, avx2) << "pass " << pass << ", " << triangles << " triangles";
        }
    }
    raster::UseInstructionSet(before);
}

}  // namespace
}  // namespace plovant::dx7
