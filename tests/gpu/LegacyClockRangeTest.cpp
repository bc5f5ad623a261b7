// One legacy perf level read or written through GetLegacyClockRange: which level each kind
// picks, the widening of supported GPUs, the write's memory floor and status, shader ratios.
#include "SimulatedGpus.h"

#include "gpu/NvApiIds.h"
#include "support/RigBuilder.h"

#include <gtest/gtest.h>

namespace vx::gputest {
namespace {

using nvapi::kClockDomainGraphics, nvapi::kClockDomainMemory, nvapi::kClockDomainProcessor;
constexpr uint16_t kSupported = 0x1245;
constexpr uint16_t kUnsupported = 0x0400;  // in no list
constexpr uint16_t kLowPower2D = 0x1180;  // supported, and its 2D level is asked for by bit 1

// Domain entries with a fourth word of their own.
sim::LegacyDomain Entry(uint32_t id, int32_t frequency, int32_t fourth, int32_t minKhz, int32_t maxKhz) {
    return sim::LegacyDomain{id, frequency, fourth, minKhz, maxKhz};
}

// 2D, 3D low power and a 3D performance level with ID 2.
std::vector<sim::LegacyLevel> PerformanceId2() {
    return {Level(0, 1, {Entry(kClockDomainGraphics, 300000, 300000, 200000, 400000),
                         Entry(kClockDomainMemory, 400000, 400000, 300000, 500000),
                         Entry(kClockDomainProcessor, 600000, 600000, 400000, 800000)}),
            Level(1, 2, {Entry(kClockDomainGraphics, 400000, 400000, 300000, 500000),
                         Entry(kClockDomainMemory, 800000, 800000, 600000, 900000),
                         Entry(kClockDomainProcessor, 1000000, 1000000, 800000, 1100000)}),
            Level(2, 4, {Entry(kClockDomainGraphics, 900000, 800000, 500000, 1000001),
                         Entry(kClockDomainMemory, 1800000, 1700000, 1000000, 2000000),
                         Entry(kClockDomainProcessor, 1800000, 1200000, 1000000, 1900001)})};
}

class LegacyClockRangeTest : public SimulatedGpus {
protected:
    void StartWith(uint16_t device, std::vector<sim::LegacyLevel> levels) {
        sim::GpuModel gpu = Gpu(device);
        gpu.legacyLevels = std::move(levels);
        ASSERT_EQ(StartAndInitialize(RigOf({gpu})), 0);
        simulator->ClearCalls();
    }
    LegacyClockRange Read(int32_t kind, int32_t expectedStatus = 0) {
        LegacyClockRange range{};
        EXPECT_EQ(gpus->GetLegacyClockRange(0, range, kind), expectedStatus) << "kind " << kind;
        return range;
    }
    void MarkFourLevels() {
        int32_t g = 0, p = 0, m = 0, k = 0;
        ASSERT_EQ(gpus->GetLegacyCurrentClocks(0, g, p, m, k), 0);
        ASSERT_TRUE(RecordOf(0).fourLevelBoard);
    }
};

TEST_F(LegacyClockRangeTest, SupportedGpuWidensItsPerformanceLevel) {
    StartWith(kSupported, PerformanceId2());
    const LegacyClockRange range = Read(2);
    EXPECT_EQ(range.levelMask, 4u);
    EXPECT_EQ(range.graphics.frequency, 900000);
    EXPECT_EQ(range.graphics.fourthWord, 800000);
    EXPECT_EQ(range.graphics.minimum, 500000);
    EXPECT_EQ(range.graphics.maximum, 1200001) << "1000001 x 1.2, truncated";
    EXPECT_EQ(range.memory.maximum, 3000000) << "2000000 x 1.5";
    EXPECT_EQ(range.memory.minimum, 1000000);
    EXPECT_EQ(range.processor.maximum, 2280001) << "1900001 x 1.2, truncated";
    EXPECT_EQ(Read(3).graphics.maximum, 500000) << "only the performance level is widened";
    EXPECT_EQ(Read(1).processor.frequency, 600000);

    // The level alone is read after the whole table.
    simulator->ClearCalls();
    Read(2);
    const std::vector<sim::CallRecord> calls = simulator->CallsTo(nvapi::GPU_GetPerfClocks);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].args.front(), nvapi::kAllLevels);
    EXPECT_EQ(calls[1].args.front(), 2);

    // An unsupported GPU reads the driver's values as they are.
    StartWith(kUnsupported, PerformanceId2());
    EXPECT_EQ(Read(2).memory.maximum, 2000000);
    EXPECT_EQ(Read(2).graphics.maximum, 1000001);
}

TEST_F(LegacyClockRangeTest, LevelId3TakesTheMemoryMinimumFromTheFourthWord) {
    StartWith(kUnsupported, ThreeLevels());  // performance level ID 3, fourth word = frequency
    const LegacyClockRange range = Read(2);
    EXPECT_EQ(range.memory.minimum, 1000000);
    EXPECT_EQ(range.memory.maximum, 610000);
    EXPECT_EQ(range.graphics.minimum, 500000) << "graphics keeps its minimum";
}

