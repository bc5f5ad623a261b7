// The telemetry reads of GpuAccess against the simulated driver: the sensor walk, the clock
// types, the core voltage reads, the tachometer, the load and power conversions, and the
// handle refresh after the driver invalidated them.
#include "SimulatedGpus.h"

#include "gpu/NvApiIds.h"
#include "gpu/TelemetryUnits.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace vx::gputest {
namespace {

using Entry = nvapi::EntryId;

sim::ThermalSensorConfig Sensor(int32_t target, int32_t offsetC) {
    sim::ThermalSensorConfig sensor;
    sensor.target = target;
    sensor.offsetC = offsetC;
    return sensor;
}

class GpuTelemetryTest : public SimulatedGpus {
protected:
    void StartOn(sim::Rig rig) {
        ASSERT_EQ(StartAndInitialize(std::move(rig)), 0);
        simulator->SetClock(clock);
    }
    void SetLoad(uint8_t gpu, uint32_t percent) {
        std::lock_guard lock(simulator->mutex());
        sim::LoadPattern& load = simulator->rig().gpus[gpu].telemetry.load;
        load.kind = sim::LoadPatternKind::Constant;
        load.percent = percent;
    }

    test::FakeClock clock;
};

TEST_F(GpuTelemetryTest, TemperatureComesFromTheFirstSensorThatMeasuresTheGpu) {
    sim::GpuModel boardFirst = Gpu(0x1B82);
    boardFirst.telemetry.sensors = {Sensor(nvapi::kThermalTargetBoard, -9), Sensor(nvapi::kThermalTargetGpu, 0),
                                    Sensor(nvapi::kThermalTargetGpu, 20)};
    sim::GpuModel noGpuSensor = Gpu(0x1184);
    noGpuSensor.telemetry.sensors = {Sensor(nvapi::kThermalTargetBoard, 0), Sensor(nvapi::kThermalTargetMemory, 5)};
    StartOn(RigOf({boardFirst, noGpuSensor}));

    nvapi::ThermalSettings raw{};
    raw.version = nvapi::kThermalSettingsVer;
    auto entry = reinterpret_cast<nvapi::GetThermalSettingsFn>(
        sim::Simulator::QueryInterface()(Entry::GPU_GetThermalSettings));
    ASSERT_EQ(entry(gpus->hPhysicalGpu(0), nvapi::kAllThermalSensors, &raw), 0);
    int32_t celsius = -1000;
    EXPECT_EQ(gpus->GetTemperature(0, celsius), 0);
    EXPECT_EQ(celsius, raw.sensor[1].currentTemp) << "the board sensor and the later GPU sensor are passed over";
    EXPECT_NE(celsius, raw.sensor[0].currentTemp);
    EXPECT_EQ(simulator->CallsTo(Entry::GPU_GetThermalSettings).back().args, (std::vector<int64_t>{15, 0x20044}));

    celsius = 77;
    EXPECT_EQ(gpus->GetTemperature(1, celsius), -1);
    EXPECT_EQ(celsius, 77) << "no GPU sensor leaves the output as it was";
    simulator->ForceStatus(Entry::GPU_GetThermalSettings, nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->GetTemperature(0, celsius), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(celsius, 77);
}

TEST_F(GpuTelemetryTest, ClockTypesGiveCurrentBaseAndBoost) {
    sim::GpuModel gpu = Gpu(0x1B82);
    gpu.telemetry.baseClockKhz = 1607000;
    gpu.telemetry.boostClockKhz = 1683000;
    gpu.telemetry.idleClockKhz = 139000;
    gpu.telemetry.maxClockKhz = 1898000;
    StartOn(RigOf({gpu}));
    SetLoad(0, 2);

    using nvapi::kClockDomainGraphics;
    std::vector<uint32_t> graphics;
    for (nvapi::ClockType type : {nvapi::kClockCurrent, nvapi::kClockBase, nvapi::kClockBoost}) {
        nvapi::ClockFrequencies clocks = telemetry::ClockRequest(type);
        ASSERT_EQ(gpus->GetClockFrequencies(0, clocks), 0);
        EXPECT_EQ(clocks.domains[kClockDomainGraphics].flags & 1u, 1u);
        graphics.push_back(clocks.domains[kClockDomainGraphics].frequencyKhz);
    }
    EXPECT_EQ(graphics, (std::vector<uint32_t>{139000, 1607000, 1683000})) << "idle, base, boost";
    EXPECT_EQ(telemetry::KhzToMhz(1683999), 1683);

    // What reached the driver: the version 3 word with the three types in the order asked.
    std::vector<std::vector<int64_t>> args;
    for (const sim::CallRecord& call : simulator->CallsTo(Entry::GPU_GetAllClockFrequencies)) args.push_back(call.args);
    EXPECT_EQ(args, (std::vector<std::vector<int64_t>>{{0x30108, 0}, {0x30108, 1}, {0x30108, 2}}));

    SetLoad(0, 100);
    clock.Advance(1100);
    nvapi::ClockFrequencies current = telemetry::ClockRequest(nvapi::kClockCurrent);
    ASSERT_EQ(gpus->GetClockFrequencies(0, current), 0);
    EXPECT_EQ(current.domains[kClockDomainGraphics].frequencyKhz, 1898000u) << "full load runs the top clock";
}

TEST_F(GpuTelemetryTest, LoadOfZeroIsRecordedAsOneAndPowerAsPercent) {
    sim::GpuModel gpu = Gpu(0x1B82);
    gpu.telemetry.defaultPowerW = 200;
    gpu.telemetry.idlePowerW = 10;
    gpu.telemetry.maxPowerW = 180;
    StartOn(RigOf({gpu}));
    SetLoad(0, 0);

    nvapi::DynamicPstatesInfo info{};
    info.version = nvapi::kDynamicPstatesInfoVer;
    ASSERT_EQ(gpus->GetUtilization(0, info), 0);
    EXPECT_EQ(info.utilization[nvapi::kUtilizationGpu].percent, 0u);
    EXPECT_EQ(telemetry::LoadPercent(info), 1);
    uint32_t pstate = 0;
    ASSERT_EQ(gpus->GetCurrentPstate(0, pstate), 0);
    EXPECT_EQ(pstate, 8u);

    nvapi::PowerTopologyInfo topology{};
    topology.version = nvapi::kPowerTopologyInfoVer;
    ASSERT_EQ(gpus->GetPowerTopologyInfo(0, topology), 0);
    ASSERT_EQ(topology.count, 1u);
    nvapi::PowerTopologyStatus power = telemetry::PowerStatusRequest(topology);
    ASSERT_EQ(gpus->GetPowerTopologyStatus(0, power), 0);
    EXPECT_EQ(power.entries[0].power, 5000u) << "10 W of a 200 W limit";

    SetLoad(0, 100);
    clock.Advance(100);
    ASSERT_EQ(gpus->GetUtilization(0, info), 0);
    EXPECT_EQ(telemetry::LoadPercent(info), 100);
    power = telemetry::PowerStatusRequest(topology);
    ASSERT_EQ(gpus->GetPowerTopologyStatus(0, power), 0);
    EXPECT_EQ(telemetry::MilliPercentToPercent(power.entries[0].power), 90);

    // A driver that claims more channels than the information structure holds is cut down.
    topology.count = 1000;
    EXPECT_EQ(telemetry::PowerStatusRequest(topology).count, 3u);
}

TEST_F(GpuTelemetryTest, CoreVoltageReads) {
    sim::GpuModel gpu = Gpu(0x1B82);
    gpu.telemetry.maxVoltageUv = 1050000;
    StartOn(RigOf({gpu}));
    SetLoad(0, 100);

    uint32_t rail = 0;
    ASSERT_EQ(gpus->GetCoreVoltageUv(0, rail), 0);
    EXPECT_EQ(rail, 1050000u);
    uint32_t domain = 0;
    ASSERT_EQ(gpus->GetCoreVoltageDomainUv(0, domain), 0);
    EXPECT_EQ(domain, rail);
    EXPECT_EQ(traces,
              (std::vector<std::string>{"  Domain[0] : CORE VOLTAGE\n", "Current voltage (in uV) is 1050000\n"}));

    // The rail read stores even when it fails: 0.
    simulator->ForceStatus(Entry::GPU_GetVoltageRailStatus, nvapi::ERROR);
    rail = 12345;
    EXPECT_EQ(gpus->GetCoreVoltageUv(0, rail), nvapi::ERROR);
    EXPECT_EQ(rail, 0u);
    rail = 12345;
    EXPECT_EQ(gpus->GetCoreVoltageUv(5, rail), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(rail, 0u);

    // The domains read does not: a failure leaves the output and traces nothing.
    traces.clear();
    simulator->ForceStatus(Entry::GPU_GetVoltageDomainsStatus, nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->GetCoreVoltageDomainUv(0, domain), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(domain, 1050000u);
    EXPECT_TRUE(traces.empty());
}

TEST_F(GpuTelemetryTest, Tachometer) {
    sim::GpuModel withoutTach = Gpu(0x1184);
    withoutTach.telemetry.tachPresent = false;
    StartOn(RigOf({Gpu(0x1B82), withoutTach}));

    EXPECT_TRUE(gpus->IsTachAvailable(0));
    uint32_t rpm = 0;
    ASSERT_EQ(gpus->GetTachRpm(0, rpm), 0);
    EXPECT_EQ(rpm, 900u) << "the idle fan runs at 30 % of 3000 RPM";

    EXPECT_FALSE(gpus->IsTachAvailable(1));
    rpm = 7;
    EXPECT_EQ(gpus->GetTachRpm(1, rpm), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(rpm, 7u);

    // A driver without the entry at all.
    simulator->RemoveEntry(Entry::GPU_GetTachReading);
    EXPECT_FALSE(gpus->IsTachAvailable(0));
    EXPECT_EQ(gpus->GetTachRpm(0, rpm), nvapi::NO_IMPLEMENTATION);
    EXPECT_EQ(rpm, 7u);
}

TEST_F(GpuTelemetryTest, BiosVersionIsUpperCasedAndKeptOnFailure) {
    sim::GpuModel gpu = Gpu(0x1B82);
    gpu.biosVersion = "86.04.85.00.5b";
    sim::GpuModel longBios = Gpu(0x1184);
    longBios.biosVersion = std::string(63, 'x');
    StartOn(RigOf({gpu, longBios}));

    std::string bios;
    ASSERT_EQ(gpus->GetBiosVersion(0, bios), 0);
    EXPECT_EQ(bios, "86.04.85.00.5B");
    ASSERT_EQ(gpus->GetBiosVersion(1, bios), 0);
    EXPECT_EQ(bios, std::string(63, 'X'));
    simulator->ForceStatus(Entry::GPU_GetVbiosVersionString, nvapi::ERROR);
    EXPECT_EQ(gpus->GetBiosVersion(0, bios), nvapi::ERROR);
    EXPECT_EQ(bios, std::string(63, 'X'));
}

TEST_F(GpuTelemetryTest, StaleHandlesAreRefreshedAndNothingElse) {
    StartOn(sim::DemoRig());
    gpus->SetUiFlag(1, 3);
    const auto handle0 = RecordOf(0).hPhysicalGpu.load();
    const auto display = RecordOf(0).hNvDisplay.load();
    const auto legacyTable = RecordOf(0).legacyClockTable;
    const std::timed_mutex* lock0 = RecordOf(0).i2cMutex.get();
    {
        // The driver now reports something else; a refresh must not read it.
        std::lock_guard lock(simulator->mutex());
        simulator->rig().gpus[0].pciDeviceId = 0x1184;
        simulator->rig().gpus[0].legacyLevels.clear();
    }

    for (int32_t staleStatus : {nvapi::EXPECTED_PHYSICAL_GPU_HANDLE, nvapi::HANDLE_INVALIDATED}) {
        simulator->MakeHandlesStale(staleStatus);
        int32_t celsius = 0;
        const int32_t status = gpus->GetTemperature(1, celsius);
        ASSERT_EQ(status, staleStatus);
        EXPECT_EQ(gpus->RefreshHandlesOnStatus(status), 0);
        EXPECT_EQ(gpus->GetTemperature(0, celsius), 0);
        EXPECT_EQ(gpus->GetTemperature(1, celsius), 0);
    }

    EXPECT_EQ(gpus->GetGpuCount(), 2);
    EXPECT_NE(RecordOf(0).hPhysicalGpu.load(), handle0);
    EXPECT_EQ(RecordOf(0).hNvDisplay.load(), display);
    EXPECT_EQ(gpus->deviceIdText(0), "1b82");
    EXPECT_TRUE(gpus->boardA013(0));
    EXPECT_EQ(RecordOf(0).legacyClockTable, legacyTable);
    EXPECT_EQ(RecordOf(0).i2cMutex.get(), lock0);
    EXPECT_EQ(gpus->uiFlag(1), 3);
    EXPECT_EQ(simulator->CallsTo(Entry::GPU_GetPCIIdentifiers).size(), 2u) << "identified once, at start-up";

    // Any other status asks for nothing.
    simulator->ClearCalls();
    for (int32_t status : {0, -1, -5, -8, -104}) EXPECT_EQ(gpus->RefreshHandlesOnStatus(status), 0);
    EXPECT_TRUE(simulator->Calls().empty());
}

// A refresh on one thread while another reads telemetry: the reader always finds whole,
// valid handles (run under ThreadSanitizer to see the race itself).
TEST_F(GpuTelemetryTest, HandleRefreshRacesTelemetryReads) {
    ASSERT_EQ(StartAndInitialize(sim::DemoRig()), 0);
    std::atomic<bool> done{false};
    std::thread refresher([&] {
        for (int i = 0; i < 200; ++i) gpus->RefreshHandlesOnStatus(nvapi::HANDLE_INVALIDATED);
        done = true;
    });
    int failures = 0, reads = 0;
    while (!done || reads < 200) {
        int32_t celsius = 0;
        nvapi::ClockFrequencies clocks = telemetry::ClockRequest(nvapi::kClockCurrent);
        for (uint8_t gpu = 0; gpu < 2; ++gpu)
            failures += (gpus->GetTemperature(gpu, celsius) != 0) + (gpus->GetClockFrequencies(gpu, clocks) != 0);
        uint32_t version = 0;
        std::string branch;
        failures += gpus->GetDriverVersion(version, branch) != 0;
        ++reads;
    }
    refresher.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(gpus->GetGpuCount(), 2);
}

}  // namespace
}  // namespace vx::gputest
