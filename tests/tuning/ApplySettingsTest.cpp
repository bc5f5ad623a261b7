// "APPLY" on each page, and the handler of the worker's notification.
#include <gtest/gtest.h>

#include "tuning/ApplyFixture.h"

namespace vx::tuningtest {
namespace {

using ui::BoxAnswer;
using tuning::kApplyNotificationCode;

class ApplySettingsTest : public ApplyFixture {};

TEST_F(ApplySettingsTest, GpuWithoutAControllableFanGetsNoCoolerWrite) {
    sim::GpuModel fanless = KeplerGpu();
    fanless.cooler.units.clear();
    StartDialog(RigOf({KeplerGpu(), fanless}));
    ASSERT_EQ(gpus->fanAccessKind(1), kFanNotControllable);
    dlg().SetSyncAll(true);
    if (!dlg().buttons.fanMode.Shows(tuning::image::kFanManual)) dlg().ToggleFanMode();
    dlg().sliders.fanSpeed.SetPos(70);
    ClearCalls();
    ApplyOverclockPage();
    ASSERT_TRUE(PumpUntilNotified());
    EXPECT_EQ(GpuCallsTo(nvapi::GPU_SetCoolerLevels, 0), 1u);
    EXPECT_EQ(GpuCallsTo(nvapi::GPU_SetCoolerLevels, 1), 0u);
    EXPECT_EQ(GpuCallsTo(nvapi::GPU_RestoreCoolerSettings, 1), 0u);
    EXPECT_EQ(CoolerPolicy(0), sim::kCoolerPolicyManual);
}

TEST_F(ApplySettingsTest, OneClickBoostsTakeFiveOrThreePercentOfTheBoostClock) {
    sim::GpuModel kepler = KeplerGpu();
    kepler.telemetry.boostClockKhz = 1000000;
    sim::GpuModel pascal = PascalGpu();
    pascal.telemetry.boostClockKhz = 1000000;
    StartDialog(RigOf({kepler, pascal}));
    dlg().SetSyncAll(true);
    dlg().ShowPage(tuning::kPageOneClick);

    dlg().SelectOneClickMode(tuning::kOneClickBoost5);
    dlg().ApplySettings();
    EXPECT_EQ(CountShown("Huaping crash"), 1);
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainGraphics), 50000);
    EXPECT_EQ(VfOffset(1, 0), 50000);
    EXPECT_EQ(VfOffset(1, 3), 50000);
    EXPECT_EQ(dlg().sliders.gpuClockOffset.GetPos(), 50);

    dlg().SelectOneClickMode(tuning::kOneClickBoost3);
    dlg().ApplySettings();
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainGraphics), 30000);
    EXPECT_EQ(VfOffset(1, 3), 30000);

    // Back to stock: offsets 0, power 80 %, fan 30 %.
    dlg().SelectOneClickMode(tuning::kOneClickStock);
    dlg().ApplySettings();
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainGraphics), 0);
    EXPECT_EQ(VfOffset(1, 3), 0);
    EXPECT_EQ(PowerLimitMilli(0), 80000u);
    EXPECT_EQ(dlg().sliders.powerTarget.GetPos(), 80);
    EXPECT_EQ(dlg().sliders.fanSpeed.GetPos(), 30);

    // Cancel on the warning writes nothing.
    prompts.answers = {BoxAnswer::Cancel};
    dlg().SelectOneClickMode(tuning::kOneClickBoost5);
    dlg().ApplySettings();
    EXPECT_EQ(Pstate0Delta(0, nvapi::kClockDomainGraphics), 0);
}

TEST_F(ApplySettingsTest, OneClickRefusesBoardsWithoutOffsets) {
    StartDialog(test::RigBuilder().Gpu(kFermiId).Build());
    dlg().ShowPage(tuning::kPageOneClick);
    dlg().SelectOneClickMode(tuning::kOneClickBoost5);
    ClearCalls();
    dlg().ApplySettings();
    EXPECT_EQ(CountShown("1-Click OC is supports only Kepler series cards."), 1);
    EXPECT_TRUE(CallsTo(nvapi::GPU_SetPstates20).empty());
}

