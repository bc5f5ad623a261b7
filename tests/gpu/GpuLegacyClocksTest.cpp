// Reading the legacy perf-level table at start-up: level and domain flags, the 18-value
// clock table, and the tables that make start-up fail.
#include "SimulatedGpus.h"

#include <gtest/gtest.h>

namespace vx::gputest {
namespace {

using nvapi::kClockDomainGraphics, nvapi::kClockDomainMemory, nvapi::kClockDomainProcessor;

int32_t At(const GpuRecord& record, LegacyClockDomain domain, LegacyClockLevel level, bool maximum) {
    return record.legacyClockTable[LegacyClockIndex(domain, level, maximum)];
}

class GpuLegacyClocksTest : public SimulatedGpus {
protected:
    sim::GpuModel GpuWithLevels(std::vector<sim::LegacyLevel> levels) {
        sim::GpuModel gpu = Gpu(0x06CD);
        gpu.legacyLevels = std::move(levels);
        return gpu;
    }
};

TEST_F(GpuLegacyClocksTest, FillsEveryDomainOfEveryLevel) {
    ASSERT_EQ(StartAndInitialize(RigOf({Gpu(0x06CD)})), 0);
    const GpuRecord& record = RecordOf(0);
    EXPECT_TRUE(record.has2DLevel);
    EXPECT_TRUE(record.has3DLowPowerLevel);
    EXPECT_TRUE(record.has3DPerformanceLevel);
    EXPECT_TRUE(record.hasGraphicsDomain);
    EXPECT_TRUE(record.hasMemoryDomain);
    EXPECT_TRUE(record.hasProcessorDomain);
    // ThreeLevels(): minimum = 100000 + 200000 * level + 10000 * domain (graphics, memory,
    // processor), maximum = minimum + 100000.
    const std::array<int32_t, kLegacyClockValues> expected = {
        100000, 200000, 300000, 400000, 500000, 600000,  // graphics 2D, 3D low power, 3D performance
        120000, 220000, 320000, 420000, 520000, 620000,  // processor
        110000, 210000, 310000, 410000, 510000, 610000,  // memory
    };
    EXPECT_EQ(record.legacyClockTable, expected);
    // The table is read once for all levels; the shader ratios then read level by level
    // (each whole table, then the level): 2D, 3D low power, 3D performance.
    const std::vector<sim::CallRecord> reads = simulator->CallsTo(nvapi::GPU_GetPerfClocks);
    ASSERT_EQ(reads.size(), 7u);
    EXPECT_EQ(reads.front().args.at(0), -1) << "all levels at once";
    EXPECT_EQ(reads[2].args.at(0), 0);
    EXPECT_EQ(reads[4].args.at(0), 1);
    EXPECT_EQ(reads[6].args.at(0), 2);
}

TEST_F(GpuLegacyClocksTest, LevelKindsComeFromTheFlags) {
    ASSERT_EQ(StartAndInitialize(RigOf({
                  GpuWithLevels({Level(0, 0, {Domain(kClockDomainGraphics, 1, 10, 11)})}),
                  GpuWithLevels({Level(2, 6, {Domain(kClockDomainGraphics, 1, 20, 21)})}),
                  GpuWithLevels({Level(3, 12, {Domain(kClockDomainGraphics, 1, 30, 31)}),
                                 Level(1, 8, {Domain(kClockDomainGraphics, 1, 40, 41)})}),
              })),
              0);
    // Flags 0: the 2D level.
    EXPECT_TRUE(RecordOf(0).has2DLevel);
    EXPECT_EQ(At(RecordOf(0), kLegacyGraphics, kLegacyLevel2D, true), 11);
    // Bit 1 is looked at before bit 2.
    EXPECT_TRUE(RecordOf(1).has3DLowPowerLevel);
    EXPECT_FALSE(RecordOf(1).has3DPerformanceLevel);
    EXPECT_EQ(At(RecordOf(1), kLegacyGraphics, kLegacyLevel3DLowPower, false), 20);
    // Flags 12 carry bit 2; flags 8 name no known level and are skipped.
    EXPECT_TRUE(RecordOf(2).has3DPerformanceLevel);
    EXPECT_FALSE(RecordOf(2).has2DLevel || RecordOf(2).has3DLowPowerLevel);
    EXPECT_EQ(At(RecordOf(2), kLegacyGraphics, kLegacyLevel3DPerformance, true), 31);
    // Only graphics entries were reported.
    EXPECT_FALSE(RecordOf(0).hasMemoryDomain || RecordOf(0).hasProcessorDomain);
}

TEST_F(GpuLegacyClocksTest, MemoryPairWithAZeroIsSkipped) {
    ASSERT_EQ(StartAndInitialize(RigOf({
                  GpuWithLevels({Level(0, 1, {Domain(kClockDomainMemory, 1, 0, 500)}),
                                 Level(3, 4, {Domain(kClockDomainMemory, 1, 700, 0)})}),
                  // Every level lists the same domains, as a real table does.
                  GpuWithLevels({Level(0, 1, {Domain(kClockDomainMemory, 1, 0, 500),
                                              Domain(kClockDomainProcessor, 1, 5, 6)}),
                                 Level(3, 4, {Domain(kClockDomainMemory, 1, 700, 900),
                                              Domain(kClockDomainProcessor, 1, 0, 0)})}),
              })),
              0);
    EXPECT_FALSE(RecordOf(0).hasMemoryDomain);
    EXPECT_EQ(RecordOf(0).legacyClockTable, (std::array<int32_t, kLegacyClockValues>{}));

    const GpuRecord& second = RecordOf(1);
    EXPECT_TRUE(second.hasMemoryDomain);
    EXPECT_EQ(At(second, kLegacyMemory, kLegacyLevel2D, true), 0);
    EXPECT_EQ(At(second, kLegacyMemory, kLegacyLevel3DPerformance, false), 700);
    EXPECT_EQ(At(second, kLegacyMemory, kLegacyLevel3DPerformance, true), 900);
    // Processor pairs are kept even when zero.
    EXPECT_TRUE(second.hasProcessorDomain);
    EXPECT_FALSE(second.hasGraphicsDomain);
    EXPECT_EQ(At(second, kLegacyProcessor, kLegacyLevel2D, true), 6);
    EXPECT_EQ(At(second, kLegacyProcessor, kLegacyLevel3DPerformance, true), 0);
}

TEST_F(GpuLegacyClocksTest, AGpuWithoutUsableLevelsFailsStartUp) {
    // No levels at all, on the second GPU: the first one alone does not make start-up succeed.
    EXPECT_EQ(StartAndInitialize(RigOf({Gpu(0x06CD), GpuWithLevels({})})), 1);
    EXPECT_EQ(gpus->ReadLegacyClockTable(), nvapi::ERROR);

    // Levels, but none of the three known kinds.
    EXPECT_EQ(StartAndInitialize(RigOf({GpuWithLevels({Level(1, 8, {Domain(kClockDomainGraphics, 1, 2, 3)})})})), 1);

    // The read itself failing: its status is what the table read reports.
    Start(RigOf({Gpu(0x06CD)}));
    simulator->ForceStatus(nvapi::GPU_GetPerfClocks, nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->Initialize(), 1);
    EXPECT_EQ(gpus->ReadLegacyClockTable(), nvapi::NOT_SUPPORTED);
    EXPECT_TRUE(simulator->CallsTo(nvapi::GPU_GetPCIIdentifiers).empty()) << "start-up stops before identification";
}

}  // namespace
}  // namespace vx::gputest
