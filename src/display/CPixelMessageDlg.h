#pragma once
// The "APPLY CHANGE" confirmation of a tried timing: YES keeps it, NO or ten seconds without an
// answer give it up. The countdown runs on the dialog's timer.
#include "ui/DialogControls.h"
#include "ui/IEventLoop.h"

#include <atomic>
#include <cstdint>
#include <functional>

namespace vx::display {

/// Set by the confirmation: 1 keep the tried timing, 0 revert it.
inline std::atomic<int32_t> keepCustomTiming{0};

namespace pixelmessage {
constexpr const char* kCaption = "APPLY CHANGE";
constexpr const char* kQuestion = "Do you want to keep this change?";
constexpr const char* kYes = "YES";
constexpr const char* kNo = "NO";
constexpr uint32_t kTimerId = 1;
constexpr uint32_t kTickMs = 1000;
constexpr int kSeconds = 10;
}  // namespace pixelmessage

class CPixelMessageDlg {
public:
    /// `onClose` runs once, after keepCustomTiming holds the answer.
    CPixelMessageDlg(ui::IEventLoop& loop, std::function<void()> onClose);
    ~CPixelMessageDlg();
    CPixelMessageDlg(const CPixelMessageDlg&) = delete;
    CPixelMessageDlg& operator=(const CPixelMessageDlg&) = delete;

    void OnInitDialog();
    void OnTimer();
    void OnYes() { Close(1); }
    /// NO, the close box, and the dialog going away unanswered.
    void OnNo() { Close(0); }

    bool isOpen() const { return open_; }
    const ui::TextControl& countdown() const { return countdown_; }

private:
    void Close(int32_t keep);

    ui::IEventLoop& loop_;
    std::function<void()> onClose_;
    ui::TextControl countdown_;
    int counter_ = pixelmessage::kSeconds;
    bool open_ = false;
};

}  // namespace vx::display
