// Written state outlives the process when the rig asks for it.
#include "sim/Simulator.h"

#include "SimTestSupport.h"
#include "gpu/NvApiIds.h"
#include "support/RigBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

namespace vx::sim {
namespace {

using namespace vx::nvapi;
using ::testing::HasSubstr;

constexpr const char* kRigText = R"({
  "name": "Persisting rig", "persist": true,
  "gpus": [
    {"pciDeviceId": "0x1B82", "legacyLevels": [
      {"levelId": 0, "flags": 1, "domains": [{"domainId": "graphics", "frequencyKhz": 300000}]},
      {"levelId": 2, "flags": 4, "domains": [{"domainId": "graphics", "frequencyKhz": 1600000},
                                              {"domainId": "memory", "frequencyKhz": 4000000}]}]},
    {"pciDeviceId": "0x1184", "legacyLevels": [
      {"levelId": 2, "flags": 4, "domains": [{"domainId": "graphics", "frequencyKhz": 1000000}]}]}
  ]})";

class SimPersistence : public ::testing::Test {
protected:
    SimPersistence() { test::WriteText(RigPath(), kRigText); }

    std::filesystem::path RigPath() const { return dir_ / "rig.json"; }
    std::filesystem::path StatePath() const { return dir_ / "rig.json.state.json"; }

    Rig LoadRig(bool persist = true) {
        RigLoadResult result = LoadRigFile(RigPath());
        EXPECT_TRUE(result.rig);
        if (!result.rig) return {};
        result.rig->persist = persist;
        return *result.rig;
    }

    // Sets one domain of level ID `levelId` (the level at `index`) on `gpu` and returns the status.
    static int32_t SetClock(test::SimulatedDriver& driver, std::size_t gpu, int32_t index, int32_t levelId,
                            uint32_t domainId, int32_t khz) {
        std::vector<PhysicalGpuHandle> gpus = driver.InitializeAndEnumerate();
        auto table = std::make_unique<LegacyPerfClocks>();
        table->version = kLegacyPerfClocksVer;
        EXPECT_EQ(driver.Entry<GetPerfClocksFn>(GPU_GetPerfClocks)(gpus.at(gpu), index, table.get()), OK);
        for (LegacyPerfDomain& d : table->levels[index].domains)
            if (d.domainId == domainId && d.frequencyKhz) {
                d.frequencyKhz = khz;
                d.flags = 1;
            }
        return driver.Entry<SetPerfClocksFn>(GPU_SetPerfClocks)(gpus.at(gpu), levelId, table.get());
    }

    static int32_t ClockOf(Simulator& sim, std::size_t gpu, std::size_t level, std::size_t domain) {
        std::lock_guard lock(sim.mutex());
        return sim.rig().gpus.at(gpu).legacyLevels.at(level).domains.at(domain).frequencyKhz;
    }

    test::ScopedEnv noOverride_{"VXPLUS_SIM_STATE", std::nullopt};
    test::ScratchDir dir_;
};

TEST_F(SimPersistence, WrittenClocksReachTheNextSimulator) {
    {
        test::SimulatedDriver first(LoadRig());
        EXPECT_EQ(first.sim().StatePath(), StatePath());
        ASSERT_EQ(SetClock(first, 0, 1, 2, kClockDomainMemory, 4400000), OK);
        ASSERT_EQ(SetClock(first, 1, 0, 2, kClockDomainGraphics, 1100000), OK);
        EXPECT_TRUE(std::filesystem::exists(StatePath()));
    }
    test::SimulatedDriver second(LoadRig());
    EXPECT_EQ(ClockOf(second.sim(), 0, 1, 1), 4400000);
    EXPECT_EQ(ClockOf(second.sim(), 0, 1, 0), 1600000) << "what was not written keeps the rig's value";
    EXPECT_EQ(ClockOf(second.sim(), 1, 0, 0), 1100000);

    // And it is what the driver reports, not only what the rig holds.
    std::vector<PhysicalGpuHandle> gpus = second.InitializeAndEnumerate();
    auto table = std::make_unique<LegacyPerfClocks>();
    table->version = kLegacyPerfClocksVer;
    ASSERT_EQ(second.Entry<GetPerfClocksFn>(GPU_GetPerfClocks)(gpus[0], kAllLevels, table.get()), OK);
    EXPECT_EQ(table->levels[1].domains[1].frequencyKhz, 4400000);

    // A second write in the later process keeps the first one's values.
    ASSERT_EQ(SetClock(second, 0, 0, 0, kClockDomainGraphics, 350000), OK);
    test::SimulatedDriver third(LoadRig());
    EXPECT_EQ(ClockOf(third.sim(), 0, 0, 0), 350000);
    EXPECT_EQ(ClockOf(third.sim(), 0, 1, 1), 4400000);
}

