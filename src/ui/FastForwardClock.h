#pragma once
// Time for a simulated driver.
#include <atomic>

#include "ui/IClock.h"

namespace vx::ui {

/// The real clock, except that a wait returns at once and moves this clock's time on by what it
/// would have waited. For a simulated driver, whose devices need no time to settle: the waits
/// written for real boards then cost nothing, and time still passes for the simulation.
class FastForwardClock final : public IClock {
public:
    uint64_t TickCountMs() const override { return SystemClock().TickCountMs() + skippedMs_.load(); }
    void SleepMs(uint32_t ms) override { skippedMs_.fetch_add(ms); }
    std::chrono::system_clock::time_point Now() const override {
        return SystemClock().Now() + std::chrono::milliseconds(skippedMs_.load());
    }

private:
    std::atomic<uint64_t> skippedMs_{0};
};

}  // namespace vx::ui
