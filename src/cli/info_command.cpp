// plovant-cli info FILE: the text the information window shows for FILE.
#include <cstdio>

#include <memory>

#include "archive/grf_archive.h"
#include "cli/archive_models.h"
#include "cli/cli_support.h"
#include "cli/command.h"
#include "model/info_text.h"

namespace plovant::cli {
namespace {

constexpr const char* kHelp =
    "Usage: plovant-cli info FILE\n"
    "       plovant-cli info --grf ARCHIVE NAME\n"
    "\n"
    "Reads the model FILE and prints the summary the information window shows for it:\n"
    "the path, the mesh and texture counts, one block per mesh and the texture names.\n"
    "Lines end with CR LF. Names are decoded from the game's code page (CP949).\n"
    "\n"
    "  --grf ARCHIVE   NAME is a model inside the GRF archive ARCHIVE (letter case and\n"
    "                  \"\\\" or \"/\" do not matter); a pattern with \"*\" and \"?\" prints\n"
    "                  the text of every model it matches, one after the other\n";

// info --grf ARCHIVE NAME: the text of each model NAME names in the archive.
int RunInfoInArchive(const std::vector<std::string>& args) {
    if (args.size() != 3) return UsageError("info", "info --grf needs an ARCHIVE and one NAME");
    int status = kExitSuccess;
    try {
        const auto archive = std::make_shared<const GrfArchive>(args[1]);
        for (const ModelInput& input : ExpandArchiveModels(archive, {args[2]})) {
            RsmModel model;
            try {
                OpenModelInput(input, model);
            } catch (const Error& e) {
                PrintError(e.description());
                status = kExitFailure;
                continue;
            }
            WriteOut(BuildInfoText(model, input.name));
        }
    } catch (const Error& e) {
        PrintError(e.description());
        return kExitFailure;
    }
    return status;
}

int RunInfo(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitSuccess;
    }
    if (!args.empty() && args[0] == "--grf") return RunInfoInArchive(args);
    if (args.size() != 1 || args[0].starts_with('-')) {
        return UsageError("info", args.empty() ? "info needs one FILE"
                                               : args.size() > 1 ? "info takes one FILE"
                                                                 : "unknown option " + args[0]);
    }
    RsmModel model;
    try {
        OpenModel(args[0], model);
    } catch (const Error& e) {
        PrintError(e.description());
        return kExitFailure;
    }
    WriteOut(BuildInfoText(model, args[0]));
    return kExitSuccess;
}

const CommandRegistration kRegistered{"info", "print the information text of a model", &RunInfo};

}  // namespace
}  // namespace plovant::cli
