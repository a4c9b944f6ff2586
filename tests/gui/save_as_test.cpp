// File, Save As on a real main window: the names written, silence on success and
// Cancel, a message and an untouched target on failure.
#include <fstream>
#include <sstream>

#include "gui_test_support.h"

namespace plovant::testing {
namespace {

class SaveAsTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        WriteFile(Root() / "x.rsm", QuadModel({"wall.bmp"}));
        Open(Root() / "x.rsm");
        ASSERT_TRUE(dialogs_.messages.empty());
        dialogs_.requests.clear();
    }
    void SaveAs(std::optional<std::string> answer) {
        dialogs_.Answer(std::move(answer));
        Window().mnuSave()->trigger();
    }
    static std::string Contents(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(SaveAsTest, WritesThe3dsNameTheRuleGives) {
    const std::filesystem::path out = Root() / "out";
    std::filesystem::create_directory(out);
    SaveAs((out / "model").string());
    SaveAs((out / "done.3ds").string());
    SaveAs((out / "model.3DS").string());
    EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"done.3ds", "model.3DS.3ds", "model.3ds"}));
    EXPECT_EQ(Contents(out / "model.3ds").substr(0, 2), "\x4D\x4D");
    EXPECT_TRUE(dialogs_.messages.empty());
    ASSERT_EQ(dialogs_.requests.size(), 3u);
    EXPECT_TRUE(dialogs_.requests[0].save);
    EXPECT_EQ(dialogs_.requests[0].filter, "3DS file (*.3ds)|*.3ds");
    // The dialog starts from the last name chosen, without the ".3ds" added to it.
    EXPECT_EQ(dialogs_.requests[0].file_name, (Root() / "x.rsm").string());
    EXPECT_EQ(dialogs_.requests[2].file_name, (out / "done.3ds").string());
    EXPECT_EQ(Window().windowTitle(), "Plovant - [x.rsm]");
}

TEST_F(SaveAsTest, TheProposedNameGivesAFileBesideTheModel) {
    // Accepting what the dialog proposes: the model's own path.
    SaveAs(Window().DialogFileName());
    EXPECT_TRUE(std::filesystem::exists(Root() / "x.rsm.3ds"));
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(SaveAsTest, AnExistingFileIsReplacedWithoutAQuestion) {
    WriteFile(Root() / "old.3ds", {'o', 'l', 'd'});
    SaveAs((Root() / "old.3ds").string());
    EXPECT_NE(Contents(Root() / "old.3ds"), "old");
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(SaveAsTest, AFileOnlyTheAddedEndingNamesIsReplacedOnlyAfterAYes) {
    WriteFile(Root() / "model.3ds", {'o', 'l', 'd'});
    // The dialog saw "model"; "model.3ds" was never shown as the choice.
    SaveAs((Root() / "model").string());
    ASSERT_EQ(dialogs_.questions.size(), 1u);
    EXPECT_EQ(dialogs_.questions[0].title, "Plovant");
    EXPECT_EQ(dialogs_.questions[0].text,
              (Root() / "model.3ds").string() + " already exists.\nDo you want to replace it?");
    EXPECT_EQ(Contents(Root() / "model.3ds"), "old");  // No: kept
    EXPECT_TRUE(dialogs_.messages.empty());
    // The dialog still starts from the name chosen.
    EXPECT_EQ(Window().DialogFileName(), (Root() / "model").string());

    dialogs_.yes_no_answers.push_back(true);
    SaveAs((Root() / "model").string());
    EXPECT_EQ(dialogs_.questions.size(), 2u);
    EXPECT_EQ(Contents(Root() / "model.3ds").substr(0, 2), "\x4D\x4D");  // Yes: replaced

    // The same file picked in the dialog itself is replaced without a question.
    WriteFile(Root() / "model.3ds", {'o', 'l', 'd'});
    SaveAs((Root() / "model.3ds").string());
    EXPECT_EQ(dialogs_.questions.size(), 2u);
    EXPECT_NE(Contents(Root() / "model.3ds"), "old");
}

TEST_F(SaveAsTest, AnythingAtTheAddedNameIsAskedAbout) {
    // A link that leads nowhere would be written through: asked about too.
    std::filesystem::create_symlink(Root() / "missing-target", Root() / "dangling.3ds");
    SaveAs((Root() / "dangling").string());
    EXPECT_EQ(dialogs_.questions.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(Root() / "missing-target"));
    // Upper-case endings are not ".3ds": "M.3DS" becomes "M.3DS.3ds", which is new.
    WriteFile(Root() / "M.3DS", {'o', 'l', 'd'});
    SaveAs((Root() / "M.3DS").string());
    EXPECT_EQ(dialogs_.questions.size(), 1u);
    EXPECT_EQ(Contents(Root() / "M.3DS"), "old");
    EXPECT_TRUE(std::filesystem::exists(Root() / "M.3DS.3ds"));
}

TEST_F(SaveAsTest, CancelWritesNothingAndSaysNothing) {
    const std::vector<std::string> before = FilesIn(Root());
    SaveAs(std::nullopt);
    EXPECT_EQ(FilesIn(Root()), before);
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(SaveAsTest, AFailureIsReportedAndLeavesTheTargetUntouched) {
    // A first mesh with more vertices than the format can count.
    MeshSpec mesh = Quad("big", "big");
    mesh.vertices.assign(32768, RsmVertex{1, 2, 3});
    RsmFile file;
    file.header().textures({"wall.bmp"}).firstMesh(mesh);
    WriteFile(Root() / "big.rsm", file.bytes);
    Open(Root() / "big.rsm");
    ASSERT_TRUE(dialogs_.messages.empty());

    const std::filesystem::path out = Root() / "out";
    std::filesystem::create_directory(out);
    WriteFile(out / "keep.3ds", {'o', 'l', 'd'});
    SaveAs((out / "keep.3ds").string());
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].title, "Plovant");
    EXPECT_NE(dialogs_.messages[0].text.find("keep.3ds"), std::string::npos);
    EXPECT_NE(dialogs_.messages[0].text.find("32767"), std::string::npos) << dialogs_.messages[0].text;
    EXPECT_EQ(Contents(out / "keep.3ds"), "old");
    EXPECT_EQ(FilesIn(out), std::vector<std::string>{"keep.3ds"});  // no temporary left

    // A folder that does not exist: reported, nothing created.
    dialogs_.messages.clear();
    SaveAs((Root() / "nowhere" / "m.3ds").string());
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(Root() / "nowhere"));
}

}  // namespace
}  // namespace plovant::testing

namespace plovant::testing {
namespace {

using SaveAsWithoutModelTest = GuiTest;

TEST_F(SaveAsWithoutModelTest, AnOpenOfANonModelNameLeavesNothingToSave) {
    WriteFile(Root() / "notes.txt", {'h', 'i'});
    Open(Root() / "notes.txt");  // enables Save As, reads nothing
    ASSERT_TRUE(Window().mnuSave()->isEnabled());
    dialogs_.Answer((Root() / "empty").string());
    Window().mnuSave()->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(Root() / "empty.3ds"));
    EXPECT_FALSE(std::filesystem::exists(Root() / "empty"));
}

}  // namespace
}  // namespace plovant::testing
