// The simulated clock adjustments: the P-state 2.0 table in both layouts, all-or-nothing
// writes, the over-voltage percent, the boost locks and the clock offset in the live model.
#include "sim/Simulator.h"
#include "sim/ThermalModel.h"

#include "gpu/NvApiIds.h"
#include "support/ClockRigs.h"
#include "support/RigBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

class SimClocks : public ::testing::Test {
protected:
    void Start(ClockConfig clocks) {
        Rig rig = test::RigBuilder().Gpu(0x1180).Gpu(0x06CD).Build();
        rig.gpus[0].clocks = std::move(clocks);
        driver_ = std::make_unique<test::SimulatedDriver>(std::move(rig));
        gpus_ = driver_->InitializeAndEnumerate();
        ASSERT_EQ(gpus_.size(), 2u);
    }
    int32_t Get(Pstates20Info& info, std::size_t gpu = 0) {
        return driver_->Entry<Pstates20Fn>(GPU_GetPstates20)(gpus_[gpu], &info);
    }
    int32_t Set(Pstates20Info& info) { return driver_->Entry<Pstates20Fn>(GPU_SetPstates20)(gpus_[0], &info); }
    ClockConfig Clocks() {
        std::lock_guard lock(driver_->sim().mutex());
        return driver_->sim().rig().gpus[0].clocks;
    }
    static std::unique_ptr<Pstates20Info> Request(uint32_t version) {
        auto info = std::make_unique<Pstates20Info>();
        std::memset(info.get(), 0, sizeof *info);
        info->version = version;
        return info;
    }

    std::unique_ptr<test::SimulatedDriver> driver_;
    std::vector<PhysicalGpuHandle> gpus_;
};

TEST_F(SimClocks, TableReadsInBothLayoutsAndVersion3CanBeRefused) {
    Start(test::Pstates20Clocks());
    auto info = Request(kPstates20Ver1);
    std::memset(&info->overVoltage, 0xAB, sizeof info->overVoltage);  // past a version 1 buffer
    ASSERT_EQ(Get(*info), OK);
    EXPECT_EQ(info->flags, kPstates20Editable);
    EXPECT_EQ(info->numPstates, 2u);
    EXPECT_EQ(info->numClocks, 2u);
    EXPECT_EQ(info->numBaseVoltages, 1u);
    EXPECT_EQ(info->pstates[1].pstateId, 8u);
    EXPECT_EQ(info->pstates[1].flags, 0u);
    EXPECT_EQ(info->pstates[0].clocks[0].typeId, kClockTypeRange);
    EXPECT_EQ(info->pstates[0].clocks[0].freqDeltaKhz.minimum, -500000);
    EXPECT_EQ(info->overVoltage.numVoltages, 0xABABABABu) << "a version 1 read stays inside 7316 bytes";

    info = Request(kPstates20Ver3);
    ASSERT_EQ(Get(*info), OK);
    EXPECT_EQ(info->overVoltage.numVoltages, 1u);
    EXPECT_EQ(info->overVoltage.voltages[0].voltUv, 1100000u);

    driver_->sim().RefuseVersion(GPU_GetPstates20, kPstates20Ver3);
    EXPECT_EQ(Get(*info), INCOMPATIBLE_STRUCT_VERSION);
    info->version = kPstates20Ver2;
    EXPECT_EQ(Get(*info), INCOMPATIBLE_STRUCT_VERSION) << "version 2 is for writes";
    info->version = kPstates20Ver1;
    EXPECT_EQ(Get(*info, 1), NOT_SUPPORTED) << "a GPU without the interface";
}

