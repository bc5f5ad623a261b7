#pragma once
// Message boxes answered from a script, recording what was shown.
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ui/IPrompts.h"

namespace vx::test {

class ScriptedPrompts : public ui::IPrompts {
public:
    struct Shown {
        std::string text;
        std::string caption;
        ui::BoxIcon icon;
        ui::BoxButtons buttons;
        std::thread::id thread = std::this_thread::get_id();  // boxes belong to the interface thread
    };

    ui::BoxAnswer MessageBox(const std::string& text, const std::string& caption, ui::BoxIcon icon,
                             ui::BoxButtons buttons) override {
        shown.push_back({text, caption, icon, buttons});
        if (onShow) onShow(shown.back());
        if (answers.empty()) return buttons == ui::BoxButtons::YesNo ? ui::BoxAnswer::Yes : ui::BoxAnswer::Ok;
        const ui::BoxAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::deque<ui::BoxAnswer> answers;  // taken in order; then OK / Yes
    std::vector<Shown> shown;
    std::function<void(const Shown&)> onShow;  // while the box would be up
};

}  // namespace vx::test
