#include "app/CSetDialog.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "app/CMultiLangSupp.h"
#include "app/RegistryValues.h"

namespace vx::app {
namespace {

// Control ids of dialog template 1270.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdFanTempSet = 1010;
constexpr int kIdTempLowLabel = 1012;
constexpr int kIdTempOverLabel = 1013;
constexpr int kIdCustomMode = 1014;
constexpr int kIdFanLowLabel = 1015;
constexpr int kIdTempLow = 1016;
constexpr int kIdFanHighLabel = 1017;
constexpr int kIdSilentMode = 1018;
constexpr int kIdPerformanceMode = 1019;
constexpr int kIdFanSpeedTest = 1055;
constexpr int kIdRestoreUserSettings = 1287;
constexpr int kIdStartupGroup = 1288;
constexpr int kIdSaveGroup = 1289;
constexpr int kIdCurveGroup = 1290;
constexpr int kIdCurveDrawing = 1291;
constexpr int kIdSamplingLabel = 1293;
constexpr int kIdAutoUpdateGroup = 1295;
constexpr int kIdAutoUpdate = 1297;
constexpr int kIdHdmiAutoSet = 1298;
constexpr int kIdFanGroup = 1299;
constexpr int kIdChangePassword = 1300;
constexpr int kIdOsdGroup = 1294;
constexpr int kIdOsdClock = 1330;  // then temperature, fan speed and frame rate
constexpr int kIdFanLow = 1301;
constexpr int kIdFanHigh = 1302;
constexpr int kIdTempOver = 1303;
// The user curve's calming lists, beyond the template's controls.
constexpr int kIdCurveHysteresisLabel = 1310;
constexpr int kIdCurveHysteresis = 1311;
constexpr int kIdCurveSpinDownLabel = 1312;
constexpr int kIdCurveSpinDown = 1313;

constexpr int kAlarmFirstDegree = 95;
constexpr int kAlarmChoices = 5;
constexpr int kSamplingChoices = 10;

std::string Format(const char* format, int value, const char* unit) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value, unit);
    return buffer;
}

std::string Format(const char* format, int value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// Values are stored as choice + 1; 0 or a value beyond the list selects nothing.
void SelectStoredChoice(ui::ChoiceList& list, uint32_t stored) {
    list.Select(stored > 0 && stored <= list.items.size() ? static_cast<int>(stored - 1) : -1);
}

// A list left without a selection counts as its first item, so nothing out of range is stored.
int ChoiceOf(const ui::ChoiceList& list) { return list.HasSelection() ? list.selection : 0; }

uint32_t ToStored(int choice) { return static_cast<uint32_t>(choice) + 1; }

}  // namespace

SetDialogContext SetDialogContext::ForGpu(const GpuRecord* record, bool lcmServiceInstalled) {
    SetDialogContext context;
    context.supportedGpu = record && record->supportedGpu;
    context.quirk0E22 = record && record->quirk0E22;
    context.lcmServiceInstalled = lcmServiceInstalled;
    return context;
}

CSetDialog::CSetDialog(AppSettings& settings, platform::SettingsStore& store,
                       AutostartEntry& autostart, SetDialogContext context, SetDialogHooks hooks)
    : settings_(settings),
      store_(store),
      autostart_(autostart),
      context_(context),
      hooks_(std::move(hooks)) {}

