// Reading and exporting a large model, next to a plain read and a plain write of the
// same number of bytes in the same folder, so the figures can be compared directly.
//
// The model has 56,000 faces in three meshes: the first (the one Save As exports)
// has 32,000 faces, within the 3DS limit of 32,767, and two more have 12,000 each.
// Its file is built here and read from the page cache, as a just-opened file is.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "export/tds_writer.h"
#include "model/rsm_model.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFirstMeshFaces = 32000;
constexpr int kOtherMeshFaces = 12000;

class Bytes {
public:
    std::vector<uint8_t> data;
    void raw(const void* p, std::size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        data.insert(data.end(), b, b + n);
    }
    void i32(int32_t v) {
        for (int i = 0; i < 4; ++i) data.push_back(uint8_t(uint32_t(v) >> (8 * i)));
    }
    void f32(float v) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        i32(int32_t(u));
    }
    void i16(int16_t v) {
        data.push_back(uint8_t(v));
        data.push_back(uint8_t(uint16_t(v) >> 8));
    }
    void text40(const char* s) {
        const plovant::Text40 t = plovant::MakeText40(s);
        raw(t.data(), t.size());
    }
};

// A grid of quads: about one vertex per two faces, texture vertices paired with them.
void MeshBody(Bytes& b, int faces, int slots) {
    const int columns = 100;
    const int rows = faces / (2 * columns);
    const int vertices = (columns + 1) * (rows + 1);
    b.i32(slots);
    for (int s = 0; s < slots; ++s) b.i32(s);
    for (int i = 0; i < 22; ++i) b.f32(i == 0 ? 1.0f : 0.0f);
    b.i32(vertices);
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c <= columns; ++c) {
            b.f32(float(c) * 0.5f);
            b.f32(0.01f * float((r * 7 + c * 13) % 50));
            b.f32(float(r) * 0.5f);
        }
    }
    b.i32(vertices);
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c <= columns; ++c) {
            b.i32(-1);
            b.f32(float(c) / columns);
            b.f32(float(r) / rows);
        }
    }
    b.i32(rows * columns * 2);
    int face = 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const int16_t a = int16_t(r * (columns + 1) + c), d = int16_t(a + columns + 1);
            const int16_t corners[2][3] = {{a, int16_t(a + 1), d}, {int16_t(a + 1), int16_t(d + 1), d}};
            for (const auto& t : corners) {
                for (int16_t v : t) b.i16(v);
                for (int16_t v : t) b.i16(v);
                b.i16(int16_t(face++ % slots));
                for (int i = 0; i < 10; ++i) b.data.push_back(0);
            }
        }
    }
    b.i32(0);  // no key records
}

std::vector<uint8_t> LargeModel() {
    Bytes b;
    b.raw("GRSM", 4);
    for (int i = 0; i < 27; ++i) b.data.push_back(0);
    b.i32(4);
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"}) b.text40(name);
    b.text40("root");
    b.i32(3);
    b.text40("root");
    for (int i = 0; i < 10; ++i) b.i32(0);
    MeshBody(b, kFirstMeshFaces, 4);
    for (const char* name : {"second", "third"}) {
        b.text40(name);
        b.text40("root");
        MeshBody(b, kOtherMeshFaces, 2);
    }
    b.i32(0);
    return b.data;
}

struct Files {
    fs::path folder = fs::temp_directory_path() / "plovant-bench-rsm-io";
    fs::path model = folder / "large.rsm";
    std::size_t model_size = 0;
    std::size_t export_size = 0;

    Files() {
        fs::create_directories(folder);
        const std::vector<uint8_t> bytes = LargeModel();
        std::ofstream(model, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        model_size = bytes.size();
        plovant::RsmModel m;
        plovant::LoadRsm(model, m);
        plovant::CenterRootMesh(m);
        plovant::Write3DS(folder / "large.3ds", m);
        export_size = fs::file_size(folder / "large.3ds");
    }
};

Files& Shared() {
    static Files files;
    return files;
}

void PlainRead(const fs::path& path, std::vector<uint8_t>& buffer) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), f);
    std::fclose(f);
    if (got != buffer.size()) std::abort();
}

void PlainWrite(const fs::path& path, const std::vector<uint8_t>& buffer) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (std::fwrite(buffer.data(), 1, buffer.size(), f) != buffer.size()) std::abort();
    std::fclose(f);
}

void BM_LoadRsm(benchmark::State& state) {
    Files& files = Shared();
    for (auto _ : state) {
        plovant::RsmModel model;
        plovant::LoadRsm(files.model, model);
        benchmark::DoNotOptimize(model.Meshes.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(files.model_size));
    state.counters["faces"] = double(kFirstMeshFaces + 2 * kOtherMeshFaces);
    state.counters["file_bytes"] = double(files.model_size);
}
BENCHMARK(BM_LoadRsm)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainReadSameBytes(benchmark::State& state) {
    Files& files = Shared();
    std::vector<uint8_t> buffer(files.model_size);
    for (auto _ : state) {
        PlainRead(files.model, buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(files.model_size));
}
BENCHMARK(BM_PlainReadSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Write3DS(benchmark::State& state) {
    Files& files = Shared();
    plovant::RsmModel model;
    plovant::LoadRsm(files.model, model);
    plovant::CenterRootMesh(model);
    for (auto _ : state) plovant::Write3DS(files.folder / "out.3ds", model);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(files.export_size));
    state.counters["file_bytes"] = double(files.export_size);
}
BENCHMARK(BM_Write3DS)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainWriteSameBytes(benchmark::State& state) {
    Files& files = Shared();
    std::vector<uint8_t> buffer(files.export_size, 0x5A);
    for (auto _ : state) PlainWrite(files.folder / "plain.out", buffer);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(files.export_size));
}
BENCHMARK(BM_PlainWriteSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading, centring and exporting: what `plovant-cli convert` does for one file.
void BM_ConvertOneFile(benchmark::State& state) {
    Files& files = Shared();
    for (auto _ : state) {
        plovant::RsmModel model;
        plovant::LoadRsm(files.model, model);
        plovant::CenterRootMesh(model);
        plovant::Write3DS(files.folder / "convert.3ds", model);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(files.model_size));
}
BENCHMARK(BM_ConvertOneFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
