// I2C transfers to the devices on a GPU's buses: the request, the per-GPU lock and the retry
// through the extended entries.
#include "gpu/GpuAccess.h"

#include <mutex>

namespace vx {

namespace {

constexpr uint8_t kDefaultPortByte = 2;
constexpr uint8_t kPort1Byte = 1;
constexpr uint32_t kDisplayMask = 1;
constexpr uint32_t kPortIdVersion1 = 2;
constexpr uint32_t kPortIdVersion3 = 1;
// The explicit-address variants speak version 1 to port 2 and version 3 to any other port.
constexpr uint32_t kVersion1Port = 2;

bool ValidSlot(int slot) { return slot >= 0 && slot < kCardDeviceSlots; }

}  // namespace

struct GpuAccess::I2cRequest {
    nvapi::I2cInfo info{};
    bool write = false;
    // Only the slot variants clear the display mask for their retry.
    bool slotVariant = false;
};

void GpuAccess::SetI2cLockTimeout(std::chrono::milliseconds timeout) { i2cLockTimeoutMs_.store(timeout.count()); }

int32_t GpuAccess::I2cTransfer(uint8_t gpu, I2cRequest& request) {
    GpuRecord& record = records_[gpu];
    // Null before start-up and after ReleaseHandles: the lock cannot be taken then either.
    std::timed_mutex* lock = record.i2cMutex.get();
    if (!lock || !lock->try_lock_for(std::chrono::milliseconds(i2cLockTimeoutMs_.load()))) return nvapi::ERROR;
    std::lock_guard<std::timed_mutex> held(*lock, std::adopt_lock);

    nvapi::I2cInfo* info = &request.info;
    int32_t status = request.write ? api_.I2CWrite(record.hPhysicalGpu.load(), info) : api_.I2CRead(record.hPhysicalGpu.load(), info);
    if (status == nvapi::OK) return status;

    // Some drivers serve the bus only through the extended entries.
    if (request.slotVariant) info->displayMask = 0;
    nvapi::I2cExScratch scratch = 0;
    return request.write ? api_.I2CWriteEx(record.hPhysicalGpu.load(), info, &scratch)
                         : api_.I2CReadEx(record.hPhysicalGpu.load(), info, &scratch);
}

int32_t GpuAccess::SlotTransfer(uint8_t gpu, int slot, bool write, bool slow, uint8_t* reg, uint32_t regLength,
                                uint8_t* data, uint32_t dataLength) {
    if (!InRange(gpu) || !ValidSlot(slot)) return nvapi::INVALID_ARGUMENT;
    if ((!reg && regLength > 0) || (!data && dataLength > 0)) return nvapi::INVALID_ARGUMENT;
    const GpuRecord& record = records_[gpu];
    const CardDeviceSlot& device = record.cardDevices[static_cast<std::size_t>(slot)];
    // Address 0 is the bus-wide general call: never send to an absent slot.
    if (device.address == 0) return nvapi::NOT_SUPPORTED;

    const bool version3 = !slow && (record.usesPstates20() || record.usesVfPoints());
    I2cRequest request;
    request.write = write;
    request.slotVariant = true;
    nvapi::I2cInfo& info = request.info;
    info.version = version3 ? nvapi::kI2cInfoVer3 : nvapi::kI2cInfoVer1;
    info.displayMask = kDisplayMask;
    info.portByte = device.port;
    info.deviceAddress = device.address;
    info.registerAddress = reg;
    info.registerAddressSize = regLength;
    info.data = data;
    info.dataSize = dataLength;
    info.speed = slow ? nvapi::kI2cSpeedSlow : nvapi::kI2cSpeedNormal;
    info.speedSelector = 0;
    // Beyond the version-1 size the driver does not look; filled the same either way.
    info.portId = version3 ? kPortIdVersion3 : kPortIdVersion1;
    info.portIdValid = 1;
    return I2cTransfer(gpu, request);
}

int32_t GpuAccess::AddressTransfer(uint8_t gpu, uint8_t portByte, uint8_t address, uint8_t reg, uint8_t* data,
                                   uint32_t dataLength, uint32_t port, bool write) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    if (!data && dataLength > 0) return nvapi::INVALID_ARGUMENT;
    uint8_t registerByte = reg;  // the request points at it for the length of the call

