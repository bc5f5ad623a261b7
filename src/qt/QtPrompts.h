#pragma once
// Message boxes as Qt dialogs, owned by no window.
#include "ui/IPrompts.h"

namespace vx::qt {

class QtPrompts final : public ui::IPrompts {
public:
    ui::BoxAnswer MessageBox(const std::string& text, const std::string& caption, ui::BoxIcon icon,
                             ui::BoxButtons buttons) override;
};

}  // namespace vx::qt
