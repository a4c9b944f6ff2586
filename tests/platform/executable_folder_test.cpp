// The folder of the running program: the test programs lie in the build's bin folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/executable_folder.h"

namespace plovant {
namespace {

namespace fs = std::filesystem;

TEST(ExecutableFolder, IsTheFolderOfTheRunningProgram) {
    const std::string folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::path(folder).is_absolute()) << folder;
    EXPECT_TRUE(fs::equivalent(folder, PLOVANT_BIN_DIR)) << folder;
    // Without a trailing separator (it is not a root).
    EXPECT_NE(folder.back(), '/');
    EXPECT_NE(folder.back(), '\\');
    // The stand-by bitmap is copied beside the programs.
    EXPECT_TRUE(fs::exists(fs::path(folder) / "blank.bmp"));
}

TEST(ExecutableFolder, DoesNotDependOnTheWorkingFolder) {
    const fs::path previous = fs::current_path();
    const std::string before = ExecutableFolder();
    fs::current_path(fs::temp_directory_path());
    const std::string after = ExecutableFolder();
    fs::current_path(previous);
    EXPECT_EQ(before, after);
}

}  // namespace
}  // namespace plovant
