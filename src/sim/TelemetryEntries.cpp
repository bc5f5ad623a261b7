// Telemetry entries: thermal sensors, clocks, utilisation, P-state, core voltage, power
// topology and the tachometer, read from each GPU's live thermal model.
#include "sim/SimEntries.h"
#include "sim/SimulatorImpl.h"

#include "gpu/NvApiIds.h"
#include "gpu/TelemetryStructs.h"

#include <algorithm>
#include <cstring>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

// Steps the addressed GPU's model up to the simulator's now.
ThermalModel& Live(EntryCall& call) { return call.sim().thermal.Live(call.gpuIndex(), call.gpu().telemetry); }

// Zeroes a driver structure but for its version word.
template <typename T>
void ClearAfterVersion(T& value) {
    const uint32_t version = value.version;
    std::memset(&value, 0, sizeof value);
    value.version = version;
}

void FillSensor(const ThermalSensorConfig& config, int32_t modelC, ThermalSensor& out) {
    out.controller = config.controller;
    out.defaultMinTemp = config.defaultMinC;
    out.defaultMaxTemp = config.defaultMaxC;
    out.currentTemp = modelC + config.offsetC;
    out.target = config.target;
}

int32_t SimGetThermalSettings(PhysicalGpuHandle gpu, uint32_t sensorIndex, ThermalSettings* settings) {
    return ServeEntry(GPU_GetThermalSettings, [&](EntryCall& call) -> int32_t {
        call.Arg(sensorIndex);
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!settings) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(settings->version, kThermalSettingsVer)) return status;
        const std::vector<ThermalSensorConfig>& sensors = call.gpu().telemetry.sensors;
        const std::size_t count = std::min(sensors.size(), kMaxRigSensors);
        if (sensorIndex != kAllThermalSensors && sensorIndex >= count) return INVALID_ARGUMENT;

        const int32_t modelC = Live(call).TemperatureC();
        ClearAfterVersion(*settings);
        if (sensorIndex == kAllThermalSensors) {
            settings->count = static_cast<uint32_t>(count);
            for (std::size_t i = 0; i < count; ++i) FillSensor(sensors[i], modelC, settings->sensor[i]);
        } else {
            settings->count = 1;
            FillSensor(sensors[sensorIndex], modelC, settings->sensor[0]);
        }
        return OK;
    });
}

int32_t SimGetTachReading(PhysicalGpuHandle gpu, uint32_t* rpm) {
    return ServeEntry(GPU_GetTachReading, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!rpm) return INVALID_ARGUMENT;
        if (!call.gpu().telemetry.tachPresent) return NOT_SUPPORTED;
        *rpm = Live(call).tachRpm();
        return OK;
    });
}

void SetDomain(ClockFrequencies& clocks, uint32_t domain, uint32_t khz) {
    clocks.domains[domain].flags = 1;
    clocks.domains[domain].frequencyKhz = khz;
}

int32_t SimGetAllClockFrequencies(PhysicalGpuHandle gpu, ClockFrequencies* clocks) {
    return ServeEntry(GPU_GetAllClockFrequencies, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!clocks) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(clocks->version, kClockFrequenciesVer)) return status;
        const uint32_t type = clocks->clockType & kClockTypeMask;
        call.Arg(type);
        if (type != kClockCurrent && type != kClockBase && type != kClockBoost) return INVALID_ARGUMENT;

        const TelemetryConfig& config = call.gpu().telemetry;
        uint32_t graphics = 0;
        uint32_t memory = config.memoryClockKhz;
        if (type == kClockCurrent) {
            const ThermalModel& model = Live(call);
            graphics = model.graphicsKhz();
            memory = model.memoryKhz();
        } else {
            graphics = type == kClockBase ? config.baseClockKhz : config.boostClockKhz;
        }
        std::memset(clocks->domains, 0, sizeof clocks->domains);
        SetDomain(*clocks, kClockDomainGraphics, graphics);
        SetDomain(*clocks, kClockDomainMemory, memory);
        if (config.processorDomain) SetDomain(*clocks, kClockDomainProcessor, 2 * graphics);
        return OK;
    });
}

int32_t SimGetDynamicPstatesInfoEx(PhysicalGpuHandle gpu, DynamicPstatesInfo* info) {
    return ServeEntry(GPU_GetDynamicPstatesInfoEx, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!info) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(info->version, kDynamicPstatesInfoVer)) return status;
        const uint32_t load = Live(call).loadPercent();
        ClearAfterVersion(*info);
        info->flags = 1;
        // GPU, frame buffer, video engine, bus: the last three loosely follow the GPU.
        const uint32_t loads[] = {load, load * 40 / 100, 0, load / 10};
        for (std::size_t i = 0; i < std::size(loads); ++i) info->utilization[i] = {1, loads[i]};
        return OK;
    });
}

