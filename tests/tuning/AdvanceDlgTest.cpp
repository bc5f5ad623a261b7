// The advanced control dialog over simulated rigs: ranges from the GPU the main window shows,
// writes and readings on GPU 0, the voltage step, Reset, widen/narrow and the readings timer.
// (A second open request is covered with the window, in tests/qt/AdvanceWindowTest.cpp.)
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "tuning/ApplyFixture.h"
#include "tuning/CAdvanceDlg.h"

namespace vx::tuningtest {
namespace {

using tuning::CAdvanceDlg;
namespace advance = tuning::advance;

class AdvanceDlgTest : public ApplyFixture {
protected:
    ~AdvanceDlgTest() override { advanced.reset(); }

    /// GPU 0 a stock P-state 2.0 board; GPU 1 one whose ranges and readings differ from it
    /// everywhere, so a value taken from the wrong GPU shows.
    static sim::Rig TwoBoards() {
        sim::GpuModel first = KeplerGpu();
        sim::GpuModel second = KeplerGpu();
        sim::Pstate20ClockConfig& graphics = second.clocks.pstates[0].clocks[0];
        graphics.deltaKhz = 60000;
        graphics.deltaMinKhz = -300000;
        graphics.deltaMaxKhz = 300000;
        second.clocks.pstates[0].clocks[1].deltaKhz = -25000;
        sim::Pstate20VoltageConfig& voltage = second.clocks.pstates[0].baseVoltages[0];
        voltage.deltaMinUv = -50000;
        voltage.deltaMaxUv = 80000;  // not a whole number of steps
        second.power.powerPolicies[0].minMilliPercent = 60000;
        second.power.powerPolicies[0].defaultMilliPercent = 110000;
        second.power.powerPolicies[0].maxMilliPercent = 130000;
        second.telemetry.baseClockKhz = 900000;
        second.telemetry.boostClockKhz = 950000;
        return RigOf({first, second});
    }

    /// Opens the dialog as the first request does, with GPU `shown` in the main window.
    void Open(sim::Rig rig, int shown = 0) {
        StartDialog(std::move(rig));
        if (shown != 0) dlg().SelectGpu(shown);
        tuning::AdvanceDialogHooks hooks;
        hooks.showWindow = [this] { ++shows; };
        hooks.modelChanged = [this] { ++renders; };
        advanced = std::make_unique<CAdvanceDlg>(dlg(), loop, std::move(hooks));
        advanced->OnOpenRequest();
        ClearCalls();
    }
    CAdvanceDlg& adv() { return *advanced; }
    tuning::AdvanceControls& c() { return advanced->controls; }
    void Move(ui::CCVSlider& slider, int32_t position) { adv().OnSliderMoved(slider, position); }
    int32_t CoreVoltageDeltaUv(std::size_t gpu) {
        std::lock_guard guard(simulator->mutex());
        return rig().gpus[gpu].clocks.pstates[0].baseVoltages[0].deltaUv;
    }