void CSetDialog::SetTexts() {
    SetDialogControls& c = controls_;
    c.caption = Text(75);
    for (int i = 0; i < 5; ++i) {
        c.startup[i].id = kFirstStartupOptionId + i;
        c.startup[i].text = Text(msg::kDoNotRun + i);
    }
    c.restoreUserSettings = {kIdRestoreUserSettings, Text(72)};
    c.startupGroup = {kIdStartupGroup, Text(83)};
    c.saveGroup = {kIdSaveGroup, Text(85)};
    c.ok = {kIdOk, Text(msg::kOk)};
    c.cancel = {kIdCancel, Text(msg::kCancel)};
    c.curveGroup = {kIdCurveGroup, Text(106)};
    c.curveDrawing = {kIdCurveDrawing, Text(107)};
    c.autoUpdate = {kIdAutoUpdate, Text(107)};
    c.samplingLabel = {kIdSamplingLabel, Text(108)};
    c.autoUpdateGroup = {kIdAutoUpdateGroup, Text(112)};
    c.changePassword = {kIdChangePassword, Text(msg::kChangePassword)};
    c.hdmiAutoSet = {kIdHdmiAutoSet, Text(155)};
    c.fanTempSet = {kIdFanTempSet, Text(184)};
    c.tempLowLabel = {kIdTempLowLabel, Text(186)};
    c.tempOverLabel = {kIdTempOverLabel, Text(187)};
    c.fanLowLabel = {kIdFanLowLabel, Text(188)};
    c.fanHighLabel = {kIdFanHighLabel, Text(189)};
    c.customMode = {kIdCustomMode, Text(192)};
    c.silentMode = {kIdSilentMode, Text(193)};
    c.performanceMode = {kIdPerformanceMode, Text(194)};
    c.fanGroup = {kIdFanGroup, Text(195)};
    c.fanSpeedTest = {kIdFanSpeedTest, "", false, true, false};
    c.tempLow.id = kIdTempLow;
    c.tempOver.id = kIdTempOver;
    c.curveHysteresisLabel = {kIdCurveHysteresisLabel, "Curve hysteresis"};
    c.curveSpinDownLabel = {kIdCurveSpinDownLabel, "Spin-down delay"};
    c.curveHysteresis.id = kIdCurveHysteresis;
    c.curveSpinDown.id = kIdCurveSpinDown;
    c.fanLow.id = kIdFanLow;
    c.fanHigh.id = kIdFanHigh;
    c.temperatureAlarm.text = Text(46);
    // The display choices carry the dialog template's own labels.
    c.osdGroup = {kIdOsdGroup, "On-screen Display"};
    c.osdClock = {kIdOsdClock, "Clocks"};
    c.osdTemperature = {kIdOsdClock + 1, "Temperature"};
    c.osdFanSpeed = {kIdOsdClock + 2, "Fan Speed"};
    c.osdFramerate = {kIdOsdClock + 3, "Framerate"};
}

void CSetDialog::SetCustomControlsEnabled(bool enabled) {
    SetDialogControls& c = controls_;
    for (ui::TextControl* label : {&c.tempLowLabel, &c.tempOverLabel, &c.fanLowLabel, &c.fanHighLabel})
        label->enabled = enabled;
    for (ui::ChoiceList* list : {&c.tempLow, &c.tempOver, &c.fanLow, &c.fanHigh})
        list->enabled = enabled;
}

void CSetDialog::FillLists() {
    SetDialogControls& c = controls_;
    const char* seconds = Text(msg::kSeconds);
    const char* degrees = Text(msg::kDegreesCelsius);
    c.samplingPeriod.items.clear();
    for (int s = 1; s <= kSamplingChoices; ++s) c.samplingPeriod.items.push_back(Format("%d%s", s, seconds));
    c.fanLow.items = {Format("%d%s", 15, "%"), Format("%d%s", 20, "%"), Format("%d%s", 25, "%")};
    c.fanHigh.items = {Format("%d%s", 80, "%"), Format("%d%s", 90, "%"), Format("%d%s", 100, "%")};
    // The degree sign follows each number as a text of its own.
    c.tempOver.items = {Format("%d", 80) + degrees, Format("%d", 85) + degrees, Format("%d", 90) + degrees};
    c.tempLow.items = {Format("%d", 50) + degrees, Format("%d", 55) + degrees};
    c.alarmTemperature.items.clear();
    for (int i = 0; i < kAlarmChoices; ++i)
        c.alarmTemperature.items.push_back(Format("%d", kAlarmFirstDegree + i) + degrees);

    c.curveHysteresis.items.clear();
    for (uint32_t i = 0; i <= AppSettings::kMaxFanCurveHysteresis; ++i)
        c.curveHysteresis.items.push_back(Format("%d", static_cast<int>(i)) + degrees);
    c.curveSpinDown.items.clear();
    for (uint32_t i = 0; i <= AppSettings::kMaxFanCurveSpinDownDelay; ++i)
        c.curveSpinDown.items.push_back(Format("%d s", static_cast<int>(i)));
    // A stored value past the list (another program's) shows its largest entry, which the fan
    // automation uses for it as well.
    c.curveHysteresis.Select(static_cast<int>(std::min(settings_.fanCurveHysteresis, AppSettings::kMaxFanCurveHysteresis)));
    c.curveSpinDown.Select(
        static_cast<int>(std::min(settings_.fanCurveSpinDownDelay, AppSettings::kMaxFanCurveSpinDownDelay)));

    SelectStoredChoice(c.samplingPeriod, settings_.samplingPeriod);
    SelectStoredChoice(c.fanLow, settings_.fansSet);
    SelectStoredChoice(c.fanHigh, settings_.fansHighSet);
    SelectStoredChoice(c.tempOver, settings_.tempSet);
    SelectStoredChoice(c.tempLow, settings_.templowSet);
    SetCustomControlsEnabled(settings_.highSet);
}

