// Exporting models to glTF. A 50,000-face model without textures, from its file's bytes
// to a complete GLB on disk, next to a plain write of the same number of bytes in the
// same folder; and a batch of 200 small models on one thread and on every core.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../tests/support/rsm_scene_writer.h"
#include "export/gltf/batch_export.h"
#include "model/binary_file.h"
#include "scene/scene_reader.h"

namespace {

namespace fs = std::filesystem;
using namespace plovant;

// A wavy grid of `faces` faces (two per cell) in one node, smoothly shaded.
scene::Scene GridScene(int faces) {
    scene::Scene s;
    s.version = {1, 4};
    s.shade_type = 2;
    s.root_nodes = {"grid"};
    scene::Node n;
    n.name = "grid";
    const int side = int(std::ceil(std::sqrt(faces / 2.0))) + 1;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            n.vertices.push_back({float(x), std::sin(x * 0.3f) * std::cos(y * 0.2f), float(y)});
            n.texture_vertices.push_back({0xFFFFFFFF, x / float(side), y / float(side)});
        }
    }
    for (int y = 0; y + 1 < side && int(n.faces.size()) < faces; ++y) {
        for (int x = 0; x + 1 < side && int(n.faces.size()) < faces; ++x) {
            const auto at = [&](int dx, int dy) { return uint16_t((y + dy) * side + x + dx); };
            scene::Face a, b;
            a.vertices = a.texture_vertices = {at(0, 0), at(1, 0), at(1, 1)};
            b.vertices = b.texture_vertices = {at(0, 0), at(1, 1), at(0, 1)};
            n.faces.push_back(a);
            if (int(n.faces.size()) < faces) n.faces.push_back(b);
        }
    }
    s.nodes = {n};
    return s;
}

fs::path BenchFolder() {
    const fs::path folder =
        fs::temp_directory_path() / ("plovant-bench-gltf-" + std::to_string(getpid()));
    fs::create_directories(folder);
    return folder;
}

void BM_ExportLargeModel(benchmark::State& state) {
    const std::vector<uint8_t> rsm = testing::WriteRsmScene(GridScene(50000));
    gltf::ExportJob job;
    job.name = "grid.rsm";
    job.read = [&rsm] { return rsm; };
    job.output = BenchFolder() / "grid.glb";
    const gltf::ExportSettings settings;  // no data location: no textures
    for (auto _ : state) {
        const gltf::ExportOutcome outcome = gltf::ExportOne(job, settings);
        if (!outcome.written) state.SkipWithError(outcome.messages.at(0).c_str());
    }
    const auto bytes = int64_t(fs::file_size(job.output));
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["glb_bytes"] = double(bytes);
    fs::remove(job.output);
}
BENCHMARK(BM_ExportLargeModel)->Unit(benchmark::kMillisecond);

// The writing alone: the finished document to a complete GLB on disk (a copy of the
// document is made each time, as the writer takes it over).
void BM_WriteGlbOnly(benchmark::State& state) {
    const scene::Scene scene = scene::ReadScene(testing::WriteRsmScene(GridScene(50000)), "grid");
    std::vector<std::string> warnings;
    const gltf::GltfDocument document = gltf::SceneToGltf(scene, "grid", {}, warnings);
    const fs::path output = BenchFolder() / "written.glb";
    for (auto _ : state) gltf::WriteGltf(document, output, gltf::GltfFormat::kBinary);
    state.SetBytesProcessed(state.iterations() * int64_t(fs::file_size(output)));
    fs::remove(output);
}
BENCHMARK(BM_WriteGlbOnly)->Unit(benchmark::kMillisecond);

// Writing the export's number of bytes to a temporary file and renaming it into place,
// as the export does.
void BM_PlainWriteOfTheSameBytes(benchmark::State& state) {
    const std::vector<uint8_t> rsm = testing::WriteRsmScene(GridScene(50000));
    gltf::ExportJob job;
    job.name = "grid.rsm";
    job.read = [&rsm] { return rsm; };
    job.output = BenchFolder() / "size.glb";
    gltf::ExportOne(job, {});
    const std::vector<char> bytes(fs::file_size(job.output), 'x');
    fs::remove(job.output);
    const fs::path temporary = BenchFolder() / "plain.tmp";
    const fs::path target = BenchFolder() / "plain.bin";
    for (auto _ : state) {
        FilePtr file = OpenBinaryFile(temporary, "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file.get());
        std::fclose(file.release());
        fs::rename(temporary, target);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(bytes.size()));
    fs::remove(target);
}
BENCHMARK(BM_PlainWriteOfTheSameBytes)->Unit(benchmark::kMillisecond);

// CPU time used so far by every thread of this process, in milliseconds.
double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

// 200 small models (a few hundred faces each), on state.range(0) threads (0: every core).
// cpu_ms is the CPU time of all threads per batch: when it stays level from one thread to
// several while the time does not fall, the threads are waiting for cores taken by other
// programs rather than getting in each other's way.
void BM_Batch200SmallModels(benchmark::State& state) {
    const std::vector<uint8_t> rsm = testing::WriteRsmScene(GridScene(400));
    const fs::path out = BenchFolder() / "batch";
    fs::create_directories(out);
    std::vector<gltf::ExportJob> jobs(200);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        jobs[i].name = "model" + std::to_string(i) + ".rsm";
        jobs[i].read = [&rsm] { return rsm; };
        jobs[i].output = out / ("model" + std::to_string(i) + ".glb");
    }
    const double cpu_start = ProcessCpuMs();
    for (auto _ : state) {
        std::size_t written = 0;
        gltf::ExportBatch(jobs, {}, int(state.range(0)),
                          [&](std::size_t, const gltf::ExportOutcome& o) { written += o.written; });
        if (written != jobs.size()) state.SkipWithError("a model was not written");
    }
    state.counters["cpu_ms"] = (ProcessCpuMs() - cpu_start) / double(state.iterations());
    state.counters["threads"] =
        double(state.range(0) ? state.range(0) : std::thread::hardware_concurrency());
    fs::remove_all(out);
}
BENCHMARK(BM_Batch200SmallModels)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(BenchFolder());
    return 0;
}
