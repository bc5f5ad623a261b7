// Writing the settings file and applying it back to the simulated hardware.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/FileSizeLimit.h"
#include "tuning/SettingsFileFixture.h"

namespace vx::tuningtest {
namespace {

class UserSettingsFileTest : public SettingsFileFixture {
protected:
    // GPU 0: VF offsets, power 110 %, manual fan 55 %; GPU 1: offsets +100/+200 MHz, power
    // 90 %.
    void TuneBothGpus() {
        ASSERT_GT(tuning::applywrites::WriteVfOffsets(*gpus, 0, 50000, 100000).written, 0);
        SetPowerTarget(0, 110);
        ASSERT_EQ(gpus->SetFanLevel(0, 55), 0);
        ASSERT_EQ(gpus->SetGraphicsClockOffset(1, 100000), 0);
        ASSERT_EQ(gpus->SetMemoryClockOffset(1, 200000), 0);
        SetPowerTarget(1, 90);
    }
    void UntuneBothGpus() {
        tuning::applywrites::WriteVfOffsets(*gpus, 0, 0, 0);
        SetPowerTarget(0, 100);
        gpus->RestoreAutoFan(0);
        gpus->SetGraphicsClockOffset(1, 0);
        gpus->SetMemoryClockOffset(1, 0);
        SetPowerTarget(1, 100);
    }
    std::string Saved(const std::string& name) { return test::TempDir::ReadFile(dir / name); }
};

TEST_F(UserSettingsFileTest, TwoGpuRoundTripRestoresWhatWasSaved) {
    StartRig();
    TuneBothGpus();
    ASSERT_EQ(file->SaveUserSettings(), 1);
    const std::string saved = Saved("UserSettings.txt");

    // The format: UTF-16LE with its mark, CR LF lines, one section per GPU in order.
    ASSERT_GE(saved.size(), 2u);
    EXPECT_EQ(saved.substr(0, 2), std::string("\xFF\xFE"));
    const std::string text = Text(saved);
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF[Gpu1]\r\nId=1b82\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("\r\n[Gpu2]\r\nId=1184\r\n"), std::string::npos);
    EXPECT_EQ(text.find("\n\r\n"), std::string::npos) << "no blank lines";
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    tuning::CIni ini;
    ASSERT_TRUE(ini.ParseBytes(saved));
    EXPECT_EQ(ini.GetUtf8("Gpu1", "FanWorkMode"), "2");
    EXPECT_EQ(ini.GetUtf8("Gpu1", "FanSpeed"), "55");
    EXPECT_EQ(ini.GetUtf8("Gpu1", "PowerTarget"), "110");
    EXPECT_EQ(ini.GetUtf8("Gpu1", "GpuVF"), "50000");
    EXPECT_EQ(ini.GetUtf8("Gpu1", "MemVF"), "100000");
    EXPECT_EQ(ini.GetUtf8("Gpu2", "DyaGpuClock"), "100");
    EXPECT_EQ(ini.GetUtf8("Gpu2", "DyaMemClock"), "200");
    EXPECT_EQ(ini.GetUtf8("Gpu2", "PowerTarget"), "90");
    EXPECT_EQ(ini.GetUtf8("Gpu2", "GpuVF"), "0") << "GPU 0's offsets are not GPU 1's";
    EXPECT_EQ(ini.GetUtf8("Gpu2", "LCM_Cmd"), "162");
    // Keys in their order.
    const std::size_t order[] = {text.find("Id="), text.find("FanWorkMode="), text.find("HorizonValue="),
                                 text.find("PowerTarget="), text.find("Psmi33V="), text.find("GpuVF="),
                                 text.find("PercentOV="), text.find("LEDMODE="), text.find("LCM_OnOff="),
                                 text.find("LCM_ScreenF="), text.find("LCM_Screen3Int=")};
    for (std::size_t i = 1; i < std::size(order); ++i) EXPECT_LT(order[i - 1], order[i]) << i;

