// The fan schemes as the sampling loop runs them: what reaches each GPU's cooler at which
// temperature, and how long the held schemes keep the fan at full speed.
#include <gtest/gtest.h>

#include "monitor/MonitorFixture.h"

namespace vx::monitortest {
namespace {

constexpr uint16_t kUnsupportedId = 0x0A20;

class FanSchemeTest : public MonitorFixture {
protected:
    // One sample at `celsius` on GPU 0; the writes it caused to GPU 0's fan.
    std::vector<FanWrite> At(int32_t celsius) {
        SetTemperature(0, celsius);
        Samples(1);
        std::vector<FanWrite> writes;
        for (const FanWrite& write : TakeFanWrites())
            if (write.gpu == 0) writes.push_back(write);
        return writes;
    }
    static std::vector<FanWrite> Fixed(int32_t level) { return {{0, level}}; }
    static std::vector<FanWrite> Automatic() { return {{0, std::nullopt}}; }
};

TEST_F(FanSchemeTest, CustomModeHasThreeZones) {
    sim::Rig rig = SteadyRig({tuningtest::kPascalId, tuningtest::kPascalId});
    rig.gpus[1].cooler.units[0].minLevel = 30;
    StartMonitor(std::move(rig));
    settings.highSet = true;
    settings.tempSet = 1;      // 80 °C
    settings.templowSet = 1;   // 50 °C
    settings.fansSet = 1;      // 15 %
    settings.fansHighSet = 3;  // 100 %
    EXPECT_EQ(At(80), Fixed(100));
    EXPECT_EQ(At(79), Automatic());
    EXPECT_EQ(At(51), Automatic());
    // Each fan follows its own GPU; the low speed never goes under the cooler's minimum.
    SetTemperature(0, 50);
    SetTemperature(1, 50);
    Samples(1);
    EXPECT_EQ(TakeFanWrites(), (std::vector<FanWrite>{{0, 15}, {1, 30}}));
    SetTemperature(1, 85);
    Samples(1);
    EXPECT_EQ(TakeFanWrites(), (std::vector<FanWrite>{{0, 15}, {1, 100}}));

    settings.templowSet = 7;  // no such choice: the low zone starts at 0 °C
    EXPECT_EQ(At(50), Automatic());
}

TEST_F(FanSchemeTest, UnsupportedGpuFollowsOnlyCustomMode) {
    StartMonitor(SteadyRig({kUnsupportedId}));
    settings.highSet2 = true;
    settings.highSet3 = true;
    EXPECT_TRUE(At(90).empty());
    settings.highSet = true;
    EXPECT_EQ(At(90), Fixed(80));
}

TEST_F(FanSchemeTest, SilentModeHoldsFullSpeedFor30SamplesAndStepsDownOnThe31st) {
    StartMonitor(SteadyRig({tuningtest::kPascalId}));
    settings.highSet2 = true;
    EXPECT_EQ(At(55), Fixed(20));
    EXPECT_EQ(At(65), Fixed(25));
    EXPECT_EQ(At(80), Fixed(35));
    EXPECT_EQ(At(85), Fixed(40));
    EXPECT_EQ(At(86), Fixed(100));

    SetTemperature(0, 70);
    Samples(30);
    EXPECT_TRUE(TakeFanWrites().empty());
    EXPECT_EQ(sampler().fans().silentHoldCount(0), 30);
    EXPECT_EQ(At(70), Fixed(30));
    EXPECT_EQ(sampler().fans().silentHoldCount(0), 0);

    // Hot again at full speed: the count starts over.
    EXPECT_EQ(At(90), Fixed(100));
    SetTemperature(0, 70);
    Samples(12);
    EXPECT_TRUE(At(88).empty());
    EXPECT_EQ(sampler().fans().silentHoldCount(0), 0);
}

TEST_F(FanSchemeTest, PerformanceModeHoldsFor10SamplesAndHandsLowTemperaturesToTheDriver) {
    StartMonitor(SteadyRig({tuningtest::kPascalId}));
    settings.highSet3 = true;
    EXPECT_EQ(At(40), Automatic());
    EXPECT_EQ(At(41), Fixed(50));
    EXPECT_EQ(At(61), Fixed(60));
    EXPECT_EQ(At(76), Fixed(70));
    EXPECT_EQ(At(86), Fixed(100));
    SetTemperature(0, 50);
    Samples(10);
    EXPECT_TRUE(TakeFanWrites().empty());
    EXPECT_EQ(At(50), Fixed(50));
}

TEST_F(FanSchemeTest, UserCurveInBothShapesWinsOverTheSchemes) {
    StartMonitor(SteadyRig({tuningtest::kPascalId}));
    settings.highSet2 = true;
    dlg().ToggleCurveSwitch();
    ASSERT_EQ(gpus->uiFlag(0), 1);
    ASSERT_EQ(sampler().curve().shape(), monitor::kShapeZigzag);
    EXPECT_EQ(At(60), Fixed(40));
    EXPECT_EQ(At(61), Fixed(60));
    EXPECT_EQ(At(19), Fixed(20));

    sampler().curve().OnDoubleClick();
    EXPECT_EQ(At(50), Fixed(50));
    EXPECT_EQ(At(101), Fixed(100));

    // The first segment that holds the temperature decides, in the points' order.
    sampler().curve().SetPoints({{{20, 20}, {60, 60}, {40, 90}, {80, 80}, {100, 100}}});
    EXPECT_EQ(At(50), Fixed(50));
}

TEST_F(FanSchemeTest, AFanFollowsItsOwnGpuUnlessSyncAllIsChecked) {
    StartMonitor(SteadyRig({tuningtest::kPascalId, tuningtest::kPascalId}));
    gpus->SetUiFlag(1, 1);
    SetTemperature(1, 61);
    Samples(1);
    EXPECT_EQ(TakeFanWrites(), (std::vector<FanWrite>{{1, 60}}));
    EXPECT_EQ(dlg().record(1).fanState, 0);

    dlg().SetSyncAll(true);
    Samples(1);
    EXPECT_EQ(TakeFanWrites(), (std::vector<FanWrite>{{0, 60}, {1, 60}}));
}

TEST_F(FanSchemeTest, TemperatureAssociationWritesTheGpuItselfAndHasTheLastWord) {
    StartMonitor(SteadyRig({tuningtest::kPascalId}));
    settings.fanTempSet = true;
    settings.highSet2 = true;
    EXPECT_EQ(At(80), (std::vector<FanWrite>{{0, 35}, {0, 90}}));
    EXPECT_EQ(dlg().record(0).live.fanPercent, 90);
    EXPECT_EQ(At(89), (std::vector<FanWrite>{{0, 100}, {0, 100}}));

    settings.highSet2 = false;
    settings.highSet = true;  // "Custom mode" turns the association off
    EXPECT_EQ(At(89), Fixed(80));
}

}  // namespace
}  // namespace vx::monitortest
