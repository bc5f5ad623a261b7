#include "sim/DpAuxDevice.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace vx::sim {
namespace {

constexpr uint32_t kPanels = 0x4A6;
constexpr uint32_t kIdentity = 0x4B0;
constexpr uint32_t kCommand = 0x4B2;
constexpr uint32_t kResult = 0x4B3;
constexpr uint32_t kLength = 0x4B8;
constexpr uint32_t kOffset = 0x4BC;
constexpr uint32_t kData = 0x4C0;
constexpr uint32_t kDataSize = 32;
constexpr uint8_t kBusy = 0x80;
constexpr std::string_view kUnlockCode = "KESTRA";
constexpr uint32_t kFirmwareOffset = 95;
constexpr uint8_t kResultOk = 0, kResultRefused = 1, kResultLocked = 2;

}  // namespace

DpAuxDevice::DpAuxDevice(const DpDeviceConfig& config) : config_(config) {
    dpcd_[kIdentity] = 0x04;  // this is the device
    dpcd_[kIdentity + 1] = config.locked ? 0 : 1;
    dpcd_[kPanels] = config.panels;
}

bool DpAuxDevice::Read(uint32_t address, uint8_t* out, uint32_t count) const {
    if (address >= kDpcdSize || count > kDpcdSize - address) return false;
    std::memcpy(out, dpcd_.data() + address, count);
    return true;
}

bool DpAuxDevice::Write(uint32_t address, const uint8_t* data, uint32_t count) {
    if (address >= kDpcdSize || count > kDpcdSize - address) return false;
    std::memcpy(dpcd_.data() + address, data, count);
    if (address <= kCommand && kCommand < address + count && (dpcd_[kCommand] & kBusy) && !config_.stuckBusy)
        RunCommand(dpcd_[kCommand] & ~kBusy);
    return true;
}

uint32_t DpAuxDevice::Word16(uint32_t address) const { return dpcd_[address] | (uint32_t(dpcd_[address + 1]) << 8); }

void DpAuxDevice::RunCommand(uint8_t command) {
    const uint32_t length = std::min(Word16(kLength), kDataSize);
    const bool unlocked = dpcd_[kIdentity + 1] & 1;
    uint8_t result = kResultOk;
    if (command == 0x01) {
        const bool match = length == kUnlockCode.size() && std::memcmp(&dpcd_[kData], kUnlockCode.data(), length) == 0;
        if (match) dpcd_[kIdentity + 1] |= 1;
        result = match ? kResultOk : kResultRefused;
    } else if (!unlocked) {
        result = kResultLocked;
    } else if (command == 0x04) {
        dpcd_[kData] = 0x54;  // model bytes
        dpcd_[kData + 1] = 0x4C;
    } else if (command == 0x30) {
        if (Word16(kOffset) != kFirmwareOffset) {
            result = kResultRefused;
        } else {
            std::memset(&dpcd_[kData], 0, kDataSize);
            std::memcpy(&dpcd_[kData], config_.firmware.data(), std::min<std::size_t>(config_.firmware.size(), length));
        }
    } else if (command == 0x60) {
        registerWrites_.emplace_back(dpcd_.begin() + kData, dpcd_.begin() + kData + length);
    } else {
        result = kResultRefused;
    }
    dpcd_[kResult] = result;
    dpcd_[kCommand] = command;  // busy bit cleared: done
}

}  // namespace vx::sim
