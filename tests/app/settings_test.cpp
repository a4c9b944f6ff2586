// The settings file: reading its first line, writing it with CR LF, and going on when
// the file or its folder will not cooperate.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "app/settings.h"
#include "errors/error.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace plovant {
namespace {

namespace fs = std::filesystem;

const std::string kDefaultLine = std::string(kDefaultDataPath) + "\r\n";

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device entropy;
        folder_ = fs::temp_directory_path() /
                  ("plovant-settings-" + std::to_string(entropy()) + std::to_string(entropy()));
        fs::create_directory(folder_);
        file_ = (folder_ / kSettingsFileName).string();
    }

    void TearDown() override {
        std::error_code ec;
        // Tests may take rights away; give them back so everything can be removed.
        for (const auto& entry : fs::recursive_directory_iterator(folder_, ec)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(folder_, ec);
    }

    static void Write(const std::string& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
        ASSERT_TRUE(out.good()) << path;
    }

    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    // What LoadSettings makes of a file holding `bytes`, starting from another value.
    std::string LoadFrom(const std::string& bytes) {
        Write(file_, bytes);
        Settings settings;
        settings.DataPath = "previous value";
        LoadSettings(settings, file_);
        return settings.DataPath;
    }

    // Entries of the folder: a failed or finished write leaves no temporary file.
    int EntryCount() const {
        int count = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder_)) ++count;
        return count;
    }

    static bool RunningAsRoot() {
#ifdef _WIN32
        return false;
#else
        return geteuid() == 0;
#endif
    }

    fs::path folder_;
    std::string file_;
};

TEST(Settings, StartUpDefaults) {
    const Settings settings;
    EXPECT_EQ(settings.DataPath, "C:\\Program Files\\Gravity\\RagnarokOnline\\Data");
    EXPECT_TRUE(settings.Textured);
    EXPECT_TRUE(settings.Smooth);
    EXPECT_TRUE(settings.Lighting);
    EXPECT_FALSE(settings.Wireframe);
    EXPECT_FALSE(settings.Antialiased);
    EXPECT_TRUE(settings.ClearDepth);
}

TEST(Settings, ResettingRenderSwitchesKeepsTheDataFolder) {
    Settings settings;
    settings.DataPath = "D:\\Game\\Data";
    settings.Textured = settings.Smooth = settings.Lighting = settings.ClearDepth = false;
    settings.Wireframe = settings.Antialiased = true;
    ResetRenderSwitches(settings);
    const Settings defaults;
    EXPECT_EQ(settings.DataPath, "D:\\Game\\Data");
    EXPECT_EQ(settings.Textured, defaults.Textured);
    EXPECT_EQ(settings.Smooth, defaults.Smooth);
    EXPECT_EQ(settings.Lighting, defaults.Lighting);
    EXPECT_EQ(settings.Wireframe, defaults.Wireframe);
    EXPECT_EQ(settings.Antialiased, defaults.Antialiased);
    EXPECT_EQ(settings.ClearDepth, defaults.ClearDepth);
}

TEST_F(SettingsFileTest, FirstStartWritesExactlyTheDefaultWithCrLf) {
    Settings settings;
    settings.DataPath = "something else";
    settings.Wireframe = true;
    LoadSettings(settings, file_);
    EXPECT_EQ(settings.DataPath, kDefaultDataPath);
    EXPECT_TRUE(settings.Wireframe);  // render switches are not the file's business
    EXPECT_EQ(Read(file_), kDefaultLine);
    EXPECT_EQ(EntryCount(), 1);
}

TEST_F(SettingsFileTest, FirstLineIsUsedExactlyAsRead) {
    EXPECT_EQ(LoadFrom("D:\\RO\\Data\r\n"), "D:\\RO\\Data");
    // A trailing backslash, blanks and tabs are all kept.
    EXPECT_EQ(LoadFrom("D:\\RO\\Data\\\r\n"), "D:\\RO\\Data\\");
    EXPECT_EQ(LoadFrom("  D:\\With Blanks\t \r\n"), "  D:\\With Blanks\t ");
    // Bytes of another code page pass through untouched (CP949 for "데이터").
    EXPECT_EQ(LoadFrom("C:\\\xb5\xa5\xc0\xcc\xc5\xcd\r\n"), "C:\\\xb5\xa5\xc0\xcc\xc5\xcd");
    // No line end at all: the whole file.
    EXPECT_EQ(LoadFrom("/srv/ro/data"), "/srv/ro/data");
}

