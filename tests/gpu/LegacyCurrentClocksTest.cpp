// The current legacy level: its clocks, its kind on three- and four-level boards, and the
// slot-2 controller's range code read once per kind.
#include "I2cTestSupport.h"

#include <gtest/gtest.h>

namespace vx::gputest {
namespace {

struct Current {
    int32_t status = 0;
    int32_t graphics = -1, processor = -1, memory = -1, kind = -1;
};

class LegacyCurrentClocksTest : public I2cGpus {
protected:
    Current Read(uint8_t gpu = 0) {
        Current c;
        c.status = gpus->GetLegacyCurrentClocks(gpu, c.graphics, c.processor, c.memory, c.kind);
        return c;
    }
    void SetCurrentLevel(uint32_t index) {
        std::lock_guard lock(simulator->mutex());
        simulator->rig().gpus[0].currentLegacyLevel = index;
    }
    static sim::LegacyLevel LevelOf(uint32_t id, uint32_t flags) {
        return test::LegacyLevelOf(id, flags, 100000 * (id + 1), 200000 * (id + 1));
    }
};

TEST_F(LegacyCurrentClocksTest, ThreeLevelBoardReportsClocksAndKind) {
    ASSERT_EQ(StartAndInitialize(RigOf({Gpu(0x06CD)})), 0);
    // ThreeLevels(): 2D (flags 1), 3D low power (flags 2), 3D performance (flags 4).
    const std::pair<uint32_t, int32_t> expected[] = {{0, 1}, {1, 3}, {2, 2}};
    const std::vector<sim::LegacyLevel> levels = ThreeLevels();
    for (auto [index, kind] : expected) {
        SetCurrentLevel(index);
        const Current c = Read();
        ASSERT_EQ(c.status, 0);
        EXPECT_EQ(c.kind, kind) << "level " << index;
        const sim::LegacyLevel& level = levels[index];
        EXPECT_EQ(c.graphics, level.domains[0].frequencyKhz);
        EXPECT_EQ(c.memory, level.domains[1].frequencyKhz);
        EXPECT_EQ(c.processor, level.domains[2].frequencyKhz);
    }
    EXPECT_FALSE(RecordOf(0).fourLevelBoard);
}

TEST_F(LegacyCurrentClocksTest, KindFollowsTheFlagsInOrder) {
    sim::GpuModel gpu = Gpu(0x06CD);
    // Flags 0 is 2D too; 6 has bit 1 (low power) before bit 2; 8 is none of them.
    gpu.legacyLevels = {LevelOf(0, 0), LevelOf(1, 6), LevelOf(2, 8)};
    ASSERT_EQ(StartAndInitialize(RigOf({gpu})), 0);
    const int32_t expected[] = {1, 3, 0};
    for (uint32_t index = 0; index < 3; ++index) {
        SetCurrentLevel(index);
        EXPECT_EQ(Read().kind, expected[index]) << "level " << index;
    }
}

TEST_F(LegacyCurrentClocksTest, FourLevelBoardTellsItsTwoPerformanceLevelsApart) {
    sim::GpuModel gpu = Gpu(0x0E22);
    gpu.legacyLevels = test::FourLegacyLevels();  // IDs 0 (flags 1), 1 (2), 2 (5), 3 (4)
    ASSERT_EQ(StartAndInitialize(RigOf({gpu})), 0);
    const int32_t expected[] = {1, 3, 4, 2};
    for (uint32_t index = 0; index < 4; ++index) {
        SetCurrentLevel(index);
        EXPECT_EQ(Read().kind, expected[index]) << "level " << index;
    }
    EXPECT_TRUE(RecordOf(0).fourLevelBoard);

    // Bit 2 counts as performance only on level IDs 2 and 3.
    gpu.legacyLevels = {LevelOf(0, 1), LevelOf(1, 4), LevelOf(2, 4), LevelOf(3, 2)};
    ASSERT_EQ(StartAndInitialize(RigOf({gpu})), 0);
    SetCurrentLevel(1);
    EXPECT_EQ(Read().kind, 0) << "bit 2 on ID 1";
    SetCurrentLevel(2);
    EXPECT_EQ(Read().kind, 4) << "bit 2 on ID 2";
}

TEST_F(LegacyCurrentClocksTest, EmptyTableIsMinus101AndLeavesTheOutputs) {
    ASSERT_EQ(StartAndInitialize(RigOf({Gpu(0x06CD)})), 0);
    {
        std::lock_guard lock(simulator->mutex());
        simulator->rig().gpus[0].legacyLevels.clear();
    }
    const Current c = Read();
    EXPECT_EQ(c.status, nvapi::EXPECTED_PHYSICAL_GPU_HANDLE);
    EXPECT_EQ(c.graphics, -1);
    EXPECT_EQ(c.kind, -1);

    simulator->ForceStatus(nvapi::GPU_GetPerfClocks, nvapi::NOT_SUPPORTED);
    EXPECT_EQ(Read().status, nvapi::NOT_SUPPORTED);
    EXPECT_EQ(Read(1).status, nvapi::INVALID_ARGUMENT);
}

TEST_F(LegacyCurrentClocksTest, RangeCodeIsReadOncePerKindWhileSlot2IsPresent) {
    ASSERT_EQ(StartAndInitialize(RigOf({GpuWith(0x05E2, {Device(I2cDeviceKind::LegacyVoltageController, 3, 0xE0,
                                                                {{0x1C, 0x00}})})})),
              0);
    ASSERT_TRUE(gpus->IsCardDevicePresent(0, 2));
    // The probe read the 2D level's code right away.
    EXPECT_EQ(gpus->LegacyVoltageRegister(0, 1), 0x15);
    EXPECT_EQ(gpus->LegacyVoltageRegister(0, 2), 0);
    EXPECT_EQ(Steps(3, 0xE0), (std::vector<std::string>{"R 1A", "R 1C"}));

    simulator->ClearCalls();
    ASSERT_TRUE(simulator->PokeI2cRegister(0, 3, 0xE0, 0x1C, 0x30));
    EXPECT_EQ(Read().kind, 1);
    EXPECT_TRUE(Steps(3, 0xE0).empty()) << "kind 1 was read already";
    EXPECT_EQ(gpus->LegacyVoltageRegister(0, 1), 0x15);

    SetCurrentLevel(1);  // 3D low power: no range code
    EXPECT_EQ(Read().kind, 3);
    EXPECT_TRUE(Steps(3, 0xE0).empty());

    SetCurrentLevel(2);
    EXPECT_EQ(Read().kind, 2);
    EXPECT_EQ(Read().kind, 2);
    EXPECT_EQ(Steps(3, 0xE0), std::vector<std::string>{"R 1C"});
    EXPECT_EQ(gpus->LegacyVoltageRegister(0, 2), 0x18);
    EXPECT_EQ(gpus->LegacyVoltageRegister(0, 3), 0);
}

TEST_F(LegacyCurrentClocksTest, NoRangeCodeWithoutSlot2) {
    ASSERT_EQ(StartAndInitialize(RigOf({GpuWith(0x0E22, {Device(I2cDeviceKind::StepVoltageController, 0, 0xE0)})})),
              0);
    ASSERT_TRUE(gpus->IsCardDevicePresent(0, 7));
    simulator->ClearCalls();
    EXPECT_EQ(Read().kind, 1);
    EXPECT_TRUE(I2cCalls().empty());
    EXPECT_EQ(gpus->LegacyVoltageRegister(0, 1), 0);
}

}  // namespace
}  // namespace vx::gputest
