#include "cli/result_path.h"

#include "archive/grf_names.h"
#include "model/binary_file.h"

namespace plovant::cli {

namespace fs = std::filesystem;

std::filesystem::path ResultPath(const ModelInput& input, const std::string& output,
                                 const std::string& folder, const std::string& extension) {
    if (!output.empty()) return fs::u8path(output);
    std::string source = input.name;
    if (input.entry) {
        std::string reason;
        const auto entry_path = ExtractionPath(input.entry_name, reason);
        source = entry_path ? PathText(entry_path->filename()) : "model.rsm";
    }
    fs::path path = fs::u8path(source);
    if (!folder.empty()) return fs::u8path(folder) / path.filename().replace_extension(extension);
    return path.replace_extension(extension);
}

}  // namespace plovant::cli
