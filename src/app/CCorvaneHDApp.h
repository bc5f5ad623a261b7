#pragma once
// The application object: settings, single instance, GPU layer, restore, service probe and
// fonts, in the start-up order. The window and the message loop belong to the front end.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/AppSettings.h"
#include "app/AutostartEntry.h"
#include "app/FontSet.h"
#include "gpu/GpuAccess.h"
#include "platform/InstanceGuard.h"
#include "platform/ServiceControl.h"
#include "platform/SettingsStore.h"
#include "ui/IPrompts.h"

namespace vx::app {

/// The seams the application object works through.
struct AppEnvironment {
    platform::SettingsStore& settingsStore;
    platform::Autostart& autostart;
    platform::InstanceGuard& instanceGuard;
    platform::ServiceControl& serviceControl;
    ui::IPrompts& prompts;
    FontRegistry* fontRegistry = nullptr;  // null: no fonts to install (no window)
    std::string executablePath;
    std::filesystem::path fontDir = "fonts";
    std::vector<std::string> autostartOptions;  // written after the path into the autostart entry
};

/// The module service whose presence the settings dialog reports.
inline constexpr const char* kLcmServiceName = "TestServices";

class CCorvaneHDApp {
public:
    enum class Next { OpenWindow, Exit };

    /// Reads the persistent settings, as the constructor of the one application object does.
    CCorvaneHDApp(AppEnvironment env, driver::DriverBinding& binding);

    /// The start-up sequence up to the window: switch, single instance, GPU layer, restore,
    /// service probe, fonts. `Exit` means the process ends without a window.
    Next InitInstance(const std::string& switchText);

    /// The settings-file restore of start-up; returns whether settings were applied.
    void SetUserSettingsRestore(std::function<bool()> restore) { restoreUserSettings_ = std::move(restore); }

    GpuAccess& gpu() { return gpu_; }
    AppSettings& settings() { return settings_; }
    AutostartEntry& autostart() { return autostart_; }
    const FontSet& fonts() const { return fonts_; }
    int startupMode() const { return startupMode_; }
    bool lcmServiceInstalled() const { return lcmServiceInstalled_; }
    bool lcmServiceRunning() const { return lcmServiceRunning_; }
    /// Exit status for an early exit: 0 for the silent and deliberate ones, 1 for failures.
    int exitCode() const { return exitCode_; }

    /// Filled by the settings loader: GPU clock offset, memory clock offset, over-voltage,
    /// power target, temperature target, fan work mode, fan speed.
    std::array<int32_t, 7> lastLoadedSettings{};

private:
    void ShowError(int row);
    void ProbeLcmService();

    AppEnvironment env_;
    AppSettings settings_;
    AutostartEntry autostart_;
    GpuAccess gpu_;
    FontSet fonts_;
    std::function<bool()> restoreUserSettings_;
    int startupMode_ = kStartedByUser;
    bool lcmServiceInstalled_ = false;
    bool lcmServiceRunning_ = false;
    int exitCode_ = 0;
};

}  // namespace vx::app
