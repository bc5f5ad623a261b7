#pragma once
// Service state from systemd, read and changed through systemctl.
#include <chrono>
#include <string>
#include <vector>

#include "platform/ServiceControl.h"

namespace vx::platform {

class SystemdServiceControl final : public ServiceControl {
public:
    /// Output read from systemctl at most; the two properties fit many times over.
    static constexpr size_t kMaxOutput = 4096;
    static constexpr std::chrono::milliseconds kDefaultTimeout{3000};
    static constexpr std::chrono::milliseconds kPollInterval{250};

    /// `systemctl` is run by that name (searched on PATH unless it holds a slash); a run that
    /// takes longer than `timeout` is killed and counts as no answer. `userUnits` works on the
    /// user's own service manager (`systemctl --user`) instead of the system's.
    explicit SystemdServiceControl(std::string systemctl = "systemctl",
                                   std::chrono::milliseconds timeout = kDefaultTimeout,
                                   bool userUnits = false);

    /// NotInstalled for an unknown unit, a name that is not a plain unit name, or when
    /// systemctl cannot answer; Stopped for an inactive or failed unit; else Running.
    State Query(const std::string& serviceName) const override;
    /// Not answered when systemctl fails; `changing` while the unit is (de)activating.
    Status QueryStatus(const std::string& serviceName) const override;
    /// `systemctl start|stop --no-block`: queued, not waited for.
    bool Start(const std::string& serviceName) override;
    bool Stop(const std::string& serviceName) override;

    /// Letters, digits and "_.@-", not starting with "-", at most 200 characters.
    static bool IsValidName(const std::string& serviceName);
    /// Reads systemctl's "LoadState=..." and "ActiveState=..." lines.
    static State ParseShowOutput(const std::string& output);

    /// "name.service" unless the name ends in ".service" already.
    static std::string UnitName(const std::string& serviceName);

private:
    /// Runs systemctl with `args`; its exit status, or -1 when it could not run or was cut off.
    int Run(std::vector<std::string> args, std::string& output) const;
    bool Change(const char* verb, const std::string& serviceName);

    std::string systemctl_;
    std::chrono::milliseconds timeout_;
    bool userUnits_;
};

}  // namespace vx::platform
