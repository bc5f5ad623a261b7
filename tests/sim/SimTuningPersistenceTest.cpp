// Tuning that one run of the program applies is what the next run over the same rig file
// finds: the demo rig, copied with persistence on, driven through GpuAccess as the program
// drives it. A state file that does not fit the rig is refused whole.
#include "sim/Simulator.h"
#include "sim/StateFile.h"

#include "SimTestSupport.h"
#include "gpu/DriverBinding.h"
#include "gpu/GpuAccess.h"
#include "gpu/NvApiIds.h"
#include "support/FakeClock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vx::sim {
namespace {

using namespace vx::nvapi;
using ::testing::HasSubstr;

constexpr uint8_t kPascal = 0;  // VF points, over-voltage percent, voltage lock
constexpr uint8_t kKepler = 1;  // P-state 2.0

Rig LoadOrFail(const std::filesystem::path& rigFile) {
    RigLoadResult loaded = LoadRigFile(rigFile);
    if (!loaded.rig) ADD_FAILURE() << loaded.error->message;
    return loaded.rig.value_or(Rig{});
}

// One run of the program: a simulator over the rig file and the GPU access on top of it.
struct ProgramRun {
    explicit ProgramRun(const std::filesystem::path& rigFile) : simulator(LoadOrFail(rigFile)) {
        simulator.SetClock(clock);
        simulator.Activate();
        gpus.SetClock(clock);
        gpus.SetTraceSink([](const std::string&) {});
        gpus.SetDebugSink([](const std::string&) {});
        EXPECT_EQ(gpus.Initialize(), 0);
    }

    uint32_t CurrentKhz(uint8_t gpu, std::size_t domain) {
        ClockFrequencies clocks{};
        clocks.version = kClockFrequenciesVer;
        EXPECT_EQ(gpus.GetClockFrequencies(gpu, clocks), OK);
        return clocks.domains[domain].frequencyKhz;
    }

    test::FakeClock clock;
    Simulator simulator;
    driver::DriverBinding binding{driver::InProcessOpener(Simulator::QueryInterface())};
    GpuAccess gpus{binding};
};

class SimTuningPersistence : public ::testing::Test {
protected:
    SimTuningPersistence() {
        std::string demo = test::ReadText(std::filesystem::path(VX_TEST_ASSETS) / "rigs" / "demo.json");
        const std::string off = "\"persist\": false";
        demo.replace(demo.find(off), off.size(), "\"persist\": true");
        test::WriteText(RigFile(), demo);
    }

    std::filesystem::path RigFile() const { return dir_ / "demo.json"; }
    std::filesystem::path StateFile() const { return dir_ / "demo.json.state.json"; }

