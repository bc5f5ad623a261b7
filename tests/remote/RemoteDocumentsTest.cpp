// The phone's documents written into the installed templates and read back.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "remote/RemoteDocuments.h"
#include "remote/XmlDocument.h"
#include "support/TempDir.h"

namespace vx::remote {
namespace {

struct DocumentsFixture : ::testing::Test {
    DocumentsFixture() {
        for (const char* name : {document::kInitInfo, document::kCurrInfo, document::kPcInfo, document::kInfo})
            std::filesystem::copy_file(std::filesystem::path(VX_TEST_ASSETS) / name, dir / name);
    }
    std::string Text(const char* file, const std::string& path) {
        XmlDocument xml;
        EXPECT_TRUE(xml.Load(dir / file)) << file;
        return xml.Text(path).value_or("<no element>");
    }
    void ExpectTexts(const char* file, const std::vector<std::pair<std::string, std::string>>& expected) {
        for (const auto& [path, text] : expected) EXPECT_EQ(Text(file, path), text) << file << " " << path;
    }
    static LegacyClockRange Clocks(int32_t graphicsKhz, int32_t memoryKhz, int32_t shaderKhz) {
        LegacyClockRange clocks;
        clocks.graphics = {graphicsKhz, graphicsKhz + 1000, graphicsKhz - 100'000, graphicsKhz + 200'000};
        clocks.memory = {memoryKhz, memoryKhz + 1000, memoryKhz - 100'000, memoryKhz + 200'000};
        clocks.processor = {shaderKhz, shaderKhz + 1000, shaderKhz - 100'000, shaderKhz + 200'000};
        return clocks;
    }

