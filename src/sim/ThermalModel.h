#pragma once
// The live telemetry of a simulated GPU. Load follows the rig's pattern; clocks follow load,
// voltage follows the clock, power follows load and clock, and the temperature lags toward an
// equilibrium that rises with power and falls with the fan. The model moves in fixed steps of
// kModelStepMs, so a run depends only on the times it is read at.
#include "sim/TelemetryConfig.h"
#include "ui/IClock.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vx::sim {

/// What the driver was told that moves a model: a fixed fan level (nullopt: the automatic
/// curve), the clock offsets under load, and the power target (nullopt: none).
struct ModelInputs {
    std::optional<uint32_t> fanPercent;
    int32_t graphicsOffsetKhz = 0;
    int32_t memoryOffsetKhz = 0;
    std::optional<uint32_t> powerLimitMilliPercent;

    bool operator==(const ModelInputs&) const = default;
};

class ThermalModel {
public:
    /// Starts at model time 0, at the temperature the GPU settles to when idle with `inputs`.
    explicit ThermalModel(const TelemetryConfig& config, const ModelInputs& inputs = {});

    /// Steps up to model time `modelMs` (milliseconds since the start); earlier times do nothing.
    void AdvanceTo(uint64_t modelMs, const TelemetryConfig& config);
    /// A fixed fan level in percent, or nullopt for the automatic curve (30 % up to 50 °C, then
    /// 2 % per °C up to 100 % at 85 °C). Takes effect from the next step.
    void SetFanPercent(std::optional<uint32_t> percent) { inputs_.fanPercent = percent; }
    std::optional<uint32_t> fanOverride() const { return inputs_.fanPercent; }
    // Clocks: graphics and memory clock offsets in kHz, added to the clocks under load. From
    // the next step.
    void SetClockOffsetKhz(int32_t graphics, int32_t memory) {
        inputs_.graphicsOffsetKhz = graphics;
        inputs_.memoryOffsetKhz = memory;
    }
    int32_t graphicsOffsetKhz() const { return inputs_.graphicsOffsetKhz; }
    int32_t memoryOffsetKhz() const { return inputs_.memoryOffsetKhz; }
    // End of clocks
    // Power: the power target in 1/1000 percent of the default limit, or nullopt for none.
    // Where the load wants more, the clock comes down until the power fits. From the next step.
    void SetPowerLimitMilliPercent(std::optional<uint32_t> limit) { inputs_.powerLimitMilliPercent = limit; }
    std::optional<uint32_t> powerLimitMilliPercent() const { return inputs_.powerLimitMilliPercent; }
    // End of power
    const ModelInputs& inputs() const { return inputs_; }

    // Readings at the last step.
    uint64_t elapsedMs() const { return steps_ * kModelStepMs; }
    double temperature() const { return temperature_; }
    /// The temperature in whole °C, rounded.
    int32_t TemperatureC() const;
    uint32_t loadPercent() const { return load_; }
    uint32_t graphicsKhz() const { return graphicsKhz_; }
    uint32_t memoryKhz() const { return memoryKhz_; }
    /// Twice the graphics clock where the rig has a processor domain, else 0.
    uint32_t processorKhz() const { return processorKhz_; }
    uint32_t voltageUv() const { return voltageUv_; }
    /// 8 while idle, 0 under load.
    uint32_t pstate() const { return pstate_; }
    double powerW() const { return powerW_; }
    /// Power in 1/1000 percent of the rig's default power limit.
    uint32_t powerMilliPercent() const { return powerMilliPercent_; }
    uint32_t fanPercent() const { return fanPercent_; }
    uint32_t tachRpm() const { return tachRpm_; }

    /// The load the pattern gives at model time `modelMs`.
    static uint32_t LoadAt(const LoadPattern& pattern, uint64_t modelMs);
    /// The automatic fan curve.
    static uint32_t AutoFanPercent(double temperatureC);

private:
    // Works out load, clocks, voltage, power and fan at model time `modelMs`.
    void Observe(uint64_t modelMs, const TelemetryConfig& config);
    // Moves the temperature one step toward the equilibrium of the observed power and fan.
    void Integrate(const TelemetryConfig& config);
    double EquilibriumC(const TelemetryConfig& config, double powerW) const;

    uint64_t steps_ = 0;
    double temperature_ = 0.0;
    ModelInputs inputs_;

    uint32_t load_ = 0;
    uint32_t graphicsKhz_ = 0;
    uint32_t memoryKhz_ = 0;
    uint32_t processorKhz_ = 0;
    uint32_t voltageUv_ = 0;
    uint32_t pstate_ = 8;
    double powerW_ = 0.0;
    uint32_t powerMilliPercent_ = 0;
    uint32_t fanPercent_ = 0;
    uint32_t tachRpm_ = 0;
};

/// The models of one simulator's GPUs on a shared time base, read from an injectable clock.
class RigThermal {
public:
    RigThermal();
    /// Uses `clock` from now on; model time restarts at 0 and every model from idle, keeping
    /// the inputs written so far. The clock must outlive its use.
    void SetClock(ui::IClock& clock);
    /// GPU `gpu`'s model, stepped up to now.
    ThermalModel& Live(std::size_t gpu, const TelemetryConfig& config);
    /// Inputs for GPU `gpu`'s model before it first runs (restored state); a running model
    /// takes them from its next step.
    void Seed(std::size_t gpu, const ModelInputs& inputs);

private:
    ui::IClock* clock_;
    uint64_t startMs_ = 0;
    std::vector<std::optional<ThermalModel>> models_;
    std::vector<ModelInputs> pending_;  // inputs for models not built yet
};

}  // namespace vx::sim
