#pragma once
// Queries a system service by name (install, start and stop come with the module service).
#include <string>

namespace vx::platform {

class ServiceControl {
public:
    enum class State { NotInstalled, Stopped, Running };
    virtual ~ServiceControl() = default;
    virtual State Query(const std::string& serviceName) const = 0;
};

}  // namespace vx::platform