int32_t SimGetCurrentPstate(PhysicalGpuHandle gpu, uint32_t* pstate) {
    return ServeEntry(GPU_GetCurrentPstate, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!pstate) return INVALID_ARGUMENT;
        *pstate = Live(call).pstate();
        return OK;
    });
}

int32_t SimGetVoltageRailStatus(PhysicalGpuHandle gpu, VoltageRailStatus* status) {
    return ServeEntry(GPU_GetVoltageRailStatus, [&](EntryCall& call) -> int32_t {
        if (int32_t result = call.UseGpu(gpu)) return result;
        if (!status) return INVALID_ARGUMENT;
        if (int32_t result = call.CheckVersion(status->version, kVoltageRailStatusVer)) return result;
        const uint32_t microvolts = Live(call).voltageUv();
        ClearAfterVersion(*status);
        status->coreVoltageUv = microvolts;
        return OK;
    });
}

int32_t SimGetVoltageDomainsStatus(PhysicalGpuHandle gpu, VoltageDomainsStatus* status) {
    return ServeEntry(GPU_GetVoltageDomainsStatus, [&](EntryCall& call) -> int32_t {
        if (int32_t result = call.UseGpu(gpu)) return result;
        if (!status) return INVALID_ARGUMENT;
        if (int32_t result = call.CheckVersion(status->version, kVoltageDomainsStatusVer)) return result;
        const uint32_t microvolts = Live(call).voltageUv();
        ClearAfterVersion(*status);
        status->count = 1;
        status->domains[0] = {kVoltageDomainCore, microvolts};
        return OK;
    });
}

int32_t SimPowerTopologyGetInfo(PhysicalGpuHandle gpu, PowerTopologyInfo* info) {
    return ServeEntry(GPU_PowerTopologyGetInfo, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!info) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(info->version, kPowerTopologyInfoVer)) return status;
        ClearAfterVersion(*info);
        info->flags = 1;
        info->count = 1;
        info->channelIds[0] = kPowerChannelTotalGpu;
        return OK;
    });
}

// The caller names the channels it wants (from the information read); each must be one we have.
int32_t SimPowerTopologyGetStatus(PhysicalGpuHandle gpu, PowerTopologyStatus* status) {
    return ServeEntry(GPU_PowerTopologyGetStatus, [&](EntryCall& call) -> int32_t {
        if (int32_t result = call.UseGpu(gpu)) return result;
        if (!status) return INVALID_ARGUMENT;
        if (int32_t result = call.CheckVersion(status->version, kPowerTopologyStatusVer)) return result;
        call.Arg(status->count);
        if (status->count > kMaxPowerTopologyEntries) return INVALID_ARGUMENT;
        for (uint32_t i = 0; i < status->count; ++i)
            if (status->entries[i].channelId != kPowerChannelTotalGpu) return INVALID_ARGUMENT;
        const uint32_t power = Live(call).powerMilliPercent();
        for (uint32_t i = 0; i < status->count; ++i) status->entries[i] = {kPowerChannelTotalGpu, 0, power, 0};
        return OK;
    });
}

}  // namespace

void* TelemetryEntryAddress(uint32_t id) {
    switch (id) {
    case GPU_GetThermalSettings: return reinterpret_cast<void*>(&SimGetThermalSettings);
    case GPU_GetTachReading: return reinterpret_cast<void*>(&SimGetTachReading);
    case GPU_GetAllClockFrequencies: return reinterpret_cast<void*>(&SimGetAllClockFrequencies);
    case GPU_GetDynamicPstatesInfoEx: return reinterpret_cast<void*>(&SimGetDynamicPstatesInfoEx);
    case GPU_GetCurrentPstate: return reinterpret_cast<void*>(&SimGetCurrentPstate);
    case GPU_GetVoltageRailStatus: return reinterpret_cast<void*>(&SimGetVoltageRailStatus);
    case GPU_GetVoltageDomainsStatus: return reinterpret_cast<void*>(&SimGetVoltageDomainsStatus);
    case GPU_PowerTopologyGetInfo: return reinterpret_cast<void*>(&SimPowerTopologyGetInfo);
    case GPU_PowerTopologyGetStatus: return reinterpret_cast<void*>(&SimPowerTopologyGetStatus);
    default: return nullptr;
    }
}

}  // namespace vx::sim