void CSetDialog::OnInitDialog() {
    state_ = State::Open;
    SetTexts();
    SetDialogControls& c = controls_;

    // Shown where the fan automation acts on them: it runs these schemes only for a supported
    // GPU, and the silent table was made for one board.
    c.fanTempSet.enabled = context_.supportedGpu;
    c.performanceMode.visible = context_.supportedGpu;
    c.silentMode.visible = context_.quirk0E22;

    c.lcmService.text = context_.lcmServiceInstalled ? "The LCM Services was Installed!"
                                                     : "The LCM Services Uninstalled!";

    ReadRegFlagInto(store_, reg::kRestoreUserSettings, settings_.restoreUserSettings);
    ReadRegFlagInto(store_, reg::kAutoUpdate, settings_.autoUpdate);
    ReadRegFlagInto(store_, reg::kHdmiAutoSet, settings_.hdmiAutoSet);
    ReadRegFlagInto(store_, reg::kFanTempSet, settings_.fanTempSet);
    ReadRegValueInto(store_, reg::kSamplingPeriod, settings_.samplingPeriod);
    c.restoreUserSettings.checked = settings_.restoreUserSettings;
    c.autoUpdate.checked = settings_.autoUpdate;
    c.hdmiAutoSet.checked = settings_.hdmiAutoSet;
    c.fanTempSet.checked = settings_.fanTempSet;
    c.curveDrawing.checked = settings_.samplingPeriod != 0;
    c.osdClock.checked = settings_.osdClockShow;
    c.osdTemperature.checked = settings_.osdTempShow;
    c.osdFanSpeed.checked = settings_.osdFanSpeedShow;
    c.osdFramerate.checked = settings_.osdFramerateShow;
    c.customMode.checked = settings_.highSet;
    c.silentMode.checked = settings_.highSet2;
    c.performanceMode.checked = settings_.highSet3;
    c.fanSpeedTest.checked = settings_.fanSpeedTest;

    autostart_.ReadBack();
    const int mode = autostart_.Mode();
    for (int i = 0; i < 5; ++i) c.startup[i].checked = (mode == kModeDoNotRun + i);

    FillLists();

    ReadRegFlagInto(store_, reg::kTemperatureAlarmSet, settings_.temperatureAlarmSet);
    ReadRegValueInto(store_, reg::kTemperatureAlarmValue, settings_.temperatureAlarmValue);
    c.temperatureAlarm.checked = settings_.temperatureAlarmSet;
    c.alarmTemperature.enabled = settings_.temperatureAlarmSet;
    c.alarmTemperature.Select(settings_.temperatureAlarmValue < kAlarmChoices
                                  ? static_cast<int>(settings_.temperatureAlarmValue)
                                  : -1);
}

void CSetDialog::StoreFlag(const char* name, const ui::CheckBox& box, bool& field) {
    field = box.checked;
    WriteRegValue(store_, name, field ? 1u : 0u);
}

