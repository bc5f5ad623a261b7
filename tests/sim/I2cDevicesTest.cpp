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
    auto monitor = Make(I2cDeviceKind::PowerMonitor, 0x90);
    std::vector<uint8_t> two(2), three(3, 0xAA);
    EXPECT_EQ(monitor->Read(0x03, two), 0);
    EXPECT_THAT(two, ElementsAre(0x1A, 0x0A));
    EXPECT_EQ(monitor->Read(0x03, three), kI2cNak);  // 0x05 is not a register
    EXPECT_THAT(three, ElementsAre(0xAA, 0xAA, 0xAA));
    EXPECT_EQ(ReadByte(*monitor, 0x02), std::nullopt);

    // A write that runs into a missing register changes nothing.
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

TEST(I2cDevices, AFaultAnswersEveryTransfer) {
    auto controller = Make(I2cDeviceKind::VoltageController, 0x60);
    controller->SetFault(-1);
    EXPECT_EQ(ReadByte(*controller, 0x01), std::nullopt);
    EXPECT_EQ(WriteByte(*controller, 0x01, 9), -1);
    EXPECT_EQ(controller->Peek(0x01), 0x02);
    controller->SetFault(0);
    EXPECT_TRUE(WriteTestPasses(*controller, 0x01));
}

TEST(I2cDevices, RpmFanControllerIdentityAndTemperature) {
    for (uint8_t address : {0x5C, 0x5A}) {
        auto fan = Make(I2cDeviceKind::RpmFanController, address);
        EXPECT_EQ(ReadByte(*fan, 0x04), address);
        EXPECT_EQ(WriteByte(*fan, 0x04, 0), 0);  // read-only: accepted and ignored
        EXPECT_EQ(ReadByte(*fan, 0x04), address);
    }
    // Not the fan microcontroller: its identity bytes are absent.
    auto fan = Make(I2cDeviceKind::RpmFanController, 0x5C, {{0x14, 60}});
    EXPECT_EQ(ReadByte(*fan, 0x3D), std::nullopt);

    // The temperature reads only with sensing on (bit 2 of 0x01), plus the signed offset.
    EXPECT_EQ(ReadByte(*fan, 0x14), 0);
    uint8_t control = ReadByte(*fan, 0x01).value();
    EXPECT_EQ(WriteByte(*fan, 0x01, control | 4), 0);
    EXPECT_EQ(ReadByte(*fan, 0x14), 60);
    EXPECT_EQ(WriteByte(*fan, 0x64, static_cast<uint8_t>(-10)), 0);
    EXPECT_EQ(ReadByte(*fan, 0x64), 0xF6);
    EXPECT_EQ(ReadByte(*fan, 0x14), 50);
    EXPECT_EQ(WriteByte(*fan, 0x14, 99), 0);
    EXPECT_EQ(ReadByte(*fan, 0x14), 50);
    fan->Poke(0x14, 5);
    EXPECT_EQ(ReadByte(*fan, 0x14), 0);  // never below 0 degrees
    EXPECT_TRUE(ReadByte(*fan, 0x1A).has_value());
}

TEST(I2cDevices, RpmFanControllerPeriodsAndCurve) {
    auto fan = Make(I2cDeviceKind::RpmFanController, 0x5C);
    auto period = [&](uint8_t high) { return (ReadByte(*fan, high).value() << 8) | ReadByte(*fan, high + 1).value(); };
    EXPECT_EQ(period(0x16), 1000);  // automatic: its own speed

    // A fixed target of 5000 RPM is period 300, and the fan follows it.
    EXPECT_EQ(WriteByte(*fan, 0x60, (ReadByte(*fan, 0x60).value() & 0xFB) | 1), 0);
    EXPECT_EQ(WriteByte(*fan, 0x74, 300 >> 8), 0);
    EXPECT_EQ(WriteByte(*fan, 0x75, 300 & 0xFF), 0);
    EXPECT_EQ(period(0x16), 300);
    EXPECT_EQ(1500000 / period(0x16), 5000);
    // Back to automatic (& 0xFA): the measured period is the controller's own again.
    EXPECT_EQ(WriteByte(*fan, 0x60, ReadByte(*fan, 0x60).value() & 0xFA), 0);
    EXPECT_EQ(period(0x16), 1000);
    EXPECT_EQ(WriteByte(*fan, 0x16, 0), 0);
    EXPECT_EQ(period(0x16), 1000);

    // Start-up: the status byte's top bits come up set and can be cleared; the variant is fixed.
    EXPECT_EQ(ReadByte(*fan, 0x92).value() & 0xC0, 0xC0);
    EXPECT_EQ(WriteByte(*fan, 0x92, ReadByte(*fan, 0x92).value() % 64), 0);
    EXPECT_EQ(ReadByte(*fan, 0x92).value() & 0xC0, 0);
    EXPECT_EQ(WriteByte(*fan, 0x02, 4), 0);
    EXPECT_EQ(ReadByte(*fan, 0x02), 0);
    auto variant = Make(I2cDeviceKind::RpmFanController, 0x5C, {{0x02, 4}});
    EXPECT_EQ(ReadByte(*variant, 0x02), 4);

    // Curve bytes and speeds, the alarm temperature and the controller flag are writable.
    const std::vector<uint8_t> curve = {80, 55, 0, 0, 19, 24, 35, 35, 35};
    EXPECT_EQ(fan->Write(0xA0, curve), 0);
    std::vector<uint8_t> back(9);
    EXPECT_EQ(fan->Read(0xA0, back), 0);
    EXPECT_EQ(back, curve);
    EXPECT_TRUE(WriteTestPasses(*fan, 0x28));
    EXPECT_EQ(WriteByte(*fan, 0x60, 2), 0);
    EXPECT_EQ(ReadByte(*fan, 0x60), 2);
}

