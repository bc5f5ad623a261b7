#include "peripherals/LedLighting.h"

#include "tuning/CCorvaneHDDlg.h"

#include <algorithm>

namespace vx::peripherals {

LightingPageControls::LightingPageControls() {
    for (ui::CCVSlider* slider : {&red, &green, &blue}) {
        slider->SetRange(0, 255);
        slider->SetPos(255);
    }
    for (ui::CCVSlider& speed : speeds) {
        speed.SetRange(3, 10);
        speed.SetPos(3);
    }
    Reset();
}

void LightingPageControls::SelectEffect(int32_t effectValue) {
    for (std::size_t k = 0; k < effects.size(); ++k) effects[k].SetCheck(static_cast<int32_t>(k) == effectValue);
}

void LightingPageControls::SelectPreset(int32_t preset) {
    for (std::size_t k = 0; k < presets.size(); ++k) presets[k].SetCheck(static_cast<int32_t>(k) == preset);
}

void LightingPageControls::Reset() {
    SelectEffect(0);
    SelectPreset(1);
    for (ui::CCVSlider* slider : {&red, &green, &blue}) slider->SetPos(255);
}

void LightingPageControls::Show(const tuning::LightingValues& saved) {
    SelectEffect(SelectorOfEffectValue(saved.mode) ? saved.mode : 0);
    const LedColour colour{saved.red, saved.green, saved.blue};
    int32_t preset = 0;
    for (int32_t k = 1; k < static_cast<int32_t>(presets.size()) && preset == 0; ++k)
        if (PresetColour(k) == colour) preset = k;
    SelectPreset(preset);
    if (preset == 0) {
        red.SetPos(colour.red);
        green.SetPos(colour.green);
        blue.SetPos(colour.blue);
    }
    const uint8_t timers[] = {saved.timer1, saved.timer2, saved.timer3};
    for (std::size_t k = 0; k < speeds.size(); ++k) speeds[k].SetPos(std::min<int32_t>(timers[k], 7) + 3);
}

LightingChoice LightingPageControls::Choice() const {
    LightingChoice choice;
    for (std::size_t k = 0; k < effects.size(); ++k)
        if (effects[k].IsChecked()) choice.effectValue = static_cast<int32_t>(k);
    for (std::size_t k = 0; k < presets.size(); ++k)
        if (presets[k].IsChecked()) choice.preset = static_cast<int32_t>(k);
    choice.custom = {static_cast<uint8_t>(red.GetPos()), static_cast<uint8_t>(green.GetPos()),
                     static_cast<uint8_t>(blue.GetPos())};
    for (std::size_t k = 0; k < speeds.size(); ++k) choice.speeds[k] = speeds[k].GetPos() - 3;
    return choice;
}

LedLighting::LedLighting(GpuAccess& gpus, ui::IClock& clock, tuning::LightingValues& saved)
    : gpus_(gpus), saved_(saved), controller_(gpus), effects_(controller_, clock) {}

int LedLighting::Startup(uint8_t startGpu) {
    if (saved_.saved) page_.Show(saved_);
    const int kind = controller_.ProbeAll(startGpu);
    // Without a saved effect the card keeps whatever it shows: the defaults would turn it black.
    if (kind != 0 && saved_.saved) RestoreLedEffect();
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
    saved_.saved = true;
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
    page_.Reset();
    ApplyChoice(page_.Choice(), currentGpu, false);
}

void LedLighting::EndSession() {
    controller_.SetSessionEnding(true);
    effects_.StartLedEffect(LedEffectParams{0, kLedOff, gpus_.GetGpuCount(), kLedOff, {}}, {});
    effects_.Stop();  // off writes once and ends: this only waits for it
}

void LedLighting::OnGpuSelected() {
    const int count = std::min<int>(gpus_.GetGpuCount(), LedController::kMaxGpus);
    for (int gpu = 0; gpu < count; ++gpu)
        controller_.SetGpuKind(static_cast<uint8_t>(gpu), controller_.ProbeLedController(static_cast<uint8_t>(gpu)));
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
