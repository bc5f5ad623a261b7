// Profiles and the ten slot buttons over the main window's controller.
#include <gtest/gtest.h>

#include "tuning/SettingsFileFixture.h"

namespace vx::tuningtest {
namespace {

namespace look = tuning::slotlook;

class ProfileSlotsTest : public SettingsFileFixture {
protected:
    std::array<int32_t, 6> SliderPositions() {
        const tuning::MainSliders& s = dlg().sliders;
        return {s.gpuClockOffset.GetPos(), s.memClockOffset.GetPos(), s.gpuVoltage.GetPos(),
                s.powerTarget.GetPos(),    s.tempTarget.GetPos(),     s.fanSpeed.GetPos()};
    }
    void SelectKepler() {
        dlg().SelectGpu(1);
        ASSERT_EQ(dlg().currentGpu(), 1);
    }
};

TEST_F(ProfileSlotsTest, MissingSlotFileSaysSoAndMovesNoSlider) {
    StartRig();
    SelectKepler();
    const auto before = SliderPositions();
    const int fanImage = dlg().buttons.fanMode.imageId();

    EXPECT_FALSE(profiles->LoadProfileSlot(3));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Load the settings failed, Please save your settings before load .");
    EXPECT_EQ(prompts.shown[0].caption, "");
    EXPECT_EQ(SliderPositions(), before);
    EXPECT_EQ(dlg().buttons.fanMode.imageId(), fanImage);
    // The pressed slot still shows selected, the others plain.
    for (int i = 0; i < tuning::kProfileSlotCount; ++i) {
        const auto& slot = profiles->slotButtons()[static_cast<std::size_t>(i)];
        EXPECT_EQ(slot.button.imageId(), i == 3 ? look::kSelectedImage : look::kPlainImage) << i;
        EXPECT_EQ(slot.textColour, i == 3 ? look::kSelectedTextColour : look::kPlainTextColour) << i;
    }
}

TEST_F(ProfileSlotsTest, SlotLoadAppliesAndMovesTheSlidersToWhatWasLoaded) {
    StartRig();
    SelectKepler();
    ASSERT_TRUE(profiles->EnsureProfileFolder());
    test::TempDir::WriteFile(profiles->SlotPath(7),
                             Utf16Bytes("[Gpu2]\r\nId=1184\r\nDyaGpuClock=75\r\nDyaMemClock=150\r\nPowerTarget=90\r\n"
                                        "FanWorkMode=2\r\nFanSpeed=66\r\n"));
    EXPECT_EQ(profiles->SlotPath(7), dir / "Profile" / "7.ini");

    ASSERT_TRUE(profiles->LoadProfileSlot(7)) << (prompts.shown.empty() ? "" : prompts.shown[0].text);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(GraphicsOffsetMhz(1), 75);
    EXPECT_EQ(PowerTargetPercent(1), 90);
    EXPECT_EQ(rig().gpus[1].cooler.units[0].level, 66u);
    EXPECT_EQ(rig().gpus[1].cooler.units[0].policy, sim::kCoolerPolicyManual);
    EXPECT_EQ(dlg().sliders.gpuClockOffset.GetPos(), 75);
    EXPECT_EQ(dlg().sliders.memClockOffset.GetPos(), 150);
    EXPECT_EQ(dlg().sliders.powerTarget.GetPos(), 90);
    // The fan slider follows the level the hardware reports after the load.
    EXPECT_EQ(dlg().sliders.fanSpeed.GetPos(), FanLevel(1));
    EXPECT_TRUE(dlg().buttons.fanMode.Shows(tuning::image::kFanManual));
    EXPECT_TRUE(dlg().sliders.fanSpeed.IsEnabled());
    EXPECT_TRUE(profiles->slotButtons()[7].button.Shows(look::kSelectedImage));

    // RESET hands the slots back their plain look.
    dlg().RestoreDefaults();
    for (const auto& slot : profiles->slotButtons()) {
        EXPECT_TRUE(slot.button.Shows(look::kPlainImage));
        EXPECT_EQ(slot.textColour, look::kPlainTextColour);
    }
}

TEST_F(ProfileSlotsTest, Slot7VoltageKeysInMillivoltsMeetTheSliderAsDeviceCodes) {
    // The step controller of slot 7: the file keeps millivolts, the slider counts codes 0 to 25.
    StartRig(VoltageDeviceRig(0x0E22, sim::I2cDeviceKind::StepVoltageController, 0, 0xE0));
    ASSERT_TRUE(gpus->IsCardDevicePresent(0, 7));
    ASSERT_TRUE(profiles->EnsureProfileFolder());
    auto held = [&] { return simulator->PeekI2cRegister(0, 0, 0xE0, 0x18).value_or(0xFF); };

    // Code 21 is saved as 712 (712.5 truncated) and must come back as 21, not 20.
    ASSERT_EQ(gpus->SetVoltageSlot7(0, 21), 0);
    ASSERT_TRUE(profiles->SaveProfile(profiles->SlotPath(0)));
    ASSERT_EQ(gpus->SetVoltageSlot7(0, 5), 0);
    const struct {
        const char* volt;  // "Gpu3DPerformanceVolt"; null: the saved profile
        int code;          // in the device and the slider after the load
    } cases[] = {{nullptr, 21}, {"700", 20}, {"1000", 20}, {"0", 20}};  // 1000 mV is code 44, past 25
    for (const auto& c : cases) {
        if (c.volt)
            test::TempDir::WriteFile(profiles->SlotPath(0), Utf16Bytes(std::string("[Gpu1]\r\nId=0e22\r\n"
                                                                                    "Gpu3DPerformanceVolt=") +
                                                                        c.volt + "\r\n"));
        ASSERT_TRUE(profiles->LoadProfileSlot(0)) << c.volt;
        EXPECT_EQ(held(), c.code) << (c.volt ? c.volt : "saved");
        EXPECT_EQ(dlg().sliders.gpuVoltage.GetPos(), c.code) << (c.volt ? c.volt : "saved");
    }
    // The voltage page writes the code the slider shows.
    dlg().ShowPage(tuning::kPageRegulators);
    dlg().ApplySettings();
    EXPECT_EQ(held(), 20);
}

TEST_F(ProfileSlotsTest, ProfileSavedUnderAnyNameLoadsBack) {
    StartRig();
    SelectKepler();
    ASSERT_TRUE(profiles->EnsureProfileFolder());
    ASSERT_EQ(gpus->SetGraphicsClockOffset(1, 120000), 0);
    file->fanCurves[1].points[4] = {90, 80};
    const monitor::FanCurve edited = file->fanCurves[1];
    const auto path = profiles->ProfileFolder() / "quiet evening.ini";
    ASSERT_TRUE(profiles->SaveProfile(path));
    ASSERT_EQ(gpus->SetGraphicsClockOffset(1, 0), 0);
    file->fanCurves = {};

    EXPECT_TRUE(profiles->LoadProfile(path));
    EXPECT_EQ(GraphicsOffsetMhz(1), 120);
    EXPECT_EQ(file->fanCurves[1], edited);
    EXPECT_FALSE(profiles->LoadProfile(profiles->ProfileFolder() / "absent.ini"));
    EXPECT_TRUE(prompts.shown.empty()) << "the profile dialog's load shows nothing";
    EXPECT_FALSE(profiles->SaveProfile({}));
}

}  // namespace
}  // namespace vx::tuningtest
