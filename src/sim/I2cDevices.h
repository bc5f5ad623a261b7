#pragma once
// The device models of the simulated cards: fan controllers, voltage controllers, board
// devices and monitors, lighting controllers and the LCD module. Each answers the registers
// the program relies on and nothing else, so the program's probes decide what is fitted.
#include "sim/I2cDevice.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace vx::sim {

/// Period-based fan controller. Register 0x04 reads back its own address; temperatures need
/// bit 2 of 0x01; with bit 0 of 0x60 set the measured period follows the target period.
class RpmFanController : public I2cDevice {
public:
    static constexpr uint8_t kControl = 0x01;        // bit 2: temperature sensing on
    static constexpr uint8_t kVariant = 0x02;        // bit 2: the 3000 RPM variant
    static constexpr uint8_t kIdentity = 0x04;       // reads back the device address
    static constexpr uint8_t kSensorA = 0x12;
    static constexpr uint8_t kVoltageSensor = 0x13;  // core volts = value x 0.008 x 1.47
    static constexpr uint8_t kTemperature = 0x14;    // degrees C, plus the signed offset 0x64
    static constexpr uint8_t kMeasuredHigh = 0x16;
    static constexpr uint8_t kMeasuredLow = 0x17;
    static constexpr uint8_t kAuxiliary = 0x1A;
    static constexpr uint8_t kSensorB = 0x1F;        // streams a word, high byte first
    static constexpr uint8_t kAlarmTemperature = 0x28;
    static constexpr uint8_t kFanControl = 0x60;     // bit 0: fixed target, bit 1: controller flag
    static constexpr uint8_t kTemperatureOffset = 0x64;
    static constexpr uint8_t kTargetHigh = 0x74;
    static constexpr uint8_t kTargetLow = 0x75;
    static constexpr uint8_t kStatus = 0x92;
    static constexpr uint8_t kCurveFirst = 0xA0;     // four curve bytes
    static constexpr uint8_t kSpeedFirst = 0xA4;     // five curve speeds, (1500000 / RPM) >> 4

    RpmFanController(uint8_t port, uint8_t address, uint16_t sensorB);

    /// The word register 0x1F streams; the next read gives its high byte.
    void SetSensorB(uint16_t word);
    /// The measured fan period (the target period while the target is fixed).
    uint16_t MeasuredPeriod() const;
    bool FixedTarget() const;

protected:
    uint8_t Value(uint8_t reg) const override;
    uint8_t ReadByte(uint8_t reg) override;

private:
    uint16_t sensorB_;
    bool lowByteNext_ = false;
};

/// Duty/tach fan microcontroller with the identity bytes 's' 'A'. Its duty is its own (the
/// power-up value of 0x30) until a mode byte 0x5C or 0x5D has its top three bits set; then it
/// is the value written to 0x31. The tach count follows the duty.
class FanMicrocontroller : public I2cDevice {
public:
    static constexpr uint8_t kTachLow = 0x28;
    static constexpr uint8_t kTachHigh = 0x29;
    static constexpr uint8_t kDuty = 0x30;           // duty in force; power-up value = automatic duty
    static constexpr uint8_t kDutyFixed = 0x31;      // the fixed duty written by the host
    static constexpr uint8_t kSavedControl = 0x38;
    static constexpr uint8_t kSavedControlAlt = 0x39;
    static constexpr uint8_t kIdentityS = 0x3D;
    static constexpr uint8_t kIdentityA = 0x3E;
    static constexpr uint8_t kMode = 0x5C;
    static constexpr uint8_t kModeAlt = 0x5D;
    static constexpr uint8_t kUnlock = 0x7B;
    static constexpr uint8_t kAutomaticDuty = 0x66;  // 40 %

    FanMicrocontroller(uint8_t port, uint8_t address, uint16_t maxRpm);

    bool FixedMode() const;
    uint8_t Duty() const;
    /// maxRpm x duty / 255; 0 without a tach signal.
    uint32_t Rpm() const;
    /// 5400000 / RPM, or 0xFFFF when the fan stands or has no tach signal.
    uint16_t TachCount() const;

protected:
    uint8_t Value(uint8_t reg) const override;

private:
    uint16_t maxRpm_;
};

