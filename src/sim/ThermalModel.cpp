#include "sim/ThermalModel.h"

#include <algorithm>
#include <cmath>

namespace vx::sim {
namespace {

// Below this load the GPU drops to its idle clocks and P-state.
constexpr uint32_t kIdleBelowPercent = 10;
// From the idle threshold to the clock reaching its maximum.
constexpr double kClockRisePercent = 50.0;
constexpr uint32_t kIdlePstate = 8;
// Reading after a long pause: beyond an hour the oldest part cannot matter any more.
constexpr uint64_t kMaxCatchUpSteps = 3600000 / kModelStepMs;

double Fraction(double value, double from, double to) {
    if (to <= from) return value >= to ? 1.0 : 0.0;
    return std::clamp((value - from) / (to - from), 0.0, 1.0);
}

uint32_t ToUnsigned(double value) {
    return static_cast<uint32_t>(std::clamp(value, 0.0, 4294967295.0));
}

}  // namespace

ThermalModel::ThermalModel(const TelemetryConfig& config, const ModelInputs& inputs) : inputs_(inputs) {
    temperature_ = config.ambientC;
    Observe(0, config);
    temperature_ = EquilibriumC(config, config.idlePowerW);
    Observe(0, config);
}

int32_t ThermalModel::TemperatureC() const { return static_cast<int32_t>(std::lround(temperature_)); }

void ThermalModel::AdvanceTo(uint64_t modelMs, const TelemetryConfig& config) {
    const uint64_t target = modelMs / kModelStepMs;
    if (target <= steps_) return;
    if (target - steps_ > kMaxCatchUpSteps) steps_ = target - kMaxCatchUpSteps;
    while (steps_ < target) {
        Integrate(config);
        ++steps_;
        Observe(steps_ * kModelStepMs, config);
    }
}

uint32_t ThermalModel::LoadAt(const LoadPattern& pattern, uint64_t modelMs) {
    uint32_t load = pattern.percent;
    switch (pattern.kind) {
    case LoadPatternKind::Constant: break;
    case LoadPatternKind::Square: {
        const uint64_t period = uint64_t{pattern.highMs} + pattern.lowMs;
        load = (period == 0 || modelMs % period < pattern.highMs) ? pattern.highPercent : pattern.lowPercent;
        break;
    }
    case LoadPatternKind::Ramp: {
        if (pattern.periodMs == 0) {
            load = pattern.highPercent;
            break;
        }
        const double phase = static_cast<double>(modelMs % pattern.periodMs) / pattern.periodMs;
        load = ToUnsigned(pattern.lowPercent + (double(pattern.highPercent) - pattern.lowPercent) * phase);
        break;
    }
    case LoadPatternKind::Steps:
        if (!pattern.percents.empty()) {
            const uint64_t index = pattern.stepMs == 0 ? 0 : (modelMs / pattern.stepMs) % pattern.percents.size();
            load = pattern.percents[static_cast<std::size_t>(index)];
        }
        break;
    }
    return std::min<uint32_t>(load, 100);
}

uint32_t ThermalModel::AutoFanPercent(double temperatureC) {
    return static_cast<uint32_t>(std::clamp(30.0 + 2.0 * (temperatureC - 50.0), 30.0, 100.0));
}

void ThermalModel::Observe(uint64_t modelMs, const TelemetryConfig& config) {
    load_ = LoadAt(config.load, modelMs);
    const bool idle = load_ < kIdleBelowPercent;
    if (idle) {
        graphicsKhz_ = config.idleClockKhz;
        memoryKhz_ = config.idleMemoryClockKhz;
        pstate_ = kIdlePstate;
    } else {
        const double rise = std::min(1.0, (load_ - kIdleBelowPercent) / kClockRisePercent);
        graphicsKhz_ = ToUnsigned(config.baseClockKhz + (double(config.maxClockKhz) - config.baseClockKhz) * rise);
        memoryKhz_ = config.memoryClockKhz;
        pstate_ = 0;
        // Clocks: the P-state 0 offsets move the clocks the GPU runs under load.
        graphicsKhz_ = ToUnsigned(double(graphicsKhz_) + inputs_.graphicsOffsetKhz);
        memoryKhz_ = ToUnsigned(double(memoryKhz_) + inputs_.memoryOffsetKhz);
        // End of clocks
    }
    processorKhz_ = config.processorDomain ? ToUnsigned(2.0 * graphicsKhz_) : 0;

    const double clockShare = Fraction(graphicsKhz_, config.idleClockKhz, config.maxClockKhz);
    voltageUv_ = ToUnsigned(config.minVoltageUv + (double(config.maxVoltageUv) - config.minVoltageUv) * clockShare);

    const double ofMax = config.maxClockKhz == 0 ? 1.0 : std::min(1.0, double(graphicsKhz_) / config.maxClockKhz);
    const double loadedW = (double(config.maxPowerW) - config.idlePowerW) * (load_ / 100.0) * ofMax;
    powerW_ = std::max(0.0, config.idlePowerW + loadedW);
    // Power: a target below what the load draws lowers the clock (not below idle) until it fits.
    const std::optional<uint32_t>& powerLimit = inputs_.powerLimitMilliPercent;
    if (powerLimit && !idle && config.defaultPowerW != 0 && config.maxClockKhz != 0) {
        const double capW = double(config.defaultPowerW) * *powerLimit / 100000.0;
        const double perShareW = (double(config.maxPowerW) - config.idlePowerW) * (load_ / 100.0);
        if (powerW_ > capW && perShareW > 0.0) {
            const double share = std::max(0.0, (capW - config.idlePowerW) / perShareW);
            graphicsKhz_ = std::max(config.idleClockKhz,
                                    std::min(graphicsKhz_, ToUnsigned(share * config.maxClockKhz)));
            processorKhz_ = config.processorDomain ? ToUnsigned(2.0 * graphicsKhz_) : 0;
            const double share2 = Fraction(graphicsKhz_, config.idleClockKhz, config.maxClockKhz);
            voltageUv_ = ToUnsigned(config.minVoltageUv + (double(config.maxVoltageUv) - config.minVoltageUv) * share2);
            const double cappedOfMax = std::min(1.0, double(graphicsKhz_) / config.maxClockKhz);
            powerW_ = std::max(0.0, config.idlePowerW + perShareW * cappedOfMax);
        }
    }
    // End of power
    powerMilliPercent_ = config.defaultPowerW == 0 ? 0 : ToUnsigned(powerW_ * 100000.0 / config.defaultPowerW);

    const std::optional<uint32_t>& fan = inputs_.fanPercent;
    fanPercent_ = fan ? std::min<uint32_t>(*fan, 100) : AutoFanPercent(temperature_);
    tachRpm_ = static_cast<uint32_t>(uint64_t{config.maxFanRpm} * fanPercent_ / 100);
}

double ThermalModel::EquilibriumC(const TelemetryConfig& config, double powerW) const {
    const double cooling = std::min<uint32_t>(config.fanCoolingPercent, 100) / 100.0 * (fanPercent_ / 100.0);
    const double resistance = config.thermalResistanceMilliCPerW / 1000.0 * (1.0 - cooling);
    return config.ambientC + powerW * resistance;
}

void ThermalModel::Integrate(const TelemetryConfig& config) {
    const double alpha =
        config.timeConstantMs == 0 ? 1.0 : 1.0 - std::exp(-double(kModelStepMs) / config.timeConstantMs);
    temperature_ += (EquilibriumC(config, powerW_) - temperature_) * alpha;
}

RigThermal::RigThermal() : clock_(&ui::SystemClock()) { startMs_ = clock_->TickCountMs(); }

void RigThermal::SetClock(ui::IClock& clock) {
    clock_ = &clock;
    startMs_ = clock.TickCountMs();
    // The new time base restarts the models, not what the driver was told.
    if (pending_.size() < models_.size()) pending_.resize(models_.size());
    for (std::size_t gpu = 0; gpu < models_.size(); ++gpu)
        if (models_[gpu]) pending_[gpu] = models_[gpu]->inputs();
    models_.clear();
}

void RigThermal::Seed(std::size_t gpu, const ModelInputs& inputs) {
    if (gpu < models_.size() && models_[gpu]) {
        ThermalModel& model = *models_[gpu];
        model.SetFanPercent(inputs.fanPercent);
        model.SetClockOffsetKhz(inputs.graphicsOffsetKhz, inputs.memoryOffsetKhz);
        model.SetPowerLimitMilliPercent(inputs.powerLimitMilliPercent);
        return;
    }
    if (pending_.size() <= gpu) pending_.resize(gpu + 1);
    pending_[gpu] = inputs;
}

ThermalModel& RigThermal::Live(std::size_t gpu, const TelemetryConfig& config) {
    if (models_.size() <= gpu) models_.resize(gpu + 1);
    std::optional<ThermalModel>& model = models_[gpu];
    if (!model) model.emplace(config, gpu < pending_.size() ? pending_[gpu] : ModelInputs{});
    const uint64_t now = clock_->TickCountMs();
    model->AdvanceTo(now > startMs_ ? now - startMs_ : 0, config);
    return *model;
}

}  // namespace vx::sim
