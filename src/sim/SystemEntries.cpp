// Driver-wide entries: initialise and unload, enumeration, the display and driver version.
#include "sim/SimEntries.h"
#include "sim/SimulatorImpl.h"

#include "gpu/NvApiIds.h"

namespace vx::sim {
namespace {

using namespace vx::nvapi;

int32_t SimInitialize() {
    return ServeEntry(nvapi::Initialize, [](EntryCall& call) -> int32_t {
        call.sim().initialized = true;
        return OK;
    });
}

int32_t SimUnload() {
    return ServeEntry(nvapi::Unload, [](EntryCall& call) -> int32_t {
        call.sim().initialized = false;
        return OK;
    });
}

int32_t SimGetInterfaceVersionString(char* text) {
    return ServeEntry(nvapi::GetInterfaceVersionString, [text](EntryCall& call) -> int32_t {
        if (!text) return INVALID_ARGUMENT;
        CopyDriverString(call.sim().rig.interfaceVersion, text);
        return OK;
    });
}

// Fills the caller's 64 slots with the GPUs of one kind, in rig order.
int32_t Enumerate(EntryCall& call, bool compute, PhysicalGpuHandle* handles, uint32_t* count) {
    if (!handles || !count) return INVALID_ARGUMENT;
    uint32_t found = 0;
    const std::vector<GpuModel>& gpus = call.sim().rig.gpus;
    for (std::size_t i = 0; i < gpus.size() && found < kMaxPhysicalGpus; ++i)
        if (gpus[i].computeMode == compute) handles[found++] = call.HandleOf(i);
    for (uint32_t slot = found; slot < kMaxPhysicalGpus; ++slot) handles[slot] = nullptr;
    *count = found;
    call.Arg(found);
    // Like the real driver: no display GPU at all is an error, no compute GPU is not.
    return (found == 0 && !compute) ? NVIDIA_DEVICE_NOT_FOUND : OK;
}

int32_t SimEnumPhysicalGPUs(PhysicalGpuHandle handles[kMaxPhysicalGpus], uint32_t* count) {
    return ServeEntry(nvapi::EnumPhysicalGPUs,
                      [&](EntryCall& call) -> int32_t { return Enumerate(call, false, handles, count); });
}

int32_t SimEnumTCCPhysicalGPUs(PhysicalGpuHandle handles[kMaxPhysicalGpus], uint32_t* count) {
    return ServeEntry(nvapi::EnumTCCPhysicalGPUs,
                      [&](EntryCall& call) -> int32_t { return Enumerate(call, true, handles, count); });
}

// The one display hangs off the first GPU that is not in compute mode.
std::optional<std::size_t> DisplayGpu(const Rig& rig) {
    for (std::size_t i = 0; i < rig.gpus.size(); ++i)
        if (!rig.gpus[i].computeMode) return i;
    return std::nullopt;
}

int32_t SimEnumNvidiaDisplayHandle(uint32_t index, DisplayHandle* display) {
    return ServeEntry(nvapi::EnumNvidiaDisplayHandle, [&](EntryCall& call) -> int32_t {
        call.Arg(index);
        if (!display) return INVALID_ARGUMENT;
        if (RigHasDisplays(call.sim().rig)) return EnumRigDisplay(call, index, display);  // Display tools
        std::optional<std::size_t> gpu = DisplayGpu(call.sim().rig);
        if (index != 0 || !gpu) return END_ENUMERATION;
        *display = call.DisplayHandleOf(*gpu);
        return OK;
    });
}

int32_t SimGetDisplayDriverVersion(DisplayHandle display, DisplayDriverVersion* info) {
    return ServeEntry(nvapi::GetDisplayDriverVersion, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseDisplay(display)) return status;
        if (!info) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(info->version, kDisplayDriverVersionVer)) return status;
        const Rig& rig = call.sim().rig;
        info->drvVersion = rig.driverVersion;
        info->bldChangeListNum = 0;
        CopyDriverString(rig.buildBranch, info->buildBranch);
        CopyDriverString(call.gpu().name, info->adapter);
        return OK;
    });
}

int32_t SimGetDisplayDriverMemoryInfo(DisplayHandle display, DisplayDriverMemoryInfo* info) {
    return ServeEntry(nvapi::GetDisplayDriverMemoryInfo, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseDisplay(display)) return status;
        if (!info) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(info->version, kDisplayDriverMemoryInfoVer)) return status;
        uint32_t dedicated = call.sim().rig.dedicatedVideoMemoryKb;
        info->dedicatedVideoMemory = dedicated;
        info->availableDedicatedVideoMemory = dedicated;
        info->systemVideoMemory = 0;
        info->sharedSystemMemory = 0;
        info->curAvailableDedicatedVideoMemory = dedicated;
        info->dedicatedVideoMemoryEvictionsSize = 0;
        info->dedicatedVideoMemoryEvictionCount = 0;
        return OK;
    });
}

}  // namespace

void* SystemEntryAddress(uint32_t id) {
    switch (id) {
    case nvapi::Initialize: return reinterpret_cast<void*>(&SimInitialize);
    case nvapi::Unload: return reinterpret_cast<void*>(&SimUnload);
    case nvapi::GetInterfaceVersionString: return reinterpret_cast<void*>(&SimGetInterfaceVersionString);
    case nvapi::EnumPhysicalGPUs: return reinterpret_cast<void*>(&SimEnumPhysicalGPUs);
    case nvapi::EnumTCCPhysicalGPUs: return reinterpret_cast<void*>(&SimEnumTCCPhysicalGPUs);
    case nvapi::EnumNvidiaDisplayHandle: return reinterpret_cast<void*>(&SimEnumNvidiaDisplayHandle);
    case nvapi::GetDisplayDriverVersion: return reinterpret_cast<void*>(&SimGetDisplayDriverVersion);
    case nvapi::GetDisplayDriverMemoryInfo: return reinterpret_cast<void*>(&SimGetDisplayDriverMemoryInfo);
    default: return nullptr;
    }
}

}  // namespace vx::sim
