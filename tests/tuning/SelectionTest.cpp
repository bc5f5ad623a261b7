// Selecting a GPU fills the sliders from the simulated hardware: ranges, positions and enabled
// states for each family, the one-shot live read, the work mode and its unlock switches.
#include "tuning/TuningFixture.h"

namespace vx::tuningtest {
namespace {

using tuning::kWorkMode2D;
using tuning::kWorkMode3DPerf;

// One legacy level of each kind, running 2D, whose graphics maximum is 1000 MHz.
sim::Rig LegacyRig(uint16_t deviceId = kFermiId) {
    return test::RigBuilder()
        .Gpu(deviceId)
        .Levels({test::LegacyLevelOf(0, 1, 500000, 400000), test::LegacyLevelOf(1, 2, 600000, 1000000),
                 test::LegacyLevelOf(2, 4, 700000, 2000000)},
                0)
        .Build();
}

class SelectionTest : public TuningFixture {};

TEST_F(SelectionTest, PstateGpuFillsOffsetsTargetsVoltageAndLabels) {
    sim::Rig rig = Pstates20Rig();
    rig.gpus[0].cooler.units[0].policy = sim::kCoolerPolicyManual;
    rig.gpus[0].cooler.units[0].level = 70;
    StartDialog(rig);
    auto& s = dlg().sliders;

    EXPECT_EQ(dlg().currentGpu(), 0);
    EXPECT_EQ(gpus->selectedGpu(), 0);
    EXPECT_EQ(dlg().texts(0).driverVersion, "410.91");
    EXPECT_EQ(dlg().texts(0).memorySize, "4096");

    // P-state 0 offsets in MHz.
    EXPECT_TRUE(s.gpuClockOffset.IsEnabled());
    EXPECT_EQ(s.gpuClockOffset.GetRangeMin(), -500);
    EXPECT_EQ(s.gpuClockOffset.GetRangeMax(), 500);
    EXPECT_EQ(s.memClockOffset.GetRangeMin(), -1000);
    EXPECT_EQ(s.memClockOffset.GetRangeMax(), 1000);

    // Power and temperature targets with their remembered defaults.
    EXPECT_TRUE(s.powerTarget.IsEnabled());
    EXPECT_EQ(s.powerTarget.GetRangeMin(), 50);
    EXPECT_EQ(s.powerTarget.GetRangeMax(), 120);
    EXPECT_EQ(s.powerTarget.GetPos(), 100);
    EXPECT_EQ(dlg().defaults().powerTargetPercent, 100);
    EXPECT_TRUE(s.tempTarget.IsEnabled());
    EXPECT_EQ(s.tempTarget.GetRangeMin(), 60);
    EXPECT_EQ(s.tempTarget.GetRangeMax(), 92);
    EXPECT_EQ(s.tempTarget.GetPos(), 83);
    EXPECT_EQ(dlg().defaults().tempTargetCelsius, 83);

    // Over-voltage [(0 - 500) / 1000, (75000 + 500) / 1000], off while the delta is 0.
    EXPECT_EQ(s.overVoltage.GetRangeMin(), 0);
    EXPECT_EQ(s.overVoltage.GetRangeMax(), 75);
    EXPECT_EQ(dlg().defaults().overVoltageMaxUv, 75000);
    EXPECT_TRUE(dlg().buttons.overVoltage.IsVisible());
    EXPECT_TRUE(dlg().buttons.overVoltage.Shows(tuning::image::kOverVoltageOff));
    EXPECT_FALSE(s.overVoltage.IsEnabled());

    // GPU voltage of the P-state path: [825, 1200] mV for this ID, position from P-state 0.
    EXPECT_TRUE(s.gpuVoltage.IsEnabled());
    EXPECT_EQ(s.gpuVoltage.GetRangeMin(), 825);
    EXPECT_EQ(s.gpuVoltage.GetRangeMax(), 1200);
    EXPECT_EQ(s.gpuVoltage.GetPos(), 1000);

    // Fan: cooler range and the manual level read live; no VF sliders on this family.
    EXPECT_EQ(s.fanSpeed.GetRangeMin(), dlg().fanRangeMin());
    EXPECT_EQ(s.fanSpeed.GetRangeMax(), 100);
    EXPECT_EQ(s.fanSpeed.GetPos(), 70);
    EXPECT_TRUE(dlg().buttons.fanMode.IsEnabled());
    EXPECT_FALSE(s.overVoltPercent.IsEnabled());
    EXPECT_FALSE(s.gpuVfOffset.IsEnabled());

    // Frame-rate target: [0, 255], off until its button is pressed.
    EXPECT_EQ(s.frameRateTarget.GetRangeMax(), 255);
    EXPECT_FALSE(s.frameRateTarget.IsEnabled());
}

TEST_F(SelectionTest, VfGpuFillsVfSlidersAndVoltageLock) {
    sim::Rig rig = DemoRig();
    rig.gpus[0].vf.points[79].offsetKhz = 100000;  // the graphics offset in force
    rig.gpus[0].clocks.boostLocksSupported = true;
    rig.gpus[0].clocks.locks = {sim::ClockLockConfig{nvapi::kLockVoltage, nvapi::kLockVoltageMode, 1050000}};
    rig.gpus[0].clocks.overVoltPercentSupported = true;
    rig.gpus[0].clocks.overVoltPercent = 40;
    StartDialog(rig);
    auto& s = dlg().sliders;

    EXPECT_TRUE(s.gpuVfOffset.IsEnabled());
    EXPECT_EQ(s.gpuVfOffset.GetRangeMin(), -100);  // -200000 / 2000
    EXPECT_EQ(s.gpuVfOffset.GetRangeMax(), 500);   // 1000000 / 2000
    EXPECT_EQ(s.gpuVfOffset.GetPos(), 100);
    EXPECT_EQ(s.memVfOffset.GetRangeMin(), -502);
    EXPECT_EQ(s.memVfOffset.GetRangeMax(), 1000);
    EXPECT_TRUE(s.overVoltPercent.IsEnabled());
    EXPECT_EQ(s.overVoltPercent.GetPos(), 40);

    EXPECT_FALSE(s.voltageLock.IsEnabled());
    EXPECT_EQ(s.voltageLock.GetRangeMax(), 125);
    EXPECT_EQ(s.voltageLock.GetPos(), 105);
    EXPECT_TRUE(dlg().buttons.voltageLock.Shows(tuning::image::kLockOff));

    // No P-state 2.0 table on this board: no offsets, no over-voltage button.
    EXPECT_FALSE(s.gpuClockOffset.IsEnabled());
    EXPECT_FALSE(dlg().buttons.overVoltage.IsVisible());

    // Select and set a temperature target, again and again: the kept texts start over.
    gpus->SetTraceSink([](const std::string&) {});
    std::size_t lockText = 0, messages = 0;
    for (int i = 0; i < 1000; ++i) {
        dlg().SelectGpu(0);
        gpus->SetThermalLimit(0, nvapi::kThermalPolicyAcoustic, 80.0f);
        if (i > 0) continue;
        lockText = gpus->boostLockText().size();
        messages = gpus->policyMessages().size();
    }
    EXPECT_GT(lockText, 0u);
    EXPECT_GT(messages, 0u);
    EXPECT_EQ(gpus->boostLockText().size(), lockText);
    EXPECT_EQ(gpus->policyMessages().size(), messages);
}

TEST_F(SelectionTest, LegacyGpuFillsClockSlidersOfTheRunningLevel) {
    StartDialog(LegacyRig());
    auto& s = dlg().sliders;

    // The GPU runs 2D: graphics 500 MHz in [250, 1000], shader twice that, memory 400.
    EXPECT_EQ(dlg().record(0).workMode, kWorkMode2D);
    EXPECT_EQ(dlg().selectedWorkMode(), kWorkMode2D);
    EXPECT_TRUE(dlg().buttons.workMode[0].IsChecked());
    EXPECT_FALSE(dlg().buttons.workMode[2].IsChecked());
    EXPECT_EQ(s.coreClock.GetRangeMin(), 250);
    EXPECT_EQ(s.coreClock.GetRangeMax(), 1000);
    EXPECT_EQ(s.coreClock.GetPos(), 500);
    EXPECT_EQ(s.shaderClock.GetPos(), 1000);
    EXPECT_EQ(s.memoryClock.GetPos(), 400);

    // Every level's clocks became the record's targets (kHz).
    EXPECT_EQ(dlg().record(0).coreClockTargets[kWorkMode2D], 500000);
    EXPECT_EQ(dlg().record(0).memoryClockTargets[tuning::kWorkMode3DLow], 1000000);
    EXPECT_EQ(dlg().record(0).shaderClockTargets[kWorkMode3DPerf], 1400000);

    EXPECT_FALSE(s.gpuClockOffset.IsEnabled());
    EXPECT_FALSE(s.gpuVoltage.IsEnabled());
    EXPECT_FALSE(s.overVoltPercent.IsEnabled());

    // Another level: the pressed button alone is checked, the sliders follow.
    ASSERT_EQ(dlg().SelectWorkMode(kWorkMode3DPerf), 0);
    EXPECT_TRUE(dlg().buttons.workMode[2].IsChecked());
    EXPECT_FALSE(dlg().buttons.workMode[0].IsChecked());
    EXPECT_EQ(s.coreClock.GetPos(), 700);
    EXPECT_EQ(s.memoryClock.GetPos(), 2000);
    EXPECT_EQ(dlg().record(0).workMode, kWorkMode3DPerf);
    EXPECT_EQ(dlg().selectedWorkMode(), kWorkMode3DPerf);
}

TEST_F(SelectionTest, UnlockSwitchesWidenTheClockRange) {
    StartDialog(LegacyRig());
    auto& core = dlg().sliders.coreClock;
    ASSERT_EQ(core.GetRangeMax(), 1000);

    dlg().SetUnlockMax(true);
    EXPECT_EQ(core.GetRangeMax(), 1500);
    EXPECT_EQ(core.GetRangeMin(), 250);
    dlg().SetUnlockMin(true);
    EXPECT_EQ(core.GetRangeMin(), 0);
    EXPECT_EQ(dlg().sliders.shaderClock.GetRangeMin(), 0);

    dlg().SetUnlockMax(false);
    dlg().SetUnlockMin(false);
    EXPECT_EQ(core.GetRangeMin(), 250);
    EXPECT_EQ(core.GetRangeMax(), 1000);
}

TEST_F(SelectionTest, MissingOrFixedHardwareLeavesControlsDisabled) {
    sim::Rig rig = Pstates20Rig();
    rig.gpus[0].cooler.units.clear();  // no fan: fan access kind 4
    rig.gpus[0].power.powerPolicies[0].minMilliPercent = 100000;
    rig.gpus[0].power.powerPolicies[0].maxMilliPercent = 100000;
    StartDialog(rig);
    ASSERT_EQ(gpus->fanAccessKind(0), kFanNotControllable);

    EXPECT_FALSE(dlg().sliders.fanSpeed.IsEnabled());
    EXPECT_FALSE(dlg().buttons.fanMode.IsEnabled());
    EXPECT_EQ(dlg().fanRangeMin(), 10);
    EXPECT_EQ(dlg().fanRangeMax(), 100);
    EXPECT_FALSE(dlg().sliders.powerTarget.IsEnabled());
    // The fan mode cannot be switched on such a GPU.
    dlg().ToggleFanMode();
    EXPECT_FALSE(dlg().sliders.fanSpeed.IsEnabled());
}

TEST_F(SelectionTest, OverVoltageControlsNeedMoreThan50000Microvolts) {
    // GPU 0 allows 50000 µV, GPU 1 50001 µV; both hold a 25000 µV delta.
    sim::Rig rig = test::RigBuilder().Gpus(2, kKeplerId).Build();
    for (std::size_t gpu = 0; gpu < 2; ++gpu) {
        rig.gpus[gpu].clocks = test::Pstates20Clocks();
        rig.gpus[gpu].clocks.overVoltages = {test::Pstate20Voltage(1100000, 0, 50000 + static_cast<int32_t>(gpu))};
        rig.gpus[gpu].clocks.overVoltages[0].deltaUv = 25000;
    }
    StartDialog(rig);
    for (const int gpu : {0, 1, 0}) {
        dlg().SelectGpu(gpu);
        // Button and slider hide together, and come back for a GPU that allows more.
        EXPECT_EQ(dlg().buttons.overVoltage.IsVisible(), gpu == 1) << gpu;
        EXPECT_EQ(dlg().sliders.overVoltage.IsVisible(), gpu == 1) << gpu;
        // A delta in force shows the switch on with the slider enabled.
        EXPECT_TRUE(dlg().buttons.overVoltage.Shows(tuning::image::kOverVoltageOn)) << gpu;
        EXPECT_TRUE(dlg().sliders.overVoltage.IsEnabled()) << gpu;
        EXPECT_EQ(dlg().sliders.overVoltage.GetPos(), 25) << gpu;
    }
}

TEST_F(SelectionTest, SlotThreeVoltageRangeDependsOnTheDeviceId) {
    for (const uint16_t id : {uint16_t{0x0DE0}, uint16_t{0x0CA3}}) {
        StartDialog(VoltageDeviceRig(id, sim::I2cDeviceKind::VoltageController, 2, 0x60));
        ASSERT_TRUE(gpus->IsCardDevicePresent(0, 3)) << std::hex << id;
        EXPECT_TRUE(dlg().sliders.gpuVoltage.IsEnabled());
        EXPECT_EQ(dlg().sliders.gpuVoltage.GetRangeMin(), 0);
        EXPECT_EQ(dlg().sliders.gpuVoltage.GetRangeMax(), id == 0x0DE0 ? 3 : 10) << std::hex << id;
    }
}

TEST_F(SelectionTest, OnlyTheFirstSelectionReadsTheHardware) {
    sim::Rig rig = test::RigBuilder().Gpus(2, kKeplerId).Build();
    for (auto& gpu : rig.gpus) {
        gpu.clocks = test::Pstates20Clocks();
        gpu.cooler.units[0].policy = sim::kCoolerPolicyManual;
    }
    rig.gpus[0].cooler.units[0].level = 70;
    rig.gpus[1].cooler.units[0].level = 80;
    StartDialog(rig);
    EXPECT_EQ(dlg().sliders.fanSpeed.GetPos(), 70);
    EXPECT_TRUE(dlg().buttons.gpu[0].IsChecked());
    EXPECT_TRUE(dlg().buttons.gpu[1].IsVisible());
    EXPECT_FALSE(dlg().buttons.gpu[2].IsVisible());

    // GPU 1 comes from its record, not from the cooler.
    dlg().record(1).fanSpeed = 55;
    dlg().SelectGpu(1);
    EXPECT_EQ(dlg().currentGpu(), 1);
    EXPECT_EQ(dlg().sliders.fanSpeed.GetPos(), 55);
    EXPECT_TRUE(dlg().buttons.gpu[1].IsChecked());
    EXPECT_FALSE(dlg().buttons.gpu[0].IsChecked());

    // Back to GPU 0: also from its record, which kept the first live read.
    dlg().SelectGpu(0);
    EXPECT_EQ(dlg().sliders.fanSpeed.GetPos(), 70);

    // An index past the GPUs changes nothing.
    EXPECT_NE(dlg().SelectGpu(2, false), 0);
    EXPECT_EQ(dlg().currentGpu(), 0);
}

TEST_F(SelectionTest, DriverVersionGetsItsPointBeforeTheLastTwoDigits) {
    const struct {
        uint32_t version;
        const char* text;
    } cases[] = {{41091, "410.91"}, {99, "99"}, {123, "1.23"}};
    for (const auto& c : cases) {
        StartDialog(test::RigBuilder().Gpu(kKeplerId).DriverVersion(c.version, "r1").MemoryKb(2047).Build());
        EXPECT_EQ(dlg().texts(0).driverVersion, c.text);
        EXPECT_EQ(dlg().texts(0).memorySize, "1");  // 2047 KB >> 10
    }
}

TEST_F(SelectionTest, RefreshFollowsTheCoolerModeUnlessASlotSetIt) {
    StartDialog(Pstates20Rig());
    ASSERT_TRUE(dlg().buttons.fanMode.Shows(tuning::image::kFanAuto));
    ASSERT_EQ(gpus->SetFanLevel(0, 65), 0);  // the cooler is manual now

    dlg().RefreshFromHardware(true);  // a slot load keeps the button as it set it
    EXPECT_TRUE(dlg().buttons.fanMode.Shows(tuning::image::kFanAuto));
    EXPECT_EQ(dlg().sliders.fanSpeed.GetPos(), 65);

    dlg().RefreshFromHardware(false);
    EXPECT_TRUE(dlg().buttons.fanMode.Shows(tuning::image::kFanManual));
    EXPECT_TRUE(dlg().sliders.fanSpeed.IsEnabled());

    gpus->RestoreAutoFan(0);  // this fan kind reports -104 after the driver's restore
    dlg().RefreshFromHardware(true);
    EXPECT_TRUE(dlg().buttons.fanMode.Shows(tuning::image::kFanAuto));
    EXPECT_FALSE(dlg().sliders.fanSpeed.IsEnabled());
}

}  // namespace
}  // namespace vx::tuningtest