TEST(I2cDevices, RpmFanControllerSensorsStreamTheirWord) {
    auto fan = Make(I2cDeviceKind::RpmFanController, 0x5C, {}, [](I2cDeviceConfig& d) { d.sensorB = 0x0203; });
    EXPECT_EQ(ReadByte(*fan, 0x1F), 0x02);
    EXPECT_EQ(ReadByte(*fan, 0x1F), 0x03);
    EXPECT_EQ(ReadByte(*fan, 0x1F), 0x02);
    EXPECT_EQ(fan->Peek(0x1F), 0x03);  // looking does not move the stream
    EXPECT_EQ(ReadByte(*fan, 0x1F), 0x03);
    auto* controller = dynamic_cast<RpmFanController*>(fan.get());
    ASSERT_NE(controller, nullptr);
    ReadByte(*fan, 0x1F);
    controller->SetSensorB(0x0010);
    EXPECT_EQ(ReadByte(*fan, 0x1F), 0x00);
    EXPECT_EQ(ReadByte(*fan, 0x1F), 0x10);
    EXPECT_TRUE(ReadByte(*fan, 0x12).has_value());
    EXPECT_EQ(ReadByte(*fan, 0x13), 85);
}

TEST(I2cDevices, FanMicrocontrollerIdentityAndProbeWrites) {
    auto fan = Make(I2cDeviceKind::FanMicrocontroller, 0x5C);
    EXPECT_EQ(ReadByte(*fan, 0x3D), 's');
    EXPECT_EQ(ReadByte(*fan, 0x3E), 'A');
    EXPECT_EQ(ReadByte(*fan, 0x04), std::nullopt);  // so the RPM-controller probe fails on it
    EXPECT_EQ(WriteByte(*fan, 0x7B, 0x55), 0);
    EXPECT_EQ(ReadByte(*fan, 0x7B), 0x55);
    for (uint8_t saved : {0x38, 0x39}) {
        EXPECT_EQ(WriteByte(*fan, saved, 255), 0);
        EXPECT_EQ(ReadByte(*fan, saved), 255);
    }
    // A board without the identity bytes keeps the driver's fan path.
    auto plain = Make(I2cDeviceKind::FanMicrocontroller, 0x5C, {{0x3E, 0}});
    EXPECT_EQ(ReadByte(*plain, 0x3E), 0);
}

TEST(I2cDevices, FanMicrocontrollerDutyDrivesTheTach) {
    auto fan = Make(I2cDeviceKind::FanMicrocontroller, 0x5C, {}, [](I2cDeviceConfig& d) { d.maxRpm = 3000; });
    auto tach = [&] { return ReadByte(*fan, 0x28).value() | (ReadByte(*fan, 0x29).value() << 8); };
    EXPECT_EQ(ReadByte(*fan, 0x30), 0x66);  // its own duty
    EXPECT_EQ(ReadByte(*fan, 0x31), 0x66);
    EXPECT_EQ(tach(), 5400000 / (3000 * 0x66 / 255));

    // A duty written while the controller runs on its own changes nothing yet.
    EXPECT_EQ(WriteByte(*fan, 0x31, 255), 0);
    EXPECT_EQ(ReadByte(*fan, 0x31), 0x66);
    // The fixed mode (top three bits of 0x5D) takes it: full duty is the full speed.
    EXPECT_EQ(WriteByte(*fan, 0x5D, ReadByte(*fan, 0x5D).value() | 0xE0), 0);
    EXPECT_EQ(ReadByte(*fan, 0x31), 255);
    EXPECT_EQ(ReadByte(*fan, 0x30), 255);
    EXPECT_EQ(tach(), 1800);
    EXPECT_EQ(5400000 / tach(), 3000);
    EXPECT_EQ(WriteByte(*fan, 0x31, 100), 0);  // 39 %
    EXPECT_EQ(ReadByte(*fan, 0x31).value() * 100 / 255, 39);
    // Back to automatic (value % 32).
    EXPECT_EQ(WriteByte(*fan, 0x5D, ReadByte(*fan, 0x5D).value() % 32), 0);
    EXPECT_EQ(ReadByte(*fan, 0x30), 0x66);
    EXPECT_EQ(WriteByte(*fan, 0x28, 1), 0);  // the tach is read-only
    EXPECT_EQ(tach(), 5400000 / (3000 * 0x66 / 255));

    // A count of 60000 is 90 RPM; a fan without a tach signal reads 0xFFFF.
    auto slow = Make(I2cDeviceKind::FanMicrocontroller, 0x5C, {{0x30, 90}}, [](I2cDeviceConfig& d) { d.maxRpm = 255; });
    EXPECT_EQ(ReadByte(*slow, 0x28).value() | (ReadByte(*slow, 0x29).value() << 8), 60000);
    auto noTach = Make(I2cDeviceKind::FanMicrocontroller, 0x5C, {}, [](I2cDeviceConfig& d) { d.maxRpm = 0; });
    EXPECT_EQ(ReadByte(*noTach, 0x28), 0xFF);
    EXPECT_EQ(ReadByte(*noTach, 0x29), 0xFF);
}

