#pragma once
// Queries, starts and stops a system service by name.
#include <chrono>
#include <string>

namespace vx::platform {

class ServiceControl {
public:
    enum class State { NotInstalled, Stopped, Running };

    /// One look at a service while it starts or stops.
    struct Status {
        bool answered = false;  // false: the query itself failed
        State state = State::NotInstalled;
        bool changing = false;  // starting, stopping or reloading
        std::chrono::milliseconds waitHint{0};  // how long to wait before looking again
    };

    virtual ~ServiceControl() = default;
    virtual State Query(const std::string& serviceName) const = 0;
    virtual Status QueryStatus(const std::string& serviceName) const = 0;
    /// Asks for a start or stop without waiting for it; false when refused.
    virtual bool Start(const std::string& serviceName) = 0;
    virtual bool Stop(const std::string& serviceName) = 0;
};

}  // namespace vx::platform
