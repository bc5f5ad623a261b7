#pragma once
// The LCD module's service: its state, start and stop with polling, the install and uninstall
// scripts, and the "LCM Services" dialog's model.
#include "platform/ProcessLauncher.h"
#include "platform/ServiceControl.h"
#include "ui/DialogControls.h"
#include "ui/IClock.h"
#include "ui/IPrompts.h"

#include <filesystem>
#include <optional>
#include <string>

namespace vx::peripherals {

inline constexpr const char* kLcmServiceUnit = "TestServices";
inline constexpr const char* kLcmServiceProgram = "TestService";
inline constexpr const char* kLcmSetupScript = "setupservices.sh";
inline constexpr const char* kLcmDeleteScript = "deleteservices.sh";

/// The user unit that runs the service program from `programDir`; nullopt for a folder that a
/// unit file cannot carry (a line break or another control character).
std::optional<std::string> LcmUnitText(const std::filesystem::path& programDir);
/// The two scripts' texts: the setup writes the unit into the user's unit folder and enables it.
std::optional<std::string> LcmSetupScriptText(const std::filesystem::path& programDir);
std::string LcmDeleteScriptText();

class LcmService {
public:
    /// Polls of one start or stop at most; a service that never settles ends the wait.
    static constexpr int kMaxPolls = 240;

    /// `installed` and `running` are the start-up probe's (CCorvaneHDApp::ProbeLcmService).
    LcmService(platform::ServiceControl& control, ui::IPrompts& prompts, ui::IClock& clock, bool installed,
               bool running);

    /// Stops a running service or starts a stopped one, waiting until it has, and tells the user.
    void ToggleLcmService();
    /// Stops the service when it runs, waiting as the toggle does, without a word.
    void StopLcmService();
    /// Writes both scripts into `programDir`, executable; one that cannot be written is skipped.
    /// True when both were written.
    static bool WriteServiceScripts(const std::filesystem::path& programDir);

    bool installed() const { return installed_; }
    bool running() const { return running_; }

private:
    using State = platform::ServiceControl::State;
    /// Polls until the service reports `target`; false when a query failed or it never did.
    bool WaitFor(State target);

    platform::ServiceControl& control_;
    ui::IPrompts& prompts_;
    ui::IClock& clock_;
    bool installed_;
    bool running_;
};

/// The "LCM Services" dialog (resource 554).
class CLCMServicesDlg {
public:
    enum Result { kStillOpen, kClosedOk, kClosedCancel };

    CLCMServicesDlg(LcmService& service, platform::ProcessLauncher& launcher, std::filesystem::path programDir);

    void OnInitDialog();
    Result OnStartStop();
    /// Runs the setup script; false when it could not be started.
    bool OnInstall();
    /// Stops the service, then runs the delete script.
    bool OnUninstall();
    Result OnCancel() { return kClosedCancel; }

    ui::TextControl caption{554, "LCM Services"};
    ui::TextControl startStop{1, "Start/Stop"};
    ui::TextControl cancel{2, "Cancel"};
    ui::TextControl install{1025, "Install Services"};
    ui::TextControl uninstall{1106, "UnInstall Services"};
    ui::RadioButton runningRadio{1132, "Running"};
    ui::RadioButton stoppedRadio{1133, "Stopped"};

private:
    LcmService& service_;
    platform::ProcessLauncher& launcher_;
    std::filesystem::path programDir_;
};

}  // namespace vx::peripherals
