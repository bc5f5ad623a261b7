#pragma once
// Beep as a tone through the sound system and on the controlling terminal; power-off scheduled
// through systemd or shutdown(8).
#include <chrono>
#include <string>
#include <vector>

#include "platform/SystemActions.h"
#include "platform/posix/PulseTone.h"

namespace vx::platform {

class PosixSystemActions final : public SystemActions {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{5000};

    /// The programs are run by these names (searched on PATH unless they hold a slash); a run
    /// that takes longer than `timeout` is killed and counts as failed. `soundServer` is the
    /// sound server the beep's tone goes to (empty: the session's).
    explicit PosixSystemActions(std::string systemctl = "systemctl", std::string shutdown = "shutdown",
                                std::chrono::milliseconds timeout = kDefaultTimeout, std::string soundServer = {});

    /// Starts the tone on the sound server when one runs, and writes BEL to the controlling
    /// terminal when there is one; returns at once.
    void Beep(uint32_t frequencyHz, uint32_t durationMs) override;
    /// Tries each of ShutdownCommands in turn until one exits with status 0.
    bool ScheduleShutdown(uint32_t delaySeconds, const std::string& message) override;

    /// The command lines tried, in order: systemd's timed power-off (seconds, newer systemd),
    /// then shutdown(8), whose delay is in whole minutes, rounded up so it is never sooner.
    static std::vector<std::vector<std::string>> ShutdownCommands(uint32_t delaySeconds, const std::string& message,
                                                                  const std::string& systemctl,
                                                                  const std::string& shutdown);
    /// Runs `argv` without a shell, its output discarded: its exit status, or -1 when it could
    /// not be started, was killed, or ran past `timeout`.
    static int RunBounded(const std::vector<std::string>& argv, std::chrono::milliseconds timeout);

private:
    std::string systemctl_;
    std::string shutdown_;
    std::chrono::milliseconds timeout_;
    PulseTone tone_;
};

}  // namespace vx::platform
