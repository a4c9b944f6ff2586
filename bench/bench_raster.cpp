// The software rasteriser alone: a textured sphere of 10,000 triangles covering about a
// third of a 427 × 389 target (the viewer's back-buffer size), bilinear magnification,
// colour key on, z-buffered, no culling (the viewer's states); the same with culling,
// with nearest-texel sampling, in wireframe, and hidden behind the depth buffer; a flat
// tilted grid (no overdraw); tiny triangles (set-up cost); and the clear alone. Every
// frame includes its clear. Vertices are transformed once, outside the timing: only
// rasterisation is measured.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/dx7/raster/rasteriser.h"

namespace {

using namespace plovant::raster;

constexpr int kWidth = 427;
constexpr int kHeight = 389;

struct Frame {
    std::vector<uint32_t> color = std::vector<uint32_t>(kWidth * kHeight);
    std::vector<uint16_t> depth = std::vector<uint16_t>(kWidth * kHeight);
    Target target() { return Target{color.data(), kWidth, depth.data(), kWidth, kWidth, kHeight}; }
    void clear() {
        const Target t = target();
        FillColor(t, 0, 0, kWidth, kHeight, 0xFF0000FFu);
        FillDepth(t, 0, 0, kWidth, kHeight, 0xFFFF);
    }
};

// A 128 × 128 checker of two colours with a few keyed texels.
struct BenchTexture {
    std::vector<uint32_t> texels;
    Texture texture;
    BenchTexture() : texels(128 * 128) {
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                uint32_t c = ((x / 16 + y / 16) % 2) ? 0xFFC08040u : 0xFF4080C0u;
                if ((x % 32) == 5 && (y % 32) == 7) c = 0x00FF00FFu;  // keyed
                texels[static_cast<size_t>(y * 128 + x)] = c;
            }
        texture = Texture{texels.data(), 128, 128, 128};
    }
};

// The viewer's projection: 60° field of view, near 1, far 100000, square aspect; the
// camera 30 units in front of the origin.
Vertex ToClip(float x, float y, float z, float u, float v) {
    const float c = 1.7320508f;
    const float q = 100000.0f / (100000.0f - 1.0f);
    const float zv = z + 30.0f;
    Vertex out;
    out.x = x * c;
    out.y = y * c;
    out.z = zv * q - q;
    out.w = zv;
    out.u = u;
    out.v = v;
    return out;  // white diffuse, as lighting gives the viewer's vertices
}

// A sphere of radius 10.45 at the origin: 50 × 100 quads, 10,000 triangles, about a
// third of the target.
std::vector<Vertex> Sphere() {
    const int lat = 50, lon = 100;
    const float radius = 10.45f;
    auto point = [&](int i, int j) {
        const float theta = 3.14159265f * static_cast<float>(i) / lat;
        const float phi = 6.2831853f * static_cast<float>(j) / lon;
        return ToClip(radius * std::sin(theta) * std::cos(phi), radius * std::cos(theta),
                      radius * std::sin(theta) * std::sin(phi), static_cast<float>(j) / lon * 2.0f,
                      static_cast<float>(i) / lat);
    };
    std::vector<Vertex> v;
    for (int i = 0; i < lat; ++i)
        for (int j = 0; j < lon; ++j) {
            v.insert(v.end(), {point(i, j), point(i, j + 1), point(i + 1, j + 1)});
            v.insert(v.end(), {point(i, j), point(i + 1, j + 1), point(i + 1, j)});
        }
    return v;
}

// A flat square tilted away from the camera, 71 × 71 quads (10,082 triangles).
std::vector<Vertex> TiltedGrid() {
    const int n = 71;
    auto point = [&](int i, int j) {
        const float s = static_cast<float>(i) / n - 0.5f, t = static_cast<float>(j) / n - 0.5f;
        return ToClip(s * 26.0f, t * 18.0f, t * 14.0f, s * 3.0f, t * 3.0f);
    };
    std::vector<Vertex> v;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            v.insert(v.end(), {point(i, j), point(i + 1, j), point(i + 1, j + 1)});
            v.insert(v.end(), {point(i, j), point(i + 1, j + 1), point(i, j + 1)});
        }
    return v;
}

State ViewerState(const Texture& texture) {
    State s;
    s.viewport = Viewport{0, 0, kWidth, kHeight, 0.0f, 1.0f};
    s.cull = CullMode::None;
    s.color_op = ColorOp::Modulate;
    s.color_key = true;
    s.mag_filter = Filter::Linear;
    s.min_filter = Filter::Point;
    s.texture = &texture;
    return s;
}

int CoveredPixels(const Frame& frame) {
    int n = 0;
    for (uint32_t c : frame.color) n += c != 0xFF0000FFu;
    return n;
}

