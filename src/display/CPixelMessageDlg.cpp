#include "display/CPixelMessageDlg.h"

#include <cstdio>

namespace vx::display {

CPixelMessageDlg::CPixelMessageDlg(ui::IEventLoop& loop, std::function<void()> onClose)
    : loop_(loop), onClose_(std::move(onClose)) {}

CPixelMessageDlg::~CPixelMessageDlg() {
    if (open_) loop_.KillTimer(pixelmessage::kTimerId);
}

void CPixelMessageDlg::OnInitDialog() {
    keepCustomTiming = 0;
    counter_ = pixelmessage::kSeconds;
    open_ = true;
    loop_.SetTimer(pixelmessage::kTimerId, pixelmessage::kTickMs, [this] { OnTimer(); });
}

void CPixelMessageDlg::OnTimer() {
    if (!open_) return;
    char text[64];
    std::snprintf(text, sizeof text, "Cancel after %d seconds.", counter_);
    countdown_.text = text;
    if (counter_-- == 1) Close(0);
}

void CPixelMessageDlg::Close(int32_t keep) {
    if (!open_) return;
    open_ = false;
    loop_.KillTimer(pixelmessage::kTimerId);
    keepCustomTiming = keep;
    if (onClose_) onClose_();
}

}  // namespace vx::display
