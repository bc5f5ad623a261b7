#include "tuning/CAdvanceDlg.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "gpu/ClockStructs.h"
#include "gpu/PowerStructs.h"
#include "gpu/TelemetryStructs.h"
#include "gpu/TelemetryUnits.h"
#include "tuning/ApplyWrites.h"

namespace vx::tuning {
namespace {

// Every button and the readings act on the first GPU, whatever GPU the main dialog shows.
constexpr uint8_t kTargetGpu = 0;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

const nvapi::Pstates20Pstate* FirstPstate(const nvapi::Pstates20Info& info) {
    if (info.numPstates == 0 || info.numPstates > nvapi::kPstates20MaxPstates) return nullptr;
    return &info.pstates[0];
}

const nvapi::Pstates20Clock* ClockOf(const nvapi::Pstates20Info& info, uint32_t domain) {
    const nvapi::Pstates20Pstate* pstate = FirstPstate(info);
    if (!pstate) return nullptr;
    const uint32_t clocks = info.numClocks <= nvapi::kPstates20MaxClocks ? info.numClocks : 0;
    for (uint32_t c = 0; c < clocks; ++c)
        if (pstate->clocks[c].domainId == domain) return &pstate->clocks[c];
    return nullptr;
}

const nvapi::Pstates20Voltage* CoreVoltageOf(const nvapi::Pstates20Info& info) {
    const nvapi::Pstates20Pstate* pstate = FirstPstate(info);
    if (!pstate) return nullptr;
    const uint32_t voltages = info.numBaseVoltages <= nvapi::kPstates20MaxBaseVoltages ? info.numBaseVoltages : 0;
    for (uint32_t v = 0; v < voltages; ++v)
        if (pstate->baseVoltages[v].domainId == nvapi::kVoltageDomainCore) return &pstate->baseVoltages[v];
    return nullptr;
}

// The power target of GPU 0's first policy, written over the status just read; nothing is
// written when that read fails.
void WritePowerTarget(GpuAccess& gpu, int32_t milliPercent) {
    uint32_t before = 0;
    bool readOk = false;
    applywrites::WritePowerTarget(gpu, kTargetGpu, static_cast<uint32_t>(milliPercent), before, readOk);
}

}  // namespace

CAdvanceDlg::CAdvanceDlg(CCorvaneHDDlg& owner, ui::IEventLoop& loop, AdvanceDialogHooks hooks)
    : owner_(owner), gpu_(owner.gpu()), loop_(loop), hooks_(std::move(hooks)) {}

CAdvanceDlg::~CAdvanceDlg() {
    if (opened_) loop_.KillTimer(advance::kReadingsTimerId);
}

void CAdvanceDlg::OnOpenRequest() {
    if (!opened_) OnInitDialog();
    if (hooks_.showWindow) hooks_.showWindow();
}

void CAdvanceDlg::OnInitDialog() {
    const uint8_t shown = owner_.currentGpu() > 0 ? static_cast<uint8_t>(owner_.currentGpu()) : 0;
    {
        auto lock = owner_.LockHardware();
        ReadPowerRange(shown);
        ReadOffsetRanges(shown);
    }
    resetGraphicsKhz_ = resetMemoryKhz_ = resetVoltageSteps_ = 0;

    wide_ = false;
    controls.widen.text = advance::kWidenText;

    controls.clockView.items = {"Current Clock", "Base Clock", "Boost Clock"};
    controls.clockView.Select(0);
    opened_ = true;
    loop_.SetTimer(advance::kReadingsTimerId, advance::kReadingsIntervalMs, [this] { OnTimer(); });
}

void CAdvanceDlg::ReadPowerRange(uint8_t gpu) {
    nvapi::PowerPoliciesInfo info{};
    powerKnown_ = gpu_.GetPowerPoliciesInfo(gpu, info) == nvapi::OK && info.valid != 0 && info.count > 0;
    // Without a range the trackbar would sit at 0 and its Apply would ask for a 0 % target.
    controls.powerTarget.EnableWindow(powerKnown_);
    controls.applyPower.enabled = powerKnown_;
    if (!powerKnown_) return;
    const nvapi::PowerPolicyInfoEntry& entry = info.entries[0];
    const auto minimum = static_cast<int32_t>(entry.pwrLimitMin);
    const auto maximum = static_cast<int32_t>(entry.pwrLimitMax);
    defaultPowerTarget_ = static_cast<int32_t>(entry.pwrLimitDefault);
    controls.powerTarget.SetRange(minimum, maximum);
    controls.powerRange.text = Format("(Min:%d---Max:%d---Default:%d)", minimum, maximum, defaultPowerTarget_);
}

void CAdvanceDlg::ReadOffsetRanges(uint8_t gpu) {
    controls.graphicsOffset.SetRange(-advance::kClockOffsetLimitKhz, advance::kClockOffsetLimitKhz);
    controls.memoryOffset.SetRange(-advance::kClockOffsetLimitKhz, advance::kClockOffsetLimitKhz);
    nvapi::Pstates20Info table{};
    if (gpu_.GetPstates20(gpu, table) != nvapi::OK) {
        controls.voltageOffset.SetRange(0, 0);
        return;
    }
    auto fillOffset = [&](uint32_t domain, ui::CCVSlider& slider, ui::TextControl& range, ui::TextControl& value,
                          int32_t& kept) {
        const nvapi::Pstates20Clock* clock = ClockOf(table, domain);
        if (!clock) return;
        const nvapi::DeltaRange& delta = clock->freqDeltaKhz;
        range.text = Format("(Min:%d---Max:%d---Default:%d)", delta.minimum, delta.maximum, delta.value);
        value.text = Format("%d", delta.value);
        slider.SetPos(delta.value);
        kept = delta.value;
    };
    fillOffset(nvapi::kClockDomainGraphics, controls.graphicsOffset, controls.graphicsRange, controls.graphicsValue,
               openedGraphicsOffsetKhz_);
    fillOffset(nvapi::kClockDomainMemory, controls.memoryOffset, controls.memoryRange, controls.memoryValue,
               openedMemoryOffsetKhz_);

    const nvapi::Pstates20Voltage* voltage = CoreVoltageOf(table);
    if (!voltage) {
        controls.voltageOffset.SetRange(0, 0);
        return;
    }
    // Integer division: a bound that is not a whole step is cut toward 0, inside the range.
    controls.voltageOffset.SetRange(voltage->voltDeltaUv.minimum / advance::kVoltageStepUv,
                                    voltage->voltDeltaUv.maximum / advance::kVoltageStepUv);
    controls.voltageRange.text = Format("(Min:%d---Max:%d)", voltage->voltDeltaUv.minimum, voltage->voltDeltaUv.maximum);
}

void CAdvanceDlg::OnSliderMoved(ui::CCVSlider& slider, int32_t position) {
    slider.SetPos(position);
    ShowTrackbarValues();
}

void CAdvanceDlg::ShowTrackbarValues() {
    controls.powerValue.text = Format("%d", controls.powerTarget.GetPos());
    controls.graphicsValue.text = Format("%d", controls.graphicsOffset.GetPos());
    controls.memoryValue.text = Format("%d", controls.memoryOffset.GetPos());
    controls.voltageValue.text = Format("%d", controls.voltageOffset.GetPos() * advance::kVoltageStepUv);
}

void CAdvanceDlg::OnClockViewChanged(int index) { controls.clockView.Select(index); }

void CAdvanceDlg::OnApplyPower() {
    if (!controls.applyPower.enabled) return;
    auto lock = owner_.LockHardware();
    WritePowerTarget(gpu_, controls.powerTarget.GetPos());
}

void CAdvanceDlg::OnApplyGraphicsOffset() {
    auto lock = owner_.LockHardware();
    gpu_.SetGraphicsClockOffset(kTargetGpu, controls.graphicsOffset.GetPos());
}

void CAdvanceDlg::OnApplyMemoryOffset() {
    auto lock = owner_.LockHardware();
    gpu_.SetMemoryClockOffset(kTargetGpu, controls.memoryOffset.GetPos());
}

void CAdvanceDlg::OnApplyVoltageOffset() {
    auto lock = owner_.LockHardware();
    gpu_.SetCoreVoltageOffset(kTargetGpu, controls.voltageOffset.GetPos() * advance::kVoltageStepUv);
}

void CAdvanceDlg::OnReset() {
    controls.graphicsOffset.SetPos(resetGraphicsKhz_);
    controls.memoryOffset.SetPos(resetMemoryKhz_);
    controls.voltageOffset.SetPos(resetVoltageSteps_);
    if (powerKnown_) controls.powerTarget.SetPos(defaultPowerTarget_);
    ShowTrackbarValues();

    auto lock = owner_.LockHardware();
    if (powerKnown_) WritePowerTarget(gpu_, defaultPowerTarget_);
    gpu_.SetGraphicsClockOffset(kTargetGpu, resetGraphicsKhz_);
    gpu_.SetMemoryClockOffset(kTargetGpu, resetMemoryKhz_);
    gpu_.SetCoreVoltageOffset(kTargetGpu, resetVoltageSteps_ * advance::kVoltageStepUv);
}

void CAdvanceDlg::OnWidenOrNarrow() {
    wide_ = !wide_;
    if (!wide_) {
        controls.widen.text = advance::kWidenText;
        return;
    }
    controls.widen.text = advance::kNarrowText;
    if (lastPowerTarget_) {
        controls.powerValue.text = Format("%d", *lastPowerTarget_);
        controls.powerTarget.SetPos(*lastPowerTarget_);
    }
    controls.graphicsOffset.SetPos(openedGraphicsOffsetKhz_);
    controls.memoryOffset.SetPos(openedMemoryOffsetKhz_);
}

void CAdvanceDlg::OnTimer() {
    auto lock = owner_.TryLockHardware();
    if (!lock.owns_lock()) return;
    ReadClocks();
    ReadStatus();
    lock.unlock();
    Changed();
}

void CAdvanceDlg::ReadClocks() {
    const int view = controls.clockView.HasSelection() ? controls.clockView.selection : 0;
    nvapi::ClockFrequencies clocks = telemetry::ClockRequest(static_cast<nvapi::ClockType>(view));
    if (gpu_.GetClockFrequencies(kTargetGpu, clocks) != nvapi::OK) return;
    // A domain the GPU does not report (no processor clock on newer boards) shows nothing
    // rather than a made-up 0MHz.
    auto show = [&](ui::TextControl& box, uint32_t domain) {
        const nvapi::ClockFrequencyDomain& entry = clocks.domains[domain];
        box.text = (entry.flags & 1u) ? Format("%dMHz", telemetry::KhzToMhz(entry.frequencyKhz)) : std::string();
    };
    show(controls.graphicsClock, nvapi::kClockDomainGraphics);
    show(controls.memoryClock, nvapi::kClockDomainMemory);
    show(controls.processorClock, nvapi::kClockDomainProcessor);
}

void CAdvanceDlg::ReadStatus() {
    uint32_t pstate = 0;
    if (gpu_.GetCurrentPstate(kTargetGpu, pstate) == nvapi::OK)
        controls.pstateReading.text = Format("P%d", static_cast<int>(pstate));

    nvapi::PowerTopologyInfo topology{};
    topology.version = nvapi::kPowerTopologyInfoVer;
    if (gpu_.GetPowerTopologyInfo(kTargetGpu, topology) == nvapi::OK && topology.flags != 0) {
        nvapi::PowerTopologyStatus power = telemetry::PowerStatusRequest(topology);
        if (gpu_.GetPowerTopologyStatus(kTargetGpu, power) == nvapi::OK) {
            const uint32_t count = power.count <= nvapi::kMaxPowerTopologyEntries ? power.count : 0;
            for (uint32_t i = 0; i < count; ++i)
                if (power.entries[i].channelId == nvapi::kPowerChannelTotalGpu) {
                    controls.powerReading.text = Format("%d", static_cast<int32_t>(power.entries[i].power));
                    break;
                }
        }
    }

    nvapi::PowerPoliciesStatus target{};
    target.version = nvapi::kPowerPoliciesStatusVer;
    target.count = 1;
    target.entries[0].policyId = nvapi::kPowerPolicyTotalGpu;
    if (gpu_.GetPowerPoliciesStatus(kTargetGpu, target) == nvapi::OK) {
        lastPowerTarget_ = static_cast<int32_t>(target.entries[0].powerLimit);
        controls.powerTargetReading.text = Format("%d", *lastPowerTarget_);
    }

    uint32_t microvolts = 0;
    const int32_t voltage = gpu_.usesVfPoints(kTargetGpu) ? gpu_.GetCoreVoltageUv(kTargetGpu, microvolts)
                                                           : gpu_.GetCoreVoltageDomainUv(kTargetGpu, microvolts);
    if (voltage == nvapi::OK) controls.voltageReading.text = Format("%d", static_cast<int32_t>(microvolts));

    int32_t celsius = 0;
    if (gpu_.GetTemperature(kTargetGpu, celsius) == nvapi::OK) controls.temperatureReading.text = Format("%d C", celsius);
}

void CAdvanceDlg::Changed() {
    if (hooks_.modelChanged) hooks_.modelChanged();
}

}  // namespace vx::tuning