    test::ScopedEnv noOverride_{"VXPLUS_SIM_STATE", std::nullopt};
    test::ScratchDir dir_;
};

TEST_F(SimTuningPersistence, WhatOneRunAppliesIsWhatTheNextRunFinds) {
    uint32_t frameRateWritten = 0;
    {
        ProgramRun first(RigFile());
        GpuAccess& g = first.gpus;
        ASSERT_EQ(g.SetGraphicsClockOffset(kKepler, 100000), OK);
        ASSERT_EQ(g.SetMemoryClockOffset(kKepler, -250000), OK);
        ASSERT_EQ(g.SetCoreVoltageOffset(kKepler, 25000), OK);
        ASSERT_EQ(g.SetOverVoltage(kKepler, 50000), OK);
        ASSERT_EQ(g.SetPowerLimit(kKepler, kPowerPolicyTotalGpu, 90.0f), OK);
        ASSERT_EQ(g.SetThermalLimit(kKepler, kThermalPolicyAcoustic, 80.0f), OK);
        ASSERT_EQ(g.SetThermalPreferFlag(kKepler, kThermalPolicyAcoustic, 1), OK);

        ASSERT_EQ(g.ReadVfDomains(kPascal, 0), OK);
        // Each write saves the file; the ends of the graphics range say enough here.
        for (int point : {int(g.vfPointFirstGraphics()), int(g.vfPointLastGraphics())})
            ASSERT_EQ(g.SetVfPointOffset(kPascal, point, 60000), OK) << point;
        ASSERT_EQ(g.SetVfPointOffset(kPascal, g.vfPointLastMemory(), -100000), OK);
        ASSERT_EQ(g.SetOverVoltPercent(kPascal, 40), OK);
        ASSERT_EQ(g.SetVoltageLock(kPascal, 1050000), OK);
        ASSERT_EQ(g.SetFanLevel(kPascal, 70), OK);
        ASSERT_EQ(g.SetFrameRateLimit(60, false), OK);
        ASSERT_EQ(g.GetFrameRateLimit(frameRateWritten), OK);
        EXPECT_TRUE(std::filesystem::exists(StateFile()));
    }

    ProgramRun second(RigFile());
    GpuAccess& g = second.gpus;
    auto table = std::make_unique<Pstates20Info>();
    ASSERT_EQ(g.DumpPstates20(kKepler, *table), OK);
    EXPECT_EQ(table->pstates[0].clocks[0].freqDeltaKhz.value, 100000);
    EXPECT_EQ(table->pstates[0].clocks[1].freqDeltaKhz.value, -250000);
    EXPECT_EQ(table->pstates[0].baseVoltages[0].voltDeltaUv.value, 25000);
    EXPECT_EQ(table->overVoltage.voltages[0].voltDeltaUv.value, 50000);

    PowerPoliciesStatus power{};
    power.version = kPowerPoliciesStatusVer;
    power.count = 1;
    ASSERT_EQ(g.GetPowerPoliciesStatus(kKepler, power), OK);
    EXPECT_EQ(power.entries[0].powerLimit, 90000u);
    ThermalPoliciesInfo thermalInfo{};
    ThermalPoliciesStatus thermal{};
    ASSERT_EQ(g.GetThermalPolicies(kKepler, thermalInfo, thermal), OK);
    ASSERT_EQ(thermal.entries[1].policyId, kThermalPolicyAcoustic);
    EXPECT_EQ(thermal.entries[1].currentLimit, 80 * 256);
    EXPECT_EQ(thermal.entries[1].flags, 1u);
    EXPECT_EQ(thermal.entries[0].currentLimit, 83 * 256) << "the policy not written keeps its default";

    ASSERT_EQ(g.ReadVfDomains(kPascal, 0), OK);
    ASSERT_EQ(g.ReadVfOffsets(kPascal), OK);
    EXPECT_EQ(g.vfPointOffset(g.vfPointFirstGraphics()), 60000);
    EXPECT_EQ(g.graphicsVfOffsetKhz(), 60000);
    EXPECT_EQ(g.memoryVfOffsetKhz(), -100000);
    ASSERT_EQ(g.GetOverVoltPercent(kPascal), OK);
    EXPECT_EQ(g.overVoltPercent(), 40);
    ASSERT_EQ(g.GetClockBoostLocks(kPascal), OK);
    EXPECT_EQ(g.voltageLockUv(), 1050000u);
    int32_t mode = 0;
    int32_t level = 0;
    ASSERT_EQ(g.GetFanMode(kPascal, mode), OK);
    ASSERT_EQ(g.GetFanSpeed(kPascal, level, false), OK);
    EXPECT_EQ(mode, GpuAccess::kFanModeFixed);
    EXPECT_EQ(level, 70);
    uint32_t frameRate = 0;
    ASSERT_EQ(g.GetFrameRateLimit(frameRate), OK);
    EXPECT_EQ(frameRate, frameRateWritten);

    // The restored values drive the live model from the start, as they did before.
    uint32_t rpm = 0;
    ASSERT_EQ(g.GetTachRpm(kPascal, rpm), OK);
    EXPECT_EQ(rpm, 3200u * 70 / 100);
    second.clock.Advance(20000);  // the Kepler board's 40 % load step: 1100 MHz stock
    EXPECT_EQ(second.CurrentKhz(kKepler, kClockDomainGraphics), 1200000u);
    EXPECT_EQ(second.CurrentKhz(kKepler, kClockDomainMemory), 3505000u - 250000u);
}

TEST_F(SimTuningPersistence, TheFileIsWrittenWhenTheStateChangesAndOnlyThen) {
    {
        ProgramRun first(RigFile());
        ASSERT_EQ(first.gpus.SetFanLevel(kPascal, 70), OK);
    }
    ProgramRun second(RigFile());
    ASSERT_EQ(second.gpus.SetFanLevel(kPascal, 70), OK);
    const std::string written = test::ReadText(StateFile());
    EXPECT_THAT(written, HasSubstr("\"level\": 70"));
    test::WriteText(StateFile(), written + " ");  // a mark a rewrite would remove
    ASSERT_EQ(second.gpus.SetFanLevel(kPascal, 70), OK);
    int32_t mode = 0;
    ASSERT_EQ(second.gpus.GetFanMode(kPascal, mode), OK);
    EXPECT_EQ(test::ReadText(StateFile()), written + " ") << "the same value again, and reads, are no change";
    ASSERT_EQ(second.gpus.SetFanLevel(kPascal, 75), OK);
    EXPECT_THAT(test::ReadText(StateFile()), HasSubstr("\"level\": 75"));
}

// Each state file names one entry the rig cannot take; the whole file is ignored.
TEST_F(SimTuningPersistence, AStateFileThatDoesNotFitTheRigIsIgnoredWhole) {
    const Rig stock = LoadOrFail(RigFile());
    // The Kepler entry is good; each file adds one bad entry to one GPU.
    const auto file = [](const std::string& pascal, const std::string& kepler, const std::string& top = "") {
        return R"({"format": 1, )" + top + R"("gpus": [{"index": 0, "pciDeviceId": "0x1B82")" + pascal +
               R"(}, {"index": 1, "pciDeviceId": "0x1184",
                      "pstateClocks": [{"pstateId": 0, "domainId": 0, "deltaKhz": 5000}])" +
               kepler + "}]}";
    };
    test::WriteText(StateFile(), file("", ""));
    {
        Simulator simulator(LoadOrFail(RigFile()));
        std::lock_guard lock(simulator.mutex());
        EXPECT_EQ(simulator.rig().gpus[kKepler].clocks.pstates[0].clocks[0].deltaKhz, 5000) << "the good file is used";
    }
    const std::string bad[] = {
        file(R"(, "vfOffsets": [{"index": 0, "offsetKhz": 1000001}])", ""),
        file(R"(, "vfOffsets": [{"index": 81, "offsetKhz": 0}])", ""),
        file(R"(, "coolers": [{"index": 0, "policy": 1, "level": 20}])", ""),
        file(R"(, "coolers": [{"index": 1, "policy": 0, "level": 30}])", ""),
        file(R"(, "overVoltPercent": 101)", ""),
        file(R"(, "boostLocks": [{"limitId": 6, "mode": 1, "value": 5}])", ""),
        file(R"(, "powerLimits": [{"policyId": 0, "milliPercent": 120001}])", ""),
        file(R"(, "powerLimits": [{"policyId": 3, "milliPercent": 100000}])", ""),
        file(R"(, "thermalLimits": [{"policyId": 1, "units": 15000, "flags": 0}])", ""),
        file(R"(, "pstateClocks": [{"pstateId": 0, "domainId": 0, "deltaKhz": 0}])", ""),
        file("", R"(, "overVoltPercent": 10)"),
        file("", R"(, "boostLocks": [{"limitId": 6, "mode": 3, "value": 5}])"),
        file("", R"(, "pstateClocks": [{"pstateId": 0, "domainId": 0, "deltaKhz": 200001}])"),
        file("", R"(, "pstateClocks": [{"pstateId": 8, "domainId": 0, "deltaKhz": 0}])"),
        file("", R"(, "pstateBaseVoltages": [{"pstateId": 0, "domainId": 0, "deltaUv": -1}])"),
        file("", R"(, "overVoltages": [{"domainId": 0, "deltaUv": 75001}])"),
        file("", "", R"("drsBaseProfile": {"frameRate": 60}, )"),
        file("", "", R"("drsBaseProfile": {"0x10834FEE": -1}, )"),
    };
    for (const std::string& text : bad) {
        SCOPED_TRACE(text);
        test::WriteText(StateFile(), text);
        ::testing::internal::CaptureStderr();
        Simulator simulator(LoadOrFail(RigFile()));
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_THAT(err, HasSubstr("ignoring the state file"));
        std::lock_guard lock(simulator.mutex());
        EXPECT_EQ(simulator.rig(), stock) << "not even the good Kepler entry is used";
    }
}

