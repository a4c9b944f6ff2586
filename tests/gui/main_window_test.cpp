// The main window driven through its real menu, mouse and keys, with the file dialogs
// and message boxes answered through the dialog seam.
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

#include "device/settings_dialog.h"
#include "gui_test_support.h"
#include "ui/info_window.h"
#include "ui/picture_widget.h"
#include "ui/textures_window.h"

namespace plovant::testing {
namespace {

using MainWindowTest = GuiTest;

void DeleteClosedWindows() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

struct MenuItem {
    QString caption;
    bool enabled;
    bool separator;
    bool submenu;
};

std::vector<MenuItem> Items(const QList<QAction*>& actions) {
    std::vector<MenuItem> items;
    for (QAction* a : actions) items.push_back({a->text(), a->isEnabled(), a->isSeparator(), a->menu() != nullptr});
    return items;
}

TEST_F(MainWindowTest, StartsWithTheMenuCaptionAndSizeOfTheDesign) {
    MainWindow& w = Window();
    EXPECT_EQ(w.windowTitle(), "Plovant");
    EXPECT_FALSE(w.windowIcon().isNull());

    const std::vector<MenuItem> bar = Items(w.menuBar()->actions());
    ASSERT_EQ(bar.size(), 3u);
    EXPECT_EQ(bar[0].caption, "&File");
    EXPECT_TRUE(bar[0].submenu);
    EXPECT_EQ(bar[1].caption, "&Options");
    EXPECT_FALSE(bar[1].submenu);
    EXPECT_TRUE(bar[1].enabled);
    EXPECT_EQ(bar[2].caption, QString::fromUtf8("&Rotate 15\u00B0"));
    EXPECT_FALSE(bar[2].submenu);
    EXPECT_TRUE(bar[2].enabled);

    const std::vector<MenuItem> file = Items(w.menuBar()->actions()[0]->menu()->actions());
    ASSERT_EQ(file.size(), 6u);
    const char* captions[] = {"&Open", "&Info", "&Textures", "Save &As", "", "E&xit"};
    const bool enabled[] = {true, false, false, false, true, true};
    for (size_t i = 0; i < file.size(); ++i) {
        EXPECT_EQ(file[i].caption, captions[i]) << i;
        EXPECT_EQ(file[i].enabled, enabled[i]) << i;
        EXPECT_EQ(file[i].separator, i == 4) << i;
    }

    // A drawing area of 6405 × 5835 twips right below the menu bar, in a window that
    // cannot be resized.
    EXPECT_EQ(w.DrawingArea()->size(), QSize(427, 389));
    EXPECT_EQ(w.DrawingArea()->y(), w.menuBar()->height());
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.size(), QSize(427, 389 + w.menuBar()->height()));

