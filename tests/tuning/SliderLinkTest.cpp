// Linked sliders: the shader clock follows the core clock through the level's ratio, and
// linked power and temperature targets map onto each other through their defaults.
#include "tuning/TuningFixture.h"

namespace vx::tuningtest {
namespace {

// One 3D PERF level (ID 1: the driver layer widens no range) whose shader/graphics ratio is `processor` / `graphics` (the fourth
// words); a zero graphics word leaves the ratio unknown.
sim::Rig RatioRig(int32_t graphicsWord, int32_t processorWord) {
    sim::LegacyLevel level{1, 4,
                           {sim::LegacyDomain{nvapi::kClockDomainGraphics, 500000, graphicsWord, 100000, 1000000},
                            sim::LegacyDomain{nvapi::kClockDomainMemory, 1000000, 1000000, 500000, 2000000},
                            sim::LegacyDomain{nvapi::kClockDomainProcessor, 750000, processorWord, 100000, 1200000}}};
    return test::RigBuilder().Gpu(kFermiId).Levels({level}).Build();
}

class SliderLinkTest : public TuningFixture {
protected:
    void MoveCore(int32_t mhz) { dlg().OnSliderMoved(dlg().sliders.coreClock, mhz); }
    void MoveShader(int32_t mhz) { dlg().OnSliderMoved(dlg().sliders.shaderClock, mhz); }
    void MovePower(int32_t percent) { dlg().OnSliderMoved(dlg().sliders.powerTarget, percent); }
    void MoveTemp(int32_t celsius) { dlg().OnSliderMoved(dlg().sliders.tempTarget, celsius); }
    int32_t Power() { return dlg().sliders.powerTarget.GetPos(); }
    int32_t Temp() { return dlg().sliders.tempTarget.GetPos(); }

    // Power [50, 120] with default `pd`, temperature [60, 92] °C with default `td`.
    void StartTargets(uint32_t pdMilli = 100000, int32_t tdCelsius = 83) {
        sim::Rig rig = Pstates20Rig();
        rig.gpus[0].power.powerPolicies[0].defaultMilliPercent = pdMilli;
        for (auto& policy : rig.gpus[0].power.thermalPolicies) policy.defaultUnits = tdCelsius * 256;
        StartDialog(rig);
        dlg().TogglePowerTempLink();
        ASSERT_EQ(dlg().record(0).powerTempLinked, 1);
    }
};

TEST_F(SliderLinkTest, ShaderFollowsCoreThroughTheLevelRatio) {
    StartDialog(RatioRig(400000, 600000));  // ratio 1.5
    ASSERT_FLOAT_EQ(gpus->GetShaderRatio(0, tuning::kWorkMode3DPerf), 1.5f);

    MoveCore(333);
    EXPECT_EQ(dlg().sliders.shaderClock.GetPos(), 499);  // 499.5 truncated
    MoveShader(1001);
    EXPECT_EQ(dlg().sliders.coreClock.GetPos(), 667);  // 667.33 truncated
    // Clamped into the other slider's range: 900 x 1.5 is past the shader's 1200 MHz.
    MoveCore(900);
    EXPECT_EQ(dlg().sliders.shaderClock.GetPos(), 1200);
    MoveShader(120);
    EXPECT_EQ(dlg().sliders.coreClock.GetPos(), 100);

    // Unlinked, each moves alone.
    dlg().ToggleLinkCoreShader();
    MoveCore(400);
    EXPECT_EQ(dlg().sliders.shaderClock.GetPos(), 120);
}

TEST_F(SliderLinkTest, UnknownRatioMovesBothAlike) {
    StartDialog(RatioRig(0, 600000));
    ASSERT_EQ(gpus->GetShaderRatio(0, tuning::kWorkMode3DPerf), 0.0f);
    MoveCore(321);
    EXPECT_EQ(dlg().sliders.shaderClock.GetPos(), 321);
    MoveShader(456);
    EXPECT_EQ(dlg().sliders.coreClock.GetPos(), 456);
}

TEST_F(SliderLinkTest, LinkedTargetsMapThroughTheDefaults) {
    StartTargets();
    MoveTemp(92);
    EXPECT_EQ(Power(), 120);
    MoveTemp(87);
    EXPECT_EQ(Power(), 108);  // 4 x 20 / 9 + 100
    MoveTemp(70);
    EXPECT_EQ(Power(), 72);  // 100 - 13 x 50 / 23
    MoveTemp(83);
    EXPECT_EQ(Power(), 100);

    MovePower(110);
    EXPECT_EQ(Temp(), 87);  // 10 x 9 / 20 + 83
    MovePower(60);
    EXPECT_EQ(Temp(), 65);  // 83 - 40 x 23 / 50
    MovePower(50);
    EXPECT_EQ(Temp(), 60);

    // Unlinked targets move alone.
    dlg().TogglePowerTempLink();
    MovePower(120);
    EXPECT_EQ(Temp(), 60);
}

TEST_F(SliderLinkTest, CollapsedHalvesKeepTheDefault) {
    StartTargets(120000, 92);  // both defaults at the top of their ranges
    MoveTemp(92);
    EXPECT_EQ(Power(), 120);
    MovePower(120);
    EXPECT_EQ(Temp(), 92);
    MoveTemp(76);
    EXPECT_EQ(Power(), 85);  // 120 - 16 x 70 / 32

    StartTargets(50000, 60);  // both at the bottom
    MoveTemp(60);
    EXPECT_EQ(Power(), 50);
    MovePower(50);
    EXPECT_EQ(Temp(), 60);
    MovePower(85);
    EXPECT_EQ(Temp(), 76);  // 35 x 32 / 70 + 60
}

TEST_F(SliderLinkTest, DisabledTargetDoesNotFollow) {
    sim::Rig rig = Pstates20Rig();
    rig.gpus[0].power.powerPolicies[0].minMilliPercent = 100000;
    rig.gpus[0].power.powerPolicies[0].maxMilliPercent = 100000;
    StartDialog(rig);
    dlg().TogglePowerTempLink();
    ASSERT_FALSE(dlg().sliders.powerTarget.IsEnabled());
    const int32_t before = Power();
    MoveTemp(60);
    EXPECT_EQ(Power(), before);
    EXPECT_EQ(Temp(), 60);
}

}  // namespace
}  // namespace vx::tuningtest