    std::unique_ptr<CAdvanceDlg> advanced;
    int shows = 0;
    int renders = 0;
};

TEST_F(AdvanceDlgTest, OpeningTakesTheRangesOfTheGpuTheMainWindowShows) {
    Open(TwoBoards(), 1);
    EXPECT_EQ(c().powerTarget.GetRangeMin(), 60000);
    EXPECT_EQ(c().powerTarget.GetRangeMax(), 130000);
    EXPECT_EQ(c().powerRange.text, "(Min:60000---Max:130000---Default:110000)");
    EXPECT_EQ(adv().defaultPowerTarget(), 110000);

    // The clock trackbars keep their fixed range; the labels show the driver's own.
    EXPECT_EQ(c().graphicsOffset.GetRangeMin(), -200000);
    EXPECT_EQ(c().graphicsOffset.GetRangeMax(), 200000);
    EXPECT_EQ(c().graphicsRange.text, "(Min:-300000---Max:300000---Default:60000)");
    EXPECT_EQ(c().graphicsValue.text, "60000");
    EXPECT_EQ(c().graphicsOffset.GetPos(), 60000);
    EXPECT_EQ(c().memoryValue.text, "-25000");
    EXPECT_EQ(c().memoryOffset.GetPos(), -25000);
    EXPECT_EQ(adv().openedMemoryOffsetKhz(), -25000);

    // 80000 µV is 6.4 steps: the trackbar stops at 6, the label keeps the µV.
    EXPECT_EQ(c().voltageOffset.GetRangeMin(), -4);
    EXPECT_EQ(c().voltageOffset.GetRangeMax(), 6);
    EXPECT_EQ(c().voltageRange.text, "(Min:-50000---Max:80000)");

    EXPECT_EQ(c().clockView.items, (std::vector<std::string>{"Current Clock", "Base Clock", "Boost Clock"}));
    EXPECT_EQ(c().clockView.selection, 0);
    EXPECT_FALSE(adv().wide());
    EXPECT_EQ(adv().windowWidth(), 320);
    EXPECT_EQ(c().widen.text, ">>>");
    EXPECT_TRUE(loop.HasTimer(advance::kReadingsTimerId));
    EXPECT_EQ(shows, 1);
}

TEST_F(AdvanceDlgTest, VoltageTrackbarMovesInStepsOf12500Microvolts) {
    Open(TwoBoards());
    Move(c().voltageOffset, 4);
    EXPECT_EQ(c().voltageValue.text, "50000");
    adv().OnApplyVoltageOffset();
    EXPECT_EQ(CoreVoltageDeltaUv(0), 50000);
    ASSERT_EQ(CallsTo(nvapi::GPU_SetPstates20).size(), 1u);

    Move(c().voltageOffset, 100);  // past the end: held at the last whole step
    EXPECT_EQ(c().voltageOffset.GetPos(), 8);
    EXPECT_EQ(c().voltageValue.text, "100000");
    Move(c().voltageOffset, -3);
    adv().OnApplyVoltageOffset();
    EXPECT_EQ(CoreVoltageDeltaUv(0), -37500);
}

TEST_F(AdvanceDlgTest, EachApplyWritesWhatItsTrackbarShowsToGpu0Only) {
    Open(TwoBoards(), 1);
    Move(c().powerTarget, 115000);
    Move(c().graphicsOffset, 150000);
    Move(c().memoryOffset, -100000);
    EXPECT_EQ(c().powerValue.text, "115000");
    EXPECT_EQ(c().graphicsValue.text, "150000");
    EXPECT_EQ(c().memoryValue.text, "-100000");

    adv().OnApplyPower();
    EXPECT_EQ(PowerLimitMilli(0), 115000u);
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainGraphics), 0) << "one button, one write";
    adv().OnApplyGraphicsOffset();
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainGraphics), 150000);
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainMemory), 0);
    adv().OnApplyMemoryOffset();
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainMemory), -100000);

    // The GPU on screen kept everything.
    EXPECT_EQ(PowerLimitMilli(1), 110000u);
    EXPECT_EQ(Pstate0Delta(1, nvapi::kClockDomainGraphics), 60000);
    EXPECT_EQ(Pstate0Delta(1, nvapi::kClockDomainMemory), -25000);
    EXPECT_EQ(GpuCallsTo(nvapi::GPU_SetPstates20, 1), 0u);
    EXPECT_EQ(GpuCallsTo(nvapi::GPU_PowerPoliciesSetStatus, 1), 0u);
}

TEST_F(AdvanceDlgTest, ResetPutsTrackbarsAndGpu0BackToStock) {
    Open(TwoBoards());
    Move(c().powerTarget, 70000);
    Move(c().graphicsOffset, 120000);
    Move(c().memoryOffset, 90000);
    Move(c().voltageOffset, 2);
    adv().OnApplyPower();
    adv().OnApplyGraphicsOffset();
    adv().OnApplyMemoryOffset();
    adv().OnApplyVoltageOffset();
    ASSERT_EQ(PowerLimitMilli(0), 70000u);

    adv().OnReset();
    EXPECT_EQ(c().powerTarget.GetPos(), 100000);
    EXPECT_EQ(c().graphicsOffset.GetPos(), 0);
    EXPECT_EQ(c().memoryOffset.GetPos(), 0);
    EXPECT_EQ(c().voltageOffset.GetPos(), 0);
    EXPECT_EQ(c().powerValue.text, "100000");
    EXPECT_EQ(c().graphicsValue.text, "0");
    EXPECT_EQ(c().memoryValue.text, "0");
    EXPECT_EQ(c().voltageValue.text, "0");
    EXPECT_EQ(PowerLimitMilli(0), 100000u);
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainGraphics), 0);
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainMemory), 0);
    EXPECT_EQ(CoreVoltageDeltaUv(0), 0);
}

TEST_F(AdvanceDlgTest, WithoutPowerPoliciesThePowerControlsStayOffAndResetWritesNoTarget) {
    sim::Rig rig = TwoBoards();
    rig.gpus[0].power.powerSupported = false;
    Open(std::move(rig));
    EXPECT_FALSE(c().powerTarget.IsEnabled());
    EXPECT_FALSE(c().applyPower.enabled);
    EXPECT_TRUE(c().powerRange.text.empty());

    adv().OnApplyPower();
    Move(c().graphicsOffset, 30000);
    adv().OnApplyGraphicsOffset();
    adv().OnReset();
    EXPECT_TRUE(CallsTo(nvapi::GPU_PowerPoliciesSetStatus).empty()) << "no 0 % power target";
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainGraphics), 0) << "the offsets are still reset";
}