    // Start-up: tilt 120, the dialog starts in the data folder with the RSM pattern, the
    // switches at their defaults, the back buffer the size of the window, nothing drawn.
    EXPECT_EQ(w.Camera().ModelTilt, 120.0f);
    EXPECT_EQ(w.DialogFileName(), Data().string() + "\\*.rsm");
    EXPECT_TRUE(w.CurrentSettings().Textured && w.CurrentSettings().Smooth &&
                w.CurrentSettings().Lighting && w.CurrentSettings().ClearDepth);
    EXPECT_FALSE(w.CurrentSettings().Wireframe || w.CurrentSettings().Antialiased);
    EXPECT_EQ(w.Device().BackBuffer->Width(), w.width());
    EXPECT_EQ(w.Device().BackBuffer->Height(), w.height());
    EXPECT_FALSE(w.FrameLoopActive());
    EXPECT_EQ(w.DrawingArea()->PresentCount(), 0);
    EXPECT_EQ(w.ExistingInfoWindow(), nullptr);
    EXPECT_EQ(w.ExistingTexturesWindow(), nullptr);
}

TEST_F(MainWindowTest, OpenLoadsTheModelAndStartsTheLoop) {
    WriteBitmap(Texture("wall.bmp"), Qt::red);
    WriteFile(Root() / "models" / "box.RSM", QuadModel({"wall.bmp"}, 10.0f));
    MainWindow& w = Window();
    Open(Root() / "models" / "box.RSM");

    ASSERT_TRUE(dialogs_.messages.empty()) << dialogs_.messages[0].text;
    ASSERT_EQ(dialogs_.requests.size(), 1u);
    EXPECT_FALSE(dialogs_.requests[0].save);
    EXPECT_TRUE(dialogs_.requests[0].filter.starts_with("Ragnarok Model files (*.rsm)|*.rsm|"))
        << dialogs_.requests[0].filter;
    EXPECT_EQ(dialogs_.requests[0].file_name, Data().string() + "\\*.rsm");

    // Upper-case RSM is read.
    EXPECT_EQ(w.Model().MeshCount, 1);
    EXPECT_EQ(w.ModelExtent(), 10.0f);
    EXPECT_EQ(w.windowTitle(), "Plovant - [box.RSM]");
    EXPECT_TRUE(w.mnuFileInfo()->isEnabled());
    EXPECT_TRUE(w.mnuFileTex()->isEnabled());
    EXPECT_TRUE(w.mnuSave()->isEnabled());
    EXPECT_EQ(w.DialogFileName(), (Root() / "models" / "box.RSM").string());

    // Camera in front of the model at 1.5 extents, looking along +Z.
    EXPECT_EQ(w.Camera().CameraPos.z, -15.0f);
    EXPECT_EQ(w.Camera().CameraYaw, 0.0);

    // One texture per name plus the empty last element.
    ASSERT_EQ(w.TextureSurfaces().size(), 2u);
    ASSERT_NE(w.TextureSurfaces()[0], nullptr);
    EXPECT_EQ(w.TextureSurfaces()[0]->GetPixelARGB(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(w.TextureSurfaces()[1], nullptr);

    // The textures window is shown, the information window exists but is hidden.
    ASSERT_NE(w.ExistingTexturesWindow(), nullptr);
    EXPECT_TRUE(w.ExistingTexturesWindow()->isVisible());
    ASSERT_NE(w.ExistingInfoWindow(), nullptr);
    EXPECT_FALSE(w.ExistingInfoWindow()->isVisible());

    EXPECT_TRUE(w.FrameLoopActive());
    EXPECT_EQ(w.ModelSpin(), 0.0f);
    Frames(3);
    EXPECT_FLOAT_EQ(w.ModelSpin(), 0.06f);
    EXPECT_EQ(w.DrawingArea()->PresentCount(), 3);
    // Blue background around a red quad in the middle.
    const QImage picture = w.DrawingArea()->Picture();
    EXPECT_EQ(picture.pixel(2, 2) & 0xFFFFFF, 0x0000FFu);
    EXPECT_LT(BlueShare(picture, picture.rect()), 0.95);
    EXPECT_GT(BlueShare(picture, picture.rect()), 0.3);
}

TEST_F(MainWindowTest, TheTimerDrawsFramesOnItsOwn) {
    WriteFile(Root() / "a.rsm", QuadModel({}));
    MainWindow& w = Window();
    Open(Root() / "a.rsm");
    QTRY_VERIFY_WITH_TIMEOUT(w.DrawingArea()->PresentCount() >= 5, 5000);
    EXPECT_GT(w.ModelSpin(), 0.0f);
}

TEST_F(MainWindowTest, RotateBeforeTheFirstOpenTiltsTheFirstFrame) {
    WriteFile(Root() / "a.rsm", QuadModel({}));
    MainWindow& w = Window();
    w.mnuRot()->trigger();
    EXPECT_EQ(w.Camera().ModelTilt, 135.0f);
    EXPECT_FALSE(w.FrameLoopActive());
    Open(Root() / "a.rsm");
    EXPECT_EQ(w.Camera().ModelTilt, 135.0f);  // opening does not reset the tilt
    Frames(1);
    D3DMATRIX world;
    w.Device().D3DDevice->GetTransform(dx7::D3DTRANSFORMSTATE_WORLD, world);
    // Spin 0.02 / 10 about Z, then 135 degrees about X: _33 = cos 135°.
    EXPECT_NEAR(world._33, -0.70710677f, 1e-5f);
    EXPECT_NEAR(world._23, 0.70710677f, 1e-5f);
    for (int i = 0; i < 3; ++i) w.mnuRot()->trigger();
    EXPECT_EQ(w.Camera().ModelTilt, 180.0f);
}

TEST_F(MainWindowTest, CancelKeepsEverythingAndSaysNothing) {
    WriteBitmap(Texture("wall.bmp"), Qt::green);
    WriteFile(Root() / "a.rsm", QuadModel({"wall.bmp"}, 4.0f));
    MainWindow& w = Window();
    dialogs_.Answer(std::nullopt);
    w.mnuOpen()->trigger();
    EXPECT_EQ(w.windowTitle(), "Plovant");
    EXPECT_FALSE(w.mnuSave()->isEnabled());
    EXPECT_FALSE(w.FrameLoopActive());

    Open(Root() / "a.rsm");
    Frames(2);
    const dx7::SurfacePtr texture = w.TextureSurfaces()[0];
    const D3DVECTOR camera = w.Camera().CameraPos;
    dialogs_.Answer(std::nullopt);
    w.mnuOpen()->trigger();
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(w.windowTitle(), "Plovant - [a.rsm]");
    EXPECT_EQ(w.TextureSurfaces()[0], texture);
    EXPECT_EQ(w.Camera().CameraPos.z, camera.z);
    EXPECT_FLOAT_EQ(w.ModelSpin(), 0.04f);
    EXPECT_EQ(w.LoopStarts(), 1);
}

TEST_F(MainWindowTest, AFailedOpenReportsAndKeepsEverything) {
    WriteBitmap(Texture("wall.bmp"), Qt::green);
    WriteFile(Root() / "good.rsm", QuadModel({"wall.bmp"}, 4.0f));
    std::vector<uint8_t> truncated = QuadModel({"wall.bmp"});
    truncated.resize(truncated.size() / 2);
    WriteFile(Root() / "broken.rsm", truncated);
    WriteFile(Root() / "badtex.rsm", QuadModel({"notabitmap.bmp"}));
    WriteFile(Texture("notabitmap.bmp"), {'B', 'M', 1, 2, 3});

    MainWindow& w = Window();
    // Before any model: a failure leaves the window as it started.
    Open(Root() / "broken.rsm");
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].title, "Plovant");
    EXPECT_EQ(dialogs_.messages[0].icon, MessageIcon::Critical);
    EXPECT_NE(dialogs_.messages[0].text.find("broken.rsm"), std::string::npos);
    EXPECT_FALSE(w.mnuSave()->isEnabled());
    EXPECT_EQ(w.windowTitle(), "Plovant");
    EXPECT_FALSE(w.FrameLoopActive());
    EXPECT_EQ(w.ExistingTexturesWindow(), nullptr);

    Open(Root() / "good.rsm");
    w.CurrentSettings();
    Frames(5);
    const auto& surfaces = w.TextureSurfaces();
    const dx7::SurfacePtr texture = surfaces[0];
    const CameraState camera = w.Camera();
    const std::string file_name = w.DialogFileName();
    const std::string info = w.ExistingInfoWindow()->Text();

    for (const char* bad : {"broken.rsm", "missing.rsm", "badtex.rsm"}) {
        dialogs_.messages.clear();
        Open(Root() / bad);
        ASSERT_EQ(dialogs_.messages.size(), 1u) << bad;
        EXPECT_NE(dialogs_.messages[0].text.find(bad), std::string::npos) << dialogs_.messages[0].text;
        EXPECT_EQ(w.windowTitle(), "Plovant - [good.rsm]");
        EXPECT_EQ(w.Model().MeshCount, 1);
        EXPECT_EQ(w.ModelExtent(), 4.0f);
        ASSERT_EQ(w.TextureSurfaces().size(), 2u);
        EXPECT_EQ(w.TextureSurfaces()[0], texture);
        EXPECT_EQ(w.Camera().CameraPos.z, camera.CameraPos.z);
        EXPECT_EQ(w.DialogFileName(), file_name);
        EXPECT_EQ(w.ExistingInfoWindow()->Text(), info);
        EXPECT_EQ(w.LoopStarts(), 1);
        EXPECT_FLOAT_EQ(w.ModelSpin(), 0.1f);
        EXPECT_TRUE(w.FrameLoopActive());
    }
    // The texture message names the bitmap that could not be read.
    EXPECT_NE(dialogs_.messages[0].text.find("notabitmap.bmp"), std::string::npos);
    Frames(1);
    EXPECT_FLOAT_EQ(w.ModelSpin(), 0.12f);
}

TEST_F(MainWindowTest, AMissingStandByBitmapFailsTheOpenAndKeepsTheModel) {
    WriteBitmap(Texture("wall.bmp"), Qt::green);
    WriteFile(Root() / "good.rsm", QuadModel({"wall.bmp"}));
    WriteFile(Root() / "gaps.rsm", QuadModel({"wall.bmp", "absent.bmp"}, 3.0f));
    standby_folder_ = (Root() / "no-standby").string();  // holds no "blank.bmp"
    MainWindow& w = Window();
    Open(Root() / "good.rsm");
    ASSERT_TRUE(dialogs_.messages.empty());
    const dx7::SurfacePtr texture = w.TextureSurfaces()[0];

    Open(Root() / "gaps.rsm");
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_NE(dialogs_.messages[0].text.find("blank.bmp"), std::string::npos) << dialogs_.messages[0].text;
    EXPECT_EQ(w.windowTitle(), "Plovant - [good.rsm]");
    EXPECT_EQ(w.ModelExtent(), 1.0f);
    ASSERT_EQ(w.TextureSurfaces().size(), 2u);
    EXPECT_EQ(w.TextureSurfaces()[0], texture);
    EXPECT_EQ(w.ExistingTexturesWindow()->cboTex()->count(), 1);
}

TEST_F(MainWindowTest, ANameNotEndingInRsmReloadsTheOldModel) {
    WriteBitmap(Texture("wall.bmp"), Qt::green);
    WriteFile(Root() / "a.rsm", QuadModel({"wall.bmp"}, 4.0f));
    WriteFile(Root() / "notes.txt", {'h', 'i'});
    MainWindow& w = Window();
    Open(Root() / "a.rsm");
    Frames(3);
    w.mnuRot()->trigger();
    const dx7::SurfacePtr old_texture = w.TextureSurfaces()[0];
    QTest::mousePress(w.DrawingArea(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 100));
    QTest::mouseMove(w.DrawingArea(), QPoint(10, 0));
    QTest::mouseRelease(w.DrawingArea(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 0));
    ASSERT_NE(w.Camera().CameraPos.z, -6.0f);

    Open(Root() / "notes.txt");
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(w.windowTitle(), "Plovant - [notes.txt]");
    EXPECT_EQ(w.Model().MeshCount, 1);
    EXPECT_EQ(w.Camera().CameraPos.z, -6.0f);  // reset with the old extent
    EXPECT_EQ(w.Camera().ModelTilt, 135.0f);
    EXPECT_NE(w.TextureSurfaces()[0], old_texture);  // textures loaded again
    EXPECT_EQ(w.LoopStarts(), 2);
    EXPECT_EQ(w.ModelSpin(), 0.0f);
    EXPECT_NE(w.ExistingInfoWindow()->Text().find("notes.txt"), std::string::npos);
}

TEST_F(MainWindowTest, ASecondOpenReleasesAndReloadsTexturesAndRestartsTheSpin) {
    WriteBitmap(Texture("one.bmp"), Qt::red);
    WriteBitmap(Texture("two.bmp"), Qt::green);
    WriteFile(Root() / "first.rsm", QuadModel({"one.bmp", "one.bmp"}));
    WriteFile(Root() / "second.rsm", QuadModel({"two.bmp"}, 2.0f));
    MainWindow& w = Window();
    Open(Root() / "first.rsm");
    // A name that stands twice is loaded twice, into two surfaces.
    ASSERT_EQ(w.TextureSurfaces().size(), 3u);
    EXPECT_NE(w.TextureSurfaces()[0], w.TextureSurfaces()[1]);
    std::weak_ptr<dx7::DirectDrawSurface7> old0 = w.TextureSurfaces()[0];
    std::weak_ptr<dx7::DirectDrawSurface7> old1 = w.TextureSurfaces()[1];
    Frames(10);
    EXPECT_FLOAT_EQ(w.ModelSpin(), 0.2f);

    Open(Root() / "second.rsm");
    // The window holds none of the old surfaces any more; the device lets go of the one
    // still bound once the next frame binds the new model's texture.
    EXPECT_TRUE(old0.expired());
    ASSERT_EQ(w.TextureSurfaces().size(), 2u);
    EXPECT_EQ(w.TextureSurfaces()[0]->GetPixelARGB(0, 0) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(w.ModelSpin(), 0.0f);
    EXPECT_EQ(w.LoopStarts(), 2);
    Frames(1);
    EXPECT_TRUE(old1.expired());
    EXPECT_FLOAT_EQ(w.ModelSpin(), 0.02f);
    EXPECT_EQ(w.windowTitle(), "Plovant - [second.rsm]");
    ASSERT_EQ(w.ExistingTexturesWindow()->cboTex()->count(), 1);
}

TEST_F(MainWindowTest, AnEmptyTextureTableOpensNormally) {
    WriteFile(Root() / "bare.rsm", QuadModel({}));
    MainWindow& w = Window();
    Open(Root() / "bare.rsm");
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(w.windowTitle(), "Plovant - [bare.rsm]");
    ASSERT_EQ(w.TextureSurfaces().size(), 1u);
    TexturesWindow* tex = w.ExistingTexturesWindow();
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(tex->cboTex()->count(), 0);
    EXPECT_EQ(tex->cboTex()->currentIndex(), -1);
    Frames(2);
    EXPECT_EQ(w.DrawingArea()->PresentCount(), 2);
    // No faces drawn: every frame is still cleared to blue and presented.
    EXPECT_GT(BlueShare(w.DrawingArea()->Picture(), w.DrawingArea()->rect()), 0.999);
}

TEST_F(MainWindowTest, DragsMoveAndTurnTheCameraInTwips) {
    WriteFile(Root() / "a.rsm", QuadModel({}, 10.0f));
    MainWindow& w = Window();
    Open(Root() / "a.rsm");
    QWidget* area = w.DrawingArea();
    using Ev = QTest::MouseAction;

    // Plain left drag 100 pixels (1500 twips) upwards: 15 units towards +Z.
    QTest::mouseEvent(Ev::MousePress, area, Qt::LeftButton, Qt::NoModifier, QPoint(200, 300));
    QTest::mouseEvent(Ev::MouseMove, area, Qt::NoButton, Qt::NoModifier, QPoint(200, 200));
    EXPECT_FLOAT_EQ(w.Camera().CameraPos.z, 0.0f);
    QTest::mouseEvent(Ev::MouseRelease, area, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));

    // Ctrl drag 2 pixels (30 twips) left and up: yaw -1°, pitch +1°; back to the start
    // gives the press values exactly.
    QTest::mouseEvent(Ev::MousePress, area, Qt::LeftButton, Qt::ControlModifier, QPoint(100, 100));
    QTest::mouseEvent(Ev::MouseMove, area, Qt::NoButton, Qt::ControlModifier, QPoint(98, 98));
    EXPECT_DOUBLE_EQ(w.Camera().CameraYaw, -1.0);
    EXPECT_DOUBLE_EQ(w.Camera().CameraPitch, 1.0);
    QTest::mouseEvent(Ev::MouseMove, area, Qt::NoButton, Qt::ControlModifier, QPoint(100, 100));
    EXPECT_EQ(w.Camera().CameraYaw, 0.0);
    EXPECT_EQ(w.Camera().CameraPitch, 0.0);
    QTest::mouseEvent(Ev::MouseRelease, area, Qt::LeftButton, Qt::ControlModifier, QPoint(100, 100));

    // Shift drag 20 pixels left and 10 up (300 and 150 twips): x +3, y +1.5.
    QTest::mouseEvent(Ev::MousePress, area, Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 100));
    QTest::mouseEvent(Ev::MouseMove, area, Qt::NoButton, Qt::ShiftModifier, QPoint(80, 90));
    EXPECT_FLOAT_EQ(w.Camera().CameraPos.x, 3.0f);
    EXPECT_FLOAT_EQ(w.Camera().CameraPos.y, 1.5f);
    EXPECT_FLOAT_EQ(w.Camera().CameraPos.z, 0.0f);
    QTest::mouseEvent(Ev::MouseRelease, area, Qt::LeftButton, Qt::ShiftModifier, QPoint(80, 90));

