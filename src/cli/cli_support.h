// Helpers shared by the commands of plovant-cli: reporting errors, reading the
// command line, opening a model as the viewer does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "errors/error.h"
#include "model/rsm_model.h"

namespace plovant::cli {

inline constexpr const char* kProgramName = "plovant-cli";

// Writes "plovant-cli: <message>" and a line end to stderr.
void PrintError(const std::string& message);

// Writes a usage problem and the hint to use --help; returns kExitUsage.
int UsageError(const std::string& command, const std::string& message);

// True when `args` holds "--help" or "-h".
bool WantsHelp(const std::vector<std::string>& args);

// Writes `text` to stdout exactly as given (no line-end translation).
void WriteOut(std::string_view text);

// True when the last three characters of the file's name (without its folder) are
// "rsm" in any letter case: the names the viewer reads as models.
bool IsModelName(const std::string& path);

// Refuses, with an Error saying what is wrong, a model argument that is empty, names a
// folder, or a name IsModelName refuses (in that order).
void RequireModelArgument(const std::string& path);

// Opens a model as the viewer does: the name must end in "rsm", the file is read
// and its first mesh centred. Returns the extent of the first mesh. Throws Error.
float OpenModel(const std::string& path, RsmModel& model);

}  // namespace plovant::cli
