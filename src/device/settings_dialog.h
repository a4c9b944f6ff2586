// frmSettings, the settings dialog: the Direct3D devices and the display mode found at
// start-up, the render switches as check boxes, and the game data folder. Only
// "Wireframe" and "Smooth" can be changed, and they act at once; the data folder takes
// effect on OK, which also writes the settings file. The dialog is created once per run
// and only ever hidden: OK, Cancel, Escape and its close box hide it. When it is first
// shown, its captions are sized to fit their texts in the font in use (FitCaptions).
#pragma once

#include <string>

#include <QDialog>

#include "app/settings.h"
#include "device/direct3d_setup.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace plovant {

class Dialogs;

class SettingsDialog : public QDialog {
    Q_OBJECT

public:
    // A modeless dialog owned by `owner`. It reads and changes `settings`, lists the
    // devices and the display mode of `device`, writes the settings file `settings_file`
    // on OK, and reports a failed write through `dialogs`. All four must outlive it.
    SettingsDialog(QWidget* owner, Settings& settings, const DeviceState& device,
                   std::string settings_file, Dialogs& dialogs);

    QLabel* Label1() const { return Label1_; }
    QComboBox* cboDevice() const { return cboDevice_; }
    QCheckBox* Check1() const { return Check1_; }
    QComboBox* cboDispMode() const { return cboDispMode_; }
    QGroupBox* Frame2() const { return Frame2_; }
    QCheckBox* chkTextured() const { return chkTextured_; }
    QCheckBox* chkSmooth() const { return chkSmooth_; }
    QCheckBox* chkLighting() const { return chkLighting_; }
    QGroupBox* Frame1() const { return Frame1_; }
    QCheckBox* chkWireframe() const { return chkWireframe_; }
    QCheckBox* chkAntialias() const { return chkAntialias_; }
    QLineEdit* txtRagnaPath() const { return txtRagnaPath_; }
    QPushButton* cmdOK() const { return cmdOK_; }
    QPushButton* cmdCancel() const { return cmdCancel_; }

    // The text of a display-mode entry: "WIDTHxHEIGHTxBITS", e.g. "1024x768x32".
    static std::string DisplayModeText(const dx7::DDSURFACEDESC2& mode);

public slots:
    // Cancel (and Escape, through reject): hides the dialog; nothing is undone.
    void reject() override;

private slots:
    void chkWireframe_Click();
    void chkSmooth_Click();
    void chkTextured_Click();
    void chkAntialias_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void Form_Activate();

    Settings& settings_;
    const DeviceState& device_;
    std::string settings_file_;
    Dialogs& dialogs_;
    bool loaded_ = false;

    QLabel* Label1_;
    QComboBox* cboDevice_;
    QCheckBox* Check1_;
    QComboBox* cboDispMode_;
    QGroupBox* Frame2_;
    QCheckBox* chkTextured_;
    QCheckBox* chkSmooth_;
    QCheckBox* chkLighting_;
    QGroupBox* Frame1_;
    QCheckBox* chkWireframe_;
    QCheckBox* chkAntialias_;
    QLineEdit* txtRagnaPath_;
    QPushButton* cmdOK_;
    QPushButton* cmdCancel_;
};

}  // namespace plovant
