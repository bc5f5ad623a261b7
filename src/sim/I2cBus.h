#pragma once
// The I2C devices of one simulated GPU, found by the request's port byte and 8-bit address.
#include "sim/I2cBusHolds.h"
#include "sim/I2cDevice.h"
#include "sim/Rig.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace vx::sim {

class I2cBus {
public:
    I2cBus() = default;
    /// Builds the models; of two devices at one place, the first answers.
    explicit I2cBus(const std::vector<I2cDeviceConfig>& configs);

    /// The device at (port, address), or null.
    I2cDevice* Find(uint8_t port, uint8_t address) const;
    /// One transfer; kI2cNak when nothing answers at (port, address).
    int32_t Read(uint8_t port, uint8_t address, uint8_t reg, std::span<uint8_t> data) const;
    int32_t Write(uint8_t port, uint8_t address, uint8_t reg, std::span<const uint8_t> data) const;

    std::size_t size() const { return devices_.size(); }

private:
    std::vector<std::unique_ptr<I2cDevice>> devices_;
};

/// The buses of every GPU of a simulator, in rig order, and the holds on them. Destroying it
/// releases every hold for good, so no call stays blocked on a simulator that has gone.
class I2cBuses {
public:
    explicit I2cBuses(const Rig& rig);
    ~I2cBuses();
    I2cBuses(const I2cBuses&) = delete;
    I2cBuses& operator=(const I2cBuses&) = delete;

    /// The bus of GPU `gpu`, or null for an index the simulator was not built with.
    I2cBus* bus(std::size_t gpu);
    const I2cBus* bus(std::size_t gpu) const;
    /// Shared with the calls that wait, which may outlive the simulator by a moment.
    const std::shared_ptr<I2cBusHolds>& holds() const { return holds_; }

private:
    std::vector<I2cBus> buses_;
    std::shared_ptr<I2cBusHolds> holds_ = std::make_shared<I2cBusHolds>();
};

}  // namespace vx::sim
