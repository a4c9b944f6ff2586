// frm3D, the main window: the menu, the drawing area, the open flow with its frame loop,
// Save As, and the secondary windows (settings dialog, information and textures
// windows), which it owns and creates on first use.
//
// Start-up sets up the graphics device for the window, sets the model tilt, reads the
// settings file and points the file dialog at the data folder. Nothing is drawn until a
// model is opened; each open (re)starts the one frame loop: a zero-interval timer whose
// every tick draws a frame, with the window events processed once per frame between the
// end of the scene and its presentation. Presenting waits for the display's next refresh,
// so the loop runs at the screen's refresh rate; a minimised window draws no frames and
// goes on where it stopped when it is shown again.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include "app/settings.h"
#include "device/direct3d_setup.h"
#include "model/rsm_model.h"
#include "platform/dialogs.h"
#include "render/camera.h"
#include "render/draw_model.h"
#include "render/refresh_pacer.h"

class QAction;
class QMenu;

namespace plovant {

class InfoWindow;
class PictureWidget;
class SettingsDialog;
class TexturesWindow;

struct MainWindowOptions {
    // The file dialog and message boxes; null: Qt's, modal to the main window.
    Dialogs* dialogs = nullptr;
    // The folder of the settings file "dovekit.ini"; empty: the executable's folder.
    // Where that folder cannot be written, the file in `user_settings_folder` is used
    // instead (see ChooseSettingsFile).
    std::string settings_folder;
    // The per-user folder of the settings file; empty: UserSettingsFolder().
    std::string user_settings_folder;
    // Tells whether a folder can be written; empty: IsFolderWritable.
    std::function<bool(const std::string& folder)> folder_writable;
    // The folder of the stand-by bitmap "blank.bmp"; empty: the executable's folder.
    std::string standby_folder;
    // Ends the program after a frame failed and was reported. Null: the application's
    // event loop is left with the code.
    std::function<void(int exit_code)> end_program;
    // The clock the presentation is paced by; null: the system's.
    RefreshPacer::TimeSource* frame_clock = nullptr;
    // The display's refresh rate in Hz; 0: as the window's screen reports it.
    double refresh_rate = 0;
};

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // Creates the window and runs the start-up steps. Throws plovant::Error when the
    // graphics device cannot be set up (the caller reports it and ends the program).
    MainWindow();
    explicit MainWindow(MainWindowOptions options);
    ~MainWindow() override;

    // --- State, for the windows and for tests -------------------------------------------
    const RsmModel& Model() const { return model_; }
    float ModelExtent() const { return model_extent_; }
    const std::vector<dx7::SurfacePtr>& TextureSurfaces() const { return texture_surfaces_; }
    const CameraState& Camera() const { return camera_; }
    Settings& CurrentSettings() { return settings_; }
    const DeviceState& Device() const { return device_; }
    // The spin of the running frame loop: 0 when (re)started, +0.02 before every frame.
    float ModelSpin() const { return model_spin_; }
    // True once a model has been opened (the frame loop has been started).
    bool ViewRunning() const { return view_running_; }
    bool FrameLoopActive() const { return frame_timer_.isActive(); }
    // How many times the frame loop has been (re)started.
    int LoopStarts() const { return loop_starts_; }
    // The file dialog's file name, shared by Open and Save As.
    const std::string& DialogFileName() const { return file_name_; }
    PictureWidget* DrawingArea() const { return drawing_area_; }
    // The settings file this window reads and the Options dialog writes.
    const std::string& SettingsFile() const { return settings_file_; }
    // The pacing of the presentation to the display's refresh.
    const RefreshPacer& Pacer() const { return pacer_; }

    // The secondary windows if they exist (null otherwise).
    InfoWindow* ExistingInfoWindow() const;
    TexturesWindow* ExistingTexturesWindow() const;
    SettingsDialog* ExistingSettingsDialog() const;

    QAction* mnuOpen() const { return mnuOpen_; }
    QAction* mnuFileInfo() const { return mnuFileInfo_; }
    QAction* mnuFileTex() const { return mnuFileTex_; }
    QAction* mnuSave() const { return mnuSave_; }
    QAction* mnuExit() const { return mnuExit_; }
    QAction* mnuOptions() const { return mnuOptions_; }
    QAction* mnuRot() const { return mnuRot_; }

    // One pass of the frame loop: spin += 0.02, camera, scene, events, presentation.
    // The timer runs it; tests may call it directly.
    void RunFrame();

public slots:
    void mnuOpen_Click();
    void mnuFileInfo_Click();
    void mnuFileTex_Click();
    void mnuSave_Click();
    void mnuExit_Click();
    void mnuOptions_Click();
    void mnuRot_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateActions();
    void Form_Load();
    void Form_Unload();
    void Form_MouseDown(QMouseEvent* event);
    void Form_MouseMove(QMouseEvent* event);

    // The secondary windows, created on first use.
    InfoWindow& frmInfo();
    TexturesWindow& frmTex();
    SettingsDialog& frmSettings();

    void RestartFrameLoop();
    // The refresh rate of the screen the window is on (or the one given in the options).
    double DisplayRefreshRate() const;
    void FrameFailed(const Error& error);
    std::string BuildInfo() const;

    MainWindowOptions options_;
    Dialogs* dialogs_;
    std::unique_ptr<Dialogs> own_dialogs_;
    std::string settings_file_;

    Settings settings_;
    DeviceState device_;
    RsmModel model_;
    float model_extent_ = 0;
    std::vector<dx7::SurfacePtr> texture_surfaces_;
    CameraState camera_;
    std::string file_name_;  // CommonDialog1.FileName

    bool view_running_ = false;
    float model_spin_ = 0;
    QTimer frame_timer_;
    RefreshPacer pacer_;
    DrawBuffers draw_buffers_;
    // Changes whenever the running loop is replaced or stopped; a frame that sees it
    // change while its events run presents nothing.
    uint64_t loop_generation_ = 0;
    int loop_starts_ = 0;
    bool in_frame_ = false;
    bool closed_ = false;

    PictureWidget* drawing_area_ = nullptr;
    QPointer<InfoWindow> info_;
    QPointer<TexturesWindow> textures_;
    QPointer<SettingsDialog> settings_dialog_;

    QMenu* mnuFile_ = nullptr;
    QAction* mnuOpen_ = nullptr;
    QAction* mnuFileInfo_ = nullptr;
    QAction* mnuFileTex_ = nullptr;
    QAction* mnuSave_ = nullptr;
    QAction* mnuBlank_ = nullptr;
    QAction* mnuExit_ = nullptr;
    QAction* mnuOptions_ = nullptr;
    QAction* mnuRot_ = nullptr;
};

// The name of a chosen file without its folder ("/" and "\" both separate folders).
std::string FileNameWithoutFolder(const std::string& path);

// True when the last three characters of `name` (all of it when shorter) are "rsm" in
// any letter case.
bool HasRsmEnding(const std::string& name);

}  // namespace plovant
