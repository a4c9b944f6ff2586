// Frame times of the software device: an empty frame (clear and present) against a frame
// that draws a textured model of about 10,000 faces covering about a third of a 427 × 389
// back buffer, both through the set-up that the viewer makes. Counters report the share
// of the picture the model covers and the heap allocations per frame.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "device/direct3d_setup.h"
#include "render/math/d3d_math.h"

namespace {

std::atomic<long> g_allocations{0};

}  // namespace

// Counts every heap allocation of the program, so a frame's can be reported.
void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace plovant {
namespace {

using namespace plovant::dx7;

constexpr int kWidth = 427;
constexpr int kHeight = 389;
constexpr uint32_t kBackground = 0x000000FF;

// A sphere of `slices` × `stacks` quads (two triangles each), radius `radius`, texture
// coordinates wrapping once around it, flat face normals as the mesh drawing makes them.
std::vector<D3DVERTEX> Sphere(int slices, int stacks, float radius) {
    std::vector<D3DVERTEX> list;
    auto point = [&](int i, int j) {
        const float theta = 2.0f * 3.14159265f * static_cast<float>(i) / static_cast<float>(slices);
        const float phi = 3.14159265f * static_cast<float>(j) / static_cast<float>(stacks);
        return MakeVector(radius * std::sin(phi) * std::cos(theta), radius * std::cos(phi),
                          radius * std::sin(phi) * std::sin(theta));
    };
    auto add = [&](const D3DVECTOR& a, const D3DVECTOR& b, const D3DVECTOR& c, float u0, float v0,
                   float u1, float v1, float u2, float v2) {
        const D3DVECTOR n = FaceNormal(b, a, c);
        D3DVERTEX v;
        CreateD3DVertex(a.x, a.y, a.z, n.x, n.y, n.z, u0, v0, v);
        list.push_back(v);
        CreateD3DVertex(b.x, b.y, b.z, n.x, n.y, n.z, u1, v1, v);
        list.push_back(v);
        CreateD3DVertex(c.x, c.y, c.z, n.x, n.y, n.z, u2, v2, v);
        list.push_back(v);
    };
    for (int j = 0; j < stacks; ++j) {
        for (int i = 0; i < slices; ++i) {
            const float u0 = 4.0f * i / slices, u1 = 4.0f * (i + 1) / slices;
            const float v0 = 2.0f * j / stacks, v1 = 2.0f * (j + 1) / stacks;
            add(point(i, j), point(i + 1, j), point(i, j + 1), u0, v0, u1, v0, u0, v1);
            add(point(i + 1, j), point(i + 1, j + 1), point(i, j + 1), u1, v0, u1, v1, u0, v1);
        }
    }
    return list;
}

struct Viewer {
    Viewer() : window(QRect(0, 0, kWidth, kHeight), QRect(4, 30, kWidth - 8, kHeight - 34)) {
        InitDirect3D(state, &window);
        // A 64 × 64 X1R5G5B5 checker texture with a few magenta (keyed) texels.
        DDSURFACEDESC2 desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = desc.dwHeight = 64;
        desc.ddpfPixelFormat = PixelFormatX1R5G5B5();
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        texture = state.DDraw->CreateSurface(desc);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                texture->SetPixel(x, y, (x % 16 == 7 && y % 16 == 7) ? 0x7C1F : ((x / 8 + y / 8) % 2 ? 0x7FE0 : 0x03FF));
        texture->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{0x7C1F, 0x7C1F});
    }

    // One frame as the viewer draws it: clear, filter, fill mode, scene, present.
    void Frame(const std::vector<D3DVERTEX>* model) {
        Direct3DDevice7& device = *state.D3DDevice;
        device.Clear(1, state.ClearRects.data(), D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground, 1.0f, 0);
        device.SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
        device.SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
        device.BeginScene();
        if (model != nullptr) {
            device.SetTexture(0, texture);
            device.DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, model->data(),
                                 static_cast<int32_t>(model->size()), 0);
        }
        device.EndScene();
        state.DX->GetWindowRect(&window, state.WindowRect);
        state.PrimarySurface->Blt(state.WindowRect, state.BackBuffer, state.SourceRect, DDBLT_WAIT);
    }

    double Coverage() const {
        long covered = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) covered += (state.BackBuffer->GetPixel(x, y) & 0xFFFFFF) != kBackground;
        return static_cast<double>(covered) / (kWidth * kHeight);
    }

    OffscreenWindow window;
    DeviceState state;
    SurfacePtr texture;
};

void RunFrames(benchmark::State& bench, const std::vector<D3DVERTEX>* model) {
    Viewer viewer;
    viewer.Frame(model);  // warm: converted texture, sized buffers
    long frames = 0;
    const long before = g_allocations.load();
    for (auto _ : bench) {
        viewer.Frame(model);
        ++frames;
    }
    bench.counters["allocs_per_frame"] = static_cast<double>(g_allocations.load() - before) / frames;
    bench.counters["coverage"] = viewer.Coverage();
    if (model != nullptr) bench.counters["faces"] = static_cast<double>(model->size() / 3);
}

void BM_EmptyFrame(benchmark::State& bench) { RunFrames(bench, nullptr); }

void BM_ModelFrame(benchmark::State& bench) {
    // 100 × 50 quads: 10,000 faces; radius 11 at the set-up camera's distance of 30
    // covers about a third of the picture.
    static const std::vector<D3DVERTEX> model = Sphere(100, 50, 11.0f);
    RunFrames(bench, &model);
}

BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelFrame)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace plovant

BENCHMARK_MAIN();
