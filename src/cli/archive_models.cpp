#include "cli/archive_models.h"

#include <filesystem>
#include <set>

#include "archive/grf_names.h"
#include "cli/cli_support.h"
#include "errors/error.h"
#include "model/binary_file.h"
#include "render/scene_model.h"

namespace plovant::cli {

std::vector<uint8_t> ModelInput::Read() const {
    if (entry) return archive->Read(*entry);
    return ReadBinaryFile(std::filesystem::u8path(name));
}

std::vector<ModelInput> ExpandArchiveModels(const std::shared_ptr<const GrfArchive>& archive,
                                            const std::vector<std::string>& arguments) {
    std::vector<ModelInput> inputs;
    std::set<const GrfEntry*> taken;
    for (const std::string& argument : arguments) {
        std::vector<const GrfEntry*> matches;
        if (IsPattern(argument)) {
            matches = archive->Match(argument);
        } else if (const GrfEntry* entry = archive->Find(argument)) {
            matches.push_back(entry);
        }
        if (matches.empty()) {
            throw Error(kErrFileNotFound, archive->Path() + ": no entry " +
                                              (IsPattern(argument) ? "matches " : "is named ") +
                                              argument);
        }
        for (const GrfEntry* entry : matches) {
            if (!taken.insert(entry).second) continue;
            inputs.push_back(ModelInput{archive->Path() + ": " + entry->display_name,
                                        entry->display_name, entry, archive});
        }
    }
    return inputs;
}

ModelInput FileModel(const std::string& path) { return ModelInput{path, {}, nullptr, nullptr}; }

float OpenModelInput(const ModelInput& input, RsmModel& model) {
    if (!input.entry) return OpenModel(input.name, model);
    if (!IsModelName(input.entry_name)) {
        throw Error(kErrInvalidFormat,
                    input.name + ": not a model file (the name does not end in \"rsm\")");
    }
    // The same readers, in the same order, as for a file (the entry's name ends as the
    // shown name does).
    OpenedModel opened = ReadAnyViewModel(input.Read(), input.name);
    model = std::move(opened.model);
    return opened.extent;
}

}  // namespace plovant::cli
