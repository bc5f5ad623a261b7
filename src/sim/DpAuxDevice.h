#pragma once
// A DisplayPort multi-display device as its DPCD shows it: identity bits, the vendor mailbox
// (command, busy bit, result, length, offset, data buffer) and the panels-across count.
#include "sim/DisplayConfig.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vx::sim {

class DpAuxDevice {
public:
    static constexpr uint32_t kDpcdSize = 0x800;

    explicit DpAuxDevice(const DpDeviceConfig& config);

    /// False for an address range outside the register file.
    bool Read(uint32_t address, uint8_t* out, uint32_t count) const;
    bool Write(uint32_t address, const uint8_t* data, uint32_t count);

    /// Data of every register-write (0x60) command, oldest first.
    const std::vector<std::vector<uint8_t>>& registerWrites() const { return registerWrites_; }

private:
    void RunCommand(uint8_t command);
    uint32_t Word16(uint32_t address) const;

    DpDeviceConfig config_;
    std::array<uint8_t, kDpcdSize> dpcd_{};
    std::vector<std::vector<uint8_t>> registerWrites_;
};

}  // namespace vx::sim
