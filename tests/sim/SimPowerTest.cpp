// The simulated power and thermal policies, the power target's cap on the live model, the
// driver settings sessions and the rig's `power` and `drsBaseProfile` objects.
#include "sim/Simulator.h"

#include "SimTestSupport.h"
#include "gpu/NvApiIds.h"
#include "gpu/PowerStructs.h"
#include "gpu/TelemetryStructs.h"
#include "support/FakeClock.h"
#include "support/RigBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vx::sim {
namespace {

using namespace vx::nvapi;
using ::testing::HasSubstr;

Rig LoadedRig() {
    Rig rig = test::RigBuilder().Gpu(0x1B80).Build();
    rig.gpus[0].telemetry.load.percent = 100;
    return rig;
}

class SimPower : public ::testing::Test {
protected:
    SimPower() {
        driver_.sim().SetClock(clock_);
        handles_ = driver_.InitializeAndEnumerate();
    }

    PhysicalGpuHandle gpu() const { return handles_.at(0); }
    int32_t SetPower(uint32_t policy, uint32_t limit) {
        PowerPoliciesStatus status = test::Versioned<PowerPoliciesStatus>(kPowerPoliciesStatusVer);
        status.count = 1;
        status.entries[0] = {policy, 0, limit, 0};
        return driver_.Entry<PowerPoliciesStatusFn>(GPU_PowerPoliciesSetStatus)(gpu(), &status);
    }
    int32_t GetPower(uint32_t policy, uint32_t& limit) {
        PowerPoliciesStatus status = test::Versioned<PowerPoliciesStatus>(kPowerPoliciesStatusVer);
        status.count = 1;
        status.entries[0].policyId = policy;
        const int32_t result = driver_.Entry<PowerPoliciesStatusFn>(GPU_PowerPoliciesGetStatus)(gpu(), &status);
        limit = status.entries[0].powerLimit;
        return result;
    }
    uint32_t PowerNow() {
        PowerTopologyStatus status = test::Versioned<PowerTopologyStatus>(kPowerTopologyStatusVer);
        status.count = 1;
        EXPECT_EQ(driver_.Entry<PowerTopologyGetStatusFn>(GPU_PowerTopologyGetStatus)(gpu(), &status), OK);
        return status.entries[0].power;
    }
    uint32_t GraphicsKhzNow() {
        ClockFrequencies clocks = test::Versioned<ClockFrequencies>(kClockFrequenciesVer);
        EXPECT_EQ(driver_.Entry<GetAllClockFrequenciesFn>(GPU_GetAllClockFrequencies)(gpu(), &clocks), OK);
        return clocks.domains[kClockDomainGraphics].frequencyKhz;
    }

