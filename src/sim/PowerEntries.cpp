// Client power and thermal policies: ranges and defaults from the rig, targets written by the
// program. A power target also caps the GPU's live model.
#include "sim/SimEntries.h"
#include "sim/SimulatorImpl.h"

#include "gpu/NvApiIds.h"
#include "gpu/PowerStructs.h"

#include <algorithm>
#include <cstring>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

const PowerPolicyConfig* FindPower(const PowerConfig& config, uint32_t id) {
    const std::size_t count = std::min(config.powerPolicies.size(), kMaxRigPowerPolicies);
    for (std::size_t i = 0; i < count; ++i)
        if (config.powerPolicies[i].policyId == id) return &config.powerPolicies[i];
    return nullptr;
}

const ThermalPolicyConfig* FindThermal(const PowerConfig& config, uint32_t id) {
    const std::size_t count = std::min(config.thermalPolicies.size(), kMaxRigThermalPolicies);
    for (std::size_t i = 0; i < count; ++i)
        if (config.thermalPolicies[i].policyId == id) return &config.thermalPolicies[i];
    return nullptr;
}

GpuPowerState& StateOf(EntryCall& call) { return call.sim().power[call.gpuIndex()]; }

int32_t SimPowerPoliciesGetInfo(PhysicalGpuHandle gpu, PowerPoliciesInfo* info) {
    return ServeEntry(GPU_PowerPoliciesGetInfo, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!info) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(info->version, kPowerPoliciesInfoVer)) return status;
        const PowerConfig& config = call.gpu().power;
        std::memset(reinterpret_cast<char*>(info) + sizeof info->version, 0, sizeof *info - sizeof info->version);
        info->valid = config.powerSupported ? 1 : 0;
        if (!config.powerSupported) return OK;
        const std::size_t count = std::min(config.powerPolicies.size(), kMaxRigPowerPolicies);
        info->count = static_cast<uint8_t>(count);
        for (std::size_t i = 0; i < count; ++i) {
            const PowerPolicyConfig& p = config.powerPolicies[i];
            PowerPolicyInfoEntry& e = info->entries[i];
            e.policyId = p.policyId;
            e.channel = p.channel;
            e.pwrLimitMin = p.minMilliPercent;
            e.pwrLimitDefault = p.defaultMilliPercent;
            e.pwrLimitMax = p.maxMilliPercent;
        }
        return OK;
    });
}

// The caller names the policies it wants; each must be one the GPU has.
int32_t SimPowerPoliciesGetStatus(PhysicalGpuHandle gpu, PowerPoliciesStatus* status) {
    return ServeEntry(GPU_PowerPoliciesGetStatus, [&](EntryCall& call) -> int32_t {
        if (int32_t result = call.UseGpu(gpu)) return result;
        if (!status) return INVALID_ARGUMENT;
        if (int32_t result = call.CheckVersion(status->version, kPowerPoliciesStatusVer)) return result;
        call.Arg(status->count);
        const PowerConfig& config = call.gpu().power;
        if (!config.powerSupported) return NOT_SUPPORTED;
        if (status->count > kMaxRigPowerPolicies) return INVALID_ARGUMENT;
        for (uint32_t i = 0; i < status->count; ++i)
            if (!FindPower(config, status->entries[i].policyId)) return INVALID_ARGUMENT;
        const GpuPowerState& state = StateOf(call);
        for (uint32_t i = 0; i < status->count; ++i) {
            PowerPolicyStatusEntry& e = status->entries[i];
            const auto written = state.powerLimits.find(e.policyId);
            e.flags = 0;
            e.powerLimit = written != state.powerLimits.end() ? written->second
                                                              : FindPower(config, e.policyId)->defaultMilliPercent;
            e.reserved = 0;
        }
        return OK;
    });
}

// Every entry is checked before any is taken, so a refused write changes nothing.
int32_t SimPowerPoliciesSetStatus(PhysicalGpuHandle gpu, PowerPoliciesStatus* status) {
    return ServeEntry(GPU_PowerPoliciesSetStatus, [&](EntryCall& call) -> int32_t {
        if (int32_t result = call.UseGpu(gpu)) return result;
        if (!status) return INVALID_ARGUMENT;
        if (int32_t result = call.CheckVersion(status->version, kPowerPoliciesStatusVer)) return result;
        call.Arg(status->count);
        const PowerConfig& config = call.gpu().power;
        if (!config.powerSupported) return NOT_SUPPORTED;
        if (status->count == 0 || status->count > kMaxRigPowerPolicies) return INVALID_ARGUMENT;
        for (uint32_t i = 0; i < status->count; ++i) {
            const PowerPolicyStatusEntry& e = status->entries[i];
            const PowerPolicyConfig* policy = FindPower(config, e.policyId);
            if (!policy || e.powerLimit < policy->minMilliPercent || e.powerLimit > policy->maxMilliPercent)
                return INVALID_ARGUMENT;
        }
        GpuPowerState& state = StateOf(call);
        for (uint32_t i = 0; i < status->count; ++i) {
            const PowerPolicyStatusEntry& e = status->entries[i];
            call.Arg(e.powerLimit);
            state.powerLimits[e.policyId] = e.powerLimit;
            if (e.policyId == kPowerPolicyTotalGpu)
                call.sim().thermal.Live(call.gpuIndex(), call.gpu().telemetry).SetPowerLimitMilliPercent(e.powerLimit);
        }
        return OK;
    });
}

