#include "peripherals/LcmService.h"

#include "app/CMultiLangSupp.h"
#include "platform/AtomicFile.h"

#include <system_error>

namespace vx::peripherals {
namespace {

constexpr const char* kUnitFolder = "${XDG_CONFIG_HOME:-$HOME/.config}/systemd/user";
constexpr const char* kUnitEnd = "VXPLUS_UNIT_END";

// A path inside a unit file: systemd expands "%" specifiers everywhere, and "$" variables and
// quotes on command lines.
std::optional<std::string> UnitPath(const std::string& path, bool commandLine) {
    const bool quoted = commandLine;
    std::string out;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return std::nullopt;
        if (c == '%') out += "%%";
        else if (c == '$' && commandLine) out += "$$";
        else if (quoted && (c == '"' || c == '\\')) out += {'\\', c};
        else out += c;
    }
    return quoted ? "\"" + out + "\"" : out;
}

}  // namespace

std::optional<std::string> LcmUnitText(const std::filesystem::path& programDir) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(programDir, error).lexically_normal();
    if (error) return std::nullopt;
    const std::optional<std::string> program = UnitPath((folder / kLcmServiceProgram).string(), true);
    const std::optional<std::string> workingDir = UnitPath(folder.string(), false);
    if (!program || !workingDir) return std::nullopt;
    return "[Unit]\n"
           "Description=Veltrix Plus LCD module service\n"
           "\n"
           "[Service]\n"
           "ExecStart=" + *program + "\n"
           "WorkingDirectory=" + *workingDir + "\n"
           "Restart=on-failure\n"
           "\n"
           "[Install]\n"
           "WantedBy=default.target\n";
}

std::optional<std::string> LcmSetupScriptText(const std::filesystem::path& programDir) {
    const std::optional<std::string> unit = LcmUnitText(programDir);
    if (!unit) return std::nullopt;
    const std::string name = std::string(kLcmServiceUnit) + ".service";
    return "#!/bin/sh\n"
           "# Installs the LCD module's service as a user unit and enables it.\n"
           "set -e\n"
           "dir=\"" + std::string(kUnitFolder) + "\"\n"
           "mkdir -p \"$dir\"\n"
           "cat > \"$dir/" + name + "\" <<'" + kUnitEnd + "'\n" + *unit + kUnitEnd + "\n"
           "systemctl --user daemon-reload\n"
           "systemctl --user enable " + name + "\n";
}

std::string LcmDeleteScriptText() {
    const std::string name = std::string(kLcmServiceUnit) + ".service";
    return "#!/bin/sh\n"
           "# Removes the LCD module's service.\n"
           "dir=\"" + std::string(kUnitFolder) + "\"\n"
           "systemctl --user disable " + name + "\n"
           "rm -f \"$dir/" + name + "\"\n"
           "systemctl --user daemon-reload\n";
}

LcmService::LcmService(platform::ServiceControl& control, ui::IPrompts& prompts, ui::IClock& clock, bool installed,
                       bool running)
    : control_(control), prompts_(prompts), clock_(clock), installed_(installed), running_(running) {}

bool LcmService::WaitFor(State target) {
    for (int poll = 0; poll < kMaxPolls; ++poll) {
        const platform::ServiceControl::Status status = control_.QueryStatus(kLcmServiceUnit);
        if (!status.answered) return false;
        if (status.state == target && !status.changing) return true;
        clock_.SleepMs(static_cast<uint32_t>(status.waitHint.count()));
    }
    return false;
}

void LcmService::ToggleLcmService() {
    const platform::ServiceControl::Status status = control_.QueryStatus(kLcmServiceUnit);
    if (!status.answered || status.state == State::NotInstalled) return;
    if (status.changing) {
        running_ = true;
        return;
    }
    const auto tell = [this](const char* text) {
        prompts_.MessageBox(text, app::Text(app::msg::kAppName), ui::BoxIcon::Information, ui::BoxButtons::Ok);
    };
    if (status.state == State::Running) {
        if (!control_.Stop(kLcmServiceUnit) || !WaitFor(State::Stopped)) return;
        running_ = false;
        tell("stop success.");
        return;
    }
    running_ = false;
    if (!control_.Start(kLcmServiceUnit) || !WaitFor(State::Running)) return;
    running_ = true;
    tell("start success.");
}

void LcmService::StopLcmService() {
    if (control_.QueryStatus(kLcmServiceUnit).state != State::Running) return;
    if (control_.Stop(kLcmServiceUnit) && WaitFor(State::Stopped)) running_ = false;
}

bool LcmService::WriteServiceScripts(const std::filesystem::path& programDir) {
    const std::optional<std::string> setup = LcmSetupScriptText(programDir);
    bool all = true;
    const auto write = [&all, &programDir](const char* name, const std::string& text) {
        const std::filesystem::path path = programDir / name;
        std::error_code error;
        if (!platform::WriteFileAtomically(path, text)) {
            all = false;
            return;
        }
        std::filesystem::permissions(path, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                               std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                               std::filesystem::perms::others_exec,
                                     error);
        if (error) all = false;
    };
    if (setup) write(kLcmSetupScript, *setup);
    else all = false;
    write(kLcmDeleteScript, LcmDeleteScriptText());
    return all;
}

CLCMServicesDlg::CLCMServicesDlg(LcmService& service, platform::ProcessLauncher& launcher,
                                 std::filesystem::path programDir)
    : service_(service), launcher_(launcher), programDir_(std::move(programDir)) {}

void CLCMServicesDlg::OnInitDialog() {
    const bool installed = service_.installed();
    startStop.visible = installed;
    uninstall.visible = installed;
    install.visible = !installed;
    cancel.visible = !installed;
    runningRadio.checked = service_.running();
    stoppedRadio.checked = !service_.running();
    // They show the state; the Start/Stop button changes it.
    runningRadio.enabled = stoppedRadio.enabled = false;
}

CLCMServicesDlg::Result CLCMServicesDlg::OnStartStop() {
    service_.ToggleLcmService();
    return kClosedOk;
}

bool CLCMServicesDlg::OnInstall() { return launcher_.Start(programDir_ / kLcmSetupScript); }

bool CLCMServicesDlg::OnUninstall() {
    service_.StopLcmService();
    return launcher_.Start(programDir_ / kLcmDeleteScript);
}

}  // namespace vx::peripherals
