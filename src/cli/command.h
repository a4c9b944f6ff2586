// The subcommands of plovant-cli. Each command lives in its own file and registers
// itself there with one line:
//
//   static const plovant::cli::CommandRegistration kRegistered{
//       "name", "one-line summary", &RunName};
//
// main() finds it by its name; nothing else needs to change to add a command.
#pragma once

#include <string>
#include <vector>

namespace plovant::cli {

// Exit codes of the program.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // some file could not be read or written
inline constexpr int kExitUsage = 2;    // the command line was wrong

// Runs a command with the arguments after its name; returns the exit code.
using CommandFunction = int (*)(const std::vector<std::string>& args);

struct Command {
    std::string name;
    std::string summary;
    CommandFunction run;
};

// All registered commands, sorted by name.
std::vector<Command> RegisteredCommands();

class CommandRegistration {
public:
    CommandRegistration(const char* name, const char* summary, CommandFunction run);
};

}  // namespace plovant::cli