    UntuneBothGpus();
    ASSERT_NE(FanMode(0), 2);
    ASSERT_EQ(file->LoadUserSettings(), 1);
    EXPECT_EQ(FanMode(0), 2);
    EXPECT_EQ(FanLevel(0), 55);
    EXPECT_EQ(PowerTargetPercent(0), 110);
    EXPECT_EQ(GraphicsOffsetMhz(1), 100);
    EXPECT_EQ(PowerTargetPercent(1), 90);
    // The last section applied fills the record the slot buttons read.
    EXPECT_EQ(last[tuning::kLastGpuClockOffset], 100);
    EXPECT_EQ(last[tuning::kLastMemClockOffset], 200);
    EXPECT_EQ(last[tuning::kLastPowerTarget], 90);
    EXPECT_EQ(last[tuning::kLastFanWorkMode], 1);  // GPU 1 stayed automatic
    EXPECT_EQ(file->loaded[0].fanSpeed, 55);

    // Saving again gives the same file: every value came back.
    ASSERT_EQ(file->SaveUserSettings("again.txt"), 1);
    EXPECT_EQ(Text(Saved("again.txt")), text);
}

TEST_F(UserSettingsFileTest, FanCurvesAreKeptPerGpuAndOnlyWholeValidOnesAreFollowed) {
    StartRig();
    const monitor::FanCurve edited{{{{10, 30}, {35, 45}, {55, 60}, {75, 85}, {95, 100}}}, monitor::kShapeSmooth};
    file->fanCurves[1] = edited;
    ASSERT_EQ(file->SaveUserSettings(), 1);
    const std::string text = Text(Saved("UserSettings.txt")).substr(3);
    // Last in the section, after every key that was there before.
    EXPECT_NE(text.find("LCM_Screen3Int=0\r\nCurveShape=0\r\nCurveTemp1=10\r\nCurveFan1=30\r\n"), std::string::npos);
    file->fanCurves = {};
    ASSERT_EQ(file->LoadUserSettings(), 1);
    EXPECT_EQ(file->fanCurves[1], edited);
    EXPECT_EQ(file->fanCurves[0], monitor::FanCurve{});

    // A section without the keys (an older file), or with a partial or impossible curve, gives
    // its GPU the start curve.
    const std::string whole = "CurveShape=0\r\nCurveTemp1=10\r\nCurveFan1=30\r\nCurveTemp2=35\r\nCurveFan2=45\r\n"
                              "CurveTemp3=55\r\nCurveFan3=60\r\nCurveTemp4=75\r\nCurveFan4=85\r\n";
    const std::string cases[] = {
        "",
        whole + "CurveTemp5=95\r\n",                                   // a percent missing
        whole + "CurveTemp5=75\r\nCurveFan5=100\r\n",                // two points at one temperature
        whole + "CurveTemp5=101\r\nCurveFan5=100\r\n",               // past 100 °C
        whole + "CurveTemp5=95\r\nCurveFan5=150\r\n",                // past 100 %
        "CurveShape=2\r\n" + whole.substr(14) + "CurveTemp5=95\r\nCurveFan5=100\r\n",  // no such shape
    };
    for (const std::string& keys : cases) {
        SCOPED_TRACE(keys);
        file->fanCurves[1] = edited;
        WriteSettings("curve.txt", "[Gpu2]\r\nId=1184\r\n" + keys);
        ASSERT_EQ(file->LoadUserSettings("curve.txt"), 1);
        EXPECT_EQ(file->fanCurves[1], monitor::FanCurve{});
    }
    WriteSettings("curve.txt", "[Gpu2]\r\nId=1184\r\n" + whole + "CurveTemp5=95\r\nCurveFan5=100\r\n");
    ASSERT_EQ(file->LoadUserSettings("curve.txt"), 1);
    EXPECT_EQ(file->fanCurves[1], edited) << "the control case";
}

TEST_F(UserSettingsFileTest, SectionOfAnotherDeviceIsNotApplied) {
    StartRig();
    TuneBothGpus();
    ASSERT_EQ(file->SaveUserSettings(), 1);
    std::string text = Text(Saved("UserSettings.txt")).substr(3);
    const std::size_t id = text.find("Id=1184");
    ASSERT_NE(id, std::string::npos);
    text.replace(id, 7, "Id=1B80");  // another board in the second slot
    WriteSettings("other.txt", text);
    UntuneBothGpus();

    EXPECT_EQ(file->LoadUserSettings("other.txt"), 1);
    EXPECT_EQ(FanLevel(0), 55) << "GPU 0 matches and is applied";
    EXPECT_EQ(GraphicsOffsetMhz(1), 0);
    EXPECT_EQ(PowerTargetPercent(1), 100);
    EXPECT_NE(FanMode(1), 2);

    // Nothing matching at all: 0, and nothing changes.
    WriteSettings("none.txt", "[Gpu1]\r\nId=0001\r\nFanWorkMode=2\r\nFanSpeed=70\r\n[Gpu2]\r\nId=1b80\r\n");
    EXPECT_EQ(file->LoadUserSettings("none.txt"), 0);
    EXPECT_EQ(FanLevel(0), 55);
    EXPECT_EQ(file->LoadUserSettings("absent.txt"), 0);
}

TEST_F(UserSettingsFileTest, HandWrittenFilesAreReadAsTheFormatAllows) {
    StartRig();
    ASSERT_EQ(gpus->SetFanLevel(0, 45), 0);
    // Lower-case names, an upper-case Id.
    WriteSettings("lower.txt", "[gpu1]\r\nid=1B82\r\nfanworkmode=2\r\nfanspeed=70\r\n");
    EXPECT_EQ(file->LoadUserSettings("lower.txt"), 1);
    EXPECT_EQ(FanLevel(0), 70);
    EXPECT_FALSE(file->kept.lighting.saved) << "no lighting keys: nothing to restore at start";
    WriteSettings("led.txt", "[Gpu1]\r\nId=1b82\r\nLEDMODE=1\r\nLED_R_CR=255\r\nLED_B_CR=128\r\n");
    EXPECT_EQ(file->LoadUserSettings("led.txt"), 1);
    const tuning::LightingValues& led = file->kept.lighting;
    EXPECT_TRUE(led.saved && led.mode == 1 && led.red == 255 && led.green == 0 && led.blue == 128);

    // The last line without CR LF is not read: no speed, so the fan keeps its level.
    WriteSettings("cut.txt", "[Gpu1]\r\nId=1b82\r\nFanWorkMode=2\r\nFanSpeed=80");
    EXPECT_EQ(file->LoadUserSettings("cut.txt"), 1);
    EXPECT_EQ(FanLevel(0), 70);

    // A key twice: the file is refused whole.
    WriteSettings("twice.txt", "[Gpu1]\r\nId=1b82\r\nFanWorkMode=2\r\nFanSpeed=80\r\nFanSpeed=90\r\n");
    EXPECT_EQ(file->LoadUserSettings("twice.txt"), 0);
    EXPECT_EQ(FanLevel(0), 70);

    // Numbers too large for the driver's units are not multiplied into garbage.
    SetPowerTarget(1, 95);
    WriteSettings("huge.txt",
                  "[Gpu2]\r\nId=1184\r\nDyaGpuClock=99999999\r\nPowerTarget=2147483647\r\nPercentOV=300\r\n");
    EXPECT_EQ(file->LoadUserSettings("huge.txt"), 1);
    EXPECT_EQ(GraphicsOffsetMhz(1), 0);
    EXPECT_EQ(PowerTargetPercent(1), 95);
}

TEST_F(UserSettingsFileTest, FanWorkModeRestoresAutomaticOrAManualLevelInRange) {
    StartRig();
    ASSERT_EQ(gpus->SetFanLevel(0, 65), 0);
    ASSERT_EQ(FanMode(0), 2);
    WriteSettings("auto.txt", "[Gpu1]\r\nId=1b82\r\nFanWorkMode=1\r\n");
    EXPECT_EQ(file->LoadUserSettings("auto.txt"), 1);
    EXPECT_EQ(FanMode(0), 1);

    // The demo cooler runs 30 to 100 %: 150 is left alone, mode included.
    ASSERT_EQ(gpus->SetFanLevel(0, 65), 0);
    WriteSettings("fast.txt", "[Gpu1]\r\nId=1b82\r\nFanWorkMode=2\r\nFanSpeed=150\r\n");
    EXPECT_EQ(file->LoadUserSettings("fast.txt"), 1);
    EXPECT_EQ(FanMode(0), 2);
    EXPECT_EQ(FanLevel(0), 65);
    gpus->RestoreAutoFan(0);
    EXPECT_EQ(file->LoadUserSettings("fast.txt"), 1);
    EXPECT_EQ(FanMode(0), 1);
    WriteSettings("slow.txt", "[Gpu1]\r\nId=1b82\r\nFanWorkMode=2\r\nFanSpeed=29\r\n");
    EXPECT_EQ(file->LoadUserSettings("slow.txt"), 1);
    EXPECT_EQ(FanMode(0), 1);
}

TEST_F(UserSettingsFileTest, FailedWriteKeepsThePreviousFile) {
    StartRig();
    WriteSettings("UserSettings.txt", "[Gpu1]\r\nId=1b82\r\n");
    const std::string before = Saved("UserSettings.txt");

    // A writer that fails part-way.
    bool called = false;
    file->SetWriter([&](const std::filesystem::path&, std::string_view) {
        called = true;
        return false;
    });
    EXPECT_EQ(file->SaveUserSettings(), 0);
    EXPECT_TRUE(called);
    EXPECT_EQ(Saved("UserSettings.txt"), before);
    file->SetWriter(nullptr);

    // A disk that fills up during the real write.
    {
        test::FileSizeLimit limit(before.size() + 64);
        ASSERT_TRUE(limit.active());
        EXPECT_EQ(file->SaveUserSettings(), 0);
    }
    EXPECT_EQ(Saved("UserSettings.txt"), before);
    for (const std::string& name : test::TempDir::Entries(dir.path()))
        EXPECT_EQ(name, "UserSettings.txt") << "no temporary file is left behind";

    // A folder that cannot exist: its parent is a file.
    test::TempDir::WriteFile(dir / "plain", "x");
    EXPECT_EQ(file->SaveUserSettings(dir / "plain" / "UserSettings.txt"), 0);

    EXPECT_EQ(file->SaveUserSettings(), 1);
    EXPECT_NE(Saved("UserSettings.txt"), before);
}

TEST_F(UserSettingsFileTest, TenGpusWithFullScreenTextsAreWrittenWhole) {
    StartRig(test::RigBuilder().Gpus(10, kPascalId).Build());
    ASSERT_EQ(dlg().gpuCount(), 10);
    // Long texts, one with a line break that must not split the line, one past 100 characters.
    for (std::u16string& screen : file->kept.lcm.screens) screen = std::u16string(100, u'\u00e9');
    file->kept.lcm.screens[1] = u"two\r\nlines";
    file->kept.lcm.screens[2] = std::u16string(150, u'z');
    ASSERT_EQ(file->SaveUserSettings(), 1);
    const std::string saved = Saved("UserSettings.txt");
    EXPECT_GT(saved.size(), 2u * 10240u) << "larger than a fixed 10240-character text";

    tuning::CIni ini;
    ASSERT_TRUE(ini.ParseBytes(saved));
    EXPECT_EQ(ini.GetUtf8("Gpu10", "LCM_Screen3Int"), "0") << "the last GPU's last key is there";
    EXPECT_EQ(ini.GetUtf8("Gpu3", "LCM_ScreenS"), "two  lines");
    EXPECT_EQ(ini.GetString("Gpu3", "LCM_ScreenT")->size(), 100u);

    // Loading keeps the texts within their bounds too.
    file->kept.lcm = {};
    EXPECT_EQ(file->LoadUserSettings(), 1);
    EXPECT_EQ(file->kept.lcm.screens[0], std::u16string(100, u'\u00e9'));
    EXPECT_EQ(file->kept.lcm.onOff, 10);
    EXPECT_EQ(file->kept.lcm.command, 162);
}

TEST_F(UserSettingsFileTest, HideAndQuitSaveOrDeleteByTheSetting) {
    StartRig();
    const auto path = dir / "UserSettings.txt";
    settings.restoreUserSettings = false;
    test::TempDir::WriteFile(path, "old");
    dlg().OnHide();
    EXPECT_FALSE(std::filesystem::exists(path));
    test::TempDir::WriteFile(path, "old");
    dlg().OnQuit();
    EXPECT_FALSE(std::filesystem::exists(path));

    settings.restoreUserSettings = true;
    dlg().OnHide();
    EXPECT_EQ(Text(Saved("UserSettings.txt")).find("\xEF\xBB\xBF[Gpu1]"), 0u);
    std::filesystem::remove(path);
    dlg().OnQuit();
    EXPECT_TRUE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace vx::tuningtest
