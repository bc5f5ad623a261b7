// The `clocks` object of rig files: what it describes reaches the driver's clock entries, and
// every kind of mistake is refused with the file, the JSON path and what was expected.
#include "sim/Rig.h"

#include "SimTestSupport.h"
#include "gpu/ClockStructs.h"
#include "gpu/NvApiIds.h"
#include "support/RigBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vx::sim {
namespace {

using namespace vx::nvapi;
using ::testing::HasSubstr;

std::string RigWithClocks(const std::string& clocks) {
    return R"({"gpus": [{"pciDeviceId": "0x1184", "clocks": )" + clocks + "}]}";
}

std::string ErrorOf(const std::string& clocks) {
    RigLoadResult result = ParseRigJson(RigWithClocks(clocks), "clk.json");
    EXPECT_FALSE(result.rig.has_value()) << clocks;
    return result.error ? result.error->message : std::string();
}

// `count` copies of `item`, with "#" replaced by the copy's number.
std::string Repeated(int count, const std::string& item) {
    std::string list;
    for (int i = 0; i < count; ++i) {
        std::string one = item;
        if (auto at = one.find('#'); at != std::string::npos) one.replace(at, 1, std::to_string(i));
        list += (i ? ", " : "") + one;
    }
    return "[" + list + "]";
}

constexpr const char* kFullClocks = R"({
  "pstatesEditable": true,
  "pstates": [
    {"pstateId": 0, "clocks": [
       {"domainId": "graphics", "type": "range", "deltaKhz": 50000, "deltaMinKhz": -100000, "deltaMaxKhz": 150000,
        "freqKhz": 500000, "maxFreqKhz": 1200000, "voltageDomainId": "core", "minVoltageUv": 800000, "maxVoltageUv": 1200000},
       {"domainId": 4, "type": 0, "editable": false, "freqKhz": 3000000}],
     "baseVoltages": [{"domainId": 0, "voltUv": 1100000, "deltaUv": -25000, "deltaMinUv": -50000, "deltaMaxUv": 50000}]},
    {"pstateId": 8, "editable": false, "clocks": [{"domainId": "graphics", "type": "single", "freqKhz": 300000}]}
  ],
  "overVoltages": [{"domainId": "core", "voltUv": 1200000, "deltaMaxUv": 75000}],
  "overVoltPercentSupported": true, "overVoltPercent": 40,
  "boostLocksSupported": true,
  "locks": [{"limitId": "voltage", "mode": "voltage", "value": 1050000}, {"limitId": 0, "mode": 2, "value": 1500000}],
  "perfLimitFirst": 2, "perfLimitSecond": 5,
  "pstatesInfo": [1, 2, 3],
  "voltageTableCount": 3
})";

