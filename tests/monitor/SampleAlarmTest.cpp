// The temperature alarm of the sampling loop: threshold, beep, the single alarm window and the
// delayed power-off, with the settings re-read every sample.
#include <gtest/gtest.h>

#include "monitor/MonitorFixture.h"

namespace vx::monitortest {
namespace {

class SampleAlarmTest : public MonitorFixture {
protected:
    SampleAlarmTest() {
        sampleHooks.showAlarm = [this](monitor::CIndicateInstDialog& window) {
            ++windowsShown;
            caption = window.caption();
            text = window.text();
            EXPECT_TRUE(sampler().alarmDialogOpen());
            // The window is modal: the timer keeps sampling underneath it.
            const std::size_t before = actions.beeps.size();
            for (int i = 0; i < 3; ++i) sampler().SampleTick();
            beepsWhileOpen = actions.beeps.size() - before;
        };
    }

    int windowsShown = 0;
    std::string caption;
    std::string text;
    std::size_t beepsWhileOpen = 0;
};

TEST_F(SampleAlarmTest, ValueTwoIsQuietAt97AndBeepsEverySampleAt98WithOneWindow) {
    ArmAlarm(2);
    StartMonitor(SteadyRig({tuningtest::kPascalId}));
    SetTemperature(0, 97);
    Samples(5);
    EXPECT_TRUE(actions.beeps.empty());
    EXPECT_EQ(windowsShown, 0);
    EXPECT_EQ(sampler().labels().temperature, monitor::kLabelAlert);  // armed: red whatever the reading

    SetTemperature(0, 98);
    Samples(1);
    ASSERT_EQ(windowsShown, 1);
    EXPECT_EQ(beepsWhileOpen, 3u);
    ASSERT_EQ(actions.beeps.size(), 4u);
    EXPECT_EQ(actions.beeps[0].frequencyHz, 2300u);
    EXPECT_EQ(actions.beeps[0].durationMs, 800u);
    EXPECT_EQ(caption, "Veltrix Plus");
    EXPECT_EQ(text, "GPU 1 temperature is too high!!!\n");
    EXPECT_FALSE(sampler().alarmDialogOpen());
    EXPECT_TRUE(actions.shutdowns.empty());
    EXPECT_EQ(dlg().record(0).live.temperature, 98);
}

TEST_F(SampleAlarmTest, Above120ShutsDownOnceAfterTenSecondsWithoutAWindow) {
    ArmAlarm(2);
    StartMonitor(SteadyRig({tuningtest::kPascalId, tuningtest::kPascalId}));
    SetTemperature(0, 121);
    Samples(4);
    EXPECT_EQ(windowsShown, 0);
    EXPECT_EQ(actions.beeps.size(), 4u);
    ASSERT_EQ(actions.shutdowns.size(), 1u);  // asking again would push the power-off back
    EXPECT_EQ(actions.shutdowns[0].delaySeconds, 10u);
    EXPECT_EQ(actions.shutdowns[0].message, "GPU 1 temperature is too high!!!\n");
    EXPECT_TRUE(sampler().shutdownRequested());
}

TEST_F(SampleAlarmTest, RefusedShutdownIsAskedAgainAndShowsNothing) {
    ArmAlarm(0);
    actions.refuseShutdown = true;
    StartMonitor(SteadyRig({tuningtest::kPascalId, tuningtest::kPascalId}));
    SetTemperature(1, 125);
    Samples(2);
    EXPECT_EQ(windowsShown, 0);
    ASSERT_EQ(actions.shutdowns.size(), 2u);
    EXPECT_EQ(actions.shutdowns[1].message, "GPU 2 temperature is too high!!!\n");
    EXPECT_FALSE(sampler().shutdownRequested());
}

TEST_F(SampleAlarmTest, SettingsAreReadAgainEverySample) {
    StartMonitor(SteadyRig({tuningtest::kPascalId}));
    SetTemperature(0, 99);
    Samples(2);
    EXPECT_TRUE(actions.beeps.empty());
    EXPECT_EQ(sampler().labels().temperature, monitor::kLabelNormal);

    store.values[app::reg::kTemperatureAlarmSet] = 1;  // no value stored: 95 °C
    Samples(1);
    EXPECT_TRUE(settings.temperatureAlarmSet);
    EXPECT_EQ(actions.beeps.size(), 4u);  // the sample, and three under its window

    store.values[app::reg::kTemperatureAlarmValue] = 4;  // 99 °C, strictly above only
    actions.beeps.clear();
    Samples(2);
    EXPECT_TRUE(actions.beeps.empty());

    store.values.erase(app::reg::kTemperatureAlarmSet);  // an unreadable flag keeps the last one
    SetTemperature(0, 100);
    Samples(1);
    EXPECT_FALSE(actions.beeps.empty());
}

TEST_F(SampleAlarmTest, GpuWithoutTemperatureShowsMinusOneRunsNoAlarmOrCurveButKeepsTheRest) {
    ArmAlarm(0);
    sim::Rig rig = SteadyRig({tuningtest::kPascalId, tuningtest::kPascalId});
    rig.gpus[1].telemetry.sensors[0].target = nvapi::kThermalTargetMemory;  // no GPU sensor
    std::vector<int> displayed;
    sampleHooks.appendDisplayText = [&](int gpu) { displayed.push_back(gpu); };
    StartMonitor(std::move(rig));
    gpus->SetUiFlag(1, 1);
    SetTemperature(1, 110);
    Samples(2);
    const tuning::LiveFields& live = dlg().record(1).live;
    EXPECT_EQ(live.temperature, -1);
    EXPECT_TRUE(actions.beeps.empty());
    EXPECT_TRUE(TakeFanWrites().empty());
    EXPECT_GT(live.graphicsClock, 0);
    EXPECT_GT(live.coreVoltage, 0);
    EXPECT_EQ(displayed, (std::vector<int>{0, 1, 0, 1}));

    // "Fan and temperature associated" treats the unknown temperature as a hot one.
    settings.fanTempSet = true;
    Samples(1);
    EXPECT_EQ(TakeFanWrites(), (std::vector<FanWrite>{{0, 45}, {1, 100}}));
    EXPECT_EQ(dlg().record(1).live.fanPercent, 100);
}

}  // namespace
}  // namespace vx::monitortest