    // The right button, and Shift with Ctrl, change nothing.
    const CameraState before = w.Camera();
    QTest::mouseEvent(Ev::MousePress, area, Qt::RightButton, Qt::NoModifier, QPoint(50, 50));
    QTest::mouseEvent(Ev::MouseMove, area, Qt::NoButton, Qt::NoModifier, QPoint(10, 10));
    QTest::mouseEvent(Ev::MouseRelease, area, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
    QTest::mouseEvent(Ev::MousePress, area, Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(50, 50));
    QTest::mouseEvent(Ev::MouseMove, area, Qt::NoButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(10, 10));
    EXPECT_EQ(w.Camera().CameraPos.x, before.CameraPos.x);
    EXPECT_EQ(w.Camera().CameraPos.y, before.CameraPos.y);
    EXPECT_EQ(w.Camera().CameraPos.z, before.CameraPos.z);
    EXPECT_EQ(w.Camera().CameraYaw, before.CameraYaw);
    EXPECT_EQ(w.Camera().CameraPitch, before.CameraPitch);
    // The press itself recorded its position in twips.
    EXPECT_EQ(w.Camera().DragStart.x, 750.0f);
    EXPECT_EQ(w.Camera().DragStart.y, 750.0f);
}

TEST_F(MainWindowTest, EscapeClosesTheWindowAndItsSecondaryWindows) {
    WriteFile(Root() / "a.rsm", QuadModel({}));
    MainWindow& w = Window();
    Open(Root() / "a.rsm");
    w.mnuFileInfo()->trigger();
    w.mnuOptions()->trigger();
    QPointer<QWidget> info = w.ExistingInfoWindow();
    QPointer<QWidget> tex = w.ExistingTexturesWindow();
    QPointer<QWidget> settings = w.ExistingSettingsDialog();
    ASSERT_TRUE(info && tex && settings);
    ASSERT_TRUE(info->isVisible() && tex->isVisible() && settings->isVisible());

    QTest::keyClick(w.DrawingArea(), Qt::Key_A);
    EXPECT_TRUE(w.isVisible());
    QTest::keyClick(w.DrawingArea(), Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.FrameLoopActive());
    EXPECT_EQ(w.Device().DDraw, nullptr);  // the device was shut down
    EXPECT_EQ(w.Device().D3DDevice, nullptr);
    DeleteClosedWindows();
    EXPECT_TRUE(info.isNull());
    EXPECT_TRUE(tex.isNull());
    ASSERT_FALSE(settings.isNull());  // the settings dialog only hides
    EXPECT_FALSE(settings->isVisible());
    Frames(1);  // a frame after closing draws nothing and does not fail
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(MainWindowTest, ExitAndTheCloseBoxCloseLikeEscape) {
    MainWindow& w = Window();
    w.mnuFileTex()->setEnabled(true);
    w.mnuFileTex()->trigger();
    QPointer<QWidget> tex = w.ExistingTexturesWindow();
    ASSERT_TRUE(tex);
    w.mnuExit()->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.Device().DDraw, nullptr);
    DeleteClosedWindows();
    EXPECT_TRUE(tex.isNull());

    window_.reset();
    MainWindow& again = Window();
    again.close();
    EXPECT_EQ(again.Device().DDraw, nullptr);
}

TEST_F(MainWindowTest, AFrameFailureIsReportedAndEndsTheProgram) {
    WriteFile(Root() / "a.rsm", QuadModel({}));
    MainWindow& w = Window();
    Open(Root() / "a.rsm");
    Frames(1);
    // A scene left open makes the next frame's BeginScene fail.
    w.Device().D3DDevice->BeginScene();
    Frames(1);
    ASSERT_EQ(dialogs_.messages.size(), 2u);
    EXPECT_EQ(dialogs_.messages[0].title, "Error Rendering...");
    EXPECT_EQ(dialogs_.messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(dialogs_.messages[0].text.rfind("Unknown Error", 0), std::string::npos);
    EXPECT_EQ(dialogs_.messages[1].title, "Plovant");
    EXPECT_FALSE(dialogs_.messages[1].text.empty());
    EXPECT_EQ(end_program_code_, 1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.FrameLoopActive());
}

TEST_F(MainWindowTest, AnOpenDuringTheEventPassReplacesTheLoopWithoutPresenting) {
    WriteFile(Root() / "a.rsm", QuadModel({}));
    WriteFile(Root() / "b.rsm", QuadModel({}, 3.0f));
    MainWindow& w = Window();
    Open(Root() / "a.rsm");
    Frames(2);
    const int presented = w.DrawingArea()->PresentCount();
    // The open is queued, so it runs in the event pass of the next frame.
    dialogs_.Answer((Root() / "b.rsm").string());
    QMetaObject::invokeMethod(&w, &MainWindow::mnuOpen_Click, Qt::QueuedConnection);
    Frames(1);
    EXPECT_EQ(w.windowTitle(), "Plovant - [b.rsm]");
    EXPECT_EQ(w.DrawingArea()->PresentCount(), presented);  // the interrupted frame is not shown
    EXPECT_EQ(w.ModelSpin(), 0.0f);
    Frames(1);
    EXPECT_EQ(w.DrawingArea()->PresentCount(), presented + 1);
    EXPECT_FLOAT_EQ(w.ModelSpin(), 0.02f);
}

}  // namespace
}  // namespace plovant::testing
