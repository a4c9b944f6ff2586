#include "device/settings_dialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/dialogs.h"
#include "ui/fit_captions.h"
#include "ui/twips.h"

namespace plovant {

namespace {

constexpr int kClientWidth = 6105, kClientHeight = 3285;
// The space kept between boxes side by side, and inside a frame's or the dialog's right
// edge, when captions are widened to fit their text.
constexpr int kCaptionGap = 105, kCaptionMargin = 240;

template <typename W>
W* Place(W* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(name);
    widget->setGeometry(TwipsRect(left, top, width, height));
    return widget;
}

QCheckBox* CheckBox(QWidget* parent, const char* name, const char* caption, int left, int top,
                    int width, int height, bool enabled) {
    auto* box = Place(new QCheckBox(caption, parent), name, left, top, width, height);
    box->setEnabled(enabled);
    return box;
}

bool IsOn(const QCheckBox* box) { return box->checkState() == Qt::Checked; }

}  // namespace

SettingsDialog::SettingsDialog(QWidget* owner, Settings& settings, const DeviceState& device,
                               std::string settings_file, Dialogs& dialogs)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      settings_(settings),
      device_(device),
      settings_file_(std::move(settings_file)),
      dialogs_(dialogs) {
    setObjectName("frmSettings");
    setWindowTitle("Settings");
    setModal(false);
    setFixedSize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));

    Label1_ = Place(new QLabel("Device", this), "Label1", 240, 120, 2775, 255);
    cboDevice_ = Place(new QComboBox(this), "cboDevice", 240, 360, 2775, 315);
    Check1_ = CheckBox(this, "Check1", "Fullscreen", 3120, 120, 2775, 255, false);
    cboDispMode_ = Place(new QComboBox(this), "cboDispMode", 3120, 360, 2775, 315);

    Frame2_ = Place(new QGroupBox("Texture Settings", this), "Frame2", 240, 840, 2775, 1095);
    chkTextured_ = CheckBox(Frame2_, "chkTextured", "Textured", 240, 360, 1095, 255, false);
    chkSmooth_ = CheckBox(Frame2_, "chkSmooth", "Smooth", 1440, 360, 1095, 255, true);
    chkLighting_ = CheckBox(Frame2_, "chkLighting", "Lighting", 240, 600, 1455, 255, false);

    Frame1_ = Place(new QGroupBox("Render Settings", this), "Frame1", 3120, 840, 2775, 1095);
    chkWireframe_ = CheckBox(Frame1_, "chkWireframe", "Wireframe", 240, 360, 1335, 255, true);
    chkAntialias_ = CheckBox(Frame1_, "chkAntialias", "Antialiased", 1440, 360, 1095, 255, false);

    txtRagnaPath_ = Place(new QLineEdit(QString::fromStdString(kDefaultDataPath), this),
                          "txtRagnaPath", 240, 2280, 5655, 285);
    cmdOK_ = Place(new QPushButton("OK", this), "cmdOK", 1560, 2760, 1455, 375);
    cmdCancel_ = Place(new QPushButton("Cancel", this), "cmdCancel", 3120, 2760, 1455, 375);
    // No default button: Enter presses a button only when it has the focus (see
    // keyPressEvent).
    cmdOK_->setAutoDefault(false);
    cmdCancel_->setAutoDefault(false);

    // Tab order: cboDevice, Check1, Frame1, chkWireframe, chkAntialias, Frame2,
    // chkTextured, chkLighting, chkSmooth, cboDispMode, cmdOK, cmdCancel, Label1,
    // txtRagnaPath. Frames and the label take no focus, nor do the disabled boxes.
    QWidget* order[] = {cboDevice_,    Check1_,      chkWireframe_, chkAntialias_,
                        chkTextured_,  chkLighting_, chkSmooth_,    cboDispMode_,
                        cmdOK_,        cmdCancel_,   txtRagnaPath_};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
    setTabOrder(txtRagnaPath_, cboDevice_);

    connect(chkWireframe_, &QCheckBox::toggled, this, &SettingsDialog::chkWireframe_Click);
    connect(chkSmooth_, &QCheckBox::toggled, this, &SettingsDialog::chkSmooth_Click);
    connect(chkTextured_, &QCheckBox::toggled, this, &SettingsDialog::chkTextured_Click);
    connect(chkAntialias_, &QCheckBox::toggled, this, &SettingsDialog::chkAntialias_Click);
    connect(cmdOK_, &QPushButton::clicked, this, &SettingsDialog::cmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &SettingsDialog::cmdCancel_Click);
}

