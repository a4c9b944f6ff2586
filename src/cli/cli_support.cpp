#include "cli/cli_support.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "app/settings.h"
#include "cli/command.h"
#include "model/binary_file.h"
#include "platform/executable_folder.h"
#include "platform/settings_location.h"
#include "render/scene_model.h"

namespace plovant::cli {

void PrintError(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", kProgramName, message.c_str());
}

void PrintWarning(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: warning: %s\n", kProgramName, message.c_str());
}

int UsageError(const std::string& command, const std::string& message) {
    PrintError(message);
    std::fprintf(stderr, "Try '%s %s --help'.\n", kProgramName, command.c_str());
    return kExitUsage;
}

bool WantsHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") return true;
    }
    return false;
}

void WriteOut(std::string_view text) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

bool IsModelName(const std::string& path) {
    const std::string name = PathText(std::filesystem::u8path(path).filename());
    if (HasRsm2Ending(name)) return true;
    if (name.size() < 3) return false;
    std::string last = name.substr(name.size() - 3);
    for (char& c : last) c = char(std::tolower(static_cast<unsigned char>(c)));
    return last == "rsm";
}

void RequireModelArgument(const std::string& path) {
    if (path.empty()) {
        throw Error(kErrFileNotFound, "no model file name was given (the name is empty)");
    }
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::u8path(path), ec)) {
        throw Error(kErrFileNotFound, path + ": is a folder, not a model file");
    }
    if (!IsModelName(path)) throw Error(kErrInvalidFormat, path + ": " + kNotAModelName);
}

float OpenModel(const std::string& path, RsmModel& model) {
    RequireModelArgument(path);
    OpenedModel opened = ReadAnyViewModel(std::filesystem::u8path(path));
    model = std::move(opened.model);
    return opened.extent;
}

std::string DataPathFromSettings() {
    Settings settings;
    const std::string file = FindSettingsFile(ExecutableFolder(), UserSettingsFolder());
    std::error_code error;
    const std::filesystem::path path = std::filesystem::u8path(file);
    if (std::filesystem::is_regular_file(path, error) &&
        std::filesystem::file_size(path, error) > 0 && !error) {
        LoadSettings(settings, file);
    }
    return settings.DataPath;
}

}  // namespace plovant::cli
