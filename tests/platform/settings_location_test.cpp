// Where the settings file lives: beside the program when its folder can be written,
// else in the per-user folder, seeded from the program's file.
#include "platform/settings_location.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace plovant {
namespace {

namespace fs = std::filesystem;

class SettingsLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        fs::create_directories(Program());
    }
    fs::path Root() const { return root_.path().toStdString(); }
    fs::path Program() const { return Root() / "lib" / "plovant"; }
    fs::path User() const { return Root() / "home" / ".config" / "plovant"; }

    static void Write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Only these folders count as writable.
    static FolderWritableTest Writable(bool program) {
        return [program](const std::string&) { return program; };
    }
    // The names in `folder`, for checking that nothing was left behind.
    static int Entries(const fs::path& folder) {
        int count = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
        return count;
    }

    QTemporaryDir root_;
};

TEST_F(SettingsLocationTest, AWritableProgramFolderKeepsItsOwnFileAndTouchesNoUserFolder) {
    Write(Program() / "dovekit.ini", "D:\\Data\r\n");
    const std::string chosen =
        ChooseSettingsFile(Program().string(), User().string(), Writable(true));
    EXPECT_EQ(chosen, (Program() / "dovekit.ini").string());
    EXPECT_FALSE(fs::exists(User()));
    EXPECT_EQ(FindSettingsFile(Program().string(), User().string(), Writable(true)), chosen);
}

TEST_F(SettingsLocationTest, AReadOnlyProgramFolderUsesTheUserFileStartingFromTheProgramsOne) {
    Write(Program() / "dovekit.ini", "/srv/data\r\n");
    const std::string chosen =
        ChooseSettingsFile(Program().string(), User().string(), Writable(false));
    EXPECT_EQ(chosen, (User() / "dovekit.ini").string());
    EXPECT_EQ(Read(User() / "dovekit.ini"), "/srv/data\r\n");
    EXPECT_EQ(Entries(User()), 1);  // no temporary file left beside it
    EXPECT_EQ(FindSettingsFile(Program().string(), User().string(), Writable(false)), chosen);

    // Later starts keep what the user saved, even after the installed file changed.
    Write(User() / "dovekit.ini", "/home/me/data\r\n");
    Write(Program() / "dovekit.ini", "/srv/other\r\n");
    EXPECT_EQ(ChooseSettingsFile(Program().string(), User().string(), Writable(false)), chosen);
    EXPECT_EQ(Read(User() / "dovekit.ini"), "/home/me/data\r\n");
}

TEST_F(SettingsLocationTest, WithoutAProgramFileTheUserFolderIsMadeAndTheFileLeftToTheReader) {
    const std::string chosen =
        ChooseSettingsFile(Program().string(), User().string(), Writable(false));
    EXPECT_EQ(chosen, (User() / "dovekit.ini").string());
    EXPECT_TRUE(fs::is_directory(User()));
    EXPECT_FALSE(fs::exists(User() / "dovekit.ini"));
    // A reader that creates nothing stays with the program's name while no user file exists.
    EXPECT_EQ(FindSettingsFile(Program().string(), User().string(), Writable(false)),
              (Program() / "dovekit.ini").string());
}

TEST_F(SettingsLocationTest, AProgramFileThatIsAFolderIsNotCopied) {
    fs::create_directories(Program() / "dovekit.ini");
    ChooseSettingsFile(Program().string(), User().string(), Writable(false));
    EXPECT_FALSE(fs::exists(User() / "dovekit.ini"));
}

TEST_F(SettingsLocationTest, NoUserFolderKeepsTheProgramFile) {
    EXPECT_EQ(ChooseSettingsFile(Program().string(), "", Writable(false)),
              (Program() / "dovekit.ini").string());
    EXPECT_EQ(FindSettingsFile(Program().string(), "", Writable(false)),
              (Program() / "dovekit.ini").string());
}

TEST_F(SettingsLocationTest, WritabilityIsFoundOutByCreatingAFile) {
    EXPECT_TRUE(IsFolderWritable(Program().string()));
    EXPECT_EQ(Entries(Program()), 0);  // the probe is gone again
    EXPECT_FALSE(IsFolderWritable((Root() / "missing").string()));
    Write(Root() / "plain", "x");
    EXPECT_FALSE(IsFolderWritable((Root() / "plain").string()));
    EXPECT_FALSE(IsFolderWritable((Root() / "plain" / "below").string()));
}

TEST(UserSettingsFolder, EndsInTheProgramsOwnFolder) {
    const std::string folder = UserSettingsFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.ends_with("/plovant")) << folder;
}

}  // namespace
}  // namespace plovant