TEST_F(ApplySettingsTest, FactoryBoostAsksBeforeTheFactoryOffsetAndCancelWritesNothing) {
    sim::GpuModel pascal = PascalGpu();
    pascal.subsystemId = 0xA0131462;  // a board with the factory boost
    StartDialog(RigOf({pascal}));
    ASSERT_TRUE(gpus->boardA013(0));
    dlg().ShowPage(tuning::kPageFactoryBoost);
    dlg().buttons.factoryBoost.SetImage(tuning::image::kFactoryBoostOn);
    prompts.answers = {BoxAnswer::Cancel};
    dlg().ApplySettings();
    EXPECT_EQ(CountShown("Enables 1-Click Hyper Boost OC"), 1);
    EXPECT_EQ(VfOffset(0, 0), 0);

    dlg().ApplySettings();
    EXPECT_EQ(VfOffset(0, 0), 152000);
    EXPECT_EQ(VfOffset(0, 4), 0);  // memory points keep theirs

    dlg().buttons.factoryBoost.SetImage(tuning::image::kFactoryBoostOff);
    dlg().ApplySettings();
    EXPECT_EQ(VfOffset(0, 0), 0);
    EXPECT_EQ(CountShown("Enables 1-Click Hyper Boost OC"), 2);
}

TEST_F(ApplySettingsTest, GpuVoltageShowsOnlyOnThePageWhoseApplyWritesIt) {
    using tuning::kPageOverclock;
    using tuning::kPageRegulators;
    const struct {
        const char* board;
        sim::Rig rig;
        int32_t page;  // -1: no page writes it
        uint8_t port, address, reg;
        int32_t code;
    } cases[] = {
        {"slot 3", VoltageDeviceRig(0x0CA3, sim::I2cDeviceKind::VoltageController, 2, 0x60), kPageRegulators, 2, 0x60,
         0x01, 7},
        {"slot 7", VoltageDeviceRig(0x0E22, sim::I2cDeviceKind::StepVoltageController, 0, 0xE0), kPageRegulators, 0,
         0xE0, 0x18, 20},
        {"P-state 2.0 (the clock worker writes it)", Pstates20Rig(), kPageOverclock, 0, 0, 0, 0},
        {"no voltage path", test::RigBuilder().Gpu(kFermiId).Build(), -1, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        StartDialog(c.rig);
        for (const int32_t page : {kPageOverclock, kPageRegulators}) {
            dlg().ShowPage(page);
            EXPECT_EQ(dlg().OnActivePage(dlg().sliders.gpuVoltage.id()), page == c.page) << c.board << ", " << page;
        }
        if (c.address == 0) continue;
        dlg().sliders.gpuVoltage.SetPos(c.code);
        dlg().ShowPage(c.page);
        dlg().ApplySettings();
        EXPECT_EQ(simulator->PeekI2cRegister(0, c.port, c.address, c.reg).value_or(0xFF), c.code) << c.board;
    }
}

TEST_F(ApplySettingsTest, RegulatorPageOverVoltagePercentCancelEndsTheApply) {
    StartDialog(RigOf({PascalGpu()}));
    dlg().ShowPage(tuning::kPageRegulators);
    dlg().sliders.overVoltPercent.SetPos(40);
    prompts.answers = {BoxAnswer::Cancel};
    ClearCalls();
    const std::size_t before = prompts.shown.size();
    dlg().ApplySettings();
    ASSERT_EQ(prompts.shown.size(), before + 1);  // nothing further was asked
    EXPECT_EQ(prompts.shown.back().caption, "Warning");
    EXPECT_TRUE(CallsTo(nvapi::GPU_SetOverVoltPercent).empty());

    dlg().ApplySettings();  // OK: the percent is written, and it stands for the voltage question
    EXPECT_EQ(CallsTo(nvapi::GPU_SetOverVoltPercent).size(), 1u);
    EXPECT_EQ(CountShown(app::Text(app::msg::kVoltageWarning)), 0);
}

TEST_F(ApplySettingsTest, LightingAndMonitorPagesUseTheirHooks) {
    int lighting = 0, monitor = 0;
    hooks.applyLighting = [&] { ++lighting; };
    hooks.refreshMonitorPanel = [&] { ++monitor; };
    StartDialog(RigOf({KeplerGpu()}));
    dlg().ShowPage(tuning::kPageLighting);
    dlg().ApplySettings();
    dlg().ShowPage(tuning::kPageMonitor);
    dlg().ApplySettings();
    EXPECT_EQ(lighting, 1);
    EXPECT_EQ(monitor, 1);
    ASSERT_EQ(CountShown("Set ZRK Successful!"), 1);
    EXPECT_EQ(prompts.shown.back().icon, ui::BoxIcon::Information);
    EXPECT_FALSE(dlg().workerRunning());
}

TEST_F(ApplySettingsTest, NotificationHandlerFollowsTheResultAndTheRemoteState) {
    int pushes = 0;
    bool authorised = false;
    std::vector<bool> remoteResults;  // 15 or 16 for the phone
    hooks.pushStateToPhone = [&] { ++pushes; };
    hooks.phoneClientAuthorised = [&] { return authorised; };
    hooks.remoteApplyFinished = [&](bool applied) { remoteResults.push_back(applied); };
    StartDialog(RigOf({KeplerGpu()}));
    prompts.shown.clear();

    dlg().OnCommand(0x12340000u, 0);  // not the worker's
    dlg().OnCommand(kApplyNotificationCode | tuning::kApplied, 0);
    authorised = true;
    dlg().OnCommand(kApplyNotificationCode | tuning::kApplied, 0);
    EXPECT_EQ(CountShown(app::Text(app::msg::kSettingsApplied)), 2);
    EXPECT_EQ(pushes, 1);
    dlg().OnCommand(kApplyNotificationCode | tuning::kApplyCanceled, 0);
    dlg().OnCommand(kApplyNotificationCode | tuning::kApplyFailed, 0);
    EXPECT_EQ(prompts.shown.back().text, app::Text(app::msg::kApplyFailed));
    EXPECT_EQ(prompts.shown.size(), 4u);

    // A remote apply that failed puts the four sliders back and shows nothing.
    dlg().savedSliderPositions = {dlg().sliders.coreClock.GetPos(), dlg().sliders.shaderClock.GetPos(),
                                  dlg().sliders.memoryClock.GetPos(), 40};
    dlg().sliders.fanSpeed.SetPos(90);
    dlg().remoteApplyPending = true;
    dlg().remoteApplyRunning = true;
    dlg().OnCommand(kApplyNotificationCode | tuning::kApplyFailed, -1);
    EXPECT_EQ(dlg().sliders.fanSpeed.GetPos(), 40);
    EXPECT_FALSE(dlg().remoteApplyPending);
    EXPECT_FALSE(dlg().remoteApplyRunning);
    EXPECT_EQ(pushes, 1);
    EXPECT_EQ(remoteResults, std::vector<bool>{false});
    EXPECT_EQ(prompts.shown.size(), 4u);

    // A cancelled remote apply shows its box and frees the next remote apply.
    dlg().remoteApplyPending = true;
    dlg().remoteApplyRunning = true;
    dlg().OnCommand(kApplyNotificationCode | tuning::kApplyCanceled, -1);
    EXPECT_EQ(CountShown(app::Text(app::msg::kApplyCanceled)), 2);
    EXPECT_FALSE(dlg().remoteApplyRunning);

    dlg().remoteApplyPending = true;
    dlg().remoteApplyRunning = true;
    dlg().OnCommand(kApplyNotificationCode | tuning::kApplied, -1);
    EXPECT_FALSE(dlg().remoteApplyPending);
    EXPECT_FALSE(dlg().remoteApplyRunning);
    EXPECT_EQ(pushes, 1);  // "PCInfo.xml" follows local applies only
    EXPECT_EQ(remoteResults, (std::vector<bool>{false, true}));
    EXPECT_EQ(prompts.shown.size(), 5u);
}

}  // namespace
}  // namespace vx::tuningtest
