#pragma once
// Driver structures and entry signatures of the telemetry reads: clocks, utilisation,
// thermal sensors, core voltage, power topology and the tachometer. The simulator includes
// this same header. Every field is a 32-bit word.
#include "gpu/DriverStructs.h"

#include <cstddef>
#include <cstdint>

namespace vx::nvapi {

// ---- Clock frequencies (version 3) ----

inline constexpr int kMaxClockDomains = 32;

/// Which clocks a frequencies read reports (bits 0 to 1 of `clockType`).
enum ClockType : uint32_t { kClockCurrent = 0, kClockBase = 1, kClockBoost = 2 };
inline constexpr uint32_t kClockTypeMask = 0x3;

struct ClockFrequencyDomain {
    uint32_t flags;  // bit 0: present
    uint32_t frequencyKhz;
};

struct ClockFrequencies {
    uint32_t version;
    uint32_t clockType;  // bits 0 to 1: ClockType
    ClockFrequencyDomain domains[kMaxClockDomains];
};
static_assert(sizeof(ClockFrequencies) == 264);
static_assert(offsetof(ClockFrequencies, clockType) == 4);
static_assert(offsetof(ClockFrequencies, domains) == 8);
inline constexpr uint32_t kClockFrequenciesVer = MakeVersion(sizeof(ClockFrequencies), 3);
static_assert(kClockFrequenciesVer == 0x30108);

// ---- Dynamic P-state information (utilisation, version 1) ----

inline constexpr int kMaxUtilizations = 8;
inline constexpr int kUtilizationGpu = 0;  // entry 0: the GPU load

struct UtilizationEntry {
    uint32_t present;
    uint32_t percent;
};

struct DynamicPstatesInfo {
    uint32_t version;
    uint32_t flags;  // bit 0: dynamic P-states enabled
    UtilizationEntry utilization[kMaxUtilizations];
};
static_assert(sizeof(DynamicPstatesInfo) == 72);
static_assert(offsetof(DynamicPstatesInfo, utilization) == 8);
inline constexpr uint32_t kDynamicPstatesInfoVer = MakeVersion(sizeof(DynamicPstatesInfo), 1);
static_assert(kDynamicPstatesInfoVer == 0x10048);

// ---- Thermal settings (version 2) ----

inline constexpr int kMaxThermalSensors = 3;
/// Sensor index that asks for every sensor at once.
inline constexpr uint32_t kAllThermalSensors = 15;

/// What a sensor measures.
enum ThermalTarget : int32_t {
    kThermalTargetNone = 0,
    kThermalTargetGpu = 1,
    kThermalTargetMemory = 2,
    kThermalTargetPowerSupply = 4,
    kThermalTargetBoard = 8,
};

struct ThermalSensor {
    int32_t controller;
    int32_t defaultMinTemp;  // °C
    int32_t defaultMaxTemp;  // °C
    int32_t currentTemp;     // °C
    int32_t target;          // ThermalTarget
};

struct ThermalSettings {
    uint32_t version;
    uint32_t count;
    ThermalSensor sensor[kMaxThermalSensors];
};
static_assert(sizeof(ThermalSettings) == 68);
static_assert(offsetof(ThermalSettings, count) == 4);
static_assert(offsetof(ThermalSettings, sensor) == 8);
static_assert(offsetof(ThermalSensor, currentTemp) == 12);
static_assert(offsetof(ThermalSensor, target) == 16);
inline constexpr uint32_t kThermalSettingsVer = MakeVersion(sizeof(ThermalSettings), 2);
static_assert(kThermalSettingsVer == 0x20044);

// ---- Voltage rail status (version 1) ----

struct VoltageRailStatus {
    uint32_t version;
    uint32_t flags;
    uint32_t reserved1[8];
    uint32_t coreVoltageUv;
    uint32_t reserved2[8];
};
static_assert(sizeof(VoltageRailStatus) == 76);
static_assert(offsetof(VoltageRailStatus, coreVoltageUv) == 40);
inline constexpr uint32_t kVoltageRailStatusVer = MakeVersion(sizeof(VoltageRailStatus), 1);
static_assert(kVoltageRailStatusVer == 0x1004C);

// ---- Voltage domains status (version 1) ----

inline constexpr int kMaxVoltageDomains = 16;
inline constexpr uint32_t kVoltageDomainCore = 0;

struct VoltageDomainEntry {
    uint32_t domainId;
    uint32_t voltageUv;
};

struct VoltageDomainsStatus {
    uint32_t version;
    uint32_t flags;
    uint32_t count;
    VoltageDomainEntry domains[kMaxVoltageDomains];
};
static_assert(sizeof(VoltageDomainsStatus) == 140);
static_assert(offsetof(VoltageDomainsStatus, count) == 8);
static_assert(offsetof(VoltageDomainsStatus, domains) == 12);
inline constexpr uint32_t kVoltageDomainsStatusVer = MakeVersion(sizeof(VoltageDomainsStatus), 1);
static_assert(kVoltageDomainsStatusVer == 0x1008C);

// ---- Power topology (version 1) ----

inline constexpr int kMaxPowerTopologyChannels = 3;  // what the information read can list
inline constexpr int kMaxPowerTopologyEntries = 4;   // what the status read can carry
inline constexpr uint32_t kPowerChannelTotalGpu = 0;

struct PowerTopologyInfo {
    uint32_t version;
    uint32_t flags;  // non-zero when the topology is available
    uint32_t count;
    uint32_t channelIds[kMaxPowerTopologyChannels];
};
static_assert(sizeof(PowerTopologyInfo) == 24);
static_assert(offsetof(PowerTopologyInfo, count) == 8);
static_assert(offsetof(PowerTopologyInfo, channelIds) == 12);
inline constexpr uint32_t kPowerTopologyInfoVer = MakeVersion(sizeof(PowerTopologyInfo), 1);
static_assert(kPowerTopologyInfoVer == 0x10018);

struct PowerTopologyEntry {
    uint32_t channelId;
    uint32_t reserved1;
    uint32_t power;  // 1/1000 percent of the default power limit
    uint32_t reserved2;
};

struct PowerTopologyStatus {
    uint32_t version;
    uint32_t count;
    PowerTopologyEntry entries[kMaxPowerTopologyEntries];
};
static_assert(sizeof(PowerTopologyStatus) == 72);
static_assert(offsetof(PowerTopologyStatus, count) == 4);
static_assert(offsetof(PowerTopologyStatus, entries) == 8);
static_assert(offsetof(PowerTopologyEntry, power) == 8);
inline constexpr uint32_t kPowerTopologyStatusVer = MakeVersion(sizeof(PowerTopologyStatus), 1);
static_assert(kPowerTopologyStatusVer == 0x10048);

// ---- Entry signatures ----
extern "C" {
using GetThermalSettingsFn = int32_t (*)(PhysicalGpuHandle gpu, uint32_t sensorIndex, ThermalSettings* settings);
using GetTachReadingFn = int32_t (*)(PhysicalGpuHandle gpu, uint32_t* rpm);
using GetAllClockFrequenciesFn = int32_t (*)(PhysicalGpuHandle gpu, ClockFrequencies* clocks);
using GetDynamicPstatesInfoExFn = int32_t (*)(PhysicalGpuHandle gpu, DynamicPstatesInfo* info);
using GetCurrentPstateFn = int32_t (*)(PhysicalGpuHandle gpu, uint32_t* pstate);
using GetVoltageRailStatusFn = int32_t (*)(PhysicalGpuHandle gpu, VoltageRailStatus* status);
using GetVoltageDomainsStatusFn = int32_t (*)(PhysicalGpuHandle gpu, VoltageDomainsStatus* status);
using PowerTopologyGetInfoFn = int32_t (*)(PhysicalGpuHandle gpu, PowerTopologyInfo* info);
using PowerTopologyGetStatusFn = int32_t (*)(PhysicalGpuHandle gpu, PowerTopologyStatus* status);
}

}  // namespace vx::nvapi
