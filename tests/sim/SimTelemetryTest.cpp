// The simulated telemetry entries, the live model moved by an injected clock, and the rig's
// `telemetry` object.
#include "sim/Simulator.h"

#include "SimTestSupport.h"
#include "gpu/ClockStructs.h"
#include "gpu/CoolerStructs.h"
#include "gpu/NvApiIds.h"
#include "gpu/PowerStructs.h"
#include "gpu/TelemetryStructs.h"
#include "support/FakeClock.h"
#include "support/RigBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vx::sim {
namespace {

using namespace vx::nvapi;
using ::testing::HasSubstr;

class SimTelemetry : public ::testing::Test {
protected:
    SimTelemetry() { driver_.sim().SetClock(clock_); }

    int32_t Thermal(PhysicalGpuHandle gpu, uint32_t index, ThermalSettings& settings) {
        settings = test::Versioned<ThermalSettings>(kThermalSettingsVer);
        return driver_.Entry<GetThermalSettingsFn>(GPU_GetThermalSettings)(gpu, index, &settings);
    }

    test::FakeClock clock_;
    test::SimulatedDriver driver_{DemoRig()};
};

// A telemetry entry, resolved once, called with a structure whose version word is off by
// `delta`, or with a null pointer.
using TelemetryCall = std::function<int32_t(PhysicalGpuHandle gpu, uint32_t delta, bool nullOut)>;

template <typename Struct>
TelemetryCall StructCall(test::SimulatedDriver& driver, uint32_t id, uint32_t versionWord) {
    auto fn = driver.Entry<int32_t (*)(PhysicalGpuHandle, Struct*)>(id);
    return [fn, versionWord](PhysicalGpuHandle gpu, uint32_t delta, bool nullOut) {
        auto value = test::Versioned<Struct>(versionWord + delta);
        return fn(gpu, nullOut ? nullptr : &value);
    };
}

TEST_F(SimTelemetry, EveryEntryChecksHandlesPointersAndVersions) {
    test::SimulatedDriver& d = driver_;
    auto thermal = d.Entry<GetThermalSettingsFn>(GPU_GetThermalSettings);
    auto word = [](auto fn) -> TelemetryCall {
        return [fn](PhysicalGpuHandle gpu, uint32_t, bool nullOut) {
            uint32_t value = 0;
            return fn(gpu, nullOut ? nullptr : &value);
        };
    };
    const std::vector<std::pair<uint32_t, TelemetryCall>> calls = {
        {GPU_GetThermalSettings,
         [thermal](PhysicalGpuHandle gpu, uint32_t delta, bool nullOut) {
             auto value = test::Versioned<ThermalSettings>(kThermalSettingsVer + delta);
             return thermal(gpu, kAllThermalSensors, nullOut ? nullptr : &value);
         }},
        {GPU_GetAllClockFrequencies,
         StructCall<ClockFrequencies>(d, GPU_GetAllClockFrequencies, kClockFrequenciesVer)},
        {GPU_GetDynamicPstatesInfoEx,
         StructCall<DynamicPstatesInfo>(d, GPU_GetDynamicPstatesInfoEx, kDynamicPstatesInfoVer)},
        {GPU_GetVoltageRailStatus,
         StructCall<VoltageRailStatus>(d, GPU_GetVoltageRailStatus, kVoltageRailStatusVer)},
        {GPU_GetVoltageDomainsStatus,
         StructCall<VoltageDomainsStatus>(d, GPU_GetVoltageDomainsStatus, kVoltageDomainsStatusVer)},
        {GPU_PowerTopologyGetInfo,
         StructCall<PowerTopologyInfo>(d, GPU_PowerTopologyGetInfo, kPowerTopologyInfoVer)},
        {GPU_PowerTopologyGetStatus,
         StructCall<PowerTopologyStatus>(d, GPU_PowerTopologyGetStatus, kPowerTopologyStatusVer)},
        {GPU_GetCurrentPstate, word(d.Entry<GetCurrentPstateFn>(GPU_GetCurrentPstate))},
        {GPU_GetTachReading, word(d.Entry<GetTachReadingFn>(GPU_GetTachReading))},
    };
    auto fake = reinterpret_cast<PhysicalGpuHandle>(uintptr_t{0x1234});
    for (const auto& [id, call] : calls) EXPECT_EQ(call(fake, 0, false), API_NOT_INITIALIZED) << std::hex << id;

    std::vector<PhysicalGpuHandle> gpus = d.InitializeAndEnumerate();
    for (const auto& [id, call] : calls) {
        SCOPED_TRACE(testing::Message() << std::hex << id);
        EXPECT_EQ(call(gpus[0], 0, false), OK);
        EXPECT_EQ(call(fake, 0, false), INVALID_HANDLE);
        EXPECT_EQ(call(gpus[0], 0, true), INVALID_ARGUMENT);
        if (id != GPU_GetCurrentPstate && id != GPU_GetTachReading) {
            EXPECT_EQ(call(gpus[0], 1u << 16, false), INCOMPATIBLE_STRUCT_VERSION);
        }
        d.sim().RemoveEntry(id);
        EXPECT_EQ(call(gpus[0], 0, false), NO_IMPLEMENTATION);
        d.sim().ClearFault(id);
    }
    d.sim().MakeHandlesStale(EXPECTED_PHYSICAL_GPU_HANDLE);
    for (const auto& [id, call] : calls) EXPECT_EQ(call(gpus[0], 0, false), EXPECTED_PHYSICAL_GPU_HANDLE);
}

TEST_F(SimTelemetry, SensorsClocksAndPowerChannels) {
    std::vector<PhysicalGpuHandle> gpus = driver_.InitializeAndEnumerate();
    ThermalSettings settings{};
    ASSERT_EQ(Thermal(gpus[0], kAllThermalSensors, settings), OK);
    ASSERT_EQ(settings.count, 2u);
    EXPECT_EQ(settings.sensor[0].target, kThermalTargetBoard);
    EXPECT_EQ(settings.sensor[0].currentTemp, settings.sensor[1].currentTemp - 9) << "the board runs cooler";
    ASSERT_EQ(Thermal(gpus[0], 1, settings), OK);
    EXPECT_EQ(settings.count, 1u);
    EXPECT_EQ(settings.sensor[0].target, kThermalTargetGpu);
    EXPECT_EQ(Thermal(gpus[1], 1, settings), INVALID_ARGUMENT) << "the second board has one sensor";

    auto clocksOf = driver_.Entry<GetAllClockFrequenciesFn>(GPU_GetAllClockFrequencies);
    auto clocks = test::Versioned<ClockFrequencies>(kClockFrequenciesVer);
    clocks.clockType = kClockBoost | 0xFFF0u;  // only bits 0 to 1 select
    clocks.domains[9] = {1, 1234};             // whatever the caller left is cleared
    ASSERT_EQ(clocksOf(gpus[1], &clocks), OK);
    EXPECT_EQ(clocks.domains[kClockDomainGraphics].frequencyKhz, 1085000u);
    EXPECT_EQ(clocks.domains[kClockDomainMemory].frequencyKhz, 3505000u);
    EXPECT_EQ(clocks.domains[kClockDomainProcessor].flags, 0u);
    EXPECT_EQ(clocks.domains[9].flags, 0u);
    clocks.clockType = 3;
    EXPECT_EQ(clocksOf(gpus[1], &clocks), INVALID_ARGUMENT);

    auto powerOf = driver_.Entry<PowerTopologyGetStatusFn>(GPU_PowerTopologyGetStatus);
    auto power = test::Versioned<PowerTopologyStatus>(kPowerTopologyStatusVer);
    power.count = 5;
    EXPECT_EQ(powerOf(gpus[0], &power), INVALID_ARGUMENT);
    power.count = 2;
    power.entries[1].channelId = 7;
    EXPECT_EQ(powerOf(gpus[0], &power), INVALID_ARGUMENT) << "a channel the board does not have";
    power.entries[1].channelId = kPowerChannelTotalGpu;
    ASSERT_EQ(powerOf(gpus[0], &power), OK);
    EXPECT_GT(power.entries[1].power, 0u);
}

TEST_F(SimTelemetry, TheInjectedClockMovesTheModel) {
    // The demo's first board: 90 % for a minute, then 5 % for a minute.
    std::vector<PhysicalGpuHandle> gpus = driver_.InitializeAndEnumerate();
    ThermalSettings settings{};
    auto gpuTemperature = [&] {
        EXPECT_EQ(Thermal(gpus[0], 1, settings), OK);
        return settings.sensor[0].currentTemp;
    };
    const int32_t idle = gpuTemperature();
    clock_.Advance(54 * 1100);
    const int32_t hot = gpuTemperature();
    EXPECT_GE(hot, idle + 20);
    clock_.Advance(60000);
    EXPECT_LT(gpuTemperature(), hot - 15);
}

// A new time base restarts the models, but not what the driver was told: the fan level, the
// clock offset and the power target written before SetClock still hold after it.
TEST_F(SimTelemetry, SetClockKeepsWhatTheDriverWasTold) {
    std::vector<PhysicalGpuHandle> gpus = driver_.InitializeAndEnumerate();
    auto fan = test::Versioned<CoolerLevels>(kCoolerLevelsVer);
    fan.entry[0] = {80, 1};
    ASSERT_EQ(driver_.Entry<SetCoolerLevelsFn>(GPU_SetCoolerLevels)(gpus[0], 0, &fan), OK);
    auto offset = std::make_unique<Pstates20Info>();
    offset->version = kPstates20Ver1;
    offset->numPstates = 1;
    offset->numClocks = 1;
    offset->pstates[0].clocks[0].domainId = kClockDomainGraphics;
    offset->pstates[0].clocks[0].freqDeltaKhz.value = 100000;
    ASSERT_EQ(driver_.Entry<Pstates20Fn>(GPU_SetPstates20)(gpus[1], offset.get()), OK);
    auto power = test::Versioned<PowerPoliciesStatus>(kPowerPoliciesStatusVer);
    power.count = 1;
    power.entries[0] = {kPowerPolicyTotalGpu, 0, 50000, 0};
    ASSERT_EQ(driver_.Entry<PowerPoliciesStatusFn>(GPU_PowerPoliciesSetStatus)(gpus[1], &power), OK);

    test::FakeClock later;
    later.Advance(123456);
    driver_.sim().SetClock(later);
    uint32_t rpm = 0;
    ASSERT_EQ(driver_.Entry<GetTachReadingFn>(GPU_GetTachReading)(gpus[0], &rpm), OK);
    EXPECT_EQ(rpm, 3200u * 80 / 100);
    auto graphicsKhz = [&] {
        auto clocks = test::Versioned<ClockFrequencies>(kClockFrequenciesVer);
        EXPECT_EQ(driver_.Entry<GetAllClockFrequenciesFn>(GPU_GetAllClockFrequencies)(gpus[1], &clocks), OK);
        return clocks.domains[kClockDomainGraphics].frequencyKhz;
    };
    later.Advance(20000);  // the 40 % step: 1100 MHz stock, within the power target
    EXPECT_EQ(graphicsKhz(), 1200000u);
    later.Advance(15000);  // the 75 % step would draw 165 W at 1236 MHz; the target allows 115 W
    EXPECT_LT(graphicsKhz(), 1136000u);
}

// ---- The rig's telemetry object ----

RigLoadResult ParseTelemetry(const std::string& telemetry) {
    return ParseRigJson(R"({"gpus": [{"pciDeviceId": "0x1B82", "telemetry": )" + telemetry + "}]}", "rigs/t.json");
}

TEST(SimTelemetryRig, DefaultsFollowTheFieldsGiven) {
    RigLoadResult empty = ParseTelemetry("{}");
    ASSERT_TRUE(empty.rig) << empty.error->message;
    EXPECT_EQ(empty.rig->gpus[0].telemetry, TelemetryConfig{});

    RigLoadResult partial =
        ParseTelemetry(R"({"baseClockKhz": 2000000, "defaultPowerW": 300, "minVoltageUv": 1200000,
                           "sensors": [{"target": "board", "offsetC": -5}, {"target": 1}],
                           "load": {"pattern": "steps", "percents": [0, 100]}})");
    ASSERT_TRUE(partial.rig) << partial.error->message;
    const TelemetryConfig& t = partial.rig->gpus[0].telemetry;
    EXPECT_EQ(t.boostClockKhz, 2200000u);
    EXPECT_EQ(t.maxClockKhz, 2300000u);
    EXPECT_EQ(t.idlePowerW, 30u);
    EXPECT_EQ(t.maxPowerW, 280u);
    EXPECT_EQ(t.maxVoltageUv, 1200000u);
    ASSERT_EQ(t.sensors.size(), 2u);
    EXPECT_EQ(t.sensors[0].target, kThermalTargetBoard);
    EXPECT_EQ(t.sensors[1].target, kThermalTargetGpu);
    EXPECT_EQ(t.load.percents, (std::vector<uint32_t>{0, 100}));
}

