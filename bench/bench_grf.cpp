// GRF archives: listing a 100,000-entry archive of version 0x200, and extracting every
// entry of an archive of about 100 MB next to plain zlib inflation of the same streams
// from memory, so the two figures can be compared directly (the archive's overhead is
// the positioned reads, the size checks and the buffers).
//
// The archives are built here in the temporary folder and read from the page cache, as
// a just-opened archive is.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "archive/grf_archive.h"
#include "archive/grf_builder.h"

namespace {

namespace fs = std::filesystem;

constexpr int kListedEntries = 100000;
constexpr int kExtractedEntries = 400;
constexpr size_t kEntryBytes = 256 * 1024;  // 400 × 256 KiB = 100 MiB

fs::path WriteArchive(const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path path = fs::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

const fs::path& ListingArchive() {
    static const fs::path path = [] {
        std::vector<plovant::GrfBuildEntry> entries(kListedEntries);
        for (int i = 0; i < kListedEntries; ++i) {
            entries[i].name = "data\\texture\\folder" + std::to_string(i % 100) + "\\texture" +
                              std::to_string(i) + ".bmp";
            entries[i].content.assign(16, uint8_t(i));
        }
        return WriteArchive("plovant-bench-list.grf", plovant::BuildGrf(0x200, entries));
    }();
    return path;
}

// Text-like content: words from a small vocabulary, which deflate shrinks about 3:1.
std::vector<uint8_t> Content(std::mt19937& random) {
    static const char* const kWords[] = {"texture", "model", "data", "wall", "roof",
                                         "\\",      "0x7F",  "bmp",  " ",    "\n",
                                         "grass",   "stone", "1234"};
    std::vector<uint8_t> bytes;
    bytes.reserve(kEntryBytes);
    while (bytes.size() < kEntryBytes) {
        const std::string word = kWords[random() % std::size(kWords)];
        bytes.insert(bytes.end(), word.begin(), word.end());
        bytes.push_back(uint8_t(random()));
    }
    bytes.resize(kEntryBytes);
    return bytes;
}

struct ExtractionData {
    fs::path path;
    std::vector<std::vector<uint8_t>> streams;  // the same zlib streams, in memory
};

const ExtractionData& Extraction() {
    static const ExtractionData data = [] {
        ExtractionData made;
        std::mt19937 random(14);
        std::vector<plovant::GrfBuildEntry> entries(kExtractedEntries);
        for (int i = 0; i < kExtractedEntries; ++i) {
            entries[i].name = "data\\file" + std::to_string(i) + ".txt";
            entries[i].content = Content(random);
        }
        made.path = WriteArchive("plovant-bench-extract.grf", plovant::BuildGrf(0x200, entries));
        const plovant::GrfArchive archive(made.path.string());
        for (const plovant::GrfEntry& e : archive.Entries()) {
            std::vector<uint8_t> stream(e.compressed_size);
            archive.ReadBytes(e.offset, stream);
            made.streams.push_back(std::move(stream));
        }
        return made;
    }();
    return data;
}

void BM_ListArchive100k(benchmark::State& state) {
    const std::string path = ListingArchive().string();
    for (auto _ : state) {
        const plovant::GrfArchive archive(path);
        uint64_t total = 0;
        for (const plovant::GrfEntry& e : archive.Entries())
            total += e.real_size + e.display_name.size();
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * kListedEntries);
}
BENCHMARK(BM_ListArchive100k)->Unit(benchmark::kMillisecond);

void BM_ExtractEveryEntry(benchmark::State& state) {
    const ExtractionData& data = Extraction();
    const plovant::GrfArchive archive(data.path.string());
    for (auto _ : state) {
        uint64_t total = 0;
        for (const plovant::GrfEntry& e : archive.Entries()) total += archive.Read(e).size();
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(kExtractedEntries * kEntryBytes));
}
BENCHMARK(BM_ExtractEveryEntry)->Unit(benchmark::kMillisecond);

void BM_PlainInflateOfTheSameStreams(benchmark::State& state) {
    const ExtractionData& data = Extraction();
    for (auto _ : state) {
        uint64_t total = 0;
        for (const std::vector<uint8_t>& stream : data.streams) {
            std::vector<uint8_t> out(kEntryBytes);
            uLongf size = out.size();
            if (uncompress(out.data(), &size, stream.data(), stream.size()) != Z_OK) {
                state.SkipWithError("inflate failed");
            }
            total += size;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(kExtractedEntries * kEntryBytes));
}
BENCHMARK(BM_PlainInflateOfTheSameStreams)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
