#include "peripherals/LcmMessage.h"

#include "platform/CIni.h"

#include <algorithm>

namespace vx::peripherals {
namespace {

constexpr uint8_t kToggleBits[] = {0x20, 0x10, 0x08, 0x40};
constexpr std::size_t kStandardTextSlot = 3;  // "LCM_ScreenFour"

bool Displayable(unsigned char c, bool lineBreaks) {
    if (c >= 0x20 && c <= 0x7F) return true;
    return lineBreaks && (c == '\r' || c == '\n');
}

bool AllDisplayable(const std::string& text, bool lineBreaks) {
    return std::all_of(text.begin(), text.end(),
                       [lineBreaks](char c) { return Displayable(static_cast<unsigned char>(c), lineBreaks); });
}

int32_t ScreenCount(const LcmPanelControls& panel) { return std::clamp(panel.screenCount, 1, 3); }

}  // namespace

LcmPanelControls::LcmPanelControls() {
    for (ui::CCVButton& toggle : toggles) toggle.SetImage(kLcmToggleOffImage);
    for (ui::CCVSlider& interval : intervals) {
        interval.SetRange(0, 255);
        interval.SetPos(0);
    }
}

void LcmPanelControls::Toggle(std::size_t k) {
    ui::CCVButton& toggle = toggles.at(k);
    toggle.SetImage(IsOn(k) ? kLcmToggleOffImage : kLcmToggleOnImage);
}

void LcmPanelControls::Show(const tuning::LcmValues& saved) {
    for (std::size_t k = 0; k < toggles.size(); ++k)
        toggles[k].SetImage((saved.command & kToggleBits[k]) ? kLcmToggleOnImage : kLcmToggleOffImage);
    modeIndex = std::min(saved.command & 0x07, kLcmModes - 1);
    largeFont = saved.fontAndScreen != kLcmStandardFont;
    const int count = saved.fontAndScreen - kLcmLargeFont;
    screenCount = count >= 1 && count <= 3 ? count : 1;
    for (std::size_t k = 0; k < screens.size(); ++k)
        screens[k] = tuning::CIni::ToUtf8(saved.screens[k]).substr(0, kLcmMaxScreenChars);
    standardText = tuning::CIni::ToUtf8(saved.screens[kStandardTextSlot]).substr(0, kLcmMaxStandardChars);
    for (std::size_t k = 0; k < intervals.size(); ++k) intervals[k].SetPos(saved.screenValues[k]);
}

uint8_t LcmCommandByte(const LcmPanelControls& panel) {
    uint8_t command = 0x80;
    for (std::size_t k = 0; k < panel.toggles.size(); ++k)
        if (panel.IsOn(k)) command |= kToggleBits[k];
    return static_cast<uint8_t>(command + (std::clamp(panel.modeIndex, 0, kLcmModes - 1) & 0x07));
}

LcmCheck CheckLcmTexts(const LcmPanelControls& panel) {
    if (!panel.largeFont) return panel.standardText.empty() ? LcmCheck::Empty : LcmCheck::Ok;
    for (int k = 0; k < ScreenCount(panel); ++k)
        if (panel.screens[static_cast<std::size_t>(k)].empty()) return LcmCheck::Empty;
    return LcmCheck::Ok;
}

LcmFrame ComposeLcmFrame(const LcmPanelControls& panel) {
    LcmFrame frame;
    frame.check = CheckLcmTexts(panel);
    if (frame.check != LcmCheck::Ok) return frame;
    std::string text;
    uint8_t second = kLcmStandardFont;
    if (panel.largeFont) {
        const int count = ScreenCount(panel);
        second = static_cast<uint8_t>(kLcmLargeFont + count);
        for (int k = 0; k < count; ++k) {
            const std::string screen = panel.screens[static_cast<std::size_t>(k)].substr(0, kLcmMaxScreenChars);
            // Within a screen a line break would start the next screen.
            if (!AllDisplayable(screen, false)) return {LcmCheck::BadCharacter, {}};
            if (k > 0) text += '\r';
            text += screen;
        }
    } else {
        text = panel.standardText.substr(0, kLcmMaxStandardChars);
        if (!AllDisplayable(text, true)) return {LcmCheck::BadCharacter, {}};
    }
    frame.bytes.reserve(text.size() + 3);
    frame.bytes.push_back(LcmCommandByte(panel));
    frame.bytes.push_back(second);
    frame.bytes.insert(frame.bytes.end(), text.begin(), text.end());
    frame.bytes.push_back(0);
    return frame;
}

LcmDisplay::LcmDisplay(GpuAccess& gpus, ui::IPrompts& prompts, tuning::LcmValues& saved)
    : gpus_(gpus), prompts_(prompts), saved_(saved) {
    panel_.Show(saved_);
}

bool LcmDisplay::CheckCustomMessage() {
    if (CheckLcmTexts(panel_) == LcmCheck::Ok) return true;
    prompts_.MessageBox(kLcmEmptyText, "information", ui::BoxIcon::Information, ui::BoxButtons::Ok);
    return false;
}

bool LcmDisplay::SendCustomMessage(int gpu) {
    const LcmFrame frame = ComposeLcmFrame(panel_);
    if (frame.check == LcmCheck::BadCharacter)
        prompts_.MessageBox(kLcmBadCharacterText, "Error", ui::BoxIcon::Error, ui::BoxButtons::Ok);
    if (frame.check != LcmCheck::Ok) return false;
    return Write(frame, gpu);
}

bool LcmDisplay::ApplyPanel(int currentGpu, bool allGpus) {
    if (!CheckCustomMessage()) return false;
    return SendCustomMessage(allGpus ? -1 : currentGpu);
}

bool LcmDisplay::Resend() {
    const LcmFrame frame = ComposeLcmFrame(panel_);
    return frame.check == LcmCheck::Ok && Write(frame, -1);
}

bool LcmDisplay::Write(const LcmFrame& frame, int gpu) {
    const int count = gpus_.GetGpuCount();
    const int first = gpu < 0 ? 0 : gpu;
    const int last = gpu < 0 ? count - 1 : gpu;
    if (first >= count || last < first) return false;
    bool all = true;
    for (int g = first; g <= last; ++g) {
        std::vector<uint8_t> data = frame.bytes;  // the driver takes a mutable buffer
        const int32_t status = gpus_.I2cWriteAt(static_cast<uint8_t>(g), kLcmAddress, kLcmMessageRegister, data.data(),
                                                kLcmPort, static_cast<uint32_t>(data.size()));
        if (status == 0) Keep(frame);
        else all = false;
    }
    return all;
}

void LcmDisplay::Keep(const LcmFrame& frame) {
    saved_.command = frame.bytes[0];
    saved_.fontAndScreen = frame.bytes[1];
    if (!panel_.largeFont) {
        saved_.screens[kStandardTextSlot] = tuning::CIni::FromUtf8(panel_.standardText);
        return;
    }
    for (std::size_t k = 0; k < panel_.screens.size(); ++k)
        saved_.screens[k] = tuning::CIni::FromUtf8(panel_.screens[k].substr(0, kLcmMaxScreenChars));
    for (std::size_t k = 0; k < panel_.intervals.size(); ++k)
        saved_.screenValues[k] = static_cast<uint8_t>(panel_.intervals[k].GetPos());
}

}  // namespace vx::peripherals
