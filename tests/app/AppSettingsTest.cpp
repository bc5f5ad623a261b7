#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/AppSettings.h"
#include "support/FakeSettingsStore.h"

namespace vx::app {
namespace {

using Writes = std::vector<std::pair<std::string, uint32_t>>;

TEST(AppSettingsLoad, FirstStartWritesExactlyTheDefaultsThatMustExist) {
    test::FakeSettingsStore store;
    AppSettings settings;
    settings.Load(store);
    EXPECT_EQ(store.writes, (Writes{{"IphonePassWord", 482915},
                                    {"TemperatureAlarmValue", 0},
                                    {"TemperatureAlarmSet", 0},
                                    {"SamplingPeriod", 1},
                                    {"FansSet", 1},
                                    {"FansHighSet", 1},
                                    {"TempSet", 1},
                                    {"TemplowSet", 1}}));
    EXPECT_TRUE(settings.restoreUserSettings);
    EXPECT_TRUE(settings.autoUpdate);
    EXPECT_TRUE(settings.hdmiAutoSet);
    EXPECT_FALSE(settings.fanTempSet);
    EXPECT_TRUE(settings.osdTempShow);
    EXPECT_TRUE(settings.osdFanSpeedShow);
    EXPECT_FALSE(settings.osdClockShow || settings.osdFramerateShow || settings.highSet ||
                 settings.highSet2 || settings.highSet3 || settings.fanSpeedTest ||
                 settings.temperatureAlarmSet);

    // A second start finds them and writes nothing.
    store.ClearLog();
    AppSettings again;
    again.Load(store);
    EXPECT_TRUE(store.writes.empty());
}

TEST(AppSettingsLoad, ReadsInItsFixedOrderAndNeverHdmiAutoSet) {
    test::FakeSettingsStore store;
    AppSettings settings;
    settings.Load(store);
    EXPECT_EQ(store.reads,
              (std::vector<std::string>{"IphonePassWord", "TemperatureAlarmValue", "TemperatureAlarmSet",
                                        "OSDClockShow", "OSDTempShow", "OSDFramerateShow", "OSDFanSpeedShow",
                                        "FanTempSet", "RestoreUserSettings", "AutoUpdate", "SamplingPeriod",
                                        "HighSet", "HighSet2", "HighSet3", "FanSpeedTest", "FansSet",
                                        "FansHighSet", "TempSet", "TemplowSet", "FanCurveHysteresis",
                                        "FanCurveSpinDownDelay"}));
}

TEST(AppSettingsLoad, FlagsAreNonZeroAndValuesAreTakenAsRead) {
    test::FakeSettingsStore store;
    store.values = {{"OSDTempShow", 0},     {"OSDClockShow", 2},  {"HighSet", 0x80000000},
                    {"RestoreUserSettings", 0}, {"AutoUpdate", 0}, {"TemperatureAlarmSet", 5},
                    {"SamplingPeriod", 0},  {"IphonePassWord", 7}, {"TempSet", 77},
                    {"TemperatureAlarmValue", 4}, {"HdmiAutoSet", 0}};
    AppSettings s;
    s.Load(store);
    EXPECT_FALSE(s.osdTempShow);
    EXPECT_TRUE(s.osdClockShow);
    EXPECT_TRUE(s.highSet);
    EXPECT_FALSE(s.restoreUserSettings);
    EXPECT_FALSE(s.autoUpdate);
    EXPECT_TRUE(s.temperatureAlarmSet);
    EXPECT_EQ(s.samplingPeriod, 0u);
    EXPECT_EQ(s.iphonePassWord, 7u);
    EXPECT_EQ(s.tempSet, 77u);
    EXPECT_EQ(s.temperatureAlarmValue, 4u);
    EXPECT_TRUE(s.hdmiAutoSet);  // left to the settings dialog
    EXPECT_EQ(store.writes, (Writes{{"FansSet", 1}, {"FansHighSet", 1}, {"TemplowSet", 1}}));
}

TEST(AppSettingsLoad, AStoreThatRefusesWritesLeavesTheDefaults) {
    test::FakeSettingsStore store;
    store.failWrites = true;
    AppSettings s;
    s.Load(store);
    EXPECT_EQ(store.WriteCount(), 8);
    EXPECT_TRUE(store.values.empty());
    EXPECT_EQ(s.iphonePassWord, 482915u);
    EXPECT_EQ(s.samplingPeriod, 1u);
    EXPECT_EQ(s.templowSet, 1u);
}

}  // namespace
}  // namespace vx::app