TEST_F(SimPersistence, EnvironmentChoosesTheStateFile) {
    std::filesystem::path custom = dir_ / "elsewhere.json";
    {
        test::ScopedEnv env("VXPLUS_SIM_STATE", custom.string());
        test::SimulatedDriver driver(LoadRig());
        EXPECT_EQ(driver.sim().StatePath(), custom);
        ASSERT_EQ(SetClock(driver, 0, 0, 0, kClockDomainGraphics, 310000), OK);
        test::SimulatedDriver next(LoadRig());
        EXPECT_EQ(ClockOf(next.sim(), 0, 0, 0), 310000);
    }
    EXPECT_TRUE(std::filesystem::exists(custom));
    EXPECT_FALSE(std::filesystem::exists(StatePath()));
}

TEST_F(SimPersistence, SaveStateWritesOnDemandAndNothingIsKeptWithoutPersist) {
    {
        test::SimulatedDriver persisting(LoadRig());
        EXPECT_TRUE(persisting.sim().SaveState());
        EXPECT_THAT(test::ReadText(StatePath()), HasSubstr("\"format\": 1"));
    }
    std::filesystem::remove(StatePath());
    test::SimulatedDriver driver(LoadRig(false));
    EXPECT_TRUE(driver.sim().StatePath().empty());
    ASSERT_EQ(SetClock(driver, 0, 0, 0, kClockDomainGraphics, 310000), OK);
    EXPECT_FALSE(driver.sim().SaveState());
    EXPECT_FALSE(std::filesystem::exists(StatePath()));

    // A persisting rig without a file has nowhere to keep its state either.
    test::SimulatedDriver built(test::RigBuilder().Gpu(0x1B82).Persist({}).Build());
    EXPECT_TRUE(built.sim().StatePath().empty());
}

TEST_F(SimPersistence, CorruptOrForeignStateFilesAreReportedAndIgnored) {
    const std::string bad[] = {
        "{not json",
        "[]",
        R"({"format": 2, "gpus": []})",
        R"({"format": 1, "gpus": [{"index": 0, "pciDeviceId": "0x1184",
              "legacyClocks": [{"levelId": 0, "domainId": 0, "frequencyKhz": 1}]}]})",
        R"({"format": 1, "gpus": [{"index": 7, "pciDeviceId": "0x1B82"}]})",
        R"({"format": 1, "gpus": [{"index": 0, "pciDeviceId": "0x1B82",
              "legacyClocks": [{"levelId": 9, "domainId": 0, "frequencyKhz": 1}]}]})",
        R"({"format": 1, "gpus": [{"index": 0, "pciDeviceId": "0x1B82",
              "legacyClocks": [{"levelId": 0, "domainId": 0, "frequencyKhz": -1}]}]})",
        // A good entry before a bad one: nothing of the file is used.
        R"({"format": 1, "gpus": [{"index": 0, "pciDeviceId": "0x1B82",
              "legacyClocks": [{"levelId": 0, "domainId": 0, "frequencyKhz": 5},
                               {"levelId": 0, "domainId": 4, "frequencyKhz": 5}]}]})",
    };
    for (const std::string& text : bad) {
        SCOPED_TRACE(text);
        test::WriteText(StatePath(), text);
        ::testing::internal::CaptureStderr();
        test::SimulatedDriver driver(LoadRig());
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_THAT(err, HasSubstr("ignoring the state file"));
        EXPECT_THAT(err, HasSubstr(StatePath().string()));
        EXPECT_EQ(ClockOf(driver.sim(), 0, 0, 0), 300000);
    }
    // The next write replaces the bad file with a good one.
    test::SimulatedDriver driver(LoadRig());
    ASSERT_EQ(SetClock(driver, 0, 0, 0, kClockDomainGraphics, 320000), OK);
    test::SimulatedDriver next(LoadRig());
    EXPECT_EQ(ClockOf(next.sim(), 0, 0, 0), 320000);
}

TEST_F(SimPersistence, AFailedSaveIsReportedButTheWriteStillHappens) {
    test::ScopedEnv env("VXPLUS_SIM_STATE", (dir_ / "no-such-folder" / "state.json").string());
    test::SimulatedDriver driver(LoadRig());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(SetClock(driver, 0, 0, 0, kClockDomainGraphics, 330000), OK);
    EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("cannot save its state"));
    EXPECT_EQ(ClockOf(driver.sim(), 0, 0, 0), 330000);
}

}  // namespace
}  // namespace vx::sim
