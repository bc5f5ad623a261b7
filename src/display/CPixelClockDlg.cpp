#include "display/CPixelClockDlg.h"

#include <cstdarg>
#include <cstdio>

namespace vx::display {

int32_t ListConnectedDisplays(const driver::DisplayEntries& entries, std::vector<uint32_t>& ids) {
    nvapi::PhysicalGpuHandle gpus[nvapi::kMaxPhysicalGpus] = {};
    uint32_t gpuCount = 0;
    if (int32_t status = entries.EnumPhysicalGPUs(gpus, &gpuCount)) return status;
    for (uint32_t g = 0; g < gpuCount && g < uint32_t(nvapi::kMaxPhysicalGpus); ++g) {
        uint32_t count = 0;
        if (entries.GetConnectedDisplayIds(gpus[g], nullptr, &count) != nvapi::OK) return -1;
        if (count == 0) continue;
        std::vector<nvapi::DisplayIdEntry> list(count);
        for (auto& entry : list) entry.version = nvapi::kDisplayIdEntryVer;
        if (entries.GetConnectedDisplayIds(gpus[g], list.data(), &count) != nvapi::OK) return -1;
        // The driver may report fewer the second time, never more than the array holds.
        for (uint32_t i = 0; i < count && i < list.size(); ++i) ids.push_back(list[i].displayId);
    }
    return 0;
}

CPixelClockDlg::CPixelClockDlg(driver::DriverBinding& binding, ui::IEventLoop& loop, TrialMarker marker,
                               TraceSink trace, std::function<void(CPixelMessageDlg&)> showConfirmation)
    : entries_(binding), loop_(loop), marker_(std::move(marker)), trace_(std::move(trace)),
      showConfirmation_(std::move(showConfirmation)) {}

CPixelClockDlg::~CPixelClockDlg() { OnClose(); }

void CPixelClockDlg::Trace(const char* format, ...) const {
    if (!trace_) return;
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    trace_(text);
}

void CPixelClockDlg::OnInitDialog() {
    slider_.SetRange(pixelclock::kSliderMin, pixelclock::kSliderMax);
    rows_.clear();
    monitors_.items.clear();
    nvapi::PhysicalGpuHandle gpus[nvapi::kMaxPhysicalGpus] = {};
    uint32_t gpuCount = 0;
    if (entries_.EnumPhysicalGPUs(gpus, &gpuCount) != nvapi::OK || gpuCount == 0) return;
    nvapi::DisplayIdEntry ids[pixelclock::kMaxMonitors] = {};
    for (auto& entry : ids) entry.version = nvapi::kDisplayIdEntryVer;
    uint32_t count = pixelclock::kMaxMonitors;
    if (entries_.GetConnectedDisplayIds(gpus[0], ids, &count) != nvapi::OK) return;
    for (uint32_t i = 0; i < count && i < pixelclock::kMaxMonitors; ++i) {
        nvapi::DisplayModeInfo mode{};
        mode.version = nvapi::kDisplayModeInfoVer;
        if (entries_.GetDisplayModeInfo(gpus[0], ids[i].displayId, &mode) != nvapi::OK) continue;
        monitors_.items.push_back("monitor " + std::to_string(monitors_.items.size()));
        rows_.push_back(MonitorTiming{ids[i].displayId, mode.height, mode.width, mode.modeWord, 0.0f,
                                      static_cast<float>(mode.refreshHz), 0.0f});
    }
    if (rows_.empty()) return;
    width_ = rows_[0].width;
    height_ = rows_[0].height;
    nvapi::MonitorDetails details{};
    details.version = nvapi::kMonitorDetailsVer;
    entries_.GetMonitorDetails(rows_[0].displayId, &details);  // asked as the driver expects; unused
    ReadCurrentTimings();
    OnSelectMonitor(0);
}

// Fills the rows' clocks from the current timings; shows the selected monitor's entry.
int32_t CPixelClockDlg::ReadCurrentTimings() {
    nvapi::DisplayHandle display = nullptr;
    if (int32_t status = entries_.EnumNvidiaDisplayHandle(0, &display)) return status;
    nvapi::CurrentTiming timings[nvapi::kMaxCurrentTimings] = {};
    for (auto& entry : timings) entry.version = nvapi::kCurrentTimingVer;
    uint32_t count = nvapi::kMaxCurrentTimings;
    if (int32_t status = entries_.GetCurrentTimings(display, &count, timings)) return status;
    for (uint32_t i = 0; i < count && i < nvapi::kMaxCurrentTimings && i < rows_.size(); ++i) {
        const nvapi::CurrentTiming& t = timings[i];
        rows_[i].pixelClock = static_cast<float>(t.pixelClock10kHz);
        if (t.refreshHz) rows_[i].refresh = static_cast<float>(t.refreshHz);
        rows_[i].clockPerHertz = t.refreshHz ? (t.pixelClock10kHz / 10.0f) / static_cast<float>(t.refreshHz) : 0.0f;
    }
    return 0;
}

// Rounds the clock to 0.1 MHz for the label and the slider.
void CPixelClockDlg::ShowTiming(uint32_t p, int refreshHz) {
    char text[64];
    std::snprintf(text, sizeof text, "Pixel Clock %d.%d MHz", int((p + 5) / 100), int(((p + 5) % 100) / 10));
    pixelClockLabel_.text = text;
    slider_.SetPos(static_cast<int32_t>((p + 5) / 10));
    std::snprintf(text, sizeof text, "Refresh Rate %d Hz", refreshHz);
    refreshLabel_.text = text;
}

void CPixelClockDlg::OnSelectMonitor(int index) {
    monitors_.Select(index);
    if (!monitors_.HasSelection() || index >= static_cast<int>(rows_.size())) return;
    const MonitorTiming& row = rows_[static_cast<std::size_t>(index)];
    ShowTiming(static_cast<uint32_t>(row.pixelClock), static_cast<int>(row.refresh));
}

void CPixelClockDlg::OnSliderMoved(int32_t position) {
    slider_.SetPos(position);
    position = slider_.GetPos();
    char text[64];
    std::snprintf(text, sizeof text, "Pixel Clock %d.%d MHz", position / 10, position % 10);
    pixelClockLabel_.text = text;
    const int selected = monitors_.selection;
    if (selected < 0 || selected >= static_cast<int>(rows_.size())) return;
    const float perHertz = rows_[static_cast<std::size_t>(selected)].clockPerHertz;
    if (perHertz <= 0) return;
    std::snprintf(text, sizeof text, "Refresh Rate %4.2f Hz", position / perHertz);
    refreshLabel_.text = text;
}

void CPixelClockDlg::OnApply() {
    const int selected = monitors_.selection;
    if (selected < 0 || selected >= static_cast<int>(rows_.size())) return;
    const float perHertz = rows_[static_cast<std::size_t>(selected)].clockPerHertz;
    if (perHertz <= 0) return;
    TryCustomTiming(slider_.GetPos() / perHertz, slider_.GetPos(), selected);
}

void CPixelClockDlg::OnDefault() {
    if (monitors_.HasSelection()) RevertToDefault(monitors_.selection);
}

int32_t CPixelClockDlg::TryCustomTiming(float refreshHz, int32_t pixelClock, int monitor) {
    if (trialDisplay_) return nvapi::API_IN_USE;  // one trial at a time, like the modal confirmation
    std::vector<uint32_t> ids;
    if (ListConnectedDisplays(entries_, ids) != 0) {
        Trace("\nCall to GetConnectedDisplays() failed");
        return -1;
    }
    Trace("\nNumber of Displays in the system = %2d", static_cast<int>(ids.size()));
    if (monitor < 0 || static_cast<std::size_t>(monitor) >= ids.size()) return nvapi::INVALID_ARGUMENT;
    const uint32_t wholeHz = static_cast<uint32_t>(refreshHz);
    std::vector<nvapi::CustomDisplay> custom(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        nvapi::CustomDisplay& cd = custom[i];
        cd = nvapi::CustomDisplay{};
        cd.version = nvapi::kCustomDisplayVer;
        cd.width = width_;
        cd.height = height_;
        cd.depth = 16;
        cd.colorFormat = 21;
        cd.srcPartition = {0.0f, 0.0f, 1.0f, 1.0f};
        cd.xRatio = cd.yRatio = 1.0f;
        nvapi::TimingInput input{nvapi::kTimingInputVer, width_, height_, static_cast<float>(wholeHz), {0, 0, 0},
                                 nvapi::kTimingTypeAuto};
        if (int32_t status = entries_.DispGetTiming(ids[i], &input, &cd.timing)) {
            Trace("NvAPI_DISP_GetTiming() failed = %d\n", status);
            return status;
        }
        cd.timing.rr = static_cast<uint16_t>(wholeHz);
        cd.timing.rrx1k = wholeHz * 1000;
        cd.timing.pclk = static_cast<uint32_t>(pixelClock) * 10;  // 0.1 MHz to 10 kHz units
    }
    Trace("\nCustom Timing to be tried: ");
    Trace("%d X %d @ %0.2f hz", static_cast<int>(width_), static_cast<int>(height_), refreshHz);
    uint32_t displayId = ids[static_cast<std::size_t>(monitor)];
    // Written first: a program killed while the trial runs reverts it at its next start.
    if (!marker_.Set(displayId)) return -1;
    if (int32_t status = entries_.DispTryCustomDisplay(&displayId, 1, &custom[static_cast<std::size_t>(monitor)])) {
        Trace("NvAPI_DISP_TryCustomDisplay() failed = %d", status);
        marker_.Clear();
        return status;
    }
    trialDisplay_ = displayId;
    confirmation_ = std::make_unique<CPixelMessageDlg>(loop_, [this] { FinishTrial(); });
    confirmation_->OnInitDialog();
    if (showConfirmation_) showConfirmation_(*confirmation_);
    return 0;
}

void CPixelClockDlg::FinishTrial() {
    if (!trialDisplay_) return;
    uint32_t displayId = *trialDisplay_;
    trialDisplay_.reset();
    if (keepCustomTiming == 1) {
        if (int32_t status = entries_.DispSaveCustomDisplay(&displayId, 1, 1, 1))
            Trace("NvAPI_DISP_SaveCustomDisplay() failed = %d", status);
    } else if (int32_t status = entries_.DispRevertCustomDisplayTrial(&displayId, 1)) {
        Trace("NvAPI_DISP_RevertCustomDisplayTrial() failed = %d", status);
    }
    marker_.Clear();
}

void CPixelClockDlg::OnClose() {
    if (confirmation_ && confirmation_->isOpen()) confirmation_->OnNo();
    FinishTrial();
}

int32_t CPixelClockDlg::RevertToDefault(int monitor) {
    std::vector<uint32_t> ids;
    if (ListConnectedDisplays(entries_, ids) != 0) {
        Trace("\nCall to GetConnectedDisplays() failed");
        return -1;
    }
    if (monitor < 0 || static_cast<std::size_t>(monitor) >= ids.size()) return nvapi::INVALID_ARGUMENT;
    for (uint32_t id : ids) {
        nvapi::TimingInput input{nvapi::kTimingInputVer, width_, height_, 60.0f, {0, 0, 0}, nvapi::kTimingTypeAuto};
        nvapi::Timing timing{};
        if (int32_t status = entries_.DispGetTiming(id, &input, &timing)) {
            Trace("NvAPI_DISP_GetTiming() failed = %d\n", status);
            return status;
        }
    }
    uint32_t displayId = ids[static_cast<std::size_t>(monitor)];
    int32_t status = entries_.DispRevertCustomDisplayTrial(&displayId, 1);
    ReadCurrentTimings();
    OnSelectMonitor(monitor);
    return status;
}

}  // namespace vx::display