TEST_F(LegacyClockRangeTest, KindsOutsideTheRangeAndMissingLevelsFail) {
    StartWith(kUnsupported, {Level(0, 1, {Entry(kClockDomainGraphics, 300000, 300000, 200000, 400000)})});
    Read(0, nvapi::ERROR);
    Read(5, nvapi::ERROR);
    Read(2, nvapi::ERROR);  // no level with bit 2
    Read(3, nvapi::ERROR);
    EXPECT_EQ(Read(1).graphics.frequency, 300000);
    EXPECT_EQ(Read(4).graphics.frequency, 300000) << "kind 4 asks for no bit: the 2D level";
}

TEST_F(LegacyClockRangeTest, BoardsWithALowPower2DLevelSwapTheMasks) {
    StartWith(kLowPower2D, test::ThreeLegacyLevels());
    const LegacyClockRange twoD = Read(1);
    EXPECT_EQ(twoD.levelMask, 2u);
    EXPECT_EQ(twoD.graphics.frequency, 600000) << "the level with bit 1";
    const LegacyClockRange lowPower = Read(3);
    EXPECT_EQ(lowPower.levelMask, 0u);
    EXPECT_EQ(lowPower.graphics.frequency, 300000) << "the 2D level";
}

TEST_F(LegacyClockRangeTest, FourLevelBoardsPickTheirPerformanceLevels) {
    StartWith(kSupported, test::FourLegacyLevels());  // IDs 0 (flags 1), 1 (2), 2 (5), 3 (4)
    MarkFourLevels();
    // Kind 2: ID 2 with flags 5 sends it to level index 3, which is widened as ID 3.
    LegacyClockRange range = Read(2);
    EXPECT_EQ(range.graphics.frequency, 900000);
    EXPECT_EQ(range.graphics.maximum, 2160000) << "1800000 x 1.2";
    EXPECT_EQ(range.memory.maximum, 6000000) << "4000000 x 1.5";
    EXPECT_EQ(range.memory.minimum, 2000000) << "the fourth word of level ID 3";
    EXPECT_EQ(Read(3).graphics.frequency, 600000);
    EXPECT_EQ(Read(1).graphics.frequency, 300000);
    EXPECT_EQ(Read(4).graphics.frequency, 300000);

    // Flags 4 on ID 2 take the next level.
    StartWith(kSupported, {test::LegacyLevelOf(0, 1, 300000, 400000), test::LegacyLevelOf(1, 2, 600000, 1000000),
                           test::LegacyLevelOf(2, 4, 800000, 1800000), test::LegacyLevelOf(3, 4, 900000, 2000000)});
    MarkFourLevels();
    EXPECT_EQ(Read(2).graphics.frequency, 900000);

    // Flags 4 on the last level would step past the table: nothing matches.
    StartWith(kSupported, {test::LegacyLevelOf(0, 1, 300000, 400000), test::LegacyLevelOf(1, 2, 600000, 1000000),
                           test::LegacyLevelOf(2, 8, 800000, 1800000), test::LegacyLevelOf(3, 4, 900000, 2000000)});
    MarkFourLevels();
    Read(2, nvapi::ERROR);
}

TEST_F(LegacyClockRangeTest, WriteSetsTheEntriesAndFloorsMemory) {
    StartWith(kSupported, PerformanceId2());
    LegacyClockRange range{};
    range.direction = 1;
    range.graphics.frequency = 950000;
    range.memory.frequency = 0;
    range.processor.frequency = 1900000;
    ASSERT_EQ(gpus->GetLegacyClockRange(0, range, 2), 0);
    // selector (the level ID), version word, then (domain, frequency) per applied entry.
    const std::vector<sim::CallRecord> writes = simulator->CallsTo(nvapi::GPU_SetPerfClocks);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].args, (std::vector<int64_t>{2, nvapi::kLegacyPerfClocksVer, kClockDomainGraphics, 950000,
                                                    kClockDomainMemory, 1000, kClockDomainProcessor, 1900000}));
    {
        std::lock_guard lock(simulator->mutex());
        EXPECT_EQ(simulator->rig().gpus[0].legacyLevels[2].domains[1].frequencyKhz, 1000);
    }

    // The driver's -118 is a success; other failures come back as they are.
    simulator->ForceStatus(nvapi::GPU_SetPerfClocks, -118);
    EXPECT_EQ(gpus->GetLegacyClockRange(0, range, 2), 0);
    simulator->ForceStatus(nvapi::GPU_SetPerfClocks, nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->GetLegacyClockRange(0, range, 2), nvapi::NOT_SUPPORTED);
}

TEST_F(LegacyClockRangeTest, ShaderRatiosComeFromTheFourthWords) {
    std::vector<sim::LegacyLevel> levels = PerformanceId2();
    levels[1].domains[0].fourthWord = 0;  // no graphics word: the low-power ratio stays 0
    StartWith(kSupported, levels);
    EXPECT_FLOAT_EQ(gpus->GetShaderRatio(0, 1), 2.0f);
    EXPECT_FLOAT_EQ(gpus->GetShaderRatio(0, 3), 0.0f);
    EXPECT_FLOAT_EQ(gpus->GetShaderRatio(0, 2), 1.5f);
    EXPECT_FLOAT_EQ(gpus->GetShaderRatio(0, 0), 2.2f);
    EXPECT_FLOAT_EQ(gpus->GetShaderRatio(0, 4), 2.2f);
    EXPECT_FLOAT_EQ(gpus->GetShaderRatio(3, 1), 2.2f) << "no such GPU";
    EXPECT_FLOAT_EQ(RecordOf(0).shaderRatioPerformance, 1.5f);
}

}  // namespace
}  // namespace vx::gputest
