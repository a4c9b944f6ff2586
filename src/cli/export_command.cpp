// plovant-cli export FILE... [-o OUT | -d DIR] [--format glb|gltf] [--time MS] [--data DIR]
// [-r]: whole models (every node, placed, textured, animated) as glTF 2.0, in parallel.
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "archive/data_location.h"
#include "archive/grf_archive.h"
#include "cli/archive_models.h"
#include "cli/cli_support.h"
#include "cli/command.h"
#include "cli/result_path.h"
#include "device/texture_loader.h"
#include "export/gltf/batch_export.h"
#include "model/binary_file.h"
#include "platform/executable_folder.h"

namespace plovant::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHelp =
    "Usage: plovant-cli export FILE... [-o OUT | -d DIR] [--format glb|gltf] [--time MS]\n"
    "                          [--data DIR] [-r]\n"
    "       plovant-cli export --grf ARCHIVE NAME... (-o OUT | -d DIR) [OPTIONS]\n"
    "\n"
    "Writes each model FILE (an RSM file of any version) as glTF 2.0: every node with its\n"
    "name and parent, placed as at time MS, its faces grouped by texture, the textures as\n"
    "PNG pictures (pure magenta transparent), and the key frames as one animation.\n"
    "A folder given as FILE stands for every .rsm and .rsm2 file in it.\n"
    "\n"
    "  -o OUT          write to OUT (only with a single model); \".gltf\" writes the JSON\n"
    "                  with OUT's name .bin and _1.png, _2.png, ... beside it, else one GLB\n"
    "  -d DIR          write each result into the existing folder DIR\n"
    "  --format F      glb (one file, the default) or gltf (JSON with files beside it)\n"
    "  --time MS       the pose written into the nodes, in milliseconds (default 0)\n"
    "  --data DIR      the game's data folder, whose texture subfolder holds the bitmaps\n"
    "                  (default: the folder in dovekit.ini beside the program)\n"
    "                  or a GRF archive (a file ending in .grf) holding data\\texture\\\n"
    "  -r              with a folder, also the models in its subfolders\n"
    "  --grf ARCHIVE   each NAME is a model inside the GRF archive ARCHIVE (letter case\n"
    "                  and \"\\\" or \"/\" do not matter) or a pattern with \"*\" and \"?\"\n"
    "                  for every model it matches, e.g. 'data\\model\\*.rsm'; -o or -d\n"
    "                  is needed, and textures come from the archive unless --data\n"
    "                  names another location\n"
    "\n"
    "Without -o or -d, the result goes beside the input as NAME.glb (or NAME.gltf).\n"
    "Models are exported in parallel. A texture that is not found is named in a warning\n"
    "and the stand-by bitmap used instead. A model that fails is reported on stderr with\n"
    "the reason and the others are still exported; the exit status is then 1. Nothing is\n"
    "left half-written: each file is renamed into place once complete.\n";

struct Options {
    std::vector<std::string> inputs;
    std::string output;  // -o
    std::string folder;  // -d
    std::optional<gltf::GltfFormat> format;
    double time_ms = 0;
    std::optional<std::string> data;
    std::optional<std::string> archive;  // --grf
    bool recursive = false;
};

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int Parse(const std::vector<std::string>& args, Options& options) {
    bool only_files = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (only_files || a.empty() || a[0] != '-') {
            options.inputs.push_back(a);
            continue;
        }
        if (a == "--") {
            only_files = true;
            continue;
        }
        if (a == "-r") {
            options.recursive = true;
            continue;
        }
        const bool takes_value =
            a == "-o" || a == "-d" || a == "--format" || a == "--time" || a == "--data" || a == "--grf";
        if (!takes_value) return UsageError("export", "unknown option " + a);
        if (i + 1 == args.size()) return UsageError("export", a + " needs a value");
        const std::string& v = args[++i];
        if (v.empty()) return UsageError("export", a + " needs a non-empty value");
        if (a == "-o" || a == "-d") {
            std::string& slot = a == "-o" ? options.output : options.folder;
            if (!slot.empty()) return UsageError("export", a + " is given twice");
            slot = v;
        } else if (a == "--format") {
            if (v == "glb") {
                options.format = gltf::GltfFormat::kBinary;
            } else if (v == "gltf") {
                options.format = gltf::GltfFormat::kText;
            } else {
                return UsageError("export", "--format must be glb or gltf, not " + v);
            }
        } else if (a == "--time") {
            double value = 0;
            const char* end = v.data() + v.size();
            const auto [ptr, ec] = std::from_chars(v.data(), end, value);
            if (ec != std::errc() || ptr != end || !std::isfinite(value) || value < 0) {
                return UsageError("export", "--time needs a number of milliseconds >= 0, not " + v);
            }
            options.time_ms = value;
        } else if (a == "--grf") {
            options.archive = v;
        } else {
            options.data = v;
        }
    }
    if (options.inputs.empty()) return UsageError("export", "export needs at least one FILE");
    if (!options.output.empty() && !options.folder.empty()) {
        return UsageError("export", "-o and -d cannot be used together");
    }
    if (!options.output.empty()) {
        const std::string extension = Lower(PathText(fs::u8path(options.output).extension()));
        const auto named = extension == ".gltf"  ? std::optional(gltf::GltfFormat::kText)
                           : extension == ".glb" ? std::optional(gltf::GltfFormat::kBinary)
                                                 : std::nullopt;
        if (named && options.format && *named != *options.format) {
            return UsageError("export", "-o " + options.output + " does not match --format");
        }
        if (!options.format) options.format = named.value_or(gltf::GltfFormat::kBinary);
    }
    if (!options.folder.empty() && !fs::is_directory(fs::u8path(options.folder))) {
        return UsageError("export", "-d " + options.folder + ": no such folder");
    }
    return -1;
}

