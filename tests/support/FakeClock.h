#pragma once
// A clock that moves only when told: sleeps advance it at once.
#include <atomic>
#include <cstdint>

#include "ui/IClock.h"

namespace vx::test {

class FakeClock : public ui::IClock {
public:
    uint64_t TickCountMs() const override { return nowMs.load(); }
    void SleepMs(uint32_t ms) override {
        nowMs += ms;
        slept += ms;
    }
    std::chrono::system_clock::time_point Now() const override {
        return wallStart + std::chrono::milliseconds(nowMs.load());
    }
    void Advance(uint64_t ms) { nowMs += ms; }

    // Atomic: a worker thread may sleep through the clock while the test thread reads it.
    std::atomic<uint64_t> nowMs{0};
    std::atomic<uint64_t> slept{0};  // total of every sleep asked for
    std::chrono::system_clock::time_point wallStart{};
};

}  // namespace vx::test
