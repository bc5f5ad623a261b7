// The LCD module's custom message against the simulator's LCD module: the exact bytes on the bus,
// the checks that keep a message off it, and what a send keeps.
#include "../gpu/I2cTestSupport.h"

#include "peripherals/LcmMessage.h"
#include "support/ScriptedPrompts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vx::gputest {
namespace {

using peripherals::LcmDisplay;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kBus = 2;  // port byte of I2cWriteAt
const auto kLcm = Device(I2cDeviceKind::LcdModule, kBus, 0x9C);

class LcmMessageTest : public I2cGpus {
protected:
    void StartWith(int gpuCount) {
        std::vector<sim::GpuModel> models;
        for (int k = 0; k < gpuCount; ++k) models.push_back(GpuWith(0x1B82, {kLcm}));
        ASSERT_EQ(StartAndInitialize(RigOf(std::move(models))), 0);
        display = std::make_unique<LcmDisplay>(*gpus, prompts, saved);
        Panel() = {};  // no toggle, mode 0
        simulator->ClearCalls();
    }
    std::vector<Bytes> Messages(std::size_t gpu = 0) const { return simulator->I2cLcdMessages(gpu, kBus, 0x9C); }
    peripherals::LcmPanelControls& Panel() { return display->panel(); }
    void Screens(int count, std::array<std::string, 3> texts) {
        Panel().largeFont = true;
        Panel().screenCount = count;
        Panel().screens = std::move(texts);
    }

    test::ScriptedPrompts prompts;
    tuning::LcmValues saved;
    std::unique_ptr<LcmDisplay> display;
};

TEST_F(LcmMessageTest, ThreeScreensReachRegister40OfTheModuleOnPort1) {
    StartWith(1);
    Screens(3, {"A", "B", "C"});
    EXPECT_TRUE(display->ApplyPanel(0, false));
    const std::vector<I2cCall> calls = I2cCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].write());
    EXPECT_EQ(calls[0].address, 0x9C);
    EXPECT_EQ(calls[0].reg, 0x40);
    EXPECT_EQ(calls[0].portId, 1);
    EXPECT_THAT(calls[0].bytes, ElementsAre(0x80, 0x83, 0x41, 0x0D, 0x42, 0x0D, 0x43, 0x00));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(LcmMessageTest, CommandAndScreenBytes) {
    struct Case {
        std::array<bool, 4> toggles;
        int mode;
        bool largeFont;
        int screens;
        Bytes expected;
    };
    const Case cases[] = {
        {{false, false, false, false}, 0, true, 1, {0x80, 0x81, 'A', 0}},
        {{true, false, false, false}, 2, true, 2, {0xA2, 0x82, 'A', 0x0D, 'B', 0}},
        {{false, true, true, true}, 6, true, 1, {0xDE, 0x81, 'A', 0}},
        {{true, true, true, true}, 9, true, 1, {0xFE, 0x81, 'A', 0}},  // a mode past the list is its last
        {{false, false, false, false}, 1, false, 3, {0x81, 0x30, 'L', '1', '\r', '\n', 'L', '2', 0}},
    };
    StartWith(1);
    for (const Case& c : cases) {
        Panel() = {};
        for (std::size_t k = 0; k < 4; ++k)
            if (c.toggles[k]) Panel().Toggle(k);
        Panel().modeIndex = c.mode;
        Screens(c.screens, {"A", "B", "C"});
        Panel().largeFont = c.largeFont;
        Panel().standardText = "L1\r\nL2";
        ASSERT_TRUE(display->ApplyPanel(0, false)) << c.mode;
        EXPECT_THAT(Messages().back(), ElementsAreArray(c.expected)) << c.mode;
    }
}

