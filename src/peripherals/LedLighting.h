#pragma once
// The lighting feature as the program uses it: the controller found at start, the saved effect
// restored, the lighting page's choice applied and stored, reset, and the lights going dark
// when the session ends.
#include "peripherals/LedEffects.h"
#include "tuning/UserSettingsFile.h"
#include "ui/CCVButton.h"
#include "ui/CCVSlider.h"

namespace vx::tuning { class CCorvaneHDDlg; }

#include <array>
#include <cstdint>

namespace vx::peripherals {

/// What the lighting page has selected.
struct LightingChoice {
    int32_t effectValue = 0;          // 0 to 7, as the settings keep it
    int32_t preset = 1;               // 0 custom (the sliders), 1 to 8
    LedColour custom{255, 255, 255};  // the three colour sliders
    std::array<int32_t, 3> speeds{};  // speed indices 0 to 7: breathing, cycle breathing, cycle steps
};

/// The lighting page's controls: one button per effect and per colour preset (the chosen one
/// checked), the custom colour's sliders and the three speeds in seconds (controls 1016-1018).
struct LightingPageControls {
    LightingPageControls();
    std::array<ui::CCVButton, 8> effects;  // effect values 0 to 7
    std::array<ui::CCVButton, 9> presets;  // 0 custom, 1 to 8
    ui::CCVSlider red, green, blue;        // 0 to 255
    std::array<ui::CCVSlider, 3> speeds;   // 3 to 10 s

    void SelectEffect(int32_t effectValue);
    void SelectPreset(int32_t preset);
    /// Back to the first effect and preset, the sliders at 255; the speeds stay.
    void Reset();
    /// Shows a saved effect: its preset when one has its colour, else custom with the sliders.
    void Show(const tuning::LightingValues& saved);
    LightingChoice Choice() const;
};

class LedLighting {
public:
    /// `saved` is the settings file's lighting block: restored at start, written by an apply.
    LedLighting(GpuAccess& gpus, ui::IClock& clock, tuning::LightingValues& saved);

    /// Probes every GPU and, when a controller answers on `startGpu` and an effect was saved,
    /// restores it.
    int Startup(uint8_t startGpu);
    /// Start-up commands to every GPU and the saved effect on all of them.
    void RestoreLedEffect();
    /// Stores `choice` and starts its effect on `currentGpu`, or on every GPU when `allGpus`.
    void ApplyChoice(const LightingChoice& choice, int currentGpu, bool allGpus);
    /// The page's choice, on the current GPU or all of them.
    void ApplyPage(int currentGpu, bool allGpus) { ApplyChoice(page_.Choice(), currentGpu, allGpus); }
    /// White, steady, on the current GPU; the page back to its first choice.
    void Reset(int currentGpu);
    /// Every GPU dark with the session-ending colour writes; no effect thread stays.
    void EndSession();
    /// A GPU was selected: every GPU's own controller kind is probed again (0 where nothing
    /// answers, so the kind found at start applies there); the kind found at start stays.
    void OnGpuSelected();

    /// Takes the readings the temperature, load and fan effects follow (after each sample).
    void FollowReadings(const tuning::CCorvaneHDDlg& dialog);

    LightingPageControls& page() { return page_; }
    LedController& controller() { return controller_; }
    LedEffects& effects() { return effects_; }

private:
    void Start(int32_t effectValue, LedColour colour, const std::array<int32_t, 3>& speeds, int gpuIndex, int gpuCount);

    GpuAccess& gpus_;
    tuning::LightingValues& saved_;
    LedController controller_;
    LedEffects effects_;
    LightingPageControls page_;
};

}  // namespace vx::peripherals
