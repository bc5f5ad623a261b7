#include "peripherals/LedLighting.h"

#include "tuning/CCorvaneHDDlg.h"

#include <algorithm>

namespace vx::peripherals {

LedLighting::LedLighting(GpuAccess& gpus, ui::IClock& clock, tuning::LightingValues& saved)
    : gpus_(gpus), saved_(saved), controller_(gpus), effects_(controller_, clock) {}

int LedLighting::Startup(uint8_t startGpu) {
    const int kind = controller_.ProbeAll(startGpu);
    if (kind != 0) RestoreLedEffect();
    return kind;
}

void LedLighting::RestoreLedEffect() {
    const int count = std::min<int>(gpus_.GetGpuCount(), LedController::kMaxGpus);
    for (int gpu = 0; gpu < count; ++gpu) controller_.InitLedController(static_cast<uint8_t>(gpu));
    // One effect over all GPUs: started once per GPU, each start would end the one before.
    Start(saved_.mode, {saved_.red, saved_.green, saved_.blue}, {saved_.timer1, saved_.timer2, saved_.timer3}, 0,
          count);
}

void LedLighting::ApplyChoice(const LightingChoice& choice, int currentGpu, bool allGpus) {
    const LedColour colour = PresetColour(choice.preset).value_or(choice.custom);
    std::array<int32_t, 3> speeds{};
    for (std::size_t k = 0; k < speeds.size(); ++k) speeds[k] = std::clamp(choice.speeds[k], 0, 7);
    saved_.mode = static_cast<uint8_t>(SelectorOfEffectValue(choice.effectValue) ? choice.effectValue : 0);
    saved_.red = colour.red;
    saved_.green = colour.green;
    saved_.blue = colour.blue;
    saved_.timer1 = static_cast<uint8_t>(speeds[0]);
    saved_.timer2 = static_cast<uint8_t>(speeds[1]);
    saved_.timer3 = static_cast<uint8_t>(speeds[2]);
    Start(saved_.mode, colour, speeds, currentGpu, allGpus ? gpus_.GetGpuCount() : 1);
}

void LedLighting::Reset(int currentGpu) {
    LightingChoice fresh;
    fresh.speeds = page_.speeds;  // speeds are not part of the reset
    page_ = fresh;
    ApplyChoice(page_, currentGpu, false);
}

void LedLighting::EndSession() {
    controller_.SetSessionEnding(true);
    effects_.StartLedEffect(LedEffectParams{0, kLedOff, gpus_.GetGpuCount(), kLedOff, {}}, {});
    effects_.Stop();  // off writes once and ends: this only waits for it
}

void LedLighting::FollowReadings(const tuning::CCorvaneHDDlg& dialog) {
    const int count = std::min(dialog.gpuCount(), LedController::kMaxGpus);
    for (int gpu = 0; gpu < count; ++gpu) {
        const tuning::LiveFields& live = dialog.record(gpu).live;
        effects_.SetLiveReadings(gpu, live.temperature, live.loadPercent, live.fanPercent);
    }
}

void LedLighting::Start(int32_t effectValue, LedColour colour, const std::array<int32_t, 3>& speeds, int gpuIndex,
                        int gpuCount) {
    // A stored value that names no effect (an edited file) is the steady colour.
    const LedSelector selector = SelectorOfEffectValue(effectValue).value_or(kLedSteady);
    const LedPeriods periods{PeriodOfSpeedIndex(speeds[0]), PeriodOfSpeedIndex(speeds[1]), PeriodOfSpeedIndex(speeds[2])};
    effects_.StartLedEffect(LedEffectParams{gpuIndex, selector, gpuCount, selector, colour}, periods);
}

}  // namespace vx::peripherals