TEST(SimTelemetryRig, ErrorsNameTheFileAndTheField) {
    const std::pair<std::string, std::string> cases[] = {
        {R"({"sensor": []})", "rigs/t.json: gpus[0].telemetry.sensor: unknown field"},
        {R"({"sensors": [{}, {}, {}, {}]})", "telemetry.sensors: expected at most 3 sensors, found 4"},
        {R"({"sensors": [{"target": "cpu"}]})",
         "telemetry.sensors[0].target: expected a number from 0 to 255 or one of"},
        {R"({"baseClockKhz": 1500000, "boostClockKhz": 1400000})",
         "telemetry.boostClockKhz: expected at least baseClockKhz (1500000), found 1400000"},
        {R"({"idleClockKhz": 2000000})",
         "telemetry.idleClockKhz: expected at most baseClockKhz (1000000), found 2000000"},
        {R"({"defaultPowerW": 0})", "telemetry.defaultPowerW: expected a number from 1 to 10000, found 0"},
        {R"({"load": {"pattern": "sine"}})",
         "telemetry.load.pattern: expected constant, square, ramp or steps, found \"sine\""},
        {R"({"load": {"pattern": "constant", "highPercent": 5}})", "telemetry.load.highPercent: unknown field"},
        {R"({"load": {"pattern": "steps", "percents": [5, 101]}})",
         "telemetry.load.percents[1]: expected a number from 0 to 100"},
    };
    for (const auto& [telemetry, message] : cases) {
        RigLoadResult result = ParseTelemetry(telemetry);
        ASSERT_TRUE(result.error) << telemetry;
        EXPECT_THAT(result.error->message, HasSubstr(message)) << telemetry;
    }
}

}  // namespace
}  // namespace vx::sim
