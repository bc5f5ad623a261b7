// The card device models, register by register, as the program's probes and operations use them.
#include "sim/I2cDevice.h"
#include "sim/I2cDevices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace vx::sim {
namespace {

using ::testing::ElementsAre;

// A model with power-up overrides; `tweak` sets the other fields of its description.
std::unique_ptr<I2cDevice> Make(I2cDeviceKind kind, uint8_t address, std::map<uint8_t, uint8_t> registers = {},
                                void (*tweak)(I2cDeviceConfig&) = nullptr) {
    I2cDeviceConfig config;
    config.kind = kind;
    config.port = 2;
    config.address = address;
    config.registers = std::move(registers);
    if (tweak) tweak(config);
    return MakeI2cDevice(config);
}

// One-byte transfers, as the card-device operations make them.
std::optional<uint8_t> ReadByte(I2cDevice& device, uint8_t reg) {
    uint8_t value = 0xEE;
    if (device.Read(reg, std::span<uint8_t>(&value, 1)) != 0) return std::nullopt;
    return value;
}

int32_t WriteByte(I2cDevice& device, uint8_t reg, uint8_t value) {
    return device.Write(reg, std::span<const uint8_t>(&value, 1));
}

// Read v, write v - 1 (1 when v is 0) or v itself, read back the value written.
bool WriteTestPasses(I2cDevice& device, uint8_t reg, bool sameValue = false) {
    std::optional<uint8_t> v = ReadByte(device, reg);
    if (!v) return false;
    uint8_t written = sameValue ? *v : (*v == 0 ? 1 : static_cast<uint8_t>(*v - 1));
    if (WriteByte(device, reg, written) != 0) return false;
    return ReadByte(device, reg) == written;
}

TEST(I2cDevices, RegisterFileTransfersAreWholeOrNothing) {
    // Reads are checked through the simulator's entries; here, a write that runs into a
    // missing register changes nothing.
    auto board = Make(I2cDeviceKind::BoardDevice, 0x10, {{0x7B, 0}});
    const std::vector<uint8_t> bytes = {5, 6, 7};
    EXPECT_EQ(board->Write(0x7A, bytes), kI2cNak);
    EXPECT_EQ(board->Peek(0x7A), 0);
    EXPECT_EQ(board->Write(0x7A, std::span(bytes).first(2)), 0);
    EXPECT_EQ(board->Peek(0x7A), 5);
    EXPECT_EQ(board->Peek(0x7B), 6);

    // The register pointer does not wrap past 0xFF.
    auto top = Make(I2cDeviceKind::BoardDevice, 0x10, {{0xFF, 1}, {0x00, 2}});
    std::vector<uint8_t> wrap(2);
    EXPECT_EQ(top->Read(0xFF, wrap), kI2cNak);
}

TEST(I2cDevices, RpmFanControllerTemperatureAndSensorB) {
    auto fan = Make(I2cDeviceKind::RpmFanController, 0x5C, {{0x14, 60}}, [](I2cDeviceConfig& d) { d.sensorB = 0x0203; });
    EXPECT_EQ(WriteByte(*fan, 0x04, 0), 0);  // the identity is read-only: accepted and ignored
    EXPECT_EQ(ReadByte(*fan, 0x04), 0x5C);

    // The temperature reads only with sensing on (bit 2 of 0x01), plus the signed offset.
    EXPECT_EQ(ReadByte(*fan, 0x14), 0);
    EXPECT_EQ(WriteByte(*fan, 0x01, ReadByte(*fan, 0x01).value() | 4), 0);
    EXPECT_EQ(ReadByte(*fan, 0x14), 60);
    EXPECT_EQ(WriteByte(*fan, 0x64, static_cast<uint8_t>(-10)), 0);
    EXPECT_EQ(ReadByte(*fan, 0x14), 50);
    EXPECT_EQ(WriteByte(*fan, 0x14, 99), 0);
    EXPECT_EQ(ReadByte(*fan, 0x14), 50);
    fan->Poke(0x14, 5);
    EXPECT_EQ(ReadByte(*fan, 0x14), 0);  // never below 0 degrees

    // Sensor B streams its word high byte first; looking does not move the stream.
    EXPECT_EQ(ReadByte(*fan, 0x1F), 0x02);
    EXPECT_EQ(fan->Peek(0x1F), 0x03);
    EXPECT_EQ(ReadByte(*fan, 0x1F), 0x03);
    auto* controller = dynamic_cast<RpmFanController*>(fan.get());
    ASSERT_NE(controller, nullptr);
    controller->SetSensorB(0x0010);
    EXPECT_EQ(ReadByte(*fan, 0x1F), 0x00);
    EXPECT_EQ(ReadByte(*fan, 0x1F), 0x10);
}

// The write test the probes use must tell a voltage controller's code register apart.
TEST(I2cDevices, WriteTestsTellTheKindsApart) {
    auto board = Make(I2cDeviceKind::BoardDevice, 0x10);
    EXPECT_FALSE(WriteTestPasses(*board, 0x6F));  // not a voltage controller
    EXPECT_TRUE(WriteTestPasses(*board, 0x7A));
    EXPECT_FALSE(WriteTestPasses(*board, 0x62));
    auto locked = Make(I2cDeviceKind::VoltageController, 0x60, {}, [](I2cDeviceConfig& d) { d.readOnly = {0x01}; });
    EXPECT_FALSE(WriteTestPasses(*locked, 0x01));
    EXPECT_TRUE(WriteTestPasses(*locked, 0x01, true));
}

TEST(I2cDevices, LightingControllersRecordTheColoursTheyTake) {
    auto kind1 = Make(I2cDeviceKind::LedController1, 0x40);
    const std::vector<uint8_t> probe = {0x10, 0x01}, init = {0x10, 0x02}, last = {0x00, 0x01};
    EXPECT_EQ(kind1->Write(0x00, probe), 0);
    EXPECT_EQ(kind1->Write(0x00, init), 0);
    EXPECT_EQ(kind1->Write(0xFF, last), 0);
    const std::vector<uint8_t> frame = {0x01, 0, 0, 0, 0, 254, 27, 46, 0xFF, 0xF0};
    const std::vector<uint8_t> dark = {0x01, 0, 0, 0, 0, 0, 0, 0, 0x00, 0xF0};
    EXPECT_EQ(kind1->Write(0x01, frame), 0);
    EXPECT_EQ(kind1->Write(0x01, dark), 0);
    EXPECT_EQ(kind1->Write(0x01, std::span(frame).first(8)), kI2cNak);
    EXPECT_THAT(kind1->Colours(), ElementsAre(LightingColour{254, 27, 46}, LightingColour{0, 0, 0}));
    EXPECT_EQ(ReadByte(*kind1, 0x00), 0x10);

    auto kind2 = Make(I2cDeviceKind::LedController2, 0x8A);
    EXPECT_TRUE(ReadByte(*kind2, 0x00).has_value());
    for (auto [reg, value] : std::vector<std::pair<uint8_t, uint8_t>>{
             {0x01, 0x01}, {0x31, 3}, {0x32, 3}, {0x33, 3}, {0x34, 255}, {0x35, 200}, {0x36, 0}})
        EXPECT_EQ(WriteByte(*kind2, reg, value), 0);
    EXPECT_TRUE(kind2->Colours().empty());  // nothing shows before the latch
    EXPECT_EQ(WriteByte(*kind2, 0x30, 0x07), 0);
    EXPECT_THAT(kind2->Colours(), ElementsAre(LightingColour{255, 200, 0}));

    auto kind3 = Make(I2cDeviceKind::LedController3, 0x58);
    EXPECT_TRUE(ReadByte(*kind3, 0x00).has_value());
    for (auto [reg, value] : std::vector<std::pair<uint8_t, uint8_t>>{{0x05, 0}, {0x02, 128}, {0x03, 0}, {0x04, 128}})
        EXPECT_EQ(WriteByte(*kind3, reg, value), 0);
    EXPECT_THAT(kind3->Colours(), ElementsAre(LightingColour{128, 0, 128}));
    // The kind-2 and kind-3 probes read 0x00; the kind-1 controller has no such answer elsewhere.
    EXPECT_EQ(ReadByte(*kind1, 0x34), std::nullopt);
}

TEST(I2cDevices, LightingKeepsOnlyTheNewestColours) {
    auto kind3 = Make(I2cDeviceKind::LedController3, 0x58);
    for (std::size_t i = 0; i <= LightingController::kMaxRecorded; ++i)
        WriteByte(*kind3, 0x04, static_cast<uint8_t>(i));
    std::vector<LightingColour> colours = kind3->Colours();
    ASSERT_EQ(colours.size(), LightingController::kMaxRecorded);
    EXPECT_EQ(colours.front().blue, 1);
    EXPECT_EQ(colours.back().blue, static_cast<uint8_t>(LightingController::kMaxRecorded));
}

TEST(I2cDevices, LcdModuleTakesWholeMessagesAndAnswersNoReads) {
    auto lcd = Make(I2cDeviceKind::LcdModule, 0x9C);
    const std::vector<uint8_t> abc = {0x80, 0x83, 'A', 0x0D, 'B', 0x0D, 'C', 0x00};
    // Three screens of 55 characters: the longest message the program sends.
    std::vector<uint8_t> longest = {0x80, 0x83};
    for (int screen = 0; screen < 3; ++screen) {
        if (screen) longest.push_back(0x0D);
        longest.insert(longest.end(), 55, 'x');
    }
    longest.push_back(0);
    EXPECT_EQ(lcd->Write(0x40, abc), 0);
    EXPECT_EQ(lcd->Write(0x40, longest), 0);
    EXPECT_THAT(lcd->Messages(), ElementsAre(abc, longest));
    std::vector<uint8_t> back(8, 0xEE);
    EXPECT_EQ(lcd->Read(0x40, back), kI2cNak);
    EXPECT_EQ(back, std::vector<uint8_t>(8, 0xEE));
    EXPECT_EQ(lcd->Write(0x41, abc), kI2cNak);
}

}  // namespace
}  // namespace vx::sim
