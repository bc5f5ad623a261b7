// The simulated GPU's live model: load patterns, what follows the load, and the temperature
// lag toward an equilibrium set by power and fan.
#include "sim/ThermalModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vx::sim {
namespace {

constexpr uint64_t kSampleMs = 1100;  // the monitor's period

TelemetryConfig ConstantLoad(uint32_t percent) {
    TelemetryConfig config;
    config.load.kind = LoadPatternKind::Constant;
    config.load.percent = percent;
    return config;
}

// Temperatures read once per sample, from model time `fromMs`.
std::vector<double> Samples(ThermalModel& model, const TelemetryConfig& config, int count, uint64_t fromMs) {
    std::vector<double> temperatures;
    for (int i = 1; i <= count; ++i) {
        model.AdvanceTo(fromMs + i * kSampleMs, config);
        temperatures.push_back(model.temperature());
    }
    return temperatures;
}

TEST(ThermalModel, LoadPatterns) {
    LoadPattern square;
    square.kind = LoadPatternKind::Square;
    square.lowPercent = 5;
    square.highPercent = 90;
    square.highMs = 2000;
    square.lowMs = 1000;
    LoadPattern ramp;
    ramp.kind = LoadPatternKind::Ramp;
    ramp.lowPercent = 20;
    ramp.highPercent = 100;
    ramp.periodMs = 4000;
    LoadPattern steps;
    steps.kind = LoadPatternKind::Steps;
    steps.percents = {3, 40, 250};
    steps.stepMs = 500;
    auto at = [](const LoadPattern& p, std::initializer_list<uint64_t> times) {
        std::vector<uint32_t> loads;
        for (uint64_t ms : times) loads.push_back(ThermalModel::LoadAt(p, ms));
        return loads;
    };
    EXPECT_EQ(at(square, {0, 1999, 2000, 3000}), (std::vector<uint32_t>{90, 90, 5, 90})) << "high phase first";
    EXPECT_EQ(at(ramp, {0, 2000, 4000}), (std::vector<uint32_t>{20, 60, 20}));
    EXPECT_EQ(at(steps, {499, 500, 1000, 1500}), (std::vector<uint32_t>{3, 40, 100, 3})) << "held at 100, cycling";
}

TEST(ThermalModel, ClocksVoltagePowerAndFanFollowTheLoad) {
    TelemetryConfig config = ConstantLoad(0);
    config.idleClockKhz = 300000;
    config.baseClockKhz = 1000000;
    config.maxClockKhz = 1500000;
    config.minVoltageUv = 800000;
    config.maxVoltageUv = 1100000;
    config.idlePowerW = 10;
    config.maxPowerW = config.defaultPowerW = 200;
    config.maxFanRpm = 2000;
    config.processorDomain = true;

    struct Expected {
        uint32_t load, graphicsKhz, processorKhz, pstate, voltageUv, powerMilliPercent;
    };
    for (const Expected& e : {Expected{0, 300000, 600000, 8, 800000, 5000},
                              Expected{35, 1250000, 2500000, 0, 1037500, 32708},  // halfway from base to max
                              Expected{100, 1500000, 3000000, 0, 1100000, 100000}}) {
        config.load.percent = e.load;
        ThermalModel model(config);
        EXPECT_EQ(model.graphicsKhz(), e.graphicsKhz) << e.load;
        EXPECT_EQ(model.processorKhz(), e.processorKhz) << e.load;
        EXPECT_EQ(model.pstate(), e.pstate) << e.load;
        EXPECT_EQ(model.voltageUv(), e.voltageUv) << e.load;
        EXPECT_EQ(model.powerMilliPercent(), e.powerMilliPercent) << e.load;
        EXPECT_EQ(model.tachRpm(), 600u) << "the cool fan idles at 30 %";

        model.SetFanPercent(80);
        model.AdvanceTo(100, config);
        EXPECT_EQ(model.tachRpm(), 1600u);
    }
}

TEST(ThermalModel, TemperatureRisesUnderLoadOverTensOfSamplesAndFallsBack) {
    TelemetryConfig config;
    config.load.kind = LoadPatternKind::Square;
    config.load.highPercent = 95;
    config.load.lowPercent = 5;
    config.load.highMs = 60 * kSampleMs;
    config.load.lowMs = 60 * kSampleMs;
    ThermalModel model(config);
    const double idle = model.temperature();

    std::vector<double> rising = Samples(model, config, 60, 0);
    for (std::size_t i = 1; i < rising.size(); ++i) EXPECT_GE(rising[i], rising[i - 1]) << i;
    EXPECT_LT(rising[4] - idle, (rising.back() - idle) / 2) << "not there after a few samples";
    EXPECT_GT(rising[29] - idle, (rising.back() - idle) * 0.8) << "most of the way after thirty";
    EXPECT_LT(rising.back() - rising[rising.size() - 2], 0.1) << "settled";
    EXPECT_GT(rising.back(), idle + 20.0);

    std::vector<double> falling = Samples(model, config, 59, 60 * kSampleMs);
    for (std::size_t i = 1; i < falling.size(); ++i) EXPECT_LE(falling[i], falling[i - 1]) << i;
    EXPECT_LT(falling.back() - idle, (rising.back() - idle) * 0.1) << "back most of the way";
}

TEST(ThermalModel, MoreFanGivesALowerEquilibrium) {
    const TelemetryConfig config = ConstantLoad(100);
    std::vector<double> settled;
    using Fan = std::optional<uint32_t>;
    for (Fan fan : {Fan(30), Fan(), Fan(100)}) {
        ThermalModel model(config);
        model.SetFanPercent(fan);
        model.AdvanceTo(600000, config);
        settled.push_back(model.temperature());
    }
    EXPECT_GT(settled[0], settled[1]) << "the automatic curve runs faster than 30 % when hot";
    EXPECT_GT(settled[1], settled[2]);
    EXPECT_GT(settled[0] - settled[2], 10.0);
}

TEST(ThermalModel, SteppingDoesNotDependOnHowOftenItIsRead) {
    TelemetryConfig config;
    config.load.kind = LoadPatternKind::Steps;
    config.load.percents = {5, 80, 30, 100};
    config.load.stepMs = 7000;
    ThermalModel often(config);
    ThermalModel once(config);
    for (uint64_t ms = 0; ms < 90000; ms += 37) often.AdvanceTo(ms, config);
    often.AdvanceTo(90000, config);
    once.AdvanceTo(90000, config);
    EXPECT_EQ(often.temperature(), once.temperature());
    EXPECT_EQ(often.elapsedMs(), 90000u);
    EXPECT_EQ(often.graphicsKhz(), once.graphicsKhz());

    // Time does not run backwards.
    once.AdvanceTo(1000, config);
    EXPECT_EQ(once.elapsedMs(), 90000u);
}

TEST(ThermalModel, ALongPauseCatchesUpToTheEquilibrium) {
    const TelemetryConfig config = ConstantLoad(100);
    ThermalModel reference(config);
    reference.AdvanceTo(3600000, config);
    ThermalModel paused(config);
    paused.AdvanceTo(uint64_t{30} * 24 * 3600 * 1000, config);  // a month without a read
    EXPECT_NEAR(paused.temperature(), reference.temperature(), 0.01);
}

}  // namespace
}  // namespace vx::sim
