// plovant-cli: reads, converts and draws RSM models without a window. The first
// argument names a command; each command is registered in its own file.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/command.h"

namespace {

void PrintUsage(std::FILE* out) {
    std::fprintf(out, "Usage: %s COMMAND [ARGUMENTS]\n\nCommands:\n", plovant::cli::kProgramName);
    for (const plovant::cli::Command& c : plovant::cli::RegisteredCommands()) {
        std::fprintf(out, "  %-10s %s\n", c.name.c_str(), c.summary.c_str());
    }
    std::fprintf(out, "\nRun '%s COMMAND --help' for the arguments of a command,\n"
                      "'%s --version' for the version.\n",
                 plovant::cli::kProgramName, plovant::cli::kProgramName);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace plovant::cli;
    if (argc < 2) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return kExitSuccess;
    }
    if (name == "--version" || name == "-V") {
        std::printf("%s %s\n", kProgramName, PLOVANT_VERSION);
        return kExitSuccess;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& c : RegisteredCommands()) {
        if (c.name != name) continue;
        try {
            return c.run(args);
        } catch (const plovant::Error& e) {
            PrintError(e.description());
        } catch (const std::exception& e) {
            PrintError(e.what());
        }
        return kExitFailure;
    }
    PrintError("unknown command '" + name + "'");
    PrintUsage(stderr);
    return kExitUsage;
}
