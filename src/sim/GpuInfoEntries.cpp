// Per-GPU identification entries: PCI identifiers, names, memory type and bus width.
#include "sim/SimEntries.h"
#include "sim/SimulatorImpl.h"

#include "gpu/NvApiIds.h"

namespace vx::sim {
namespace {

using namespace vx::nvapi;

int32_t SimGetPCIIdentifiers(PhysicalGpuHandle gpu, uint32_t* deviceId, uint32_t* subSystemId,
                             uint32_t* revisionId, uint32_t* extDeviceId) {
    return ServeEntry(GPU_GetPCIIdentifiers, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!deviceId || !subSystemId || !revisionId || !extDeviceId) return INVALID_ARGUMENT;
        const GpuModel& model = call.gpu();
        *deviceId = model.PciDeviceWord();
        *subSystemId = model.subsystemId;
        *revisionId = model.revisionId;
        *extDeviceId = model.pciDeviceId;
        return OK;
    });
}

int32_t SimGetFullName(PhysicalGpuHandle gpu, char* text) {
    return ServeEntry(GPU_GetFullName, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!text) return INVALID_ARGUMENT;
        CopyDriverString(call.gpu().name, text);
        return OK;
    });
}

int32_t SimGetVbiosVersionString(PhysicalGpuHandle gpu, char* text) {
    return ServeEntry(GPU_GetVbiosVersionString, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!text) return INVALID_ARGUMENT;
        CopyDriverString(call.gpu().biosVersion, text);
        return OK;
    });
}

int32_t SimGetRamType(PhysicalGpuHandle gpu, uint32_t* code) {
    return ServeEntry(GPU_GetRamType, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!code) return INVALID_ARGUMENT;
        *code = call.gpu().ramType;
        return OK;
    });
}

int32_t SimGetMemoryBusWidth(PhysicalGpuHandle gpu, uint32_t* width, uint32_t* location) {
    return ServeEntry(GPU_GetMemoryBusWidth, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!width || !location) return INVALID_ARGUMENT;
        *width = call.gpu().memoryBusWidth;
        *location = 0;
        return OK;
    });
}

}  // namespace

void* GpuInfoEntryAddress(uint32_t id) {
    switch (id) {
    case GPU_GetPCIIdentifiers: return reinterpret_cast<void*>(&SimGetPCIIdentifiers);
    case GPU_GetFullName: return reinterpret_cast<void*>(&SimGetFullName);
    case GPU_GetVbiosVersionString: return reinterpret_cast<void*>(&SimGetVbiosVersionString);
    case GPU_GetRamType: return reinterpret_cast<void*>(&SimGetRamType);
    case GPU_GetMemoryBusWidth: return reinterpret_cast<void*>(&SimGetMemoryBusWidth);
    default: return nullptr;
    }
}

}  // namespace vx::sim
