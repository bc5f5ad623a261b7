#pragma once
// The "TLX Series Setting" dialog's controller: finds the multi-display device, lists its wide
// timings and applies one, sets bezel correction through the device mailbox, and carries a
// small hex editor for raw device data.
#include "display/DisplayViewer.h"
#include "display/WideTimings.h"
#include "ui/CCVSlider.h"
#include "ui/DialogControls.h"
#include "ui/IPrompts.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vx::display {

namespace view {
constexpr const char* kCaption = "TLX Series Setting";
constexpr const char* kManualConfigure = "Manual configure";
constexpr const char* kFirmwareFailed = "Read Firmware Version failed!";
constexpr const char* kSetFailed = "Set the customer timing failed";
constexpr const char* kSaveQuestion = "Do you want to save the timing to windows resolution list";
constexpr const char* kWriteFailed = "Write data failed";
constexpr const char* kInvalidCount = "Invalid count value";
constexpr const char* kHorizontalHint = "Horizontal adjustment valid on 1*2,1*3 and 2*2 mode only";
constexpr const char* kVerticalHint = "Vertical adjustment valid on 2*1 and 2*2 mode only";
constexpr int32_t kBezelMax = 255;  // one byte on the wire
constexpr int32_t kInvalidCountStatus = -2;
}  // namespace view

/// Bezel correction last written, restored to the trackbars at each opening.
inline std::atomic<int32_t> savedBezelHorizontal{0};
inline std::atomic<int32_t> savedBezelVertical{0};

struct ViewControls {
    ui::ChoiceList timings;
    ui::TextControl width{0, "1920"};
    ui::TextControl height{0, "1080"};
    ui::TextControl vFrequency{0, "60000"};     // "V Frequency(0.001Hz)"
    ui::TextControl pixelClock{0, "148500000"};  // "Pixel clock(Hz)"
    ui::TextControl data;
    ui::TextControl address;
    ui::TextControl count;
    ui::ChoiceList operations;
    ui::TextControl status;
    ui::CCVSlider bezelHorizontal;
    ui::CCVSlider bezelVertical;
    ui::TextControl bezelHorizontalValue;
    ui::TextControl bezelVerticalValue;
    ui::CheckBox bezelEnabled{0, "Enable"};
    ui::TextControl bezelApply{0, "Apply"};
};

class CViewDlg {
public:
    CViewDlg(DisplayViewer& viewer, ui::IPrompts& prompts);

    void OnInitDialog();
    /// "Set": applies the selected timing (the manual fields for "Manual configure").
    void OnSet();
    /// Bezel "Apply": horizontal, then vertical.
    void OnBezelApply();
    void OnBezelMoved();
    /// Sends the data field's bytes as mailbox command `command`; checks them against the count
    /// field first ("Invalid count value", -2, nothing sent).
    int32_t WriteDataField(uint8_t command);

    ViewControls& controls() { return c_; }
    const std::vector<WideTiming>& timingList() const { return timings_; }
    const std::optional<DisplayEntry>& device() const { return device_; }

private:
    void BuildTimingList(const DisplayEntry& device);
    void ReadFirmwareVersion();
    std::optional<WideTiming> SelectedTiming() const;

    DisplayViewer& viewer_;
    ui::IPrompts& prompts_;
    ViewControls c_;
    std::vector<DisplayEntry> displays_;
    std::optional<DisplayEntry> device_;
    std::vector<WideTiming> timings_;
};

/// Whitespace-separated hex bytes ("02 1a"); nullopt for anything else.
std::optional<std::vector<uint8_t>> ParseHexBytes(const std::string& text);

}  // namespace vx::display
