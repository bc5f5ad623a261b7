#include "peripherals/LedEffects.h"

#include <algorithm>
#include <vector>

namespace vx::peripherals {
namespace {

constexpr LedColour kBlack{0, 0, 0};
constexpr int kSteps = 30;  // a breath rises over 30 steps and falls over 31
constexpr uint32_t kFlashMs = 200;
constexpr uint32_t kFollowMs = 500;

LedColour Scaled(LedColour colour, int k) {
    return {static_cast<uint8_t>(colour.red * k / kSteps), static_cast<uint8_t>(colour.green * k / kSteps),
            static_cast<uint8_t>(colour.blue * k / kSteps)};
}

// Readings from the driver may be missing (-1) or past 100: the colour stays in range.
int32_t Percent(int32_t value) { return std::clamp(value, 0, 100); }

}  // namespace

std::optional<LedSelector> SelectorOfEffectValue(int32_t effectValue) {
    constexpr LedSelector kByValue[] = {kLedSteady,       kLedBreathing, kLedCycleBreathing, kLedCycleStepped,
                                        kLedOff,          kLedTemperature, kLedLoad,         kLedFan};
    if (effectValue < 0 || effectValue >= static_cast<int32_t>(std::size(kByValue))) return std::nullopt;
    return kByValue[effectValue];
}

double PeriodOfSpeedIndex(int32_t index) { return (std::clamp(index, 0, 7) + 3) * 1000.0; }

std::optional<LedColour> PresetColour(int32_t preset) {
    constexpr LedColour kPresets[] = {{255, 255, 255}, {255, 0, 0},  {255, 49, 0},  {255, 200, 0},
                                      {0, 255, 0},     {0, 0, 255},  {254, 27, 46}, {128, 0, 128}};
    if (preset < 1 || preset > static_cast<int32_t>(std::size(kPresets))) return std::nullopt;
    return kPresets[preset - 1];
}

void LedEffects::StartLedEffect(const LedEffectParams& params, const LedPeriods& periods) {
    Stop();
    effectId_.store(params.effectId);
    resumed_.store(false);
    run_.store(true);
    thread_ = std::thread([this, params, periods] { Run(params, periods); });
}

void LedEffects::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        run_.store(false);
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void LedEffects::NotifyResume() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        resumed_.store(true);
    }
    wake_.notify_all();
}

void LedEffects::SetLiveReadings(int gpu, int32_t temperature, int32_t loadPercent, int32_t fanPercent) {
    if (gpu < 0 || gpu >= LedController::kMaxGpus) return;
    live_[gpu].temperature.store(temperature);
    live_[gpu].load.store(loadPercent);
    live_[gpu].fan.store(fanPercent);
}

void LedEffects::SetKeyboardSink(std::function<void(LedColour)> sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    keyboardSink_ = std::move(sink);
}

bool LedEffects::Apply(const LedEffectParams& params, LedColour colour) {
    bool ok = true;
    if (params.gpuCount < 2) {
        ok = controller_.WriteLedColour(static_cast<uint8_t>(params.gpuIndex), colour);
    } else {
        const int count = std::min<int>(params.gpuCount, LedController::kMaxGpus);
        for (int gpu = 0; gpu < count; ++gpu) ok = controller_.WriteLedColour(static_cast<uint8_t>(gpu), colour) && ok;
    }
    if (useDeviceDll_.load()) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (keyboardSink_) keyboardSink_(colour);
    }
    return ok;
}

bool LedEffects::Pause(int32_t effectId, double ms) {
    auto left = static_cast<uint32_t>(std::max(ms, 0.0));
    while (left > 0 && Active(effectId)) {
        const uint32_t slice = std::min(left, kPauseSliceMs);
        clock_.SleepMs(slice);
        left -= slice;
    }
    return Active(effectId);
}

bool LedEffects::Breathe(const LedEffectParams& params, LedColour colour, double stepMs) {
    for (int k = 0; k < kSteps; ++k) {
        if (!Pause(params.effectId, stepMs)) return false;
        Apply(params, Scaled(colour, k));
    }
    for (int k = kSteps; k >= 0; --k) {
        if (!Pause(params.effectId, stepMs)) return false;
        Apply(params, Scaled(colour, k));
    }
    return true;
}

// One write, then nothing until the effect changes; again after a failed write or a resume.
void LedEffects::RunSteady(const LedEffectParams& params) {
    while (Active(params.effectId)) {
        resumed_.store(false);
        if (!Apply(params, params.colour)) {
            Pause(params.effectId, kRetryMs);
            continue;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return !Active(params.effectId) || resumed_.load(); });
    }
}

void LedEffects::RunCycle(const LedEffectParams& params, const LedPeriods& periods, bool stepped) {
    std::vector<LedColour> colours = {{255, 255, 255}, {255, 0, 0},  {255, 49, 0},  {255, 200, 0},
                                      {0, 255, 0},     {0, 0, 255},  {254, 27, 46}, {128, 0, 128}};
    if (!stepped) colours.back() = {255, 0, 255};
    else if (params.gpuCount >= 2) colours[6] = {254, 27, 67};

    if (stepped) Apply(params, kBlack);
    while (Active(params.effectId)) {
        for (LedColour colour : colours) {
            if (!stepped) {
                if (!Breathe(params, colour, periods.cycleBreathMs / 60)) return;
                continue;
            }
            for (int k = 0; k < kSteps; ++k) {
                if (!Pause(params.effectId, periods.cycleStepMs / kSteps)) return;
                Apply(params, colour);
            }
        }
    }
}

void LedEffects::RunFollowing(const LedEffectParams& params) {
    const Live& live = live_[std::clamp(params.gpuIndex, 0, LedController::kMaxGpus - 1)];
    do {
        LedColour colour;
        if (params.selector == kLedTemperature) {
            colour = {255, static_cast<uint8_t>(255 - Percent(live.temperature.load()) * 255 / 100), 0};
        } else if (params.selector == kLedLoad) {
            colour = {0, static_cast<uint8_t>(255 - Percent(live.load.load()) * 255 / 100), 255};
        } else {
            const auto f = static_cast<uint8_t>(Percent(live.fan.load()) * 255 / 100);
            colour = {f, static_cast<uint8_t>(255 - f), f};
        }
        Apply(params, colour);
    } while (Pause(params.effectId, kFollowMs));
}

void LedEffects::Run(LedEffectParams params, LedPeriods periods) {
    switch (params.selector) {
    case kLedSteady: RunSteady(params); break;
    case kLedBreathing:
        while (Breathe(params, params.colour, periods.breathMs / 60)) {}
        break;
    case kLedFlashing:
        do {
            Apply(params, params.colour);
            Apply(params, kBlack);
        } while (Pause(params.effectId, kFlashMs));
        break;
    case kLedCycleStepped: RunCycle(params, periods, true); break;
    case kLedCycleBreathing: RunCycle(params, periods, false); break;
    case kLedTemperature:
    case kLedLoad:
    case kLedFan: RunFollowing(params); break;
    default: Apply(params, kBlack); break;  // off, and anything unknown, goes dark once
    }
    run_.store(false);
}

}  // namespace vx::peripherals
