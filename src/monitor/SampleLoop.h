#pragma once
// The main window's sampling tick: every 1100 ms it reads each GPU into the live fields of the
// dialog's records, colours the selected GPU's labels, estimates board power, raises the
// temperature alarm and runs the fan automation. It works on the dialog's public model only.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "monitor/BoardPowerEstimator.h"
#include "monitor/CIndicateInstDialog.h"
#include "monitor/CLineChartCtrl.h"
#include "monitor/FanAutomation.h"
#include "monitor/MonitorLabels.h"
#include "monitor/ViewTypes.h"

namespace vx {
namespace app {
struct AppSettings;
struct SetDialogHooks;
}  // namespace app
namespace platform {
class SettingsStore;
class SystemActions;
}  // namespace platform
namespace tuning {
class CCorvaneHDDlg;
struct LiveFields;
}  // namespace tuning
namespace ui {
class IClock;
class IEventLoop;
}  // namespace ui
}  // namespace vx

namespace vx::monitor {

/// What GPU 0's sample hands to the state documents.
struct CurrentState {
    int32_t workMode = 0;
    bool clockLinkShown = false;     // the link button shows "linked"
    bool fanAutomaticShown = false;  // the fan-mode button shows automatic
    std::string timeText;            // local time, "%u:%u:%u:%u" (hour, minute, second, millisecond)
    std::string driverVersion;
    const tuning::LiveFields* live = nullptr;
};

/// "%u:%u:%u:%u" of the local time: hour, minute, second, millisecond (the documents' time).
std::string LocalTimeText(std::chrono::system_clock::time_point now);

/// Where other features join the sample; any may be left empty.
struct SampleHooks {
    // The XML state documents.
    std::function<void(int gpu, int32_t celsius)> writeTemperature;  // after a good temperature read
    std::function<void(int gpu, int32_t percent)> writeFanSpeed;     // after a good fan read
    std::function<void(const CurrentState& state)> writeCurrentState;  // GPU 0, every sample
    // The phone client: the current-state document after it was written.
    std::function<void()> pushCurrentState;
    // The desktop gadget's copy of the current-state document.
    std::function<void()> copyToGadget;
    // The on-screen display: each GPU's part, then the whole text after the last GPU.
    std::function<void(int gpu)> appendDisplayText;
    std::function<void()> publishDisplayText;
    // The window.
    std::function<void(const PixelRect& area)> invalidate;  // the power meter
    std::function<void()> refreshTemperatureDisplay;        // the selected GPU's temperature
    std::function<void()> sampled;                          // labels and live fields are new
    /// Shows the alarm window modally and returns when the user closed it. Samples go on
    /// meanwhile (a nested loop); they beep but open no second window.
    std::function<void(CIndicateInstDialog& window)> showAlarm;
    // The settings dialog's OK: the charts' sampling interval (the chosen period, also with curve
    // drawing off) and the on-screen display's frame-rate flag.
    std::function<void(uint32_t intervalMs)> samplingIntervalChanged;
    std::function<void(bool show)> framerateDisplayChanged;
};

class SampleLoop {
public:
    static constexpr uint32_t kSampleTimerId = 32;
    static constexpr uint32_t kSamplePeriodMs = 1100;
    static constexpr uint32_t kAlarmBeepHz = 2300;
    static constexpr uint32_t kAlarmBeepMs = 800;
    static constexpr int32_t kShutdownAboveC = 120;
    static constexpr uint32_t kShutdownDelaySeconds = 10;
    static constexpr int32_t kAlarmBaseC = 95;
    static constexpr PixelRect kPowerMeterAreas[2] = {{60, 77, 97, 97}, {55, 65, 135, 77}};

    /// Everything passed must outlive the loop. `random` feeds the power display (std::rand
    /// when empty).
    SampleLoop(tuning::CCorvaneHDDlg& dialog, app::AppSettings& settings, platform::SettingsStore& store,
               platform::SystemActions& actions, ui::IClock& clock, SampleHooks hooks = {},
               BoardPowerEstimator::RandomSource random = {});
    ~SampleLoop();
    SampleLoop(const SampleLoop&) = delete;
    SampleLoop& operator=(const SampleLoop&) = delete;

    /// Starts the sampling timer on `loop`, which must outlive the loop or see Stop first.
    void Start(ui::IEventLoop& loop);
    void Stop();
    /// The main window's timer handler for the timers this loop owns.
    void OnTimer(uint32_t id);

    /// The settings dialog's effects on the sample's consumers, for as long as this loop lives.
    app::SetDialogHooks SettingsDialogHooks();

    /// One sample of every GPU. Skipped, without waiting, while another thread (the apply
    /// worker) holds the hardware.
    void SampleTick();

    const MonitorLabels& labels() const { return labels_; }
    CLineChartCtrl& curve() { return curve_; }
    const CLineChartCtrl& curve() const { return curve_; }
    FanAutomation& fans() { return fans_; }
    const CIndicateInstDialog& alarmWindow() const { return alarmWindow_; }
    bool alarmDialogOpen() const { return alarmWindow_.isOpen(); }
    /// Set once the sensor-pair path ran for `gpu`.
    bool powerValid(int gpu) const;
    bool powerAboveOne() const { return power_.aboveOne(); }
    bool clockLinkShown() const { return clockLinkShown_; }
    bool fanAutomaticShown() const { return fanAutomaticShown_; }
    bool shutdownRequested() const { return shutdownRequested_; }
    uint64_t samplesTaken() const { return samplesTaken_; }
    uint64_t samplesSkipped() const { return samplesSkipped_; }

private:
    /// The current GPU's temperature and fan percent on the curve; none while either is unread.
    std::optional<CurvePoint> CurveMarker(int gpu, int count);
    void FirstPass(int gpu);
    void SecondPass(int gpu);
    void UpdateClockLabels(int gpu);
    void EstimatePower(int gpu);
    void ReadTemperature(int gpu, bool current);
    void RaiseAlarm(int gpu, int32_t celsius);
    void ReadFan(int gpu, bool current);
    void ReadVoltage(int gpu, bool current);
    void ShowAlarm(const std::string& text);
    std::string TimeText() const;

    tuning::CCorvaneHDDlg& dialog_;
    app::AppSettings& settings_;
    platform::SettingsStore& store_;
    platform::SystemActions& actions_;
    ui::IClock& clock_;
    SampleHooks hooks_;
    ui::IEventLoop* loop_ = nullptr;

    CLineChartCtrl curve_;
    FanAutomation fans_;
    BoardPowerEstimator power_;
    MonitorLabels labels_;
    CIndicateInstDialog alarmWindow_;
    std::optional<std::string> pendingAlarm_;  // shown once the sample let go of the hardware
    std::array<bool, FanAutomation::kMaxGpus> powerValid_{};
    bool clockLinkShown_ = false;
    bool fanAutomaticShown_ = false;
    bool shutdownRequested_ = false;
    uint64_t samplesTaken_ = 0;
    uint64_t samplesSkipped_ = 0;
};

}  // namespace vx::monitor
