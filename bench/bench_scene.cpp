// Reading a 50,000-face RSM 2.3 file from memory, next to a plain copy and a plain sum
// of the same bytes, so the reader's speed can be compared with touching the bytes at
// all. Also the cost of posing a 50,000-face 1.4 model (keys and centring), which the
// viewer pays every frame of an animation.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

#include "../tests/support/rsm_scene_writer.h"
#include "scene/placement.h"
#include "scene/scene_reader.h"

namespace {

using namespace plovant;

constexpr int kNodes = 5;
constexpr int kFacesPerNode = 10000;  // 50,000 in all

// A grid of quads per node, about one vertex per two faces, each node with a few keys.
scene::Scene LargeScene(scene::Version version) {
    scene::Scene s;
    s.version = version;
    s.animation_length = version.IsV2() ? 60 : 2000;
    s.fps = 30;
    if (!version.AtLeast(2, 3)) s.textures = {"a.bmp", "b.bmp"};
    s.root_nodes = {"node0"};
    const int columns = 100;
    const int rows = kFacesPerNode / (2 * columns);
    for (int n = 0; n < kNodes; ++n) {
        scene::Node node;
        node.name = "node" + std::to_string(n);
        node.parent = n == 0 ? "" : "node" + std::to_string(n - 1);
        if (version.AtLeast(2, 3)) {
            node.textures = {"a.bmp", "b.bmp"};
        } else {
            node.texture_ids = {0, 1};
        }
        node.offset = {float(n), 0, 0};
        for (int r = 0; r <= rows; ++r) {
            for (int c = 0; c <= columns; ++c) {
                node.vertices.push_back({float(c), float(r), float(n)});
                node.texture_vertices.push_back({0xFFFFFFFF, c / 100.0f, r / 50.0f});
            }
        }
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                const auto at = [&](int rr, int cc) { return uint16_t(rr * (columns + 1) + cc); };
                scene::Face f;
                f.vertices = f.texture_vertices = {at(r, c), at(r, c + 1), at(r + 1, c)};
                f.texture_slot = uint16_t(c & 1);
                f.smoothing_group = 1;
                node.faces.push_back(f);
                f.vertices = f.texture_vertices = {at(r, c + 1), at(r + 1, c + 1), at(r + 1, c)};
                node.faces.push_back(f);
            }
        }
        node.rotation_keys = {{0, glm::quat(1, 0, 0, 0)},
                              {s.animation_length, glm::quat(0, 0, 1, 0)}};
        s.nodes.push_back(std::move(node));
    }
    return s;
}

const std::vector<uint8_t>& File23() {
    static const std::vector<uint8_t> bytes = testing::WriteRsmScene(LargeScene({2, 3}));
    return bytes;
}

void BM_ReadScene23(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = File23();
    for (auto _ : state) {
        scene::Scene s = scene::ReadScene(bytes, "large.rsm2");
        benchmark::DoNotOptimize(s.nodes.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.counters["file_bytes"] = double(bytes.size());
}
BENCHMARK(BM_ReadScene23)->Unit(benchmark::kMillisecond);

// The same, with the C library's allocator told to keep the memory it frees (glibc
// otherwise returns the large blocks of each read to the system and the next read takes
// a page fault on every page of them, which on a virtual machine costs far more than
// the reading). Runs after BM_ReadScene23 and changes the allocator for the rest of the
// run.
void BM_ReadScene23RetainedHeap(benchmark::State& state) {
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    BM_ReadScene23(state);
}
BENCHMARK(BM_ReadScene23RetainedHeap)->Unit(benchmark::kMillisecond);

// The plain reads the reader is compared with: a copy, and a sum of every byte.
void BM_PlainCopy(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = File23();
    std::vector<uint8_t> copy(bytes.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);

void BM_PlainSum(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = File23();
    for (auto _ : state) {
        uint64_t sum = std::accumulate(bytes.begin(), bytes.end(), uint64_t(0));
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_PlainSum)->Unit(benchmark::kMillisecond);

void BM_PoseAt14(benchmark::State& state) {
    const scene::Scene s = scene::ReadScene(testing::WriteRsmScene(LargeScene({1, 4})), "x.rsm");
    double t = 0;
    for (auto _ : state) {
        scene::ScenePose pose = scene::PoseAt(s, t);
        benchmark::DoNotOptimize(pose.nodes.data());
        t = t >= 2000 ? 0 : t + 16.7;
    }
}
BENCHMARK(BM_PoseAt14)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
