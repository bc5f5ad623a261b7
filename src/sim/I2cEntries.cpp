// The I2C entries: a request goes to the bus of the GPU it names, to the device at its port
// byte and address. The board-control write the lighting uses sits here too.
#include "sim/SimEntries.h"
#include "sim/SimulatorImpl.h"

#include "gpu/I2cStructs.h"
#include "gpu/NvApiIds.h"

#include <cstring>
#include <memory>
#include <span>
#include <vector>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

// The driver's own bound on one transfer's data.
constexpr uint32_t kMaxI2cDataSize = 4096;
// Every device here takes a one-byte register address.
constexpr uint32_t kRegisterAddressSize = 1;

struct I2cRequest {
    uint8_t port = 0;
    uint8_t address = 0;
    uint8_t reg = 0;
    std::span<uint8_t> data;
};

// Reads and checks the caller's request, touching only the fields its version has. On success
// logs: display mask, port byte, address, register, data length, speed word, port ID (-1 when
// the request sets none).
int32_t TakeRequest(EntryCall& call, const I2cInfo& info, I2cRequest& request) {
    const uint32_t word = info.version;
    if (int32_t status = call.CheckVersion(word, word == kI2cInfoVer3 ? kI2cInfoVer3 : kI2cInfoVer1)) return status;
    if (!info.registerAddress || info.registerAddressSize != kRegisterAddressSize) return INVALID_ARGUMENT;
    if (!info.data || info.dataSize == 0 || info.dataSize > kMaxI2cDataSize) return INVALID_ARGUMENT;
    const bool portIdGiven = word == kI2cInfoVer3 && info.portIdValid != 0;

    request.port = info.portByte;
    request.address = info.deviceAddress;
    request.reg = *info.registerAddress;
    request.data = std::span<uint8_t>(info.data, info.dataSize);
    call.Arg(info.displayMask);
    call.Arg(request.port);
    call.Arg(request.address);
    call.Arg(request.reg);
    call.Arg(info.dataSize);
    call.Arg(info.speed);
    call.Arg(portIdGiven ? int64_t(info.portId) : -1);
    return OK;
}

void LogBytes(EntryCall& call, std::span<const uint8_t> bytes) {
    for (uint8_t b : bytes) call.Arg(b);
}

// Waits while the GPU's bus is held, with no simulator lock taken, so that other entries, and
// the test that holds the bus, go on meanwhile.
void WaitWhileBusHeld(PhysicalGpuHandle gpu) {
    std::shared_ptr<I2cBusHolds> holds;
    handles::Decoded h = handles::Decode(gpu);
    {
        ActiveSimulatorLock active;
        Simulator::Impl* sim = active.get();
        // The instance is fixed before the simulator can be active; no lock needed to read it.
        if (!sim || h.tag != handles::kGpuTag || h.instance != (sim->instance & 0xFFFF)) return;
        holds = sim->i2c.holds();
    }
    holds->WaitWhileHeld(h.index);
}

int32_t Transfer(uint32_t id, PhysicalGpuHandle gpu, I2cInfo* info, bool write, bool extended,
                 const I2cExScratch* scratch) {
    WaitWhileBusHeld(gpu);
    return ServeEntry(id, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!info || (extended && !scratch)) return INVALID_ARGUMENT;
        I2cRequest request;
        if (int32_t status = TakeRequest(call, *info, request)) return status;

        const I2cBus* bus = call.sim().i2c.bus(call.gpuIndex());
        if (write) {
            LogBytes(call, request.data);
            return bus ? bus->Write(request.port, request.address, request.reg, request.data) : kI2cNak;
        }
        // Into a copy first, so a failed read leaves the caller's buffer as it was.
        std::vector<uint8_t> bytes(request.data.size());
        int32_t status = bus ? bus->Read(request.port, request.address, request.reg, bytes) : kI2cNak;
        if (status == OK) {
            std::memcpy(request.data.data(), bytes.data(), bytes.size());
            LogBytes(call, bytes);
        }
        return status;
    });
}

int32_t SimI2CRead(PhysicalGpuHandle gpu, I2cInfo* info) { return Transfer(I2CRead, gpu, info, false, false, nullptr); }

int32_t SimI2CWrite(PhysicalGpuHandle gpu, I2cInfo* info) {
    return Transfer(I2CWrite, gpu, info, true, false, nullptr);
}

// The extended entries move the same bytes; their third argument reports nothing here.
int32_t SimI2CReadEx(PhysicalGpuHandle gpu, I2cInfo* info, I2cExScratch* scratch) {
    return Transfer(I2CReadEx, gpu, info, false, true, scratch);
}

int32_t SimI2CWriteEx(PhysicalGpuHandle gpu, I2cInfo* info, I2cExScratch* scratch) {
    return Transfer(I2CWriteEx, gpu, info, true, true, scratch);
}

// Board control {version, a, b, enable}: accepted and logged (a, b, enable); the lighting
// controllers take their colours over I2C.
int32_t SimSetBoardControl(PhysicalGpuHandle gpu, BoardControl* control) {
    return ServeEntry(GPU_SetVoltageRail, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!control) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(control->version, kBoardControlVer)) return status;
        call.Arg(control->valueA);
        call.Arg(control->valueB);
        call.Arg(control->enable);
        return OK;
    });
}

}  // namespace

void* I2cEntryAddress(uint32_t id) {
    switch (id) {
    case I2CRead: return reinterpret_cast<void*>(static_cast<I2cFn>(&SimI2CRead));
    case I2CWrite: return reinterpret_cast<void*>(static_cast<I2cFn>(&SimI2CWrite));
    case I2CReadEx: return reinterpret_cast<void*>(static_cast<I2cExFn>(&SimI2CReadEx));
    case I2CWriteEx: return reinterpret_cast<void*>(static_cast<I2cExFn>(&SimI2CWriteEx));
    case GPU_SetVoltageRail: return reinterpret_cast<void*>(static_cast<SetBoardControlFn>(&SimSetBoardControl));
    default: return nullptr;
    }
}

}  // namespace vx::sim