TEST_F(SettingsFileTest, OnlyTheFirstLineCountsAndTheFileIsLeftAlone) {
    const std::string several = "D:\\First\r\nE:\\Second\r\nthird";
    EXPECT_EQ(LoadFrom(several), "D:\\First");
    EXPECT_EQ(Read(file_), several);

    // Writing keeps only the one line.
    Settings settings;
    LoadSettings(settings, file_);
    SaveSettings(settings, file_);
    EXPECT_EQ(Read(file_), "D:\\First\r\n");
}

TEST_F(SettingsFileTest, LineEndsAtCrAtLfOrAtCrLf) {
    EXPECT_EQ(LoadFrom("D:\\Unix\nsecond\n"), "D:\\Unix");
    EXPECT_EQ(LoadFrom("D:\\OldMac\rsecond\r"), "D:\\OldMac");
    EXPECT_EQ(LoadFrom("D:\\Mixed\n\rsecond"), "D:\\Mixed");
    EXPECT_EQ(LoadFrom("D:\\Windows\r\n"), "D:\\Windows");
}

TEST_F(SettingsFileTest, EmptyFirstLineGivesAnEmptyDataPath) {
    EXPECT_EQ(LoadFrom("\r\nD:\\Second\r\n"), "");
    EXPECT_EQ(LoadFrom("\n"), "");
    EXPECT_EQ(Read(file_), "\n");  // a file with a line in it is not rewritten
}

TEST_F(SettingsFileTest, EmptyFileIsTreatedLikeAMissingOne) {
    EXPECT_EQ(LoadFrom(""), kDefaultDataPath);
    EXPECT_EQ(Read(file_), kDefaultLine);
}

TEST_F(SettingsFileTest, HiddenFileCountsAsMissing) {
    const std::string hidden = (folder_ / ".dovekit.ini").string();
    Write(hidden, "D:\\Hidden\r\n");
    Settings settings;
    LoadSettings(settings, hidden);
    EXPECT_EQ(settings.DataPath, kDefaultDataPath);
    EXPECT_EQ(Read(hidden), kDefaultLine);
}

TEST_F(SettingsFileTest, FolderInPlaceOfTheFileKeepsTheDefaultInMemory) {
    fs::create_directory(file_);
    fs::path inside = fs::path(file_) / "keep.txt";
    Write(inside.string(), "x");
    Settings settings;
    settings.DataPath = "previous value";
    LoadSettings(settings, file_);
    EXPECT_EQ(settings.DataPath, kDefaultDataPath);
    EXPECT_TRUE(fs::is_directory(file_));
    EXPECT_EQ(Read(inside.string()), "x");
    EXPECT_EQ(EntryCount(), 1);
}

TEST_F(SettingsFileTest, MissingFolderKeepsTheDefaultInMemoryAndSaveNamesTheFile) {
    const std::string nowhere = (folder_ / "no such folder" / kSettingsFileName).string();
    Settings settings;
    settings.DataPath = "previous value";
    EXPECT_NO_THROW(LoadSettings(settings, nowhere));
    EXPECT_EQ(settings.DataPath, kDefaultDataPath);
    EXPECT_FALSE(fs::exists(nowhere));

    try {
        SaveSettings(settings, nowhere);
        ADD_FAILURE() << "saving into a missing folder succeeded";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrPathNotFound);
        EXPECT_NE(e.description().find(nowhere), std::string::npos) << e.description();
        EXPECT_NE(e.description().find("settings file"), std::string::npos) << e.description();
    }
}

TEST_F(SettingsFileTest, UnwritableFolderKeepsTheValueInMemory) {
    // A folder of our own made read-only; for root, whom access rights do not bind, the
    // kernel's /sys, where no file can be created.
    std::string file = file_;
    if (RunningAsRoot()) {
        if (!fs::is_directory("/sys")) GTEST_SKIP() << "no folder that root cannot write";
        file = "/sys/" + std::string(kSettingsFileName);
    } else {
        fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    }
    Settings settings;
    EXPECT_NO_THROW(LoadSettings(settings, file));
    EXPECT_EQ(settings.DataPath, kDefaultDataPath);
    EXPECT_FALSE(fs::exists(file));

    settings.DataPath = "D:\\Chosen";
    try {
        SaveSettings(settings, file);
        ADD_FAILURE() << "saving into a read-only folder succeeded";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrPermissionDenied);
        EXPECT_NE(e.description().find(file), std::string::npos) << e.description();
    }
    EXPECT_EQ(settings.DataPath, "D:\\Chosen");
    EXPECT_EQ(EntryCount(), 0);
}

