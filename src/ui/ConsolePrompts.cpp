#include "ui/ConsolePrompts.h"

namespace vx::ui {
namespace {

const char* IconLabel(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Error: return "error";
    case BoxIcon::Warning: return "warning";
    case BoxIcon::Question: return "question";
    case BoxIcon::Information: return "information";
    case BoxIcon::None: break;
    }
    return "message";
}

}  // namespace

BoxAnswer ConsolePrompts::MessageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                                     BoxButtons buttons) {
    // Nobody can answer: take "Yes" and "OK", which keep what the user configured.
    const BoxAnswer answer = buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
    std::fprintf(out_, "[%s] %s: %s\n", IconLabel(icon), caption.c_str(), text.c_str());
    if (buttons != BoxButtons::Ok)
        std::fprintf(out_, "  (no one to answer; taking \"%s\")\n", answer == BoxAnswer::Yes ? "Yes" : "OK");
    std::fflush(out_);
    return answer;
}

}  // namespace vx::ui
