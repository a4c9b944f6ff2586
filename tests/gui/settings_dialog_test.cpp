// The settings dialog, shown through Options on a real main window.
#include <fstream>
#include <sstream>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>

#include "device/settings_dialog.h"
#include "gui_test_support.h"

namespace plovant::testing {
namespace {

class SettingsDialogTest : public GuiTest {
protected:
    SettingsDialog& Show() {
        Window().mnuOptions()->trigger();
        SettingsDialog* dialog = Window().ExistingSettingsDialog();
        EXPECT_NE(dialog, nullptr);
        return *dialog;
    }
    std::string IniContents() {
        std::ifstream in(Root() / "dovekit.ini", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(SettingsDialogTest, HasEveryControlWhereTheDesignPutsIt) {
    SettingsDialog& d = Show();
    EXPECT_EQ(d.windowTitle(), "Settings");
    // Captions wider than drawn widen the dialog; its height never changes.
    EXPECT_GE(d.width(), 407);
    EXPECT_EQ(d.height(), 219);
    EXPECT_EQ(d.minimumSize(), d.maximumSize());
    EXPECT_FALSE(d.isModal());
    EXPECT_EQ(d.parentWidget(), &Window());

    struct Expected {
        QWidget* widget;
        QString caption;
        QRect twips;  // left, top, width, height
        QWidget* container;
        bool enabled;
    };
    const Expected controls[] = {
        {d.Label1(), "Device", {240, 120, 2775, 255}, &d, true},
        {d.cboDevice(), "", {240, 360, 2775, 315}, &d, true},
        {d.Check1(), "Fullscreen", {3120, 120, 2775, 255}, &d, false},
        {d.cboDispMode(), "", {3120, 360, 2775, 315}, &d, true},
        {d.Frame2(), "Texture Settings", {240, 840, 2775, 1095}, &d, true},
        {d.chkTextured(), "Textured", {240, 360, 1095, 255}, d.Frame2(), false},
        {d.chkSmooth(), "Smooth", {1440, 360, 1095, 255}, d.Frame2(), true},
        {d.chkLighting(), "Lighting", {240, 600, 1455, 255}, d.Frame2(), false},
        {d.Frame1(), "Render Settings", {3120, 840, 2775, 1095}, &d, true},
        {d.chkWireframe(), "Wireframe", {240, 360, 1335, 255}, d.Frame1(), true},
        {d.chkAntialias(), "Antialiased", {1440, 360, 1095, 255}, d.Frame1(), false},
        {d.txtRagnaPath(), "", {240, 2280, 5655, 285}, &d, true},
        {d.cmdOK(), "OK", {1560, 2760, 1455, 375}, &d, true},
        {d.cmdCancel(), "Cancel", {3120, 2760, 1455, 375}, &d, true},
    };
    for (const Expected& c : controls) {
        SCOPED_TRACE(c.widget->objectName().toStdString());
        const QRect px(c.twips.x() / 15, c.twips.y() / 15, c.twips.width() / 15, c.twips.height() / 15);
        // Rows stay where they are; a caption that needs more room than drawn may push
        // the boxes after it to the right, never to the left.
        EXPECT_EQ(c.widget->y(), px.y());
        EXPECT_EQ(c.widget->height(), px.height());
        EXPECT_GE(c.widget->x(), px.x());
        EXPECT_EQ(c.widget->parentWidget(), c.container);
        EXPECT_EQ(c.widget->isEnabled(), c.enabled);
        if (auto* label = qobject_cast<QLabel*>(c.widget)) EXPECT_EQ(label->text(), c.caption);
        if (auto* button = qobject_cast<QAbstractButton*>(c.widget)) EXPECT_EQ(button->text(), c.caption);
        if (auto* frame = qobject_cast<QGroupBox*>(c.widget)) EXPECT_EQ(frame->title(), c.caption);
    }
    EXPECT_FALSE(d.cboDevice()->isEditable());
    EXPECT_FALSE(d.cboDispMode()->isEditable());
    EXPECT_FALSE(d.cmdOK()->isDefault());
    EXPECT_FALSE(d.cmdCancel()->isDefault());

    // Tab walks the controls that can take the focus in tab-index order; the disabled
    // boxes, the frames and the label are passed over.
    d.cboDevice()->setFocus();
    std::vector<QString> visited;
    QWidget* w = d.cboDevice();
    for (int i = 0; i < 8; ++i) {
        visited.push_back(w->objectName());
        do {
            w = w->nextInFocusChain();
        } while (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() || w->window() != &d ||
                 w == &d);
    }
    const std::vector<QString> expected = {"cboDevice", "chkWireframe", "chkSmooth", "cboDispMode",
                                           "cmdOK",     "cmdCancel",    "txtRagnaPath", "cboDevice"};
    EXPECT_EQ(visited, expected);
}

// Checks, with the font's own metrics, that every caption of the dialog shows its whole
// text, that no two controls side by side overlap, and that all lie inside their frame.
void ExpectCaptionsFit(const SettingsDialog& d) {
    for (const QCheckBox* box : d.findChildren<QCheckBox*>()) {
        SCOPED_TRACE(box->objectName().toStdString());
        const QStyle* style = box->style();
        const int text = QFontMetrics(box->font()).horizontalAdvance(box->text());
        const int indicator = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
                              style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
        EXPECT_LE(indicator + text, box->width());
    }
    for (const QComboBox* combo : d.findChildren<QComboBox*>()) {
        SCOPED_TRACE(combo->objectName().toStdString());
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                           QStyle::SC_ComboBoxEditField, combo);
        const QFontMetrics metrics(combo->font());
        for (int i = 0; i < combo->count(); ++i) {
            EXPECT_LE(metrics.horizontalAdvance(combo->itemText(i)), field.width())
                << combo->itemText(i).toStdString();
        }
    }
    for (const QLabel* label : d.findChildren<QLabel*>()) {
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width());
    }
    const QWidget* parents[] = {&d, d.Frame1(), d.Frame2()};
    for (const QWidget* parent : parents) {
        const QList<QWidget*> children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (const QWidget* a : children) {
            if (a->isWindow()) continue;
            EXPECT_TRUE(QRect(QPoint(0, 0), parent->size()).contains(a->geometry()))
                << a->objectName().toStdString();
            // Side by side, boxes keep clear of each other. (One above the other, the
            // drawn layout lets a caption's box reach a pixel into the box below.)
            for (const QWidget* b : children) {
                if (a == b || b->isWindow() || a->x() == b->x()) continue;
                const bool same_height =
                    a->y() <= b->geometry().bottom() && b->y() <= a->geometry().bottom();
                const bool side_by_side_overlap =
                    a->x() <= b->geometry().right() && b->x() <= a->geometry().right();
                EXPECT_FALSE(same_height && side_by_side_overlap)
                    << a->objectName().toStdString() << " and " << b->objectName().toStdString();
            }
        }
    }
}

TEST_F(SettingsDialogTest, EveryCaptionFitsItsTextInTheFontInUse) {
    ExpectCaptionsFit(Show());
}

TEST_F(SettingsDialogTest, EveryCaptionFitsItsTextInALargeFontKeepingTheOrder) {
    const QFont normal = QApplication::font();
    QFont large = normal;
    large.setPointSizeF(normal.pointSizeF() > 0 ? normal.pointSizeF() * 1.8 : 16);
    QApplication::setFont(large);
    struct RestoreFont {
        QFont font;
        ~RestoreFont() { QApplication::setFont(font); }
    } restore{normal};

    SettingsDialog& d = Show();
    ASSERT_EQ(d.chkWireframe()->font(), large);
    ExpectCaptionsFit(d);
    // The order of the boxes in each row and column is the one drawn.
    EXPECT_LT(d.chkWireframe()->x(), d.chkAntialias()->x());
    EXPECT_LT(d.chkTextured()->x(), d.chkSmooth()->x());
    EXPECT_LT(d.Frame2()->x(), d.Frame1()->x());
    EXPECT_LT(d.cboDevice()->x(), d.cboDispMode()->x());
    EXPECT_LT(d.cmdOK()->x(), d.cmdCancel()->x());
    // Boxes that were drawn one above the other still are.
    EXPECT_EQ(d.Check1()->x(), d.cboDispMode()->x());
    EXPECT_EQ(d.cboDispMode()->x(), d.Frame1()->x());
    EXPECT_EQ(d.Label1()->x(), d.cboDevice()->x());
    // The data folder's field still reaches the right edge of the contents.
    EXPECT_EQ(d.txtRagnaPath()->geometry().right(), d.Frame1()->geometry().right());
    EXPECT_EQ(d.height(), 219);
}

TEST_F(SettingsDialogTest, ListsTheDevicesAndTheStartUpModeAndTheDataFolder) {
    SettingsDialog& d = Show();
    const DeviceState& device = Window().Device();
    ASSERT_GE(device.DeviceNames.size(), 2u);
    ASSERT_EQ(d.cboDevice()->count(), static_cast<int>(device.DeviceNames.size()));
    for (size_t i = 0; i < device.DeviceNames.size(); ++i) {
        EXPECT_EQ(d.cboDevice()->itemText(static_cast<int>(i)).toStdString(), device.DeviceNames[i]);
    }
    EXPECT_EQ(d.cboDevice()->currentIndex(), d.cboDevice()->count() - 1);

    const dx7::DisplayMode mode = dx7::CurrentDisplayMode(device.DX->Config());
    ASSERT_EQ(d.cboDispMode()->count(), 1);
    EXPECT_EQ(d.cboDispMode()->itemText(0), QString("%1x%2x%3").arg(mode.width).arg(mode.height).arg(mode.bits_per_pixel));
    EXPECT_EQ(d.cboDispMode()->currentIndex(), -1);

    EXPECT_EQ(d.txtRagnaPath()->text().toStdString(), Data().string());

    // The disabled boxes show the switches: Textured and Lighting on, Antialiased off,
    // Fullscreen always off; Smooth on and Wireframe off.
    EXPECT_TRUE(d.chkTextured()->isChecked());
    EXPECT_TRUE(d.chkLighting()->isChecked());
    EXPECT_FALSE(d.chkAntialias()->isChecked());
    EXPECT_FALSE(d.Check1()->isChecked());
    EXPECT_TRUE(d.chkSmooth()->isChecked());
    EXPECT_FALSE(d.chkWireframe()->isChecked());
    // Clicking a disabled box changes nothing.
    QTest::mouseClick(d.chkTextured(), Qt::LeftButton);
    EXPECT_TRUE(d.chkTextured()->isChecked());
    EXPECT_TRUE(Window().CurrentSettings().Textured);

    dx7::DDSURFACEDESC2 mode_desc;
    mode_desc.dwWidth = 1024;
    mode_desc.dwHeight = 768;
    mode_desc.ddpfPixelFormat.dwRGBBitCount = 32;
    EXPECT_EQ(SettingsDialog::DisplayModeText(mode_desc), "1024x768x32");
}

TEST_F(SettingsDialogTest, WireframeAndSmoothActAtOnceAndCancelKeepsThem) {
    WriteFile(Root() / "a.rsm", QuadModel({}, 2.0f));
    Open(Root() / "a.rsm");
    SettingsDialog& d = Show();
    QTest::mouseClick(d.chkWireframe(), Qt::LeftButton);
    EXPECT_TRUE(Window().CurrentSettings().Wireframe);
    QTest::mouseClick(d.chkSmooth(), Qt::LeftButton);
    EXPECT_FALSE(Window().CurrentSettings().Smooth);
    Frames(1);
    EXPECT_EQ(Window().Device().D3DDevice->GetRenderState(dx7::D3DRENDERSTATE_FILLMODE), dx7::D3DFILL_WIREFRAME);
    EXPECT_EQ(Window().Device().D3DDevice->GetTextureStageState(0, dx7::D3DTSS_MAGFILTER), dx7::D3DTFG_POINT);

    d.txtRagnaPath()->setText("elsewhere");
    QTest::mouseClick(d.cmdCancel(), Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
    EXPECT_TRUE(Window().CurrentSettings().Wireframe);
    EXPECT_EQ(Window().CurrentSettings().DataPath, Data().string());  // not applied

    // Shown again: the edited text stays (loading does not run again), the boxes show
    // the switches.
    Show();
    EXPECT_EQ(d.txtRagnaPath()->text(), "elsewhere");
    EXPECT_EQ(d.cboDevice()->count(), static_cast<int>(Window().Device().DeviceNames.size()));
    EXPECT_TRUE(d.chkWireframe()->isChecked());
    EXPECT_FALSE(d.chkSmooth()->isChecked());
}

TEST_F(SettingsDialogTest, ActivationReadsTheSwitchesAgain) {
    SettingsDialog& d = Show();
    EXPECT_FALSE(d.chkWireframe()->isChecked());
    Window().CurrentSettings().Wireframe = true;
    Window().CurrentSettings().Antialiased = true;
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&d, &activate);
    EXPECT_TRUE(d.chkWireframe()->isChecked());
    EXPECT_TRUE(d.chkAntialias()->isChecked());
    EXPECT_TRUE(Window().CurrentSettings().Antialiased);
}

TEST_F(SettingsDialogTest, OkAppliesSavesAndHides) {
    SettingsDialog& d = Show();
    QTest::mouseClick(d.chkWireframe(), Qt::LeftButton);
    d.txtRagnaPath()->setText("D:\\Game\\Data\\");
    QTest::mouseClick(d.cmdOK(), Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(Window().CurrentSettings().DataPath, "D:\\Game\\Data\\");
    EXPECT_TRUE(Window().CurrentSettings().Wireframe);
    EXPECT_EQ(IniContents(), "D:\\Game\\Data\\\r\n");
    EXPECT_TRUE(dialogs_.messages.empty());

    // OK with the path unchanged still rewrites the file.
    std::filesystem::remove(Root() / "dovekit.ini");
    Show();
    QTest::mouseClick(d.cmdOK(), Qt::LeftButton);
    EXPECT_EQ(IniContents(), "D:\\Game\\Data\\\r\n");
}

TEST_F(SettingsDialogTest, OkReportsASettingsFileThatCannotBeWritten) {
    SettingsDialog& d = Show();
    // A folder in the file's place cannot be written, whoever runs the test.
    std::filesystem::remove(Root() / "dovekit.ini");
    std::filesystem::create_directory(Root() / "dovekit.ini");
    d.txtRagnaPath()->setText("/new/data");
    QTest::mouseClick(d.cmdOK(), Qt::LeftButton);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].title, "Plovant");
    EXPECT_NE(dialogs_.messages[0].text.find("dovekit.ini"), std::string::npos);
    EXPECT_EQ(Window().CurrentSettings().DataPath, "/new/data");  // still used in memory
    EXPECT_FALSE(d.isVisible());
}

TEST_F(SettingsDialogTest, EscapeAndTheCloseBoxHideTheDialog) {
    SettingsDialog& d = Show();
    QPointer<SettingsDialog> alive = &d;
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
    Show();
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(d.close());  // the close is refused: only hidden
    EXPECT_FALSE(d.isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(alive.isNull());
    EXPECT_EQ(Window().ExistingSettingsDialog(), &d);
}

TEST_F(SettingsDialogTest, EnterPressesOkOnlyWhenOkHasTheFocus) {
    SettingsDialog& d = Show();
    d.txtRagnaPath()->setText("typed");
    QTest::keyClick(d.txtRagnaPath(), Qt::Key_Return);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(Window().CurrentSettings().DataPath, Data().string());
    d.cmdOK()->setFocus();
    QTest::keyClick(d.cmdOK(), Qt::Key_Return);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(Window().CurrentSettings().DataPath, "typed");
}

}  // namespace
}  // namespace plovant::testing
