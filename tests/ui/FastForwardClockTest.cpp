#include <gtest/gtest.h>

#include "ui/FastForwardClock.h"

namespace vx::ui {
namespace {

// A wait of ten minutes that blocked would run this test into its time limit.
TEST(FastForwardClockTest, WaitsMoveTheTimeOnInsteadOfBlocking) {
    FastForwardClock clock;
    const uint64_t tick = clock.TickCountMs();
    const auto now = clock.Now();
    clock.SleepMs(600000);
    clock.SleepMs(100);
    EXPECT_GE(clock.TickCountMs() - tick, 600100u);
    EXPECT_GE(clock.Now() - now, std::chrono::milliseconds(600100));
}

}  // namespace
}  // namespace vx::ui
