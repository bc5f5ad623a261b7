#pragma once
// A clock that moves only when told: sleeps advance it at once.
#include "ui/IClock.h"

namespace vx::test {

class FakeClock : public ui::IClock {
public:
    uint64_t TickCountMs() const override { return nowMs; }
    void SleepMs(uint32_t ms) override {
        nowMs += ms;
        slept += ms;
    }
    std::chrono::system_clock::time_point Now() const override {
        return wallStart + std::chrono::milliseconds(nowMs);
    }
    void Advance(uint64_t ms) { nowMs += ms; }

    uint64_t nowMs = 0;
    uint64_t slept = 0;  // total of every sleep asked for
    std::chrono::system_clock::time_point wallStart{};
};

}  // namespace vx::test
