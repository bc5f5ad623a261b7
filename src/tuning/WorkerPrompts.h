#pragma once
// Message boxes asked from a worker thread: the question runs on the interface thread
// through the event loop and the worker waits for the answer. Abort() answers every
// waiting and later question with Cancel, so a worker can never wait on a loop that is gone.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "ui/IEventLoop.h"
#include "ui/IPrompts.h"

namespace vx::tuning {

class WorkerPrompts {
public:
    WorkerPrompts(ui::IPrompts& prompts, ui::IEventLoop& loop) : prompts_(prompts), loop_(loop) {}

    /// Asks on the interface thread and blocks until answered (or aborted: Cancel).
    ui::BoxAnswer Ask(const std::string& text, const std::string& caption, ui::BoxIcon icon,
                      ui::BoxButtons buttons);
    void Abort();
    /// Accepts questions again after Abort (a new worker).
    void Reset();

private:
    struct Pending {
        std::mutex lock;
        std::condition_variable answered;
        bool done = false;
        ui::BoxAnswer answer = ui::BoxAnswer::Cancel;
    };

    ui::IPrompts& prompts_;
    ui::IEventLoop& loop_;
    std::mutex lock_;
    bool aborted_ = false;
    std::shared_ptr<Pending> pending_;
};

}  // namespace vx::tuning
