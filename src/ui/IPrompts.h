#pragma once
// Modal message boxes. Captions and texts come from the message table.
#include <string>

namespace vx::ui {

enum class BoxIcon { None, Error, Warning, Question, Information };
enum class BoxButtons { Ok, OkCancel, YesNo };
enum class BoxAnswer { Ok, Cancel, Yes, No };

class IPrompts {
public:
    virtual ~IPrompts() = default;
    /// Shows a box and waits for the answer; only on the interface thread.
    virtual BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                                 BoxButtons buttons) = 0;
};

}  // namespace vx::ui
