// Operations on the card devices the probes found: voltage codes and their ranges, the
// controller readings of card device 0, the board monitors and the board device at 0x10.
#include "I2cTestSupport.h"

#include <gtest/gtest.h>

namespace vx::gputest {
namespace {

class CardDeviceOpsTest : public I2cGpus {
protected:
    void StartWith(uint16_t deviceId, std::vector<sim::I2cDeviceConfig> devices) {
        ASSERT_EQ(StartAndInitialize(RigOf({GpuWith(deviceId, std::move(devices))})), 0);
        simulator->ClearCalls();
    }
    std::pair<int32_t, int32_t> RangeA(int32_t kind, int32_t expectedStatus = 0) {
        int32_t minimum = -7, maximum = -7;
        EXPECT_EQ(gpus->GetVoltageCodeRangeA(0, minimum, maximum, kind), expectedStatus);
        return {minimum, maximum};
    }
    std::pair<int32_t, int32_t> RangeB(int32_t expectedStatus = 0) {
        int32_t minimum = -7, maximum = -7;
        EXPECT_EQ(gpus->GetVoltageCodeRangeB(0, minimum, maximum), expectedStatus);
        return {minimum, maximum};
    }
    void Poke(uint8_t port, uint8_t address, uint8_t reg, uint8_t value) {
        ASSERT_TRUE(simulator->PokeI2cRegister(0, port, address, reg, value));
    }
};

using Range = std::pair<int32_t, int32_t>;
const Range kUntouched{-7, -7};

TEST_F(CardDeviceOpsTest, RangeAFollowsTheFirstPresentSlotInOrder2357) {
    StartWith(0x05E2, {Device(I2cDeviceKind::LegacyVoltageController, 3, 0xE0)});
    EXPECT_EQ(RangeA(1), Range(0x2C, 0x4C));
    EXPECT_EQ(RangeA(2), Range(0x2C, 0x4C));
    EXPECT_EQ(RangeA(3, nvapi::ERROR), kUntouched) << "slot 2 serves kinds 1 and 2 only";
    gpus->SetCardDeviceAddress(0, 3, 0x60);
    EXPECT_EQ(RangeA(4, nvapi::ERROR), kUntouched) << "slot 2 decides even with slot 3 present";

    gpus->SetCardDeviceAddress(0, 2, 0);
    EXPECT_EQ(RangeA(4), Range(0, 10));
    gpus->SetCardDeviceAddress(0, 5, 0x10);
    gpus->SetCardDeviceAddress(0, 7, 0xE0);
    EXPECT_EQ(RangeA(1), Range(0, 10));
    gpus->SetCardDeviceAddress(0, 3, 0);
    EXPECT_EQ(RangeA(1), Range(0x6F, 0x8F));
    gpus->SetCardDeviceAddress(0, 5, 0);
    EXPECT_EQ(RangeA(1), Range(0, 25));
    gpus->SetCardDeviceAddress(0, 7, 0);
    EXPECT_EQ(RangeA(1, nvapi::ERROR), kUntouched);
    EXPECT_TRUE(I2cCalls().empty()) << "ranges come from the slots alone";
}

TEST_F(CardDeviceOpsTest, RangeBFromSlot6ElseSlot12) {
    StartWith(0x1B82, {});
    EXPECT_EQ(RangeB(nvapi::ERROR), kUntouched);
    gpus->SetCardDeviceAddress(0, 12, 0x10);
    EXPECT_EQ(RangeB(), Range(0, 16));
    gpus->SetCardDeviceAddress(0, 6, 0x60);
    EXPECT_EQ(RangeB(), Range(0, 4));
}

TEST_F(CardDeviceOpsTest, SetVoltageCodeAClampsAndWritesSlot3Slowly) {
    StartWith(0x0DE0, {Device(I2cDeviceKind::VoltageController, 2, 0x60)});
    ASSERT_TRUE(gpus->IsCardDevicePresent(0, 3));
    ASSERT_EQ(gpus->SetVoltageCodeA(0, 15), 0);
    EXPECT_EQ(Peek(2, 0x60, 0x01), 10);
    ASSERT_EQ(gpus->SetVoltageCodeA(0, -3), 0);
    EXPECT_EQ(Peek(2, 0x60, 0x01), 0);
    ASSERT_EQ(gpus->SetVoltageCodeA(0, 7), 0);
    uint8_t code = 0;
    ASSERT_EQ(gpus->GetVoltageCodeA(0, code), 0);
    EXPECT_EQ(code, 7);
    for (const I2cCall& call : I2cCalls()) {
        EXPECT_EQ(call.speed, 30u);
        EXPECT_EQ(call.reg, 0x01);
    }
    EXPECT_EQ(Steps(2, 0x60), (std::vector<std::string>{"W 01=0A", "W 01=00", "W 01=07", "R 01"}));
}

TEST_F(CardDeviceOpsTest, WithoutTheDevicesEveryOperationFailsAndTouchesNothing) {
    StartWith(0x1B82, {});
    uint8_t code = 9;
    int32_t number = 4;
    float value = 4.0f;
    EXPECT_EQ(gpus->SetVoltageCodeA(0, 3), nvapi::ERROR);
    EXPECT_EQ(gpus->SetVoltageCodeB(0, 3), nvapi::ERROR);
    for (const int32_t status :
         {gpus->GetVoltageCodeA(0, code), gpus->GetVoltageSlot7(0, code), gpus->GetVoltageSlot2(0, 0x15, code),
          gpus->SetVoltageSlot7(0, 3), gpus->SetVoltageSlot2(0, 0x15, 3), gpus->ReadControllerTemperature(0, number),
          gpus->GetControllerTempOffset(0, number), gpus->SetControllerTempOffset(0, 1),
          gpus->ReadControllerSensorA(0, value), gpus->ReadControllerSensorB(0, value)})
        EXPECT_EQ(status, nvapi::NOT_SUPPORTED);
    EXPECT_EQ(code, 9);
    EXPECT_EQ(number, 4);
    EXPECT_EQ(gpus->ReadControllerSensorB(1, value), nvapi::INVALID_ARGUMENT);
    // Range B from slot 12, but the code register lives on slot 6.
    gpus->SetCardDeviceAddress(0, 12, 0x10);
    EXPECT_EQ(gpus->SetVoltageCodeB(0, 3), nvapi::NOT_SUPPORTED);
    EXPECT_TRUE(I2cCalls().empty());
}

TEST_F(CardDeviceOpsTest, SetVoltageCodeBClampsIntoRangeB) {
    StartWith(0x1B82, {Device(I2cDeviceKind::VoltageController, 0, 0x60)});
    ASSERT_TRUE(gpus->IsCardDevicePresent(0, 6));
    ASSERT_EQ(gpus->SetVoltageCodeB(0, 9), 0);
    EXPECT_EQ(Peek(0, 0x60, 0x01), 4);
    const std::vector<I2cCall> calls = I2cCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].speed, 100u);
    EXPECT_EQ(calls[0].version, nvapi::kI2cInfoVer3) << "a VF-point GPU";
}

