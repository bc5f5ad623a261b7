#pragma once
// Service state from systemd, read through systemctl.
#include <chrono>
#include <string>

#include "platform/ServiceControl.h"

namespace vx::platform {

class SystemdServiceControl final : public ServiceControl {
public:
    /// Output read from systemctl at most; the two properties fit many times over.
    static constexpr size_t kMaxOutput = 4096;
    static constexpr std::chrono::milliseconds kDefaultTimeout{3000};

    /// `systemctl` is run by that name (searched on PATH unless it holds a slash); a run that
    /// takes longer than `timeout` is killed and counts as no answer.
    explicit SystemdServiceControl(std::string systemctl = "systemctl",
                                   std::chrono::milliseconds timeout = kDefaultTimeout);

    /// NotInstalled for an unknown unit, a name that is not a plain unit name, or when
    /// systemctl cannot answer; Stopped for an inactive or failed unit; else Running.
    State Query(const std::string& serviceName) const override;

    /// Letters, digits and "_.@-", not starting with "-", at most 200 characters.
    static bool IsValidName(const std::string& serviceName);
    /// Reads systemctl's "LoadState=..." and "ActiveState=..." lines.
    static State ParseShowOutput(const std::string& output);

private:
    std::string systemctl_;
    std::chrono::milliseconds timeout_;
};

}  // namespace vx::platform
