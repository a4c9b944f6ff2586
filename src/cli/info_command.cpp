// plovant-cli info FILE: the text the information window shows for FILE.
#include <cstdio>

#include "cli/cli_support.h"
#include "cli/command.h"
#include "model/info_text.h"

namespace plovant::cli {
namespace {

constexpr const char* kHelp =
    "Usage: plovant-cli info FILE\n"
    "\n"
    "Reads the model FILE and prints the summary the information window shows for it:\n"
    "the path, the mesh and texture counts, one block per mesh and the texture names.\n"
    "Lines end with CR LF. Names are decoded from the game's code page (CP949).\n";

int RunInfo(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitSuccess;
    }
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
