// Frames per second of the main window showing the largest sample, and the CPU it takes.
// A measurement, not a check: disabled unless asked for, and meant to run on a real
// window system, e.g.
//   xvfb-run -a build/bin/test_gui --gtest_also_run_disabled_tests --gtest_filter='ViewerFrameRate.*'
// PLOVANT_MEASURE_SECONDS sets the length (default 10 s).
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTest>

#include "gui_test_support.h"
#include "ui/picture_widget.h"

namespace plovant::testing {
namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class ViewerFrameRate : public GuiTest {};

TEST_F(ViewerFrameRate, DISABLED_LargestSample) {
    std::filesystem::path largest;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(PLOVANT_SAMPLES_DIR) / "data")) {
        if (entry.path().extension() == ".rsm" &&
            (largest.empty() || entry.file_size() > std::filesystem::file_size(largest))) {
            largest = entry.path();
        }
    }
    ASSERT_FALSE(largest.empty());
    {
        std::ofstream ini(Root() / "dovekit.ini", std::ios::binary);
        ini << (std::filesystem::path(PLOVANT_SAMPLES_DIR) / "data").string() << "\r\n";
    }
    MainWindow& w = Window();
    Open(largest);
    ASSERT_TRUE(dialogs_.messages.empty());
    QTest::qWait(500);  // settle: windows exposed, first frames drawn

    const char* env = std::getenv("PLOVANT_MEASURE_SECONDS");
    const int seconds = env ? std::max(1, std::atoi(env)) : 10;
    const int frames_before = w.DrawingArea()->PresentCount();
    const double cpu_before = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(seconds * 1000);
    const double elapsed = clock.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds() - cpu_before;
    const int frames = w.DrawingArea()->PresentCount() - frames_before;
    std::printf("platform %s, %s: %d frames in %.2f s = %.0f frames/s; CPU %.2f s (%.0f%% of one core), %.2f ms per frame\n",
                qPrintable(QGuiApplication::platformName()), largest.filename().c_str(), frames, elapsed,
                frames / elapsed, cpu, 100 * cpu / elapsed, 1000 * cpu / std::max(1, frames));
    EXPECT_GT(frames, 0);
}

}  // namespace
}  // namespace plovant::testing
