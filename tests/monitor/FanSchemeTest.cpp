// The fan schemes as the sampling loop runs them: what reaches each GPU's cooler at which
// temperature, and how long the held schemes keep the fan at full speed.
#include <gtest/gtest.h>

#include "monitor/MonitorFixture.h"
#include "support/TempDir.h"
#include "tuning/UserSettingsFile.h"

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
    // The user curve on GPU 0, lowering the fan `hysteresis` °C below its rise after `delay` s.
    void StartCurve(uint32_t hysteresis, uint32_t delay) {
        StartMonitor(SteadyRig({tuningtest::kPascalId}));
        settings.fanCurveHysteresis = hysteresis;
        settings.fanCurveSpinDownDelay = delay;
        dlg().ToggleCurveSwitch();
    }
    // The level each sample of `trace` wrote; 0 for a sample that wrote nothing or twice.
    std::vector<int32_t> Run(const std::vector<int32_t>& trace) {
        std::vector<int32_t> levels;
        for (int32_t celsius : trace) {
            const std::vector<FanWrite> writes = At(celsius);
            levels.push_back(writes.size() == 1 && writes[0].level ? *writes[0].level : 0);
        }
        return levels;
    }
    static int Changes(const std::vector<int32_t>& levels) {
        int changes = 0;
        for (std::size_t i = 1; i < levels.size(); ++i) changes += levels[i] != levels[i - 1];
        return changes;
    }
};

// A recorded warm-up, load and cool-down (°C per sample) and what the stepped start curve
// wrote for each sample before the fan was calmed.
const std::vector<int32_t> kTrace = {38, 40, 41, 45, 52, 59, 60, 61, 60, 61, 62, 66, 71, 75, 80, 81,
                                     79, 80, 81, 76, 70, 64, 61, 60, 61, 58, 52, 47, 41, 40, 41, 39};
const std::vector<int32_t> kTraceLevels = {20, 20, 40, 40, 40, 40, 40, 60, 40, 60, 60, 60, 60, 60, 60, 80,
                                           60, 60, 80, 60, 60, 60, 60, 40, 60, 40, 40, 40, 40, 20, 40, 20};

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
    StartCurve(0, 0);
    settings.highSet2 = true;
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

TEST_F(FanSchemeTest, CurveWithoutHysteresisOrDelayWritesTheStepRuleSampleForSample) {
    StartCurve(0, 0);
    EXPECT_EQ(Run(kTrace), kTraceLevels);
}

TEST_F(FanSchemeTest, CurveHysteresisRaisesAtOnceAndLowersOnlyWhenCoolerForLongEnough) {
    StartCurve(3, 5);
    // Around the 60 °C step by ±1 °C: one change, not one per sample.
    EXPECT_EQ(Changes(Run({60, 61, 60, 61, 60, 61, 60, 61, 60, 61, 60, 61})), 1);
    EXPECT_EQ(At(81), Fixed(80));  // up at once
    // 2 °C below the rise holds for good; 3 °C below must hold for 5 s, and going back up
    // in between starts the wait over.
    EXPECT_EQ(Run({79, 79, 79, 79, 79, 79, 79, 79}), std::vector<int32_t>(8, 80));
    const int wait = static_cast<int>((5000 + monitor::SampleLoop::kSamplePeriodMs - 1) / monitor::SampleLoop::kSamplePeriodMs);
    EXPECT_EQ(Run({78, 78, 80}), (std::vector<int32_t>{80, 80, 80}));
    std::vector<int32_t> cooling = Run(std::vector<int32_t>(static_cast<std::size_t>(wait + 1), 78));
    EXPECT_EQ(cooling.back(), 60);
    cooling.pop_back();
    EXPECT_EQ(cooling, std::vector<int32_t>(static_cast<std::size_t>(wait), 80));

    // On the whole trace the calmed fan changes far less often, and never falls behind on a rise.
    const std::vector<int32_t> calm = Run(kTrace);
    EXPECT_LT(Changes(calm), Changes(kTraceLevels) / 2);
    for (std::size_t i = 0; i < calm.size(); ++i) EXPECT_GE(calm[i], kTraceLevels[i]) << "sample " << i;

    // An edit is followed at once, downwards too: what was held belonged to the old curve.
    EXPECT_EQ(At(81), Fixed(80));
    ASSERT_TRUE(sampler().curve().MovePoint(3, {80, 50}));
    EXPECT_EQ(At(81), Fixed(50));
}

TEST_F(FanSchemeTest, AnEditedCurveFromTheSettingsFileDrivesItsGpusFan) {
    StartCurve(0, 0);
    test::TempDir dir;
    tuning::LastLoadedRecord last{};
    tuning::UserSettingsFile file(*gpus, clock, dir.path(), last);
    sampler().curve().AttachCurves(file.fanCurves);
    file.fanCurves[0].points = {{{30, 25}, {50, 35}, {65, 55}, {75, 70}, {90, 95}}};
    ASSERT_EQ(file.SaveUserSettings(), 1);
    file.fanCurves = {};
    EXPECT_EQ(At(66), Fixed(60));  // the start curve

    ASSERT_EQ(file.LoadUserSettings(), 1);
    ClearCalls();
    EXPECT_EQ(At(66), Fixed(55));
    EXPECT_EQ(At(91), Fixed(95));
    // Edits through the control land in the same store and reach the fan at the next sample.
    EXPECT_TRUE(sampler().curve().MovePoint(4, {90, 90}));
    EXPECT_EQ(At(91), Fixed(90));
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

    // Each GPU follows its own curve; the control edits the selected GPU's.
    dlg().SetSyncAll(false);
    dlg().SelectGpu(1);
    Samples(1);
    ASSERT_TRUE(sampler().curve().MovePoint(2, {60, 70}));
    ClearCalls();
    Samples(1);
    EXPECT_EQ(TakeFanWrites(), (std::vector<FanWrite>{{1, 70}}));
    EXPECT_EQ(sampler().curve().curveOf(0).points, monitor::CLineChartCtrl::kStartPoints);
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
