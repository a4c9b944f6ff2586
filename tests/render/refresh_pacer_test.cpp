// Pacing of presents to the display's refresh, on a clock the test moves by hand.
#include "render/refresh_pacer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

namespace plovant {
namespace {

using Clock = RefreshPacer::Clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

// Time stands still unless the test or a sleep moves it; sleeps are recorded.
class ManualTime : public RefreshPacer::TimeSource {
public:
    Clock::time_point now{};
    std::vector<Clock::time_point> sleeps;
    Clock::time_point Now() override { return now; }
    void SleepUntil(Clock::time_point when) override {
        sleeps.push_back(when);
        if (when > now) now = when;
    }
};

TEST(RefreshPacer, FirstPresentGoesAtOnceThenOnePerRefresh) {
    ManualTime time;
    RefreshPacer pacer(50.0, &time);  // 20 ms
    ASSERT_EQ(pacer.Period(), milliseconds(20));
    pacer.WaitForRefresh();
    EXPECT_TRUE(time.sleeps.empty());
    EXPECT_EQ(time.now, Clock::time_point{});

    // Frames that take 3 ms each: every present lands on the next 20 ms step.
    for (int frame = 1; frame <= 5; ++frame) {
        time.now += milliseconds(3);
        pacer.WaitForRefresh();
        EXPECT_EQ(time.now, Clock::time_point{} + milliseconds(20 * frame)) << frame;
    }
}

TEST(RefreshPacer, PresentsCannotOutrunTheRefreshWhateverTheFrameTime) {
    // However fast the frames are drawn, n presents need at least n - 1 refresh periods.
    for (const auto frame_time : {microseconds(0), microseconds(1), microseconds(16666),
                                  microseconds(16667), microseconds(40000)}) {
        ManualTime time;
        RefreshPacer pacer(60.0, &time);
        const Clock::time_point start = time.now;
        std::vector<Clock::time_point> presents;
        for (int i = 0; i < 120; ++i) {
            time.now += frame_time;
            pacer.WaitForRefresh();
            presents.push_back(time.now);
        }
        for (size_t i = 1; i < presents.size(); ++i) {
            EXPECT_GE(presents[i] - presents[i - 1], pacer.Period() - microseconds(1))
                << "frame time " << frame_time.count() << " us, present " << i;
        }
        EXPECT_GE(time.now - start, 119 * pacer.Period());
    }
}

TEST(RefreshPacer, ALateFrameWaitsForTheNextRefreshNotTheMissedOne) {
    ManualTime time;
    RefreshPacer pacer(100.0, &time);  // 10 ms
    pacer.WaitForRefresh();            // refresh grid at 0, 10, 20, ...
    time.now += milliseconds(25);      // the refreshes at 10 and 20 were missed
    pacer.WaitForRefresh();
    EXPECT_EQ(time.now, Clock::time_point{} + milliseconds(30));
    // Exactly on a refresh: that one is taken, without waiting.
    time.now += milliseconds(10);
    pacer.WaitForRefresh();
    EXPECT_EQ(time.now, Clock::time_point{} + milliseconds(40));
    // A pause of an hour costs no loop per missed refresh, and lands on the grid.
    time.now += std::chrono::hours(1) + microseconds(1);
    pacer.WaitForRefresh();
    EXPECT_EQ((time.now - Clock::time_point{}) % milliseconds(10), Clock::duration::zero());
    EXPECT_LE(time.now - (Clock::time_point{} + milliseconds(40) + std::chrono::hours(1)),
              milliseconds(10));
}

TEST(RefreshPacer, RestartSendsTheNextPresentAtOnce) {
    ManualTime time;
    RefreshPacer pacer(60.0, &time);
    pacer.WaitForRefresh();
    pacer.Restart();
    time.now += milliseconds(1);
    const Clock::time_point before = time.now;
    pacer.WaitForRefresh();
    EXPECT_EQ(time.now, before);
    // The grid starts again at that present.
    pacer.WaitForRefresh();
    EXPECT_EQ(time.now, before + pacer.Period());
}

TEST(RefreshPacer, RatesTheDisplayCannotHaveFallBackTo60) {
    RefreshPacer pacer;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const double bad : {0.0, -60.0, 0.999, 1000.001, nan, inf, -inf}) {
        pacer.SetRefreshRate(bad);
        EXPECT_EQ(pacer.RefreshRate(), RefreshPacer::kFallbackRate) << bad;
    }
    for (const double good : {1.0, 59.94, 144.0, 1000.0}) {
        pacer.SetRefreshRate(good);
        EXPECT_EQ(pacer.RefreshRate(), good);
        const double period = std::chrono::duration<double>(pacer.Period()).count();
        EXPECT_NEAR(period, 1.0 / good, 1e-9) << good;
    }
}

TEST(RefreshPacer, ANewRateStartsANewGrid) {
    ManualTime time;
    RefreshPacer pacer(10.0, &time);  // 100 ms
    pacer.WaitForRefresh();
    time.now += milliseconds(5);
    pacer.SetRefreshRate(100.0);  // 10 ms: the next present goes at once
    const Clock::time_point before = time.now;
    pacer.WaitForRefresh();
    EXPECT_EQ(time.now, before);
    pacer.WaitForRefresh();
    EXPECT_EQ(time.now, before + milliseconds(10));
    // The same rate again changes nothing.
    pacer.SetRefreshRate(100.0);
    pacer.WaitForRefresh();
    EXPECT_EQ(time.now, before + milliseconds(20));
}

TEST(RefreshPacer, RealClockKeepsTenPresentsApart) {
    // The system clock and sleep: ten presents at 200 Hz take at least 9 periods.
    RefreshPacer pacer(200.0);
    const auto start = Clock::now();
    for (int i = 0; i < 10; ++i) pacer.WaitForRefresh();
    EXPECT_GE(Clock::now() - start, 9 * pacer.Period());
}

}  // namespace
}  // namespace plovant