TEST_F(SettingsFileTest, WritableFileInAReadOnlyFolderIsRewrittenInPlace) {
    if (RunningAsRoot()) GTEST_SKIP() << "access rights do not bind root";
    Write(file_, "D:\\Old\\Longer\\Folder\r\n");
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    Settings settings;
    settings.DataPath = "E:\\New";
    SaveSettings(settings, file_);
    EXPECT_EQ(Read(file_), "E:\\New\r\n");
}

TEST_F(SettingsFileTest, ReadOnlyFileIsNotReplaced) {
    if (RunningAsRoot()) GTEST_SKIP() << "access rights do not bind root";
    Write(file_, "D:\\Kept\r\n");
    fs::permissions(file_, fs::perms::owner_read);
    Settings settings;
    settings.DataPath = "E:\\New";
    EXPECT_THROW(SaveSettings(settings, file_), Error);
    EXPECT_EQ(Read(file_), "D:\\Kept\r\n");
    EXPECT_EQ(EntryCount(), 1);
}

TEST_F(SettingsFileTest, UnreadableFileGivesTheDefaultAndIsLeftAlone) {
    if (RunningAsRoot()) GTEST_SKIP() << "access rights do not bind root";
    Write(file_, "D:\\Secret\r\n");
    fs::permissions(file_, fs::perms::owner_write);
    Settings settings;
    settings.DataPath = "previous value";
    LoadSettings(settings, file_);
    EXPECT_EQ(settings.DataPath, kDefaultDataPath);
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Read(file_), "D:\\Secret\r\n");
}

TEST_F(SettingsFileTest, OverlongFirstLineIsNotTakenAndTheFileIsKept) {
    const std::string huge(std::size_t{3} << 20, 'x');
    EXPECT_EQ(LoadFrom(huge), kDefaultDataPath);
    EXPECT_EQ(fs::file_size(file_), huge.size());
    // Just under the limit is still a line.
    const std::string long_line(std::size_t{1} << 20, 'y');
    EXPECT_EQ(LoadFrom(long_line + "\r\n"), long_line);
}

TEST_F(SettingsFileTest, SaveReplacesTheWholeFileAndRoundTrips) {
    Write(file_, "a much longer first line than the new one\r\nand a second\r\n");
    Settings settings;
    for (const std::string value : {"E:\\New", "", "\\\\server\\share\\Data\\", "C:\\\xc7\xd1"}) {
        settings.DataPath = value;
        SaveSettings(settings, file_);
        EXPECT_EQ(Read(file_), value + "\r\n");
        Settings loaded;
        LoadSettings(loaded, file_);
        EXPECT_EQ(loaded.DataPath, value);
    }
    EXPECT_EQ(EntryCount(), 1);
}

#ifndef _WIN32
TEST_F(SettingsFileTest, SaveKeepsAccessRightsAndWritesThroughALink) {
    const fs::path real = folder_ / "real.ini";
    Write(real.string(), "D:\\Old\r\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, file_);

    Settings settings;
    settings.DataPath = "E:\\Linked";
    SaveSettings(settings, file_);
    EXPECT_TRUE(fs::is_symlink(file_));
    EXPECT_EQ(Read(real.string()), "E:\\Linked\r\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(EntryCount(), 2);

    Settings loaded;
    LoadSettings(loaded, file_);
    EXPECT_EQ(loaded.DataPath, "E:\\Linked");
}
#endif

TEST(SettingsFilePath, JoinsTheFolderAndTheFileName) {
    EXPECT_EQ(SettingsFilePath("C:\\Program Files\\Plovant", PathStyle::Windows),
              "C:\\Program Files\\Plovant\\dovekit.ini");
    // A program in a drive root: the folder keeps its backslash, giving two in a row.
    EXPECT_EQ(SettingsFilePath("C:\\", PathStyle::Windows), "C:\\\\dovekit.ini");

    EXPECT_EQ(SettingsFilePath("/usr/lib/plovant", PathStyle::Posix),
              "/usr/lib/plovant/dovekit.ini");
    EXPECT_EQ(SettingsFilePath("/", PathStyle::Posix), "/dovekit.ini");
    EXPECT_EQ(SettingsFilePath("", PathStyle::Posix), "dovekit.ini");
    // A backslash is an ordinary character in a Posix folder name.
    EXPECT_EQ(SettingsFilePath("/tmp/odd\\name", PathStyle::Posix), "/tmp/odd\\name/dovekit.ini");

    EXPECT_EQ(SettingsFilePath("/opt/p"), SettingsFilePath("/opt/p", kNativePathStyle));
}

}  // namespace
}  // namespace plovant