TEST_F(SimClocks, WritesAreCheckedWholeBeforeAnythingChanges) {
    Start(test::Pstates20Clocks());
    auto info = Request(kPstates20Ver1);
    info->numPstates = 1;
    info->numClocks = 2;
    info->pstates[0].clocks[0] = {kClockDomainGraphics, 0, 0, {100000, 0, 0}, {}};
    info->pstates[0].clocks[1] = {kClockDomainMemory, 0, 0, {2000000, 0, 0}, {}};  // past +1000000
    EXPECT_EQ(Set(*info), INVALID_ARGUMENT);
    EXPECT_EQ(Clocks().pstates[0].clocks[0].deltaKhz, 0);

    info->pstates[0].clocks[1].freqDeltaKhz.value = 500000;
    ASSERT_EQ(Set(*info), OK);
    EXPECT_EQ(Clocks().pstates[0].clocks[0].deltaKhz, 100000);
    EXPECT_EQ(Clocks().pstates[0].clocks[1].deltaKhz, 500000);

    info->pstates[0].pstateId = 8;  // not editable
    info->numClocks = 1;
    EXPECT_EQ(Set(*info), INVALID_ARGUMENT);
    info->pstates[0].pstateId = 5;  // not there
    EXPECT_EQ(Set(*info), INVALID_ARGUMENT);
    info->numPstates = 17;
    EXPECT_EQ(Set(*info), INVALID_ARGUMENT);

    // Over-voltage only in version 2; version 3 is read-only.
    auto ov = Request(kPstates20Ver2);
    ov->overVoltage.numVoltages = 1;
    ov->overVoltage.voltages[0].voltDeltaUv.value = 75000;
    ASSERT_EQ(Set(*ov), OK);
    EXPECT_EQ(Clocks().overVoltages[0].deltaUv, 75000);
    ov->version = kPstates20Ver3;
    EXPECT_EQ(Set(*ov), INCOMPATIBLE_STRUCT_VERSION);
}

TEST_F(SimClocks, PercentAndLocksRefuseWhatTheDriverWould) {
    Start(test::Pstates20Clocks());
    auto setPercent = driver_->Entry<OverVoltPercentFn>(GPU_SetOverVoltPercent);
    OverVoltPercent percent{kOverVoltPercentVer, 101, {}};
    EXPECT_EQ(setPercent(gpus_[0], &percent), INVALID_ARGUMENT);
    percent.percent = 100;
    EXPECT_EQ(setPercent(gpus_[0], &percent), OK);
    EXPECT_EQ(setPercent(gpus_[1], &percent), NOT_SUPPORTED);

    auto setLock = driver_->Entry<ClockBoostLockFn>(GPU_SetClockBoostLock);
    auto getLock = driver_->Entry<ClockBoostLockFn>(GPU_GetClockBoostLock);
    auto locks = std::make_unique<ClockBoostLock>();
    *locks = ClockBoostLock{};
    locks->version = kClockBoostLockVer;
    locks->count = 2;
    locks->entries[0] = {kLockGraphicsMax, 0, kLockFrequency, 0, 1500000, 0};
    locks->entries[1] = {kLockVoltage, 0, 4, 0, 900000, 0};  // no mode 4
    EXPECT_EQ(setLock(gpus_[0], locks.get()), INVALID_ARGUMENT);
    EXPECT_TRUE(Clocks().locks.empty()) << "nothing of a refused request is kept";
    locks->entries[1].mode = kLockVoltageMode;
    ASSERT_EQ(setLock(gpus_[0], locks.get()), OK);
    locks->count = 33;
    EXPECT_EQ(setLock(gpus_[0], locks.get()), INVALID_ARGUMENT);

    *locks = ClockBoostLock{};
    locks->version = kClockBoostLockVer;
    locks->count = 3;
    locks->entries[0].limitId = kLockVoltage;
    locks->entries[1].limitId = kLockMemoryMin;
    locks->entries[2].limitId = kLockGraphicsMax;
    locks->entries[1].value = 5;  // whatever the caller left is cleared
    ASSERT_EQ(getLock(gpus_[0], locks.get()), OK);
    EXPECT_EQ(locks->entries[0].mode, kLockVoltageMode);
    EXPECT_EQ(locks->entries[0].value, 900000u);
    EXPECT_EQ(locks->entries[1].mode, kLockDisabled);
    EXPECT_EQ(locks->entries[1].value, 0u);
    EXPECT_EQ(locks->entries[2].value, 1500000u);
}

TEST_F(SimClocks, TheModelRunsTheOffsetUnderLoadOnly) {
    TelemetryConfig config;
    config.load.percent = 100;
    ThermalModel loaded(config);
    loaded.SetClockOffsetKhz(120000, -300000);
    EXPECT_EQ(loaded.graphicsKhz(), config.maxClockKhz) << "from the next step";
    loaded.AdvanceTo(kModelStepMs, config);
    EXPECT_EQ(loaded.graphicsKhz(), config.maxClockKhz + 120000);
    EXPECT_EQ(loaded.memoryKhz(), config.memoryClockKhz - 300000);

    config.load.percent = 0;
    ThermalModel idle(config);
    idle.SetClockOffsetKhz(120000, 300000);
    idle.AdvanceTo(kModelStepMs, config);
    EXPECT_EQ(idle.graphicsKhz(), config.idleClockKhz);
    EXPECT_EQ(idle.memoryKhz(), config.idleMemoryClockKhz);
}

}  // namespace
}  // namespace vx::sim
