#include <algorithm>

#include "cli/command.h"

namespace plovant::cli {
namespace {

// Built on first use, so registrations from any file's static objects find it.
std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}

}  // namespace

CommandRegistration::CommandRegistration(const char* name, const char* summary,
                                         CommandFunction run) {
    Registry().push_back(Command{name, summary, run});
}

std::vector<Command> RegisteredCommands() {
    std::vector<Command> commands = Registry();
    std::sort(commands.begin(), commands.end(),
              [](const Command& a, const Command& b) { return a.name < b.name; });
    return commands;
}

}  // namespace plovant::cli