TEST_F(LcmMessageTest, RefusedMessagesLeaveTheBusAlone) {
    struct Case {
        const char* name;
        int screens;
        std::array<std::string, 3> texts;
        bool largeFont;
        std::string standard;
        const char* message;
        const char* caption;
    };
    const char* empty = peripherals::kLcmEmptyText;
    const char* bad = peripherals::kLcmBadCharacterText;
    const Case cases[] = {
        {"second screen empty", 2, {"A", "", "C"}, true, "", empty, "information"},
        {"first screen empty", 1, {"", "B", ""}, true, "", empty, "information"},
        {"standard text empty", 1, {"A", "", ""}, false, "", empty, "information"},
        {"above 0x7F", 1, {"caf\xC3\xA9", "", ""}, true, "", bad, "Error"},
        {"byte 0x80", 2, {"A", "\x80", ""}, true, "", bad, "Error"},
        {"control character", 1, {"A\x01", "", ""}, true, "", bad, "Error"},
        {"line break inside a screen", 1, {"A\rB", "", ""}, true, "", bad, "Error"},
        {"standard text tab", 1, {"", "", ""}, false, "a\tb", bad, "Error"},
    };
    StartWith(1);
    for (const Case& c : cases) {
        prompts.shown.clear();
        Screens(c.screens, c.texts);
        Panel().largeFont = c.largeFont;
        Panel().standardText = c.standard;
        EXPECT_FALSE(display->ApplyPanel(0, false)) << c.name;
        ASSERT_EQ(prompts.shown.size(), 1u) << c.name;
        EXPECT_EQ(prompts.shown[0].text, c.message) << c.name;
        EXPECT_EQ(prompts.shown[0].caption, c.caption) << c.name;
        EXPECT_FALSE(display->Resend()) << c.name;  // and quietly at start or resume
        EXPECT_EQ(prompts.shown.size(), 1u) << c.name;
    }
    EXPECT_TRUE(I2cCalls().empty());
    // 0x20 and 0x7F are the bounds that still display; a screen keeps its first 55 characters.
    Screens(2, {" ~\x7F", std::string(60, 'x'), ""});
    ASSERT_TRUE(display->ApplyPanel(0, false));
    Bytes expected = {0x80, 0x82, ' ', '~', 0x7F, 0x0D};
    expected.insert(expected.end(), 55, 'x');
    expected.push_back(0);
    EXPECT_THAT(Messages().back(), ElementsAreArray(expected));
}

TEST_F(LcmMessageTest, AllGpusOrOne) {
    StartWith(3);
    Screens(1, {"Hi", "", ""});
    ASSERT_TRUE(display->ApplyPanel(1, false));
    EXPECT_EQ(Messages(0).size(), 0u);
    EXPECT_EQ(Messages(1).size(), 1u);
    ASSERT_TRUE(display->ApplyPanel(1, true));
    for (std::size_t gpu = 0; gpu < 3; ++gpu)
        EXPECT_THAT(Messages(gpu).back(), ElementsAre(0x80, 0x81, 'H', 'i', 0)) << gpu;
    // A GPU whose module does not answer fails the send; the others still get it.
    simulator->SetI2cDeviceFault(1, kBus, 0x9C, -1);
    EXPECT_FALSE(display->Resend());
    EXPECT_EQ(Messages(0).size(), 2u);
    EXPECT_EQ(Messages(1).size(), 2u);
    EXPECT_EQ(Messages(2).size(), 2u);
}

TEST_F(LcmMessageTest, ASuccessfulSendIsKeptAndShownAgain) {
    StartWith(1);
    Screens(2, {"One", "Two", "Three"});
    Panel().Toggle(0);
    Panel().modeIndex = 3;
    Panel().intervals[0].SetPos(5);
    Panel().intervals[2].SetPos(300);  // clamped to the interval range
    simulator->SetI2cDeviceFault(0, kBus, 0x9C, -1);
    EXPECT_FALSE(display->ApplyPanel(0, false));
    EXPECT_EQ(saved.command, 162);  // nothing kept from a failed send
    EXPECT_TRUE(saved.screens[0].empty());
    simulator->SetI2cDeviceFault(0, kBus, 0x9C, 0);
    ASSERT_TRUE(display->ApplyPanel(0, false));
    EXPECT_EQ(saved.command, 0xA3);
    EXPECT_EQ(saved.fontAndScreen, 0x82);
    EXPECT_EQ(saved.screens[0], u"One");
    EXPECT_EQ(saved.screens[2], u"Three");
    EXPECT_THAT(saved.screenValues, ElementsAre(5, 0, 255));

    // The next start shows the same panel and sends the same bytes.
    LcmDisplay again(*gpus, prompts, saved);
    ASSERT_TRUE(again.Resend());
    const std::vector<Bytes> messages = Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], messages[1]);
    EXPECT_EQ(again.panel().intervals[0].GetPos(), 5);
}

TEST_F(LcmMessageTest, DefaultsSendNothing) {
    StartWith(1);
    LcmDisplay fresh(*gpus, prompts, saved);
    EXPECT_FALSE(fresh.Resend());  // no text saved yet: the module keeps its own
    EXPECT_TRUE(I2cCalls().empty());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(LcmCommandByte(fresh.panel()), 162);  // the saved command's toggle and mode
}

}  // namespace
}  // namespace vx::gputest
