// File, Open of files that are not models the viewer reads: the message says so first.
#include "gui_test_support.h"

namespace plovant::testing {
namespace {

using OpenMessageTest = GuiTest;

TEST_F(OpenMessageTest, ABitmapNamedAsAModelIsCalledABitmapAndTheModelStays) {
    WriteFile(Root() / "quad.rsm", QuadModel({"wall.bmp"}));
    Open(Root() / "quad.rsm");
    ASSERT_TRUE(dialogs_.messages.empty());

    WriteBitmap(Root() / "picture.rsm", Qt::red);
    Open(Root() / "picture.rsm");
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    const std::string& text = dialogs_.messages[0].text;
    const std::string expected_start = "Cannot open " + (Root() / "picture.rsm").string() + ":\n" +
                                       (Root() / "picture.rsm").string() +
                                       ": not an RSM model: it starts with 'BM";
    EXPECT_EQ(text.rfind(expected_start, 0), 0u) << text;
    EXPECT_NE(text.find("(a Windows bitmap)"), std::string::npos) << text;
    EXPECT_EQ(Window().windowTitle(), "Plovant - [quad.rsm]");
}

TEST_F(OpenMessageTest, AnEmptyFileIsCalledEmpty) {
    WriteFile(Root() / "empty.rsm", {});
    Open(Root() / "empty.rsm");
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_NE(dialogs_.messages[0].text.find("empty.rsm: not an RSM model: the file is empty"),
              std::string::npos)
        << dialogs_.messages[0].text;
}

}  // namespace
}  // namespace plovant::testing