void CSetDialog::OnOK() {
    const SetDialogControls& c = controls_;
    AppSettings& s = settings_;
    StoreFlag(reg::kRestoreUserSettings, c.restoreUserSettings, s.restoreUserSettings);
    StoreFlag(reg::kAutoUpdate, c.autoUpdate, s.autoUpdate);
    StoreFlag(reg::kHdmiAutoSet, c.hdmiAutoSet, s.hdmiAutoSet);
    StoreFlag(reg::kFanTempSet, c.fanTempSet, s.fanTempSet);
    StoreFlag(reg::kOsdClockShow, c.osdClock, s.osdClockShow);
    StoreFlag(reg::kOsdTempShow, c.osdTemperature, s.osdTempShow);
    StoreFlag(reg::kOsdFanSpeedShow, c.osdFanSpeed, s.osdFanSpeedShow);
    StoreFlag(reg::kOsdFramerateShow, c.osdFramerate, s.osdFramerateShow);
    StoreFlag(reg::kHighSet, c.customMode, s.highSet);
    StoreFlag(reg::kHighSet2, c.silentMode, s.highSet2);
    StoreFlag(reg::kHighSet3, c.performanceMode, s.highSet3);
    StoreFlag(reg::kFanSpeedTest, c.fanSpeedTest, s.fanSpeedTest);

    if (c.customMode.checked) {
        const int tempLow = ChoiceOf(c.tempLow);
        const int fanLow = ChoiceOf(c.fanLow);
        const int fanHigh = ChoiceOf(c.fanHigh);
        const int tempOver = ChoiceOf(c.tempOver);
        s.lowTemperature = LowTemperatureForChoice(tempLow);
        s.lowFanSpeed = LowFanSpeedForChoice(fanLow);
        s.highFanSpeed = HighFanSpeedForChoice(fanHigh);
        s.highTemperature = HighTemperatureForChoice(tempOver);
        s.templowSet = ToStored(tempLow);
        s.fansSet = ToStored(fanLow);
        s.fansHighSet = ToStored(fanHigh);
        s.tempSet = ToStored(tempOver);
        WriteRegValue(store_, reg::kTemplowSet, s.templowSet);
        WriteRegValue(store_, reg::kFansSet, s.fansSet);
        WriteRegValue(store_, reg::kFansHighSet, s.fansHighSet);
        WriteRegValue(store_, reg::kTempSet, s.tempSet);
    }

    StoreFlag(reg::kTemperatureAlarmSet, c.temperatureAlarm, s.temperatureAlarmSet);
    if (s.temperatureAlarmSet) {
        s.temperatureAlarmValue = static_cast<uint32_t>(ChoiceOf(c.alarmTemperature));
        WriteRegValue(store_, reg::kTemperatureAlarmValue, s.temperatureAlarmValue);
    }

    s.samplingPeriod = c.curveDrawing.checked ? ToStored(ChoiceOf(c.samplingPeriod)) : 0;
    WriteRegValue(store_, reg::kSamplingPeriod, s.samplingPeriod);
    // After the values the dialog has always written, which keep their order.
    s.fanCurveHysteresis = static_cast<uint32_t>(ChoiceOf(c.curveHysteresis));
    s.fanCurveSpinDownDelay = static_cast<uint32_t>(ChoiceOf(c.curveSpinDown));
    WriteRegValue(store_, reg::kFanCurveHysteresis, s.fanCurveHysteresis);
    WriteRegValue(store_, reg::kFanCurveSpinDownDelay, s.fanCurveSpinDownDelay);
    // The charts take the chosen period even with curve drawing off; only the stored value is 0.
    if (hooks_.setSamplingInterval) hooks_.setSamplingInterval(ToStored(ChoiceOf(c.samplingPeriod)) * 1000);
    if (hooks_.setFramerateFeed) hooks_.setFramerateFeed(s.osdFramerateShow);

    // With no option checked (an entry the dialog could not read) the entry stays as it is.
    for (int i = 0; i < 5; ++i) {
        if (c.startup[i].checked) {
            autostart_.Apply(kModeDoNotRun + i);
            break;
        }
    }
    state_ = State::Accepted;
}

void CSetDialog::OnCancel() { state_ = State::Canceled; }

void CSetDialog::OnChangePassword() {
    if (hooks_.openPasswordDialog) hooks_.openPasswordDialog();
}

void CSetDialog::SelectStartupOption(int index) {
    if (index < 0 || index >= 5) return;
    for (int i = 0; i < 5; ++i) controls_.startup[i].checked = (i == index);
}

void CSetDialog::SetCustomMode(bool on) {
    controls_.customMode.checked = on;
    if (on) {
        controls_.silentMode.checked = false;
        controls_.performanceMode.checked = false;
    }
    SetCustomControlsEnabled(on);
}

void CSetDialog::SetSilentMode(bool on) {
    controls_.silentMode.checked = on;
    if (on) {
        controls_.customMode.checked = false;
        controls_.performanceMode.checked = false;
    }
    SetCustomControlsEnabled(!on);
}

void CSetDialog::SetPerformanceMode(bool on) {
    controls_.performanceMode.checked = on;
    if (on) {
        controls_.customMode.checked = false;
        controls_.silentMode.checked = false;
    }
    SetCustomControlsEnabled(!on);
}

void CSetDialog::SetTemperatureAlarm(bool on) {
    controls_.temperatureAlarm.checked = on;
    controls_.alarmTemperature.enabled = on;
}

}  // namespace vx::app
