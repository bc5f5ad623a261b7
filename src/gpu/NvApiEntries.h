#pragma once
// Typed stubs over the binding: one method per driver entry, arguments passed through
// unchanged, the driver's status returned unchanged (or a binding status: -1, -2, -3).
#include "gpu/DriverBinding.h"

namespace vx::driver {

class NvApiEntries {
public:
    explicit NvApiEntries(DriverBinding& binding) : binding_(binding) {}

    DriverBinding& binding() const { return binding_; }

    int32_t GetInterfaceVersionString(nvapi::ShortString& text) const {
        return binding_.Call<nvapi::GetInterfaceVersionStringFn>(nvapi::GetInterfaceVersionString,
                                                                 static_cast<char*>(text));
    }
    /// The driver may fill all 64 slots whatever it is asked to keep, so the array is that big.
    int32_t EnumPhysicalGPUs(nvapi::PhysicalGpuHandle (&handles)[nvapi::kMaxPhysicalGpus],
                             uint32_t* count) const {
        return binding_.Call<nvapi::EnumPhysicalGPUsFn>(nvapi::EnumPhysicalGPUs,
                                                        static_cast<nvapi::PhysicalGpuHandle*>(handles), count);
    }
    int32_t EnumTCCPhysicalGPUs(nvapi::PhysicalGpuHandle (&handles)[nvapi::kMaxPhysicalGpus],
                                uint32_t* count) const {
        return binding_.Call<nvapi::EnumPhysicalGPUsFn>(nvapi::EnumTCCPhysicalGPUs,
                                                        static_cast<nvapi::PhysicalGpuHandle*>(handles), count);
    }
    int32_t EnumNvidiaDisplayHandle(uint32_t index, nvapi::DisplayHandle* display) const {
        return binding_.Call<nvapi::EnumNvidiaDisplayHandleFn>(nvapi::EnumNvidiaDisplayHandle, index, display);
    }
    int32_t GetDisplayDriverVersion(nvapi::DisplayHandle display, nvapi::DisplayDriverVersion* info) const {
        return binding_.Call<nvapi::GetDisplayDriverVersionFn>(nvapi::GetDisplayDriverVersion, display, info);
    }
    int32_t GetDisplayDriverMemoryInfo(nvapi::DisplayHandle display, nvapi::DisplayDriverMemoryInfo* info) const {
        return binding_.Call<nvapi::GetDisplayDriverMemoryInfoFn>(nvapi::GetDisplayDriverMemoryInfo, display, info);
    }
    int32_t GetFullName(nvapi::PhysicalGpuHandle gpu, nvapi::ShortString& text) const {
        return binding_.Call<nvapi::GetFullNameFn>(nvapi::GPU_GetFullName, gpu, static_cast<char*>(text));
    }
    int32_t GetPCIIdentifiers(nvapi::PhysicalGpuHandle gpu, uint32_t* deviceId, uint32_t* subSystemId,
                              uint32_t* revisionId, uint32_t* extDeviceId) const {
        return binding_.Call<nvapi::GetPCIIdentifiersFn>(nvapi::GPU_GetPCIIdentifiers, gpu, deviceId,
                                                         subSystemId, revisionId, extDeviceId);
    }
    int32_t GetRamType(nvapi::PhysicalGpuHandle gpu, uint32_t* code) const {
        return binding_.Call<nvapi::GetRamTypeFn>(nvapi::GPU_GetRamType, gpu, code);
    }
    int32_t GetMemoryBusWidth(nvapi::PhysicalGpuHandle gpu, uint32_t* width, uint32_t* location) const {
        return binding_.Call<nvapi::GetMemoryBusWidthFn>(nvapi::GPU_GetMemoryBusWidth, gpu, width, location);
    }
    int32_t GetPerfClocks(nvapi::PhysicalGpuHandle gpu, int32_t selector, nvapi::LegacyPerfClocks* table) const {
        return binding_.Call<nvapi::GetPerfClocksFn>(nvapi::GPU_GetPerfClocks, gpu, selector, table);
    }
    int32_t SetPerfClocks(nvapi::PhysicalGpuHandle gpu, int32_t selector, nvapi::LegacyPerfClocks* table) const {
        return binding_.Call<nvapi::SetPerfClocksFn>(nvapi::GPU_SetPerfClocks, gpu, selector, table);
    }

private:
    DriverBinding& binding_;
};

}  // namespace vx::driver
