// The clock-apply worker against the simulator: which GPUs it writes, what a cancelled
// question skips, how it fails, and that its questions and results reach the interface
// thread, also when the dialog goes away first.
#include <gtest/gtest.h>

#include "tuning/ApplyFixture.h"

namespace vx::tuningtest {
namespace {

using ui::BoxAnswer;

class ApplyClocksWorkerTest : public ApplyFixture {};

TEST_F(ApplyClocksWorkerTest, SyncDecidesWhetherOneOrEveryGpuIsWritten) {
    StartDialog(RigOf({KeplerGpu(), KeplerGpu()}));
    dlg().sliders.gpuClockOffset.SetPos(100);
    ApplyOverclockPage();
    ASSERT_TRUE(PumpUntilNotified());
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainGraphics), 100000);
    EXPECT_EQ(Pstate0Delta(1, nvapi::kClockDomainGraphics), 0);
    EXPECT_EQ(GpuCallsTo(nvapi::GPU_SetPstates20, 1), 0u);
    EXPECT_EQ(CountShown(app::Text(app::msg::kSettingsApplied)), 1);

    dlg().SetSyncAll(true);
    dlg().sliders.gpuClockOffset.SetPos(200);
    ApplyOverclockPage();
    ASSERT_TRUE(PumpUntilNotified());
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainGraphics), 200000);
    EXPECT_EQ(Pstate0Delta(1, nvapi::kClockDomainGraphics), 200000);
    EXPECT_EQ(dlg().sliders.gpuClockOffset.GetPos(), 200);  // read back from the current GPU
}

TEST_F(ApplyClocksWorkerTest, CancelOnTheVfQuestionStillWritesTheOffsetsAndTargetsThatFollow) {
    StartDialog(RigOf({PascalGpu()}));
    dlg().sliders.gpuVfOffset.SetPos(50);
    dlg().sliders.gpuClockOffset.SetPos(40);
    dlg().sliders.powerTarget.SetPos(110);
    dlg().sliders.tempTarget.SetPos(70);
    prompts.answers = {BoxAnswer::Cancel};
    ApplyOverclockPage();
    ASSERT_TRUE(PumpUntilNotified());

    EXPECT_EQ(CountShown("The changes may cause system unsteadily"), 1);
    EXPECT_EQ(VfOffset(0, 0), 0);
    EXPECT_EQ(VfOffset(0, 3), 0);
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainGraphics), 40000);
    EXPECT_EQ(PowerLimitMilli(0), 110000u);
    EXPECT_EQ(ThermalLimitUnits(0), 70 * 256);
    EXPECT_EQ(CountShown(app::Text(app::msg::kSettingsApplied)), 1);

    // Answered OK the same apply writes every point of both domains.
    dlg().sliders.memVfOffset.SetPos(-100);
    ApplyOverclockPage();
    ASSERT_TRUE(PumpUntilNotified());
    for (std::size_t point = 0; point <= 3; ++point) EXPECT_EQ(VfOffset(0, point), 50000) << point;
    EXPECT_EQ(VfOffset(0, 4), -100000);
}

TEST_F(ApplyClocksWorkerTest, CancelThatLeavesNothingToWriteReportsCancelled) {
    // A VF board whose only write is the one the question guards: no P-state table, no
    // power or thermal policies, frame-rate limit off.
    sim::GpuModel gpu = PascalGpu();
    gpu.clocks.pstates.clear();
    gpu.power.powerSupported = false;
    gpu.power.thermalSupported = false;
    StartDialog(RigOf({gpu}));
    ASSERT_FALSE(dlg().sliders.frameRateTarget.IsEnabled());
    prompts.answers = {BoxAnswer::Cancel};
    ApplyOverclockPage();
    ASSERT_TRUE(PumpUntilNotified());
    EXPECT_EQ(CountShown(app::Text(app::msg::kApplyCanceled)), 1);
    EXPECT_EQ(CountShown(app::Text(app::msg::kSettingsApplied)), 0);
}

