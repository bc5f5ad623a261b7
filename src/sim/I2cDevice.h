#pragma once
// One device on a simulated GPU's I2C bus: a file of one-byte registers that a host reads and
// writes, with the auto-increment that multi-byte transfers rely on. Models (I2cDevices.h)
// compute some registers and give others side effects.
#include "sim/I2cDeviceConfig.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace vx::sim {

/// What a device answers when it does not acknowledge a transfer.
inline constexpr int32_t kI2cNak = -1;

/// A colour a lighting controller took.
struct LightingColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;

    bool operator==(const LightingColour&) const = default;
};

class I2cDevice {
public:
    I2cDevice(I2cDeviceKind kind, uint8_t port, uint8_t address);
    virtual ~I2cDevice() = default;
    I2cDevice(const I2cDevice&) = delete;
    I2cDevice& operator=(const I2cDevice&) = delete;

    /// A host read of `data.size()` bytes from `reg` onwards. 0, or a failure status with `data`
    /// untouched: every register read must exist.
    int32_t Read(uint8_t reg, std::span<uint8_t> data);
    /// A host write from `reg` onwards. Every register written must exist; read-only ones ignore
    /// the byte (so a write test on them reads back the old value).
    int32_t Write(uint8_t reg, std::span<const uint8_t> data);

    I2cDeviceKind kind() const { return kind_; }
    uint8_t port() const { return port_; }
    uint8_t address() const { return address_; }

    /// Every transfer fails with `status` while it is not 0 (a device that does not acknowledge).
    void SetFault(int32_t status) { fault_ = status; }
    int32_t fault() const { return fault_; }

    bool HasRegister(uint8_t reg) const { return registers_[reg].present; }
    bool IsWritable(uint8_t reg) const { return registers_[reg].present && registers_[reg].writable; }
    /// What a read of `reg` returns now, without the read's side effects; nullopt when absent.
    std::optional<uint8_t> Peek(uint8_t reg) const;
    /// Sets the stored value of `reg` as the device itself would (a sensor, a status byte),
    /// ignoring write protection. False when the register is absent.
    bool Poke(uint8_t reg, uint8_t value);

    /// Applies a rig's power-up values and read-only marks; missing registers are added.
    void Configure(const I2cDeviceConfig& config);

    /// Colours a lighting controller latched, oldest first (empty for other devices).
    virtual std::vector<LightingColour> Colours() const { return {}; }
    /// Messages a display module received, oldest first (empty for other devices).
    virtual std::vector<std::vector<uint8_t>> Messages() const { return {}; }

protected:
    void AddRegister(uint8_t reg, uint8_t value, bool writable);
    uint8_t Stored(uint8_t reg) const { return registers_[reg].value; }
    void Store(uint8_t reg, uint8_t value) { registers_[reg].value = value; }

    /// The value a read returns; models compute some registers from others.
    virtual uint8_t Value(uint8_t reg) const { return Stored(reg); }
    /// One byte of a host read; models whose reads have side effects override it.
    virtual uint8_t ReadByte(uint8_t reg) { return Value(reg); }
    /// One byte of a host write to a writable register.
    virtual void WriteByte(uint8_t reg, uint8_t value) { Store(reg, value); }
    /// Devices that take a whole block at one register answer here; nullopt: plain registers.
    virtual std::optional<int32_t> WriteBlock(uint8_t /*reg*/, std::span<const uint8_t> /*data*/) {
        return std::nullopt;
    }
    virtual std::optional<int32_t> ReadBlock(uint8_t /*reg*/, std::span<uint8_t> /*data*/) { return std::nullopt; }

private:
    struct Register {
        bool present = false;
        bool writable = false;
        uint8_t value = 0;
    };

    bool AllPresent(uint8_t reg, std::size_t count) const;

    I2cDeviceKind kind_;
    uint8_t port_;
    uint8_t address_;
    int32_t fault_ = 0;
    std::array<Register, 256> registers_{};
};

/// The model of `config.kind` at `config`'s place, with the config's overrides applied.
std::unique_ptr<I2cDevice> MakeI2cDevice(const I2cDeviceConfig& config);

}  // namespace vx::sim
