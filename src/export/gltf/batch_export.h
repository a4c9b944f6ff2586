// Exporting many models to glTF at once, on several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "export/gltf/gltf_file.h"
#include "export/gltf/scene_to_gltf.h"

namespace plovant::gltf {

struct ExportJob {
    std::string name;  // stands for the input in messages (its path, or its archive name)
    // The model file's bytes; throws an Error when they cannot be had. Called on a
    // worker thread.
    std::function<std::vector<uint8_t>()> read;
    std::filesystem::path output;
    GltfFormat format = GltfFormat::kBinary;
};

struct ExportOutcome {
    bool written = false;
    // The warnings of a written model, or the one reason it was not written.
    std::vector<std::string> messages;
};

// Reads, converts and writes one model. Never throws: every failure becomes the
// outcome's message.
ExportOutcome ExportOne(const ExportJob& job, const ExportSettings& settings);

// Exports every job on up to `threads` threads (0: one per core). `done` is called once
// per job as it finishes, never by two threads at once, with the job's index.
void ExportBatch(const std::vector<ExportJob>& jobs, const ExportSettings& settings, int threads,
                 const std::function<void(std::size_t, const ExportOutcome&)>& done);

}  // namespace plovant::gltf
