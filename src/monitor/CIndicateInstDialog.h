#pragma once
// The temperature alarm's message window: one text and an "OK" button, shown modally. The
// view draws it; the model says what it shows and whether it is open.
#include <string>

namespace vx::monitor {

class CIndicateInstDialog {
public:
    static constexpr int kTemplateId = 178;

    const std::string& caption() const { return caption_; }
    const std::string& text() const { return text_; }
    bool isOpen() const { return open_; }

    /// Fills the window for the next showing.
    void Prepare(std::string caption, std::string text) {
        caption_ = std::move(caption);
        text_ = std::move(text);
    }
    void SetOpen(bool open) { open_ = open; }

private:
    std::string caption_;
    std::string text_;
    bool open_ = false;
};

}  // namespace vx::monitor
