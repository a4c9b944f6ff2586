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

// Writes "plovant-cli: warning: <message>" and a line end to stderr.
void PrintWarning(const std::string& message);

// Writes a usage problem and the hint to use --help; returns kExitUsage.
int UsageError(const std::string& command, const std::string& message);

// True when `args` holds "--help" or "-h".
bool WantsHelp(const std::vector<std::string>& args);

// Writes `text` to stdout exactly as given (no line-end translation).
void WriteOut(std::string_view text);

// True when the file's name (without its folder) ends in "rsm" or "rsm2" in any letter
// case: the names the viewer reads as models.
bool IsModelName(const std::string& path);

// What is wrong with a name IsModelName refuses.
inline constexpr const char* kNotAModelName =
    "not a model file (the name ends neither in \"rsm\" nor in \"rsm2\")";

// Refuses, with an Error saying what is wrong, a model argument that is empty, names a
// folder, or a name IsModelName refuses (in that order).
void RequireModelArgument(const std::string& path);

// Opens a model as the viewer does (ReadAnyViewModel): the name must end in "rsm" or
// "rsm2"; the first reader's model with its first mesh centred, or, where that reader
// fails or the name ends in "rsm2", the scene layer's model placed and centred whole.
// Returns the extent the camera is set from. Throws Error.
float OpenModel(const std::string& path, RsmModel& model);

// The data location named in the settings file the viewer uses (beside the program, or
// the per-user one where the program's folder cannot be written), without creating the
// file when it is missing: a command-line tool leaves no trace.
std::string DataPathFromSettings();

}  // namespace plovant::cli
