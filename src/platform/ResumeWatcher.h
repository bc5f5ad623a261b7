#pragma once
// Tells the program when the machine has come back from suspend.
#include <functional>

namespace vx::platform {

class ResumeWatcher {
public:
    virtual ~ResumeWatcher() = default;
    /// From now on `onResume` runs on the interface thread after every resume. False when the
    /// system offers no way to learn of one; the program then goes on without.
    virtual bool Start(std::function<void()> onResume) = 0;
};

}  // namespace vx::platform
