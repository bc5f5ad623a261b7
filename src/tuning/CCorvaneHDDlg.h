#pragma once
// The main dialog's controller: the per-GPU tuning model (sliders, toggles, per-GPU records),
// GPU selection, and the apply and reset flows. Views render the models and call the
// handlers; nothing here knows a GUI toolkit.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/AppSettings.h"
#include "gpu/GpuAccess.h"
#include "gpu/ClockStructs.h"
#include "gpu/PowerStructs.h"
#include "tuning/WorkerPrompts.h"
#include "ui/CCVButton.h"
#include "ui/CCVSlider.h"
#include "ui/IClock.h"
#include "ui/IEventLoop.h"
#include "ui/IPrompts.h"

namespace vx::tuning {

inline constexpr int kMaxGpuSlots = 10;

/// Groups of settings that "APPLY" acts on.
enum Page : int32_t {
    kPageOneClick = 0,
    kPageOverclock = 1,
    kPageRegulators = 2,
    kPageLighting = 3,
    kPageSpeakers = 4,  // only where the program has the speaker test (EnableSpeakerPage)
    kPageMonitor = 5,
    kPageFactoryBoost = 6,
};

/// Performance levels as the main window, the documents and the settings file number them.
enum WorkMode : int32_t { kWorkMode2D = 1, kWorkMode3DPerf = 2, kWorkMode3DLow = 3 };

/// One-click modes.
enum OneClickMode : int32_t { kOneClickNone = 0, kOneClickBoost5 = 1, kOneClickBoost3 = 2, kOneClickStock = 3 };

/// Results of the clock-apply worker, carried in the low word of its notification.
enum ApplyResult : int32_t { kApplied = 0, kApplyCanceled = 1, kApplyFailed = 2 };
inline constexpr uint32_t kApplyNotificationCode = 0xCADB0000u;

/// Image ids of the two-state buttons.
namespace image {
constexpr int kLinked = 200, kUnlinked = 201;
constexpr int kFanManual = 202, kFanAuto = 203;
constexpr int kFrameRateOff = 315, kFrameRateOn = 316;
constexpr int kOverVoltageOn = 350, kOverVoltageOff = 351;
constexpr int kLockOn = 352, kLockOff = 353;  // voltage lock; also the target-priority switch
constexpr int kCurveOff = 436, kCurveOn = 437;
constexpr int kKeyboardSyncOff = 548, kKeyboardSyncOn = 550;
constexpr int kFactoryBoostOff = 555, kFactoryBoostOn = 556;
}  // namespace image

/// Live readings of one GPU, filled by the sampling tick; -1 = not available.
struct LiveFields {
    int32_t graphicsClock = -1;  // MHz
    int32_t processorClock = -1;
    int32_t memoryClock = -1;
    int32_t temperature = -1;  // °C
    int32_t fanPercent = -1;
    int32_t fanRpm = -1;
    int32_t coreVoltage = -1;  // mV
    int32_t boardPower = -1;   // W
    int32_t loadPercent = -1;
};

/// What the dialog keeps per GPU slot beyond the sliders, which show only the current GPU.
struct GpuTuningRecord {
    uint8_t linkCoreShader = 1;
    uint8_t fanAutomatic = 1;
    uint8_t powerTempLinked = 0;
    int32_t workMode = kWorkMode3DPerf;
    std::array<int32_t, 4> coreClockTargets{};    // kHz, indexed by work mode
    std::array<int32_t, 4> shaderClockTargets{};  // kHz
    std::array<int32_t, 4> memoryClockTargets{};  // kHz
    int32_t fanSpeed = 0;                         // percent, for selections without a live read
    int32_t voltage = 0;                          // GPU voltage slider units, same use
    int32_t voltageLow = 0;                       // legacy voltage slider bounds of the work mode
    int32_t voltageHigh = 0;
    int32_t fanState = 0;     // automatic fan handling; cleared by fan applies and reset
    int32_t lightingMode = 0;
    std::array<int32_t, 3> chartMarkers{-1, -1, -1};
    LiveFields live;
};

/// Texts shown in the information panel for one GPU.
struct GpuTexts {
    std::string driverVersion;  // "%d" of the version with "." before the last two digits
    std::string memorySize;     // megabytes, "%d"
    std::string biosTag;        // from the video BIOS scan; empty until it has run
};

/// Every slider of the main window.
struct MainSliders {
    ui::CCVSlider fanSpeed;
    ui::CCVSlider gpuClockOffset;  // MHz
    ui::CCVSlider memClockOffset;  // MHz
    ui::CCVSlider powerTarget;     // percent
    ui::CCVSlider tempTarget;      // °C
    ui::CCVSlider overVoltage;     // mV
    ui::CCVSlider frameRateTarget; // frames/s
    ui::CCVSlider gpuVfOffset;     // MHz
    ui::CCVSlider memVfOffset;     // MHz
    ui::CCVSlider overVoltPercent; // percent
    ui::CCVSlider voltageLock;     // 10 mV steps
    ui::CCVSlider coreClock;       // MHz, legacy levels
    ui::CCVSlider shaderClock;
    ui::CCVSlider memoryClock;
    ui::CCVSlider gpuVoltage;      // mV or regulator code
    ui::CCVSlider regulatorA;      // device units
    ui::CCVSlider memoryVoltage;   // device units
};

/// Every button of the main window that carries state.
struct MainButtons {
    std::array<ui::CCVButton, kMaxGpuSlots> gpu;  // one per GPU; hidden past the GPU count
    ui::CCVButton syncAll;
    ui::CCVButton unlockMin;
    ui::CCVButton unlockMax;
    ui::CCVButton linkCoreShader;  // kLinked / kUnlinked
    ui::CCVButton fanMode;         // kFanAuto / kFanManual
    ui::CCVButton powerTempLink;   // checked and kLinked while the targets are linked
    ui::CCVButton frameRate;       // kFrameRateOff / kFrameRateOn
    ui::CCVButton overVoltage;     // kOverVoltageOn / kOverVoltageOff
    ui::CCVButton voltageLock;     // kLockOn / kLockOff
    ui::CCVButton curveSwitch;     // kCurveOff / kCurveOn
    ui::CCVButton factoryBoost;    // kFactoryBoostOff / kFactoryBoostOn
    std::array<ui::CCVButton, 3> oneClick;  // modes 1, 2, 3; the chosen one is checked
    std::array<ui::CCVButton, 3> workMode;  // "2D", "3D Low", "3D PERF"
    std::array<ui::CCVButton, 7> pages;     // page buttons 0 to 6 (4 unused, hidden)
    ui::CCVButton apply;
    ui::CCVButton reset;
    ui::CCVButton settings;
    ui::CCVButton hide;
};

/// Defaults of the current GPU kept for the apply and reset flows.
struct RememberedDefaults {
    int32_t powerTargetPercent = 100;
    int32_t tempTargetCelsius = 0;
    int32_t overVoltageMinUv = 0;
    int32_t overVoltageMaxUv = 0;
};

/// Effects that belong to other windows or later features; each may be left empty.
struct MainDialogHooks {
    std::function<void()> modelChanged;           // models changed outside a view action
    std::function<void()> saveOrDeleteUserSettings;  // hide and quit
    std::function<void(bool visible)> showWindow; // dialog and host window
    std::function<void()> minimizeWindow;         // startup mode 3
    std::function<void()> quitProcess;
    std::function<void()> openSettingsDialog;
    std::function<void()> refreshMonitorPanel;
    std::function<void()> applyLighting;          // page 3
    std::function<void()> restoreLighting;        // first step of reset
    std::function<void(int gpu)> gpuSelected;     // lighting: each GPU's controller kind, under the hardware lock
    std::function<void()> resetProfileSlots;      // last step of reset
    std::function<void()> pushStateToPhone;       // after a local apply, when a client is logged in
    std::function<bool()> phoneClientAuthorised;
    std::function<void(bool applied)> remoteApplyFinished;  // the phone's apply ended: tell it
};

class CCorvaneHDDlg {
public:
    CCorvaneHDDlg(GpuAccess& gpu, ui::IPrompts& prompts, ui::IEventLoop& loop, ui::IClock& clock,
                  app::AppSettings& settings, MainDialogHooks hooks = {});
    ~CCorvaneHDDlg();  // ends a running worker: pending questions are answered Cancel
    CCorvaneHDDlg(const CCorvaneHDDlg&) = delete;
    CCorvaneHDDlg& operator=(const CCorvaneHDDlg&) = delete;

