// Reading a 50,000-face RSM 2.3 file from memory and from disk, next to a plain read of
// the same file into a new buffer, a plain copy and a plain sum of the same bytes, so the
// reader's speed can be compared with touching the bytes at all. Run the file pair alone
// (--benchmark_filter=File) to see them in a fresh process's memory, where every new
// buffer costs page faults; after the other benchmarks the C library reuses its memory. Also the cost of posing a 50,000-face 1.4 model (keys and centring), which the
// viewer pays every frame of an animation.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <vector>

#include "../tests/support/rsm_scene_writer.h"
#include "model/binary_file.h"
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

// The same file on disk: a plain read of its bytes into a new buffer, and the scene read
// of the file (which reads the bytes the same way, then the scene). Both pay for fresh
// memory as a program opening one model does.
std::filesystem::path g_file23_path;  // removed when the program ends

const std::filesystem::path& File23OnDisk() {
    if (g_file23_path.empty()) {
        g_file23_path = std::filesystem::temp_directory_path() /
                        ("plovant-bench-scene-" + std::to_string(::getpid()) + ".rsm2");
        std::ofstream(g_file23_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(File23().data()), std::streamsize(File23().size()));
        std::atexit([] { std::filesystem::remove(g_file23_path); });
    }
    return g_file23_path;
}

void BM_PlainFileRead(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<uint8_t> bytes = ReadBinaryFile(File23OnDisk());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(File23().size()));
}
BENCHMARK(BM_PlainFileRead)->Unit(benchmark::kMillisecond);

void BM_LoadScene23File(benchmark::State& state) {
    for (auto _ : state) {
        scene::Scene s = scene::LoadScene(File23OnDisk());
        benchmark::DoNotOptimize(s.nodes.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(File23().size()));
}
BENCHMARK(BM_LoadScene23File)->Unit(benchmark::kMillisecond);

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
