// The start-up sequence: its early exits, its messages and what it leaves behind.
#include <gtest/gtest.h>

#include "app/CCorvaneHDApp.h"
#include "app/CMultiLangSupp.h"
#include "support/FakeAutostart.h"
#include "support/FakeSettingsStore.h"
#include "support/FakeShellServices.h"
#include "support/RigBuilder.h"
#include "support/ScriptedPrompts.h"

namespace vx::test {
namespace {

using app::CCorvaneHDApp;
using Next = CCorvaneHDApp::Next;

class StartupTest : public ::testing::Test {
protected:
    StartupTest() {
        simulator_.Activate();
        UseSimulator();
    }

    void UseSimulator() {
        binding_ = std::make_unique<driver::DriverBinding>(
            driver::InProcessOpener(sim::Simulator::QueryInterface()));
    }
    void UseMissingDriver() {
        binding_ = std::make_unique<driver::DriverBinding>([](driver::OpenedDriver&) { return int32_t{-2}; });
    }

    CCorvaneHDApp& MakeApp() {
        app::AppEnvironment env{settings_, autostart_, guard_, services_, prompts_, &fonts_,
                                "/opt/veltrix-plus/bin/veltrix-plus", "fonts", {}};
        app_ = std::make_unique<CCorvaneHDApp>(env, *binding_);
        return *app_;
    }

    std::vector<std::string> ShownTexts() const {
        std::vector<std::string> texts;
        for (const auto& s : prompts_.shown) texts.push_back(s.text);
        return texts;
    }

