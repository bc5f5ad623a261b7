// The companion keyboard over a fake sysfs tree in a temporary folder, injected plug events, a
// real companion program started and ended, and the vendor library's absence.
#include "../gpu/I2cTestSupport.h"

#include "peripherals/KeyboardCompanion.h"
#include "tuning/CCorvaneHDDlg.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace vx::gputest {
namespace {

namespace fs = std::filesystem;
using peripherals::KeyboardBacklight;
using peripherals::KeyboardCompanion;
using vx::tuning::image::kKeyboardSyncOff;
using vx::tuning::image::kKeyboardSyncOn;

struct UsbEntry {
    std::string name, vendor, product;  // empty vendor: an interface folder without ids
};

class KeyboardCompanionTest : public I2cGpus {
protected:
    void SetUp() override {
        ASSERT_EQ(StartAndInitialize(RigOf({GpuWith(0x1B82, {Device(I2cDeviceKind::LedController1, 2, 0x40)})})), 0);
        controller = std::make_unique<peripherals::LedController>(*gpus);
        controller->ProbeAll(0);
        effects = std::make_unique<peripherals::LedEffects>(*controller, effectClock);
    }
    void TearDown() override {
        companion.reset();
        effects.reset();
    }
    void Build(const std::vector<UsbEntry>& entries, bool withLibrary = false) {
        companion.reset();  // before what it holds goes
        fs::remove_all(home.path() / "usb");
        fs::create_directories(home.path() / "usb");
        for (const UsbEntry& e : entries) {
            fs::create_directories(home.path() / "usb" / e.name);
            if (e.vendor.empty()) continue;
            test::TempDir::WriteFile(home.path() / "usb" / e.name / "idVendor", e.vendor + "\n");
            test::TempDir::WriteFile(home.path() / "usb" / e.name / "idProduct", e.product + "\n");
        }
        // Any shared library without the two exports stands in for one whose exports are missing.
        if (withLibrary) fs::copy_file(VX_SIM_LIBRARY, home.path() / "DeviceDll.so", fs::copy_options::overwrite_existing);
        devices = platform::MakeSysfsDeviceList(home.path() / "usb");
        backlight = std::make_unique<KeyboardBacklight>(home.path(), [this](const std::string& text) { reported = text; });
        companion = std::make_unique<KeyboardCompanion>(*devices, *launcher, prompts, *effects, *backlight, home.path());
    }
    bool Shown() const {
        EXPECT_EQ(companion->syncToggle.IsVisible(), companion->launch.IsEnabled());
        return companion->syncToggle.IsVisible() && companion->launch.IsVisible();
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& shown : prompts.shown) texts.push_back(shown.text);
        return texts;
    }

    test::TempDir home;
    test::ScriptedPrompts prompts;
    test::FakeClock effectClock;
    std::unique_ptr<peripherals::LedController> controller;
    std::unique_ptr<peripherals::LedEffects> effects;
    std::unique_ptr<platform::DeviceList> devices;
    std::unique_ptr<platform::ProcessLauncher> launcher = platform::ProcessLauncher::Make();
    std::unique_ptr<KeyboardBacklight> backlight;
    std::unique_ptr<KeyboardCompanion> companion;
    std::string reported;
};

const UsbEntry kHub{"usb1", "1d6b", "0002"};
const UsbEntry kInterface{"1-1:1.0", "", ""};
const UsbEntry kKeyboard{"1-2", "1024", "2030"};

TEST_F(KeyboardCompanionTest, FindsOnlyTheMakersKeyboardAndNamesEnumerationFailures) {
    struct Case {
        std::vector<UsbEntry> entries;
        bool found;
        std::vector<std::string> messages;
    } cases[] = {
        {{kHub, kInterface, kKeyboard}, true, {}},
        {{kHub, {"1-2", "1024", "2031"}}, false, {}},  // another product of the maker
        {{{"1-2", "1025", "2030"}}, false, {}},
        {{{"1-2", "0000", "1024"}, {"1-3", "2030", "0000"}}, false, {}},
        {{{"1-1", "zz", "2030"}, kKeyboard}, false, {KeyboardCompanion::kIdentifierFailed}},  // stops there
        {{{"1-1", "102400", "2030"}}, false, {KeyboardCompanion::kIdentifierFailed}},
    };
    for (const Case& c : cases) {
        prompts.shown.clear();
        Build(c.entries);
        EXPECT_EQ(companion->FindCompanionKeyboard(), c.found) << c.entries.back().vendor;
        EXPECT_EQ(Messages(), c.messages);
    }
    companion.reset();
    devices = platform::MakeSysfsDeviceList(home.path() / "no-such-folder");
    companion = std::make_unique<KeyboardCompanion>(*devices, *launcher, prompts, *effects, *backlight, home.path());
    prompts.shown.clear();
    companion->OnPageShown(true);
    EXPECT_FALSE(Shown());
    EXPECT_EQ(Messages(), std::vector<std::string>{KeyboardCompanion::kListFailed});
}

