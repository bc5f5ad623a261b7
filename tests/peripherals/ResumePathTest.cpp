// Coming back from a simulated suspend on the demo rig: the driver has forgotten the offsets and
// the manual fan; the resume path applies "UserSettings.txt" again (only with
// "RestoreUserSettings" on), sends the LCD module its message again and rewrites a steady colour.
#include "peripherals/ResumePath.h"
#include "sim/SimulatorPower.h"

#include "tuning/SettingsFileFixture.h"
#include "tuning/ApplyWrites.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace vx::tuningtest {
namespace {

using peripherals::LcmDisplay;

constexpr uint8_t kLcmBus = 2;

class ResumePathTest : public SettingsFileFixture {
protected:
    ~ResumePathTest() override { effects.reset(); }

    void Tune() {
        ASSERT_EQ(gpus->SetFanLevel(0, 55), 0);
        ASSERT_EQ(gpus->SetGraphicsClockOffset(1, 100000), 0);
        ASSERT_EQ(gpus->SetMemoryClockOffset(1, 200000), 0);
    }
    std::size_t LcmMessages() const { return simulator->I2cLcdMessages(0, kLcmBus, 0x9C).size(); }
    std::size_t Colours() const { return simulator->I2cLightingColours(0, kLcmBus, 0x40).size(); }
    template <class Condition>
    static bool WaitFor(Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    std::unique_ptr<peripherals::LedController> leds;
    std::unique_ptr<peripherals::LedEffects> effects;
};

TEST_F(ResumePathTest, ResumeRestoresTheSavedSettingsAndShowsTheMessageAgain) {
    StartRig();
    Tune();
    ASSERT_EQ(file->SaveUserSettings(), 1);
    file->kept.lcm.fontAndScreen = 0x81;
    file->kept.lcm.screens[0] = u"Hello";
    LcmDisplay display(*gpus, prompts, file->kept.lcm);
    leds = std::make_unique<peripherals::LedController>(*gpus);
    leds->ProbeAll(0);
    effects = std::make_unique<peripherals::LedEffects>(*leds, clock);
    effects->StartLedEffect({0, peripherals::kLedSteady, 1, peripherals::kLedSteady, {0, 255, 0}}, {});
    ASSERT_TRUE(WaitFor([&] { return Colours() == 1; }));

    peripherals::ResumePath resume(settings, *file);
    resume.AttachDisplay(&display);
    resume.AttachLighting(effects.get());
    int restoredCalls = 0;
    resume.SetRestoredHook([&] { ++restoredCalls; });

    struct Case {
        bool restoreUserSettings;
        int32_t fanLevel;
        int32_t graphicsOffsetMhz;
    };
    const Case cases[] = {{true, 55, 100}, {false, -1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.restoreUserSettings);
        settings.restoreUserSettings = c.restoreUserSettings;
        const std::size_t messages = LcmMessages();
        const std::size_t colours = Colours();
        sim::SuspendAndResume(*simulator);
        ASSERT_EQ(GraphicsOffsetMhz(1), 0) << "the driver forgot the offsets";
        ASSERT_NE(FanMode(0), 2) << "and the manual fan";

        EXPECT_EQ(resume.OnResume(), c.restoreUserSettings);
        EXPECT_EQ(restoredCalls, 1) << "the window re-reads after an apply only";
        EXPECT_EQ(GraphicsOffsetMhz(1), c.graphicsOffsetMhz);
        EXPECT_EQ(FanMode(0) == 2, c.restoreUserSettings);
        if (c.restoreUserSettings) {
            EXPECT_EQ(FanLevel(0), c.fanLevel);
        }
        EXPECT_EQ(LcmMessages(), messages + 1);
        EXPECT_EQ(simulator->I2cLcdMessages(0, kLcmBus, 0x9C).back(), (std::vector<uint8_t>{0xA2, 0x81, 'H', 'e', 'l', 'l', 'o', 0}));
        EXPECT_TRUE(WaitFor([&] { return Colours() == colours + 1; }));
    }
}

TEST_F(ResumePathTest, SettingsChangedAfterTheLastSaveSurviveTheSleep) {
    StartRig();
    Tune();
    ASSERT_EQ(file->SaveUserSettings(), 1);  // the last hide
    ASSERT_EQ(gpus->SetGraphicsClockOffset(1, 150000), 0);  // applied later, never saved
    peripherals::ResumePath resume(settings, *file);

    settings.restoreUserSettings = false;
    EXPECT_FALSE(resume.BeforeSleep()) << "off: nothing is written";
    settings.restoreUserSettings = true;
    ASSERT_TRUE(resume.BeforeSleep());
    sim::SuspendAndResume(*simulator);
    ASSERT_EQ(GraphicsOffsetMhz(1), 0);
    ASSERT_TRUE(resume.OnResume());
    EXPECT_EQ(GraphicsOffsetMhz(1), 150) << "what was set just before the sleep, not the older file";
}

}  // namespace
}  // namespace vx::tuningtest