// What the rig file says is what the driver reports.
TEST(SimRigClockJson, AFullClocksObjectReachesTheDriverEntries) {
    RigLoadResult loaded = ParseRigJson(RigWithClocks(kFullClocks), "clk.json");
    ASSERT_TRUE(loaded.rig) << loaded.error->message;
    ClockConfig& clocks = loaded.rig->gpus[0].clocks;
    EXPECT_EQ(clocks.perfLimitFirst, 2u);
    EXPECT_EQ(clocks.pstates[0].clocks[0].voltageDomainId, kVoltageDomainCore);
    EXPECT_EQ(clocks.pstates[0].clocks[0].minVoltageUv, 800000u);
    EXPECT_EQ(clocks.pstates[0].clocks[0].maxVoltageUv, 1200000u);
    EXPECT_EQ(clocks.overVoltages[0].deltaUv, 0) << "a delta left out is 0";

    test::SimulatedDriver driver(*loaded.rig);
    std::vector<PhysicalGpuHandle> gpus = driver.InitializeAndEnumerate();
    ASSERT_EQ(gpus.size(), 1u);
    auto info = std::make_unique<Pstates20Info>();
    info->version = kPstates20Ver3;
    ASSERT_EQ(driver.Entry<Pstates20Fn>(GPU_GetPstates20)(gpus[0], info.get()), OK);
    EXPECT_EQ(info->numPstates, 2u);
    EXPECT_EQ(info->numClocks, 2u);
    const Pstates20Clock& graphics = info->pstates[0].clocks[0];
    EXPECT_EQ(graphics.typeId, kClockTypeRange);
    EXPECT_EQ(graphics.flags, kPstates20Editable);
    EXPECT_EQ(graphics.freqDeltaKhz.value, 50000);
    EXPECT_EQ(graphics.freqDeltaKhz.minimum, -100000);
    EXPECT_EQ(graphics.freqDeltaKhz.maximum, 150000);
    EXPECT_EQ(graphics.data.range.minFreqKhz, 500000u);
    EXPECT_EQ(graphics.data.range.maxFreqKhz, 1200000u);
    const Pstates20Clock& memory = info->pstates[0].clocks[1];
    EXPECT_EQ(memory.domainId, kClockDomainMemory);
    EXPECT_EQ(memory.flags, 0u);
    EXPECT_EQ(memory.data.single.freqKhz, 3000000u);
    EXPECT_EQ(info->pstates[0].baseVoltages[0].voltDeltaUv.value, -25000);
    EXPECT_EQ(info->pstates[1].pstateId, 8u);
    EXPECT_EQ(info->pstates[1].flags, 0u);
    EXPECT_EQ(info->overVoltage.numVoltages, 1u);
    EXPECT_EQ(info->overVoltage.voltages[0].voltDeltaUv.maximum, 75000);

    OverVoltPercent percent{};
    percent.version = kOverVoltPercentVer;
    ASSERT_EQ(driver.Entry<OverVoltPercentFn>(GPU_GetOverVoltPercent)(gpus[0], &percent), OK);
    EXPECT_EQ(percent.percent, 40u);

    ClockBoostLock locks{};
    locks.version = kClockBoostLockVer;
    locks.count = 2;
    locks.entries[0].limitId = kLockVoltage;
    locks.entries[1].limitId = kLockMemoryMax;
    ASSERT_EQ(driver.Entry<ClockBoostLockFn>(GPU_GetClockBoostLock)(gpus[0], &locks), OK);
    EXPECT_EQ(locks.entries[0].mode, kLockVoltageMode);
    EXPECT_EQ(locks.entries[0].value, 1050000u);
    EXPECT_EQ(locks.entries[1].mode, kLockDisabled) << "a limit the rig does not list";

    auto pstatesInfo = std::make_unique<PstatesInfo>();
    pstatesInfo->version = kPstatesInfoVer;
    ASSERT_EQ(driver.Entry<PstatesInfoFn>(GPU_GetPstatesInfo)(gpus[0], pstatesInfo.get()), OK);
    EXPECT_EQ(pstatesInfo->flags, 1u);
    EXPECT_EQ(pstatesInfo->words[1], 3u);
    EXPECT_EQ(pstatesInfo->words[2], 0u);
}

// What the main window reads to fill its sliders: the Kepler board's clock offsets and an
// over-voltage range wide enough for its button (over 50000 µV), the Pascal board's
// over-voltage percent and voltage lock.
TEST(SimRigClockJson, TheDemoRigOffersSomethingToTuneOnEachGpu) {
    test::SimulatedDriver driver(DemoRig());
    std::vector<PhysicalGpuHandle> gpus = driver.InitializeAndEnumerate();
    ASSERT_EQ(gpus.size(), 2u);
    auto info = std::make_unique<Pstates20Info>();
    info->version = kPstates20Ver3;
    ASSERT_EQ(driver.Entry<Pstates20Fn>(GPU_GetPstates20)(gpus[1], info.get()), OK);
    const Pstates20Pstate& p0 = info->pstates[0];
    EXPECT_EQ(info->flags, kPstates20Editable);
    EXPECT_EQ(p0.pstateId, 0u);
    EXPECT_EQ(p0.flags, kPstates20Editable);
    EXPECT_EQ(p0.clocks[0].domainId, kClockDomainGraphics);
    EXPECT_EQ(p0.clocks[0].freqDeltaKhz.minimum, -200000);
    EXPECT_EQ(p0.clocks[0].freqDeltaKhz.maximum, 200000);
    EXPECT_EQ(p0.clocks[1].domainId, kClockDomainMemory);
    EXPECT_EQ(p0.clocks[1].typeId, kClockTypeSingle);
    EXPECT_EQ(p0.clocks[1].freqDeltaKhz.maximum, 500000);
    EXPECT_GT(p0.baseVoltages[0].voltDeltaUv.maximum, 50000);
    EXPECT_GT(info->overVoltage.voltages[0].voltDeltaUv.maximum, 50000);

    OverVoltPercent percent{};
    percent.version = kOverVoltPercentVer;
    EXPECT_EQ(driver.Entry<OverVoltPercentFn>(GPU_GetOverVoltPercent)(gpus[0], &percent), OK);
    ClockBoostLock locks{};
    locks.version = kClockBoostLockVer;
    locks.count = 1;
    locks.entries[0].limitId = kLockVoltage;
    EXPECT_EQ(driver.Entry<ClockBoostLockFn>(GPU_GetClockBoostLock)(gpus[0], &locks), OK);
    EXPECT_EQ(driver.Entry<OverVoltPercentFn>(GPU_GetOverVoltPercent)(gpus[1], &percent), NOT_SUPPORTED);
}