/// Legacy-path voltage controller: 0x1A reads 10; bits 4-5 of 0x1C pick one of the code
/// registers 0x15 to 0x18.
class LegacyVoltageController : public I2cDevice {
public:
    static constexpr uint8_t kCodeFirst = 0x15;
    static constexpr uint8_t kIndex = 0x1C;
    static constexpr uint8_t kIdentity = 0x1A;
    LegacyVoltageController(uint8_t port, uint8_t address);
};

/// Legacy-path voltage controller: 0x1A reads 12; code 0x18, apply bit 3 of 0x19, unlock 0x1D.
class StepVoltageController : public I2cDevice {
public:
    static constexpr uint8_t kCode = 0x18;
    static constexpr uint8_t kApply = 0x19;
    static constexpr uint8_t kIdentity = 0x1A;
    static constexpr uint8_t kUnlock = 0x1D;
    StepVoltageController(uint8_t port, uint8_t address);
};

/// Voltage controller with one code register, 0x01.
class VoltageController : public I2cDevice {
public:
    static constexpr uint8_t kCode = 0x01;
    VoltageController(uint8_t port, uint8_t address);
};

/// Voltage controller with one code register, 0x6F.
class BoardVoltageController : public I2cDevice {
public:
    static constexpr uint8_t kCode = 0x6F;
    BoardVoltageController(uint8_t port, uint8_t address);
};

/// Board device: status 0x01, flags 0x1C, 0x62, and the writable 0x7A.
class BoardDevice : public I2cDevice {
public:
    BoardDevice(uint8_t port, uint8_t address);
};

/// Board power monitor: configuration 0x01 and a 16-bit power count in 0x03 (high), 0x04 (low).
class PowerMonitor : public I2cDevice {
public:
    static constexpr uint8_t kCountHigh = 0x03;
    PowerMonitor(uint8_t port, uint8_t address);
};

/// The colour record shared by the lighting controllers; the newest kMaxRecorded are kept, so
/// an effect that runs for hours does not grow without bound.
class LightingController : public I2cDevice {
public:
    static constexpr std::size_t kMaxRecorded = 10000;
    using I2cDevice::I2cDevice;
    std::vector<LightingColour> Colours() const override { return {colours_.begin(), colours_.end()}; }

protected:
    void Latch(LightingColour colour);

private:
    std::deque<LightingColour> colours_;
};

/// Lighting kind 1: two-byte commands to 0x00 and 0xFF; a colour is one 10-byte frame to 0x01
/// (red, green, blue at bytes 5 to 7).
class LedController1 : public LightingController {
public:
    static constexpr uint8_t kCommand = 0x00;
    static constexpr uint8_t kFrame = 0x01;
    static constexpr uint8_t kCommandAlt = 0xFF;
    static constexpr std::size_t kFrameSize = 10;
    LedController1(uint8_t port, uint8_t address);

protected:
    std::optional<int32_t> WriteBlock(uint8_t reg, std::span<const uint8_t> data) override;
};

/// Lighting kind 2: colour registers 0x34 to 0x36, taken when 0x30 is written.
class LedController2 : public LightingController {
public:
    static constexpr uint8_t kLatch = 0x30;
    static constexpr uint8_t kRed = 0x34;
    LedController2(uint8_t port, uint8_t address);

protected:
    void WriteByte(uint8_t reg, uint8_t value) override;
};

/// Lighting kind 3: colour registers 0x02 to 0x04, taken when blue (0x04, written last) arrives.
class LedController3 : public LightingController {
public:
    static constexpr uint8_t kRed = 0x02;
    static constexpr uint8_t kBlue = 0x04;
    LedController3(uint8_t port, uint8_t address);

protected:
    void WriteByte(uint8_t reg, uint8_t value) override;
};

/// Character display: every write to 0x40 is one message (command byte, screen byte, text,
/// terminating zero); nothing can be read back. The newest kMaxRecorded are kept.
class LcdModule : public I2cDevice {
public:
    static constexpr uint8_t kMessage = 0x40;
    static constexpr std::size_t kMaxRecorded = 1000;
    LcdModule(uint8_t port, uint8_t address);
    std::vector<std::vector<uint8_t>> Messages() const override { return {messages_.begin(), messages_.end()}; }

protected:
    std::optional<int32_t> WriteBlock(uint8_t reg, std::span<const uint8_t> data) override;
    std::optional<int32_t> ReadBlock(uint8_t reg, std::span<uint8_t> data) override;

private:
    std::deque<std::vector<uint8_t>> messages_;
};

}  // namespace vx::sim
