// plovant-cli convert FILE... [-o OUT | -d DIR]: each model's first mesh, centred as
// the viewer centres it, written as a 3DS file.
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "archive/grf_archive.h"
#include "cli/archive_models.h"
#include "cli/cli_support.h"
#include "cli/command.h"
#include "cli/result_path.h"
#include "export/tds_writer.h"
#include "model/binary_file.h"

namespace plovant::cli {
namespace {

constexpr const char* kHelp =
    "Usage: plovant-cli convert FILE... [-o OUT | -d DIR]\n"
    "       plovant-cli convert --grf ARCHIVE NAME... (-o OUT | -d DIR)\n"
    "\n"
    "Opens each model FILE as the viewer does (reads it and centres its first mesh)\n"
    "and writes that mesh as a 3D Studio file.\n"
    "\n"
    "  -o OUT   write to OUT (only with a single FILE)\n"
    "  -d DIR   write each result into the existing folder DIR\n"
    "  --grf ARCHIVE\n"
    "           each NAME is a model inside the GRF archive ARCHIVE (letter case and \"\\\"\n"
    "           or \"/\" do not matter) or a pattern with \"*\" and \"?\" for all it matches;\n"
    "           -o or -d is needed\n"
    "\n"
    "Without -o or -d, the result goes beside the input, its extension replaced by\n"
    "\".3ds\". A file that fails is reported on stderr and the others are still\n"
    "converted; the exit status is then 1.\n";

struct Options {
    std::vector<std::string> inputs;
    std::string output;  // -o
    std::string folder;  // -d
    std::string archive;  // --grf
};

// Parses the arguments; returns an exit code when the command must stop.
int Parse(const std::vector<std::string>& args, Options& options) {
    bool only_files = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (only_files || a.empty() || a[0] != '-') {
            options.inputs.push_back(a);
        } else if (a == "--") {
            only_files = true;
        } else if (a == "-o" || a == "-d" || a == "--grf") {
            if (i + 1 == args.size()) return UsageError("convert", a + " needs a value");
            std::string& slot = a == "-o" ? options.output : a == "-d" ? options.folder : options.archive;
            if (!slot.empty()) return UsageError("convert", a + " is given twice");
            slot = args[++i];
            if (slot.empty()) return UsageError("convert", a + " needs a non-empty value");
        } else {
            return UsageError("convert", "unknown option " + a);
        }
    }
    if (options.inputs.empty()) return UsageError("convert", "convert needs at least one FILE");
    if (!options.archive.empty() && options.output.empty() && options.folder.empty()) {
        return UsageError("convert", "--grf needs -o OUT or -d DIR");
    }
    if (!options.output.empty() && !options.folder.empty()) {
        return UsageError("convert", "-o and -d cannot be used together");
    }
    if (!options.output.empty() && options.inputs.size() > 1) {
        return UsageError("convert", "-o takes a single FILE; use -d DIR for several");
    }
    if (!options.folder.empty()) {
        const std::filesystem::path folder = std::filesystem::u8path(options.folder);
        std::error_code ec;
        if (!std::filesystem::exists(folder, ec)) {
            return UsageError("convert", "-d " + options.folder + ": no such folder");
        }
        if (!std::filesystem::is_directory(folder, ec)) {
            return UsageError("convert", "-d " + options.folder + ": not a folder");
        }
    }
    return -1;
}

int RunConvert(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitSuccess;
    }
    Options options;
    if (const int stop = Parse(args, options); stop >= 0) return stop;

    std::vector<ModelInput> inputs;
    if (options.archive.empty()) {
        for (const std::string& input : options.inputs) inputs.push_back(FileModel(input));
    } else {
        try {
            inputs = ExpandArchiveModels(std::make_shared<const GrfArchive>(options.archive),
                                         options.inputs);
        } catch (const Error& e) {
            PrintError(e.description());
            return kExitFailure;
        }
        if (!options.output.empty() && inputs.size() > 1) {
            return UsageError("convert", "-o takes a single model; the names match " +
                                             std::to_string(inputs.size()) + "; use -d DIR");
        }
    }

    int failures = 0;
    std::map<std::filesystem::path, std::string> written;  // output -> its input
    for (const ModelInput& model_input : inputs) {
        const std::string& input = model_input.name;
        const std::filesystem::path output =
            ResultPath(model_input, options.output, options.folder, ".3ds");
        const std::filesystem::path key = std::filesystem::weakly_canonical(output);
        if (const auto earlier = written.find(key); earlier != written.end()) {
            PrintError(input + ": not converted: " + PathText(output) +
                       " is already the result of " + earlier->second);
            ++failures;
            continue;
        }
        try {
            RsmModel model;
            OpenModelInput(model_input, model);
            Write3DS(output, model);
            written.emplace(key, input);
        } catch (const Error& e) {
            PrintError(e.description());
            ++failures;
        }
    }
    return failures == 0 ? kExitSuccess : kExitFailure;
}

const CommandRegistration kRegistered{"convert", "write the first mesh of models as 3DS files",
                                      &RunConvert};

}  // namespace
}  // namespace plovant::cli
