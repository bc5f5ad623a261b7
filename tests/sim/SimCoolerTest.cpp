// The simulated cooler entries: the cooler list, fixed levels and their effect on the thermal
// model, restore, fan-stop, and the rig's cooler description.
#include "gpu/CoolerStructs.h"
#include "gpu/NvApiIds.h"
#include "gpu/TelemetryStructs.h"
#include "sim/Rig.h"
#include "sim/ThermalModel.h"
#include "support/FakeClock.h"
#include "support/RigBuilder.h"
#include "SimTestSupport.h"

#include <gtest/gtest.h>

namespace vx::sim {
namespace {

using namespace vx::nvapi;
using test::Versioned;

class SimCooler : public ::testing::Test {
protected:
    void Begin(Rig rig) {
        driver_ = std::make_unique<test::SimulatedDriver>(std::move(rig));
        driver_->sim().SetClock(clock);
        handles = driver_->InitializeAndEnumerate();
        ASSERT_FALSE(handles.empty());
    }
    int32_t Read(CoolerSettings& settings, uint32_t index = kAllCoolers) {
        settings = Versioned<CoolerSettings>(kCoolerSettingsVer);
        return driver_->Entry<GetCoolerSettingsFn>(GPU_GetCoolerSettings)(handles[0], index, &settings);
    }
    int32_t SetLevel(uint32_t level, uint32_t policy = kCoolerPolicyManual, uint32_t index = 0) {
        CoolerLevels levels = Versioned<CoolerLevels>(kCoolerLevelsVer);
        levels.entry[0] = {level, policy};
        return driver_->Entry<SetCoolerLevelsFn>(GPU_SetCoolerLevels)(handles[0], index, &levels);
    }
    int32_t Restore(const uint32_t* indices, uint32_t count) {
        return driver_->Entry<RestoreCoolerSettingsFn>(GPU_RestoreCoolerSettings)(handles[0], indices, count);
    }
    int32_t TemperatureC() {
        ThermalSettings settings = Versioned<ThermalSettings>(kThermalSettingsVer);
        EXPECT_EQ(driver_->Entry<GetThermalSettingsFn>(GPU_GetThermalSettings)(handles[0], 0, &settings), 0);
        return settings.sensor[0].currentTemp;
    }
    Simulator& sim() { return driver_->sim(); }