TEST(SimRigClockJson, LeftOutFieldsTakeTheirDefaults) {
    RigLoadResult empty = ParseRigJson(RigWithClocks("{}"), "clk.json");
    ASSERT_TRUE(empty.rig) << empty.error->message;
    EXPECT_EQ(empty.rig->gpus[0].clocks, ClockConfig{});

    RigLoadResult sparse = ParseRigJson(
        RigWithClocks(R"({"pstates": [{"pstateId": 0, "clocks": [
            {"domainId": "graphics", "type": "range", "freqKhz": 700000, "deltaMinKhz": 10000, "deltaMaxKhz": 20000}]}]})"),
        "clk.json");
    ASSERT_TRUE(sparse.rig) << sparse.error->message;
    const Pstate20ClockConfig& clock = sparse.rig->gpus[0].clocks.pstates[0].clocks[0];
    EXPECT_TRUE(clock.editable);
    EXPECT_EQ(clock.maxFreqKhz, 700000u) << "a range without a maximum is one frequency wide";
    EXPECT_EQ(clock.deltaKhz, 10000) << "0 is outside the range, so the nearest end";
}

// Entries sharing a key are refused because a write finds its entry by that key.
TEST(SimRigClockJson, RefusesUnknownFieldsTooManyOrSharedEntriesAndValuesOutOfRange) {
    EXPECT_THAT(ErrorOf(R"({"pstate": []})"), HasSubstr("clk.json: gpus[0].clocks.pstate: unknown field"));
    EXPECT_THAT(ErrorOf(R"({"pstates": [{"pstateId": 0, "voltages": []}]})"),
                HasSubstr("gpus[0].clocks.pstates[0].voltages: unknown field"));
    EXPECT_THAT(ErrorOf(R"({"pstates": [{"pstateId": 0, "clocks": [{"domainId": 0, "type": 0, "delta": 5}]}]})"),
                HasSubstr("gpus[0].clocks.pstates[0].clocks[0].delta: unknown field"));
    EXPECT_THAT(ErrorOf(R"({"overVoltages": [{"domainId": 0, "volt": 5}]})"),
                HasSubstr("gpus[0].clocks.overVoltages[0].volt: unknown field"));
    EXPECT_THAT(ErrorOf(R"({"locks": [{"limitId": 0, "mode": 0, "val": 5}]})"),
                HasSubstr("gpus[0].clocks.locks[0].val: unknown field"));
    // A range-only field on a single frequency is a mistake too.
    EXPECT_THAT(ErrorOf(R"({"pstates": [{"pstateId": 0, "clocks": [{"domainId": 0, "type": "single", "maxFreqKhz": 9}]}]})"),
                HasSubstr("clocks[0].maxFreqKhz: only a range clock has it"));
    EXPECT_THAT(ErrorOf(R"({"locks": [{"limitId": 0, "mode": "disabled", "value": 5}]})"),
                HasSubstr("locks[0].value: a disabled lock has no value"));
    EXPECT_THAT(ErrorOf(R"({"pstates": )" + Repeated(17, R"({"pstateId": #})") + "}"),
                HasSubstr("gpus[0].clocks.pstates: expected at most 16 P-states, found 17"));
    EXPECT_THAT(ErrorOf(R"({"pstates": [{"pstateId": 0, "clocks": )" +
                        Repeated(9, R"({"domainId": #, "type": "single"})") + "}]}"),
                HasSubstr("gpus[0].clocks.pstates[0].clocks: expected at most 8 clocks, found 9"));
    EXPECT_THAT(ErrorOf(R"({"pstates": [{"pstateId": 0, "baseVoltages": )" + Repeated(5, R"({"domainId": #})") +
                        "}]}"),
                HasSubstr("gpus[0].clocks.pstates[0].baseVoltages: expected at most 4 voltages, found 5"));
    EXPECT_THAT(ErrorOf(R"({"overVoltages": )" + Repeated(5, R"({"domainId": #})") + "}"),
                HasSubstr("gpus[0].clocks.overVoltages: expected at most 4 voltages, found 5"));
    EXPECT_THAT(ErrorOf(R"({"locks": )" + Repeated(33, R"({"limitId": #})") + "}"),
                HasSubstr("gpus[0].clocks.locks: expected at most 32 locks, found 33"));
    EXPECT_THAT(ErrorOf(R"({"pstatesInfo": )" + Repeated(2341, "0") + "}"),
                HasSubstr("gpus[0].clocks.pstatesInfo: expected at most 2340 words, found 2341"));
    EXPECT_THAT(ErrorOf(R"({"pstates": [{"pstateId": 0}, {"pstateId": 0}]})"),
                HasSubstr("gpus[0].clocks.pstates[1].pstateId: expected a value no other entry uses, found 0 again"));
    EXPECT_THAT(ErrorOf(R"({"pstates": [{"pstateId": 0, "clocks": [{"domainId": "memory", "type": 0},
                                                                    {"domainId": 4, "type": 1}]}]})"),
                HasSubstr("gpus[0].clocks.pstates[0].clocks[1].domainId: expected a value no other entry uses"));
    EXPECT_THAT(ErrorOf(R"({"overVoltages": [{"domainId": "core"}, {}]})"),
                HasSubstr("gpus[0].clocks.overVoltages[1].domainId: expected a value no other entry uses"));
    EXPECT_THAT(ErrorOf(R"({"locks": [{"limitId": "voltage"}, {"limitId": 6}]})"),
                HasSubstr("gpus[0].clocks.locks[1].limitId: expected a value no other entry uses"));
    const std::string clock = R"({"pstates": [{"pstateId": 0, "clocks": [)";
    EXPECT_THAT(ErrorOf(clock + R"({"domainId": 0, "type": 0, "deltaKhz": 300, "deltaMaxKhz": 200}]}]})"),
                HasSubstr("clocks[0].deltaKhz: expected a number from 0 to 200, found 300"));
    EXPECT_THAT(ErrorOf(clock + R"({"domainId": 0, "type": 0, "deltaMinKhz": 5, "deltaMaxKhz": -5}]}]})"),
                HasSubstr("clocks[0].deltaMinKhz: expected at most deltaMaxKhz"));
    EXPECT_THAT(ErrorOf(clock + R"({"domainId": 0, "type": "triangle"}]}]})"),
                HasSubstr("clocks[0].type: expected a number or one of: single, range, found \"triangle\""));
    EXPECT_THAT(ErrorOf(clock + R"({"domainId": 0, "type": 2}]}]})"),
                HasSubstr("clocks[0].type: expected a number from 0 to 1, found 2"));
    EXPECT_THAT(ErrorOf(clock + R"({"domainId": 32, "type": 0}]}]})"),
                HasSubstr("clocks[0].domainId: expected a number from 0 to 31"));
    EXPECT_THAT(ErrorOf(clock + R"({"domainId": 0, "type": 1, "freqKhz": 900, "maxFreqKhz": 800}]}]})"),
                HasSubstr("clocks[0].maxFreqKhz: expected a number from 900 to 4294967295, found 800"));
    EXPECT_THAT(ErrorOf(clock + R"({"domainId": 0, "type": 1, "minVoltageUv": 900, "maxVoltageUv": 800}]}]})"),
                HasSubstr("clocks[0].maxVoltageUv: expected a number from 900"));
    EXPECT_THAT(ErrorOf(clock + R"({"type": 0}]}]})"), HasSubstr("clocks[0].domainId: required field missing"));
    EXPECT_THAT(ErrorOf(clock + R"({"domainId": 0}]}]})"), HasSubstr("clocks[0].type: required field missing"));
    EXPECT_THAT(ErrorOf(R"({"pstates": [{"pstateId": 16}]})"),
                HasSubstr("gpus[0].clocks.pstates[0].pstateId: expected a number from 0 to 15, found 16"));
    EXPECT_THAT(ErrorOf(R"({"pstates": [{}]})"), HasSubstr("gpus[0].clocks.pstates[0].pstateId: required field missing"));
    EXPECT_THAT(ErrorOf(R"({"overVoltages": [{"deltaUv": -1}]})"),
                HasSubstr("gpus[0].clocks.overVoltages[0].deltaUv: expected a number from 0 to 0, found -1"));
    EXPECT_THAT(ErrorOf(R"({"overVoltPercent": 101})"),
                HasSubstr("gpus[0].clocks.overVoltPercent: expected a number from 0 to 100, found 101"));
    EXPECT_THAT(ErrorOf(R"({"locks": [{"limitId": 0, "mode": 1}]})"),
                HasSubstr("gpus[0].clocks.locks[0].mode: expected 0, 2 or 3"));
    EXPECT_THAT(ErrorOf(R"({"pstatesInfo": [1, -1]})"),
                HasSubstr("gpus[0].clocks.pstatesInfo[1]: expected a number from 0 to 4294967295, found -1"));
    EXPECT_THAT(ErrorOf(R"({"pstatesEditable": 1})"), HasSubstr("gpus[0].clocks.pstatesEditable: expected true or false"));
    EXPECT_THAT(ErrorOf(R"({"pstates": {}})"), HasSubstr("gpus[0].clocks.pstates: expected an array of P-states"));
    EXPECT_THAT(ErrorOf("[]"), HasSubstr("gpus[0].clocks: expected an object"));
}

}  // namespace
}  // namespace vx::sim
