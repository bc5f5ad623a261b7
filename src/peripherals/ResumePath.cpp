#include "peripherals/ResumePath.h"

namespace vx::peripherals {

bool ResumePath::BeforeSleep() {
    return settings_.restoreUserSettings && userSettings_.SaveUserSettings() == 1;
}

bool ResumePath::OnResume() {
    const bool applied = settings_.restoreUserSettings && userSettings_.LoadUserSettings() == 1;
    if (applied && restored_) restored_();
    if (display_) display_->Resend();
    if (effects_) effects_->NotifyResume();
    return applied;
}

}  // namespace vx::peripherals
