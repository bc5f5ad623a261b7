#pragma once
// What a rig says about a GPU's live telemetry: its sensors, rated clocks and the constants of
// the thermal model that makes the readings move. The defaults describe a plausible mid-range
// card, so a GPU without a `telemetry` object still reports sensible values.
#include "gpu/TelemetryStructs.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vx::sim {

struct ThermalSensorConfig {
    int32_t controller = 1;                      // 1: the GPU's internal sensor
    int32_t target = nvapi::kThermalTargetGpu;   // 1 GPU, 2 memory, 4 power supply, 8 board
    int32_t offsetC = 0;                         // reads the model temperature plus this
    int32_t defaultMinC = 0;
    int32_t defaultMaxC = 127;

    bool operator==(const ThermalSensorConfig&) const = default;
};

/// How the load moves over the model's time.
enum class LoadPatternKind { Constant, Square, Ramp, Steps };

struct LoadPattern {
    LoadPatternKind kind = LoadPatternKind::Constant;
    uint32_t percent = 5;          // constant
    uint32_t lowPercent = 5;       // square: low phase; ramp: start
    uint32_t highPercent = 95;     // square: high phase; ramp: end
    uint32_t highMs = 30000;       // square: the high phase comes first
    uint32_t lowMs = 30000;
    uint32_t periodMs = 60000;     // ramp: from low to high, then again
    std::vector<uint32_t> percents;  // steps: each held for stepMs, then the next, cycling
    uint32_t stepMs = 10000;

    bool operator==(const LoadPattern&) const = default;
};

struct TelemetryConfig {
    // One GPU sensor unless the rig lists others (built by a function: g++ 12 warns about a
    // braced default here).
    static std::vector<ThermalSensorConfig> DefaultSensors() { return std::vector<ThermalSensorConfig>(1); }
    std::vector<ThermalSensorConfig> sensors = DefaultSensors();  // at most 3, in driver order

    // Graphics clock: rated base and boost (what base and boost reads report) and the range
    // the model moves in (idle at low load, max at high load).
    uint32_t baseClockKhz = 1000000;
    uint32_t boostClockKhz = 1100000;
    uint32_t idleClockKhz = 300000;
    uint32_t maxClockKhz = 1150000;
    // Memory clock under load (also its base and boost) and at idle.
    uint32_t memoryClockKhz = 3000000;
    uint32_t idleMemoryClockKhz = 405000;
    /// Reports a processor (shader) domain at twice the graphics clock, as old boards do.
    bool processorDomain = false;

    // Core voltage from the idle clock to the max clock.
    uint32_t minVoltageUv = 850000;
    uint32_t maxVoltageUv = 1100000;

    // Board power: 100 % of the default limit is defaultPowerW.
    uint32_t defaultPowerW = 150;
    uint32_t idlePowerW = 15;
    uint32_t maxPowerW = 140;  // at full load and the max clock

    // Temperature: settles toward ambient + power × resistance, where the resistance falls with
    // the fan; the lag has time constant timeConstantMs.
    int32_t ambientC = 30;
    uint32_t thermalResistanceMilliCPerW = 400;  // at 0 % fan
    uint32_t fanCoolingPercent = 60;             // how much a 100 % fan lowers the resistance
    uint32_t timeConstantMs = 20000;

    uint32_t maxFanRpm = 3000;  // at 100 % fan
    bool tachPresent = true;    // false: the tach read is not supported on this GPU

    LoadPattern load;

    bool operator==(const TelemetryConfig&) const = default;
};

inline constexpr std::size_t kMaxRigSensors = nvapi::kMaxThermalSensors;
inline constexpr std::size_t kMaxLoadSteps = 1000;
/// The model steps in this grain; load steps and phases shorter than it cannot be seen.
inline constexpr uint32_t kModelStepMs = 100;

}  // namespace vx::sim