TEST_F(AdvanceDlgTest, WideningShowsTheTrackbarsAtTheLastReadingAndTheOpeningOffsets) {
    Open(TwoBoards(), 1);
    Move(c().powerTarget, 65000);
    Move(c().graphicsOffset, -150000);
    Move(c().memoryOffset, 170000);

    // Before any reading the power trackbar stays where the user put it.
    adv().OnWidenOrNarrow();
    EXPECT_TRUE(adv().wide());
    EXPECT_EQ(adv().windowWidth(), 760);
    EXPECT_EQ(c().widen.text, "<<<");
    EXPECT_EQ(c().powerTarget.GetPos(), 65000);
    EXPECT_EQ(c().graphicsOffset.GetPos(), 60000);
    EXPECT_EQ(c().memoryOffset.GetPos(), -25000);

    adv().OnWidenOrNarrow();
    EXPECT_EQ(c().widen.text, ">>>");
    EXPECT_EQ(adv().windowWidth(), 320);

    // GPU 0 runs at 120 %; the reading comes from GPU 0, not the GPU on screen.
    Move(c().powerTarget, 120000);
    adv().OnApplyPower();
    Move(c().powerTarget, 70000);
    loop.RunFor(advance::kReadingsIntervalMs);
    EXPECT_EQ(adv().lastPowerTargetReading(), 120000);
    adv().OnWidenOrNarrow();
    EXPECT_EQ(c().powerValue.text, "120000");
    EXPECT_EQ(c().powerTarget.GetPos(), 120000);
}

TEST_F(AdvanceDlgTest, ReadingsComeFromGpu0WithTheChosenClockType) {
    Open(TwoBoards(), 1);
    loop.RunFor(advance::kReadingsIntervalMs - 1);
    EXPECT_TRUE(CallsTo(nvapi::GPU_GetAllClockFrequencies).empty()) << "the first reading is due after 1100 ms";
    loop.RunFor(1);
    const auto reads = CallsTo(nvapi::GPU_GetAllClockFrequencies);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].gpu, 0);
    ASSERT_FALSE(reads[0].args.empty());
    EXPECT_EQ(reads[0].args.back(), nvapi::kClockCurrent);
    EXPECT_GT(renders, 0);
    EXPECT_EQ(c().pstateReading.text.substr(0, 1), "P");
    EXPECT_EQ(c().powerTargetReading.text, "100000");
    EXPECT_NE(c().temperatureReading.text.find(" C"), std::string::npos);
    EXPECT_FALSE(c().powerReading.text.empty());
    EXPECT_FALSE(c().voltageReading.text.empty());

    adv().OnClockViewChanged(1);
    loop.RunFor(advance::kReadingsIntervalMs);
    EXPECT_EQ(c().graphicsClock.text, "1000MHz") << "GPU 0's base clock, not GPU 1's 900";
    EXPECT_EQ(c().memoryClock.text, "3000MHz");
    EXPECT_EQ(c().processorClock.text, "") << "this board has no processor domain";
    adv().OnClockViewChanged(2);
    loop.RunFor(advance::kReadingsIntervalMs);
    EXPECT_EQ(c().graphicsClock.text, "1100MHz");
    for (const auto& call : CallsTo(nvapi::GPU_GetCurrentPstate)) EXPECT_EQ(call.gpu, 0);
    for (const auto& call : CallsTo(nvapi::GPU_PowerPoliciesGetStatus)) EXPECT_EQ(call.gpu, 0);
}

TEST_F(AdvanceDlgTest, ReadingIsSkippedWhileTheApplyWorkerHoldsTheHardware) {
    Open(TwoBoards());
    std::promise<void> held, release;
    std::thread worker([&] {
        auto lock = dlg().LockHardware();
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    loop.RunFor(advance::kReadingsIntervalMs);
    EXPECT_TRUE(CallsTo(nvapi::GPU_GetAllClockFrequencies).empty());
    EXPECT_EQ(renders, 0);
    release.set_value();
    worker.join();
    loop.RunFor(advance::kReadingsIntervalMs);
    EXPECT_EQ(CallsTo(nvapi::GPU_GetAllClockFrequencies).size(), 1u);
}

TEST_F(AdvanceDlgTest, ClosingTheDialogStopsTheReadings) {
    Open(TwoBoards());
    advanced.reset();
    EXPECT_FALSE(loop.HasTimer(advance::kReadingsTimerId));
    loop.RunFor(advance::kReadingsIntervalMs * 2);
    EXPECT_TRUE(CallsTo(nvapi::GPU_GetAllClockFrequencies).empty());
}

}  // namespace
}  // namespace vx::tuningtest
