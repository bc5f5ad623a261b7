// "RESET" puts what an apply wrote back to stock, on every GPU with sync all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tuning/ApplyFixture.h"

namespace vx::tuningtest {
namespace {

class RestoreDefaultsTest : public ApplyFixture {
protected:
    uint32_t FrameRateWord() {
        uint32_t value = 0;
        gpus->GetFrameRateLimit(value);
        return value;
    }
};

TEST_F(RestoreDefaultsTest, EveryWrittenValueGoesBackToStock) {
    std::vector<std::string> order;
    hooks.restoreLighting = [&] { order.push_back("lighting"); };
    hooks.resetProfileSlots = [&] { order.push_back("slots"); };
    StartDialog(RigOf({KeplerGpu(), PascalGpu()}));
    dlg().SetSyncAll(true);

    // Move everything away from stock on both GPUs.
    if (!dlg().buttons.fanMode.Shows(tuning::image::kFanManual)) dlg().ToggleFanMode();
    dlg().sliders.fanSpeed.SetPos(80);
    if (!dlg().buttons.overVoltage.Shows(tuning::image::kOverVoltageOn)) dlg().ToggleOverVoltage();
    if (!dlg().buttons.frameRate.Shows(tuning::image::kFrameRateOn)) dlg().ToggleFrameRate();
    dlg().sliders.frameRateTarget.SetPos(60);
    dlg().sliders.overVoltage.SetPos(50);
    dlg().sliders.gpuClockOffset.SetPos(120);
    dlg().sliders.memClockOffset.SetPos(300);
    dlg().sliders.powerTarget.SetPos(115);
    dlg().sliders.tempTarget.SetPos(65);
    dlg().sliders.gpuVfOffset.SetPos(75);
    ApplyOverclockPage();
    ASSERT_TRUE(PumpUntilNotified());
    for (std::size_t gpu = 0; gpu < 2; ++gpu) {
        ASSERT_EQ(Pstate0Delta(gpu, nvapi::kClockDomainGraphics), 120000) << gpu;
        ASSERT_EQ(Pstate0Delta(gpu, nvapi::kClockDomainMemory), 300000) << gpu;
        ASSERT_EQ(OverVoltageUv(gpu), 50000) << gpu;
        ASSERT_EQ(CoolerPolicy(gpu), sim::kCoolerPolicyManual) << gpu;
        ASSERT_EQ(PowerLimitMilli(static_cast<uint8_t>(gpu)), 115000u) << gpu;
        ASSERT_EQ(ThermalLimitUnits(static_cast<uint8_t>(gpu)), 65 * 256) << gpu;
    }
    ASSERT_EQ(VfOffset(1, 0), 75000);
    ASSERT_NE(FrameRateWord(), 0u);

    dlg().RestoreDefaults();

    for (std::size_t gpu = 0; gpu < 2; ++gpu) {
        EXPECT_EQ(Pstate0Delta(gpu, nvapi::kClockDomainGraphics), 0) << gpu;
        EXPECT_EQ(Pstate0Delta(gpu, nvapi::kClockDomainMemory), 0) << gpu;
        EXPECT_EQ(OverVoltageUv(gpu), 0) << gpu;
        EXPECT_EQ(CoolerPolicy(gpu), sim::kCoolerPolicyAutomatic) << gpu;
        EXPECT_EQ(PowerLimitMilli(static_cast<uint8_t>(gpu)), 100000u) << gpu;
        EXPECT_EQ(ThermalLimitUnits(static_cast<uint8_t>(gpu)), 83 * 256) << gpu;
        EXPECT_EQ(dlg().record(static_cast<int>(gpu)).powerTempLinked, 1) << gpu;
        EXPECT_EQ(dlg().record(static_cast<int>(gpu)).fanAutomatic, 1) << gpu;
        EXPECT_EQ(dlg().record(static_cast<int>(gpu)).coreClockTargets[tuning::kWorkMode3DPerf], 900000) << gpu;
    }
    for (std::size_t point = 0; point <= 4; ++point) EXPECT_EQ(VfOffset(1, point), 0) << point;
    EXPECT_EQ(FrameRateWord(), 0u);
    EXPECT_EQ(order, (std::vector<std::string>{"lighting", "slots"}));

    // The sliders show the current GPU's stock values.
    EXPECT_EQ(dlg().sliders.gpuClockOffset.GetPos(), 0);
    EXPECT_EQ(dlg().sliders.memClockOffset.GetPos(), 0);
    EXPECT_EQ(dlg().sliders.powerTarget.GetPos(), 100);
    EXPECT_EQ(dlg().sliders.tempTarget.GetPos(), 83);
    EXPECT_EQ(dlg().sliders.overVoltage.GetPos(), 0);
    EXPECT_FALSE(dlg().sliders.overVoltage.IsEnabled());
    EXPECT_TRUE(dlg().buttons.overVoltage.Shows(tuning::image::kOverVoltageOff));
    EXPECT_TRUE(dlg().buttons.fanMode.Shows(tuning::image::kFanAuto));
    EXPECT_TRUE(dlg().buttons.powerTempLink.IsChecked()) << "the link button shows the flag reset set";
    EXPECT_TRUE(dlg().buttons.powerTempLink.Shows(tuning::image::kLinked));
    EXPECT_TRUE(dlg().buttons.frameRate.Shows(tuning::image::kFrameRateOff));
    EXPECT_FALSE(dlg().sliders.frameRateTarget.IsEnabled());
}

TEST_F(RestoreDefaultsTest, WithoutSyncOnlyTheCurrentGpuIsReset) {
    StartDialog(RigOf({KeplerGpu(), KeplerGpu()}));
    dlg().SetSyncAll(true);
    dlg().sliders.gpuClockOffset.SetPos(150);
    ApplyOverclockPage();
    ASSERT_TRUE(PumpUntilNotified());
    dlg().SetSyncAll(false);
    dlg().RestoreDefaults();
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainGraphics), 0);
    EXPECT_EQ(Pstate0Delta(1, nvapi::kClockDomainGraphics), 150000);
}

}  // namespace
}  // namespace vx::tuningtest
