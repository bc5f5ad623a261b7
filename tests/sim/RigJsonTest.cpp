// Rig files: what loads, and how a bad file is reported.
#include "sim/Rig.h"

#include "SimTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace vx::sim {
namespace {

using test::ScratchDir;
using test::WriteText;
using ::testing::HasSubstr;

// One GPU with one level; `gpuExtra` lands inside the GPU object, `levelExtra` inside the level.
std::string RigText(const std::string& gpuExtra = "", const std::string& levelExtra = "") {
    return R"({"name": "t", "gpus": [{"pciDeviceId": "0x1B82", )" + gpuExtra +
           R"("legacyLevels": [{"levelId": 0, "flags": 1, )" + levelExtra +
           R"("domains": [{"domainId": 0, "frequencyKhz": 300000}]}]}]})";
}

std::string ErrorOf(const std::string& text) {
    RigLoadResult result = ParseRigJson(text, "bad.json");
    EXPECT_FALSE(result.rig.has_value());
    return result.error ? result.error->message : std::string();
}

TEST(SimRigJson, AcceptsHexStringsAndNumbersForIds) {
    RigLoadResult hex = ParseRigJson(RigText(R"("subsystemId": "0xA0131462", )"), "a.json");
    RigLoadResult dec = ParseRigJson(
        R"({"gpus": [{"pciDeviceId": 7042, "subsystemId": 2685604962, "revisionId": "0xa1"}]})", "b.json");
    ASSERT_TRUE(hex.rig) << hex.error->message;
    ASSERT_TRUE(dec.rig) << dec.error->message;
    EXPECT_EQ(hex.rig->gpus[0].pciDeviceId, 0x1B82);
    EXPECT_EQ(dec.rig->gpus[0].pciDeviceId, 0x1B82);
    EXPECT_EQ(hex.rig->gpus[0].subsystemId, 0xA0131462u);
    EXPECT_EQ(dec.rig->gpus[0].subsystemId, 0xA0131462u);
    EXPECT_EQ(dec.rig->gpus[0].revisionId, 0xA1u);
}

TEST(SimRigJson, CutsDriverStringsToTheirBuffers) {
    std::string longName(100, 'N');
    // A two-byte character straddling the cut must not be split.
    std::string straddling = std::string(62, 'B') + "\xC3\xA9" + "tail";
    RigLoadResult result =
        ParseRigJson(RigText(R"("name": ")" + longName + R"(", "biosVersion": ")" + straddling + R"(", )"), "a.json");
    ASSERT_TRUE(result.rig);
    EXPECT_EQ(result.rig->gpus[0].name, std::string(63, 'N'));
    EXPECT_EQ(result.rig->gpus[0].biosVersion, std::string(62, 'B'));
}

// Wrong types, unknown fields (so typos do not pass silently), values out of range, missing
// fields and duplicate IDs.
TEST(SimRigJson, ReportsBadFilesWithTheFileNameAndTheFieldPath) {
    EXPECT_THAT(ErrorOf(R"({"gpus": [)"), HasSubstr("bad.json: not valid JSON"));
    EXPECT_THAT(ErrorOf(""), HasSubstr("bad.json: not valid JSON"));
    EXPECT_THAT(ErrorOf("[1, 2]"), HasSubstr("bad.json: (top level): expected an object"));
    std::string twoGpus = R"({"gpus": [{"pciDeviceId": 1}, {"pciDeviceId": true}]})";
    EXPECT_THAT(ErrorOf(twoGpus), HasSubstr("bad.json: gpus[1].pciDeviceId: expected a number from 0 to 65535"));
    EXPECT_THAT(ErrorOf(RigText(R"("computeMode": "yes", )")), HasSubstr("gpus[0].computeMode: expected true or false"));
    EXPECT_THAT(ErrorOf(R"({"gpus": {}})"), HasSubstr("bad.json: gpus: expected an array"));
    EXPECT_THAT(ErrorOf(R"({"gpus": [{"pciDeviceId": 1, "memoryBusWidth": 1.5}]})"),
                HasSubstr("gpus[0].memoryBusWidth: expected a number from 0 to 4294967295, found 1.5"));
    EXPECT_THAT(ErrorOf(R"({"gpus": [{"pciDeviceId": 1, "legacyLevels": [{"levelId": 0, "flags": 0,
                          "domains": [{"domainId": 0, "frequencyKhz": -5}]}]}]})"),
                HasSubstr("gpus[0].legacyLevels[0].domains[0].frequencyKhz: expected a number from 0 to 2147483647"));
    for (const char* image : {"55A", "55AG", "55 AA"})
        EXPECT_THAT(ErrorOf(RigText(R"("biosImage": ")" + std::string(image) + R"(", )")),
                    HasSubstr("gpus[0].biosImage: expected pairs of hexadecimal digits"));
    RigLoadResult image = ParseRigJson(RigText(R"("biosImage": "55aA00", )"), "a.json");
    ASSERT_TRUE(image.rig);
    EXPECT_EQ(image.rig->gpus[0].biosImage, (std::vector<uint8_t>{0x55, 0xAA, 0x00}));
    EXPECT_THAT(ErrorOf(RigText(R"("nmae": "x", )")), HasSubstr("bad.json: gpus[0].nmae: unknown field"));
    EXPECT_THAT(ErrorOf(R"({"gpus": [], "persistt": true})"), HasSubstr("bad.json: persistt: unknown field"));
    EXPECT_THAT(ErrorOf(RigText("", R"("flag": 2, )")), HasSubstr("gpus[0].legacyLevels[0].flag: unknown field"));
    EXPECT_THAT(ErrorOf(R"({"gpus": [{"pciDeviceId": "0x1FFFF"}]})"),
                HasSubstr("bad.json: gpus[0].pciDeviceId: expected a number from 0 to 65535"));
    EXPECT_THAT(ErrorOf(R"({"gpus": [{"pciDeviceId": "1B82"}]})"), HasSubstr("hex string like"));
    EXPECT_THAT(ErrorOf(RigText(R"("ramType": "HBM9", )")), HasSubstr("gpus[0].ramType: expected a number or one of"));
    EXPECT_THAT(ErrorOf(R"({"gpus": [{"pciDeviceId": 1, "legacyLevels": [{"levelId": 0, "flags": 0,
                          "domains": [{"domainId": 32, "frequencyKhz": 1}]}]}]})"),
                HasSubstr("domains[0].domainId: expected a domain ID below 32"));
    EXPECT_THAT(ErrorOf(RigText(R"("currentLegacyLevel": 1, )")),
                HasSubstr("gpus[0].currentLegacyLevel: expected a level index below 1"));
    EXPECT_THAT(ErrorOf(R"({"name": "x"})"), HasSubstr("bad.json: gpus: required field missing"));
    EXPECT_THAT(ErrorOf(R"({"gpus": [{"name": "x"}]})"), HasSubstr("gpus[0].pciDeviceId: required field missing"));
    EXPECT_THAT(ErrorOf(R"({"gpus": [{"pciDeviceId": 1, "legacyLevels": [{"flags": 0, "domains": []}]}]})"),
                HasSubstr("gpus[0].legacyLevels[0].levelId: required field missing"));
    EXPECT_THAT(ErrorOf(R"({"gpus": [{"pciDeviceId": 1, "legacyLevels": [{"levelId": 2, "flags": 0, "domains": []},
                          {"levelId": 2, "flags": 4, "domains": []}]}]})"),
                HasSubstr("gpus[0].legacyLevels[1].levelId: expected a level ID no other level uses"));
    EXPECT_THAT(ErrorOf(R"({"gpus": [{"pciDeviceId": 1, "legacyLevels": [{"levelId": 2, "flags": 0, "domains": [
                          {"domainId": "graphics", "frequencyKhz": 1}, {"domainId": 0, "frequencyKhz": 2}]}]}]})"),
                HasSubstr("domains[1].domainId: expected a domain not listed before"));
    EXPECT_THAT(ErrorOf(R"({"gpus": [{"pciDeviceId": 1, "displays": [{"displayId": 7}, {"displayId": "0x7"}]}]})"),
                HasSubstr("gpus[0].displays[1].displayId: expected an ID no other display uses"));
    EXPECT_THAT(ErrorOf(R"({"gpus": [{"pciDeviceId": 1, "displays": [{"displayId": 7,
                          "dp": {"firmware": "FOURTEEN CHARS"}}]}]})"),
                HasSubstr("gpus[0].displays[0].dp.firmware: expected at most 13 characters"));
}

