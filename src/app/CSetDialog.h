#pragma once
// The settings dialog: startup option, settings-file restore, charts, update check, fan
// schemes, temperature alarm and on-screen display choices.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "app/AppSettings.h"
#include "app/AutostartEntry.h"
#include "gpu/GpuRecord.h"
#include "platform/SettingsStore.h"
#include "ui/DialogControls.h"

namespace vx::app {

/// What the dialog needs to know about the current GPU and the machine.
struct SetDialogContext {
    bool supportedGpu = false;         // the fan schemes act on the current GPU
    bool quirk0E22 = false;            // the one board the silent scheme is made for
    bool lcmServiceInstalled = false;  // LCD module service found at start

    /// The flags of the current GPU's record; `record` may be null (no GPU).
    static SetDialogContext ForGpu(const GpuRecord* record, bool lcmServiceInstalled);
};

/// Effects that belong to other windows; each may be left empty.
struct SetDialogHooks {
    std::function<void(uint32_t intervalMs)> setSamplingInterval;  // charts, panels, monitor
    std::function<void(bool show)> setFramerateFeed;               // on-screen display feed
    std::function<void()> openPasswordDialog;
};

/// The dialog's controls, in the order the view lays them out.
struct SetDialogControls {
    std::string caption;
    ui::TextControl startupGroup;
    std::array<ui::RadioButton, 5> startup;  // modes 1 to 5
    ui::TextControl saveGroup;
    ui::CheckBox restoreUserSettings;
    ui::TextControl curveGroup;
    ui::CheckBox curveDrawing;
    ui::TextControl samplingLabel;
    ui::ChoiceList samplingPeriod;
    ui::TextControl autoUpdateGroup;
    ui::CheckBox autoUpdate;
    ui::CheckBox hdmiAutoSet;
    ui::TextControl fanGroup;
    ui::CheckBox fanTempSet;
    ui::CheckBox customMode;
    ui::CheckBox silentMode;
    ui::CheckBox performanceMode;
    ui::TextControl tempLowLabel;
    ui::ChoiceList tempLow;
    ui::TextControl tempOverLabel;
    ui::ChoiceList tempOver;
    ui::TextControl fanLowLabel;
    ui::ChoiceList fanLow;
    ui::TextControl fanHighLabel;
    ui::ChoiceList fanHigh;
    ui::CheckBox fanSpeedTest;  // hidden, kept for the store
    // How the user curve comes down: degrees below its rise, and seconds spent there.
    ui::TextControl curveHysteresisLabel;
    ui::ChoiceList curveHysteresis;  // item i: i °C
    ui::TextControl curveSpinDownLabel;
    ui::ChoiceList curveSpinDown;    // item i: i seconds
    ui::CheckBox temperatureAlarm;
    ui::ChoiceList alarmTemperature;
    ui::TextControl osdGroup;  // "On-screen Display"
    ui::CheckBox osdClock;
    ui::CheckBox osdTemperature;
    ui::CheckBox osdFanSpeed;
    ui::CheckBox osdFramerate;
    ui::TextControl lcmService;
    ui::TextControl changePassword;
    ui::TextControl ok;
    ui::TextControl cancel;
};

class CSetDialog {
public:
    static constexpr int kTemplateId = 1270;
    static constexpr int kFirstStartupOptionId = 1282;

    enum class State { Open, Accepted, Canceled };

    CSetDialog(AppSettings& settings, platform::SettingsStore& store, AutostartEntry& autostart,
               SetDialogContext context, SetDialogHooks hooks = {});

    /// Fills every control from the message table, the store and the autostart entry.
    void OnInitDialog();
    /// Stores the controls' values and closes the dialog.
    void OnOK();
    /// Closes without storing anything.
    void OnCancel();
    /// The "Change Password" button.
    void OnChangePassword();

    /// A click on startup option `index` (0 to 4): it alone is checked.
    void SelectStartupOption(int index);
    /// The three fan-scheme check boxes exclude each other and switch the custom-mode lists.
    void SetCustomMode(bool on);
    void SetSilentMode(bool on);
    void SetPerformanceMode(bool on);
    /// The alarm check box; its list is usable exactly while it is checked.
    void SetTemperatureAlarm(bool on);

    SetDialogControls& Controls() { return controls_; }
    const SetDialogControls& Controls() const { return controls_; }
    State state() const { return state_; }

private:
    void SetTexts();
    void SetCustomControlsEnabled(bool enabled);
    void FillLists();
    void StoreFlag(const char* name, const ui::CheckBox& box, bool& field);

    AppSettings& settings_;
    platform::SettingsStore& store_;
    AutostartEntry& autostart_;
    SetDialogContext context_;
    SetDialogHooks hooks_;
    SetDialogControls controls_;
    State state_ = State::Open;
};

}  // namespace vx::app
