#include "sim/I2cDevices.h"

#include <algorithm>

namespace vx::sim {

namespace {

constexpr bool kReadOnly = false;
constexpr bool kWritable = true;

uint8_t High(uint16_t word) { return static_cast<uint8_t>(word >> 8); }
uint8_t Low(uint16_t word) { return static_cast<uint8_t>(word & 0xFF); }

// The controller's period unit: RPM = 1500000 / period.
constexpr uint16_t kIdlePeriod = 1000;  // 1500 RPM

// The fan microcontroller's tach: RPM = 5400000 / count.
constexpr uint32_t kTachScale = 5400000;
constexpr uint16_t kNoTach = 0xFFFF;

}  // namespace

// ---- RPM fan controller ----

RpmFanController::RpmFanController(uint8_t port, uint8_t address, uint16_t sensorB)
    : I2cDevice(I2cDeviceKind::RpmFanController, port, address), sensorB_(sensorB) {
    AddRegister(kControl, 0x00, kWritable);
    AddRegister(kVariant, 0x00, kReadOnly);
    AddRegister(kIdentity, address, kReadOnly);
    AddRegister(kSensorA, 200, kReadOnly);
    AddRegister(kVoltageSensor, 85, kReadOnly);  // about 1.0 V
    AddRegister(kTemperature, 45, kReadOnly);
    AddRegister(kMeasuredHigh, High(kIdlePeriod), kReadOnly);
    AddRegister(kMeasuredLow, Low(kIdlePeriod), kReadOnly);
    AddRegister(kAuxiliary, 0x00, kReadOnly);
    AddRegister(kSensorB, 0x00, kReadOnly);
    AddRegister(kAlarmTemperature, 90, kWritable);
    AddRegister(kFanControl, 0x00, kWritable);
    AddRegister(kTemperatureOffset, 0x00, kWritable);
    AddRegister(kTargetHigh, High(kIdlePeriod), kWritable);
    AddRegister(kTargetLow, Low(kIdlePeriod), kWritable);
    // Both alarm bits are up after power-on; start-up clears them.
    AddRegister(kStatus, 0xC0, kWritable);
    const uint8_t curve[] = {75, 50, 0, 0};
    for (uint8_t i = 0; i < 4; ++i) AddRegister(static_cast<uint8_t>(kCurveFirst + i), curve[i], kWritable);
    // 5500, 4125, 2805, 2805, 2805 RPM as (1500000 / RPM) >> 4.
    const uint8_t speeds[] = {17, 22, 33, 33, 33};
    for (uint8_t i = 0; i < 5; ++i) AddRegister(static_cast<uint8_t>(kSpeedFirst + i), speeds[i], kWritable);
}

void RpmFanController::SetSensorB(uint16_t word) {
    sensorB_ = word;
    lowByteNext_ = false;
}

bool RpmFanController::FixedTarget() const { return (Stored(kFanControl) & 0x01) != 0; }

uint16_t RpmFanController::MeasuredPeriod() const {
    if (FixedTarget()) return static_cast<uint16_t>((Stored(kTargetHigh) << 8) | Stored(kTargetLow));
    return static_cast<uint16_t>((Stored(kMeasuredHigh) << 8) | Stored(kMeasuredLow));
}

uint8_t RpmFanController::Value(uint8_t reg) const {
    switch (reg) {
    case kTemperature: {
        if (!(Stored(kControl) & 0x04)) return 0;  // sensing off
        int celsius = Stored(kTemperature) + static_cast<int8_t>(Stored(kTemperatureOffset));
        return static_cast<uint8_t>(std::clamp(celsius, 0, 255));
    }
    case kMeasuredHigh: return High(MeasuredPeriod());
    case kMeasuredLow: return Low(MeasuredPeriod());
    case kSensorB: return lowByteNext_ ? Low(sensorB_) : High(sensorB_);
    default: return Stored(reg);
    }
}

uint8_t RpmFanController::ReadByte(uint8_t reg) {
    uint8_t value = Value(reg);
    if (reg == kSensorB) lowByteNext_ = !lowByteNext_;
    return value;
}

// ---- Fan microcontroller ----

FanMicrocontroller::FanMicrocontroller(uint8_t port, uint8_t address, uint16_t maxRpm)
    : I2cDevice(I2cDeviceKind::FanMicrocontroller, port, address), maxRpm_(maxRpm) {
    AddRegister(kTachLow, 0, kReadOnly);
    AddRegister(kTachHigh, 0, kReadOnly);
    AddRegister(kDuty, kAutomaticDuty, kReadOnly);
    AddRegister(kDutyFixed, kAutomaticDuty, kWritable);
    AddRegister(kSavedControl, 0x00, kWritable);
    AddRegister(kSavedControlAlt, 0x00, kWritable);
    AddRegister(kIdentityS, 's', kReadOnly);
    AddRegister(kIdentityA, 'A', kReadOnly);
    AddRegister(kMode, 0x00, kWritable);
    AddRegister(kModeAlt, 0x00, kWritable);
    AddRegister(kUnlock, 0x00, kWritable);
}

bool FanMicrocontroller::FixedMode() const {
    return (Stored(kMode) & 0xE0) == 0xE0 || (Stored(kModeAlt) & 0xE0) == 0xE0;
}

uint8_t FanMicrocontroller::Duty() const { return FixedMode() ? Stored(kDutyFixed) : Stored(kDuty); }

uint32_t FanMicrocontroller::Rpm() const { return uint32_t(maxRpm_) * Duty() / 255; }

uint16_t FanMicrocontroller::TachCount() const {
    uint32_t rpm = Rpm();
    if (rpm == 0) return kNoTach;
    return static_cast<uint16_t>(std::min<uint32_t>(kTachScale / rpm, kNoTach));
}

uint8_t FanMicrocontroller::Value(uint8_t reg) const {
    switch (reg) {
    case kDuty:
    case kDutyFixed: return Duty();
    case kTachLow: return Low(TachCount());
    case kTachHigh: return High(TachCount());
    default: return Stored(reg);
    }
}

// ---- Voltage controllers ----

LegacyVoltageController::LegacyVoltageController(uint8_t port, uint8_t address)
    : I2cDevice(I2cDeviceKind::LegacyVoltageController, port, address) {
    AddRegister(kIdentity, 10, kReadOnly);
    AddRegister(kIndex, 0x20, kWritable);  // index 2: register 0x17
    // 1100, 1150, 1200 and 1250 mV as codes of 12.5 mV above 450 mV.
    const uint8_t codes[] = {0x34, 0x38, 0x3C, 0x40};
    for (uint8_t i = 0; i < 4; ++i) AddRegister(static_cast<uint8_t>(kCodeFirst + i), codes[i], kWritable);
}

StepVoltageController::StepVoltageController(uint8_t port, uint8_t address)
    : I2cDevice(I2cDeviceKind::StepVoltageController, port, address) {
    AddRegister(kIdentity, 12, kReadOnly);
    AddRegister(kCode, 10, kWritable);
    AddRegister(kApply, 0x00, kWritable);
    AddRegister(kUnlock, 0x00, kWritable);
}

VoltageController::VoltageController(uint8_t port, uint8_t address)
    : I2cDevice(I2cDeviceKind::VoltageController, port, address) {
    AddRegister(kCode, 0x02, kWritable);
}

BoardVoltageController::BoardVoltageController(uint8_t port, uint8_t address)
    : I2cDevice(I2cDeviceKind::BoardVoltageController, port, address) {
    AddRegister(kCode, 0x04, kWritable);
}

// ---- Board devices and monitors ----

BoardDevice::BoardDevice(uint8_t port, uint8_t address) : I2cDevice(I2cDeviceKind::BoardDevice, port, address) {
    AddRegister(0x01, 0x00, kReadOnly);
    AddRegister(0x1C, 0x00, kReadOnly);  // bit 5: the board flag
    AddRegister(0x62, 0x00, kReadOnly);
    AddRegister(0x7A, 0x00, kWritable);
}

PowerMonitor::PowerMonitor(uint8_t port, uint8_t address) : I2cDevice(I2cDeviceKind::PowerMonitor, port, address) {
    AddRegister(0x01, 0x00, kReadOnly);
    // 0x1A0A: about 33 W at 4.9 mW a count.
    AddRegister(kCountHigh, 0x1A, kReadOnly);
    AddRegister(kCountHigh + 1, 0x0A, kReadOnly);
}

// ---- Lighting ----

void LightingController::Latch(LightingColour colour) {
    if (colours_.size() >= kMaxRecorded) colours_.pop_front();
    colours_.push_back(colour);
}

LedController1::LedController1(uint8_t port, uint8_t address)
    : LightingController(I2cDeviceKind::LedController1, port, address) {
    AddRegister(kCommand, 0x00, kWritable);
    AddRegister(kCommandAlt, 0x00, kWritable);
}

std::optional<int32_t> LedController1::WriteBlock(uint8_t reg, std::span<const uint8_t> data) {
    if (reg == kFrame) {
        if (data.size() != kFrameSize) return kI2cNak;
        Latch(LightingColour{data[5], data[6], data[7]});
        return 0;
    }
    // Commands are a code and an argument; the code is what the controller keeps.
    if ((reg == kCommand || reg == kCommandAlt) && HasRegister(reg)) {
        if (data.empty() || data.size() > 2) return kI2cNak;
        if (IsWritable(reg)) Store(reg, data[0]);
        return 0;
    }
    return std::nullopt;
}

LedController2::LedController2(uint8_t port, uint8_t address)
    : LightingController(I2cDeviceKind::LedController2, port, address) {
    AddRegister(0x00, 0x00, kReadOnly);
    AddRegister(0x01, 0x00, kWritable);
    for (uint8_t reg = kLatch; reg <= kRed + 2; ++reg) AddRegister(reg, 0x00, kWritable);
}

void LedController2::WriteByte(uint8_t reg, uint8_t value) {
    Store(reg, value);
    if (reg == kLatch) Latch(LightingColour{Stored(kRed), Stored(kRed + 1), Stored(kRed + 2)});
}

LedController3::LedController3(uint8_t port, uint8_t address)
    : LightingController(I2cDeviceKind::LedController3, port, address) {
    AddRegister(0x00, 0x00, kReadOnly);
    for (uint8_t reg = kRed; reg <= 0x05; ++reg) AddRegister(reg, 0x00, kWritable);
}

void LedController3::WriteByte(uint8_t reg, uint8_t value) {
    Store(reg, value);
    if (reg == kBlue) Latch(LightingColour{Stored(kRed), Stored(kRed + 1), Stored(kBlue)});
}

// ---- LCD module ----

LcdModule::LcdModule(uint8_t port, uint8_t address) : I2cDevice(I2cDeviceKind::LcdModule, port, address) {}

std::optional<int32_t> LcdModule::WriteBlock(uint8_t reg, std::span<const uint8_t> data) {
    if (reg != kMessage) return std::nullopt;
    if (data.empty()) return kI2cNak;
    if (messages_.size() >= kMaxRecorded) messages_.pop_front();
    messages_.emplace_back(data.begin(), data.end());
    return 0;
}

std::optional<int32_t> LcdModule::ReadBlock(uint8_t reg, std::span<uint8_t> /*data*/) {
    // The message register cannot be read back.
    if (reg == kMessage) return kI2cNak;
    return std::nullopt;
}

}  // namespace vx::sim