TEST(SimRigJson, EnforcesWhatTheDriverStructuresCanCarry) {
    std::string gpus;
    for (int i = 0; i < 65; ++i) gpus += std::string(i ? ", " : "") + R"({"pciDeviceId": 1})";
    EXPECT_THAT(ErrorOf(R"({"gpus": [)" + gpus + "]}"), HasSubstr("bad.json: gpus: expected at most 64 GPUs, found 65"));
    EXPECT_THAT(ErrorOf(RigText(R"("biosImage": ")" + std::string(2 * 64 * 1024 + 2, '0') + R"(", )")),
                HasSubstr("gpus[0].biosImage: expected pairs of hexadecimal digits, at most 65536 bytes"));

    std::string levels;
    for (int i = 0; i < 13; ++i)
        levels += std::string(i ? ", " : "") + R"({"levelId": )" + std::to_string(i) + R"(, "flags": 0, "domains": []})";
    EXPECT_THAT(ErrorOf(R"({"gpus": [{"pciDeviceId": 1, "legacyLevels": [)" + levels + "]}]}"),
                HasSubstr("gpus[0].legacyLevels: expected at most 12 levels, found 13"));

    std::string domains;
    for (int i = 0; i < 33; ++i)
        domains += std::string(i ? ", " : "") + R"({"domainId": )" + std::to_string(i % 32) + R"(, "frequencyKhz": 1})";
    EXPECT_THAT(ErrorOf(R"({"gpus": [{"pciDeviceId": 1, "legacyLevels": [{"levelId": 0, "flags": 0, "domains": [)" +
                        domains + "]}]}]}"),
                HasSubstr("gpus[0].legacyLevels[0].domains: expected at most 32 domains, found 33"));
}

