// The viewer: creates the application and shows the main window, which is the program.
#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "ui/qt_dialogs.h"

int main(int argc, char** argv) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Without a display Qt would abort; say what is wrong instead.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "plovant: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "plovant-cli reads, converts and renders models without one.\n");
        return 1;
    }
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(plovant::kProgramTitle);

    std::unique_ptr<plovant::MainWindow> window;
    try {
        window = std::make_unique<plovant::MainWindow>();
    } catch (const plovant::Error& error) {
        // The graphics device could not be set up: say why, then end. The colour-depth
        // refusal is a plain notice without an icon.
        const plovant::MessageIcon icon = error.number() == plovant::kErrColorDepth
                                              ? plovant::MessageIcon::None
                                              : plovant::MessageIcon::Critical;
        plovant::QtDialogs(nullptr).ShowMessage(plovant::kProgramTitle, error.description(), icon);
        return 1;
    }
    window->show();
    return app.exec();
}
