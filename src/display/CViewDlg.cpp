#include "display/CViewDlg.h"

#include <charconv>
#include <cstdio>
#include <sstream>

namespace vx::display {
namespace {

std::optional<uint32_t> ParseNumber(const std::string& text, int base = 10) {
    uint32_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

std::string Decimal(int32_t value) { return std::to_string(value); }

}  // namespace

std::optional<std::vector<uint8_t>> ParseHexBytes(const std::string& text) {
    std::istringstream in(text);
    std::vector<uint8_t> bytes;
    for (std::string token; in >> token;) {
        std::optional<uint32_t> value = token.size() <= 2 ? ParseNumber(token, 16) : std::nullopt;
        if (!value) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(*value));
    }
    return bytes;
}

CViewDlg::CViewDlg(DisplayViewer& viewer, ui::IPrompts& prompts) : viewer_(viewer), prompts_(prompts) {
    c_.bezelHorizontal.SetRange(0, view::kBezelMax);
    c_.bezelVertical.SetRange(0, view::kBezelMax);
}

void CViewDlg::OnInitDialog() {
    viewer_.ViewerOpen();  // -1: already open from an earlier opening, which is fine
    displays_.clear();
    device_.reset();
    if (viewer_.ListDisplays(displays_) != 0) displays_.clear();
    for (const DisplayEntry& display : displays_) {
        if (viewer_.IdentifyDevice(display) != 0) continue;
        device_ = display;
        BuildTimingList(display);
        break;
    }
    c_.data.text = "00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff";
    c_.address.text = "4C0";
    c_.count.text = "16";
    c_.operations.items = {"DPCD", "Memory", "EEPROM", "EDID", "PA action", "Enable RC", "Disable RC"};
    c_.operations.Select(0);
    ReadFirmwareVersion();
}

void CViewDlg::BuildTimingList(const DisplayEntry& device) {
    uint8_t reported = 0;
    viewer_.DpcdRead(device, mailbox::kPanels, 1, &reported);
    timings_ = WideTimingList(PanelsAcross(reported));
    c_.timings.items.clear();
    for (const WideTiming& t : timings_) c_.timings.items.push_back(WideTimingLabel(t));
    c_.timings.items.push_back(view::kManualConfigure);
    c_.timings.Select(0);
}

void CViewDlg::ReadFirmwareVersion() {
    char version[mailbox::kFirmwareLength + 1] = {};
    int32_t status = -1;
    if (device_) {
        const auto* code = reinterpret_cast<const uint8_t*>(mailbox::kUnlockCode);
        status = viewer_.MailboxWrite(*device_, mailbox::kUnlock, 6, 0, code);
        if (status == 0)
            status = viewer_.MailboxRead(*device_, mailbox::kFirmwareVersion, mailbox::kFirmwareLength,
                                         mailbox::kFirmwareOffset, reinterpret_cast<uint8_t*>(version));
    }
    const bool ok = status == 0;
    c_.bezelHorizontal.EnableWindow(ok);
    c_.bezelVertical.EnableWindow(ok);
    c_.bezelEnabled.enabled = ok;
    c_.bezelApply.enabled = ok;
    if (!ok) {
        c_.status.text = view::kFirmwareFailed;
        return;
    }
    c_.status.text = std::string("FirmWare Version:") + version;
    c_.bezelHorizontal.SetPos(savedBezelHorizontal);
    c_.bezelVertical.SetPos(savedBezelVertical);
    OnBezelMoved();
    if (c_.bezelEnabled.checked) OnBezelApply();
}

void CViewDlg::OnBezelMoved() {
    c_.bezelHorizontalValue.text = Decimal(c_.bezelHorizontal.GetPos());
    c_.bezelVerticalValue.text = Decimal(c_.bezelVertical.GetPos());
}

std::optional<WideTiming> CViewDlg::SelectedTiming() const {
    const int selected = c_.timings.selection;
    if (selected < 0) return std::nullopt;
    if (static_cast<std::size_t>(selected) < timings_.size()) return timings_[static_cast<std::size_t>(selected)];
    auto width = ParseNumber(c_.width.text);
    auto height = ParseNumber(c_.height.text);
    auto milliHz = ParseNumber(c_.vFrequency.text);
    auto clockHz = ParseNumber(c_.pixelClock.text);
    // The driver's timing words are 16-bit: keep the totals inside them.
    if (!width || !height || !milliHz || !clockHz || *width == 0 || *height == 0 || *width > 16000 ||
        *height > 16000 || *clockHz == 0)
        return std::nullopt;
    WideTiming timing = FixedBlankingTiming(*width, *height, *milliHz);
    timing.pixelClockHz = *clockHz;
    return timing;
}

void CViewDlg::OnSet() {
    std::optional<WideTiming> timing = SelectedTiming();
    if (!device_ || !timing || viewer_.TryWideTiming(*device_, *timing) != 0) {
        prompts_.MessageBox(view::kSetFailed, view::kCaption, ui::BoxIcon::Error, ui::BoxButtons::Ok);
        return;
    }
    // A timing not kept must not stay on the screen: the panels may not show it at all.
    if (prompts_.MessageBox(view::kSaveQuestion, view::kCaption, ui::BoxIcon::Question, ui::BoxButtons::YesNo) ==
        ui::BoxAnswer::Yes)
        viewer_.SaveCustomTiming(*device_);
    else
        viewer_.RevertCustomTiming(*device_);
}

int32_t CViewDlg::WriteDataField(uint8_t command) {
    std::optional<std::vector<uint8_t>> bytes = ParseHexBytes(c_.data.text);
    std::optional<uint32_t> count = ParseNumber(c_.count.text);
    if (!bytes || !count || bytes->size() != *count || *count >= 17) {
        prompts_.MessageBox(view::kInvalidCount, view::kCaption, ui::BoxIcon::Error, ui::BoxButtons::Ok);
        return view::kInvalidCountStatus;
    }
    int32_t status = device_ ? viewer_.MailboxWrite(*device_, command, *count, 0, bytes->data()) : -1;
    if (status != 0) prompts_.MessageBox(view::kWriteFailed, view::kCaption, ui::BoxIcon::Error, ui::BoxButtons::Ok);
    return status;
}

void CViewDlg::OnBezelApply() {
    if (!c_.operations.HasSelection()) c_.operations.Select(0);
    struct Direction {
        const ui::CCVSlider& bar;
        const char* format;
        std::atomic<int32_t>& saved;
    };
    for (const Direction& d : {Direction{c_.bezelHorizontal, "02 %0x", savedBezelHorizontal},
                               Direction{c_.bezelVertical, "03 %0x", savedBezelVertical}}) {
        const int32_t value = d.bar.GetPos();
        char text[16];
        std::snprintf(text, sizeof text, d.format, static_cast<unsigned>(value));
        c_.data.text = text;
        c_.count.text = "2";  // the hex editor's count is the user's; a bezel write is always two bytes
        if (WriteDataField(mailbox::kRegisterWrite) != 0) return;
        d.saved = value;
    }
}

}  // namespace vx::display