bool IsExportable(const fs::path& path) {
    const std::string extension = Lower(PathText(path.extension()));
    return extension == ".rsm" || extension == ".rsm2";
}

// The model files an input names: itself, or the .rsm/.rsm2 files of a folder (sorted,
// so the order of messages and outputs does not depend on the file system).
std::vector<std::string> Expand(const std::string& input, bool recursive, std::string& problem) {
    const fs::path path = fs::u8path(input);
    std::error_code ec;
    if (!fs::is_directory(path, ec)) return {input};
    std::vector<std::string> found;
    auto take = [&](const fs::directory_entry& entry) {
        std::error_code e;
        if (entry.is_regular_file(e) && IsExportable(entry.path()))
            found.push_back(PathText(entry.path()));
    };
    if (recursive) {
        for (fs::recursive_directory_iterator it(path, ec), end; !ec && it != end;
             it.increment(ec)) {
            take(*it);
        }
    } else {
        for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
            take(*it);
    }
    if (ec) problem = input + ": the folder cannot be read: " + ec.message();
    std::sort(found.begin(), found.end());
    return found;
}

int RunExport(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitSuccess;
    }
    Options options;
    if (const int stop = Parse(args, options); stop >= 0) return stop;

    int failures = 0;
    std::vector<ModelInput> inputs;
    if (options.archive) {
        if (options.output.empty() && options.folder.empty()) {
            return UsageError("export", "--grf needs -o OUT or -d DIR");
        }
        try {
            inputs = ExpandArchiveModels(std::make_shared<const GrfArchive>(*options.archive),
                                         options.inputs);
        } catch (const Error& e) {
            PrintError(e.description());
            return kExitFailure;
        }
    }
    for (const std::string& input : options.archive ? std::vector<std::string>{} : options.inputs) {
        std::string problem;
        for (std::string& file : Expand(input, options.recursive, problem))
            inputs.push_back(FileModel(file));
        if (!problem.empty()) {
            PrintError(problem);
            ++failures;
        }
    }
    if (!options.output.empty() && inputs.size() != 1) {
        return UsageError("export", "-o takes a single model; use -d DIR for several");
    }

    std::vector<gltf::ExportJob> jobs;
    std::map<fs::path, std::string> claimed;  // output -> the input it is the result of
    for (const ModelInput& model : inputs) {
        const std::string& input = model.name;
        gltf::ExportJob job;
        job.name = input;
        job.output = ResultPath(model, options.output, options.folder,
                                options.format == gltf::GltfFormat::kText ? ".gltf" : ".glb");
        job.format = options.format.value_or(gltf::GltfFormat::kBinary);
        const fs::path key = fs::weakly_canonical(job.output);
        if (const auto earlier = claimed.find(key); earlier != claimed.end()) {
            PrintError(input + ": not exported: " + PathText(job.output) +
                       " is already the result of " + earlier->second);
            ++failures;
            continue;
        }
        claimed.emplace(key, input);
        job.read = [model] { return model.Read(); };
        jobs.push_back(std::move(job));
    }

    gltf::ExportSettings settings;
    settings.time_ms = options.time_ms;
    settings.standby_bitmap = ExecutableFolder() + "/" + kStandbyBitmapName;
    try {
        settings.data = OpenDataLocation(options.data      ? *options.data
                                         : options.archive ? *options.archive
                                                           : DataPathFromSettings());
    } catch (const Error& e) {
        PrintError(e.description());
        return kExitFailure;
    }

    const bool progress = isatty(fileno(stderr)) != 0;
    std::size_t finished = 0;
    gltf::ExportBatch(jobs, settings, 0, [&](std::size_t i, const gltf::ExportOutcome& outcome) {
        ++finished;
        if (progress) std::fputs("\r\033[K", stderr);
        if (!outcome.written) {
            ++failures;
            PrintError(outcome.messages.empty() ? jobs[i].name + ": not exported"
                                                : outcome.messages.front());
        } else {
            for (const std::string& warning : outcome.messages) {
                PrintWarning(jobs[i].name + ": " + warning);
            }
        }
        if (progress) {
            std::fprintf(stderr, "[%zu/%zu] %s", finished, jobs.size(), jobs[i].name.c_str());
            std::fflush(stderr);
        }
    });
    if (progress && !jobs.empty()) std::fputs("\r\033[K", stderr);
    return failures == 0 ? kExitSuccess : kExitFailure;
}

const CommandRegistration kRegistered{
    "export", "write whole models (all nodes, textures, animation) as glTF 2.0", &RunExport};

}  // namespace
}  // namespace plovant::cli
