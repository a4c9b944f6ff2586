// Where the commands that write one file per model (convert, export) put each result.
#pragma once

#include <filesystem>
#include <string>

#include "cli/archive_models.h"

namespace plovant::cli {

// The result of `input` with its extension replaced by `extension`: `output` when one was
// given (-o), else in `folder` when one was given (-d), else beside the input. A model
// inside an archive is named after its entry's file name ("model.rsm" when the entry's
// name cannot be a file name).
std::filesystem::path ResultPath(const ModelInput& input, const std::string& output,
                                 const std::string& folder, const std::string& extension);

}  // namespace plovant::cli