    test::FakeClock clock_;
    test::SimulatedDriver driver_{LoadedRig()};
    std::vector<PhysicalGpuHandle> handles_;
};

TEST_F(SimPower, PoliciesReportTheirRangesAndDefaults) {
    PowerPoliciesInfo power = test::Versioned<PowerPoliciesInfo>(kPowerPoliciesInfoVer);
    ASSERT_EQ(driver_.Entry<PowerPoliciesGetInfoFn>(GPU_PowerPoliciesGetInfo)(gpu(), &power), OK);
    EXPECT_EQ(power.valid, 1);
    EXPECT_EQ(power.count, 1);
    EXPECT_EQ(power.entries[0].pwrLimitMin, 50000u);
    EXPECT_EQ(power.entries[0].pwrLimitDefault, 100000u);
    EXPECT_EQ(power.entries[0].pwrLimitMax, 120000u);

    ThermalPoliciesInfo thermal = test::Versioned<ThermalPoliciesInfo>(kThermalPoliciesInfoVer);
    ASSERT_EQ(driver_.Entry<ThermalPoliciesGetInfoFn>(GPU_ThermalPoliciesGetInfo)(gpu(), &thermal), OK);
    EXPECT_EQ(thermal.flags, kThermalPoliciesSupported);
    ASSERT_EQ(thermal.count, 2);
    EXPECT_EQ(thermal.entries[1].policyId, kThermalPolicyAcoustic);
    EXPECT_EQ(thermal.entries[1].tempLimitDefault, 83 * 256);
    EXPECT_EQ(thermal.entries[1].flags, kThermalAcousticAvailable);

    uint32_t limit = 0;
    ASSERT_EQ(GetPower(kPowerPolicyTotalGpu, limit), OK);
    EXPECT_EQ(limit, 100000u);

    PowerPoliciesInfo wrongVersion = test::Versioned<PowerPoliciesInfo>(kPowerPoliciesInfoVer + 1);
    EXPECT_EQ(driver_.Entry<PowerPoliciesGetInfoFn>(GPU_PowerPoliciesGetInfo)(gpu(), &wrongVersion),
              INCOMPATIBLE_STRUCT_VERSION);
}

TEST_F(SimPower, WritesOutsideAPolicyChangeNothing) {
    ASSERT_EQ(SetPower(kPowerPolicyTotalGpu, 120000), OK);
    EXPECT_EQ(SetPower(kPowerPolicyTotalGpu, 120001), INVALID_ARGUMENT);
    EXPECT_EQ(SetPower(kPowerPolicyTotalGpu, 49999), INVALID_ARGUMENT);
    EXPECT_EQ(SetPower(3, 100000), INVALID_ARGUMENT);
    uint32_t limit = 0;
    ASSERT_EQ(GetPower(kPowerPolicyTotalGpu, limit), OK);
    EXPECT_EQ(limit, 120000u);
    EXPECT_EQ(GetPower(3, limit), INVALID_ARGUMENT);

    ThermalPoliciesStatus thermal = test::Versioned<ThermalPoliciesStatus>(kThermalPoliciesStatusVer);
    thermal.count = 1;
    thermal.entries[0] = {kThermalPolicyAcoustic, 93 * 256, 0};
    EXPECT_EQ(driver_.Entry<ThermalPoliciesStatusFn>(GPU_ClientThermalPoliciesSetStatus)(gpu(), &thermal),
              INVALID_ARGUMENT);
    thermal.entries[0] = {kThermalPolicyAcoustic, 70 * 256, 1};
    ASSERT_EQ(driver_.Entry<ThermalPoliciesStatusFn>(GPU_ClientThermalPoliciesSetStatus)(gpu(), &thermal), OK);
    ThermalPoliciesStatus read = test::Versioned<ThermalPoliciesStatus>(kThermalPoliciesStatusVer);
    read.count = 2;
    read.entries[0].policyId = kThermalPolicyGps;
    read.entries[1].policyId = kThermalPolicyAcoustic;
    ASSERT_EQ(driver_.Entry<ThermalPoliciesStatusFn>(GPU_ClientThermalPoliciesGetStatus)(gpu(), &read), OK);
    EXPECT_EQ(read.entries[0].currentLimit, 83 * 256);
    EXPECT_EQ(read.entries[1].currentLimit, 70 * 256);
    EXPECT_EQ(read.entries[1].flags, 1u);
}

TEST_F(SimPower, LowerPowerTargetCapsPowerAndClockOnceTheModelMoves) {
    clock_.Advance(1000);
    const uint32_t freePower = PowerNow();
    const uint32_t freeClock = GraphicsKhzNow();
    ASSERT_GT(freePower, 60000u);  // 140 W of 150 W at full load

    ASSERT_EQ(SetPower(kPowerPolicyTotalGpu, 60000), OK);
    clock_.Advance(200);
    EXPECT_LE(PowerNow(), 60000u);
    EXPECT_LT(GraphicsKhzNow(), freeClock);

    // Back up to the maximum: the load no longer hits the target.
    ASSERT_EQ(SetPower(kPowerPolicyTotalGpu, 120000), OK);
    clock_.Advance(200);
    EXPECT_EQ(PowerNow(), freePower);
    EXPECT_EQ(GraphicsKhzNow(), freeClock);
}

// ---- Driver settings ----

TEST_F(SimPower, DrsSessionsWorkOnCopiesUntilSaved) {
    auto create = driver_.Entry<DrsCreateSessionFn>(DRS_CreateSession);
    auto destroy = driver_.Entry<DrsSessionFn>(DRS_DestroySession);
    auto load = driver_.Entry<DrsSessionFn>(DRS_LoadSettings);
    auto save = driver_.Entry<DrsSessionFn>(DRS_SaveSettings);
    auto base = driver_.Entry<DrsGetBaseProfileFn>(DRS_GetBaseProfile);
    auto get = driver_.Entry<DrsGetSettingFn>(DRS_GetSetting);
    auto set = driver_.Entry<DrsSetSettingFn>(DRS_SetSetting);

    auto setting = std::make_unique<DrsSetting>();
    auto write = [&](DrsSessionHandle session, DrsProfileHandle profile, uint32_t value) {
        *setting = {};
        setting->version = kDrsSettingVer;
        setting->settingId = kDrsFrameRateLimiter;
        setting->currentValue.dword = value;
        return set(session, profile, setting.get());
    };
    auto read = [&](DrsSessionHandle session, DrsProfileHandle profile, uint32_t& value) {
        *setting = {};
        setting->version = kDrsSettingVer;
        const int32_t status = get(session, profile, kDrsFrameRateLimiter, setting.get());
        value = setting->currentValue.dword;
        return status;
    };

    DrsSessionHandle first = nullptr;
    DrsProfileHandle profile = nullptr;
    ASSERT_EQ(create(&first), OK);
    ASSERT_EQ(base(first, &profile), OK);
    uint32_t value = 0;
    EXPECT_EQ(read(first, profile, value), kDrsSettingNotFound);  // nothing loaded yet
    ASSERT_EQ(load(first), OK);
    ASSERT_EQ(write(first, profile, 42), OK);
    ASSERT_EQ(read(first, profile, value), OK);
    EXPECT_EQ(value, 42u);

    DrsSessionHandle second = nullptr;
    ASSERT_EQ(create(&second), OK);
    ASSERT_EQ(load(second), OK);
    EXPECT_EQ(read(second, profile, value), kDrsSettingNotFound);  // not saved yet

    ASSERT_EQ(save(first), OK);
    ASSERT_EQ(destroy(first), OK);
    EXPECT_EQ(load(first), INVALID_HANDLE);
    EXPECT_EQ(destroy(first), INVALID_HANDLE);
    ASSERT_EQ(load(second), OK);
    ASSERT_EQ(read(second, profile, value), OK);
    EXPECT_EQ(value, 42u);

    ASSERT_EQ(write(second, profile, 7), OK);
    ASSERT_EQ(destroy(second), OK);  // unsaved: dropped
    DrsSessionHandle third = nullptr;
    ASSERT_EQ(create(&third), OK);
    ASSERT_EQ(load(third), OK);
    ASSERT_EQ(read(third, profile, value), OK);
    EXPECT_EQ(value, 42u);
    EXPECT_EQ(read(third, nullptr, value), INVALID_HANDLE);
    ASSERT_EQ(destroy(third), OK);
}

// ---- Rig files ----

RigLoadResult ParseGpu(const std::string& gpuFields, const std::string& rigFields = "") {
    return ParseRigJson(R"({)" + rigFields + R"("gpus": [{"pciDeviceId": "0x1B82")" + gpuFields + "}]}",
                        "rigs/p.json");
}

TEST(SimPowerRig, PowerObjectAndBaseProfileAreRead) {
    RigLoadResult empty = ParseGpu("");
    ASSERT_TRUE(empty.rig) << empty.error->message;
    EXPECT_EQ(empty.rig->gpus[0].power, PowerConfig{});
    EXPECT_TRUE(empty.rig->drsBaseProfile.empty());

    RigLoadResult given = ParseGpu(
        R"(, "power": {"powerPolicies": [{"policyId": 0, "minMilliPercent": 40000, "maxMilliPercent": 150000}],
                       "thermalSupported": false,
                       "thermalPolicies": [{"policyId": 1, "minC": 65.5, "defaultC": 80, "maxC": 90}]})",
        R"("drsBaseProfile": {"0x10834FEE": 268435516, "42": 1}, )");
    ASSERT_TRUE(given.rig) << given.error->message;
    const PowerConfig& power = given.rig->gpus[0].power;
    EXPECT_EQ(power.powerPolicies[0].minMilliPercent, 40000u);
    EXPECT_EQ(power.powerPolicies[0].defaultMilliPercent, 100000u);
    EXPECT_FALSE(power.thermalSupported);
    ASSERT_EQ(power.thermalPolicies.size(), 1u);
    EXPECT_EQ(power.thermalPolicies[0].minUnits, 16768);
    EXPECT_EQ(given.rig->drsBaseProfile.at(kDrsFrameRateLimiter), 268435516u);
    EXPECT_EQ(given.rig->drsBaseProfile.at(42), 1u);
}

