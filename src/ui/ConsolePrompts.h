#pragma once
// Message boxes without a display: the text goes to the error stream and a fixed answer is
// taken, the one that changes nothing the user set up.
#include <cstdio>

#include "ui/IPrompts.h"

namespace vx::ui {

class ConsolePrompts final : public IPrompts {
public:
    explicit ConsolePrompts(std::FILE* out = stderr) : out_(out) {}
    BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                         BoxButtons buttons) override;

private:
    std::FILE* out_;
};

}  // namespace vx::ui
