#pragma once
// Interface IDs of the driver entries the system resolves through nvapi_QueryInterface.
#include <array>
#include <cstddef>
#include <cstdint>

namespace vx::nvapi {

enum EntryId : uint32_t {
    Initialize = 0x0150E828,
    Unload = 0xD22BDD7E,
    GetInterfaceVersionString = 0x01053FA5,
    EnumPhysicalGPUs = 0xE5AC921F,
    EnumTCCPhysicalGPUs = 0xD9930B07,
    EnumNvidiaDisplayHandle = 0x9ABDD40D,
    GetDisplayDriverVersion = 0xF951A4D1,
    GetDisplayDriverMemoryInfo = 0x774AA982,
    GetLogicalGPUFromDisplay = 0xEE1370CF,
    GPU_GetConnectedDisplayIds = 0x0078DBA2,
    GetAssociatedNvidiaDisplayHandle = 0x35C29134,
    GetAssociatedNvidiaDisplayName = 0x22A78B05,
    DISP_GetDisplayIdByDisplayName = 0xAE457190,
    GPU_GetFullName = 0xCEEE8E9F,
    GPU_GetPCIIdentifiers = 0x2DDFB66E,
    GPU_GetBusId = 0x1BE0B8E5,
    GPU_GetVbiosVersionString = 0xA561FD7D,
    GPU_GetRamType = 0x57F7CAAC,
    GPU_GetMemoryBusWidth = 0x11104158,
    GPU_GetThermalSettings = 0xE3640A56,
    GPU_GetTachReading = 0x5F608315,
    GPU_GetAllClockFrequencies = 0xDCB616C3,
    GPU_GetDynamicPstatesInfoEx = 0x60DED2ED,
    GPU_GetCurrentPstate = 0x927DA4F6,
    GPU_GetPstates20 = 0x6FF81213,
    GPU_SetPstates20 = 0x0F4DAE6B,
    GPU_GetPstatesInfo = 0xBA94C56E,
    GPU_SetPstatesInfo = 0xCDF27911,
    GPU_GetPstatesInfoEx = 0x843C0256,
    GPU_GetVoltageTable = 0x7D656244,
    GPU_GetPerfClocks = 0x1EA54A3B,
    GPU_SetPerfClocks = 0x07BCF4AC,
    GPU_GetVoltageDomainsStatus = 0xC16C7E2C,
    GPU_GetVoltageRailStatus = 0x465F9BCF,
    GPU_GetOverVoltPercent = 0x9DF23CA1,
    GPU_SetOverVoltPercent = 0xB9306D9B,
    GPU_GetClockBoostLock = 0xE440B867,
    GPU_SetClockBoostLock = 0x39442CFB,
    GPU_ClockClientClkDomainsGetInfo = 0x64B43A6A,
    GPU_ClockClientClkVfPointsGetInfo = 0x507B4B59,
    GPU_ClockClientClkVfPointsGetControl = 0x23F1B133,
    GPU_ClockClientClkVfPointsSetControl = 0x0733E009,
    GPU_PowerPoliciesGetInfo = 0x34206D86,
    GPU_PowerPoliciesGetStatus = 0x70916171,
    GPU_PowerPoliciesSetStatus = 0xAD95F5ED,
    GPU_PowerTopologyGetInfo = 0xA4DFD3F2,
    GPU_PowerTopologyGetStatus = 0xEDCF624E,
    GPU_ThermalPoliciesGetInfo = 0x0D258BB5,
    GPU_ClientThermalPoliciesGetStatus = 0xE9C425A1,
    GPU_ClientThermalPoliciesSetStatus = 0x34C0B13D,
    GPU_GetCoolerSettings = 0xDA141340,
    GPU_SetCoolerLevels = 0x891FA0AE,
    GPU_RestoreCoolerSettings = 0x8F6ED0FB,
    GPU_GetFanStopCapability = 0xE543C540,
    GPU_SetVoltageRail = 0xF3B11E68,
    GPU_SetPerfLimitControl = 0x7E237D59,
    GPU_AdvancedRead = 0x18919887,
    GPU_ConnectorQuery = 0x4ECA2C10,
    I2CRead = 0x2FDE12C5,
    I2CWrite = 0xE812EB07,
    I2CReadEx = 0x4D7B0709,
    I2CWriteEx = 0x283AC65A,
    DRS_CreateSession = 0x0694D52E,
    DRS_DestroySession = 0xDAD9CFF8,
    DRS_LoadSettings = 0x375DBD6B,
    DRS_SaveSettings = 0xFCBC7E14,
    DRS_GetBaseProfile = 0xDA8466A0,
    DRS_GetSetting = 0x73BF8338,
    DRS_SetSetting = 0x577DD202,
    DISP_GetTiming = 0x175167E9,
    DISP_TryCustomDisplay = 0x1F7DB630,
    DISP_SaveCustomDisplay = 0x49882876,
    DISP_RevertCustomDisplayTrial = 0xCBBD40F0,
    DISP_DpAuxChannelControl = 0x8EB56969,
};

// Every entry the system uses, in one list; an entry's position is its slot in the binding's cache.
inline constexpr std::array kKnownEntries = {
    Initialize, Unload, GetInterfaceVersionString, EnumPhysicalGPUs, EnumTCCPhysicalGPUs,
    EnumNvidiaDisplayHandle, GetDisplayDriverVersion, GetDisplayDriverMemoryInfo,
    GetLogicalGPUFromDisplay, GPU_GetConnectedDisplayIds, GetAssociatedNvidiaDisplayHandle,
    GetAssociatedNvidiaDisplayName, DISP_GetDisplayIdByDisplayName, GPU_GetFullName,
    GPU_GetPCIIdentifiers, GPU_GetBusId, GPU_GetVbiosVersionString, GPU_GetRamType,
    GPU_GetMemoryBusWidth, GPU_GetThermalSettings, GPU_GetTachReading,
    GPU_GetAllClockFrequencies, GPU_GetDynamicPstatesInfoEx, GPU_GetCurrentPstate,
    GPU_GetPstates20, GPU_SetPstates20, GPU_GetPstatesInfo, GPU_SetPstatesInfo,
    GPU_GetPstatesInfoEx, GPU_GetVoltageTable, GPU_GetPerfClocks, GPU_SetPerfClocks,
    GPU_GetVoltageDomainsStatus, GPU_GetVoltageRailStatus, GPU_GetOverVoltPercent,
    GPU_SetOverVoltPercent, GPU_GetClockBoostLock, GPU_SetClockBoostLock,
    GPU_ClockClientClkDomainsGetInfo, GPU_ClockClientClkVfPointsGetInfo,
    GPU_ClockClientClkVfPointsGetControl, GPU_ClockClientClkVfPointsSetControl,
    GPU_PowerPoliciesGetInfo, GPU_PowerPoliciesGetStatus, GPU_PowerPoliciesSetStatus,
    GPU_PowerTopologyGetInfo, GPU_PowerTopologyGetStatus, GPU_ThermalPoliciesGetInfo,
    GPU_ClientThermalPoliciesGetStatus, GPU_ClientThermalPoliciesSetStatus,
    GPU_GetCoolerSettings, GPU_SetCoolerLevels, GPU_RestoreCoolerSettings,
    GPU_GetFanStopCapability, GPU_SetVoltageRail, GPU_SetPerfLimitControl, GPU_AdvancedRead,
    GPU_ConnectorQuery, I2CRead, I2CWrite, I2CReadEx, I2CWriteEx, DRS_CreateSession,
    DRS_DestroySession, DRS_LoadSettings, DRS_SaveSettings, DRS_GetBaseProfile,
    DRS_GetSetting, DRS_SetSetting, DISP_GetTiming, DISP_TryCustomDisplay,
    DISP_SaveCustomDisplay, DISP_RevertCustomDisplayTrial, DISP_DpAuxChannelControl,
};

// Slot in the entry cache, or -1 for an ID outside the list.
constexpr int CacheSlotOf(uint32_t id) {
    for (std::size_t i = 0; i < kKnownEntries.size(); ++i)
        if (kKnownEntries[i] == id) return static_cast<int>(i);
    return -1;
}

}  // namespace vx::nvapi
