#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/CSetDialog.h"
#include "platform/posix/DesktopAutostart.h"
#include "platform/posix/IniSettingsStore.h"
#include "support/FakeAutostart.h"
#include "support/FakeSettingsStore.h"
#include "support/TempDir.h"

namespace vx::app {
namespace {

const std::string kExe = "/opt/Veltrix Plus/veltrix-plus";
using Writes = std::vector<std::pair<std::string, uint32_t>>;
using Items = std::vector<std::string>;

class CSetDialogTest : public ::testing::Test {
protected:
    CSetDialogTest() { settings_.Load(store_); }

    CSetDialog& Open(SetDialogContext context = {}) {
        store_.ClearLog();
        dialog_.emplace(settings_, store_, entry_, context, hooks_);
        dialog_->OnInitDialog();
        return *dialog_;
    }
    SetDialogControls& C() { return dialog_->Controls(); }
    int CheckedStartupOption() {
        int found = -1;
        for (int i = 0; i < 5; ++i)
            if (C().startup[i].checked) {
                EXPECT_EQ(found, -1) << "two startup options checked";
                found = i;
            }
        return found;
    }

    test::FakeSettingsStore store_;
    test::FakeAutostart autostart_;
    AppSettings settings_;
    AutostartEntry entry_{autostart_, kExe};
    SetDialogHooks hooks_;
    std::optional<CSetDialog> dialog_;
};

TEST_F(CSetDialogTest, TextsComeFromTheMessageTable) {
    Open();
    EXPECT_EQ(C().caption, "Settings");
    const char* options[] = {"Do not run", "Run", "Run and minimize", "Run and minimize to system tray",
                             "Apply hardware settings and quit"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(C().startup[i].id, 1282 + i);
        EXPECT_EQ(C().startup[i].text, options[i]);
    }
    EXPECT_EQ(C().curveDrawing.id, 1291);
    EXPECT_EQ(C().autoUpdate.id, 1297);
    EXPECT_EQ(C().autoUpdate.text, "Enable");
    EXPECT_EQ(C().hdmiAutoSet.text, "Set as system default audio device\nautomatically");
    EXPECT_EQ(C().fanHighLabel.id, 1017);
    EXPECT_EQ(C().fanHighLabel.text, "FanSpeed");
    EXPECT_EQ(C().fanGroup.text, "Advanced Fan Control");
    EXPECT_FALSE(C().fanSpeedTest.visible);
    EXPECT_EQ(C().lcmService.text, "The LCM Services Uninstalled!");
    // The on-screen display group carries the dialog template's own labels.
    EXPECT_EQ(C().osdGroup.id, 1294);
    EXPECT_EQ(C().osdGroup.text, "On-screen Display");
    const ui::CheckBox* osd[] = {&C().osdClock, &C().osdTemperature, &C().osdFanSpeed, &C().osdFramerate};
    const char* osdTexts[] = {"Clocks", "Temperature", "Fan Speed", "Framerate"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(osd[i]->id, 1330 + i);
        EXPECT_EQ(osd[i]->text, osdTexts[i]);
    }
}

TEST_F(CSetDialogTest, ListsCarryTheirFormattedItems) {
    Open();
    EXPECT_EQ(C().samplingPeriod.items,
              (Items{"1s", "2s", "3s", "4s", "5s", "6s", "7s", "8s", "9s", "10s"}));
    EXPECT_EQ(C().fanLow.items, (Items{"15%", "20%", "25%"}));
    EXPECT_EQ(C().fanHigh.items, (Items{"80%", "90%", "100%"}));
    EXPECT_EQ(C().tempOver.items, (Items{"80\xC2\xB0" "C", "85\xC2\xB0" "C", "90\xC2\xB0" "C"}));
    EXPECT_EQ(C().tempLow.items, (Items{"50\xC2\xB0" "C", "55\xC2\xB0" "C"}));
    EXPECT_EQ(C().alarmTemperature.items,
              (Items{"95\xC2\xB0" "C", "96\xC2\xB0" "C", "97\xC2\xB0" "C", "98\xC2\xB0" "C", "99\xC2\xB0" "C"}));
    // Defaults: stored choice 1 selects the first item; custom mode off disables the four lists.
    for (const ui::ChoiceList* list : {&C().samplingPeriod, &C().fanLow, &C().fanHigh, &C().tempOver, &C().tempLow})
        EXPECT_EQ(list->selection, 0);
    EXPECT_FALSE(C().tempLow.enabled || C().fanHigh.enabled || C().tempLowLabel.enabled || C().fanLowLabel.enabled);
    EXPECT_TRUE(C().samplingPeriod.enabled);
}

TEST_F(CSetDialogTest, FanSchemesShowWhereTheFanAutomationActs) {
    auto record = [](bool supported, bool quirk, bool pstates20, bool listB) {
        GpuRecord r;
        r.supportedGpu = supported;
        r.quirk0E22 = quirk;
        r.pstate20Group1 = pstates20;
        r.legacyListB = listB;
        return r;
    };
    struct Case {
        const char* gpu;
        std::optional<GpuRecord> record;
        bool fanTempEnabled, performanceShown, silentShown;
    };
    const Case cases[] = {
        {"none", std::nullopt, false, false, false},
        {"supported VF-point board (GTX 1070 Ti)", record(true, false, false, false), true, true, false},
        {"supported P-state 2.0 board", record(true, false, true, false), true, true, false},
        {"0x0E22", record(true, true, false, false), true, true, true},
        {"second legacy family", record(false, false, false, true), false, false, false},
    };
    for (const Case& c : cases) {
        Open(SetDialogContext::ForGpu(c.record ? &*c.record : nullptr, false));
        EXPECT_EQ(C().fanTempSet.enabled, c.fanTempEnabled) << c.gpu;
        EXPECT_EQ(C().performanceMode.visible, c.performanceShown) << c.gpu;
        EXPECT_EQ(C().silentMode.visible, c.silentShown) << c.gpu;
    }
    EXPECT_EQ(C().lcmService.text, "The LCM Services Uninstalled!");
    Open(SetDialogContext::ForGpu(nullptr, true));
    EXPECT_EQ(C().lcmService.text, "The LCM Services was Installed!");
}

TEST_F(CSetDialogTest, OpeningRereadsFiveValuesAndShowsTheFields) {
    store_.values["AutoUpdate"] = 0;
    store_.values["HdmiAutoSet"] = 0;
    store_.values["SamplingPeriod"] = 0;
    store_.values["HighSet"] = 1;  // not re-read: the field decides
    settings_.restoreUserSettings = false;
    settings_.osdClockShow = true;
    settings_.highSet2 = true;
    Open();
    EXPECT_EQ(store_.reads, (std::vector<std::string>{"RestoreUserSettings", "AutoUpdate", "HdmiAutoSet",
                                                      "FanTempSet", "SamplingPeriod", "TemperatureAlarmSet",
                                                      "TemperatureAlarmValue"}));
    EXPECT_FALSE(C().restoreUserSettings.checked);  // absent from the store: field kept
    EXPECT_FALSE(C().autoUpdate.checked);
    EXPECT_FALSE(C().hdmiAutoSet.checked);
    EXPECT_FALSE(C().curveDrawing.checked);
    EXPECT_EQ(C().samplingPeriod.selection, -1);
    EXPECT_TRUE(C().osdClock.checked);
    EXPECT_TRUE(C().osdTemperature.checked);
    EXPECT_FALSE(C().osdFramerate.checked);
    EXPECT_FALSE(C().customMode.checked);
    EXPECT_TRUE(C().silentMode.checked);
    EXPECT_TRUE(store_.writes.empty());
}

TEST_F(CSetDialogTest, StartupOptionFollowsTheAutostartEntry) {
    Open();
    EXPECT_EQ(CheckedStartupOption(), 3);  // no entry: the initial SysTray
    autostart_.entry = kExe + " MINIMIZE";
    Open();
    EXPECT_EQ(CheckedStartupOption(), 2);
    autostart_.entry = kExe + " Sideways";
    Open();
    EXPECT_EQ(CheckedStartupOption(), -1);
    // OK with nothing chosen leaves the entry alone.
    dialog_->OnOK();
    EXPECT_EQ(autostart_.entry, kExe + " Sideways");
    EXPECT_EQ(autostart_.writeCount + autostart_.removeCount, 0);
}

TEST_F(CSetDialogTest, OkAppliesTheChosenStartupOption) {
    autostart_.entry = kExe + " Normal";
    Open();
    dialog_->SelectStartupOption(0);
    dialog_->OnOK();
    EXPECT_FALSE(autostart_.entry.has_value());
    EXPECT_EQ(entry_.Mode(), kModeDoNotRun);
    EXPECT_EQ(dialog_->state(), CSetDialog::State::Accepted);

    Open();
    EXPECT_EQ(CheckedStartupOption(), 0);
    dialog_->SelectStartupOption(2);
    EXPECT_EQ(CheckedStartupOption(), 2);
    dialog_->OnOK();
    EXPECT_EQ(autostart_.entry, kExe + " Minimize");
    EXPECT_EQ(entry_.Mode(), kModeMinimize);
}

TEST_F(CSetDialogTest, OkWritesTheFlagsInOrderAndSkipsCustomValuesWhenOff) {
    Open();
    C().osdFramerate.checked = true;
    C().restoreUserSettings.checked = false;
    C().fanSpeedTest.checked = true;
    dialog_->OnOK();
    EXPECT_EQ(store_.writes, (Writes{{"RestoreUserSettings", 0}, {"AutoUpdate", 1}, {"HdmiAutoSet", 1},
                                     {"FanTempSet", 0}, {"OSDClockShow", 0}, {"OSDTempShow", 1},
                                     {"OSDFanSpeedShow", 1}, {"OSDFramerateShow", 1}, {"HighSet", 0},
                                     {"HighSet2", 0}, {"HighSet3", 0}, {"FanSpeedTest", 1},
                                     {"TemperatureAlarmSet", 0}, {"SamplingPeriod", 1},
                                     {"FanCurveHysteresis", 3}, {"FanCurveSpinDownDelay", 5}}));
    EXPECT_FALSE(settings_.restoreUserSettings);
    EXPECT_TRUE(settings_.osdFramerateShow);
    EXPECT_TRUE(settings_.fanSpeedTest);
    EXPECT_EQ(settings_.lowTemperature, 0);  // derived only in custom mode
}

TEST_F(CSetDialogTest, CustomModeStoresChoicesPlusOneAndDerivesTheirValues) {
    const int lowTemps[] = {50, 55};
    const int lowFans[] = {15, 20, 25};
    const int highTemps[] = {80, 85, 90};
    const int highFans[] = {80, 90, 100};
    for (int choice = 0; choice < 3; ++choice) {
        Open();
        dialog_->SetCustomMode(true);
        EXPECT_TRUE(C().tempLow.enabled && C().tempOverLabel.enabled);
        C().tempLow.Select(choice % 2);
        C().fanLow.Select(choice);
        C().fanHigh.Select(choice);
        C().tempOver.Select(choice);
        store_.ClearLog();
        dialog_->OnOK();
        EXPECT_EQ(settings_.lowTemperature, lowTemps[choice % 2]);
        EXPECT_EQ(settings_.lowFanSpeed, lowFans[choice]);
        EXPECT_EQ(settings_.highTemperature, highTemps[choice]);
        EXPECT_EQ(settings_.highFanSpeed, highFans[choice]);
        const uint32_t stored = static_cast<uint32_t>(choice) + 1;
        const Writes custom(store_.writes.begin() + 12, store_.writes.begin() + 16);
        EXPECT_EQ(custom, (Writes{{"TemplowSet", uint32_t(choice % 2) + 1}, {"FansSet", stored},
                                  {"FansHighSet", stored}, {"TempSet", stored}}));
        EXPECT_TRUE(settings_.highSet);
        EXPECT_EQ(settings_.tempSet, stored);
    }
}

TEST_F(CSetDialogTest, OutOfRangeStoredChoicesSelectNothingAndAreMendedOnOk) {
    store_.values["TemplowSet"] = 7;
    store_.values["FansSet"] = 0;
    store_.values["SamplingPeriod"] = 11;
    store_.values["TemperatureAlarmSet"] = 1;
    store_.values["TemperatureAlarmValue"] = 9;
    settings_.Load(store_);
    settings_.highSet = true;
    Open();
    EXPECT_EQ(C().tempLow.selection, -1);
    EXPECT_EQ(C().fanLow.selection, -1);
    EXPECT_EQ(C().samplingPeriod.selection, -1);
    EXPECT_EQ(C().alarmTemperature.selection, -1);
    EXPECT_TRUE(C().tempLow.enabled);
    dialog_->OnOK();
    EXPECT_EQ(store_.values["TemplowSet"], 1u);
    EXPECT_EQ(store_.values["FansSet"], 1u);
    EXPECT_EQ(settings_.lowTemperature, 50);
    EXPECT_EQ(store_.values["SamplingPeriod"], 1u);
    EXPECT_EQ(store_.values["TemperatureAlarmValue"], 0u);
}

TEST_F(CSetDialogTest, AlarmListIsUsableOnlyWhileTheAlarmIsOn) {
    Open();
    EXPECT_FALSE(C().temperatureAlarm.checked);
    EXPECT_FALSE(C().alarmTemperature.enabled);
    EXPECT_EQ(C().alarmTemperature.selection, 0);
    dialog_->SetTemperatureAlarm(true);
    EXPECT_TRUE(C().alarmTemperature.enabled);
    C().alarmTemperature.Select(3);
    dialog_->OnOK();
    EXPECT_EQ(store_.values["TemperatureAlarmSet"], 1u);
    EXPECT_EQ(store_.values["TemperatureAlarmValue"], 3u);

    Open();
    EXPECT_TRUE(C().alarmTemperature.enabled);
    EXPECT_EQ(C().alarmTemperature.selection, 3);
    dialog_->SetTemperatureAlarm(false);
    EXPECT_FALSE(C().alarmTemperature.enabled);
    C().alarmTemperature.Select(1);
    dialog_->OnOK();
    EXPECT_EQ(store_.values["TemperatureAlarmSet"], 0u);
    EXPECT_EQ(store_.values["TemperatureAlarmValue"], 3u);  // kept while the alarm is off
}

TEST_F(CSetDialogTest, SamplingPeriodAndDisplayFlagReachTheOtherWindows) {
    std::vector<uint32_t> intervals;
    std::vector<bool> framerate;
    int passwordDialogs = 0;
    hooks_.setSamplingInterval = [&](uint32_t ms) { intervals.push_back(ms); };
    hooks_.setFramerateFeed = [&](bool on) { framerate.push_back(on); };
    hooks_.openPasswordDialog = [&] { ++passwordDialogs; };
    Open();
    C().samplingPeriod.Select(4);
    C().osdFramerate.checked = true;
    dialog_->OnOK();
    EXPECT_EQ(store_.values["SamplingPeriod"], 5u);
    Open();
    EXPECT_EQ(C().samplingPeriod.selection, 4);
    C().curveDrawing.checked = false;
    dialog_->OnChangePassword();
    dialog_->OnOK();
    EXPECT_EQ(store_.values["SamplingPeriod"], 0u);
    EXPECT_EQ(intervals, (std::vector<uint32_t>{5000, 5000}));  // unchecked: only the stored value is 0
    EXPECT_EQ(framerate, (std::vector<bool>{true, true}));
    EXPECT_EQ(passwordDialogs, 1);
}

TEST_F(CSetDialogTest, FanSchemeChecksExcludeEachOther) {
    Open({.supportedGpu = true, .quirk0E22 = true});
    dialog_->SetCustomMode(true);
    EXPECT_TRUE(C().fanLow.enabled);
    dialog_->SetSilentMode(true);
    EXPECT_FALSE(C().customMode.checked);
    EXPECT_FALSE(C().fanLow.enabled || C().fanLowLabel.enabled);
    dialog_->SetPerformanceMode(true);
    EXPECT_FALSE(C().silentMode.checked);
    EXPECT_TRUE(C().performanceMode.checked);
    dialog_->SetPerformanceMode(false);
    EXPECT_TRUE(C().fanLow.enabled);  // whatever "Custom mode" shows
    dialog_->SetCustomMode(true);
    dialog_->SetCustomMode(false);
    EXPECT_FALSE(C().fanHigh.enabled);
}

TEST_F(CSetDialogTest, CancelStoresNothing) {
    Open();
    C().autoUpdate.checked = false;
    dialog_->SelectStartupOption(0);
    dialog_->OnCancel();
    EXPECT_EQ(dialog_->state(), CSetDialog::State::Canceled);
    EXPECT_TRUE(store_.writes.empty());
    EXPECT_EQ(autostart_.writeCount + autostart_.removeCount, 0);
    EXPECT_TRUE(settings_.autoUpdate);
}

TEST(CSetDialogOnDisk, FirstStartThenRunAndMinimizeLeavesBothFiles) {
    test::TempDir dir;
    platform::IniSettingsStore store(dir / "veltrix-plus" / "registry.ini");
    platform::DesktopAutostart autostart(dir / "autostart" / "veltrix-plus.desktop");
    AppSettings settings;
    settings.Load(store);
    EXPECT_EQ(test::TempDir::ReadFile(store.File()),
              "[Software\\Veltrix Plus]\nIphonePassWord=482915\nTemperatureAlarmValue=0\n"
              "TemperatureAlarmSet=0\nSamplingPeriod=1\nFansSet=1\nFansHighSet=1\nTempSet=1\nTemplowSet=1\n");

    AutostartEntry entry(autostart, kExe);
    CSetDialog dialog(settings, store, entry, {});
    dialog.OnInitDialog();
    dialog.SelectStartupOption(2);
    dialog.Controls().samplingPeriod.Select(9);
    dialog.OnOK();
    EXPECT_EQ(autostart.Read(), kExe + " Minimize");
    EXPECT_EQ(store.Read("SamplingPeriod"), 10u);

    AppSettings restarted;
    restarted.Load(store);
    EXPECT_EQ(restarted.samplingPeriod, 10u);
    AutostartEntry reread(autostart, kExe);
    CSetDialog again(restarted, store, reread, {});
    again.OnInitDialog();
    EXPECT_TRUE(again.Controls().startup[2].checked);
    EXPECT_EQ(again.Controls().samplingPeriod.selection, 9);
}

}  // namespace
}  // namespace vx::app
