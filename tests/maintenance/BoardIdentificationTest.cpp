// The start-up identification worker over the simulated driver: the rig's BIOS image, the fan
// microcontroller probe as it reaches the bus, and the completion message.
#include "maintenance/BoardIdentification.h"

#include "gpu/I2cTestSupport.h"
#include "sim/SimBiosImage.h"
#include "support/FakeClock.h"
#include "support/ManualEventLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

namespace vx::maintenance {
namespace {

using gputest::Device;
using gputest::GpuWith;
using sim::I2cDeviceKind;

constexpr uint8_t kPort = 2;
constexpr uint8_t kFanAddress = 0x5C;

std::vector<uint8_t> ImageWith(const char* text) {
    std::vector<uint8_t> image(2048, 0xFF);
    image[0] = 0x55;
    image[1] = 0xAA;
    std::memcpy(image.data() + 0x60, text, std::strlen(text));
    return image;
}

sim::GpuModel CardWithController(uint16_t maxRpm, const char* biosText) {
    sim::I2cDeviceConfig mcu = Device(I2cDeviceKind::FanMicrocontroller, kPort, kFanAddress);
    mcu.maxRpm = maxRpm;
    sim::GpuModel gpu = GpuWith(0x1B82, {mcu});
    gpu.biosImage = ImageWith(biosText);
    return gpu;
}

class BoardIdentificationTest : public gputest::I2cGpus {
protected:
    void Identify(std::vector<sim::GpuModel> cards) {
        Start(gputest::RigOf(std::move(cards)));
        ASSERT_EQ(gpus->Initialize(), 0);
        simulator->ClearCalls();
        sim::SimBiosImage images(*simulator);
        IdentifyBoards(*gpus, images);
    }
};

struct ProbeCase {
    const char* name;
    uint16_t maxRpm;
    const char* bios;
    const char* tag;
    int32_t kind;
    uint32_t fanFlags;
    const char* savedRegister;
};

const ProbeCase kProbeCases[] = {
    {"MarkedBoardTakesDirectWrites", 3000, "VGA BIOS TAxG1F0-F", "G1F0", kFanDriverWithMcuWrites, 1, "39"},
    {"UnmarkedBoardKeepsTheTachKind", 3000, "VGA BIOS TB5WXYZ", "WXYZ", kFanDriverWithTachMcu, 1, "38"},
    {"SilentTachLeavesTheFlagClear", 0, "VGA BIOS QA12AB", "12AB", kFanDriverWithTachMcu, 0, "38"},
};

class ProbeTest : public BoardIdentificationTest, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(ProbeTest, ScansTheImageThenProbesTheControllerAndPutsTheFanBack) {
    const ProbeCase& c = GetParam();
    Identify({CardWithController(c.maxRpm, c.bios)});
    EXPECT_EQ(gpus->biosTagText(0), c.tag);
    EXPECT_EQ(gpus->fanAccessKind(0), c.kind);
    EXPECT_EQ(RecordOf(0).fanFlags, c.fanFlags);
    EXPECT_EQ(RecordOf(0).savedFanRegister, 255);

    const std::vector<std::string> steps = Steps(kPort, kFanAddress);
    const auto firstTach = std::find(steps.begin(), steps.end(), "R 28");
    ASSERT_NE(firstTach, steps.end());
    // 45 % (duty 0x73) reaches the controller before the tach is read (kind 2 writes it itself).
    if (c.kind == kFanDriverWithMcuWrites) {
        EXPECT_NE(std::find(steps.begin(), firstTach, "W 31=73"), firstTach);
    }
    std::vector<std::string> rounds(firstTach, firstTach + std::min<std::ptrdiff_t>(10, steps.end() - firstTach));
    std::vector<std::string> expected;
    for (int i = 0; i < 5; ++i) expected.insert(expected.end(), {"R 28", "R 29"});
    EXPECT_EQ(rounds, expected);
    EXPECT_EQ(std::count(steps.begin(), steps.end(), "R 28"), 5);
    const std::string saved = c.savedRegister;
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(steps.end() - 2, steps.end()),
              (std::vector<std::string>{"W " + saved + "=FF", "R " + saved}));

    int32_t mode = 0;
    ASSERT_EQ(gpus->GetFanMode(0, mode), 0);
    EXPECT_EQ(mode, GpuAccess::kFanModeAutomatic);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProbeTest, ::testing::ValuesIn(kProbeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoardIdentificationTest, SeveralGpusReadNoImage) {
    Identify({CardWithController(3000, "VGA BIOS TAxG1F0-F"), CardWithController(3000, "VGA BIOS PA2222-F")});
    for (uint8_t gpu = 0; gpu < 2; ++gpu) {
        EXPECT_EQ(gpus->biosTagText(gpu), "");
        EXPECT_EQ(gpus->fanAccessKind(gpu), kFanDriverWithTachMcu);
        EXPECT_EQ(RecordOf(gpu).fanFlags, 1u);  // the probes still run
    }
}

TEST_F(BoardIdentificationTest, OnlyAPercentFanMicrocontrollerIsProbed) {
    // A board whose fan runs on the RPM controller would take 45 % as a 45 RPM target.
    sim::GpuModel rpmBoard = CardWithController(3000, "VGA BIOS TB5WXYZ-F");
    rpmBoard.i2cDevices.push_back(Device(I2cDeviceKind::RpmFanController, kPort, 0x5A));
    for (const auto& [card, kind] : {std::pair{gputest::Gpu(0x1B82), kFanDriverCooler},
                                     std::pair{rpmBoard, kFanRpmController}}) {
        Identify({card});
        EXPECT_EQ(gpus->fanAccessKind(0), kind);
        EXPECT_TRUE(I2cCalls().empty());
    }
}

TEST_F(BoardIdentificationTest, CompletionMessageArrivesTwiceOnTheInterfaceThread) {
    Start(gputest::RigOf({CardWithController(3000, "VGA BIOS TAxG1F0-F")}));
    ASSERT_EQ(gpus->Initialize(), 0);
    sim::SimBiosImage images(*simulator);
    test::FakeClock loopClock;
    test::ManualEventLoop loop(loopClock);
    std::vector<std::pair<uint32_t, std::thread::id>> received;
    BoardIdentification worker(*gpus, images, loop,
                               [&](uint32_t message) { received.emplace_back(message, std::this_thread::get_id()); });
    worker.Wait();
    EXPECT_TRUE(received.empty());  // nothing runs until the interface thread takes it
    EXPECT_EQ(gpus->biosTagText(0), "G1F0");
    loop.RunPending();
    const auto self = std::this_thread::get_id();
    EXPECT_EQ(received, (std::vector<std::pair<uint32_t, std::thread::id>>{{3023, self}, {3023, self}}));
}

}  // namespace
}  // namespace vx::maintenance
