// The information and textures windows, reached through the main window's menu.
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTest>

#include "gui_test_support.h"
#include "ui/info_window.h"
#include "ui/picture_widget.h"
#include "ui/textures_window.h"

namespace plovant::testing {
namespace {

using InspectionWindowsTest = GuiTest;

void DeleteClosedWindows() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// The share of the picture's pixels that have exactly `rgb`.
double Share(const QImage& picture, QRgb rgb) {
    int n = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) n += (picture.pixel(x, y) & 0xFFFFFF) == rgb;
    return static_cast<double>(n) / (picture.width() * picture.height());
}

TEST_F(InspectionWindowsTest, InformationShowsTheSummaryOfTheLastOpen) {
    WriteFile(Root() / "one.rsm", QuadModel({"wall.bmp"}));
    WriteFile(Root() / "two.rsm", QuadModel({"a.bmp", "b.bmp"}));
    MainWindow& w = Window();
    Open(Root() / "one.rsm");
    InfoWindow* info = w.ExistingInfoWindow();
    ASSERT_NE(info, nullptr);
    EXPECT_FALSE(info->isVisible());  // built by the open, shown only by the menu
    w.mnuFileInfo()->trigger();
    EXPECT_TRUE(info->isVisible());
    EXPECT_EQ(info->windowTitle(), "Information");
    EXPECT_TRUE(info->windowFlags() & Qt::Tool);
    EXPECT_EQ(info->size(), QSize(254, 146));
    EXPECT_EQ(info->minimumSize(), info->maximumSize());
    EXPECT_EQ(info->parentWidget(), &w);
    EXPECT_EQ(info->txtInfo()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(info->x(), w.frameGeometry().right() + 1 + 7);

    const std::string path = (Root() / "one.rsm").string();
    EXPECT_EQ(info->Text().rfind("Filepath: \r\n" + path + "\r\n\r\nMeshes: 1\r\nTextures: 1\r\nMesh #1\r\n", 0), 0u)
        << info->Text();
    EXPECT_TRUE(info->Text().ends_with("Textures loaded:\r\nTexture 1: wall.bmp\r\n"));
    EXPECT_EQ(info->txtInfo()->toPlainText().toStdString().find('\r'), std::string::npos);
    EXPECT_NE(info->txtInfo()->toPlainText().indexOf("Texture 1: wall.bmp"), -1);

    // The next open replaces the whole text, in the same window.
    Open(Root() / "two.rsm");
    EXPECT_EQ(w.ExistingInfoWindow(), info);
    EXPECT_EQ(info->Text().find("one.rsm"), std::string::npos);
    EXPECT_TRUE(info->Text().ends_with("Texture 1: a.bmp\r\nTexture 2: b.bmp\r\n"));

    info->AppendLine("extra");
    EXPECT_TRUE(info->Text().ends_with("b.bmp\r\nextra\r\n"));
}

TEST_F(InspectionWindowsTest, InformationClosedAndShownAgainIsRebuiltWithTheDialogsName) {
    WriteFile(Root() / "m.rsm", QuadModel({}));
    MainWindow& w = Window();
    Open(Root() / "m.rsm");
    w.mnuFileInfo()->trigger();
    QPointer<InfoWindow> info = w.ExistingInfoWindow();
    info->close();
    DeleteClosedWindows();
    EXPECT_TRUE(info.isNull());
    EXPECT_EQ(w.ExistingInfoWindow(), nullptr);

    // Save As changes the shared file name; the window made again shows it.
    dialogs_.Answer((Root() / "out.3ds").string());
    w.mnuSave()->trigger();
    w.mnuFileInfo()->trigger();
    ASSERT_NE(w.ExistingInfoWindow(), nullptr);
    EXPECT_TRUE(w.ExistingInfoWindow()->isVisible());
    EXPECT_EQ(w.ExistingInfoWindow()->Text().rfind("Filepath: \r\n" + (Root() / "out.3ds").string() + "\r\n", 0), 0u);
}

TEST_F(InspectionWindowsTest, TexturesListsTheNamesAndShowsTheSelectedTextureStretched) {
    WriteBitmap(Texture("red.bmp"), Qt::red, 4);
    WriteBitmap(Texture("green.bmp"), Qt::green, 64);
    // "gone.bmp" is missing: the stand-by bitmap shows under its name.
    WriteFile(Root() / "m.rsm", QuadModel({"red.bmp", "green.bmp", "gone.bmp", "red.bmp"}));
    MainWindow& w = Window();
    Open(Root() / "m.rsm");
    TexturesWindow* tex = w.ExistingTexturesWindow();
    ASSERT_NE(tex, nullptr);
    EXPECT_TRUE(tex->isVisible());
    EXPECT_EQ(tex->windowTitle(), "Textures");
    EXPECT_TRUE(tex->windowFlags() & Qt::Tool);
    EXPECT_EQ(tex->size(), QSize(256, 280));
    EXPECT_EQ(tex->cboTex()->geometry(), QRect(0, 0, 257, 21));
    EXPECT_EQ(tex->Picture1()->geometry(), QRect(0, 24, 256, 256));
    EXPECT_EQ(tex->x(), w.frameGeometry().right() + 1 + 7);
    EXPECT_EQ(tex->y(), w.frameGeometry().y());

    ASSERT_EQ(tex->cboTex()->count(), 4);
    EXPECT_EQ(tex->cboTex()->itemText(0), "red.bmp");
    EXPECT_EQ(tex->cboTex()->itemText(1), "green.bmp");
    EXPECT_EQ(tex->cboTex()->itemText(2), "gone.bmp");
    EXPECT_EQ(tex->cboTex()->itemText(3), "red.bmp");
    EXPECT_EQ(tex->cboTex()->currentIndex(), 0);
    // A 4 × 4 texture fills the whole 256 × 256 picture.
    EXPECT_EQ(tex->Picture1()->Picture().size(), QSize(256, 256));
    EXPECT_DOUBLE_EQ(Share(tex->Picture1()->Picture(), 0xFF0000), 1.0);

    tex->cboTex()->setCurrentIndex(1);
    EXPECT_DOUBLE_EQ(Share(tex->Picture1()->Picture(), 0x00FF00), 1.0);

    tex->cboTex()->setCurrentIndex(2);
    const QImage blank = w.TextureSurfaces()[2]->ToImage().scaled(256, 256);
    EXPECT_EQ(Share(tex->Picture1()->Picture(), 0x00FF00), 0.0);
    EXPECT_EQ(tex->Picture1()->Picture().pixel(128, 128), blank.pixel(128, 128));
}

TEST_F(InspectionWindowsTest, TexturesClosedAndShownAgainStartsEmpty) {
    WriteBitmap(Texture("red.bmp"), Qt::red);
    WriteFile(Root() / "m.rsm", QuadModel({"red.bmp"}));
    MainWindow& w = Window();
    Open(Root() / "m.rsm");
    QPointer<TexturesWindow> tex = w.ExistingTexturesWindow();
    tex->close();
    DeleteClosedWindows();
    EXPECT_TRUE(tex.isNull());
    Frames(2);  // the loop goes on without the window

    w.mnuFileTex()->trigger();
    TexturesWindow* again = w.ExistingTexturesWindow();
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->isVisible());
    EXPECT_EQ(again->cboTex()->count(), 0);
    again->Picture1()->repaint();
    EXPECT_EQ(Share(again->Picture1()->Picture(), 0xFF0000), 0.0);

    // The next open fills it.
    Open(Root() / "m.rsm");
    EXPECT_EQ(w.ExistingTexturesWindow(), again);
    EXPECT_EQ(again->cboTex()->count(), 1);
    EXPECT_DOUBLE_EQ(Share(again->Picture1()->Picture(), 0xFF0000), 1.0);
}

}  // namespace
}  // namespace plovant::testing
