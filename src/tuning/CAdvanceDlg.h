#pragma once
// The advanced control dialog's controller: raw power target, graphics and memory clock
// offsets and base-voltage offset, each written by its own button, and a live readout of
// GPU 0. Values are the driver's own units (1/1000 percent, kHz, 12500 µV steps).
#include <cstdint>
#include <functional>
#include <optional>

#include "tuning/CCorvaneHDDlg.h"
#include "ui/CCVSlider.h"
#include "ui/DialogControls.h"
#include "ui/IEventLoop.h"

namespace vx::tuning {

namespace advance {
// Control ids of the dialog.
constexpr int kPowerTrackbar = 1075;
constexpr int kGraphicsTrackbar = 1076;
constexpr int kMemoryTrackbar = 1077;
constexpr int kVoltageTrackbar = 1078;
constexpr int kPowerRange = 1092;
constexpr int kGraphicsRange = 1097;
constexpr int kMemoryRange = 1098;
constexpr int kVoltageRange = 1099;
constexpr int kPowerValue = 1093;
constexpr int kGraphicsValue = 1094;
constexpr int kMemoryValue = 1095;
constexpr int kVoltageValue = 1096;
constexpr int kClockView = 1016;
constexpr int kGraphicsClockBox = 1044;
constexpr int kProcessorClockBox = 1045;
constexpr int kMemoryClockBox = 1046;
constexpr int kPowerReading = 1100;
constexpr int kPstateReading = 1101;
constexpr int kPowerTargetReading = 1102;
constexpr int kVoltageReading = 1103;
constexpr int kTemperatureReading = 1104;
constexpr int kWidenButton = 1025;
constexpr int kApplyPowerButton = 1026;
constexpr int kApplyGraphicsButton = 1106;
constexpr int kApplyMemoryButton = 1107;
constexpr int kApplyVoltageButton = 1108;
constexpr int kResetButton = 1109;

constexpr uint32_t kReadingsTimerId = 1;
constexpr uint32_t kReadingsIntervalMs = 1100;
/// Trackbar 1078 moves in steps of this many µV.
constexpr int32_t kVoltageStepUv = 12500;
/// The clock offset trackbars' fixed range, kHz either side of 0.
constexpr int32_t kClockOffsetLimitKhz = 200000;
constexpr int kNarrowWidth = 320;
constexpr int kWideWidth = 760;

constexpr const char* kCaption = "Advance Control";
constexpr const char* kWidenText = ">>>";
constexpr const char* kNarrowText = "<<<";
}  // namespace advance

/// Every control of the dialog that carries state.
struct AdvanceControls {
    ui::CCVSlider powerTarget{advance::kPowerTrackbar};        // 1/1000 percent
    ui::CCVSlider graphicsOffset{advance::kGraphicsTrackbar};  // kHz
    ui::CCVSlider memoryOffset{advance::kMemoryTrackbar};      // kHz
    ui::CCVSlider voltageOffset{advance::kVoltageTrackbar};    // steps of 12500 µV

    ui::TextControl powerRange{advance::kPowerRange, {}};
    ui::TextControl graphicsRange{advance::kGraphicsRange, {}};
    ui::TextControl memoryRange{advance::kMemoryRange, {}};
    ui::TextControl voltageRange{advance::kVoltageRange, {}};
    ui::TextControl powerValue{advance::kPowerValue, {}};
    ui::TextControl graphicsValue{advance::kGraphicsValue, {}};
    ui::TextControl memoryValue{advance::kMemoryValue, {}};
    ui::TextControl voltageValue{advance::kVoltageValue, {}};  // µV

    /// "Current Clock", "Base Clock", "Boost Clock": the clock type the readings ask for.
    ui::ChoiceList clockView{advance::kClockView, {}};
    ui::TextControl graphicsClock{advance::kGraphicsClockBox, {}};
    ui::TextControl processorClock{advance::kProcessorClockBox, {}};
    ui::TextControl memoryClock{advance::kMemoryClockBox, {}};

