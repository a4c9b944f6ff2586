// plovant-cli convert FILE... [-o OUT | -d DIR]: each model's first mesh, centred as
// the viewer centres it, written as a 3DS file.
#include <cstdio>
#include <filesystem>
#include <map>

#include "cli/cli_support.h"
#include "cli/command.h"
#include "export/tds_writer.h"
#include "model/binary_file.h"

namespace plovant::cli {
namespace {

constexpr const char* kHelp =
    "Usage: plovant-cli convert FILE... [-o OUT | -d DIR]\n"
    "\n"
    "Opens each model FILE as the viewer does (reads it and centres its first mesh)\n"
    "and writes that mesh as a 3D Studio file.\n"
    "\n"
    "  -o OUT   write to OUT (only with a single FILE)\n"
    "  -d DIR   write each result into the existing folder DIR\n"
    "\n"
    "Without -o or -d, the result goes beside the input, its extension replaced by\n"
    "\".3ds\". A file that fails is reported on stderr and the others are still\n"
    "converted; the exit status is then 1.\n";

struct Options {
    std::vector<std::string> inputs;
    std::string output;  // -o
    std::string folder;  // -d
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
        } else if (a == "-o" || a == "-d") {
            if (i + 1 == args.size()) return UsageError("convert", a + " needs a value");
            std::string& slot = a == "-o" ? options.output : options.folder;
            if (!slot.empty()) return UsageError("convert", a + " is given twice");
            slot = args[++i];
            if (slot.empty()) return UsageError("convert", a + " needs a non-empty value");
        } else {
            return UsageError("convert", "unknown option " + a);
        }
    }
    if (options.inputs.empty()) return UsageError("convert", "convert needs at least one FILE");
    if (!options.output.empty() && !options.folder.empty()) {
        return UsageError("convert", "-o and -d cannot be used together");
    }
    if (!options.output.empty() && options.inputs.size() > 1) {
        return UsageError("convert", "-o takes a single FILE; use -d DIR for several");
    }
    if (!options.folder.empty() &&
        !std::filesystem::is_directory(std::filesystem::u8path(options.folder))) {
        return UsageError("convert", "-d " + options.folder + ": no such folder");
    }
    return -1;
}

std::filesystem::path OutputFor(const Options& options, const std::string& input) {
    if (!options.output.empty()) return std::filesystem::u8path(options.output);
    std::filesystem::path path = std::filesystem::u8path(input);
    if (!options.folder.empty()) {
        return std::filesystem::u8path(options.folder) / path.filename().replace_extension(".3ds");
    }
    return path.replace_extension(".3ds");
}

int RunConvert(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitSuccess;
    }
    Options options;
    if (const int stop = Parse(args, options); stop >= 0) return stop;

    int failures = 0;
    std::map<std::filesystem::path, std::string> written;  // output -> its input
    for (const std::string& input : options.inputs) {
        const std::filesystem::path output = OutputFor(options, input);
        const std::filesystem::path key = std::filesystem::weakly_canonical(output);
        if (const auto earlier = written.find(key); earlier != written.end()) {
            PrintError(input + ": not converted: " + PathText(output) +
                       " is already the result of " + earlier->second);
            ++failures;
            continue;
        }
        try {
            RsmModel model;
            OpenModel(input, model);
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
