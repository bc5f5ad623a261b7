#pragma once
// The persistent settings of the application, their defaults and the start-up read.
#include <cstdint>

#include "platform/SettingsStore.h"

namespace vx::app {

/// Value names in the settings store.
namespace reg {
inline constexpr const char* kRestoreUserSettings = "RestoreUserSettings";
inline constexpr const char* kAutoUpdate = "AutoUpdate";
inline constexpr const char* kHdmiAutoSet = "HdmiAutoSet";
inline constexpr const char* kFanTempSet = "FanTempSet";
inline constexpr const char* kSamplingPeriod = "SamplingPeriod";
inline constexpr const char* kIphonePassWord = "IphonePassWord";
inline constexpr const char* kOsdClockShow = "OSDClockShow";
inline constexpr const char* kOsdTempShow = "OSDTempShow";
inline constexpr const char* kOsdFramerateShow = "OSDFramerateShow";
inline constexpr const char* kOsdFanSpeedShow = "OSDFanSpeedShow";
inline constexpr const char* kHighSet = "HighSet";
inline constexpr const char* kHighSet2 = "HighSet2";
inline constexpr const char* kHighSet3 = "HighSet3";
inline constexpr const char* kTemplowSet = "TemplowSet";
inline constexpr const char* kFansSet = "FansSet";
inline constexpr const char* kTempSet = "TempSet";
inline constexpr const char* kFansHighSet = "FansHighSet";
inline constexpr const char* kFanSpeedTest = "FanSpeedTest";
inline constexpr const char* kTemperatureAlarmSet = "TemperatureAlarmSet";
inline constexpr const char* kTemperatureAlarmValue = "TemperatureAlarmValue";
inline constexpr const char* kFanCurveHysteresis = "FanCurveHysteresis";
inline constexpr const char* kFanCurveSpinDownDelay = "FanCurveSpinDownDelay";
}  // namespace reg

/// Custom-mode formulas over a list choice (0-based; the store keeps choice + 1).
constexpr int LowTemperatureForChoice(int choice) { return (choice + 10) * 5; }   // 50, 55 °C
constexpr int LowFanSpeedForChoice(int choice) { return (choice + 3) * 5; }       // 15, 20, 25 %
constexpr int HighTemperatureForChoice(int choice) { return (choice + 16) * 5; }  // 80, 85, 90 °C
constexpr int HighFanSpeedForChoice(int choice) { return (choice + 8) * 10; }     // 80, 90, 100 %

struct AppSettings {
    bool restoreUserSettings = true;  // save the hardware settings on exit, restore at start
    bool autoUpdate = true;
    bool hdmiAutoSet = true;          // read by the settings dialog only
    bool fanTempSet = false;
    uint32_t samplingPeriod = 1;      // chart period in seconds; 0: curve drawing disabled
    uint32_t iphonePassWord = 482915;
    bool osdClockShow = false;
    bool osdTempShow = true;
    bool osdFramerateShow = false;
    bool osdFanSpeedShow = true;
    bool highSet = false;             // "Custom mode"
    bool highSet2 = false;            // "Silent mode"
    bool highSet3 = false;            // "Performance mode"
    uint32_t templowSet = 1;          // stored choices + 1
    uint32_t fansSet = 1;
    uint32_t tempSet = 1;
    uint32_t fansHighSet = 1;
    bool fanSpeedTest = false;        // kept and written back, nothing acts on it
    bool temperatureAlarmSet = false;
    uint32_t temperatureAlarmValue = 0;  // choice 0..4 for 95..99 °C
    // The user curve lowers the fan only this far (°C) below where it went up, and only after
    // this long (seconds) there; 0 and 0 follow the curve at every sample.
    static constexpr uint32_t kMaxFanCurveHysteresis = 20, kMaxFanCurveSpinDownDelay = 60;
    uint32_t fanCurveHysteresis = 3;
    uint32_t fanCurveSpinDownDelay = 5;

    // Custom-mode values, computed when the settings dialog is closed with "Custom mode" on.
    int lowTemperature = 0;   // °C
    int lowFanSpeed = 0;      // %
    int highTemperature = 0;  // °C
    int highFanSpeed = 0;     // %

    /// The start-up read: values in their fixed order, flags as value != 0; the defaults of
    /// the password, alarm, sampling period and custom-mode choices are written back when
    /// absent. Store failures leave the defaults.
    void Load(platform::SettingsStore& store);
};

}  // namespace vx::app
