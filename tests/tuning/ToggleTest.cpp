// The dialog's two-state buttons, pages and window states: what each writes at once, what it
// asks, and what it leaves for "APPLY".
#include "tuning/TuningFixture.h"

namespace vx::tuningtest {
namespace {

namespace image = tuning::image;

constexpr const char* kOverVoltageQuestion =
    "Overvoltage will increase the maximum voltage available beyond stock level. Excessive voltage applied may "
    "shorten the lifespan of your graphics card and may even cause permanent damage to your graphics card.\n\n"
    "Do you wish to proceed?";

class ToggleTest : public TuningFixture {};

TEST_F(ToggleTest, OverVoltageAsksBeforeOnAndWritesZeroWhenOff) {
    StartDialog(Pstates20Rig());
    auto& button = dlg().buttons.overVoltage;
    ASSERT_TRUE(button.Shows(image::kOverVoltageOff));

    prompts.answers = {ui::BoxAnswer::Cancel};
    dlg().ToggleOverVoltage();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, kOverVoltageQuestion);
    EXPECT_EQ(prompts.shown[0].caption, "Warning");
    EXPECT_EQ(prompts.shown[0].icon, ui::BoxIcon::Warning);
    EXPECT_EQ(prompts.shown[0].buttons, ui::BoxButtons::OkCancel);
    EXPECT_TRUE(button.Shows(image::kOverVoltageOff));
    EXPECT_FALSE(dlg().sliders.overVoltage.IsEnabled());

    prompts.answers = {ui::BoxAnswer::Ok};
    dlg().ToggleOverVoltage();
    EXPECT_TRUE(button.Shows(image::kOverVoltageOn));
    EXPECT_TRUE(dlg().sliders.overVoltage.IsEnabled());

