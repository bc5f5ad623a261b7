#pragma once
// The maker's USB keyboard: its two controls on the lighting page (shown only while it is
// attached), lighting sync through its vendor library, and its configuration program.
#include "peripherals/KeyboardBacklight.h"
#include "peripherals/LedEffects.h"
#include "platform/DeviceList.h"
#include "platform/ProcessLauncher.h"
#include "ui/CCVButton.h"
#include "ui/IPrompts.h"

#include <filesystem>

namespace vx::peripherals {

class KeyboardCompanion {
public:
    static constexpr const char* kVendor = "1024";
    static constexpr const char* kProduct = "2030";
    static constexpr const char* kProgramName = "VXP KeyBoard Advance";
    static constexpr const char* kListFailed = "获取系统设备列表失败";
    static constexpr const char* kIdentifierFailed = "获取设备识别字符串失败";

    KeyboardCompanion(platform::DeviceList& devices, platform::ProcessLauncher& launcher, ui::IPrompts& prompts,
                      LedEffects& effects, KeyboardBacklight& backlight, std::filesystem::path programFolder);
    ~KeyboardCompanion();

    /// Whether the keyboard is attached; a failed enumeration is shown and counts as absent.
    bool FindCompanionKeyboard();
    /// The lighting page became visible (true) or another page did.
    void OnPageShown(bool lightingPage);
    void OnDeviceChange(const platform::UsbEvent& event, bool lightingPageActive);
    void ToggleKeyboardSync();
    void LaunchCompanion();
    /// At exit: ends the companion this program started, and nothing else.
    void CloseCompanion();
    std::filesystem::path CompanionPath() const;

    static bool IsCompanion(const platform::UsbIdentity& identity);

    ui::CCVButton syncToggle;
    ui::CCVButton launch;

private:
    void ShowControls(bool shown);
    void SyncOff();

    platform::DeviceList& devices_;
    platform::ProcessLauncher& launcher_;
    ui::IPrompts& prompts_;
    LedEffects& effects_;
    KeyboardBacklight& backlight_;
    std::filesystem::path programFolder_;
};

}  // namespace vx::peripherals
