#pragma once
// The interface thread's loop: timers and tasks posted from other threads.
#include <cstdint>
#include <functional>

namespace vx::ui {

class IEventLoop {
public:
    virtual ~IEventLoop() = default;
    /// Runs `task` on the interface thread; safe from any thread.
    virtual void Post(std::function<void()> task) = 0;
    /// Starts or restarts timer `id`: `onTick` runs every `intervalMs` on the interface thread.
    virtual void SetTimer(uint32_t id, uint32_t intervalMs, std::function<void()> onTick) = 0;
    virtual void KillTimer(uint32_t id) = 0;
    /// Ends the loop.
    virtual void Quit(int exitCode) = 0;
};

}  // namespace vx::ui
