#pragma once
// The "PIXEL CLOCK OC" dialog's controller: shows a monitor's pixel clock and refresh, tries a
// raised pixel clock as a custom timing, and keeps it only when the confirmation says YES.
// A trial never outlives the dialog: closing it, or destroying the controller, reverts.
#include "display/CPixelMessageDlg.h"
#include "display/TrialMarker.h"
#include "gpu/DisplayEntries.h"
#include "ui/CCVSlider.h"
#include "ui/DialogControls.h"
#include "ui/IEventLoop.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vx::display {

namespace pixelclock {
constexpr const char* kCaption = "PIXEL CLOCK OC";
constexpr const char* kNote =
    "NOTE:  Pixel clock overclocking is an advanced tool for supported monitors only,do not use this tool if you "
    "are unsure if your monitor is supported. Use this tool at your own rick.";
constexpr int32_t kSliderMin = 500;   // 0.1 MHz units
constexpr int32_t kSliderMax = 5600;
constexpr std::size_t kMaxMonitors = 16;
}  // namespace pixelclock

struct MonitorTiming {
    uint32_t displayId = 0;
    uint32_t height = 0;
    uint32_t width = 0;
    uint32_t modeWord = 0;
    float pixelClock = 0;     // 10 kHz units
    float refresh = 0;        // Hz
    float clockPerHertz = 0;  // 0.1 MHz of pixel clock per hertz of refresh
};

using TraceSink = std::function<void(const std::string& text)>;

/// Display IDs of every GPU's connected displays, GPU by GPU. 0, -1 for a failed query, or
/// the enumeration's status.
int32_t ListConnectedDisplays(const driver::DisplayEntries& entries, std::vector<uint32_t>& ids);

class CPixelClockDlg {
public:
    /// `showConfirmation` presents the confirmation (the view opens its window); it may be empty.
    CPixelClockDlg(driver::DriverBinding& binding, ui::IEventLoop& loop, TrialMarker marker, TraceSink trace,
                   std::function<void(CPixelMessageDlg&)> showConfirmation = {});
    ~CPixelClockDlg();
    CPixelClockDlg(const CPixelClockDlg&) = delete;
    CPixelClockDlg& operator=(const CPixelClockDlg&) = delete;

    void OnInitDialog();
    void OnSelectMonitor(int index);
    void OnSliderMoved(int32_t position);
    /// "Apply": tries the slider's pixel clock on the selected monitor.
    void OnApply();
    /// "Default": reverts the selected monitor.
    void OnDefault();
    /// The dialog closes: a trial still waiting for its answer is reverted.
    void OnClose();

    /// Tries the timing and opens the confirmation; the answer saves or reverts it later.
    int32_t TryCustomTiming(float refreshHz, int32_t pixelClock, int monitor);
    int32_t RevertToDefault(int monitor);

    const std::vector<MonitorTiming>& rows() const { return rows_; }
    const ui::ChoiceList& monitors() const { return monitors_; }
    const ui::CCVSlider& slider() const { return slider_; }
    const ui::TextControl& pixelClockLabel() const { return pixelClockLabel_; }
    const ui::TextControl& refreshLabel() const { return refreshLabel_; }
    /// The open confirmation, or null.
    CPixelMessageDlg* confirmation() { return confirmation_.get(); }

private:
    int32_t ReadCurrentTimings();
    void ShowTiming(uint32_t pixelClock10kHz, int refreshHz);
    void FinishTrial();
    void Trace(const char* format, ...) const;

    driver::DisplayEntries entries_;
    ui::IEventLoop& loop_;
    TrialMarker marker_;
    TraceSink trace_;
    std::function<void(CPixelMessageDlg&)> showConfirmation_;

    std::vector<MonitorTiming> rows_;
    uint32_t width_ = 0;   // the first monitor's mode, for the custom display
    uint32_t height_ = 0;
    ui::ChoiceList monitors_;
    ui::CCVSlider slider_;
    ui::TextControl pixelClockLabel_;
    ui::TextControl refreshLabel_;

    std::unique_ptr<CPixelMessageDlg> confirmation_;
    std::optional<uint32_t> trialDisplay_;  // the display whose trial awaits its answer
};

}  // namespace vx::display