    /// Sets up the controls and selects GPU 0 with a live read; `startupMode` 3 minimizes,
    /// 4 hides to the notification area.
    void OnInitDialog(int startupMode);

    // Selection (GpuSelection.cpp)
    /// Makes `index` the current GPU and fills every slider. `readLive` is used once: the
    /// first selection reads fan and voltage positions from the hardware, later ones take
    /// them from the GPU's record.
    void SelectGpu(int index);
    int32_t SelectGpu(int index, bool readLive);
    /// Stores `level` for the current GPU and fills the legacy clock and voltage sliders.
    /// SelectGpu, SelectWorkMode and RefreshFromHardware take LockHardware() themselves.
    int32_t SelectWorkMode(int32_t level);
    /// Re-reads the current GPU after a settings load.
    void RefreshFromHardware(bool fromSlot);

    // Toggles and page (CCorvaneHDDlg.cpp)
    void ToggleLinkCoreShader();
    void ToggleFanMode();
    void ToggleFrameRate();
    void ToggleOverVoltage();
    void ToggleVoltageLock();
    void TogglePowerTempLink();
    void ToggleCurveSwitch();
    void ToggleFactoryBoost();
    void SetSyncAll(bool on);
    void SetUnlockMin(bool on);
    void SetUnlockMax(bool on);
    void SelectOneClickMode(int32_t mode);  // 1, 2 or 3
    void ShowPage(int32_t page);
    /// Shows page button 4, the HDMI audio speaker test; APPLY does nothing there.
    void EnableSpeakerPage();
    /// Whether the control `controlId` (a slider's or button's id()) belongs to the active
    /// page; controls outside the page table (GPU, page, apply... buttons) always do. A view
    /// shows a control when this and its model's IsVisible() are both true.
    bool OnActivePage(int controlId) const;
    void OnHide();
    void OnShowFromTray();
    void OnQuit();
    void OnSettings();