TEST_F(ApplyClocksWorkerTest, PstateVoltageIsAskedForWrittenAndPutBackByReset) {
    // P-state information (after the version word): counts 1 P-state, 0 clocks, 1 voltage;
    // P-state 0 with the core voltage at 1000 mV.
    constexpr std::size_t kMillivolts = 1 + 3 + 2 + 32 * 3 + 2;
    sim::GpuModel gpu = KeplerGpu();
    gpu.clocks.pstatesInfo.assign(2340, 0);
    gpu.clocks.pstatesInfo[1] = 1;
    gpu.clocks.pstatesInfo[3] = 1;
    gpu.clocks.pstatesInfo[kMillivolts] = 1000;
    StartDialog(RigOf({gpu}));
    auto heldMillivolts = [&] {
        std::lock_guard guard(simulator->mutex());
        return rig().gpus[0].clocks.pstatesInfo[kMillivolts];
    };
    const int32_t kept = dlg().sliders.gpuVoltage.GetPos();
    ASSERT_EQ(kept, 1000);

    dlg().sliders.gpuVoltage.SetPos(1100);
    prompts.answers = {BoxAnswer::Cancel};
    ApplyOverclockPage();
    ASSERT_TRUE(PumpUntilNotified());
    EXPECT_EQ(CountShown(app::Text(app::msg::kVoltageWarning)), 1);
    EXPECT_EQ(heldMillivolts(), 1000u);
    EXPECT_EQ(dlg().sliders.gpuVoltage.GetPos(), kept);

    dlg().sliders.gpuVoltage.SetPos(1100);
    ApplyOverclockPage();
    ASSERT_TRUE(PumpUntilNotified());
    EXPECT_EQ(heldMillivolts(), 1100u);
    EXPECT_EQ(dlg().sliders.gpuVoltage.GetPos(), 1100);
    {
        std::lock_guard guard(simulator->mutex());
        EXPECT_EQ(rig().gpus[0].clocks.perfLimitFirst, 2u);
        EXPECT_EQ(rig().gpus[0].clocks.perfLimitSecond, 5u);
    }

    dlg().RestoreDefaults();
    EXPECT_EQ(heldMillivolts(), 1000u);
    EXPECT_EQ(dlg().sliders.gpuVoltage.GetPos(), kept);
}

TEST_F(ApplyClocksWorkerTest, OverVoltageIsHeldToTheRememberedMaximum) {
    sim::GpuModel gpu = KeplerGpu();
    gpu.clocks.overVoltages[0].deltaMaxUv = 100000;
    StartDialog(RigOf({gpu}));
    ASSERT_EQ(dlg().defaults().overVoltageMaxUv, 100000);
    dlg().sliders.overVoltage.SetRange(0, 300);  // as a remote document may set it
    dlg().sliders.overVoltage.SetPos(200);
    ApplyOverclockPage();
    ASSERT_TRUE(PumpUntilNotified());
    EXPECT_EQ(OverVoltageUv(0), 100000);
}

TEST_F(ApplyClocksWorkerTest, TargetsTheThermalPoliciesCannotTakeAreReportedAndTheRestIsWritten) {
    // A group-1 board (0x1180) whose thermal policies do not handle it, set up at selection or
    // failing by the time of the apply. Power and over-voltage have their own interfaces.
    const struct {
        const char* board;
        bool thermalAtSelection;
        bool priorityOn;
        int32_t expected;  // message text
    } cases[] = {
        {"no thermal policies, nothing asked of them", false, false, app::msg::kSettingsApplied},
        {"no thermal policies, temperature priority on", false, true, app::msg::kApplyFailed},
        {"thermal policies gone after selection", true, false, app::msg::kApplyFailed},
    };
    for (const auto& c : cases) {
        sim::GpuModel gpu = Pstates20Rig(0x1180).gpus[0];
        gpu.power.thermalSupported = c.thermalAtSelection;
        StartDialog(RigOf({gpu}));
        ASSERT_EQ(dlg().sliders.tempTarget.IsEnabled(), c.thermalAtSelection) << c.board;
        dlg().ToggleOverVoltage();
        dlg().sliders.overVoltage.SetPos(50);
        dlg().sliders.powerTarget.SetPos(110);
        dlg().sliders.tempTarget.SetPos(70);
        if (c.priorityOn) dlg().ToggleVoltageLock();
        if (c.thermalAtSelection) simulator->ForceStatus(nvapi::GPU_ThermalPoliciesGetInfo, -104);
        ClearCalls();
        prompts.shown.clear();
        ApplyOverclockPage();
        ASSERT_TRUE(PumpUntilNotified());
        EXPECT_EQ(OverVoltageUv(0), 50000) << c.board;
        EXPECT_EQ(PowerLimitMilli(0), 110000u) << c.board;
        EXPECT_EQ(GpuCallsTo(nvapi::GPU_PowerPoliciesSetStatus, 0), 2u) << c.board << ": the target and the limit";
        EXPECT_EQ(GpuCallsTo(nvapi::GPU_ClientThermalPoliciesSetStatus, 0), 0u) << c.board;
        EXPECT_EQ(CountShown(app::Text(c.expected)), 1) << c.board;
    }
}

