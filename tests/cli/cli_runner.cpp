#include "cli/cli_runner.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace plovant::cli_test {

namespace fs = std::filesystem;

CliRun RunCli(const fs::path& folder, const std::string& args) {
    // Numbered per process, so runs side by side never write each other's capture.
    static int runs = 0;
    const std::string stem =
        "plovant-cli-capture-" + std::to_string(getpid()) + "-" + std::to_string(++runs);
    const fs::path out = fs::temp_directory_path() / (stem + ".out");
    const fs::path err = fs::temp_directory_path() / (stem + ".err");
    const std::string command = "cd " + ShellQuoted(folder.string()) + " && " +
                                ShellQuoted(CliProgram().string()) + " " + args + " >" +
                                ShellQuoted(out.string()) + " 2>" + ShellQuoted(err.string());
    const int raw = std::system(command.c_str());
    CliRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
    std::error_code ignored;
    fs::remove(out, ignored);
    fs::remove(err, ignored);
    return run;
}

fs::path CliProgram() { return fs::path(PLOVANT_BIN_DIR) / "plovant-cli"; }

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

fs::path SamplePath(const std::string& name) {
    return fs::path(PLOVANT_SAMPLES_DIR) / "data" / name;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    const std::string text = ReadText(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

ScratchFolder::ScratchFolder(const std::string& prefix) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "plovant-" + prefix + "-" + (test ? test->name() : "outside-a-test") + "-" +
                       std::to_string(getpid());
    for (char& c : name) {
        if (c == '/') c = '_';  // parameterised tests have a "/" in their names
    }
    path_ = fs::temp_directory_path() / name;
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

}  // namespace plovant::cli_test
