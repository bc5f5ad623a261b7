// The simulator's I2C controls: device faults, bus holds and a look at the devices' state.
#include "sim/Simulator.h"

#include "sim/SimulatorImpl.h"

namespace vx::sim {

namespace {

I2cDevice* FindDevice(const Simulator::Impl& impl, std::size_t gpu, uint8_t port, uint8_t address) {
    const I2cBus* bus = impl.i2c.bus(gpu);
    return bus ? bus->Find(port, address) : nullptr;
}

}  // namespace

bool Simulator::SetI2cDeviceFault(std::size_t gpu, uint8_t port, uint8_t address, int32_t status) {
    std::lock_guard lock(impl_->mutex);
    I2cDevice* device = FindDevice(*impl_, gpu, port, address);
    if (!device) return false;
    device->SetFault(status);
    return true;
}

// The holds have their own lock: a test may hold a bus while calls on it wait.
void Simulator::HoldI2cBus(std::size_t gpu) { impl_->i2c.holds()->Hold(gpu); }

void Simulator::ReleaseI2cBus(std::size_t gpu) { impl_->i2c.holds()->Release(gpu); }

std::size_t Simulator::I2cCallsWaiting(std::size_t gpu) const { return impl_->i2c.holds()->Waiting(gpu); }

// Like rig(): the caller holds mutex().
I2cDevice* Simulator::I2cDeviceAt(std::size_t gpu, uint8_t port, uint8_t address) {
    return FindDevice(*impl_, gpu, port, address);
}

std::optional<uint8_t> Simulator::PeekI2cRegister(std::size_t gpu, uint8_t port, uint8_t address,
                                                  uint8_t reg) const {
    std::lock_guard lock(impl_->mutex);
    I2cDevice* device = FindDevice(*impl_, gpu, port, address);
    return device ? device->Peek(reg) : std::nullopt;
}

bool Simulator::PokeI2cRegister(std::size_t gpu, uint8_t port, uint8_t address, uint8_t reg, uint8_t value) {
    std::lock_guard lock(impl_->mutex);
    I2cDevice* device = FindDevice(*impl_, gpu, port, address);
    return device && device->Poke(reg, value);
}

std::vector<LightingColour> Simulator::I2cLightingColours(std::size_t gpu, uint8_t port, uint8_t address) const {
    std::lock_guard lock(impl_->mutex);
    I2cDevice* device = FindDevice(*impl_, gpu, port, address);
    return device ? device->Colours() : std::vector<LightingColour>{};
}

std::vector<std::vector<uint8_t>> Simulator::I2cLcdMessages(std::size_t gpu, uint8_t port, uint8_t address) const {
    std::lock_guard lock(impl_->mutex);
    I2cDevice* device = FindDevice(*impl_, gpu, port, address);
    return device ? device->Messages() : std::vector<std::vector<uint8_t>>{};
}

}  // namespace vx::sim