    sim::Simulator simulator_{RigBuilder().Gpu(0x1B82, 0xA0131462).Gpu(0x1184).Build()};
    std::unique_ptr<driver::DriverBinding> binding_;
    FakeSettingsStore settings_;
    FakeAutostart autostart_;
    FakeInstanceGuard guard_;
    FakeServiceControl services_;
    ScriptedPrompts prompts_;
    FakeFontRegistry fonts_;
    std::unique_ptr<CCorvaneHDApp> app_;
};

TEST_F(StartupTest, UserStartOnWorkingDriverOpensTheWindowSilently) {
    fonts_.families = {"arial", "DS-Digital", "LcdD", "Clockopia"};
    CCorvaneHDApp& app = MakeApp();
    EXPECT_EQ(app.InitInstance(""), Next::OpenWindow);
    EXPECT_EQ(app.startupMode(), 0);
    EXPECT_EQ(app.gpu().GetGpuCount(), 2);
    EXPECT_NE(app.gpu().uiThreadId(), 0u);
    EXPECT_TRUE(prompts_.shown.empty());
    EXPECT_TRUE(fonts_.added.empty()) << "faces the system has are not added again";
}

TEST_F(StartupTest, TheSwitchSetsTheStartupMode) {
    EXPECT_EQ(MakeApp().InitInstance("sYsTrAy"), Next::OpenWindow);
    EXPECT_EQ(app_->startupMode(), 4);
}

TEST_F(StartupTest, SecondCopyAsksTheFirstToShowItselfAndLeavesWithoutAMessage) {
    guard_.result = platform::InstanceGuard::Result::AlreadyRunning;
    CCorvaneHDApp& app = MakeApp();
    EXPECT_EQ(app.InitInstance("Normal"), Next::Exit);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_EQ(guard_.sent, std::vector<std::string>{"show"});
    EXPECT_TRUE(prompts_.shown.empty());
    EXPECT_TRUE(simulator_.Calls().empty()) << "the driver is not touched by a second copy";
}

TEST_F(StartupTest, InstanceLockThatCannotBeTakenShowsTheOtherUserMessage) {
    guard_.result = platform::InstanceGuard::Result::Failed;
    CCorvaneHDApp& app = MakeApp();
    EXPECT_EQ(app.InitInstance(""), Next::Exit);
    ASSERT_EQ(prompts_.shown.size(), 1u);
    EXPECT_EQ(prompts_.shown[0].text, "Corvane has been started by other user.");
    EXPECT_EQ(prompts_.shown[0].caption, "Veltrix Plus");
    EXPECT_EQ(prompts_.shown[0].icon, ui::BoxIcon::Error);
}

TEST_F(StartupTest, OnlyApplySettingsExitsAfterTheRestoreWhateverItsSetting) {
    for (bool restoreOn : {true, false}) {
        settings_.values["RestoreUserSettings"] = restoreOn ? 1 : 0;
        int restores = 0;
        CCorvaneHDApp& app = MakeApp();
        app.SetUserSettingsRestore([&] { ++restores; return true; });
        EXPECT_EQ(app.InitInstance("onlyapplysettings"), Next::Exit);
        EXPECT_EQ(app.exitCode(), 0);
        EXPECT_EQ(restores, restoreOn ? 1 : 0);
        EXPECT_TRUE(services_.queried.empty()) << "the process ends before the service probe";
        EXPECT_TRUE(fonts_.added.empty());
    }
}

TEST_F(StartupTest, AutomaticStartWithoutDriverAsksAboutTheNextRebootAndNoRemovesAutostart) {
    for (const auto answer : {ui::BoxAnswer::No, ui::BoxAnswer::Yes}) {
        UseMissingDriver();
        autostart_.entry = "/opt/veltrix-plus/bin/veltrix-plus OnlyApplySettings";
        autostart_.removeCount = 0;
        prompts_.shown.clear();
        prompts_.answers = {ui::BoxAnswer::Ok, answer};
        EXPECT_EQ(MakeApp().InitInstance("OnlyApplySettings"), Next::Exit);
        EXPECT_EQ(ShownTexts(), (std::vector<std::string>{app::Text(2), app::Text(77)}));
        EXPECT_EQ(prompts_.shown[1].buttons, ui::BoxButtons::YesNo);
        EXPECT_EQ(prompts_.shown[1].icon, ui::BoxIcon::Question);
        EXPECT_EQ(autostart_.entry.has_value(), answer == ui::BoxAnswer::Yes);
        EXPECT_EQ(autostart_.removeCount, answer == ui::BoxAnswer::Yes ? 0 : 1);
    }
}

TEST_F(StartupTest, UserStartWithoutDriverShowsTheMessageAndStillOpensTheWindow) {
    UseMissingDriver();
    int restores = 0;
    CCorvaneHDApp& app = MakeApp();
    app.SetUserSettingsRestore([&] { ++restores; return true; });
    EXPECT_EQ(app.InitInstance(""), Next::OpenWindow);
    EXPECT_EQ(ShownTexts(), std::vector<std::string>{
        "Initiate hardware failed!\nPlease confirm NVidia driver has been installed correctly!"});
    EXPECT_EQ(restores, 0) << "nothing is applied to hardware that failed to start";
    EXPECT_EQ(app.gpu().GetGpuCount(), 0);
}

TEST_F(StartupTest, RigWithoutGpusIsAHardwareFailure) {
    sim::Simulator empty(RigBuilder().Build());
    empty.Activate();
    UseSimulator();
    EXPECT_EQ(MakeApp().InitInstance(""), Next::OpenWindow);
    EXPECT_EQ(ShownTexts(), std::vector<std::string>{app::Text(2)});
}

TEST_F(StartupTest, ServiceProbeSetsInstalledAndRunning) {
    services_.state = platform::ServiceControl::State::Stopped;
    MakeApp().InitInstance("");
    EXPECT_EQ(services_.queried, std::vector<std::string>{"TestServices"});
    EXPECT_TRUE(app_->lcmServiceInstalled());
    EXPECT_FALSE(app_->lcmServiceRunning());
    services_.state = platform::ServiceControl::State::Running;
    MakeApp().InitInstance("");
    EXPECT_TRUE(app_->lcmServiceRunning());
}

TEST_F(StartupTest, FontThatCannotBeAddedIsReportedAndStartUpGoesOn) {
    fonts_.failAdds = true;
    CCorvaneHDApp& app = MakeApp();
    EXPECT_EQ(app.InitInstance(""), Next::OpenWindow);
    EXPECT_EQ(ShownTexts(), std::vector<std::string>{"Add font failed!"});
    EXPECT_EQ(fonts_.added.size(), 1u) << "the installation stops at the first failure";
}

TEST_F(StartupTest, ConstructionReadsTheSettingsStore) {
    settings_.values["RestoreUserSettings"] = 0;
    settings_.values["IphonePassWord"] = 1234;
    CCorvaneHDApp& app = MakeApp();
    EXPECT_FALSE(app.settings().restoreUserSettings);
    EXPECT_EQ(app.settings().iphonePassWord, 1234u);
    EXPECT_EQ(app.autostart().Mode(), 4);
}

}  // namespace
}  // namespace vx::test