TEST_F(CardDeviceOpsTest, Slot7SequenceWritesCodeUnlocksAndSetsTheApplyBit) {
    StartWith(0x0E22, {Device(I2cDeviceKind::StepVoltageController, 0, 0xE0, {{0x19, 0x41}})});
    ASSERT_TRUE(gpus->IsCardDevicePresent(0, 7));
    ASSERT_EQ(gpus->SetVoltageSlot7(0, 20), 0);
    EXPECT_EQ(Steps(0, 0xE0), (std::vector<std::string>{"W 18=14", "W 1D=55", "R 19", "W 19=49"}));
    for (const I2cCall& call : I2cCalls()) EXPECT_EQ(call.speed, 30u);
    simulator->ClearCalls();
    uint8_t code = 0;
    ASSERT_EQ(gpus->GetVoltageSlot7(0, code), 0);
    EXPECT_EQ(code, 20);
    EXPECT_EQ(Steps(0, 0xE0), std::vector<std::string>{"R 18"});
}

TEST_F(CardDeviceOpsTest, Slot7SequenceStopsAtTheFirstFailure) {
    StartWith(0x0E22, {Device(I2cDeviceKind::StepVoltageController, 0, 0xE0, {}, {0x1D})});
    // 0x1D read-only still acknowledges; a missing register does not.
    ASSERT_EQ(gpus->SetVoltageSlot7(0, 20), 0);
    ASSERT_TRUE(simulator->SetI2cDeviceFault(0, 0, 0xE0, -1));
    simulator->ClearCalls();
    EXPECT_EQ(gpus->SetVoltageSlot7(0, 21), -1);
    EXPECT_EQ(Steps(0, 0xE0), (std::vector<std::string>{"W 18=15", "W 18=15"})) << "the write and its retry";
}

