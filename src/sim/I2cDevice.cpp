#include "sim/I2cDevice.h"

#include "sim/I2cDevices.h"

namespace vx::sim {

I2cDevice::I2cDevice(I2cDeviceKind kind, uint8_t port, uint8_t address)
    : kind_(kind), port_(port), address_(address) {}

bool I2cDevice::AllPresent(uint8_t reg, std::size_t count) const {
    // The register pointer does not wrap past 0xFF.
    if (count == 0 || reg + count > registers_.size()) return false;
    for (std::size_t i = 0; i < count; ++i)
        if (!registers_[reg + i].present) return false;
    return true;
}

int32_t I2cDevice::Read(uint8_t reg, std::span<uint8_t> data) {
    if (fault_ != 0) return fault_;
    if (std::optional<int32_t> block = ReadBlock(reg, data)) return *block;
    if (!AllPresent(reg, data.size())) return kI2cNak;
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = ReadByte(static_cast<uint8_t>(reg + i));
    return 0;
}

int32_t I2cDevice::Write(uint8_t reg, std::span<const uint8_t> data) {
    if (fault_ != 0) return fault_;
    if (std::optional<int32_t> block = WriteBlock(reg, data)) return *block;
    if (!AllPresent(reg, data.size())) return kI2cNak;
    for (std::size_t i = 0; i < data.size(); ++i) {
        auto r = static_cast<uint8_t>(reg + i);
        if (registers_[r].writable) WriteByte(r, data[i]);
    }
    return 0;
}

std::optional<uint8_t> I2cDevice::Peek(uint8_t reg) const {
    if (!registers_[reg].present) return std::nullopt;
    return Value(reg);
}

bool I2cDevice::Poke(uint8_t reg, uint8_t value) {
    if (!registers_[reg].present) return false;
    Store(reg, value);
    return true;
}

void I2cDevice::AddRegister(uint8_t reg, uint8_t value, bool writable) {
    registers_[reg] = Register{true, writable, value};
}

void I2cDevice::Configure(const I2cDeviceConfig& config) {
    for (const auto& [reg, value] : config.registers) {
        if (registers_[reg].present) Store(reg, value);
        else AddRegister(reg, value, true);
    }
    for (uint8_t reg : config.readOnly) {
        if (!registers_[reg].present) AddRegister(reg, 0, false);
        registers_[reg].writable = false;
    }
}

std::unique_ptr<I2cDevice> MakeI2cDevice(const I2cDeviceConfig& config) {
    std::unique_ptr<I2cDevice> device;
    switch (config.kind) {
    case I2cDeviceKind::RpmFanController:
        device = std::make_unique<RpmFanController>(config.port, config.address, config.sensorB);
        break;
    case I2cDeviceKind::FanMicrocontroller:
        device = std::make_unique<FanMicrocontroller>(config.port, config.address, config.maxRpm);
        break;
    case I2cDeviceKind::LegacyVoltageController:
        device = std::make_unique<LegacyVoltageController>(config.port, config.address);
        break;
    case I2cDeviceKind::StepVoltageController:
        device = std::make_unique<StepVoltageController>(config.port, config.address);
        break;
    case I2cDeviceKind::VoltageController:
        device = std::make_unique<VoltageController>(config.port, config.address);
        break;
    case I2cDeviceKind::BoardVoltageController:
        device = std::make_unique<BoardVoltageController>(config.port, config.address);
        break;
    case I2cDeviceKind::BoardDevice: device = std::make_unique<BoardDevice>(config.port, config.address); break;
    case I2cDeviceKind::PowerMonitor: device = std::make_unique<PowerMonitor>(config.port, config.address); break;
    case I2cDeviceKind::LedController1: device = std::make_unique<LedController1>(config.port, config.address); break;
    case I2cDeviceKind::LedController2: device = std::make_unique<LedController2>(config.port, config.address); break;
    case I2cDeviceKind::LedController3: device = std::make_unique<LedController3>(config.port, config.address); break;
    case I2cDeviceKind::LcdModule: device = std::make_unique<LcdModule>(config.port, config.address); break;
    }
    if (device) device->Configure(config);
    return device;
}

}  // namespace vx::sim
