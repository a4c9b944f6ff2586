// The whole frame step of the viewer (spin, UpdateCamera, RenderScene with its
// presentation into an off-screen window of the viewer's size), on the largest bundled
// sample and on a generated model of 10,000 faces. The "fps" counter is frames per second
// on one core.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>

#include "platform/dx7/dx7.h"
#include "platform/platform_window.h"
#include "render/model_view.h"
#include "render/render_scene.h"

namespace {

using namespace plovant;

const std::string kData = std::string(PLOVANT_SAMPLES_DIR) + "/data";

// A textured sphere of `rings` × `segments` quads (two triangles each) in one mesh, with
// two texture slots (upper and lower half), the way game models keep their triangles.
RsmModel Sphere(int rings, int segments, float radius) {
    RsmMesh mesh;
    for (int r = 0; r <= rings; ++r) {
        const double theta = std::numbers::pi * r / rings;
        for (int s = 0; s <= segments; ++s) {
            const double phi = 2 * std::numbers::pi * s / segments;
            mesh.Vertices.push_back({static_cast<float>(radius * std::sin(theta) * std::cos(phi)),
                                     static_cast<float>(radius * std::cos(theta)),
                                     static_cast<float>(radius * std::sin(theta) * std::sin(phi))});
            RsmTexVertex t;
            t.U = static_cast<float>(4.0 * s / segments);
            t.V = static_cast<float>(2.0 * r / rings);
            mesh.TexVertices.push_back(t);
        }
    }
    const auto index = [&](int r, int s) { return static_cast<int16_t>(r * (segments + 1) + s); };
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < segments; ++s) {
            const int16_t slot = r < rings / 2 ? 0 : 1;
            const int16_t a = index(r, s), b = index(r, s + 1), c = index(r + 1, s),
                          d = index(r + 1, s + 1);
            RsmFace f1;
            f1.V0 = f1.T0 = a;
            f1.V1 = f1.T1 = b;
            f1.V2 = f1.T2 = c;
            f1.TextureSlot = slot;
            RsmFace f2;
            f2.V0 = f2.T0 = b;
            f2.V1 = f2.T1 = d;
            f2.V2 = f2.T2 = c;
            f2.TextureSlot = slot;
            mesh.Faces.push_back(f1);
            mesh.Faces.push_back(f2);
        }
    }
    mesh.VertexCount = static_cast<int32_t>(mesh.Vertices.size());
    mesh.TexVertexCount = static_cast<int32_t>(mesh.TexVertices.size());
    mesh.FaceCount = static_cast<int32_t>(mesh.Faces.size());
    mesh.TextureIds = {0, 1};
    mesh.TextureCount = 2;

    RsmModel model;
    model.MeshCount = 1;
    model.Meshes = {mesh, RsmMesh{}};
    model.TextureCount = 2;
    model.TextureNames = {MakeText40("fountain_stone.bmp"), MakeText40("mill_wall.bmp"), Text40{}};
    return model;
}

// The viewer with one model open, drawing into a 427 × 389 off-screen window.
struct Viewer {
    explicit Viewer(OpenedModel model) : window(QRect(0, 0, 427, 389)), opened(std::move(model)) {
        InitDirect3D(device, &window);
        ResetViewCamera(camera, opened.extent);
        textures = LoadViewTextures(device, opened.model, kData);
    }
    void Frame() {
        RunFrameStep(spin, camera, device, opened.model, textures, settings,
                     FrameHooks{&window, {}, &buffers});
    }
    int Faces() const {
        int faces = 0;
        for (int i = 0; i < opened.model.MeshCount; ++i) faces += opened.model.Meshes[i].FaceCount;
        return faces;
    }

    OffscreenWindow window;
    DeviceState device;
    OpenedModel opened;
    std::vector<dx7::SurfacePtr> textures;
    CameraState camera;
    Settings settings;
    DrawBuffers buffers;
    float spin = 0;
};

OpenedModel LargestSample() {
    std::filesystem::path largest;
    std::uintmax_t size = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kData)) {
        if (entry.path().extension() == ".rsm" && entry.file_size() > size) {
            size = entry.file_size();
            largest = entry.path();
        }
    }
    return ReadViewModel(largest);
}

OpenedModel GeneratedModel() {
    OpenedModel opened;
    opened.model = Sphere(50, 100, 20.0f);  // 10,000 faces
    opened.extent = CenterRootMesh(opened.model);
    return opened;
}

void RunFrames(benchmark::State& state, Viewer& viewer) {
    for (auto _ : state) viewer.Frame();
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
    state.counters["faces"] = viewer.Faces();
}

void BM_FrameStep_LargestSample(benchmark::State& state) {
    Viewer viewer(LargestSample());
    viewer.settings.Wireframe = state.range(0) != 0;
    RunFrames(state, viewer);
}
BENCHMARK(BM_FrameStep_LargestSample)->ArgName("wireframe")->Arg(0)->Arg(1);

void BM_FrameStep_10000Faces(benchmark::State& state) {
    Viewer viewer(GeneratedModel());
    viewer.settings.Wireframe = state.range(0) != 0;
    RunFrames(state, viewer);
}
BENCHMARK(BM_FrameStep_10000Faces)->ArgName("wireframe")->Arg(0)->Arg(1);

// The same model four times as far away (a sixteenth of the pixels): what the frame costs
// when the geometry, not the filling of pixels, dominates.
void BM_FrameStep_10000FacesFar(benchmark::State& state) {
    Viewer viewer(GeneratedModel());
    viewer.camera.CameraPos.z *= 4;
    RunFrames(state, viewer);
}
BENCHMARK(BM_FrameStep_10000FacesFar);

#if defined(__GNUC__) && defined(__x86_64__)
// Leaves data in the upper half of an AVX register, as some library routines do; the
// frame clears it before its SSE2 code runs (without that, this frame is twice as slow).
__attribute__((target("avx"), noinline)) void DirtyUpperHalves() {
    asm volatile("vpcmpeqd %%ymm15, %%ymm15, %%ymm15" ::: "xmm15");
}

void BM_FrameStep_10000Faces_AfterAvxCode(benchmark::State& state) {
    if (!__builtin_cpu_supports("avx")) {
        state.SkipWithError("no AVX on this processor");
        return;
    }
    Viewer viewer(GeneratedModel());
    for (auto _ : state) {
        DirtyUpperHalves();
        viewer.Frame();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FrameStep_10000Faces_AfterAvxCode);
#endif

// DrawModel alone, into a device that draws nothing: the cost of building the lists.
class NullDevice : public dx7::Direct3DDevice7 {
public:
    using Direct3DDevice7::Direct3DDevice7;
    void SetTexture(int32_t, dx7::SurfacePtr) override {}
    void DrawPrimitive(int32_t, uint32_t, const D3DVERTEX* vertices, int32_t count,
                       uint32_t) override {
        benchmark::DoNotOptimize(vertices);
        benchmark::DoNotOptimize(count);
    }
};

void BM_DrawModelLists_10000Faces(benchmark::State& state) {
    Viewer viewer(GeneratedModel());
    NullDevice device(viewer.device.BackBuffer);
    for (auto _ : state) {
        DrawModel(device, viewer.opened.model, viewer.textures, true, &viewer.buffers);
    }
    state.counters["faces/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * viewer.Faces(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawModelLists_10000Faces);

}  // namespace

BENCHMARK_MAIN();