// Every section survives the file: what is saved loads back equal.
TEST_F(SimTuningPersistence, EverySectionLoadsBackAsSaved) {
    const Rig rig = LoadOrFail(RigFile());
    PersistedState state;
    PersistedGpuState& pascal = state.gpus[kPascal];
    pascal.vfOffsets = {{0, 60000}, {79, 60000}, {80, -502000}};
    pascal.overVoltPercent = 0;
    pascal.boostLocks = {{kLockVoltage, {kLockVoltageMode, 1050000}}, {kLockGraphicsMax, {kLockDisabled, 0}}};
    pascal.coolers = {{0, {1, 100}}};
    pascal.legacyClocks = {{{2, kClockDomainMemory}, 4100000}};
    PersistedGpuState& kepler = state.gpus[kKepler];
    kepler.clockDeltas = {{{0, kClockDomainGraphics}, -200000}, {{0, kClockDomainMemory}, 500000}};
    kepler.baseVoltageDeltas = {{{0, kVoltageDomainCore}, 75000}};
    kepler.overVoltageDeltas = {{kVoltageDomainCore, 0}};
    kepler.power.powerLimits = {{kPowerPolicyTotalGpu, 50000}};
    kepler.power.thermalLimits = {{kThermalPolicyGps, 92 * 256}, {kThermalPolicyAcoustic, 60 * 256 + 128}};
    kepler.power.thermalFlags = {{kThermalPolicyGps, 0}, {kThermalPolicyAcoustic, 1}};
    kepler.coolers = {{0, {0, 30}}};
    state.drsBaseProfile = std::map<uint32_t, uint32_t>{{kDrsFrameRateLimiter, 0}, {0xFFFFFFFF, 0xFFFFFFFF}};

    std::string problem;
    ASSERT_TRUE(SaveStateFile(StateFile(), state, rig, problem)) << problem;
    StateLoadResult loaded = LoadStateFile(StateFile(), rig);
    ASSERT_TRUE(loaded.state) << loaded.problem;
    EXPECT_EQ(*loaded.state, state);
}

}  // namespace
}  // namespace vx::sim
