#pragma once
// Beeps and shutdown requests recorded instead of done.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/SystemActions.h"

namespace vx::test {

class FakeSystemActions : public platform::SystemActions {
public:
    struct BeepCall {
        uint32_t frequencyHz;
        uint32_t durationMs;
    };
    struct ShutdownCall {
        uint32_t delaySeconds;
        std::string message;
    };

    void Beep(uint32_t frequencyHz, uint32_t durationMs) override { beeps.push_back({frequencyHz, durationMs}); }
    bool ScheduleShutdown(uint32_t delaySeconds, const std::string& message) override {
        shutdowns.push_back({delaySeconds, message});
        return !refuseShutdown;
    }

    std::vector<BeepCall> beeps;
    std::vector<ShutdownCall> shutdowns;  // every request, refused or not
    bool refuseShutdown = false;          // as a system that denies the privilege
};

}  // namespace vx::test