// One frame per iteration: the clear (colour, and depth to `clear_depth`) and the draw.
void RunFrames(benchmark::State& bench, const State& state, const std::vector<Vertex>& vertices,
               uint16_t clear_depth = 0xFFFF) {
    Frame frame;
    for (auto _ : bench) {
        frame.clear();
        if (clear_depth != 0xFFFF) FillDepth(frame.target(), 0, 0, kWidth, kHeight, clear_depth);
        DrawTriangleList(state, frame.target(), vertices.data(), vertices.size());
        benchmark::DoNotOptimize(frame.color.data());
        benchmark::ClobberMemory();
    }
    const double triangles = static_cast<double>(vertices.size() / 3);
    bench.counters["triangles/s"] =
        benchmark::Counter(triangles, benchmark::Counter::kIsIterationInvariantRate);
    bench.counters["s/triangle"] = benchmark::Counter(
        triangles, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    bench.counters["frames/s"] =
        benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
    bench.counters["covered"] = static_cast<double>(CoveredPixels(frame)) / (kWidth * kHeight);
}

void BM_SphereViewerStates(benchmark::State& bench) {
    BenchTexture tex;
    RunFrames(bench, ViewerState(tex.texture), Sphere());
}
BENCHMARK(BM_SphereViewerStates)->Unit(benchmark::kMicrosecond);

void BM_SphereBilinearEverywhere(benchmark::State& bench) {
    BenchTexture tex;
    State s = ViewerState(tex.texture);
    s.min_filter = Filter::Linear;
    RunFrames(bench, s, Sphere());
}
BENCHMARK(BM_SphereBilinearEverywhere)->Unit(benchmark::kMicrosecond);

void BM_SphereCulled(benchmark::State& bench) {
    BenchTexture tex;
    State s = ViewerState(tex.texture);
    s.min_filter = Filter::Linear;
    s.cull = CullMode::Clockwise;  // the sphere's front faces run counter-clockwise
    RunFrames(bench, s, Sphere());
}
BENCHMARK(BM_SphereCulled)->Unit(benchmark::kMicrosecond);

void BM_SpherePoint(benchmark::State& bench) {
    BenchTexture tex;
    State s = ViewerState(tex.texture);
    s.mag_filter = Filter::Point;
    RunFrames(bench, s, Sphere());
}
BENCHMARK(BM_SpherePoint)->Unit(benchmark::kMicrosecond);

void BM_SphereWireframe(benchmark::State& bench) {
    BenchTexture tex;
    State s = ViewerState(tex.texture);
    s.fill = FillMode::Wireframe;
    RunFrames(bench, s, Sphere());
}
BENCHMARK(BM_SphereWireframe)->Unit(benchmark::kMicrosecond);

void BM_TiltedGridBilinear(benchmark::State& bench) {
    BenchTexture tex;
    State s = ViewerState(tex.texture);
    s.min_filter = Filter::Linear;
    RunFrames(bench, s, TiltedGrid());
}
BENCHMARK(BM_TiltedGridBilinear)->Unit(benchmark::kMicrosecond);

// The sphere behind a depth buffer already at 0: every pixel fails the depth test, so
// this is the cost of set-up, scan conversion and depth tests without texturing.
void BM_SphereHidden(benchmark::State& bench) {
    BenchTexture tex;
    RunFrames(bench, ViewerState(tex.texture), Sphere(), 0);
}
BENCHMARK(BM_SphereHidden)->Unit(benchmark::kMicrosecond);

// 10,000 triangles of a tenth of a pixel each, scattered over the target: the cost of
// accepting, projecting and setting up a triangle that covers (almost) nothing.
void BM_TinyTriangles(benchmark::State& bench) {
    BenchTexture tex;
    std::vector<Vertex> v;
    for (int i = 0; i < 10000; ++i) {
        const float x = -0.9f + 1.8f * static_cast<float>(i % 100) / 100.0f;
        const float y = -0.9f + 1.8f * static_cast<float>(i / 100) / 100.0f;
        const float d = 0.003f;
        v.insert(v.end(), {ToClip(x * 10.0f, y * 10.0f, 0.0f, 0.0f, 0.0f),
                           ToClip((x + d) * 10.0f, y * 10.0f, 0.0f, 1.0f, 0.0f),
                           ToClip(x * 10.0f, (y + d) * 10.0f, 0.0f, 0.0f, 1.0f)});
    }
    RunFrames(bench, ViewerState(tex.texture), v);
}
BENCHMARK(BM_TinyTriangles)->Unit(benchmark::kMicrosecond);

void BM_ClearOnly(benchmark::State& bench) {
    Frame frame;
    for (auto _ : bench) {
        frame.clear();
        benchmark::DoNotOptimize(frame.color.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ClearOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
