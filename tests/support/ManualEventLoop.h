#pragma once
// An event loop driven by the test: posted tasks run on RunPending, timers fire as the fake
// clock is advanced with RunFor.
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "support/FakeClock.h"
#include "ui/IEventLoop.h"

namespace vx::test {

class ManualEventLoop : public ui::IEventLoop {
public:
    explicit ManualEventLoop(FakeClock& clock) : clock_(clock) {}

    void Post(std::function<void()> task) override {
        std::lock_guard guard(lock_);
        posted_.push_back(std::move(task));
    }
    void SetTimer(uint32_t id, uint32_t intervalMs, std::function<void()> onTick) override {
        const uint32_t interval = intervalMs ? intervalMs : 1;  // a zero interval must not spin forever
        timers_[id] = Timer{interval, clock_.nowMs + interval, std::move(onTick)};
    }
    void KillTimer(uint32_t id) override { timers_.erase(id); }
    void Quit(int exitCode) override { quitCode = exitCode; }

    /// Runs the tasks posted so far (and those they post), in order.
    void RunPending() {
        for (;;) {
            std::vector<std::function<void()>> batch;
            {
                std::lock_guard guard(lock_);
                batch.swap(posted_);
            }
            if (batch.empty()) return;
            for (auto& task : batch) task();
        }
    }

    /// Advances the clock by `ms`, firing every timer that falls due, in time order.
    void RunFor(uint64_t ms) {
        const uint64_t end = clock_.nowMs + ms;
        for (;;) {
            auto next = timers_.end();
            for (auto it = timers_.begin(); it != timers_.end(); ++it)
                if (it->second.dueMs <= end && (next == timers_.end() || it->second.dueMs < next->second.dueMs))
                    next = it;
            if (next == timers_.end()) break;
            clock_.nowMs = next->second.dueMs;
            next->second.dueMs += next->second.intervalMs;
            auto tick = next->second.onTick;  // the handler may kill or reset its own timer
            tick();
            RunPending();
        }
        clock_.nowMs = end;
    }

    bool HasTimer(uint32_t id) const { return timers_.count(id) > 0; }
    std::optional<int> quitCode;

private:
    struct Timer {
        uint32_t intervalMs;
        uint64_t dueMs;
        std::function<void()> onTick;
    };
    FakeClock& clock_;
    std::mutex lock_;
    std::vector<std::function<void()>> posted_;
    std::map<uint32_t, Timer> timers_;
};

}  // namespace vx::test
