// The main window keeps its settings in the per-user file when the program's folder
// cannot be written, starting from the file installed beside the program.
#include <QLineEdit>
#include <QPushButton>
#include <fstream>
#include <sstream>

#include "device/settings_dialog.h"
#include "gui_test_support.h"

namespace plovant::testing {
namespace {

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class UserSettingsTest : public GuiTest {
protected:
    std::filesystem::path User() const { return Root() / "user" / "plovant"; }

    MainWindow& WindowWithProgramFolder(bool writable) {
        MainWindowOptions options;
        options.dialogs = &dialogs_;
        options.settings_folder = Root().string();
        options.user_settings_folder = User().string();
        options.folder_writable = [this, writable](const std::string& folder) {
            EXPECT_EQ(folder, Root().string());
            return writable;
        };
        options.end_program = [this](int code) { end_program_code_ = code; };
        window_ = std::make_unique<MainWindow>(options);
        window_->show();
        return *window_;
    }
    void SaveDataFolderThroughOptions(MainWindow& w, const std::string& folder) {
        w.mnuOptions()->trigger();
        SettingsDialog* dialog = w.ExistingSettingsDialog();
        ASSERT_NE(dialog, nullptr);
        dialog->txtRagnaPath()->setText(QString::fromStdString(folder));
        dialog->cmdOK()->click();
    }
};

TEST_F(UserSettingsTest, AReadOnlyProgramFolderKeepsTheSettingsInTheUserFile) {
    MainWindow& w = WindowWithProgramFolder(false);
    EXPECT_EQ(w.SettingsFile(), (User() / "dovekit.ini").string());
    // Started from the installed file: its data folder is the one in use.
    EXPECT_EQ(w.CurrentSettings().DataPath, Data().string());
    EXPECT_EQ(Contents(User() / "dovekit.ini"), Data().string() + "\r\n");

    SaveDataFolderThroughOptions(w, "/somewhere/else");
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(Contents(User() / "dovekit.ini"), "/somewhere/else\r\n");
    EXPECT_EQ(Contents(Root() / "dovekit.ini"), Data().string() + "\r\n");  // untouched

    // The next start reads the user's file.
    window_.reset();
    MainWindow& again = WindowWithProgramFolder(false);
    EXPECT_EQ(again.CurrentSettings().DataPath, "/somewhere/else");
}

TEST_F(UserSettingsTest, AWritableProgramFolderKeepsTheFileBesideTheProgram) {
    MainWindow& w = WindowWithProgramFolder(true);
    EXPECT_EQ(w.SettingsFile(), (Root() / "dovekit.ini").string());
    SaveDataFolderThroughOptions(w, "/other");
    EXPECT_EQ(Contents(Root() / "dovekit.ini"), "/other\r\n");
    EXPECT_FALSE(std::filesystem::exists(User()));
}

}  // namespace
}  // namespace plovant::testing
