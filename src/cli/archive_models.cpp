#include "cli/archive_models.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <optional>
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

ModelFile::ModelFile(const ModelInput& input) : shown_(input.name) {
    if (!input.entry) {
        path_ = std::filesystem::u8path(input.name);
        return;
    }
    const std::vector<uint8_t> bytes = input.Read();
    std::string reason;
    const std::optional<std::filesystem::path> relative = ExtractionPath(input.entry_name, reason);
    const std::string file_name = relative ? PathText(relative->filename()) : "model.rsm";
    static std::atomic<unsigned> counter{0};
    folder_ = std::filesystem::temp_directory_path() /
              ("plovant-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    path_ = folder_ / std::filesystem::u8path(file_name);
    FilePtr file = error ? nullptr : OpenBinaryFile(path_, "wbx");
    if (!file ||
        (!bytes.empty() &&
         std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) ||
        std::fclose(file.release()) != 0) {
        std::filesystem::remove_all(folder_, error);
        throw Error(kErrPathFileAccess, input.name + ": cannot write a temporary copy in " +
                                            PathText(std::filesystem::temp_directory_path()));
    }
}

ModelFile::~ModelFile() {
    if (folder_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

Error ModelFile::Explain(const Error& error) const {
    if (folder_.empty()) return error;
    std::string text = error.description();
    const std::string temp = PathText(path_);
    for (size_t at = text.find(temp); at != std::string::npos;
         at = text.find(temp, at + shown_.size())) {
        text.replace(at, temp.size(), shown_);
    }
    return Error(error.number(), text);
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
