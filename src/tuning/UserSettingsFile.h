#pragma once
// The hardware settings of every GPU as a text file: written on hide and quit, restored at
// start, and the format of the profiles and the ten profile slots.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "gpu/ClockStructs.h"
#include "gpu/GpuAccess.h"
#include "monitor/FanCurve.h"
#include "ui/IClock.h"

namespace vx::tuning {

class CCorvaneHDDlg;
class CIni;

inline constexpr const char* kUserSettingsFileName = "UserSettings.txt";
inline constexpr int kSettingsGpuSlots = 10;
static_assert(kSettingsGpuSlots == monitor::kFanCurveSlots, "one curve per GPU section");

/// Positions in the last loaded record (CCorvaneHDApp::lastLoadedSettings).
enum LastLoaded : std::size_t {
    kLastGpuClockOffset = 0,  // MHz
    kLastMemClockOffset = 1,  // MHz
    kLastOverVoltage = 2,     // "Gpu3DPerformanceVolt"
    kLastPowerTarget = 3,     // percent
    kLastTempTarget = 4,      // °C
    kLastFanWorkMode = 5,     // 1 automatic, 2 manual
    kLastFanSpeed = 6,        // percent
};
using LastLoadedRecord = std::array<int32_t, 7>;

/// One GPU's values as read from a settings file, by level (index = work mode 1 to 3).
struct LoadedGpuSettings {
    std::array<int32_t, 4> coreClock{};    // kHz
    std::array<int32_t, 4> shaderClock{};  // kHz
    std::array<int32_t, 4> memoryClock{};  // kHz
    int32_t fanWorkMode = 0;
    int32_t fanSpeed = 0;
    int32_t alarmTemperature = 0;
    int32_t voltage2D = 0;
    int32_t voltage3DPerformance = 0;
};

/// Lighting mode, colour and timers, one byte each; sent to the card by the lighting feature.
struct LightingValues {
    uint8_t mode = 0, red = 0, green = 0, blue = 0, timer1 = 0, timer2 = 0, timer3 = 0;
    bool saved = false;  // a file carried them, or the user applied them: restored at start
};

/// The LCD module's state; shown by the module feature.
struct LcmValues {
    static constexpr std::size_t kMaxScreenChars = 100;
    uint8_t onOff = 10;
    uint8_t command = 162;
    uint8_t fontAndScreen = 0;
    std::array<std::u16string, 5> screens;  // at most kMaxScreenChars each
    std::array<uint8_t, 3> screenValues{};
};

/// Values the application keeps beside the hardware's that the file carries.
struct KeptSettings {
    int32_t horizonValue = 0;  // bezel correction
    int32_t verticalValue = 0;
    std::array<int32_t, 5> psmi{};  // "Psmi33V", "Psmi5V", "Psmi12V", "PsmiFan1", "PsmiFan2"
    LightingValues lighting;
    LcmValues lcm;
};

/// `SaveUserSettings` and `LoadUserSettings` over the GPU layer. Start-up uses it without a
/// window; with a dialog attached the hardware calls take the dialog's hardware lock.
class UserSettingsFile {
public:
    /// Relative file names resolve against `programDir`; loads fill `lastLoaded`.
    UserSettingsFile(GpuAccess& gpu, ui::IClock& clock, std::filesystem::path programDir, LastLoadedRecord& lastLoaded);
    UserSettingsFile(const UserSettingsFile&) = delete;
    UserSettingsFile& operator=(const UserSettingsFile&) = delete;

    /// Hardware calls take this dialog's lock from now on (null: none).
    void AttachDialog(CCorvaneHDDlg* dialog) { dialog_ = dialog; }
    /// Replaces the file writer (tests simulate a failing disk); the default writes atomically.
    using Writer = std::function<bool(const std::filesystem::path&, std::string_view bytes)>;
    void SetWriter(Writer writer) { writer_ = std::move(writer); }

    /// Writes every GPU's settings to `path` ("UserSettings.txt" when empty). 1 when written;
    /// 0 when it cannot be, and then the previous file is left as it was.
    int SaveUserSettings(const std::filesystem::path& path = {});
    /// Applies the sections whose "Id" matches the GPU at their index. 1 when at least one did;
    /// 0 otherwise (also for a missing or unparsable file).
    int LoadUserSettings(const std::filesystem::path& path = {});
    /// Hide and quit: saves with "RestoreUserSettings" on, else deletes "UserSettings.txt".
    void SaveOrDelete(bool restoreUserSettings);

    /// The text SaveUserSettings writes (UTF-16LE with its byte-order mark).
    std::string BuildText();

    std::filesystem::path Resolve(const std::filesystem::path& path) const;
    const std::filesystem::path& programDir() const { return programDir_; }

    KeptSettings kept;
    std::array<LoadedGpuSettings, kSettingsGpuSlots> loaded{};
    /// Each GPU's user fan curve: saved with its section, replaced by every section applied
    /// (the start curve when the section has none). The fan curve control edits these.
    monitor::FanCurves fanCurves{};
    const LastLoadedRecord& lastLoaded() const { return lastLoaded_; }
    /// The GPU-voltage slider position of `gpu` for the last loaded "Gpu3DPerformanceVolt", in
    /// the slider's units (the slot-7 controller's slider counts codes, the file millivolts).
    /// None when the key was absent, came from another kind of board, or is no value the
    /// board's voltage device takes.
    std::optional<int32_t> LastLoadedVoltagePosition(uint8_t gpu);

private:
    std::unique_lock<std::mutex> Lock();
    void ApplySection(const CIni& ini, uint8_t gpu, const std::string& section);
    static monitor::FanCurve ReadFanCurve(const CIni& ini, const std::string& section);
    void ApplyLevelVoltage(uint8_t gpu, int32_t level, int32_t value);
    int32_t ReadLevelVoltage(uint8_t gpu, int32_t level);  // the value of a voltage key
    /// What a voltage key's value stands for on the GPU's voltage device (a code, a byte or
    /// millivolts); none when the device cannot take it.
    std::optional<int32_t> DeviceVoltage(uint8_t gpu, int32_t level, int32_t value);

    GpuAccess& gpu_;
    ui::IClock& clock_;
    std::filesystem::path programDir_;
    LastLoadedRecord& lastLoaded_;
    int lastVoltageGpu_ = -1;  // the GPU whose section gave the last record its voltage
    CCorvaneHDDlg* dialog_ = nullptr;
    Writer writer_;
    std::unique_ptr<nvapi::PstatesInfo> keptPstatesInfo_;  // as read before a load wrote its voltage
};

}  // namespace vx::tuning
