// Paces the frames presented to a window to the display's refresh: a present waits for
// the next refresh after the previous one, as a display's vertical blank would make it.
// Only the window's present path uses it; drawing off-screen runs at full speed.
//
// Refreshes fall on a grid of 1/rate steps anchored at the first present after a
// (re)start. A present that comes in time waits for the next point of the grid; one that
// comes late waits for the point after it, so at most one present lands per refresh.
#pragma once

#include <chrono>

namespace plovant {

class RefreshPacer {
public:
    using Clock = std::chrono::steady_clock;

    // Where the time comes from and how waiting is done; tests supply their own.
    class TimeSource {
    public:
        virtual ~TimeSource() = default;
        virtual Clock::time_point Now() = 0;
        virtual void SleepUntil(Clock::time_point when) = 0;
    };

    // The rate used when the display does not report a usable one.
    static constexpr double kFallbackRate = 60.0;

    // `time` must outlive the pacer; null: the steady clock and a real sleep.
    explicit RefreshPacer(double refresh_rate = kFallbackRate, TimeSource* time = nullptr);

    // A rate from 1 to 1000 Hz is taken as it is; anything else (0 or negative when the
    // display does not know, NaN, absurdly high) gives kFallbackRate. Takes effect from
    // the next present on, which starts a new grid.
    void SetRefreshRate(double refresh_rate);
    double RefreshRate() const { return rate_; }
    Clock::duration Period() const { return period_; }

    // Waits until the display's next refresh. The first call after construction or
    // Restart returns at once.
    void WaitForRefresh();

    // Forgets the grid, e.g. after the window was minimised: the next present goes out at
    // once instead of waiting for a refresh computed from long ago.
    void Restart() { started_ = false; }

private:
    TimeSource* time_;
    double rate_ = kFallbackRate;
    Clock::duration period_{};
    bool started_ = false;
    Clock::time_point next_{};  // the refresh the next present waits for
};

}  // namespace plovant
