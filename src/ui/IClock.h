#pragma once
// Time for everything that waits or measures, so tests run a minute of samples at once.
#include <chrono>
#include <cstdint>

namespace vx::ui {

class IClock {
public:
    virtual ~IClock() = default;
    /// Milliseconds since an arbitrary start, like a tick count.
    virtual uint64_t TickCountMs() const = 0;
    virtual void SleepMs(uint32_t ms) = 0;
    /// Local wall-clock time.
    virtual std::chrono::system_clock::time_point Now() const = 0;
};

/// The real clock.
IClock& SystemClock();

}  // namespace vx::ui
