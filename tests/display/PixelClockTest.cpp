// The pixel-clock dialog against the simulated driver: labels, the tried timing as it reaches
// the driver, and every way the trial ends (YES, NO, the countdown, closing, a killed program).
#include "display/CPixelClockDlg.h"
#include "display/DisplayFixture.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>

#include <filesystem>

namespace vx::displaytest {
namespace {

using display::CPixelClockDlg;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class PixelClock : public DisplayRig {
protected:
    std::unique_ptr<CPixelClockDlg> Open(std::vector<sim::DisplayModel> displays) {
        Start(std::move(displays));
        auto dlg = std::make_unique<CPixelClockDlg>(*binding, loop, display::TrialMarker(marker), [this](const std::string& t) {
            traces.push_back(t);
        });
        dlg->OnInitDialog();
        simulator->ClearCalls();
        return dlg;
    }
    /// Moves the slider to 178.2 MHz and presses "Apply".
    void TryRaised(CPixelClockDlg& dlg) {
        dlg.OnSliderMoved(1782);
        dlg.OnApply();
        ASSERT_NE(dlg.confirmation(), nullptr);
        ASSERT_TRUE(dlg.confirmation()->isOpen());
    }

    test::TempDir dir;
    std::filesystem::path marker = dir.path() / "pixel-clock-trial";
};

TEST_F(PixelClock, OpeningShowsTheClockRoundedToATenthOfAMegahertz) {
    struct Case {
        uint32_t clock10kHz;
        const char* label;
        int32_t slider;
    };
    for (const Case& c : {Case{14850, "Pixel Clock 148.5 MHz", 1485}, Case{14856, "Pixel Clock 148.6 MHz", 1486},
                          Case{14844, "Pixel Clock 148.4 MHz", 1484}, Case{59400, "Pixel Clock 594.0 MHz", 5600}}) {
        auto dlg = Open({Monitor(kMonitorId, c.clock10kHz)});
        EXPECT_EQ(dlg->pixelClockLabel().text, c.label);
        EXPECT_EQ(dlg->slider().GetPos(), c.slider) << "clamped to 500..5600";
        EXPECT_EQ(dlg->refreshLabel().text, "Refresh Rate 60 Hz");
        EXPECT_THAT(dlg->monitors().items, ElementsAre("monitor 0"));
    }
}

TEST_F(PixelClock, ApplyTriesTheSlidersClockAtTheRefreshItGives) {
    auto dlg = Open({Monitor()});
    // 148.5 MHz at 60 Hz: 24.75 tenths of a megahertz per hertz.
    EXPECT_FLOAT_EQ(dlg->rows()[0].clockPerHertz, 24.75f);
    dlg->OnSliderMoved(1782);
    EXPECT_EQ(dlg->pixelClockLabel().text, "Pixel Clock 178.2 MHz");
    EXPECT_EQ(dlg->refreshLabel().text, "Refresh Rate 72.00 Hz");
    dlg->OnApply();
    EXPECT_THAT(CallsTo(nvapi::DISP_GetTiming)[0].args, ElementsAre(kMonitorId, nvapi::kTimingInputVer, 1920, 1080, 72));
    auto tries = CallsTo(nvapi::DISP_TryCustomDisplay);
    ASSERT_EQ(tries.size(), 1u);
    EXPECT_THAT(tries[0].args, ElementsAre(nvapi::kCustomDisplayVer, kMonitorId, 17820, 72));
    EXPECT_THAT(traces, Contains("\nNumber of Displays in the system =  1"));
    EXPECT_THAT(traces, Contains("1920 X 1080 @ 72.00 hz"));
    EXPECT_EQ(DisplayNow().pixelClock10kHz, 17820u) << "the trial runs while the question is open";
}

TEST_F(PixelClock, CountdownShowsTenToOneThenReverts) {
    auto dlg = Open({Monitor()});
    TryRaised(*dlg);
    std::vector<std::string> shown, expected;
    for (int second = 0; second < 10; ++second) {
        EXPECT_TRUE(CallsTo(nvapi::DISP_RevertCustomDisplayTrial).empty()) << "still counting";
        loop.RunFor(1000);
        shown.push_back(dlg->confirmation()->countdown().text);
        expected.push_back("Cancel after " + std::to_string(10 - second) + " seconds.");
    }
    EXPECT_EQ(shown, expected);
    EXPECT_FALSE(dlg->confirmation()->isOpen());
    EXPECT_FALSE(loop.HasTimer(display::pixelmessage::kTimerId));
    EXPECT_EQ(CallsTo(nvapi::DISP_RevertCustomDisplayTrial).size(), 1u);
    EXPECT_TRUE(CallsTo(nvapi::DISP_SaveCustomDisplay).empty());
    EXPECT_EQ(DisplayNow().pixelClock10kHz, 14850u);
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(PixelClock, YesSavesOutputAndMonitorOnly) {
    auto dlg = Open({Monitor()});
    TryRaised(*dlg);
    EXPECT_TRUE(std::filesystem::exists(marker)) << "a killed program must find what to revert";
    dlg->confirmation()->OnYes();
    auto saves = CallsTo(nvapi::DISP_SaveCustomDisplay);
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_THAT(saves[0].args, ElementsAre(kMonitorId, 1, 1));
    EXPECT_TRUE(CallsTo(nvapi::DISP_RevertCustomDisplayTrial).empty());
    EXPECT_EQ(DisplayNow().pixelClock10kHz, 17820u);
    EXPECT_EQ(DisplayNow().refreshHz, 72u);
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(PixelClock, EveryUnansweredEndRevertsTheTrial) {
    enum class End { No, CloseDialog, DestroyController };
    for (End end : {End::No, End::CloseDialog, End::DestroyController}) {
        auto dlg = Open({Monitor()});
        TryRaised(*dlg);
        if (end == End::No) dlg->confirmation()->OnNo();
        if (end == End::CloseDialog) dlg->OnClose();
        if (end == End::DestroyController) dlg.reset();
        EXPECT_EQ(CallsTo(nvapi::DISP_RevertCustomDisplayTrial).size(), 1u) << int(end);
        EXPECT_TRUE(CallsTo(nvapi::DISP_SaveCustomDisplay).empty()) << int(end);
        EXPECT_EQ(DisplayNow().pixelClock10kHz, 14850u) << int(end);
        EXPECT_FALSE(std::filesystem::exists(marker)) << int(end);
    }
}

TEST_F(PixelClock, ATrialLeftByAKilledProgramIsRevertedAtTheNextStart) {
    Start({Monitor()});
    driver::DisplayEntries entries(*binding);
    uint32_t id = kMonitorId;
    nvapi::CustomDisplay custom{};
    custom.version = nvapi::kCustomDisplayVer;
    custom.timing.pclk = 17820;
    custom.timing.rr = 72;
    display::TrialMarker left(marker);
    ASSERT_TRUE(left.Set(id));
    ASSERT_EQ(entries.DispTryCustomDisplay(&id, 1, &custom), 0);

    EXPECT_EQ(display::TrialMarker(marker).RevertLeftover(entries, [this](const std::string& t) { traces.push_back(t); }), 0);
    EXPECT_EQ(DisplayNow().pixelClock10kHz, 14850u);
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_THAT(traces, Contains(HasSubstr("0x80061001")));
    EXPECT_EQ(display::TrialMarker(marker).RevertLeftover(entries, {}), 0) << "nothing left the second time";
    EXPECT_EQ(CallsTo(nvapi::DISP_RevertCustomDisplayTrial).size(), 1u);
}

TEST_F(PixelClock, DriverFailuresAreTracedAndLeaveTheDisplayAsItWas) {
    struct Case {
        uint32_t entry;
        const char* trace;
    };
    for (const Case& c : {Case{nvapi::GPU_GetConnectedDisplayIds, "\nCall to GetConnectedDisplays() failed"},
                          Case{nvapi::DISP_GetTiming, "NvAPI_DISP_GetTiming() failed = -1\n"},
                          Case{nvapi::DISP_TryCustomDisplay, "NvAPI_DISP_TryCustomDisplay() failed = -1"}}) {
        traces.clear();
        auto dlg = Open({Monitor()});
        simulator->ForceStatus(c.entry, nvapi::ERROR);
        dlg->OnSliderMoved(1782);
        dlg->OnApply();
        EXPECT_THAT(traces, Contains(c.trace));
        EXPECT_EQ(dlg->confirmation(), nullptr);
        EXPECT_EQ(DisplayNow().pixelClock10kHz, 14850u);
        EXPECT_FALSE(std::filesystem::exists(marker));
    }
}

TEST_F(PixelClock, AFailedSaveIsTraced) {
    auto dlg = Open({Monitor()});
    simulator->ForceStatus(nvapi::DISP_SaveCustomDisplay, nvapi::ERROR);
    TryRaised(*dlg);
    dlg->confirmation()->OnYes();
    EXPECT_THAT(traces, Contains("NvAPI_DISP_SaveCustomDisplay() failed = -1"));
    EXPECT_FALSE(std::filesystem::exists(marker));
}

}  // namespace
}  // namespace vx::displaytest