    test::TempDir dir;
};

TEST_F(DocumentsFixture, CurrInfoHoldsTheSampleInMhzAndFlags) {
    CurrentSample sample{0, Clocks(1'999'999, 3'004'000, 1'500'999), 3, 47, 66, true, false, "9:5:7:120",
                         std::string(80, 'N')};
    WriteCurrInfo(dir / document::kCurrInfo, sample);
    ExpectTexts(document::kCurrInfo, {{"/Info/GpuIdex", "0"}, {"/Info/ModeIdex", "3"}, {"/Info/GpuClock", "1999"},
                                      {"/Info/ShaderClock", "1500"}, {"/Info/MemoryClock", "3004"},
                                      {"/Info/FanSpeed", "47"}, {"/Info/Temp", "66"}, {"/Info/Blink", "1"},
                                      {"/Info/BFanAuto", "0"}, {"/Info/Time", "9:5:7:120"},
                                      {"/Info/GpuDescribe", std::string(63, 'N')}});
    sample.level = 4;  // the lower performance level has no number of its own for the phone
    WriteCurrInfo(dir / document::kCurrInfo, sample);
    EXPECT_EQ(Text(document::kCurrInfo, "/Info/ModeIdex"), "0");
}

TEST_F(DocumentsFixture, PcInfoIsWrittenInGroups) {
    WritePcTemperature(dir / document::kPcInfo, 71);
    WritePcFanSpeed(dir / document::kPcInfo, 55);
    WritePcState(dir / document::kPcInfo, false, true, "1:2:3:4");
    WritePcClocks(dir / document::kPcInfo, Clocks(900'000, 2'000'000, 1'800'000), 2, 2);
    ExpectTexts(document::kPcInfo, {{"/Info/Temp", "71"}, {"/Info/FanSpeed", "55"}, {"/Info/Blink", "0"},
                                    {"/Info/BFanAuto", "1"}, {"/Info/Time", "1:2:3:4"}, {"/Info/GpuIdex", "2"},
                                    {"/Info/ModeIdex", "2"}, {"/Info/GpuClock", "900"},
                                    {"/Info/ShaderClock", "1800"}, {"/Info/MemoryClock", "2000"}});
    // The same values again: the file is not replaced (every save goes to the disk).
    struct stat before {}, after {};
    ::stat((dir / document::kPcInfo).c_str(), &before);
    WritePcTemperature(dir / document::kPcInfo, 71);
    WritePcState(dir / document::kPcInfo, false, true, "1:2:3:4");
    ::stat((dir / document::kPcInfo).c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(DocumentsFixture, InitInfoIsClearedThenFilledPerLevel) {
    const std::filesystem::path file = dir / document::kInitInfo;
    WriteInitIdentity(file, "GeForce Sim", "10DE1180", "331.20", "80.04.09.00.01");
    ClearInitInfo(file);
    EXPECT_EQ(Text(document::kInitInfo, "/ServerInfo/ComputerInfo/GpuInfo/GpuDescribe"), "");
    WriteInitClocks(file, Clocks(324'000, 648'000, 405'000), 1);
    WriteInitClocks(file, Clocks(1'006'000, 3'004'000, 2'012'000), 2);
    WriteInitClocks(file, Clocks(1, 2, 3), 4);  // not a level the phone knows: nothing changes
    WriteInitFanRange(file, 30, 100);
    WriteInitState(file, 3, true, false);
    WriteInitTemperature(file, 58);
    WriteInitFanSpeed(file, 40);
    const std::string base = "/ServerInfo/ComputerInfo/GpuInfo/";
    ExpectTexts(document::kInitInfo,
                {{base + "G2DCurr", "324"}, {base + "G2DDef", "325"}, {base + "G2DMin", "224"}, {base + "G2DMax", "524"},
                 {base + "M2DCurr", "648"}, {base + "S2DMax", "605"}, {base + "G3DCurr", "1006"},
                 {base + "S3DCurr", "2012"}, {base + "M3DMin", "2904"}, {base + "G3DLowCurr", ""},
                 {base + "M3DLowMax", ""}, {base + "FansMin", "30"}, {base + "FansMax", "100"}, {base + "Mode", "3"},
                 {base + "Blink", "1"}, {base + "BFanAuto", "0"}, {base + "Temperature", "58"},
                 {base + "FanSpeed", "40"}, {base + "GpuDescribe", ""}});
}

TEST_F(DocumentsFixture, MissingFileOrElementChangesNothingElse) {
    std::filesystem::remove(dir / document::kCurrInfo);
    WriteCurrInfo(dir / document::kCurrInfo, CurrentSample{});
    WritePcTemperature(dir / "absent.xml", 50);
    EXPECT_FALSE(std::filesystem::exists(dir / document::kCurrInfo));
    EXPECT_FALSE(std::filesystem::exists(dir / "absent.xml"));

    test::TempDir::WriteFile(dir / document::kPcInfo, "<Info><Blink>0</Blink><Time/></Info>");
    WritePcState(dir / document::kPcInfo, true, true, "1:1:1:1");
    ExpectTexts(document::kPcInfo, {{"/Info/Blink", "1"}, {"/Info/Time", "1:1:1:1"}, {"/Info/BFanAuto", "<no element>"}});

    const std::string broken = "<Info><Temp>5</Info>";
    test::TempDir::WriteFile(dir / document::kPcInfo, broken);
    WritePcTemperature(dir / document::kPcInfo, 60);
    EXPECT_EQ(test::TempDir::ReadFile(dir / document::kPcInfo), broken);
}

TEST_F(DocumentsFixture, RemoteSettingsAreTruncatedToEachFieldsWidth) {
    test::TempDir::WriteFile(dir / document::kInfo,
                             "<Info><GpuIdex>258</GpuIdex><ModeIdex>-1</ModeIdex><GpuClock>70000</GpuClock>"
                             "<ShaderClock> 1500MHz</ShaderClock><MemoryClock>abc</MemoryClock>"
                             "<Blink>99999999999999999999999</Blink><BFanAuto>-2</BFanAuto></Info>");
    const std::optional<RemoteSettings> s = ReadRemoteSettings(dir / document::kInfo);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->gpuIndex, 2);
    EXPECT_EQ(s->modeIndex, 255);
    EXPECT_EQ(s->gpuClock, 70000 - 65536);
    EXPECT_EQ(s->shaderClock, 1500);
    EXPECT_EQ(s->memoryClock, 0);
    EXPECT_EQ(s->fanSpeed, 0);  // no element
    EXPECT_EQ(s->clockLink, 0xFFFFFFFFu);
    EXPECT_EQ(s->fanAuto, 0xFFFFFFFEu);

    for (const std::string& bad : {std::string(), std::string("<Info>"), std::string("not xml")}) {
        test::TempDir::WriteFile(dir / document::kInfo, bad);
        EXPECT_FALSE(ReadRemoteSettings(dir / document::kInfo)) << bad;
    }
    EXPECT_FALSE(ReadRemoteSettings(dir / "absent.xml"));
}

TEST(PlainDecimal, SignDigitsAndSaturation) {
    const std::pair<const char*, int64_t> cases[] = {
        {"", 0}, {"x1", 0}, {"  42", 42}, {"+7z", 7}, {"-0012", -12}, {"--1", 0},
        {"9223372036854775807", INT64_MAX}, {"9223372036854775808", INT64_MAX},
        {"-9223372036854775808", INT64_MIN}, {"-99999999999999999999999", INT64_MIN},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(PlainDecimal(text), value) << text;
}

}  // namespace
}  // namespace vx::remote
