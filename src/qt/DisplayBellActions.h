#pragma once
// The temperature alarm on a desktop: the display server's bell, then what the platform does
// (a tone through the sound system, the terminal bell).
#include "platform/SystemActions.h"

namespace vx::qt {

class DisplayBellActions final : public platform::SystemActions {
public:
    /// `platform` must outlive this object.
    explicit DisplayBellActions(platform::SystemActions& platform) : platform_(platform) {}

    void Beep(uint32_t frequencyHz, uint32_t durationMs) override;
    bool ScheduleShutdown(uint32_t delaySeconds, const std::string& message) override {
        return platform_.ScheduleShutdown(delaySeconds, message);
    }

private:
    platform::SystemActions& platform_;
};

}  // namespace vx::qt
