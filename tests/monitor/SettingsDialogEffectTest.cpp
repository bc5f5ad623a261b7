// The settings dialog's fan schemes and alarm, chosen as the user chooses them while the
// sampling loop runs, act from the next sample on.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "app/AutostartEntry.h"
#include "app/CSetDialog.h"
#include "monitor/MonitorFixture.h"
#include "support/FakeAutostart.h"

namespace vx::monitortest {
namespace {

class SettingsDialogEffectTest : public MonitorFixture {
protected:
    // The dialog over the same settings and store the running loop reads, as the window opens it.
    app::CSetDialog& OpenSettings() {
        setDialog.emplace(settings, store, autostartEntry, app::SetDialogContext{}, sampler().SettingsDialogHooks());
        setDialog->OnInitDialog();
        return *setDialog;
    }
    const tuning::LiveFields& Live(int gpu) { return dlg().record(gpu).live; }

    test::FakeAutostart autostart;
    app::AutostartEntry autostartEntry{autostart, "/opt/veltrix-plus/veltrix-plus"};
    std::optional<app::CSetDialog> setDialog;
};

TEST_F(SettingsDialogEffectTest, CurveCalmingFromTheDialogIsStoredAndFollowedAtTheNextSample) {
    StartMonitor(SteadyRig({tuningtest::kPascalId}));
    dlg().ToggleCurveSwitch();
    settings.fanCurveHysteresis = 99;  // past the list: shown, and used, as its largest entry
    app::CSetDialog& dialog = OpenSettings();
    app::SetDialogControls& c = dialog.Controls();
    EXPECT_EQ(c.curveHysteresis.selection, 20);
    EXPECT_EQ(c.curveSpinDown.selection, 5);
    EXPECT_EQ(c.curveHysteresis.items[3], "3\xC2\xB0" "C");
    EXPECT_EQ(c.curveSpinDown.items[5], "5 s");

    SetTemperature(0, 61);
    Samples(1);
    c.curveHysteresis.Select(0);
    c.curveSpinDown.Select(0);
    dialog.OnOK();
    EXPECT_EQ(store.values[app::reg::kFanCurveHysteresis], 0u);
    EXPECT_EQ(store.values[app::reg::kFanCurveSpinDownDelay], 0u);
    ClearCalls();
    SetTemperature(0, 60);
    Samples(1);
    EXPECT_EQ(TakeFanWrites(), (std::vector<FanWrite>{{0, 40}})) << "down at once, as the curve says";
}

TEST_F(SettingsDialogEffectTest, CustomModeFromTheDialogDrivesTheFanAtTheNextSample) {
    StartMonitor(SteadyRig({tuningtest::kPascalId}));
    SetTemperature(0, 85);
    Samples(2);
    ASSERT_NE(Live(0).fanPercent, 90) << "the driver's own control before any scheme";

    app::CSetDialog& dialog = OpenSettings();
    dialog.SetCustomMode(true);
    dialog.Controls().tempOver.Select(0);  // 80 °C
    dialog.Controls().fanHigh.Select(1);   // 90 %
    dialog.Controls().tempLow.Select(0);   // 50 °C
    dialog.Controls().fanLow.Select(1);    // 20 %
    dialog.OnOK();
    // A level written in one sample is what the next one reads.
    Samples(2);
    EXPECT_EQ(Live(0).fanPercent, 90);
    SetTemperature(0, 45);
    Samples(2);
    EXPECT_EQ(Live(0).fanPercent, 20);
    EXPECT_EQ(store.values[app::reg::kHighSet], 1u) << "kept for the next run";
}

TEST_F(SettingsDialogEffectTest, AssociatedFanFollowsTheSimulatedTemperatureUntilBothSettle) {
    // The demo board's own thermal model: more fan, lower temperature.
    sim::Rig rig = SteadyRig({tuningtest::kPascalId});
    rig.gpus[0].telemetry.thermalResistanceMilliCPerW = 250;
    rig.gpus[0].telemetry.load.percent = 90;
    const int64_t maxRpm = rig.gpus[0].telemetry.maxFanRpm;
    StartMonitor(std::move(rig));
    app::CSetDialog& dialog = OpenSettings();
    dialog.Controls().fanTempSet.checked = true;
    dialog.OnOK();

    Samples(1);
    int32_t previous = Live(0).temperature;
    const int32_t first = previous;
    for (int i = 0; i < 240; ++i) {
        Samples(1);
        // Each sample writes its temperature x 1.125; the simulated fan turns at that level by
        // the next one.
        const int64_t level = std::min<int32_t>(100, static_cast<int32_t>(previous * 1.125));
        EXPECT_EQ(Live(0).fanRpm, maxRpm * level / 100) << i;
        previous = Live(0).temperature;
        ASSERT_GT(previous, 0);
    }
    EXPECT_GT(previous, first + 5) << "the board warmed up under load";
    // Settled: further samples hold still.
    const tuning::LiveFields settled = Live(0);
    Samples(5);
    EXPECT_EQ(Live(0).temperature, settled.temperature);
    EXPECT_EQ(Live(0).fanPercent, settled.fanPercent);
}

TEST_F(SettingsDialogEffectTest, ChartIntervalAndFrameRateFlagReachTheSampleConsumers) {
    std::vector<uint32_t> intervals;
    std::vector<bool> framerate;
    sampleHooks.samplingIntervalChanged = [&](uint32_t ms) { intervals.push_back(ms); };
    sampleHooks.framerateDisplayChanged = [&](bool show) { framerate.push_back(show); };
    StartMonitor(SteadyRig({tuningtest::kPascalId}));
    app::CSetDialog& dialog = OpenSettings();
    dialog.Controls().curveDrawing.checked = true;
    dialog.Controls().samplingPeriod.Select(2);
    dialog.Controls().osdFramerate.checked = true;
    dialog.OnOK();
    OpenSettings().Controls().curveDrawing.checked = false;
    setDialog->Controls().osdFramerate.checked = false;
    setDialog->OnOK();
    EXPECT_EQ(intervals, (std::vector<uint32_t>{3000, 3000})) << "unchecked keeps the chosen period";
    EXPECT_EQ(framerate, (std::vector<bool>{true, false}));
}

TEST_F(SettingsDialogEffectTest, AlarmArmedInTheDialogBeepsAndOpensOneWindow) {
    int windows = 0;
    sampleHooks.showAlarm = [&windows](monitor::CIndicateInstDialog&) { ++windows; };
    StartMonitor(SteadyRig({tuningtest::kPascalId}));
    SetTemperature(0, 98);
    Samples(1);
    EXPECT_TRUE(actions.beeps.empty());

    app::CSetDialog& dialog = OpenSettings();
    dialog.SetTemperatureAlarm(true);
    dialog.Controls().alarmTemperature.Select(2);  // 95 + 2
    dialog.OnOK();
    Samples(3);
    EXPECT_EQ(actions.beeps.size(), 3u);
    EXPECT_EQ(windows, 3) << "each window was closed before the next sample";

    OpenSettings().SetTemperatureAlarm(false);
    setDialog->OnOK();
    Samples(1);
    EXPECT_EQ(actions.beeps.size(), 3u);
}

}  // namespace
}  // namespace vx::monitortest