TEST_F(CardDeviceOpsTest, Slot2CodesKeepSevenBits) {
    StartWith(0x05E2, {Device(I2cDeviceKind::LegacyVoltageController, 3, 0xE0)});
    ASSERT_EQ(gpus->SetVoltageSlot2(0, 0x16, 0xC5), 0);
    EXPECT_EQ(Peek(3, 0xE0, 0x16), 0x45);
    Poke(3, 0xE0, 0x18, 0xFF);
    uint8_t code = 0;
    ASSERT_EQ(gpus->GetVoltageSlot2(0, 0x18, code), 0);
    EXPECT_EQ(code, 0x7F);
    EXPECT_EQ(Steps(3, 0xE0), (std::vector<std::string>{"W 16=45", "R 18"}));
    for (const I2cCall& call : I2cCalls()) {
        EXPECT_EQ(call.speed, 30u);
        EXPECT_EQ(call.version, nvapi::kI2cInfoVer1);
    }
}

TEST_F(CardDeviceOpsTest, LegacyCoreVoltageFromTheSlot2Controller) {
    StartWith(0x05E2, {Device(I2cDeviceKind::LegacyVoltageController, 3, 0xE0)});
    Poke(3, 0xE0, 0x1C, 0x10 | 0x0F);      // index 1 (register 0x16); the low bits do not matter
    Poke(3, 0xE0, 0x16, 0x80 | 60);        // code 60 with the top bit set
    double volts = 0;
    ASSERT_EQ(gpus->ReadLegacyCoreVoltage(0, volts), 0);
    EXPECT_DOUBLE_EQ(volts, 1.2);
    EXPECT_EQ(Steps(3, 0xE0), (std::vector<std::string>{"R 1C", "R 16"}));
    Poke(3, 0xE0, 0x1C, 0x30);
    Poke(3, 0xE0, 0x18, 0);
    ASSERT_EQ(gpus->ReadLegacyCoreVoltage(0, volts), 0);
    EXPECT_DOUBLE_EQ(volts, 0.45);
}