TEST(SimPowerRig, BadPowerFieldsAreNamed) {
    const std::pair<std::string, std::string> cases[] = {
        {R"(, "power": {"policies": []})", "gpus[0].power.policies: unknown field"},
        {R"(, "power": {"powerPolicies": [{}, {}]})", "gpus[0].power.powerPolicies[1].policyId: expected a policy ID"},
        {R"(, "power": {"powerPolicies": [{"minMilliPercent": 200000}]})",
         "gpus[0].power.powerPolicies[0].defaultMilliPercent: expected minMilliPercent <="},
        {R"(, "power": {"thermalPolicies": [{"maxC": 92.001}]})", "gpus[0].power.thermalPolicies[0].maxC: expected"},
        {R"(, "power": {"powerPolicies": [{}, {"policyId": 1}, {"policyId": 2}, {"policyId": 3}, {"policyId": 4}]})",
         "gpus[0].power.powerPolicies: expected at most 4 policies, found 5"},
    };
    for (const auto& [fields, expected] : cases) {
        RigLoadResult result = ParseGpu(fields);
        ASSERT_TRUE(result.error) << fields;
        EXPECT_THAT(result.error->message, HasSubstr(expected)) << fields;
    }
    RigLoadResult badKey = ParseGpu("", R"("drsBaseProfile": {"fps": 1}, )");
    ASSERT_TRUE(badKey.error);
    EXPECT_THAT(badKey.error->message, HasSubstr("drsBaseProfile.fps: expected a setting ID"));
}

}  // namespace
}  // namespace vx::sim
