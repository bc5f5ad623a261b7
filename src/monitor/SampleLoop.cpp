#include "monitor/SampleLoop.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "app/AppSettings.h"
#include "app/CMultiLangSupp.h"
#include "app/CSetDialog.h"
#include "gpu/GpuAccess.h"
#include "gpu/TelemetryUnits.h"
#include "monitor/FanUnits.h"
#include "platform/SettingsStore.h"
#include "platform/SystemActions.h"
#include "tuning/CCorvaneHDDlg.h"
#include "ui/IClock.h"
#include "ui/IEventLoop.h"

namespace vx::monitor {
namespace {

constexpr int kTextProductName = 0;
constexpr int kTextTemperatureTooHigh = 5;  // "GPU %d temperature is too high!!!\n"
constexpr int kSensorSlotA = 0;             // the RPM fan controller carries sensor a
constexpr int kSensorSlotB = 3;
constexpr int kMonitorSlots[] = {9, 10, 11};
constexpr int32_t kLegacyKind2D = 1;
constexpr int32_t kLegacyKind3DPerf = 2;
constexpr int32_t kMaxShownMv = 2000;

uint16_t DeviceId(GpuAccess& gpu, uint8_t index) {
    return static_cast<uint16_t>(std::strtoul(gpu.deviceIdText(index).c_str(), nullptr, 16));
}

// The current legacy level kind, 0 when it cannot be read.
int32_t LegacyKind(GpuAccess& gpu, uint8_t index) {
    int32_t graphics = 0, processor = 0, memory = 0, kind = 0;
    return gpu.GetLegacyCurrentClocks(index, graphics, processor, memory, kind) == nvapi::OK ? kind : 0;
}

// Kinds 1 and 2 report RPM only while their tach answers; the RPM controller always does.
// The rail voltage the driver reports, plus the offset an on-card regulator adds on top of it.
int32_t VfCoreVoltageMv(GpuAccess& gpu, uint8_t index) {
    uint32_t microvolts = 0;
    if (gpu.GetCoreVoltageUv(index, microvolts) != nvapi::OK) return -1;
    uint32_t offsetUv = 0;
    if (gpu.GetRegulatorOffsetUv(index, offsetUv) == nvapi::OK) microvolts += offsetUv;
    return telemetry::UvToMv(microvolts);
}

std::string FormatGpuMessage(int gpuNumber) {
    char text[256];
    std::snprintf(text, sizeof text, app::Text(kTextTemperatureTooHigh), gpuNumber);
    return text;
}

ValueLabel ClockLabel(bool has, const LegacyDomainRange& domain) {
    if (!has) return {};
    char text[16];
    std::snprintf(text, sizeof text, "%d", domain.frequency / 1000);
    const bool outside = domain.frequency < domain.minimum || domain.frequency > domain.maximum;
    return {text, outside ? kLabelAlert : kLabelNormal};
}

}  // namespace

app::SetDialogHooks SampleLoop::SettingsDialogHooks() {
    app::SetDialogHooks hooks;
    hooks.setSamplingInterval = [this](uint32_t intervalMs) {
        if (hooks_.samplingIntervalChanged) hooks_.samplingIntervalChanged(intervalMs);
    };
    hooks.setFramerateFeed = [this](bool show) {
        if (hooks_.framerateDisplayChanged) hooks_.framerateDisplayChanged(show);
    };
    return hooks;
}

SampleLoop::SampleLoop(tuning::CCorvaneHDDlg& dialog, app::AppSettings& settings, platform::SettingsStore& store,
                       platform::SystemActions& actions, ui::IClock& clock, SampleHooks hooks,
                       BoardPowerEstimator::RandomSource random)
    : dialog_(dialog),
      settings_(settings),
      store_(store),
      actions_(actions),
      clock_(clock),
      hooks_(std::move(hooks)),
      fans_(dialog, settings, curve_, clock),
      power_(random ? std::move(random) : BoardPowerEstimator::RandomSource([] { return std::rand(); })) {}

SampleLoop::~SampleLoop() { Stop(); }

void SampleLoop::Start(ui::IEventLoop& loop) {
    Stop();
    loop_ = &loop;
    loop.SetTimer(kSampleTimerId, kSamplePeriodMs, [this] { OnTimer(kSampleTimerId); });
}

void SampleLoop::Stop() {
    if (loop_) loop_->KillTimer(kSampleTimerId);
    loop_ = nullptr;
}

void SampleLoop::OnTimer(uint32_t id) {
    if (id == kSampleTimerId) SampleTick();
}

bool SampleLoop::powerValid(int gpu) const {
    return gpu >= 0 && gpu < FanAutomation::kMaxGpus && powerValid_[static_cast<std::size_t>(gpu)];
}

void SampleLoop::SampleTick() {
    {
        // The apply worker writes for seconds at a time; this sample is simply skipped.
        auto hardware = dialog_.TryLockHardware();
        if (!hardware.owns_lock()) {
            ++samplesSkipped_;
            return;
        }
        ++samplesTaken_;
        const int count = dialog_.gpuCount();
        const int current = dialog_.currentGpu();
        if (current < 0 || current >= count) {
            labels_.graphicsClock = labels_.memoryClock = labels_.processorClock = ValueLabel{};
        }
        curve_.SelectGpu(current);
        curve_.SetFanRange(dialog_.fanRangeMin(), dialog_.fanRangeMax());
        for (int gpu = 0; gpu < count; ++gpu) FirstPass(gpu);
        for (int gpu = 0; gpu < count; ++gpu) SecondPass(gpu);
        curve_.SetMarker(CurveMarker(current, count));
        if (hooks_.publishDisplayText) hooks_.publishDisplayText();
    }
    if (hooks_.sampled) hooks_.sampled();
    // The modal window runs its own loop, in which later samples must be able to run.
    if (pendingAlarm_) {
        std::string text = std::move(*pendingAlarm_);
        pendingAlarm_.reset();
        ShowAlarm(text);
    }
}

std::optional<CurvePoint> SampleLoop::CurveMarker(int gpu, int count) {
    if (gpu < 0 || gpu >= count) return std::nullopt;
    const tuning::LiveFields& live = dialog_.record(gpu).live;
    if (live.temperature < 0 || live.fanPercent < 0) return std::nullopt;  // unread
    return CurvePoint{live.temperature, live.fanPercent};
}

void SampleLoop::FirstPass(int gpu) {
    const bool current = gpu == dialog_.currentGpu();
    if (current) UpdateClockLabels(gpu);

    GpuAccess& access = dialog_.gpu();
    const auto index = static_cast<uint8_t>(gpu);
    nvapi::DynamicPstatesInfo utilization{};
    utilization.version = nvapi::kDynamicPstatesInfoVer;
    if (access.GetUtilization(index, utilization) == nvapi::OK)
        dialog_.record(gpu).live.loadPercent = telemetry::LoadPercent(utilization);

    EstimatePower(gpu);
    ReadTemperature(gpu, current);
    ReadFan(gpu, current);
    ReadVoltage(gpu, current);
}

void SampleLoop::UpdateClockLabels(int gpu) {
    GpuAccess& access = dialog_.gpu();
    const auto index = static_cast<uint8_t>(gpu);
    LegacyClockRange range;
    const int32_t status = access.GetLegacyClockRange(index, range, dialog_.record(gpu).workMode);
    access.RefreshHandlesOnStatus(status);  // stale handles: the driver restarted
    const GpuRecord* record = access.Record(index);
    if (status != nvapi::OK || !record) {
        labels_.graphicsClock = labels_.memoryClock = labels_.processorClock = ValueLabel{};
        return;
    }
    labels_.graphicsClock = ClockLabel(record->hasGraphicsDomain, range.graphics);
    labels_.memoryClock = ClockLabel(record->hasMemoryDomain, range.memory);
    labels_.processorClock = ClockLabel(record->hasProcessorDomain, range.processor);
}

void SampleLoop::EstimatePower(int gpu) {
    GpuAccess& access = dialog_.gpu();
    const auto index = static_cast<uint8_t>(gpu);
    tuning::LiveFields& live = dialog_.record(gpu).live;

    if (access.IsCardDevicePresent(index, kSensorSlotA) && access.IsCardDevicePresent(index, kSensorSlotB)) {
        powerValid_[static_cast<std::size_t>(gpu)] = true;
        std::optional<float> a, b;
        float value = 0.0f;
        if (access.ReadControllerSensorA(index, value) == nvapi::OK) a = value;
        if (access.ReadControllerSensorB(index, value) == nvapi::OK) b = value;
        const auto watts =
            power_.SensorPairSample(a, b, [&] { return LegacyKind(access, index) == kLegacyKind2D; });
        if (watts) {
            live.boardPower = *watts;
            if (hooks_.invalidate)
                for (const PixelRect& area : kPowerMeterAreas) hooks_.invalidate(area);
        }
    }

    std::array<std::optional<uint16_t>, 3> counts;
    bool regulators = false;
    for (std::size_t page = 0; page < counts.size(); ++page) {
        const int slot = kMonitorSlots[page];
        if (!access.IsCardDevicePresent(index, slot)) continue;
        regulators = true;
        uint16_t count = 0;
        if (access.ReadMonitorWord(index, slot, count) == nvapi::OK) counts[page] = count;
    }
    if (regulators) {
        live.boardPower = BoardPowerEstimator::RegulatorWatts(counts, DeviceId(access, index), [&] {
            const int32_t kind = LegacyKind(access, index);
            return kind == kLegacyKind2D || kind == kLegacyKind3DPerf;
        });
    }
}

void SampleLoop::ReadTemperature(int gpu, bool current) {
    GpuAccess& access = dialog_.gpu();
    tuning::LiveFields& live = dialog_.record(gpu).live;
    live.temperature = -1;
    int32_t celsius = 0;
    if (access.GetTemperature(static_cast<uint8_t>(gpu), celsius) != nvapi::OK) return;
    live.temperature = celsius;
    if (hooks_.writeTemperature) hooks_.writeTemperature(gpu, celsius);

    // The settings dialog may have changed the alarm since the last sample.
    if (const auto set = store_.Read(app::reg::kTemperatureAlarmSet)) settings_.temperatureAlarmSet = *set != 0;
    if (settings_.temperatureAlarmSet) {
        const uint32_t value = store_.Read(app::reg::kTemperatureAlarmValue).value_or(0);
        const auto threshold = static_cast<uint8_t>(kAlarmBaseC + value);
        if (current) labels_.temperature = kLabelAlert;
        if (celsius > threshold) RaiseAlarm(gpu, celsius);
    } else if (current) {
        labels_.temperature = kLabelNormal;
    }
    if (current && hooks_.refreshTemperatureDisplay) hooks_.refreshTemperatureDisplay();
}

void SampleLoop::RaiseAlarm(int gpu, int32_t celsius) {
    actions_.Beep(kAlarmBeepHz, kAlarmBeepMs);
    const std::string message = FormatGpuMessage(gpu + 1);
    if (celsius > kShutdownAboveC) {
        // Asked once: asking again would push a scheduled power-off further out each sample.
        if (!shutdownRequested_) shutdownRequested_ = actions_.ScheduleShutdown(kShutdownDelaySeconds, message);
        return;
    }
    if (!alarmWindow_.isOpen() && !pendingAlarm_) pendingAlarm_ = message;
}

void SampleLoop::ShowAlarm(const std::string& text) {
    if (alarmWindow_.isOpen()) return;
    alarmWindow_.Prepare(app::Text(kTextProductName), text);
    alarmWindow_.SetOpen(true);
    if (hooks_.showAlarm) hooks_.showAlarm(alarmWindow_);
    alarmWindow_.SetOpen(false);
}

void SampleLoop::ReadFan(int gpu, bool current) {
    GpuAccess& access = dialog_.gpu();
    const auto index = static_cast<uint8_t>(gpu);
    tuning::GpuTuningRecord& record = dialog_.record(gpu);
    tuning::LiveFields& live = record.live;
    if (access.legacyListA(index)) record.fanState = static_cast<int32_t>(clock_.TickCountMs());

    const GpuRecord* gpuRecord = access.Record(index);
    const bool rpm = gpuRecord && ReportsRpm(*gpuRecord);
    int32_t value = 0;
    int32_t status = -1;
    if (access.fanAccessKind(index) == kFanDriverCooler) {
        int32_t mode = 0;
        access.GetFanMode(index, mode);  // refreshes the level the percent read reports
    }
    if (access.fanAccessKind(index) != kFanNotControllable) status = access.GetFanSpeed(index, value, rpm);
    if (status != nvapi::OK) {
        live.fanPercent = -1;
        live.fanRpm = -1;
        if (current) labels_.fanOutOfRange = false;
        return;  // and no automation for this GPU
    }

    live.fanPercent = value;
    int32_t maximum = 0, minimum = 0;
    access.GetFanLevelRange(index, maximum, minimum);
    int32_t minimumPercent = minimum;
    bool outOfRange = false;
    if (access.IsCardDevicePresent(index, kSensorSlotA) && !access.IsCardDevicePresent(index, kSensorSlotB)) {
        // The RPM controller: a raw speed against its RPM limits.
        outOfRange = value < maximum * 0.5;
        live.fanPercent = maximum != 0 ? static_cast<int32_t>(int64_t{value} * 100 / maximum) : -1;
        live.fanRpm = value;
        minimumPercent = maximum > 0 ? static_cast<int32_t>(int64_t{minimum} * 100 / maximum) : 0;
    } else if (!rpm) {
        outOfRange = value < minimum || value > maximum;
        int32_t tach = 0;
        const bool tachRead = access.fanAccessKind(index) == kFanDriverCooler &&
                              access.GetFanSpeed(index, tach, true) == nvapi::OK;
        live.fanRpm = tachRead ? tach : -1;
    } else {
        int32_t percent = 0;
        if (access.GetFanSpeed(index, percent, false) == nvapi::OK) {
            outOfRange = percent < minimum || percent > maximum;
            live.fanPercent = percent;
            live.fanRpm = value;
        } else {
            live.fanPercent = -1;
            live.fanRpm = -1;
        }
    }
    if (current) labels_.fanOutOfRange = outOfRange;
    if (hooks_.writeFanSpeed) hooks_.writeFanSpeed(gpu, live.fanPercent);

    // An unknown temperature drives no scheme.
    if (live.temperature != -1 && live.fanPercent != -1)
        fans_.RunFanAutomation(gpu, live.temperature, live.fanPercent, minimumPercent);
}

void SampleLoop::ReadVoltage(int gpu, bool current) {
    GpuAccess& access = dialog_.gpu();
    const auto index = static_cast<uint8_t>(gpu);
    tuning::GpuTuningRecord& record = dialog_.record(gpu);
    double volts = 0.0;
    if (access.ReadLegacyCoreVoltage(index, volts) == nvapi::OK && std::isfinite(volts)) {
        const double millivolts = volts * 1000.0;
        if (current) {
            const bool outside = millivolts < 0.0 || millivolts > kMaxShownMv;
            labels_.voltage = record.workMode == tuning::kWorkMode3DLow || !outside ? kLabelNormal : kLabelAlert;
        }
        record.live.coreVoltage = millivolts > 0.0 && millivolts < 2147483647.0 ? static_cast<int32_t>(millivolts) : 0;
    } else if (!access.isSupported(index)) {
        record.live.coreVoltage = -1;
    }
}

void SampleLoop::SecondPass(int gpu) {
    GpuAccess& access = dialog_.gpu();
    const auto index = static_cast<uint8_t>(gpu);
    tuning::GpuTuningRecord& record = dialog_.record(gpu);
    tuning::LiveFields& live = record.live;

    nvapi::ClockFrequencies clocks = telemetry::ClockRequest(nvapi::kClockCurrent);
    const int32_t clockStatus = access.GetClockFrequencies(index, clocks);
    access.RefreshHandlesOnStatus(clockStatus);
    int32_t graphics = 0, processor = 0, memory = 0, kind = 0;
    const int32_t levelStatus = access.GetLegacyCurrentClocks(index, graphics, processor, memory, kind);
    const GpuRecord* gpuRecord = access.Record(index);
    if (levelStatus != nvapi::OK || !gpuRecord) {
        live.graphicsClock = live.processorClock = live.memoryClock = -1;
    } else {
        const bool fromFrequencies = gpuRecord->usesPstates20() || gpuRecord->usesVfPoints();
        auto mhz = [&](uint32_t domain, int32_t legacyKhz) -> int32_t {
            if (!fromFrequencies) return legacyKhz / 1000;
            const auto& entry = clocks.domains[domain];
            return clockStatus == nvapi::OK && (entry.flags & 1u) ? telemetry::KhzToMhz(entry.frequencyKhz) : -1;
        };
        if (gpuRecord->hasGraphicsDomain) live.graphicsClock = mhz(nvapi::kClockDomainGraphics, graphics);
        if (gpuRecord->hasProcessorDomain) live.processorClock = mhz(nvapi::kClockDomainProcessor, processor);
        if (gpuRecord->hasMemoryDomain) live.memoryClock = mhz(nvapi::kClockDomainMemory, memory);
        // Other GPUs keep the first pass's reading: overwriting it would show 0 mV.
        if (gpuRecord->usesVfPoints()) live.coreVoltage = VfCoreVoltageMv(access, index);
    }

    if (gpu == 0) {
        clockLinkShown_ = dialog_.buttons.linkCoreShader.Shows(tuning::image::kLinked);
        fanAutomaticShown_ = dialog_.buttons.fanMode.Shows(tuning::image::kFanAuto);
        if (hooks_.writeCurrentState) {
            CurrentState state;
            state.workMode = record.workMode;
            state.clockLinkShown = clockLinkShown_;
            state.fanAutomaticShown = fanAutomaticShown_;
            state.timeText = TimeText();
            state.driverVersion = dialog_.texts(0).driverVersion;
            state.live = &live;
            hooks_.writeCurrentState(state);
        }
        if (hooks_.pushCurrentState) hooks_.pushCurrentState();
        if (hooks_.copyToGadget) hooks_.copyToGadget();
    }
    fans_.ApplyFanAssociation(gpu);
    if (hooks_.appendDisplayText) hooks_.appendDisplayText(gpu);
}

std::string SampleLoop::TimeText() const { return LocalTimeText(clock_.Now()); }

std::string LocalTimeText(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millisecond =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    if (const std::tm* converted = std::localtime(&seconds)) local = *converted;  // interface thread only
    char text[48];
    std::snprintf(text, sizeof text, "%u:%u:%u:%u", static_cast<unsigned>(local.tm_hour),
                  static_cast<unsigned>(local.tm_min), static_cast<unsigned>(local.tm_sec),
                  static_cast<unsigned>(millisecond < 0 ? 0 : millisecond));
    return text;
}

}  // namespace vx::monitor
