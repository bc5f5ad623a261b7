#include "monitor/OverlayFeed.h"

#include <algorithm>

#include "app/AppSettings.h"
#include "gpu/GpuAccess.h"
#include "monitor/FanUnits.h"
#include "monitor/SampleLoop.h"
#include "tuning/CCorvaneHDDlg.h"
#include "ui/IClock.h"

namespace vx::monitor {
namespace {

using platform::OverlayObject;
namespace field = platform::overlay;

uint8_t Flag(bool on) { return on ? 1 : 0; }

}  // namespace

OverlayFeed::OverlayFeed(platform::OverlayBridge& bridge, const app::AppSettings& settings,
                         tuning::CCorvaneHDDlg& dialog, ui::IClock& clock)
    : bridge_(bridge), settings_(settings), dialog_(dialog), clock_(clock) {}

void OverlayFeed::InitOverlay(platform::OverlayWindow window) {
    if (auto offsets = bridge_.ProbeDirect3D11(window)) {
        bridge_.WriteWord(OverlayObject::kHookControl, field::kHookSwapChain, offsets->swapChain);
        bridge_.WriteWord(OverlayObject::kHookControl, field::kHookPresent, offsets->present);
    }
    bridge_.InitMasterWnd(OverlayObject::kHookControl, window);
    gpuCount_ = dialog_.gpuCount();
    const auto count = static_cast<uint8_t>(std::clamp(gpuCount_, 0, 255));
    bridge_.WriteByte(OverlayObject::kHookControl, field::kHookFramerate, Flag(settings_.osdFramerateShow));
    bridge_.WriteByte(OverlayObject::kHookControl, field::kHookGpuCount, count);
    bridge_.WriteByte(OverlayObject::kHookControl, field::kActiveFlag, 1);
    bridge_.WriteWord(OverlayObject::kHookControl, field::kHookProcessId, bridge_.WindowProcessId(window));
    if (auto offsets = bridge_.ProbeDirect3D9(window)) {
        bridge_.WriteWord(OverlayObject::kOsdShared, field::kOsdPresent, offsets->present);
        bridge_.WriteWord(OverlayObject::kOsdShared, field::kOsdReset, offsets->reset);
    }
    bridge_.InitMasterWnd(OverlayObject::kOsdShared, window);
    bridge_.WriteByte(OverlayObject::kOsdShared, field::kOsdFramerate, Flag(settings_.osdFramerateShow));
    bridge_.WriteByte(OverlayObject::kOsdShared, field::kOsdGpuCount, count);
}

void OverlayFeed::AppendGpuOverlay(int gpu) {
    if (stopped_) return;
    const tuning::LiveFields& live = dialog_.record(gpu).live;
    const GpuRecord* record = dialog_.gpu().Record(static_cast<uint8_t>(gpu));
    OverlayGpuValues values{gpu,         live.graphicsClock, live.processorClock, live.memoryClock,
                            live.temperature, live.fanPercent, live.fanRpm,
                            dialog_.gpu().fanAccessKind(static_cast<uint8_t>(gpu)) != kFanNotControllable,
                            record && ReportsRpm(*record)};
    const OverlaySwitches on{settings_.osdClockShow, settings_.osdTempShow, settings_.osdFanSpeedShow};
    bridge_.WriteByte(OverlayObject::kHookControl, field::kHookOverlayOn, text_.AppendGpu(on, values, gpuCount_));
}

void OverlayFeed::PublishOverlay() {
    if (stopped_) return;
    bridge_.SetOsdText(text_.narrow());
    bridge_.WriteByte(OverlayObject::kHookControl, field::kHookFramerate, Flag(settings_.osdFramerateShow));
    bridge_.SetHookText(text_.wide());
    text_.Clear();  // the next sample starts empty
}

void OverlayFeed::StopOverlay() {
    if (stopped_) return;
    stopped_ = true;
    bridge_.WriteWord(OverlayObject::kHookControl, field::kRunWord, 0);
    bridge_.WriteByte(OverlayObject::kHookControl, field::kActiveFlag, 0);
    clock_.SleepMs(kStopPauseMs);
    bridge_.WriteWord(OverlayObject::kOsdShared, field::kRunWord, 0);
    bridge_.WriteByte(OverlayObject::kOsdShared, field::kStopFlag, 1);
    bridge_.HookCBT_Uninstall();
}

void OverlayFeed::SetFramerateShow(bool show) {
    if (!stopped_) bridge_.WriteByte(OverlayObject::kOsdShared, field::kOsdFramerate, Flag(show));
}

void OverlayFeed::Attach(SampleHooks& hooks) {
    hooks.appendDisplayText = [this](int gpu) { AppendGpuOverlay(gpu); };
    hooks.publishDisplayText = [this] { PublishOverlay(); };
    hooks.framerateDisplayChanged = [this](bool show) { SetFramerateShow(show); };
}

}  // namespace vx::monitor
