#include "app/CCorvaneHDApp.h"

#include "app/CMultiLangSupp.h"
#include "platform/ThreadId.h"

namespace vx::app {

CCorvaneHDApp::CCorvaneHDApp(AppEnvironment env, driver::DriverBinding& binding)
    : env_(std::move(env)),
      autostart_(env_.autostart, env_.executablePath, env_.autostartOptions),
      gpu_(binding),
      fonts_(env_.fontDir) {
    settings_.Load(env_.settingsStore);
    // The GPU layer's own refusals (VF points) are the user's to see, not only the trace's.
    gpu_.SetPrompts(&env_.prompts);
}

void CCorvaneHDApp::ShowError(int row) {
    env_.prompts.MessageBox(Text(row), Text(msg::kAppName), ui::BoxIcon::Error, ui::BoxButtons::Ok);
}

CCorvaneHDApp::Next CCorvaneHDApp::InitInstance(const std::string& switchText) {
    startupMode_ = MatchStartupSwitch(switchText);

    switch (env_.instanceGuard.Acquire()) {
    case platform::InstanceGuard::Result::Failed:
        ShowError(msg::kAlreadyStarted);
        exitCode_ = 1;
        return Next::Exit;
    case platform::InstanceGuard::Result::AlreadyRunning:
        // The running copy shows itself; this one leaves without a word.
        env_.instanceGuard.SendToRunningCopy("show");
        exitCode_ = 0;
        return Next::Exit;
    case platform::InstanceGuard::Result::Acquired:
        break;
    }

    const int gpuResult = gpu_.Initialize();
    gpu_.SetUiThreadId(platform::CurrentThreadId());
    if (gpuResult != 0) {
        ShowError(gpuResult == 2 ? msg::kOsNotSupported : msg::kInitHardwareFailed);
        if (startupMode_ != kStartedByUser) {
            const ui::BoxAnswer answer =
                env_.prompts.MessageBox(Text(msg::kInitFailedRunAtReboot), Text(msg::kAppName),
                                        ui::BoxIcon::Question, ui::BoxButtons::YesNo);
            if (answer == ui::BoxAnswer::No) autostart_.Remove();
            exitCode_ = 1;
            return Next::Exit;
        }
    } else {
        if (settings_.restoreUserSettings && restoreUserSettings_) restoreUserSettings_();
        if (startupMode_ == kModeOnlyApplySettings) {
            exitCode_ = 0;
            return Next::Exit;
        }
    }

    ProbeLcmService();
    if (env_.fontRegistry && !fonts_.Install(*env_.fontRegistry)) ShowError(msg::kAddFontFailed);
    return Next::OpenWindow;
}

void CCorvaneHDApp::ProbeLcmService() {
    const auto state = env_.serviceControl.Query(kLcmServiceName);
    lcmServiceInstalled_ = state != platform::ServiceControl::State::NotInstalled;
    lcmServiceRunning_ = state == platform::ServiceControl::State::Running;
}

}  // namespace vx::app
