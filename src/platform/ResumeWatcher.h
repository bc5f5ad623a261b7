#pragma once
// Tells the program when the machine is about to sleep and when it has come back.
#include <functional>

namespace vx::platform {

class ResumeWatcher {
public:
    virtual ~ResumeWatcher() = default;
    /// From now on, on the interface thread: `beforeSleep` before every suspend (the system waits
    /// for it where it can be asked to) and `onResume` after every resume. False when the system
    /// offers no way to learn of either; the program then goes on without.
    virtual bool Start(std::function<void()> beforeSleep, std::function<void()> onResume) = 0;
};

}  // namespace vx::platform
