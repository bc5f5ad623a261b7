// Clock and voltage adjustments against the simulator: every P-state 2.0 write as the driver
// receives it, the version fallbacks, the traces, the locks and the over-voltage percent.
#include "SimulatedGpus.h"

#include "gpu/NvApiIds.h"
#include "support/ClockRigs.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <numeric>

namespace vx::gputest {
namespace {

using Args = std::vector<int64_t>;
constexpr uint16_t kPstates20Device = 0x1180;
constexpr const char* kSeparator = "------------------------------------------------\n";

class GpuClocksTest : public SimulatedGpus {
protected:
    void StartPstates20(sim::ClockConfig clocks = test::Pstates20Clocks()) {
        sim::GpuModel gpu = Gpu(kPstates20Device);
        gpu.clocks = std::move(clocks);
        ASSERT_EQ(StartAndInitialize(RigOf({gpu})), 0);
        simulator->ClearCalls();
        traces.clear();
    }
    Args LastArgs(uint32_t entry) const {
        const std::vector<sim::CallRecord> calls = simulator->CallsTo(entry);
        return calls.empty() ? Args{} : calls.back().args;
    }
    sim::ClockConfig SimClocks() const {
        std::lock_guard lock(simulator->mutex());
        return simulator->rig().gpus[0].clocks;
    }
    std::string AllTraces() const { return std::accumulate(traces.begin(), traces.end(), std::string()); }
};

TEST_F(GpuClocksTest, EveryPstates20WriteCarriesOnlyItsNamedWords) {
    StartPstates20();
    // The driver logs: version, numPstates, numClocks, numBaseVoltages, then per P-state its
    // ID, (domain, delta) per clock and per base voltage; version 2 adds the over-voltage count
    // and its (domain, delta) entries.
    ASSERT_EQ(gpus->SetGraphicsClockOffset(0, 150000), 0);
    EXPECT_EQ(LastArgs(nvapi::GPU_SetPstates20), (Args{nvapi::kPstates20Ver1, 1, 1, 0, 0, 0, 150000}));
    ASSERT_EQ(gpus->SetMemoryClockOffset(0, -200000), 0);
    EXPECT_EQ(LastArgs(nvapi::GPU_SetPstates20), (Args{nvapi::kPstates20Ver1, 1, 1, 0, 0, 4, -200000}));
    ASSERT_EQ(gpus->SetCoreVoltageOffset(0, 25000), 0);
    EXPECT_EQ(LastArgs(nvapi::GPU_SetPstates20), (Args{nvapi::kPstates20Ver1, 1, 0, 1, 0, 0, 25000}));
    ASSERT_EQ(gpus->SetOverVoltage(0, 50000), 0);
    EXPECT_EQ(LastArgs(nvapi::GPU_SetPstates20), (Args{nvapi::kPstates20Ver2, 0, 0, 0, 1, 0, 50000}));

    EXPECT_EQ(traces, (std::vector<std::string>{"GRAPHIC CLK change call succeeded\n",
                                                "MEMORY CLK change call succeeded\n",
                                                "CORE voltage change call succeeded\n", "OV call succeeded\n"}));
    const sim::ClockConfig clocks = SimClocks();
    EXPECT_EQ(clocks.pstates[0].clocks[0].deltaKhz, 150000);
    EXPECT_EQ(clocks.pstates[0].clocks[1].deltaKhz, -200000);
    EXPECT_EQ(clocks.pstates[0].baseVoltages[0].deltaUv, 25000);
    EXPECT_EQ(clocks.overVoltages[0].deltaUv, 50000);

    // Outside the driver's range: refused and traced, nothing changes.
    traces.clear();
    EXPECT_EQ(gpus->SetGraphicsClockOffset(0, 600000), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(gpus->SetOverVoltage(0, 80000), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(traces, (std::vector<std::string>(2, "API call failed with error -5\n")));
    EXPECT_EQ(SimClocks().pstates[0].clocks[0].deltaKhz, 150000);
    EXPECT_EQ(gpus->SetGraphicsClockOffset(1, 0), nvapi::INVALID_ARGUMENT) << "no second GPU";
}

TEST_F(GpuClocksTest, Pstates20ReadFallsBackToVersion1WithoutOverVoltage) {
    StartPstates20();
    auto info = std::make_unique<nvapi::Pstates20Info>();
    ASSERT_EQ(gpus->GetPstates20(0, *info), 0);
    EXPECT_EQ(info->version, nvapi::kPstates20Ver3);
    EXPECT_EQ(info->numPstates, 2u);
    EXPECT_EQ(info->numClocks, 2u);
    EXPECT_EQ(info->overVoltage.numVoltages, 1u);
    EXPECT_EQ(info->overVoltage.voltages[0].voltDeltaUv.maximum, 75000);
    EXPECT_EQ(info->pstates[0].clocks[0].data.range.maxFreqKhz, 1100000u);

    // Any failure of version 3 falls back; what the earlier read left in the block goes.
    simulator->RefuseVersion(nvapi::GPU_GetPstates20, nvapi::kPstates20Ver3);
    simulator->ClearCalls();
    ASSERT_EQ(gpus->GetPstates20(0, *info), 0);
    EXPECT_EQ(info->version, nvapi::kPstates20Ver1);
    EXPECT_EQ(info->overVoltage.numVoltages, 0u);
    EXPECT_EQ(info->overVoltage.voltages[0].voltDeltaUv.maximum, 0);
    EXPECT_EQ(info->pstates[0].clocks[1].data.single.freqKhz, 3000000u);
    ASSERT_EQ(simulator->CallsTo(nvapi::GPU_GetPstates20).size(), 2u);
    EXPECT_EQ(simulator->CallsTo(nvapi::GPU_GetPstates20)[0].status, nvapi::INCOMPATIBLE_STRUCT_VERSION);

    // The dump retries only after -9.
    simulator->ClearFault(nvapi::GPU_GetPstates20);
    simulator->ForceStatus(nvapi::GPU_GetPstates20, nvapi::NOT_SUPPORTED);
    simulator->ClearCalls();
    EXPECT_EQ(gpus->GetPstates20(0, *info), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(simulator->CallsTo(nvapi::GPU_GetPstates20).size(), 2u);
    simulator->ClearCalls();
    traces.clear();
    EXPECT_EQ(gpus->DumpPstates20(0, *info), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(simulator->CallsTo(nvapi::GPU_GetPstates20).size(), 1u);
    EXPECT_EQ(traces, (std::vector<std::string>{"API call failed with error -104\n"}));
}

TEST_F(GpuClocksTest, DumpTracesTheEditableEntries) {
    StartPstates20();
    auto info = std::make_unique<nvapi::Pstates20Info>();
    ASSERT_EQ(gpus->DumpPstates20(0, *info), 0);
    EXPECT_EQ(info->version, nvapi::kPstates20Ver3);
    EXPECT_EQ(info->numPstates, 2u);
    const std::string head = std::string("\nAPI call succeeded\n") + kSeparator +
                             "info.numPstates  = 2\n"
                             "info.numClocks   = 2\n"
                             "info.numBaseVol  = 1\n" +
                             kSeparator +
                             "info.p[0].pstateId    = P-0\n"
                             "info.p[0].c[0].domainId      = GRAPHICS CLOCK\n"
                             "info.p[0].c[0].typeId        = #1\n"
                             "info.p[0].c[0].freqDelta     = 0 kHz [-500000 .. 500000] \n"
                             "info.p[0].c[0].d.r.minFreq   = 1000000 .. 1100000 kHz\n"
                             "info.p[0].c[1].domainId      = MEMORY CLOCK\n"
                             "info.p[0].c[1].typeId        = #0\n"
                             "info.p[0].c[1].freqDelta     = 0 kHz [-1000000 .. 1000000] \n"
                             "info.p[0].c[1].d.s.freq      = 3000000 kHz\n"
                             "info.p[0].v[0].domainId      = CORE VOLTAGE\n"
                             "info.p[0].v[0].volt          = 1000000 uV\n"
                             "info.p[0].v[0].voltDelta     = 0 uV [-100000, 100000] \n";
    const std::string overVoltage = std::string(kSeparator) +
                                    "OV settings\n"
                                    "info.ov.voltages[0].domainId      = CORE VOLTAGE\n"
                                    "info.ov.voltages[0].volt          = 1100000 uV\n"
                                    "info.ov.voltages[0].voltDelta     = 0 uV [0, 75000] \n";
    EXPECT_EQ(AllTraces(), head + overVoltage);

    // Version 3 refused with -9: version 1, and no over-voltage section.
    simulator->RefuseVersion(nvapi::GPU_GetPstates20, nvapi::kPstates20Ver3);
    traces.clear();
    ASSERT_EQ(gpus->DumpPstates20(0, *info), 0);
    EXPECT_EQ(info->version, nvapi::kPstates20Ver1);
    EXPECT_EQ(AllTraces(), head);
}

TEST_F(GpuClocksTest, DumpOfALockedTableSaysSoAndStops) {
    sim::ClockConfig clocks = test::Pstates20Clocks();
    clocks.pstatesEditable = false;
    StartPstates20(clocks);
    auto info = std::make_unique<nvapi::Pstates20Info>();
    ASSERT_EQ(gpus->DumpPstates20(0, *info), 0);
    EXPECT_EQ(traces, (std::vector<std::string>{"\nAPI call succeeded\n", "OC/OV is not supported on this system !!!\n"}));
    EXPECT_EQ(gpus->SetGraphicsClockOffset(0, 1000), nvapi::NOT_SUPPORTED);
}

TEST_F(GpuClocksTest, OverVoltPercentReadAndWrite) {
    StartPstates20();
    ASSERT_EQ(gpus->SetOverVoltPercent(0, 60), 0);
    EXPECT_EQ(LastArgs(nvapi::GPU_SetOverVoltPercent), (Args{nvapi::kOverVoltPercentVer, 60}));
    ASSERT_EQ(gpus->GetOverVoltPercent(0), 0);
    EXPECT_EQ(gpus->overVoltPercent(), 60);
    EXPECT_EQ(traces, (std::vector<std::string>{"Percentage OV call succeeded\n", "Over-voltage info:\n",
                                                "  Percentage OV                         = 60\n"}));

    traces.clear();
    simulator->ForceStatus(nvapi::GPU_GetOverVoltPercent, nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->GetOverVoltPercent(0), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->overVoltPercent(), 60) << "a failed read keeps the last value";
    EXPECT_EQ(gpus->SetOverVoltPercent(0, 101), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(traces, (std::vector<std::string>{"getPercentOV API call failed with error -104\n",
                                                "API call failed with error -5\n"}));
}

TEST_F(GpuClocksTest, VoltageLockSetsAndZeroReleases) {
    StartPstates20();
    ASSERT_EQ(gpus->SetVoltageLock(0, 950000), 0);
    // version, flags, count, then limit ID, mode and value of entry 0.
    EXPECT_EQ(LastArgs(nvapi::GPU_SetClockBoostLock), (Args{nvapi::kClockBoostLockVer, 0, 1, 6, 3, 950000}));
    ASSERT_EQ(SimClocks().locks.size(), 1u);
    EXPECT_EQ(SimClocks().locks[0].mode, nvapi::kLockVoltageMode);

    ASSERT_EQ(gpus->SetVoltageLock(0, 0), 0);
    EXPECT_EQ(LastArgs(nvapi::GPU_SetClockBoostLock), (Args{nvapi::kClockBoostLockVer, 0, 1, 6, 0, 0}));
    EXPECT_EQ(SimClocks().locks[0].mode, nvapi::kLockDisabled);
    EXPECT_EQ(traces, (std::vector<std::string>(2, "Volt lock call succeeded\n")));

    simulator->ForceStatus(nvapi::GPU_SetClockBoostLock, nvapi::ERROR);
    EXPECT_EQ(gpus->SetVoltageLock(0, 900000), nvapi::ERROR);
    EXPECT_EQ(traces.back(), "API call failed with error -1\n");
}

TEST_F(GpuClocksTest, BoostLocksAreReadInOrderAndTraced) {
    sim::ClockConfig clocks = test::Pstates20Clocks();
    clocks.locks = {{nvapi::kLockGraphicsMax, nvapi::kLockFrequency, 1800000},
                    {nvapi::kLockMemoryMax, 7, 1},  // a mode the system does not know
                    {nvapi::kLockVoltage, nvapi::kLockVoltageMode, 1050000}};
    StartPstates20(clocks);
    ASSERT_EQ(gpus->GetClockBoostLocks(0), 0);
    // The request: version then count 5 (limit IDs travel in the entries).
    EXPECT_EQ(LastArgs(nvapi::GPU_GetClockBoostLock), (Args{nvapi::kClockBoostLockVer, 5}));
    const std::vector<std::string> expected = {"GRAPHICS_MAX\t= 1800000 kHz\n", "GRAPHICS_MIN\t= DISABLED\n",
                                               "Invalid freq type returned\n", "MEMORY_MIN\t= DISABLED\n",
                                               "VOLTAGE\t= 1050000 uV\n"};
    EXPECT_EQ(traces, expected);
    EXPECT_EQ(gpus->voltageLockUv(), 1050000u);
    const std::string all = std::accumulate(expected.begin(), expected.end(), std::string());
    EXPECT_EQ(gpus->boostLockText(), std::wstring(all.begin(), all.end()));

    // A voltage entry in a frequency mode is not a voltage: the last value stays.
    {
        std::lock_guard lock(simulator->mutex());
        simulator->rig().gpus[0].clocks.locks[2].mode = nvapi::kLockFrequency;
    }
    traces.clear();
    ASSERT_EQ(gpus->GetClockBoostLocks(0), 0);
    EXPECT_EQ(traces.back(), "Invalid volt type returned\n");
    EXPECT_EQ(gpus->voltageLockUv(), 1050000u);
}

TEST_F(GpuClocksTest, PerfLimitAndPstateInformation) {
    StartPstates20();
    ASSERT_EQ(gpus->SetPerfLimitControl(0), 0);
    EXPECT_EQ(LastArgs(nvapi::GPU_SetPerfLimitControl), (Args{nvapi::kPerfLimitControlVer, 2, 5}));

    auto info = std::make_unique<nvapi::PstatesInfo>();
    info->version = nvapi::kPstatesInfoVer;
    info->flags = 3;
    info->words[0] = 77;
    ASSERT_EQ(gpus->SetPstatesInfo(0, *info), 0);
    std::memset(info.get(), 0, sizeof *info);
    info->version = nvapi::kPstatesInfoVer;
    ASSERT_EQ(gpus->GetPstatesInfo(0, *info), 0);
    EXPECT_EQ(info->flags, 3u);
    EXPECT_EQ(info->words[0], 77u);

    // The extended read returns its own status; the voltage table read after it is ignored.
    simulator->ClearCalls();
    simulator->ForceStatus(nvapi::GPU_GetVoltageTable, nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->GetPstatesInfoEx(0, *info, 1), 0);
    simulator->ForceStatus(nvapi::GPU_GetPstatesInfoEx, nvapi::ERROR);
    EXPECT_EQ(gpus->GetPstatesInfoEx(0, *info, 1), nvapi::ERROR);
    const std::vector<sim::CallRecord> calls = simulator->Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].entryId, nvapi::GPU_GetPstatesInfoEx);
    EXPECT_EQ(calls[1].entryId, nvapi::GPU_GetVoltageTable);
    EXPECT_EQ(calls[1].status, nvapi::NOT_SUPPORTED);
    EXPECT_EQ(calls[3].entryId, nvapi::GPU_GetVoltageTable);
}

TEST_F(GpuClocksTest, AnOffsetRaisesTheClockOnceTheModelAdvances) {
    sim::GpuModel gpu = Gpu(kPstates20Device);
    gpu.clocks = test::Pstates20Clocks();
    gpu.telemetry.load.percent = 100;
    Start(RigOf({gpu}));
    test::FakeClock clock;
    simulator->SetClock(clock);
    ASSERT_EQ(gpus->Initialize(), 0);
    auto current = [&] {
        nvapi::ClockFrequencies clocks{};
        clocks.version = nvapi::kClockFrequenciesVer;
        EXPECT_EQ(gpus->GetClockFrequencies(0, clocks), 0);
        return std::make_pair(clocks.domains[nvapi::kClockDomainGraphics].frequencyKhz,
                              clocks.domains[nvapi::kClockDomainMemory].frequencyKhz);
    };
    clock.Advance(1000);
    const auto before = current();
    EXPECT_EQ(before.first, gpu.telemetry.maxClockKhz);
    ASSERT_EQ(gpus->SetGraphicsClockOffset(0, 100000), 0);
    ASSERT_EQ(gpus->SetMemoryClockOffset(0, 250000), 0);
    clock.Advance(1000);
    const auto after = current();
    EXPECT_EQ(after.first, before.first + 100000);
    EXPECT_EQ(after.second, before.second + 250000);
}

}  // namespace
}  // namespace vx::gputest
