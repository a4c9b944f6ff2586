// What the tests of plovant-cli share: running the program as a user would, in a folder
// of the test's own, and reading back what it printed and wrote.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace plovant::cli_test {

// What one run of plovant-cli gave back.
struct CliRun {
    int status;       // the exit status, or -1 when the program did not exit normally
    std::string out;  // everything it wrote to stdout
    std::string err;  // everything it wrote to stderr
};

// Runs plovant-cli through the shell in `folder` with `args`, a shell fragment in which
// the test has already quoted what needs quoting. stdout and stderr are captured in
// files outside `folder` (removed again), so the files the program leaves in `folder`
// are only its own.
CliRun RunCli(const std::filesystem::path& folder, const std::string& args);

// The path of the plovant-cli program under test.
std::filesystem::path CliProgram();

// `text` in single quotes for the shell, any single quote in it kept.
std::string ShellQuoted(const std::string& text);

// The sample file `name` under the samples' data folder ("" gives the folder itself).
std::filesystem::path SamplePath(const std::string& name);

// The whole content of a file, byte for byte; empty when it cannot be read.
std::string ReadText(const std::filesystem::path& path);

// The whole content of a file as bytes; empty when it cannot be read.
std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);

// Writes `bytes` as the whole content of `path`.
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// An empty folder of the running test's own, removed with everything in it when this
// object goes. Its name holds `prefix`, the test's name and the process number, so
// tests run side by side (by CTest, or by several builds at once) never share one.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace plovant::cli_test
