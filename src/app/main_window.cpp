#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLayout>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>

#include "device/settings_dialog.h"
#include "device/texture_loader.h"
#include "errors/error_text.h"
#include "export/save_as_path.h"
#include "export/tds_writer.h"
#include "model/info_text.h"
#include "platform/executable_folder.h"
#include "platform/settings_location.h"
#include "render/model_view.h"
#include "render/render_scene.h"
#include "render/scene_model.h"
#include "ui/info_window.h"
#include "ui/picture_widget.h"
#include "ui/qt_dialogs.h"
#include "ui/textures_window.h"
#include "ui/twips.h"

// The icon lives in a static library, whose resources must be registered by hand.
static void InitPlovantResources() { Q_INIT_RESOURCE(plovant); }

namespace plovant {

namespace {

// Drawing area below the menu bar, in twips.
constexpr int kClientWidth = 6405, kClientHeight = 5835;

// The first entry is the one the viewer has always offered; the second adds the ".rsm2"
// files, which the scene layer reads.
constexpr char kOpenFilter[] =
    "Ragnarok Model files (*.rsm)|*.rsm|"
    "Ragnarok Model files of every version (*.rsm *.rsm2)|*.rsm;*.rsm2";
constexpr char kSaveFilter[] = "3DS file (*.3ds)|*.3ds";
constexpr char kRenderErrorTitle[] = "Error Rendering...";

// Mouse buttons as a mask: left 1, right 2, middle 4.
int ButtonMask(Qt::MouseButtons buttons) {
    int mask = 0;
    if (buttons & Qt::LeftButton) mask |= kLeftButton;
    if (buttons & Qt::RightButton) mask |= kRightButton;
    if (buttons & Qt::MiddleButton) mask |= kMiddleButton;
    return mask;
}

// Modifier keys as a mask: Shift 1, Ctrl 2, Alt 4.
int ShiftMask(Qt::KeyboardModifiers modifiers) {
    int mask = 0;
    if (modifiers & Qt::ShiftModifier) mask |= kShiftModifier;
    if (modifiers & Qt::ControlModifier) mask |= kCtrlModifier;
    if (modifiers & Qt::AltModifier) mask |= kAltModifier;
    return mask;
}

}  // namespace

std::string FileNameWithoutFolder(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool HasRsmEnding(const std::string& name) {
    const std::string ending = name.substr(name.size() < 3 ? 0 : name.size() - 3);
    std::string lower;
    for (char c : ending) lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return lower == "rsm";
}

MainWindow::MainWindow() : MainWindow(MainWindowOptions{}) {}

MainWindow::MainWindow(MainWindowOptions options)
    : options_(std::move(options)), pacer_(RefreshPacer::kFallbackRate, options_.frame_clock) {
    InitPlovantResources();
    dialogs_ = options_.dialogs;
    if (!dialogs_) {
        own_dialogs_ = std::make_unique<QtDialogs>(this);
        dialogs_ = own_dialogs_.get();
    }
    settings_file_ = ChooseSettingsFile(
        options_.settings_folder.empty() ? ExecutableFolder() : options_.settings_folder,
        options_.user_settings_folder.empty() ? UserSettingsFolder()
                                              : options_.user_settings_folder,
        options_.folder_writable ? options_.folder_writable : IsFolderWritable);

    setObjectName("frm3D");
    // Fixed single border: a title bar with minimise and close buttons, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(kProgramTitle);
    setWindowIcon(QIcon(":/plovant.png"));

    drawing_area_ = new PictureWidget(this, PictureWidget::Outer::TopLevel);
    drawing_area_->setObjectName("DrawingArea");
    drawing_area_->setFixedSize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));
    drawing_area_->setFocusPolicy(Qt::StrongFocus);
    drawing_area_->ClearPicture(Qt::black);
    setCentralWidget(drawing_area_);
    CreateActions();
    // Fixed single border: the window keeps the size of its menu bar and drawing area.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    drawing_area_->setFocus();

    connect(drawing_area_, &PictureWidget::mousePressed, this, &MainWindow::Form_MouseDown);
    connect(drawing_area_, &PictureWidget::mouseMoved, this, &MainWindow::Form_MouseMove);
    frame_timer_.setInterval(0);
    connect(&frame_timer_, &QTimer::timeout, this, &MainWindow::RunFrame);

    Form_Load();
}

MainWindow::~MainWindow() {
    frame_timer_.stop();
    // The secondary windows read this window's model and textures: they go first.
    delete textures_.data();
    delete info_.data();
    delete settings_dialog_.data();
    if (!closed_) ShutdownDirect3D(device_, texture_surfaces_);
}

