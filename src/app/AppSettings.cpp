#include "app/AppSettings.h"

#include "app/RegistryValues.h"

namespace vx::app {
namespace {

void ReadFlag(const platform::SettingsStore& store, const char* name, bool& flag) {
    ReadRegFlagInto(store, name, flag);
}

// A first start leaves these in the store so that other programs see the defaults.
void ReadValueOrWriteDefault(platform::SettingsStore& store, const char* name, uint32_t& field) {
    if (!ReadRegValueInto(store, name, field)) WriteRegValue(store, name, field);
}

void ReadFlagOrWriteDefault(platform::SettingsStore& store, const char* name, bool& flag) {
    if (!ReadRegFlagInto(store, name, flag)) WriteRegValue(store, name, flag ? 1u : 0u);
}

}  // namespace

void AppSettings::Load(platform::SettingsStore& store) {
    ReadValueOrWriteDefault(store, reg::kIphonePassWord, iphonePassWord);
    ReadValueOrWriteDefault(store, reg::kTemperatureAlarmValue, temperatureAlarmValue);
    ReadFlagOrWriteDefault(store, reg::kTemperatureAlarmSet, temperatureAlarmSet);
    ReadFlag(store, reg::kOsdClockShow, osdClockShow);
    ReadFlag(store, reg::kOsdTempShow, osdTempShow);
    ReadFlag(store, reg::kOsdFramerateShow, osdFramerateShow);
    ReadFlag(store, reg::kOsdFanSpeedShow, osdFanSpeedShow);
    ReadFlag(store, reg::kFanTempSet, fanTempSet);
    ReadFlag(store, reg::kRestoreUserSettings, restoreUserSettings);
    ReadFlag(store, reg::kAutoUpdate, autoUpdate);
    ReadValueOrWriteDefault(store, reg::kSamplingPeriod, samplingPeriod);
    ReadFlag(store, reg::kHighSet, highSet);
    ReadFlag(store, reg::kHighSet2, highSet2);
    ReadFlag(store, reg::kHighSet3, highSet3);
    ReadFlag(store, reg::kFanSpeedTest, fanSpeedTest);
    ReadValueOrWriteDefault(store, reg::kFansSet, fansSet);
    ReadValueOrWriteDefault(store, reg::kFansHighSet, fansHighSet);
    ReadValueOrWriteDefault(store, reg::kTempSet, tempSet);
    ReadValueOrWriteDefault(store, reg::kTemplowSet, templowSet);
    ReadRegValueInto(store, reg::kFanCurveHysteresis, fanCurveHysteresis);
    ReadRegValueInto(store, reg::kFanCurveSpinDownDelay, fanCurveSpinDownDelay);
}

}  // namespace vx::app