    I2cRequest request;
    request.write = write;
    nvapi::I2cInfo& info = request.info;
    info.version = port == kVersion1Port ? nvapi::kI2cInfoVer1 : nvapi::kI2cInfoVer3;
    info.displayMask = kDisplayMask;
    info.portByte = portByte;
    info.deviceAddress = address;
    info.registerAddress = &registerByte;
    info.registerAddressSize = 1;
    info.data = data;
    info.dataSize = dataLength;
    info.speed = nvapi::kI2cSpeedNormal;
    info.speedSelector = 0;
    info.portId = port;
    info.portIdValid = 1;
    return I2cTransfer(gpu, request);
}

int32_t GpuAccess::I2cReadSlot(uint8_t gpu, uint8_t* reg, uint32_t regLength, uint8_t* data, uint32_t dataLength,
                               int slot) {
    return SlotTransfer(gpu, slot, false, false, reg, regLength, data, dataLength);
}

int32_t GpuAccess::I2cWriteSlot(uint8_t gpu, uint8_t* reg, uint32_t regLength, uint8_t* data, uint32_t dataLength,
                                int slot) {
    return SlotTransfer(gpu, slot, true, false, reg, regLength, data, dataLength);
}

int32_t GpuAccess::I2cReadSlotSlow(uint8_t gpu, uint8_t* reg, uint32_t regLength, uint8_t* data,
                                   uint32_t dataLength, int slot) {
    return SlotTransfer(gpu, slot, false, true, reg, regLength, data, dataLength);
}

int32_t GpuAccess::I2cWriteSlotSlow(uint8_t gpu, uint8_t* reg, uint32_t regLength, uint8_t* data,
                                    uint32_t dataLength, int slot) {
    return SlotTransfer(gpu, slot, true, true, reg, regLength, data, dataLength);
}

int32_t GpuAccess::I2cReadAt(uint8_t gpu, uint8_t address, uint8_t reg, uint8_t* data, uint32_t port) {
    return AddressTransfer(gpu, kDefaultPortByte, address, reg, data, 1, port, false);
}

int32_t GpuAccess::I2cWriteAt(uint8_t gpu, uint8_t address, uint8_t reg, uint8_t* data, uint32_t port,
                              uint32_t dataLength) {
    return AddressTransfer(gpu, kDefaultPortByte, address, reg, data, dataLength, port, true);
}

int32_t GpuAccess::I2cReadAtPort1(uint8_t gpu, uint8_t address, uint8_t reg, uint8_t* data, uint32_t port) {
    return AddressTransfer(gpu, kPort1Byte, address, reg, data, 1, port, false);
}

int32_t GpuAccess::I2cWriteAtPort1(uint8_t gpu, uint8_t address, uint8_t reg, uint8_t* data, uint32_t port) {
    return AddressTransfer(gpu, kPort1Byte, address, reg, data, 1, port, true);
}

int32_t GpuAccess::SetCardDeviceAddress(uint8_t gpu, int slot, uint8_t address) {
    if (!InRange(gpu) || !ValidSlot(slot)) return nvapi::INVALID_ARGUMENT;
    records_[gpu].cardDevices[static_cast<std::size_t>(slot)].address = address;
    return nvapi::OK;
}

int32_t GpuAccess::SetBoardControl(uint8_t gpu, uint8_t valueA, uint8_t valueB) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    nvapi::BoardControl control{};
    control.version = nvapi::kBoardControlVer;
    control.valueA = valueA;
    control.valueB = valueB;
    control.enable = 1;
    return api_.SetBoardControl(records_[gpu].hPhysicalGpu.load(), &control);
}

}  // namespace vx