TEST(SimRigJson, LoadRigFileNamesTheFileAndNeverThrows) {
    ScratchDir dir;
    RigLoadResult missing = LoadRigFile(dir / "missing.json");
    ASSERT_TRUE(missing.error);
    EXPECT_THAT(missing.error->message, HasSubstr("missing.json: cannot read the rig file"));

    RigLoadResult folder = LoadRigFile(dir.path());
    EXPECT_TRUE(folder.error);

    WriteText(dir / "garbage.json", std::string("\xFF\xFE\x00\x01{[", 6));
    RigLoadResult garbage = LoadRigFile(dir / "garbage.json");
    ASSERT_TRUE(garbage.error);
    EXPECT_THAT(garbage.error->message, HasSubstr("garbage.json: not valid JSON"));

    // Deep nesting must come back as an error, not a crash.
    WriteText(dir / "deep.json", std::string(100000, '[') + std::string(100000, ']'));
    RigLoadResult deep = LoadRigFile(dir / "deep.json");
    ASSERT_TRUE(deep.error);
    EXPECT_THAT(deep.error->message, HasSubstr("deep.json"));

    WriteText(dir / "typo.json", R"({"gpus": [{"pciDeviceId": 1, "bus": 128}]})");
    RigLoadResult typo = LoadRigFile(dir / "typo.json");
    ASSERT_TRUE(typo.error);
    EXPECT_THAT(typo.error->message, HasSubstr("typo.json: gpus[0].bus: unknown field"));
}

TEST(SimRigJson, ShippedRigsEqualTheBuiltInOnes) {
    RigLoadResult demo = LoadRigFile(std::filesystem::path(VX_TEST_ASSETS) / "rigs" / "demo.json");
    ASSERT_TRUE(demo.rig) << demo.error->message;
    demo.rig->sourceFile.clear();
    EXPECT_EQ(*demo.rig, DemoRig());

    RigLoadResult legacy = LoadRigFile(std::filesystem::path(VX_TEST_ASSETS) / "rigs" / "legacy.json");
    ASSERT_TRUE(legacy.rig) << legacy.error->message;
    ASSERT_EQ(legacy.rig->gpus.size(), 2u);
    EXPECT_EQ(legacy.rig->gpus[0].legacyLevels.size(), 4u);
    EXPECT_EQ(legacy.rig->gpus[1].legacyLevels.size(), 3u);
}

// Start-up needs every GPU to report a legacy table with the three kinds of level, and the
// demo's first board is the one the A013 rule recognises.
TEST(SimRigJson, DemoRigHasWhatStartUpNeeds) {
    Rig rig = DemoRig();
    ASSERT_EQ(rig.gpus.size(), 2u);
    EXPECT_EQ(rig.gpus[0].pciDeviceId, 0x1B82);
    EXPECT_EQ(rig.gpus[0].subsystemId / 65535, 40979u);
    EXPECT_EQ(rig.gpus[1].pciDeviceId, 0x1184);
    for (const GpuModel& gpu : rig.gpus) {
        uint32_t kinds = 0;
        for (const LegacyLevel& level : gpu.legacyLevels) {
            kinds |= level.flags <= 1 ? 1u : (level.flags & 6u);
            EXPECT_EQ(level.domains.size(), 3u);
        }
        EXPECT_EQ(kinds, 7u) << gpu.name;
    }
}

}  // namespace
}  // namespace vx::sim