int32_t SimThermalPoliciesGetInfo(PhysicalGpuHandle gpu, ThermalPoliciesInfo* info) {
    return ServeEntry(GPU_ThermalPoliciesGetInfo, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!info) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(info->version, kThermalPoliciesInfoVer)) return status;
        const PowerConfig& config = call.gpu().power;
        std::memset(reinterpret_cast<char*>(info) + sizeof info->version, 0, sizeof *info - sizeof info->version);
        if (!config.thermalSupported) return OK;
        info->flags = kThermalPoliciesSupported;
        const std::size_t count = std::min(config.thermalPolicies.size(), kMaxRigThermalPolicies);
        info->count = static_cast<uint8_t>(count);
        for (std::size_t i = 0; i < count; ++i) {
            const ThermalPolicyConfig& p = config.thermalPolicies[i];
            info->entries[i] = {p.policyId,  p.channel,   p.minUnits,
                                p.defaultUnits, p.maxUnits, p.acousticAvailable ? kThermalAcousticAvailable : 0u};
        }
        return OK;
    });
}

int32_t SimThermalPoliciesGetStatus(PhysicalGpuHandle gpu, ThermalPoliciesStatus* status) {
    return ServeEntry(GPU_ClientThermalPoliciesGetStatus, [&](EntryCall& call) -> int32_t {
        if (int32_t result = call.UseGpu(gpu)) return result;
        if (!status) return INVALID_ARGUMENT;
        if (int32_t result = call.CheckVersion(status->version, kThermalPoliciesStatusVer)) return result;
        call.Arg(status->count);
        const PowerConfig& config = call.gpu().power;
        if (!config.thermalSupported) return NOT_SUPPORTED;
        if (status->count > kMaxRigThermalPolicies) return INVALID_ARGUMENT;
        for (uint32_t i = 0; i < status->count; ++i)
            if (!FindThermal(config, status->entries[i].policyId)) return INVALID_ARGUMENT;
        const GpuPowerState& state = StateOf(call);
        for (uint32_t i = 0; i < status->count; ++i) {
            ThermalPolicyStatusEntry& e = status->entries[i];
            const auto limit = state.thermalLimits.find(e.policyId);
            const auto flags = state.thermalFlags.find(e.policyId);
            e.currentLimit = limit != state.thermalLimits.end() ? limit->second
                                                                : FindThermal(config, e.policyId)->defaultUnits;
            e.flags = flags != state.thermalFlags.end() ? flags->second : 0;
        }
        return OK;
    });
}

int32_t SimThermalPoliciesSetStatus(PhysicalGpuHandle gpu, ThermalPoliciesStatus* status) {
    return ServeEntry(GPU_ClientThermalPoliciesSetStatus, [&](EntryCall& call) -> int32_t {
        if (int32_t result = call.UseGpu(gpu)) return result;
        if (!status) return INVALID_ARGUMENT;
        if (int32_t result = call.CheckVersion(status->version, kThermalPoliciesStatusVer)) return result;
        call.Arg(status->count);
        const PowerConfig& config = call.gpu().power;
        if (!config.thermalSupported) return NOT_SUPPORTED;
        if (status->count == 0 || status->count > kMaxRigThermalPolicies) return INVALID_ARGUMENT;
        for (uint32_t i = 0; i < status->count; ++i) {
            const ThermalPolicyStatusEntry& e = status->entries[i];
            const ThermalPolicyConfig* policy = FindThermal(config, e.policyId);
            if (!policy || e.currentLimit < policy->minUnits || e.currentLimit > policy->maxUnits) return INVALID_ARGUMENT;
        }
        GpuPowerState& state = StateOf(call);
        for (uint32_t i = 0; i < status->count; ++i) {
            const ThermalPolicyStatusEntry& e = status->entries[i];
            call.Arg(e.currentLimit);
            call.Arg(e.flags);
            state.thermalLimits[e.policyId] = e.currentLimit;
            state.thermalFlags[e.policyId] = e.flags;
        }
        return OK;
    });
}

}  // namespace

void* PowerEntryAddress(uint32_t id) {
    switch (id) {
    case GPU_PowerPoliciesGetInfo: return reinterpret_cast<void*>(&SimPowerPoliciesGetInfo);
    case GPU_PowerPoliciesGetStatus: return reinterpret_cast<void*>(&SimPowerPoliciesGetStatus);
    case GPU_PowerPoliciesSetStatus: return reinterpret_cast<void*>(&SimPowerPoliciesSetStatus);
    case GPU_ThermalPoliciesGetInfo: return reinterpret_cast<void*>(&SimThermalPoliciesGetInfo);
    case GPU_ClientThermalPoliciesGetStatus: return reinterpret_cast<void*>(&SimThermalPoliciesGetStatus);
    case GPU_ClientThermalPoliciesSetStatus: return reinterpret_cast<void*>(&SimThermalPoliciesSetStatus);
    default: return nullptr;
    }
}

}  // namespace vx::sim
