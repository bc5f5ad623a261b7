#pragma once
// Machine-wide actions the temperature alarm takes: a beep and a delayed power-off.
#include <cstdint>
#include <string>

namespace vx::platform {

class SystemActions {
public:
    virtual ~SystemActions() = default;
    /// Sounds a beep; `frequencyHz` and `durationMs` are honoured where the system can.
    /// Never blocks for long.
    virtual void Beep(uint32_t frequencyHz, uint32_t durationMs) = 0;
    /// Asks the system to power off after about `delaySeconds` (never sooner), without forcing
    /// applications closed and without restart, telling logged-in users `message`. False when
    /// no shutdown could be scheduled.
    virtual bool ScheduleShutdown(uint32_t delaySeconds, const std::string& message) = 0;
};

}  // namespace vx::platform
