#pragma once
// The lighting effect thread: one at a time, stopped and joined before the next one starts,
// its pauses taken through the injectable clock in short slices so a stop is seen at once.
#include "peripherals/LedController.h"
#include "ui/IClock.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace vx::peripherals {

/// Effect routines, numbered as the settings and the thread know them.
enum LedSelector : int32_t {
    kLedBreathing = 0,
    kLedSteady = 1,
    kLedFlashing = 2,
    kLedCycleStepped = 3,
    kLedCycleBreathing = 4,
    kLedTemperature = 5,
    kLedLoad = 6,
    kLedFan = 7,
    kLedOff = 8,
};

/// The selector and effect id of a stored effect value 0 to 7; nullopt for anything else.
std::optional<LedSelector> SelectorOfEffectValue(int32_t effectValue);
/// A speed index 0 to 7 as a period in milliseconds (3,000 to 10,000); out of range clamps.
double PeriodOfSpeedIndex(int32_t index);
/// The colour of a lighting-page preset 1 to 8; preset 0 (custom) and unknown ones: nullopt.
std::optional<LedColour> PresetColour(int32_t preset);

struct LedEffectParams {
    int32_t gpuIndex = 0;
    int32_t selector = kLedSteady;
    int32_t gpuCount = 1;  // below 2 only gpuIndex is lit
    int32_t effectId = kLedSteady;
    LedColour colour{255, 255, 255};
};

struct LedPeriods {
    double breathMs = 3000;
    double cycleBreathMs = 3000;
    double cycleStepMs = 3000;
};

class LedEffects {
public:
    static constexpr uint32_t kPauseSliceMs = 50;
    static constexpr uint32_t kRetryMs = 1000;

    LedEffects(LedController& controller, ui::IClock& clock) : controller_(controller), clock_(clock) {}
    ~LedEffects() { Stop(); }
    LedEffects(const LedEffects&) = delete;
    LedEffects& operator=(const LedEffects&) = delete;

    /// Ends the running effect (joined) and starts `params` on a new thread.
    void StartLedEffect(const LedEffectParams& params, const LedPeriods& periods);
    /// Ends the running effect and waits for its thread.
    void Stop();
    /// After a resume the controller may have lost its colour: a steady effect writes it again.
    void NotifyResume();
    bool running() const { return run_.load(); }

    /// Live readings the temperature, load and fan effects follow (from the sampling tick).
    void SetLiveReadings(int gpu, int32_t temperature, int32_t loadPercent, int32_t fanPercent);
    /// Also drive the keyboard (through `sink`) with every colour. The pauses stay: without them
    /// an effect would keep the bus and a core busy.
    void SetKeyboardSink(std::function<void(LedColour)> sink);
    void SetUseDeviceDll(bool on) { useDeviceDll_.store(on); }
    bool useDeviceDll() const { return useDeviceDll_.load(); }

private:
    struct Live {
        std::atomic<int32_t> temperature{0}, load{0}, fan{0};
    };

    void Run(LedEffectParams params, LedPeriods periods);
    bool Active(int32_t effectId) const { return run_.load() && effectId_.load() == effectId; }
    bool Apply(const LedEffectParams& params, LedColour colour);
    bool Pause(int32_t effectId, double ms);
    bool Breathe(const LedEffectParams& params, LedColour colour, double stepMs);
    void RunSteady(const LedEffectParams& params);
    void RunCycle(const LedEffectParams& params, const LedPeriods& periods, bool stepped);
    void RunFollowing(const LedEffectParams& params);

    LedController& controller_;
    ui::IClock& clock_;
    std::thread thread_;  // started and joined on the interface thread only
    std::atomic<bool> run_{false};
    std::atomic<int32_t> effectId_{-1};
    std::atomic<bool> useDeviceDll_{false};
    std::atomic<bool> resumed_{false};
    std::array<Live, LedController::kMaxGpus> live_;
    std::mutex mutex_;  // guards keyboardSink_ and the wake-up below
    std::condition_variable wake_;
    std::function<void(LedColour)> keyboardSink_;
};

}  // namespace vx::peripherals