std::string SettingsDialog::DisplayModeText(const dx7::DDSURFACEDESC2& mode) {
    return std::to_string(static_cast<uint32_t>(mode.dwWidth)) + "x" +
           std::to_string(static_cast<uint32_t>(mode.dwHeight)) + "x" +
           std::to_string(mode.ddpfPixelFormat.dwRGBBitCount);
}

void SettingsDialog::Form_Load() {
    // Devices, the one in use selected.
    for (const std::string& name : device_.DeviceNames) {
        cboDevice_->addItem(QString::fromStdString(name));
    }
    cboDevice_->setCurrentIndex(device_.DeviceIndex);

    // Display modes matching the mode read at start-up (at most that one), none selected.
    if (device_.DX) {
        try {
            dx7::DirectDraw7Ptr ddraw = device_.DX->DirectDrawCreate("");
            ddraw->SetCooperativeLevel(nullptr, dx7::DDSCL_NORMAL);
            dx7::DirectDrawEnumModesPtr modes = ddraw->GetDisplayModesEnum(0, device_.SurfaceDesc);
            for (int32_t i = 1; i <= modes->GetCount(); ++i) {
                dx7::DDSURFACEDESC2 mode;
                modes->GetItem(i, mode);
                cboDispMode_->addItem(QString::fromStdString(DisplayModeText(mode)));
            }
        } catch (const Error& error) {
            dialogs_.ShowMessage(kProgramTitle, error.description(), MessageIcon::Critical);
        }
    }
    cboDispMode_->setCurrentIndex(-1);

    txtRagnaPath_->setText(QString::fromStdString(settings_.DataPath));

    // With the entries in place, every caption gets the width its text needs in the font
    // in use; the dialog grows where they need more room than it was drawn with.
    const int needed = FitCaptions(this, TwipsToPixels(kCaptionGap), TwipsToPixels(kCaptionMargin));
    setFixedSize(std::max(TwipsToPixels(kClientWidth), needed), TwipsToPixels(kClientHeight));
}

void SettingsDialog::Form_Activate() {
    // Setting a box raises its change handler, which writes back the value just read.
    chkTextured_->setChecked(settings_.Textured);
    chkSmooth_->setChecked(settings_.Smooth);
    chkLighting_->setChecked(settings_.Lighting);
    chkWireframe_->setChecked(settings_.Wireframe);
    chkAntialias_->setChecked(settings_.Antialiased);
}

void SettingsDialog::chkWireframe_Click() { settings_.Wireframe = IsOn(chkWireframe_); }
void SettingsDialog::chkSmooth_Click() { settings_.Smooth = IsOn(chkSmooth_); }
void SettingsDialog::chkTextured_Click() { settings_.Textured = IsOn(chkTextured_); }
void SettingsDialog::chkAntialias_Click() { settings_.Antialiased = IsOn(chkAntialias_); }

void SettingsDialog::cmdOK_Click() {
    settings_.DataPath = txtRagnaPath_->text().toStdString();
    try {
        SaveSettings(settings_, settings_file_);
    } catch (const Error& error) {
        // The new folder is still used for this run; only keeping it failed.
        dialogs_.ShowMessage(kProgramTitle, error.description(), MessageIcon::Exclamation);
    }
    settings_.Textured = IsOn(chkTextured_);
    settings_.Smooth = IsOn(chkSmooth_);
    settings_.Lighting = IsOn(chkLighting_);
    settings_.Wireframe = IsOn(chkWireframe_);
    settings_.Antialiased = IsOn(chkAntialias_);
    hide();
}

void SettingsDialog::cmdCancel_Click() { hide(); }

void SettingsDialog::reject() { cmdCancel_Click(); }

bool SettingsDialog::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) Form_Activate();
    return QDialog::event(event);
}

void SettingsDialog::showEvent(QShowEvent* event) {
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
    // Becoming visible is where the dialog is activated, also where the window system
    // activates it late or not at all: the boxes show the switches from the start.
    Form_Activate();
    QDialog::showEvent(event);
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
    // The close box, the system menu and the program's own requests only hide the
    // dialog; it lives until the program ends.
    event->ignore();
    hide();
}

void SettingsDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // No default button: Enter presses a button only when that button has the focus.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) button->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace plovant