TEST(I2cDevices, VoltageControllersAnswerTheirProbes) {
    auto legacy = Make(I2cDeviceKind::LegacyVoltageController, 0xE0);
    auto step = Make(I2cDeviceKind::StepVoltageController, 0xE0);
    EXPECT_EQ(ReadByte(*legacy, 0x1A), 10);
    EXPECT_EQ(ReadByte(*step, 0x1A), 12);
    // Bits 4-5 of 0x1C pick the code register from 0x15 to 0x18.
    uint8_t index = (ReadByte(*legacy, 0x1C).value() >> 4) & 3;
    EXPECT_EQ(ReadByte(*legacy, 0x15 + index), 0x3C);  // 1200 mV
    EXPECT_EQ(WriteByte(*legacy, 0x17, 0x44 & 0x7F), 0);
    EXPECT_EQ(ReadByte(*legacy, 0x17), 0x44);
    // The step controller's apply sequence.
    EXPECT_EQ(WriteByte(*step, 0x18, 20), 0);
    EXPECT_EQ(WriteByte(*step, 0x1D, 0x55), 0);
    EXPECT_EQ(WriteByte(*step, 0x19, ReadByte(*step, 0x19).value() | 8), 0);
    EXPECT_EQ(ReadByte(*step, 0x18), 20);
    EXPECT_EQ(ReadByte(*step, 0x19), 8);

    auto controller = Make(I2cDeviceKind::VoltageController, 0x60);
    EXPECT_TRUE(WriteTestPasses(*controller, 0x01));
    EXPECT_TRUE(WriteTestPasses(*controller, 0x01, true));
    auto board = Make(I2cDeviceKind::BoardVoltageController, 0x10);
    EXPECT_TRUE(WriteTestPasses(*board, 0x6F));
    EXPECT_EQ(ReadByte(*board, 0x7A), std::nullopt);

    // A read-only code register fails the write test, except the one that writes the same value.
    auto locked = Make(I2cDeviceKind::VoltageController, 0x60, {}, [](I2cDeviceConfig& d) { d.readOnly = {0x01}; });
    EXPECT_FALSE(WriteTestPasses(*locked, 0x01));
    EXPECT_TRUE(WriteTestPasses(*locked, 0x01, true));
    auto zero = Make(I2cDeviceKind::VoltageController, 0x60, {{0x01, 0}});
    EXPECT_TRUE(WriteTestPasses(*zero, 0x01));
    EXPECT_EQ(ReadByte(*zero, 0x01), 1);
}

TEST(I2cDevices, BoardDevicesAndMonitors) {
    auto board = Make(I2cDeviceKind::BoardDevice, 0x10, {{0x1C, 0x20}});
    for (uint8_t reg : {0x01, 0x62, 0x7A}) EXPECT_TRUE(ReadByte(*board, reg).has_value()) << int(reg);
    EXPECT_EQ(ReadByte(*board, 0x1C).value() & 0x20, 0x20);
    EXPECT_FALSE(WriteTestPasses(*board, 0x6F));  // not a voltage controller
    EXPECT_TRUE(WriteTestPasses(*board, 0x7A));
    EXPECT_FALSE(WriteTestPasses(*board, 0x62));

    auto monitor = Make(I2cDeviceKind::PowerMonitor, 0x92, {{0x03, 0x12}, {0x04, 0x34}});
    std::vector<uint8_t> word(2);
    EXPECT_EQ(monitor->Read(0x03, word), 0);
    EXPECT_THAT(word, ElementsAre(0x12, 0x34));
    EXPECT_TRUE(ReadByte(*monitor, 0x01).has_value());
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