void MainWindow::CreateActions() {
    mnuFile_ = menuBar()->addMenu("&File");
    mnuFile_->setObjectName("mnuFile");
    mnuOpen_ = mnuFile_->addAction("&Open", this, &MainWindow::mnuOpen_Click);
    mnuFileInfo_ = mnuFile_->addAction("&Info", this, &MainWindow::mnuFileInfo_Click);
    mnuFileTex_ = mnuFile_->addAction("&Textures", this, &MainWindow::mnuFileTex_Click);
    mnuSave_ = mnuFile_->addAction("Save &As", this, &MainWindow::mnuSave_Click);
    mnuBlank_ = mnuFile_->addSeparator();
    mnuExit_ = mnuFile_->addAction("E&xit", this, &MainWindow::mnuExit_Click);
    // Options and Rotate are items of the menu bar itself, without a submenu.
    mnuOptions_ = menuBar()->addAction("&Options", this, &MainWindow::mnuOptions_Click);
    mnuRot_ = menuBar()->addAction(QStringLiteral("&Rotate 15\u00B0"), this, &MainWindow::mnuRot_Click);

    mnuOpen_->setObjectName("mnuOpen");
    mnuFileInfo_->setObjectName("mnuFileInfo");
    mnuFileTex_->setObjectName("mnuFileTex");
    mnuSave_->setObjectName("mnuSave");
    mnuBlank_->setObjectName("mnuBlank");
    mnuExit_->setObjectName("mnuExit");
    mnuOptions_->setObjectName("mnuOptions");
    mnuRot_->setObjectName("mnuRot");

    // Enabled by the first open, never disabled again.
    mnuFileInfo_->setEnabled(false);
    mnuFileTex_->setEnabled(false);
    mnuSave_->setEnabled(false);
}

void MainWindow::Form_Load() {
    InitDirect3D(device_, drawing_area_);
    camera_.ModelTilt = kStartTilt;
    LoadSettings(settings_, settings_file_);
    file_name_ = settings_.DataPath + "\\*.rsm";
    ResetRenderSwitches(settings_);
}

// --- Secondary windows -------------------------------------------------------------------

InfoWindow* MainWindow::ExistingInfoWindow() const { return info_; }
TexturesWindow* MainWindow::ExistingTexturesWindow() const { return textures_; }
SettingsDialog* MainWindow::ExistingSettingsDialog() const { return settings_dialog_; }

std::string MainWindow::BuildInfo() const { return BuildInfoText(model_, file_name_); }

InfoWindow& MainWindow::frmInfo() {
    if (!info_) info_ = new InfoWindow(this, [this] { return BuildInfo(); });
    return *info_;
}

TexturesWindow& MainWindow::frmTex() {
    if (!textures_) textures_ = new TexturesWindow(this, device_.DX, model_, texture_surfaces_);
    return *textures_;
}

SettingsDialog& MainWindow::frmSettings() {
    if (!settings_dialog_) {
        settings_dialog_ = new SettingsDialog(this, settings_, device_, settings_file_, *dialogs_);
    }
    return *settings_dialog_;
}

void MainWindow::mnuFileInfo_Click() {
    InfoWindow& window = frmInfo();
    window.show();
    window.raise();
}

void MainWindow::mnuFileTex_Click() {
    try {
        TexturesWindow& window = frmTex();
        window.show();
        window.raise();
    } catch (const Error& error) {
        dialogs_->ShowMessage(kProgramTitle, error.description(), MessageIcon::Critical);
    }
}

