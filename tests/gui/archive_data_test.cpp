// The viewer with a GRF archive as its data location: the settings file's line or the
// Options dialog's data folder names a .grf, and textures come out of it.
#include <QBuffer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <fstream>

#include "archive/grf_builder.h"
#include "device/settings_dialog.h"
#include "gui_test_support.h"
#include "ui/picture_widget.h"

namespace plovant::testing {
namespace {

using ArchiveDataTest = GuiTest;

std::vector<uint8_t> RedPng() {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// An archive whose only texture, "Wall.png", is red; the data folder holds nothing.
std::filesystem::path WriteArchive(const std::filesystem::path& root) {
    const std::filesystem::path path = root / "Data.GRF";
    WriteFile(path, BuildGrf(0x200, {{.name = "data\\texture\\Wall.png",
                                      .content = RedPng(),
                                      .cipher = EntryCipher::kMixed}}));
    return path;
}

void ExpectRedQuadDrawn(MainWindow& w) {
    ASSERT_EQ(w.TextureSurfaces().size(), 2u);
    ASSERT_NE(w.TextureSurfaces()[0], nullptr);
    EXPECT_EQ(w.TextureSurfaces()[0]->GetPixelARGB(0, 0) & 0xFFFFFF, 0xFF0000u);
    const QImage picture = w.DrawingArea()->Picture();
    const QPoint middle = picture.rect().center();
    EXPECT_EQ(picture.pixel(middle) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(ArchiveDataTest, SettingsFileNamingAnArchiveGivesItsTextures) {
    const std::filesystem::path archive = WriteArchive(Root());
    std::ofstream(Root() / "dovekit.ini", std::ios::binary | std::ios::trunc)
        << archive.string() << "\r\n";
    WriteFile(Root() / "box.rsm", QuadModel({"WALL.PNG"}, 10.0f));
    MainWindow& w = Window();
    Open(Root() / "box.rsm");
    ASSERT_TRUE(dialogs_.messages.empty()) << dialogs_.messages[0].text;
    Frames(1);
    ExpectRedQuadDrawn(w);
}

TEST_F(ArchiveDataTest, OptionsDialogAcceptsAnArchiveAsTheDataFolder) {
    const std::filesystem::path archive = WriteArchive(Root());
    WriteFile(Root() / "box.rsm", QuadModel({"wall.png"}, 10.0f));
    MainWindow& w = Window();
    Open(Root() / "box.rsm");  // from the folder: not found, the stand-by bitmap
    ASSERT_TRUE(dialogs_.messages.empty()) << dialogs_.messages[0].text;
    EXPECT_NE(w.TextureSurfaces()[0]->GetPixelARGB(0, 0) & 0xFFFFFF, 0xFF0000u);

    w.mnuOptions()->trigger();
    SettingsDialog* d = w.ExistingSettingsDialog();
    ASSERT_NE(d, nullptr);
    d->txtRagnaPath()->setText(QString::fromStdString(archive.string()));
    QTest::mouseClick(d->cmdOK(), Qt::LeftButton);
    EXPECT_EQ(w.CurrentSettings().DataPath, archive.string());

    Open(Root() / "box.rsm");
    ASSERT_TRUE(dialogs_.messages.empty()) << dialogs_.messages[0].text;
    Frames(1);
    ExpectRedQuadDrawn(w);
}

TEST_F(ArchiveDataTest, BrokenArchiveFailsTheOpenWithAMessageNamingIt) {
    WriteFile(Root() / "bad.grf", {'M', 'a', 's', 't', 'e', 'r'});
    std::ofstream(Root() / "dovekit.ini", std::ios::binary | std::ios::trunc)
        << (Root() / "bad.grf").string() << "\r\n";
    WriteFile(Root() / "box.rsm", QuadModel({"wall.png"}, 10.0f));
    MainWindow& w = Window();
    Open(Root() / "box.rsm");
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_NE(dialogs_.messages[0].text.find("bad.grf"), std::string::npos)
        << dialogs_.messages[0].text;
    EXPECT_FALSE(w.FrameLoopActive());
}

}  // namespace
}  // namespace plovant::testing