    /// The scroll handler: `slider` was moved to `position` by the user; linked sliders follow.
    void OnSliderMoved(ui::CCVSlider& slider, int32_t position);

    // Apply and reset (ApplySettings.cpp, ApplyClocksWorker.cpp, RestoreDefaults.cpp)
    void ApplySettings();
    /// The phone's apply: fan and clocks of the current GPU on the worker, whatever page is
    /// shown. False when a worker is already running.
    bool StartRemoteApply();
    void RestoreDefaults();
    /// The command handler for the worker's notification: `wParam` is 0xCADB0000 | result.
    void OnCommand(uint32_t wParam, int32_t lParam);
    bool workerRunning() const { return workerRunning_.load(); }
    /// Waits for a running worker to end (tests, shutdown).
    void JoinWorker();
    /// Tells the views that models changed outside their handlers (the phone's settings).
    void Changed();

    // Remote-apply state (set by the phone server)
    std::atomic<bool> remoteApplyPending{false};
    std::atomic<bool> remoteApplyRunning{false};
    std::array<int32_t, 4> savedSliderPositions{};  // core, shader, memory, fan before a remote change

    // Models
    MainSliders sliders;
    MainButtons buttons;
    int32_t currentGpu() const { return currentGpu_; }
    int32_t activePage() const { return activePage_; }
    int32_t oneClickMode() const { return oneClickMode_; }
    int32_t fanRangeMin() const { return fanRangeMin_; }
    int32_t fanRangeMax() const { return fanRangeMax_; }
    int32_t selectedWorkMode() const { return selectedWorkMode_; }
    bool syncAll() const { return buttons.syncAll.IsChecked(); }
    const RememberedDefaults& defaults() const { return defaults_; }
    GpuTuningRecord& record(int gpu) { return records_.at(static_cast<std::size_t>(gpu)); }
    const GpuTuningRecord& record(int gpu) const { return records_.at(static_cast<std::size_t>(gpu)); }
    const GpuTexts& texts(int gpu) const { return texts_.at(static_cast<std::size_t>(gpu)); }
    int gpuCount() const;  // GPUs the window handles: at most kMaxGpuSlots