    test::FakeClock clock;
    std::unique_ptr<test::SimulatedDriver> driver_;
    std::vector<PhysicalGpuHandle> handles;
};

TEST_F(SimCooler, ListsTheRigsCoolersAllAtOnceOrOneByIndex) {
    Rig rig = test::RigBuilder().Gpu(0x1B82).Build();
    rig.gpus[0].cooler.units = {CoolerUnit{2, 0, 100, 0, 0}, CoolerUnit{1, 25, 90, 40, kCoolerPolicyManual}};
    Begin(rig);
    CoolerSettings settings{};
    ASSERT_EQ(Read(settings), 0);
    EXPECT_EQ(settings.count, 2u);
    const uint32_t* fan = settings.cooler[1];
    EXPECT_EQ(fan[kCoolerType], 1u);
    EXPECT_EQ(fan[kCoolerCurrentMin], 25u);
    EXPECT_EQ(fan[kCoolerCurrentMax], 90u);
    EXPECT_EQ(fan[kCoolerCurrentLevel], 40u);
    EXPECT_EQ(fan[kCoolerCurrentPolicy], kCoolerPolicyManual);
    EXPECT_EQ(fan[kCoolerRunning], 1u);

    ASSERT_EQ(Read(settings, 1), 0);
    EXPECT_EQ(settings.count, 1u);
    EXPECT_EQ(settings.cooler[0][kCoolerCurrentMax], 90u);
    EXPECT_EQ(Read(settings, 2), INVALID_ARGUMENT);

    sim().RefuseVersion(GPU_GetCoolerSettings, kCoolerSettingsVer);
    EXPECT_EQ(Read(settings), INCOMPATIBLE_STRUCT_VERSION);
}

TEST_F(SimCooler, FixedLevelIsKeptWithinTheCoolersRangeAndRestoreGoesBackToTheCurve) {
    Begin(test::RigBuilder().Gpu(0x1B82).Build());
    CoolerSettings settings{};
    ASSERT_EQ(Read(settings), 0);
    EXPECT_EQ(settings.cooler[0][kCoolerCurrentPolicy], kCoolerPolicyAutomatic);
    EXPECT_EQ(settings.cooler[0][kCoolerCurrentLevel], 30u);  // the automatic curve when cool

    EXPECT_EQ(SetLevel(29), INVALID_ARGUMENT);
    EXPECT_EQ(SetLevel(101), INVALID_ARGUMENT);
    EXPECT_EQ(SetLevel(50, kCoolerPolicyManual, 1), INVALID_ARGUMENT);
    ASSERT_EQ(SetLevel(85), 0);
    ASSERT_EQ(Read(settings), 0);
    EXPECT_EQ(settings.cooler[0][kCoolerCurrentPolicy], kCoolerPolicyManual);
    EXPECT_EQ(settings.cooler[0][kCoolerCurrentLevel], 85u);

    EXPECT_EQ(Restore(nullptr, 21), INVALID_ARGUMENT);
    const uint32_t wrong[] = {3};
    EXPECT_EQ(Restore(wrong, 1), INVALID_ARGUMENT);
    const uint32_t first[] = {0};
    ASSERT_EQ(Restore(first, 1), 0);
    ASSERT_EQ(Read(settings), 0);
    EXPECT_EQ(settings.cooler[0][kCoolerCurrentPolicy], kCoolerPolicyAutomatic);
    EXPECT_EQ(settings.cooler[0][kCoolerCurrentLevel], 30u);
}

TEST_F(SimCooler, BackOnTheAutomaticCurveTheFanFollowsTheTemperature) {
    Rig rig = test::RigBuilder().Gpu(0x1B82).Build();
    rig.gpus[0].telemetry.load.percent = 100;
    Begin(rig);
    ASSERT_EQ(SetLevel(30), 0);
    ASSERT_EQ(Restore(nullptr, 0), 0);
    clock.Advance(10 * 60 * 1000);
    CoolerSettings settings{};
    ASSERT_EQ(Read(settings), 0);
    const double level = settings.cooler[0][kCoolerCurrentLevel];
    EXPECT_NEAR(level, ThermalModel::AutoFanPercent(TemperatureC()), 2.0);  // whole degrees read
    EXPECT_GT(level, 30.0);
    EXPECT_LT(level, 100.0);
}

TEST_F(SimCooler, FanStopCapabilityIsPerGpu) {
    Rig rig = test::RigBuilder().Gpu(0x1B82).Gpu(0x1B82).Build();
    rig.gpus[0].cooler.fanStopCapable = true;
    Begin(rig);
    auto capability = [&](std::size_t gpu) {
        FanStopCapability value = Versioned<FanStopCapability>(kFanStopCapabilityVer);
        EXPECT_EQ(driver_->Entry<GetFanStopCapabilityFn>(GPU_GetFanStopCapability)(handles[gpu], &value), 0);
        return value.flags;
    };
    EXPECT_EQ(capability(0), 1u);
    EXPECT_EQ(capability(1), 0u);
}

TEST(SimCoolerRig, ReadsTheCoolerObjectAndNamesItsFaults) {
    const std::string head = R"({"name": "r", "gpus": [{"pciDeviceId": "0x1B82", "cooler": )";
    const std::string tail = "}]}";
    RigLoadResult loaded = ParseRigJson(
        head + R"({"units": [{"type": 1, "minLevel": 20, "maxLevel": 95, "level": 50, "policy": 1}],
                   "fanStopCapable": true})" + tail, "rig.json");
    ASSERT_TRUE(loaded.rig) << loaded.error->message;
    const CoolerConfig& cooler = loaded.rig->gpus[0].cooler;
    ASSERT_EQ(cooler.units.size(), 1u);
    EXPECT_EQ(cooler.units[0], (CoolerUnit{1, 20, 95, 50, 1}));
    EXPECT_TRUE(cooler.fanStopCapable);
    EXPECT_FALSE(cooler.fanStopped);

    loaded = ParseRigJson(head + R"({"units": []})" + tail, "rig.json");
    ASSERT_TRUE(loaded.rig);
    EXPECT_TRUE(loaded.rig->gpus[0].cooler.units.empty());
    loaded = ParseRigJson(R"({"name": "r", "gpus": [{"pciDeviceId": "0x1B82"}]})", "rig.json");
    ASSERT_TRUE(loaded.rig);
    EXPECT_EQ(loaded.rig->gpus[0].cooler, CoolerConfig{});  // one fan by default

    for (const char* bad : {R"({"units": [{"minLevel": 60, "maxLevel": 50}]})", R"({"units": [{"level": 101}]})",
                            R"({"unit": []})", R"({"fanStopped": 1})"}) {
        loaded = ParseRigJson(head + bad + tail, "rig.json");
        ASSERT_TRUE(loaded.error) << bad;
        EXPECT_NE(loaded.error->message.find("gpus[0].cooler"), std::string::npos) << loaded.error->message;
    }
    std::string many = R"({"units": [)";
    for (int i = 0; i < 21; ++i) many += i ? ",{}" : "{}";
    loaded = ParseRigJson(head + many + "]}" + tail, "rig.json");
    ASSERT_TRUE(loaded.error);
    EXPECT_NE(loaded.error->message.find("at most 20"), std::string::npos) << loaded.error->message;
}

}  // namespace
}  // namespace vx::sim
