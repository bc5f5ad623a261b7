#include "sim/I2cBus.h"

namespace vx::sim {

I2cBus::I2cBus(const std::vector<I2cDeviceConfig>& configs) {
    for (const I2cDeviceConfig& config : configs)
        if (std::unique_ptr<I2cDevice> device = MakeI2cDevice(config)) devices_.push_back(std::move(device));
}

I2cDevice* I2cBus::Find(uint8_t port, uint8_t address) const {
    for (const std::unique_ptr<I2cDevice>& device : devices_)
        if (device->port() == port && device->address() == address) return device.get();
    return nullptr;
}

int32_t I2cBus::Read(uint8_t port, uint8_t address, uint8_t reg, std::span<uint8_t> data) const {
    I2cDevice* device = Find(port, address);
    return device ? device->Read(reg, data) : kI2cNak;
}

int32_t I2cBus::Write(uint8_t port, uint8_t address, uint8_t reg, std::span<const uint8_t> data) const {
    I2cDevice* device = Find(port, address);
    return device ? device->Write(reg, data) : kI2cNak;
}

I2cBuses::I2cBuses(const Rig& rig) {
    buses_.reserve(rig.gpus.size());
    for (const GpuModel& gpu : rig.gpus) buses_.emplace_back(gpu.i2cDevices);
}

I2cBuses::~I2cBuses() { holds_->Close(); }

I2cBus* I2cBuses::bus(std::size_t gpu) { return gpu < buses_.size() ? &buses_[gpu] : nullptr; }

const I2cBus* I2cBuses::bus(std::size_t gpu) const { return gpu < buses_.size() ? &buses_[gpu] : nullptr; }

}  // namespace vx::sim