    ui::TextControl powerReading{advance::kPowerReading, {}};
    ui::TextControl pstateReading{advance::kPstateReading, {}};
    ui::TextControl powerTargetReading{advance::kPowerTargetReading, {}};
    ui::TextControl voltageReading{advance::kVoltageReading, {}};          // µV
    ui::TextControl temperatureReading{advance::kTemperatureReading, {}};

    ui::TextControl widen{advance::kWidenButton, advance::kWidenText};
    ui::TextControl applyPower{advance::kApplyPowerButton, "Apply"};
    ui::TextControl applyGraphics{advance::kApplyGraphicsButton, "Apply"};
    ui::TextControl applyMemory{advance::kApplyMemoryButton, "Apply"};
    ui::TextControl applyVoltage{advance::kApplyVoltageButton, "Apply"};
    ui::TextControl reset{advance::kResetButton, "Reset"};
};

/// What the dialog asks of its window; each may be left empty.
struct AdvanceDialogHooks {
    std::function<void()> modelChanged;  // models changed outside a view action (the readings)
    std::function<void()> showWindow;    // show and bring to the front
};

class CAdvanceDlg {
public:
    /// `owner` is the main dialog: the ranges come from the GPU it shows, and every GPU call
    /// takes its hardware lock. Both `owner` and `loop` must outlive the dialog.
    CAdvanceDlg(CCorvaneHDDlg& owner, ui::IEventLoop& loop, AdvanceDialogHooks hooks = {});
    ~CAdvanceDlg();  // stops the readings timer
    CAdvanceDlg(const CAdvanceDlg&) = delete;
    CAdvanceDlg& operator=(const CAdvanceDlg&) = delete;

    /// A request to show the dialog: the first opens it (reads the ranges, starts the
    /// readings), every one shows the window.
    void OnOpenRequest();
    bool IsOpened() const { return opened_; }

    /// Reads the ranges from the GPU the main dialog shows, narrows the window and starts
    /// the readings timer.
    void OnInitDialog();

    /// The scroll handler: the user moved `slider` (one of the four trackbars) to `position`.
    void OnSliderMoved(ui::CCVSlider& slider, int32_t position);
    /// The clock-view list's selection; the next reading asks for that clock type.
    void OnClockViewChanged(int index);

    // Buttons; each writes GPU 0.
    void OnApplyPower();
    void OnApplyGraphicsOffset();
    void OnApplyMemoryOffset();
    void OnApplyVoltageOffset();
    void OnReset();
    void OnWidenOrNarrow();

    /// Timer 1: the readings of GPU 0. Skipped while the main dialog's apply worker holds
    /// the hardware.
    void OnTimer();

    AdvanceControls controls;
    bool wide() const { return wide_; }
    int windowWidth() const { return wide_ ? advance::kWideWidth : advance::kNarrowWidth; }
    /// Kept at opening and by the readings.
    int32_t defaultPowerTarget() const { return defaultPowerTarget_; }
    int32_t openedGraphicsOffsetKhz() const { return openedGraphicsOffsetKhz_; }
    int32_t openedMemoryOffsetKhz() const { return openedMemoryOffsetKhz_; }
    std::optional<int32_t> lastPowerTargetReading() const { return lastPowerTarget_; }

private:
    void ReadPowerRange(uint8_t gpu);
    void ReadOffsetRanges(uint8_t gpu);
    void ShowTrackbarValues();
    void ReadClocks();
    void ReadStatus();
    void Changed();

    CCorvaneHDDlg& owner_;
    GpuAccess& gpu_;
    ui::IEventLoop& loop_;
    AdvanceDialogHooks hooks_;

    bool opened_ = false;
    bool wide_ = false;
    bool powerKnown_ = false;  // the power-policy range was read, so the default is real
    int32_t defaultPowerTarget_ = 0;
    int32_t openedGraphicsOffsetKhz_ = 0;
    int32_t openedMemoryOffsetKhz_ = 0;
    // The three reset values of the offsets and the voltage.
    int32_t resetGraphicsKhz_ = 0;
    int32_t resetMemoryKhz_ = 0;
    int32_t resetVoltageSteps_ = 0;
    // None until the first reading: widening then leaves the power trackbar where it is.
    std::optional<int32_t> lastPowerTarget_;
};

}  // namespace vx::tuning