void MainWindow::mnuOptions_Click() {
    SettingsDialog& dialog = frmSettings();
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

void MainWindow::mnuRot_Click() { RotateModel(camera_); }

void MainWindow::mnuExit_Click() { close(); }

// --- Open ----------------------------------------------------------------------------------

void MainWindow::mnuOpen_Click() {
    if (closed_) return;
    const std::optional<std::string> chosen = dialogs_->ShowOpen(kOpenFilter, file_name_);
    if (!chosen) return;  // Cancel changes nothing and says nothing.

    const std::string name = FileNameWithoutFolder(*chosen);
    const bool read_model = HasRsmEnding(name) || HasRsm2Ending(name);
    const std::string previous_file_name = file_name_;
    file_name_ = *chosen;
    try {
        // Everything that can fail runs first, into new objects, so that a failure leaves
        // the model, its textures, the windows, the camera and the frame loop untouched.
        OpenedModel opened;
        if (read_model) opened = ReadAnyViewModel(*chosen);
        std::vector<dx7::SurfacePtr> textures =
            LoadViewTextures(device_, read_model ? opened.model : model_, settings_.DataPath,
                             options_.standby_folder);
        TexturesWindow& textures_window = frmTex();

        // From here on nothing fails.
        if (read_model) {
            model_ = std::move(opened.model);
            model_extent_ = opened.extent;
        }
        mnuSave_->setEnabled(true);
        mnuFileInfo_->setEnabled(true);
        mnuFileTex_->setEnabled(true);
        frmInfo().InfoRefresh();
        textures_window.show();
        setWindowTitle(QString::fromStdString(std::string(kProgramTitle) + " - [" + name + "]"));
        ResetViewCamera(camera_, model_extent_);
        // The previous model's textures are released here, replaced by the new ones.
        texture_surfaces_ = std::move(textures);
        view_running_ = true;
        textures_window.TextureRefresh();
        show();
        RestartFrameLoop();
    } catch (const std::exception& error) {  // plovant::Error, or lack of memory
        file_name_ = previous_file_name;
        dialogs_->ShowMessage(kProgramTitle,
                              "Cannot open " + *chosen + ":\n" + error.what(),
                              MessageIcon::Critical);
    }
}

// --- Save As -------------------------------------------------------------------------------

void MainWindow::mnuSave_Click() {
    const std::optional<std::string> chosen = dialogs_->ShowSave(kSaveFilter, file_name_);
    if (!chosen) return;
    file_name_ = *chosen;
    const std::string path = SaveAsPath(*chosen);
    // A file the dialog showed was chosen knowingly; one whose name only the added ending
    // makes is not replaced without asking.
    if (SaveAsReplacesUnchosenFile(*chosen) &&
        !dialogs_->AskYesNo(kProgramTitle, path + " already exists.\nDo you want to replace it?")) {
        return;
    }
    try {
        Write3DS(path, model_);
    } catch (const std::exception& error) {  // plovant::Error, or lack of memory
        dialogs_->ShowMessage(kProgramTitle, "Cannot save " + path + ":\n" + error.what(),
                              MessageIcon::Critical);
    }
}

// --- Frame loop ----------------------------------------------------------------------------

void MainWindow::RestartFrameLoop() {
    // The loop that ran until now draws no further frame; the new one starts its spin at 0.
    ++loop_generation_;
    ++loop_starts_;
    model_spin_ = 0;
    pacer_.SetRefreshRate(DisplayRefreshRate());
    pacer_.Restart();
    if (!frame_timer_.isActive() && !isMinimized()) frame_timer_.start();
}

double MainWindow::DisplayRefreshRate() const {
    if (options_.refresh_rate != 0) return options_.refresh_rate;
    const QScreen* display = screen();
    return display ? display->refreshRate() : RefreshPacer::kFallbackRate;
}

void MainWindow::RunFrame() {
    // One frame at a time: a frame whose event pass would start another one (the timer
    // firing in there) lets it pass.
    if (in_frame_ || closed_ || !view_running_ || !device_.D3DDevice || isMinimized()) return;
    in_frame_ = true;
    struct FrameEnd {
        bool& flag;
        ~FrameEnd() { flag = false; }
    } frame_end{in_frame_};
    const uint64_t generation = loop_generation_;
    try {
        FrameHooks hooks;
        hooks.window = drawing_area_;
        hooks.buffers = &draw_buffers_;
        hooks.wait_for_refresh = [this] { pacer_.WaitForRefresh(); };
        // The window's events run here, once per frame, between the end of the scene and
        // its presentation. An open (which restarts the loop) or closing the window in
        // there means this frame is not presented.
        hooks.process_events = [this, generation] {
            QCoreApplication::processEvents();
            return generation == loop_generation_ && !closed_;
        };
        RunFrameStep(model_spin_, camera_, device_, model_, texture_surfaces_, settings_, hooks);
    } catch (const Error& error) {
        // A failure in a frame that was replaced or interrupted by closing is not this
        // loop's to report.
        if (generation != loop_generation_ || closed_) return;
        FrameFailed(error);
    } catch (const std::bad_alloc&) {
        if (generation != loop_generation_ || closed_) return;
        FrameFailed(Error(dx7::DDERR_OUTOFMEMORY, "Out of memory while drawing a frame."));
    }
}

void MainWindow::FrameFailed(const Error& error) {
    frame_timer_.stop();
    ++loop_generation_;
    dialogs_->ShowMessage(kRenderErrorTitle, Direct3DErrorText(error.number()),
                          MessageIcon::Critical);
    dialogs_->ShowMessage(kProgramTitle, error.description(), MessageIcon::None);
    close();
    if (options_.end_program) {
        options_.end_program(1);
    } else {
        QCoreApplication::exit(1);
    }
}

// --- Input and closing ---------------------------------------------------------------------

void MainWindow::Form_MouseDown(QMouseEvent* event) {
    const QPointF at = PixelsToTwips(event->position());
    CameraMouseDown(camera_, ButtonMask(event->button()), ShiftMask(event->modifiers()),
                    static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void MainWindow::Form_MouseMove(QMouseEvent* event) {
    const QPointF at = PixelsToTwips(event->position());
    CameraMouseMove(camera_, ButtonMask(event->buttons()), ShiftMask(event->modifiers()),
                    static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    const int key = event->key() == Qt::Key_Escape ? kKeyEscape : 0;
    if (key != 0 && CameraKeyDown(key, ShiftMask(event->modifiers()))) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || closed_) return;
    if (isMinimized()) {
        // Nothing is drawn for a window no one sees; the spin stays where it is.
        frame_timer_.stop();
    } else if (view_running_ && !frame_timer_.isActive() && device_.D3DDevice) {
        pacer_.SetRefreshRate(DisplayRefreshRate());
        pacer_.Restart();
        frame_timer_.start();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!closed_) Form_Unload();
    event->accept();
}

void MainWindow::Form_Unload() {
    closed_ = true;
    frame_timer_.stop();
    ++loop_generation_;
    ShutdownDirect3D(device_, texture_surfaces_);
    // The settings dialog only hides itself; the other two are deleted on close.
    if (settings_dialog_) settings_dialog_->close();
    if (textures_) textures_->close();
    if (info_) info_->close();
}

}  // namespace plovant