TEST_F(KeyboardCompanionTest, ControlsFollowThePageAndPlugEvents) {
    Build({kHub, kKeyboard}, true);
    const platform::UsbEvent plugged{true, {"1024", "2030"}}, unplugged{false, {"1024", "2030"}};
    EXPECT_FALSE(Shown()) << "hidden until the lighting page looks";
    companion->OnDeviceChange(plugged, false);
    EXPECT_FALSE(Shown()) << "plugged while another page shows";
    companion->OnPageShown(true);
    EXPECT_TRUE(Shown());
    companion->OnPageShown(false);
    EXPECT_FALSE(Shown());
    companion->OnDeviceChange(plugged, true);
    EXPECT_TRUE(Shown());
    companion->OnDeviceChange(platform::UsbEvent{false, {"1024", "2031"}}, true);
    EXPECT_TRUE(Shown()) << "another device left";

    companion->ToggleKeyboardSync();
    EXPECT_TRUE(companion->syncToggle.Shows(kKeyboardSyncOn));
    EXPECT_TRUE(effects->useDeviceDll());
    companion->OnDeviceChange(unplugged, true);
    EXPECT_FALSE(Shown());
    EXPECT_TRUE(companion->syncToggle.Shows(kKeyboardSyncOff));
    EXPECT_FALSE(effects->useDeviceDll()) << "sync ends with the keyboard";
    companion->OnDeviceChange(plugged, true);
    EXPECT_TRUE(Shown());
    EXPECT_TRUE(companion->syncToggle.Shows(kKeyboardSyncOff)) << "back with sync off";
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(KeyboardCompanionTest, TheLibraryMattersOnlyWhenSyncIsTurnedOn) {
    Build({kKeyboard});
    EXPECT_TRUE(prompts.shown.empty()) << "nothing said at start without the library";
    companion->ToggleKeyboardSync();
    EXPECT_EQ(Messages(), std::vector<std::string>{KeyboardBacklight::kMissingLibrary});
    EXPECT_TRUE(companion->syncToggle.Shows(kKeyboardSyncOff));
    EXPECT_FALSE(effects->useDeviceDll());

    Build({kKeyboard}, true);
    companion->ToggleKeyboardSync();
    effects->StartLedEffect({0, peripherals::kLedSteady, 1, peripherals::kLedSteady, {0x12, 0x34, 0x56}}, {});
    for (int wait = 0; wait < 10000 && backlight->lastColour() != 0x123456u; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    effects->Stop();
    EXPECT_EQ(backlight->lastColour(), 0x123456u);
    EXPECT_EQ(reported, KeyboardBacklight::kMissingExport);
    EXPECT_EQ(simulator->I2cLightingColours(0, 2, 0x40).size(), 1u) << "the card is lit all the same";
}

TEST_F(KeyboardCompanionTest, ExitEndsOnlyTheCompanionThisProgramStarted) {
    Build({kKeyboard});
    const fs::path program = companion->CompanionPath();
    EXPECT_EQ(program, home.path() / "VXP KeyBoard Advance" / "VXP KeyBoard Advance");
    companion->LaunchCompanion();  // not installed: nothing happens
    EXPECT_FALSE(launcher->Running());

    // Another process that merely looks like the companion.
    const pid_t stranger = ::fork();
    if (stranger == 0) {
        ::execl("/bin/sleep", "VXP KeyBoard Advance", "30", nullptr);
        ::_exit(127);
    }
    ASSERT_GT(stranger, 0);
    companion->CloseCompanion();
    EXPECT_EQ(::kill(stranger, 0), 0) << "not ours: left running";

    test::TempDir::WriteFile(program, "#!/bin/sh\nexec sleep 30\n");
    fs::permissions(program, fs::perms::owner_all);
    companion->LaunchCompanion();
    EXPECT_TRUE(launcher->Running());
    companion->CloseCompanion();
    EXPECT_FALSE(launcher->Running());
    EXPECT_EQ(::kill(stranger, 0), 0);
    ::kill(stranger, SIGKILL);
    ::waitpid(stranger, nullptr, 0);
}

}  // namespace
}  // namespace vx::gputest
