#pragma once
// Typed stubs over the binding: one method per driver entry, arguments passed through
// unchanged, the driver's status returned unchanged (or a binding status: -1, -2, -3).
#include "gpu/ClockStructs.h"  // Clocks
#include "gpu/DriverBinding.h"
#include "gpu/I2cStructs.h"
#include "gpu/TelemetryStructs.h"
#include "gpu/VfStructs.h"  // VF points

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

    // Telemetry
    int32_t GetVbiosVersionString(nvapi::PhysicalGpuHandle gpu, nvapi::ShortString& text) const {
        return binding_.Call<nvapi::GetFullNameFn>(nvapi::GPU_GetVbiosVersionString, gpu, static_cast<char*>(text));
    }
    int32_t GetThermalSettings(nvapi::PhysicalGpuHandle gpu, uint32_t sensorIndex,
                               nvapi::ThermalSettings* settings) const {
        return binding_.Call<nvapi::GetThermalSettingsFn>(nvapi::GPU_GetThermalSettings, gpu, sensorIndex, settings);
    }
    int32_t GetTachReading(nvapi::PhysicalGpuHandle gpu, uint32_t* rpm) const {
        return binding_.Call<nvapi::GetTachReadingFn>(nvapi::GPU_GetTachReading, gpu, rpm);
    }
    int32_t GetAllClockFrequencies(nvapi::PhysicalGpuHandle gpu, nvapi::ClockFrequencies* clocks) const {
        return binding_.Call<nvapi::GetAllClockFrequenciesFn>(nvapi::GPU_GetAllClockFrequencies, gpu, clocks);
    }
    int32_t GetDynamicPstatesInfoEx(nvapi::PhysicalGpuHandle gpu, nvapi::DynamicPstatesInfo* info) const {
        return binding_.Call<nvapi::GetDynamicPstatesInfoExFn>(nvapi::GPU_GetDynamicPstatesInfoEx, gpu, info);
    }
    int32_t GetCurrentPstate(nvapi::PhysicalGpuHandle gpu, uint32_t* pstate) const {
        return binding_.Call<nvapi::GetCurrentPstateFn>(nvapi::GPU_GetCurrentPstate, gpu, pstate);
    }
    int32_t GetVoltageRailStatus(nvapi::PhysicalGpuHandle gpu, nvapi::VoltageRailStatus* status) const {
        return binding_.Call<nvapi::GetVoltageRailStatusFn>(nvapi::GPU_GetVoltageRailStatus, gpu, status);
    }
    int32_t GetVoltageDomainsStatus(nvapi::PhysicalGpuHandle gpu, nvapi::VoltageDomainsStatus* status) const {
        return binding_.Call<nvapi::GetVoltageDomainsStatusFn>(nvapi::GPU_GetVoltageDomainsStatus, gpu, status);
    }
    int32_t PowerTopologyGetInfo(nvapi::PhysicalGpuHandle gpu, nvapi::PowerTopologyInfo* info) const {
        return binding_.Call<nvapi::PowerTopologyGetInfoFn>(nvapi::GPU_PowerTopologyGetInfo, gpu, info);
    }
    int32_t PowerTopologyGetStatus(nvapi::PhysicalGpuHandle gpu, nvapi::PowerTopologyStatus* status) const {
        return binding_.Call<nvapi::PowerTopologyGetStatusFn>(nvapi::GPU_PowerTopologyGetStatus, gpu, status);
    }
    // End of telemetry

    // I2C
    int32_t I2CRead(nvapi::PhysicalGpuHandle gpu, nvapi::I2cInfo* info) const {
        return binding_.Call<nvapi::I2cFn>(nvapi::I2CRead, gpu, info);
    }
    int32_t I2CWrite(nvapi::PhysicalGpuHandle gpu, nvapi::I2cInfo* info) const {
        return binding_.Call<nvapi::I2cFn>(nvapi::I2CWrite, gpu, info);
    }
    int32_t I2CReadEx(nvapi::PhysicalGpuHandle gpu, nvapi::I2cInfo* info, nvapi::I2cExScratch* scratch) const {
        return binding_.Call<nvapi::I2cExFn>(nvapi::I2CReadEx, gpu, info, scratch);
    }
    int32_t I2CWriteEx(nvapi::PhysicalGpuHandle gpu, nvapi::I2cInfo* info, nvapi::I2cExScratch* scratch) const {
        return binding_.Call<nvapi::I2cExFn>(nvapi::I2CWriteEx, gpu, info, scratch);
    }
    int32_t SetBoardControl(nvapi::PhysicalGpuHandle gpu, nvapi::BoardControl* control) const {
        return binding_.Call<nvapi::SetBoardControlFn>(nvapi::GPU_SetVoltageRail, gpu, control);
    }
    // VF points
    int32_t ClockClientClkDomainsGetInfo(nvapi::PhysicalGpuHandle gpu, nvapi::ClkDomainsInfo* info) const {
        return binding_.Call<nvapi::ClkDomainsGetInfoFn>(nvapi::GPU_ClockClientClkDomainsGetInfo, gpu, info);
    }
    int32_t ClockClientClkVfPointsGetInfo(nvapi::PhysicalGpuHandle gpu, nvapi::ClkVfPointsInfo* info) const {
        return binding_.Call<nvapi::ClkVfPointsGetInfoFn>(nvapi::GPU_ClockClientClkVfPointsGetInfo, gpu, info);
    }
    int32_t ClockClientClkVfPointsGetControl(nvapi::PhysicalGpuHandle gpu, nvapi::ClkVfPointsControl* control) const {
        return binding_.Call<nvapi::ClkVfPointsControlFn>(nvapi::GPU_ClockClientClkVfPointsGetControl, gpu, control);
    }
    int32_t ClockClientClkVfPointsSetControl(nvapi::PhysicalGpuHandle gpu, nvapi::ClkVfPointsControl* control) const {
        return binding_.Call<nvapi::ClkVfPointsControlFn>(nvapi::GPU_ClockClientClkVfPointsSetControl, gpu, control);
    }
    // End of VF points

    // Clocks
    int32_t GetPstates20(nvapi::PhysicalGpuHandle gpu, nvapi::Pstates20Info* info) const {
        return binding_.Call<nvapi::Pstates20Fn>(nvapi::GPU_GetPstates20, gpu, info);
    }
    int32_t SetPstates20(nvapi::PhysicalGpuHandle gpu, nvapi::Pstates20Info* info) const {
        return binding_.Call<nvapi::Pstates20Fn>(nvapi::GPU_SetPstates20, gpu, info);
    }
    int32_t GetOverVoltPercent(nvapi::PhysicalGpuHandle gpu, nvapi::OverVoltPercent* info) const {
        return binding_.Call<nvapi::OverVoltPercentFn>(nvapi::GPU_GetOverVoltPercent, gpu, info);
    }
    int32_t SetOverVoltPercent(nvapi::PhysicalGpuHandle gpu, nvapi::OverVoltPercent* info) const {
        return binding_.Call<nvapi::OverVoltPercentFn>(nvapi::GPU_SetOverVoltPercent, gpu, info);
    }
    int32_t GetClockBoostLock(nvapi::PhysicalGpuHandle gpu, nvapi::ClockBoostLock* locks) const {
        return binding_.Call<nvapi::ClockBoostLockFn>(nvapi::GPU_GetClockBoostLock, gpu, locks);
    }
    int32_t SetClockBoostLock(nvapi::PhysicalGpuHandle gpu, nvapi::ClockBoostLock* locks) const {
        return binding_.Call<nvapi::ClockBoostLockFn>(nvapi::GPU_SetClockBoostLock, gpu, locks);
    }
    int32_t SetPerfLimitControl(nvapi::PhysicalGpuHandle gpu, nvapi::PerfLimitControl* control) const {
        return binding_.Call<nvapi::PerfLimitControlFn>(nvapi::GPU_SetPerfLimitControl, gpu, control);
    }
    int32_t GetPstatesInfo(nvapi::PhysicalGpuHandle gpu, nvapi::PstatesInfo* info) const {
        return binding_.Call<nvapi::PstatesInfoFn>(nvapi::GPU_GetPstatesInfo, gpu, info);
    }
    int32_t SetPstatesInfo(nvapi::PhysicalGpuHandle gpu, nvapi::PstatesInfo* info) const {
        return binding_.Call<nvapi::PstatesInfoFn>(nvapi::GPU_SetPstatesInfo, gpu, info);
    }
    int32_t GetPstatesInfoEx(nvapi::PhysicalGpuHandle gpu, nvapi::PstatesInfo* info, uint32_t flags) const {
        return binding_.Call<nvapi::PstatesInfoExFn>(nvapi::GPU_GetPstatesInfoEx, gpu, info, flags);
    }
    int32_t GetVoltageTable(nvapi::PhysicalGpuHandle gpu, nvapi::VoltageTable* table) const {
        return binding_.Call<nvapi::VoltageTableFn>(nvapi::GPU_GetVoltageTable, gpu, table);
    }
    // End of clocks

private:
    DriverBinding& binding_;
};

}  // namespace vx::driver
