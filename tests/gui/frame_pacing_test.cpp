// The viewer's frame loop presents at the display's refresh rate and draws nothing while
// the window is minimised.
#include <QElapsedTimer>
#include <QTest>
#include <chrono>

#include "gui_test_support.h"
#include "ui/picture_widget.h"

namespace plovant::testing {
namespace {

// A clock that only a wait moves: each present's wait jumps to the refresh it waits for.
class JumpingClock : public RefreshPacer::TimeSource {
public:
    RefreshPacer::Clock::time_point now{};
    int waits = 0;
    RefreshPacer::Clock::time_point Now() override { return now; }
    void SleepUntil(RefreshPacer::Clock::time_point when) override {
        ++waits;
        if (when > now) now = when;
    }
};

class FramePacingTest : public GuiTest {
protected:
    MainWindow& PacedWindow(double refresh_rate, RefreshPacer::TimeSource* clock) {
        MainWindowOptions options;
        options.dialogs = &dialogs_;
        options.settings_folder = Root().string();
        options.end_program = [this](int code) { end_program_code_ = code; };
        options.refresh_rate = refresh_rate;
        options.frame_clock = clock;
        window_ = std::make_unique<MainWindow>(options);
        window_->show();
        return *window_;
    }
    void OpenQuad() {
        WriteFile(Root() / "quad.rsm", QuadModel({"wall.bmp"}));
        Open(Root() / "quad.rsm");
        ASSERT_TRUE(dialogs_.messages.empty());
        ASSERT_TRUE(Window().FrameLoopActive());
    }
};

TEST_F(FramePacingTest, EveryPresentOfTheRunningLoopWaitsForARefresh) {
    JumpingClock clock;
    MainWindow& w = PacedWindow(50.0, &clock);
    OpenQuad();
    const int presents_before = w.DrawingArea()->PresentCount();
    QTest::qWait(300);
    const int presents = w.DrawingArea()->PresentCount() - presents_before;
    ASSERT_GE(presents, 2);
    // The first present after the open goes at once; each later one a refresh later.
    EXPECT_GE(clock.waits, presents - 1);
    EXPECT_GE(clock.now - RefreshPacer::Clock::time_point{}, (presents - 1) * w.Pacer().Period());
    EXPECT_EQ(w.Pacer().RefreshRate(), 50.0);
}

TEST_F(FramePacingTest, TheLoopDrawsNoMoreFramesThanTheRefreshAllows) {
    MainWindow& w = PacedWindow(40.0, nullptr);  // the real clock, 25 ms a refresh
    OpenQuad();
    const int presents_before = w.DrawingArea()->PresentCount();
    QElapsedTimer elapsed;
    elapsed.start();
    QTest::qWait(500);
    const double seconds = elapsed.nsecsElapsed() / 1e9;
    const int presents = w.DrawingArea()->PresentCount() - presents_before;
    // Unpaced, this loop presents hundreds of frames in that time; paced, at most one per
    // refresh (and one more for the present right after the open).
    EXPECT_LE(presents, static_cast<int>(seconds * 40.0) + 2) << seconds << " s";
    EXPECT_GE(presents, 2);
}

TEST_F(FramePacingTest, TheRateComesFromTheScreenWhenNotGiven) {
    MainWindow& w = Window();
    OpenQuad();
    const double screen_rate = w.screen()->refreshRate();
    const double expected =
        screen_rate >= 1 && screen_rate <= 1000 ? screen_rate : RefreshPacer::kFallbackRate;
    EXPECT_EQ(w.Pacer().RefreshRate(), expected);
}

TEST_F(FramePacingTest, AMinimisedWindowDrawsNothingAndGoesOnWhereItStopped) {
    JumpingClock clock;
    MainWindow& w = PacedWindow(60.0, &clock);
    OpenQuad();
    QTest::qWait(100);
    w.showMinimized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(w.isMinimized());
    EXPECT_FALSE(w.FrameLoopActive());
    const float spin = w.ModelSpin();
    const int presents = w.DrawingArea()->PresentCount();
    ASSERT_GT(spin, 0.0f);
    QTest::qWait(150);
    w.RunFrame();  // a frame asked for directly does nothing either
    EXPECT_EQ(w.ModelSpin(), spin);
    EXPECT_EQ(w.DrawingArea()->PresentCount(), presents);

    w.showNormal();
    QCoreApplication::processEvents();
    ASSERT_FALSE(w.isMinimized());
    EXPECT_TRUE(w.FrameLoopActive());
    QTest::qWait(100);
    EXPECT_GT(w.DrawingArea()->PresentCount(), presents);
    // The spin went on from where it was, not from 0.
    EXPECT_GT(w.ModelSpin(), spin);
    EXPECT_EQ(w.LoopStarts(), 1);
}

TEST_F(FramePacingTest, AModelOpenedWhileMinimisedStartsDrawingWhenShown) {
    JumpingClock clock;
    MainWindow& w = PacedWindow(60.0, &clock);
    w.showMinimized();
    QCoreApplication::processEvents();
    WriteFile(Root() / "quad.rsm", QuadModel({"wall.bmp"}));
    dialogs_.Answer((Root() / "quad.rsm").string());
    w.mnuOpen()->trigger();
    ASSERT_TRUE(dialogs_.messages.empty());
    // The open shows the window again, as it always has.
    QCoreApplication::processEvents();
    if (w.isMinimized()) {
        EXPECT_FALSE(w.FrameLoopActive());
        w.showNormal();
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(w.FrameLoopActive());
    QTest::qWait(100);
    EXPECT_GT(w.ModelSpin(), 0.0f);
}

}  // namespace
}  // namespace plovant::testing
