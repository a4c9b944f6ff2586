// Models named inside a GRF archive (`--grf ARCHIVE`): the commands' model arguments are
// entry names or patterns, expanded here into the entries they name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/grf_archive.h"
#include "errors/error.h"
#include "model/rsm_model.h"

namespace plovant::cli {

// One model to read: the name shown for it and where its bytes come from.
struct ModelInput {
    std::string name;                 // a path, or "ARCHIVE: entry name"
    std::string entry_name;           // the entry's UTF-8 name; empty for a file
    const GrfEntry* entry = nullptr;  // null for a file
    std::shared_ptr<const GrfArchive> archive;

    // The model's bytes: the entry read out of the archive, or the file. Throws Error.
    std::vector<uint8_t> Read() const;
};

// The entries of `archive` that `arguments` name: each argument is an entry name (without
// ASCII case, "\" or "/") or a pattern with "*" and "?"; matches come in table order, each
// entry once, argument after argument. An argument that names nothing is an Error.
std::vector<ModelInput> ExpandArchiveModels(const std::shared_ptr<const GrfArchive>& archive,
                                            const std::vector<std::string>& arguments);

// `path` as a model input read from the file system.
ModelInput FileModel(const std::string& path);

// Reads and centres the model as OpenModel does, from `input`'s bytes (the same readers,
// in the same order): its name must end in "rsm" or "rsm2". Returns the extent of the first mesh.
// Throws Error naming the input.
float OpenModelInput(const ModelInput& input, RsmModel& model);

}  // namespace plovant::cli