TEST_F(CardDeviceOpsTest, LegacyCoreVoltageFromCardDevice0OrNone) {
    StartWith(0x1B82, {Device(I2cDeviceKind::RpmFanController, 2, 0x5C, {{0x13, 100}})});
    double volts = 0;
    ASSERT_EQ(gpus->ReadLegacyCoreVoltage(0, volts), 0);
    EXPECT_DOUBLE_EQ(volts, 100 * 0.008 * 1.47);

    StartWith(0x1B82, {});
    volts = 3.0;
    EXPECT_EQ(gpus->ReadLegacyCoreVoltage(0, volts), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(volts, 3.0);
}

class ControllerReadingsTest : public CardDeviceOpsTest {
protected:
    static constexpr uint8_t kPort = 2, kAddress = 0x5C;
    void StartWithController(uint16_t sensorB = sim::kDefaultSensorB) {
        sim::I2cDeviceConfig controller = Device(I2cDeviceKind::RpmFanController, kPort, kAddress);
        controller.sensorB = sensorB;
        StartWith(0x1B82, {controller});
        ASSERT_TRUE(gpus->IsCardDevicePresent(0, 0));
    }
};

TEST_F(ControllerReadingsTest, TemperatureTurnsSensingOnFirst) {
    StartWithController();
    Poke(kPort, kAddress, 0x01, 0x21);
    Poke(kPort, kAddress, 0x14, 57);
    Poke(kPort, kAddress, 0x64, 0);  // drop the offset the start-up calibration wrote
    int32_t celsius = 0;
    ASSERT_EQ(gpus->ReadControllerTemperature(0, celsius), 0);
    EXPECT_EQ(celsius, 57);
    EXPECT_EQ(Steps(kPort, kAddress), (std::vector<std::string>{"R 01", "W 01=25", "R 14", "R 1A"}));
}

TEST_F(ControllerReadingsTest, TemperatureOffsetIsASignedByteAndSensorAIsScaled) {
    StartWithController();
    ASSERT_EQ(gpus->SetControllerTempOffset(0, -5), 0);
    EXPECT_EQ(Peek(kPort, kAddress, 0x64), 0xFB);
    int32_t offset = 0;
    ASSERT_EQ(gpus->GetControllerTempOffset(0, offset), 0);
    EXPECT_EQ(offset, -5);
    ASSERT_EQ(gpus->SetControllerTempOffset(0, 12), 0);
    ASSERT_EQ(gpus->GetControllerTempOffset(0, offset), 0);
    EXPECT_EQ(offset, 12);

    // Sensor A scales register 0x12.
    Poke(kPort, kAddress, 0x12, 50);
    float value = 0;
    ASSERT_EQ(gpus->ReadControllerSensorA(0, value), 0);
    EXPECT_FLOAT_EQ(value, 50 * 0.008 * 6.55);
}

TEST_F(ControllerReadingsTest, SensorBCombinesTwoReadsOfRegister0x1F) {
    StartWithController(0x0A0C);  // h 10, l 12: above 0.2
    float value = 0;
    ASSERT_EQ(gpus->ReadControllerSensorB(0, value), 0);
    EXPECT_FLOAT_EQ(value, (10 * 0.008 + 12 * 0.002) * 6.55);
    // Re-read while above 0.2, at most 3 more times.
    EXPECT_EQ(Steps(kPort, kAddress), std::vector<std::string>(8, "R 1F"));

    StartWithController(0x0105);  // h 1, l 5: 0.1179, settled at once
    ASSERT_EQ(gpus->ReadControllerSensorB(0, value), 0);
    EXPECT_FLOAT_EQ(value, (1 * 0.008 + 5 * 0.002) * 6.55);
    EXPECT_EQ(Steps(kPort, kAddress).size(), 2u);
}

TEST_F(ControllerReadingsTest, SensorBGivesTheLastGoodValueWhenAReadFails) {
    StartWithController(0x0105);
    float value = 0;
    ASSERT_EQ(gpus->ReadControllerSensorB(0, value), 0);
    ASSERT_TRUE(simulator->SetI2cDeviceFault(0, kPort, kAddress, -1));
    value = 9.0f;
    EXPECT_EQ(gpus->ReadControllerSensorB(0, value), -1);
    EXPECT_FLOAT_EQ(value, (1 * 0.008 + 5 * 0.002) * 6.55);
}

TEST_F(CardDeviceOpsTest, MonitorWordIsTheTwoBytesHighFirst) {
    StartWith(0x1B82, {Device(I2cDeviceKind::PowerMonitor, 0, 0x90, {{0x03, 0x01}, {0x04, 0x0F}}),
                       Device(I2cDeviceKind::PowerMonitor, 0, 0x94)});
    uint16_t word = 0;
    ASSERT_EQ(gpus->ReadMonitorWord(0, 9, word), 0);
    EXPECT_EQ(word, 0x010F) << "\"01\" \"0F\" spells 010F";
    ASSERT_EQ(gpus->ReadMonitorWord(0, 11, word), 0);
    EXPECT_EQ(word, 0x1A0A);
    const std::vector<I2cCall> calls = I2cCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].reg, 0x03);
    EXPECT_EQ(calls[0].dataLength, 2u);
    EXPECT_EQ(calls[0].speed, 30u);
    word = 7;
    EXPECT_EQ(gpus->ReadMonitorWord(0, 10, word), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->ReadMonitorWord(0, 15, word), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(word, 7);
}

TEST_F(CardDeviceOpsTest, BoardDeviceAt0x10OnPortByte1) {
    StartWith(0x1B82, {Device(I2cDeviceKind::BoardDevice, 1, 0x10)});
    EXPECT_FALSE(gpus->ReadBoardFlag(0));
    Poke(1, 0x10, 0x1C, 0x20);
    EXPECT_TRUE(gpus->ReadBoardFlag(0));
    Poke(1, 0x10, 0x1C, 0xDF);
    EXPECT_FALSE(gpus->ReadBoardFlag(0));

    ASSERT_EQ(gpus->SetBoardRegister7A(0, 0x3C), 0);
    uint8_t value = 0;
    ASSERT_EQ(gpus->GetBoardRegister7A(0, value), 0);
    EXPECT_EQ(value, 0x3C);
    for (const I2cCall& call : I2cCalls()) {
        EXPECT_EQ(call.port, 1);
        EXPECT_EQ(call.address, 0x10);
        EXPECT_EQ(call.dataLength, 1u);
    }
    // Without the device the flag reads as set.
    ASSERT_TRUE(simulator->SetI2cDeviceFault(0, 1, 0x10, -1));
    EXPECT_TRUE(gpus->ReadBoardFlag(0));
    value = 1;
    EXPECT_EQ(gpus->GetBoardRegister7A(0, value), -1);
    EXPECT_EQ(value, 1);
}

}  // namespace
}  // namespace vx::gputest
