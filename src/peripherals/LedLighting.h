#pragma once
// The lighting feature as the program uses it: the controller found at start, the saved effect
// restored, the lighting page's choice applied and stored, reset, and the lights going dark
// when the session ends.
#include "peripherals/LedEffects.h"
#include "tuning/UserSettingsFile.h"

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

class LedLighting {
public:
    /// `saved` is the settings file's lighting block: restored at start, written by an apply.
    LedLighting(GpuAccess& gpus, ui::IClock& clock, tuning::LightingValues& saved);

    /// Probes every GPU and, when a controller answers on `startGpu`, restores the saved effect.
    int Startup(uint8_t startGpu);
    /// Start-up commands to every GPU and the saved effect on all of them.
    void RestoreLedEffect();
    /// Stores `choice` and starts its effect on `currentGpu`, or on every GPU when `allGpus`.
    void ApplyChoice(const LightingChoice& choice, int currentGpu, bool allGpus);
    /// White, steady, on the current GPU; the page back to its first choice.
    void Reset(int currentGpu);
    /// Every GPU dark with the session-ending colour writes; no effect thread stays.
    void EndSession();

    /// Takes the readings the temperature, load and fan effects follow (after each sample).
    void FollowReadings(const tuning::CCorvaneHDDlg& dialog);

    LightingChoice& page() { return page_; }
    LedController& controller() { return controller_; }
    LedEffects& effects() { return effects_; }

private:
    void Start(int32_t effectValue, LedColour colour, const std::array<int32_t, 3>& speeds, int gpuIndex, int gpuCount);

    GpuAccess& gpus_;
    tuning::LightingValues& saved_;
    LedController controller_;
    LedEffects effects_;
    LightingChoice page_;
};

}  // namespace vx::peripherals