TEST_F(ApplyClocksWorkerTest, RefusedWritesFailTheApplyWithOneBoxForTheVfPoints) {
    // A range narrowed after selection, so the sliders ask for what the GPU now refuses.
    const struct {
        const char* name;
        std::function<void(sim::GpuModel&)> narrow;
        int refusedBoxes;
        std::size_t thermalWrites;
    } cases[] = {
        {"graphics VF offset above the range", [](sim::GpuModel& g) { g.vf.domains[0].offsetMaxKhz = 10000; }, 1, 2},
        {"power target above the range", [](sim::GpuModel& g) { g.power.powerPolicies[0].maxMilliPercent = 100000; },
         0, 2},
        {"temperature target above the range",
         [](sim::GpuModel& g) { g.power.thermalPolicies[1].maxUnits = 65 * nvapi::kThermalUnitsPerC; }, 0, 1},
    };
    for (const auto& c : cases) {
        StartDialog(RigOf({PascalGpu()}));
        dlg().sliders.gpuVfOffset.SetPos(50);
        dlg().sliders.powerTarget.SetPos(110);
        dlg().sliders.tempTarget.SetPos(70);
        {
            std::lock_guard guard(simulator->mutex());
            c.narrow(rig().gpus[0]);
        }
        ClearCalls();
        prompts.shown.clear();
        ApplyOverclockPage();
        ASSERT_TRUE(PumpUntilNotified()) << c.name;
        // Every point is still written (four graphics, one memory); one box for the whole pass.
        EXPECT_EQ(GpuCallsTo(nvapi::GPU_ClockClientClkVfPointsSetControl, 0), 5u) << c.name;
        EXPECT_EQ(CountShown("SetControl API call failed with error -5"), c.refusedBoxes) << c.name;
        EXPECT_EQ(GpuCallsTo(nvapi::GPU_ClientThermalPoliciesSetStatus, 0), c.thermalWrites) << c.name;
        EXPECT_EQ(CountShown(app::Text(app::msg::kApplyFailed)), 1) << c.name;
        EXPECT_EQ(CountShown(app::Text(app::msg::kSettingsApplied)), 0) << c.name;
    }
}

TEST_F(ApplyClocksWorkerTest, FailedLevelClockReadFailsTheApplyAndStopsBeforeLaterGpus) {
    StartDialog(RigOf({KeplerGpu(), KeplerGpu()}));
    dlg().SetSyncAll(true);
    dlg().sliders.gpuClockOffset.SetPos(100);
    simulator->ForceStatus(nvapi::GPU_GetPerfClocks, -5);
    ApplyOverclockPage();
    ASSERT_TRUE(PumpUntilNotified());
    ASSERT_EQ(CountShown(app::Text(app::msg::kApplyFailed)), 1);
    EXPECT_EQ(prompts.shown.back().icon, ui::BoxIcon::Error);
    EXPECT_EQ(prompts.shown.back().caption, app::Text(app::msg::kAppName));
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainGraphics), 0);
    EXPECT_EQ(Pstate0Delta(1, nvapi::kClockDomainGraphics), 0);
}

TEST_F(ApplyClocksWorkerTest, QuestionsAndResultReachTheInterfaceThreadAndOneWorkerRunsAtATime) {
    StartDialog(RigOf({PascalGpu()}));
    ApplyOverclockPage();
    EXPECT_TRUE(dlg().workerRunning());
    EXPECT_FALSE(dlg().buttons.apply.IsEnabled());
    dlg().ApplySettings();  // a second press while the first runs is ignored
    ASSERT_TRUE(PumpUntilNotified());

    EXPECT_EQ(CountShown("The changes may cause system unsteadily"), 1);
    for (const auto& box : prompts.shown) EXPECT_EQ(box.thread, std::this_thread::get_id()) << box.text;
    EXPECT_TRUE(dlg().buttons.apply.IsEnabled());
}

TEST_F(ApplyClocksWorkerTest, DestroyingTheDialogWhileAQuestionWaitsDoesNotHang) {
    StartDialog(RigOf({PascalGpu()}));
    ApplyOverclockPage();
    dialog.reset();  // the question is never answered by a user
    loop.RunPending();  // what the worker left behind finds no dialog
    EXPECT_EQ(CountShown("The changes may cause system unsteadily"), 0);
    EXPECT_EQ(CountShown(app::Text(app::msg::kSettingsApplied)), 0);
    EXPECT_EQ(VfOffset(0, 0), 0);  // the unanswered question counts as Cancel
}

}  // namespace
}  // namespace vx::tuningtest
