#include "tuning/WorkerPrompts.h"

namespace vx::tuning {

ui::BoxAnswer WorkerPrompts::Ask(const std::string& text, const std::string& caption, ui::BoxIcon icon,
                                 ui::BoxButtons buttons) {
    auto pending = std::make_shared<Pending>();
    {
        std::lock_guard guard(lock_);
        if (aborted_) return ui::BoxAnswer::Cancel;
        pending_ = pending;
    }
    loop_.Post([this, pending, text, caption, icon, buttons] {
        {
            std::lock_guard guard(pending->lock);
            if (pending->done) return;  // aborted before the loop got to it
        }
        const ui::BoxAnswer answer = prompts_.MessageBox(text, caption, icon, buttons);
        std::lock_guard guard(pending->lock);
        if (!pending->done) pending->answer = answer;
        pending->done = true;
        pending->answered.notify_all();
    });
    std::unique_lock wait(pending->lock);
    pending->answered.wait(wait, [&] { return pending->done; });
    const ui::BoxAnswer answer = pending->answer;
    wait.unlock();
    std::lock_guard guard(lock_);
    if (pending_ == pending) pending_.reset();
    return answer;
}

void WorkerPrompts::Abort() {
    std::shared_ptr<Pending> pending;
    {
        std::lock_guard guard(lock_);
        aborted_ = true;
        pending = pending_;
    }
    if (!pending) return;
    std::lock_guard guard(pending->lock);
    pending->answer = ui::BoxAnswer::Cancel;
    pending->done = true;
    pending->answered.notify_all();
}

void WorkerPrompts::Reset() {
    std::lock_guard guard(lock_);
    aborted_ = false;
}

}  // namespace vx::tuning
