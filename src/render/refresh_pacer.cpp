#include "render/refresh_pacer.h"

#include <cmath>
#include <thread>

namespace plovant {
namespace {

class SystemTime final : public RefreshPacer::TimeSource {
public:
    RefreshPacer::Clock::time_point Now() override { return RefreshPacer::Clock::now(); }
    void SleepUntil(RefreshPacer::Clock::time_point when) override {
        std::this_thread::sleep_until(when);
    }
};

SystemTime g_system_time;

constexpr double kLowestRate = 1.0, kHighestRate = 1000.0;

}  // namespace

RefreshPacer::RefreshPacer(double refresh_rate, TimeSource* time)
    : time_(time ? time : &g_system_time) {
    SetRefreshRate(refresh_rate);
}

void RefreshPacer::SetRefreshRate(double refresh_rate) {
    const bool usable =
        std::isfinite(refresh_rate) && refresh_rate >= kLowestRate && refresh_rate <= kHighestRate;
    const double rate = usable ? refresh_rate : kFallbackRate;
    if (rate == rate_ && period_.count() > 0) return;
    rate_ = rate;
    period_ =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
    started_ = false;
}

void RefreshPacer::WaitForRefresh() {
    const Clock::time_point now = time_->Now();
    if (!started_) {
        started_ = true;
        next_ = now + period_;
        return;
    }
    if (now > next_) {
        // Late: the refresh that was due has passed; wait for the first one still ahead.
        // Counted by division, so a long pause costs nothing.
        const auto missed = (now - next_) / period_ + 1;
        next_ += missed * period_;
    }
    time_->SleepUntil(next_);
    next_ += period_;
}

}  // namespace plovant