    GpuAccess& gpu() { return gpu_; }

    /// GPU calls from the interface thread and the worker take this lock; GpuAccess keeps
    /// per-call state that two threads must not interleave.
    std::unique_lock<std::mutex> LockHardware() { return std::unique_lock(hardwareMutex_); }
    std::unique_lock<std::mutex> TryLockHardware() { return std::unique_lock(hardwareMutex_, std::try_to_lock); }

private:
    struct ClockApplyInputs;  // slider values the worker writes, taken on the interface thread

    // GpuSelection.cpp
    void FillRecordsFromHardware();
    void FillFanSlider(uint8_t gpu, bool readLive);
    void FillOffsetsAndTargets(uint8_t gpu);
    void FillOverVoltage(uint8_t gpu);
    void FillVfSliders(uint8_t gpu);
    void ShowPowerTempLink(bool linked);
    uint32_t GpuVoltagePages() const;  // bit per page that shows the GPU-voltage slider
    void FillVoltageSliders(uint8_t gpu, bool readLive);
    void CheckWorkModeButton(int32_t level);
    int32_t CheckedWorkMode() const;  // 0 when none is checked
    int32_t FillWorkMode(int32_t level);  // SelectWorkMode's body; the caller holds the lock
    void FillFrameRate();
    int32_t PstateVoltageMv(int32_t level) const;  // from keptPstates20_, 0 when absent

    // ApplySettings.cpp / ApplyClocksWorker.cpp / RestoreDefaults.cpp
    void ApplyFanPart(uint8_t gpu);
    bool ApplyRegulatorPage(uint8_t gpu);  // false: the user ended the apply
    void ApplyOneClick();
    void ApplyFactoryBoost();
    void StartClockWorker(int32_t gpuArgument);
    void RunClockWorker(std::shared_ptr<const ClockApplyInputs> inputs);
    void RestoreGpu(uint8_t gpu);
    // Apply helpers (ApplySettings.cpp): the GPUs an apply or reset acts on (every GPU with
    // sync all, else the current one), and a change of the models made on the interface
    // thread for the worker, dropped when the dialog is gone or `gpu` is no longer current.
    std::vector<uint8_t> ApplyLoopGpus() const;
    void PostModelChange(const std::weak_ptr<bool>& alive, int gpu, std::function<void()> change);
    // The P-state information as it was before the worker first wrote a voltage into it, per
    // GPU; reset writes it back. Guarded by hardwareMutex_.
    std::array<std::shared_ptr<const nvapi::PstatesInfo>, kMaxGpuSlots> stockPstatesInfo_{};


    GpuAccess& gpu_;
    ui::IPrompts& prompts_;
    ui::IEventLoop& loop_;
    ui::IClock& clock_;
    app::AppSettings& settings_;
    MainDialogHooks hooks_;
    WorkerPrompts workerPrompts_;

    int32_t currentGpu_ = -1;
    int32_t activePage_ = kPageOverclock;
    bool speakerPage_ = false;
    int32_t oneClickMode_ = kOneClickNone;
    int32_t fanRangeMin_ = 10;
    int32_t fanRangeMax_ = 100;
    int32_t selectedWorkMode_ = kWorkMode3DPerf;  // remembered for the monitor
    bool readLive_ = true;
    RememberedDefaults defaults_;
    std::array<GpuTuningRecord, kMaxGpuSlots> records_{};
    std::array<GpuTexts, kMaxGpuSlots> texts_{};
    nvapi::Pstates20Info keptPstates20_{};  // full table read at selection, written back by reset
    int32_t keptGpuVoltage_ = 0;             // GPU voltage slider at selection

    std::mutex hardwareMutex_;
    std::thread worker_;
    std::atomic<bool> workerRunning_{false};
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // posted tasks check it
};

}  // namespace vx::tuning
