#pragma once
// One running copy per user session; a second copy asks the first to show itself.
#include <functional>
#include <string>

namespace vx::platform {

class InstanceGuard {
public:
    enum class Result { Acquired, AlreadyRunning, Failed };
    virtual ~InstanceGuard() = default;
    /// Takes the instance lock; held until the guard is destroyed.
    virtual Result Acquire() = 0;
    /// From a second copy: asks the running copy to run `request` ("show", ...).
    virtual bool SendToRunningCopy(const std::string& request) = 0;
    /// In the first copy: requests from later copies arrive here (on the thread that polls).
    virtual void OnRequest(std::function<void(const std::string&)> handler) = 0;
    /// Serves pending requests without blocking.
    virtual void Poll() = 0;
};

}  // namespace vx::platform