    // Off: the delta goes to 0 at once, without a question.
    ASSERT_EQ(gpus->SetOverVoltage(0, 50000), 0);
    ASSERT_EQ(rig().gpus[0].clocks.overVoltages[0].deltaUv, 50000);
    dlg().sliders.overVoltage.SetPos(50);
    dlg().ToggleOverVoltage();
    EXPECT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(rig().gpus[0].clocks.overVoltages[0].deltaUv, 0);
    EXPECT_TRUE(button.Shows(image::kOverVoltageOff));
    EXPECT_EQ(dlg().sliders.overVoltage.GetPos(), 0);
    EXPECT_FALSE(dlg().sliders.overVoltage.IsEnabled());
}

TEST_F(ToggleTest, FrameRateOffDisablesTheLimiterAtOnce) {
    StartDialog(Pstates20Rig());
    // A limit written the way "APPLY" writes the slider shows at the next selection.
    ASSERT_EQ(gpus->SetFrameRateLimit(60, false), 0);
    dlg().SelectGpu(0, false);
    EXPECT_EQ(dlg().sliders.frameRateTarget.GetPos(), 60);
    EXPECT_FALSE(dlg().sliders.frameRateTarget.IsEnabled());

    dlg().ToggleFrameRate();
    EXPECT_TRUE(dlg().buttons.frameRate.Shows(image::kFrameRateOn));
    EXPECT_TRUE(dlg().sliders.frameRateTarget.IsEnabled());
    uint32_t stored = 1;
    ASSERT_EQ(gpus->GetFrameRateLimit(stored), 0);
    EXPECT_NE(stored, 0u);  // switching on writes nothing

    dlg().ToggleFrameRate();
    ASSERT_EQ(gpus->GetFrameRateLimit(stored), 0);
    EXPECT_EQ(stored, 0u);
    EXPECT_TRUE(dlg().buttons.frameRate.Shows(image::kFrameRateOff));
    EXPECT_EQ(dlg().sliders.frameRateTarget.GetPos(), 0);
    EXPECT_FALSE(dlg().sliders.frameRateTarget.IsEnabled());
}

TEST_F(ToggleTest, SwitchesFlipTheirImagesAndTheGpuRecord) {
    StartDialog(test::RigBuilder().Gpus(2, kKeplerId).Build());

    dlg().ToggleLinkCoreShader();
    EXPECT_EQ(dlg().record(0).linkCoreShader, 0);
    EXPECT_TRUE(dlg().buttons.linkCoreShader.Shows(image::kUnlinked));
    EXPECT_EQ(dlg().buttons.linkCoreShader.caption(), "Unlinked");

    dlg().ToggleFanMode();
    EXPECT_EQ(dlg().record(0).fanAutomatic, 0);
    EXPECT_TRUE(dlg().buttons.fanMode.Shows(image::kFanManual));
    EXPECT_TRUE(dlg().sliders.fanSpeed.IsEnabled());

    dlg().TogglePowerTempLink();
    EXPECT_EQ(dlg().record(0).powerTempLinked, 1);
    EXPECT_TRUE(dlg().buttons.powerTempLink.IsChecked());
    EXPECT_TRUE(dlg().buttons.powerTempLink.Shows(image::kLinked));

    dlg().ToggleCurveSwitch();
    EXPECT_TRUE(dlg().buttons.curveSwitch.Shows(image::kCurveOn));
    EXPECT_EQ(gpus->uiFlag(0), 1);
    dlg().ToggleCurveSwitch();
    EXPECT_EQ(gpus->uiFlag(0), 0);
    dlg().ToggleCurveSwitch();

    dlg().ToggleFactoryBoost();
    EXPECT_TRUE(dlg().buttons.factoryBoost.Shows(image::kFactoryBoostOn));

    // The switches of GPU 1 are its own; GPU 0's come back with it.
    dlg().SelectGpu(1);
    EXPECT_TRUE(dlg().buttons.linkCoreShader.Shows(image::kLinked));
    EXPECT_TRUE(dlg().buttons.fanMode.Shows(image::kFanAuto));
    EXPECT_FALSE(dlg().sliders.fanSpeed.IsEnabled());
    EXPECT_FALSE(dlg().buttons.powerTempLink.IsChecked());
    EXPECT_TRUE(dlg().buttons.curveSwitch.Shows(image::kCurveOff));
    EXPECT_EQ(gpus->uiFlag(1), 0);
    dlg().SelectGpu(0);
    EXPECT_TRUE(dlg().buttons.linkCoreShader.Shows(image::kUnlinked));
    EXPECT_TRUE(dlg().buttons.curveSwitch.Shows(image::kCurveOn));
    EXPECT_TRUE(dlg().buttons.fanMode.Shows(image::kFanManual));
}

TEST_F(ToggleTest, VoltageLockOffZeroesAndDisablesTheSlider) {
    StartDialog(DemoRig());  // GPU 0 has VF points
    dlg().ToggleVoltageLock();
    EXPECT_TRUE(dlg().buttons.voltageLock.Shows(image::kLockOn));
    EXPECT_TRUE(dlg().sliders.voltageLock.IsEnabled());
    dlg().sliders.voltageLock.SetPos(100);
    dlg().ToggleVoltageLock();
    EXPECT_TRUE(dlg().buttons.voltageLock.Shows(image::kLockOff));
    EXPECT_EQ(dlg().sliders.voltageLock.GetPos(), 0);
    EXPECT_FALSE(dlg().sliders.voltageLock.IsEnabled());
}

TEST_F(ToggleTest, SyncAllNeedsTwoGpus) {
    StartDialog(test::RigBuilder().Gpu(kKeplerId).Build());
    EXPECT_EQ(dlg().buttons.syncAll.tooltip(),
              "Veltrix Plus supports synchronous adjustment of 3 GPUs or changing their settings independently.");
    dlg().SetSyncAll(true);
    EXPECT_FALSE(dlg().syncAll());

    StartDialog(test::RigBuilder().Gpus(2, kKeplerId).Build());
    dlg().SetSyncAll(true);
    EXPECT_TRUE(dlg().syncAll());
    dlg().SetSyncAll(false);
    EXPECT_FALSE(dlg().syncAll());
}

TEST_F(ToggleTest, OneClickModesActAsOneChoice) {
    StartDialog(test::RigBuilder().Gpu(kKeplerId).Build());
    dlg().SelectOneClickMode(2);
    EXPECT_EQ(dlg().oneClickMode(), tuning::kOneClickBoost3);
    EXPECT_TRUE(dlg().buttons.oneClick[1].IsChecked());
    dlg().SelectOneClickMode(3);
    EXPECT_FALSE(dlg().buttons.oneClick[1].IsChecked());
    EXPECT_TRUE(dlg().buttons.oneClick[2].IsChecked());
    dlg().SelectOneClickMode(7);  // no such button
    EXPECT_EQ(dlg().oneClickMode(), tuning::kOneClickStock);
}

TEST_F(ToggleTest, PagesShowTheirOwnControls) {
    StartDialog(test::RigBuilder().Gpu(kKeplerId).Build());
    auto& d = dlg();
    EXPECT_EQ(d.activePage(), tuning::kPageOverclock);
    EXPECT_TRUE(d.OnActivePage(d.sliders.gpuClockOffset.id()));
    EXPECT_FALSE(d.OnActivePage(d.sliders.memoryVoltage.id()));
    EXPECT_FALSE(d.buttons.pages[4].IsVisible());

    d.ShowPage(tuning::kPageRegulators);
    EXPECT_EQ(d.activePage(), tuning::kPageRegulators);
    EXPECT_TRUE(d.buttons.pages[2].IsChecked());
    EXPECT_FALSE(d.buttons.pages[1].IsChecked());
    EXPECT_FALSE(d.OnActivePage(d.sliders.gpuClockOffset.id()));
    EXPECT_TRUE(d.OnActivePage(d.sliders.memoryVoltage.id()));
    EXPECT_TRUE(d.OnActivePage(d.buttons.apply.id()));  // on every page

    d.ShowPage(4);  // not a page
    EXPECT_EQ(d.activePage(), tuning::kPageRegulators);
    d.ShowPage(tuning::kPageOneClick);
    EXPECT_TRUE(d.OnActivePage(d.buttons.oneClick[0].id()));
    EXPECT_FALSE(d.OnActivePage(d.buttons.factoryBoost.id()));

    // With the speaker test, page 4 is its page and shows none of the tuning controls.
    d.EnableSpeakerPage();
    EXPECT_TRUE(d.buttons.pages[4].IsVisible());
    d.ShowPage(tuning::kPageSpeakers);
    EXPECT_EQ(d.activePage(), tuning::kPageSpeakers);
    EXPECT_FALSE(d.OnActivePage(d.buttons.oneClick[0].id()));
    EXPECT_FALSE(d.OnActivePage(d.sliders.gpuClockOffset.id()));
}

TEST_F(ToggleTest, WindowStatesGoThroughTheHooks) {
    std::vector<std::string> events;
    hooks.saveOrDeleteUserSettings = [&] { events.push_back("save"); };
    hooks.showWindow = [&](bool visible) { events.push_back(visible ? "show" : "hide"); };
    hooks.minimizeWindow = [&] { events.push_back("minimize"); };
    hooks.quitProcess = [&] { events.push_back("quit"); };
    hooks.openSettingsDialog = [&] { events.push_back("settings"); };

    StartDialog(test::RigBuilder().Gpu(kKeplerId).Build(), 4);  // "SysTray"
    EXPECT_EQ(events, (std::vector<std::string>{"save", "hide"}));
    EXPECT_EQ(dlg().currentGpu(), 0);

    events.clear();
    StartDialog(test::RigBuilder().Gpu(kKeplerId).Build(), 3);  // "Minimize"
    EXPECT_EQ(events, (std::vector<std::string>{"minimize"}));

    events.clear();
    dlg().OnShowFromTray();
    dlg().OnSettings();
    dlg().OnQuit();
    EXPECT_EQ(events, (std::vector<std::string>{"show", "settings", "save", "quit"}));
}

}  // namespace
}  // namespace vx::tuningtest
