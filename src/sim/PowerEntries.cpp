// Client power and thermal policies: ranges and defaults from the rig, targets written by the
// program. A power target also caps the GPU's live model. The power and the thermal entries
// share one frame per kind: the information reads, and the status reads and writes.
#include "sim/SimEntries.h"
#include "sim/SimulatorImpl.h"

#include "gpu/NvApiIds.h"
#include "gpu/PowerStructs.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

// What tells the power entries from the thermal ones: the rig's side of each.
struct PowerSide {
    using Policy = PowerPolicyConfig;
    static constexpr bool PowerConfig::*supported = &PowerConfig::powerSupported;
    static constexpr std::vector<Policy> PowerConfig::*policies = &PowerConfig::powerPolicies;
    static constexpr std::size_t kMaxPolicies = kMaxRigPowerPolicies;
};

struct ThermalSide {
    using Policy = ThermalPolicyConfig;
    static constexpr bool PowerConfig::*supported = &PowerConfig::thermalSupported;
    static constexpr std::vector<Policy> PowerConfig::*policies = &PowerConfig::thermalPolicies;
    static constexpr std::size_t kMaxPolicies = kMaxRigThermalPolicies;
};

template <typename Side>
std::size_t PolicyCount(const PowerConfig& config) {
    return std::min((config.*Side::policies).size(), Side::kMaxPolicies);
}

template <typename Side>
const typename Side::Policy* FindPolicy(const PowerConfig& config, uint32_t id) {
    const auto& policies = config.*Side::policies;
    for (std::size_t i = 0; i < PolicyCount<Side>(config); ++i)
        if (policies[i].policyId == id) return &policies[i];
    return nullptr;
}

GpuPowerState& StateOf(EntryCall& call) { return call.sim().written.gpus[call.gpuIndex()].power; }

// The information reads: the GPU, the structure and its version, then everything after the
// version word cleared. Null when the call is refused (`result` says why).
template <typename Info>
Info* OpenInfo(EntryCall& call, PhysicalGpuHandle gpu, Info* info, uint32_t versionWord, int32_t& result) {
    result = call.UseGpu(gpu);
    if (result == OK && !info) result = INVALID_ARGUMENT;
    if (result == OK) result = call.CheckVersion(info->version, versionWord);
    if (result != OK) return nullptr;
    std::memset(reinterpret_cast<char*>(info) + sizeof info->version, 0, sizeof *info - sizeof info->version);
    return info;
}

// The status reads and writes: the GPU, the structure and its version, the side supported,
// the count (a write names at least one policy) and a policy the GPU has in every entry.
template <typename Side, typename Status>
int32_t CheckStatus(EntryCall& call, PhysicalGpuHandle gpu, Status* status, uint32_t versionWord, bool write) {
    if (int32_t result = call.UseGpu(gpu)) return result;
    if (!status) return INVALID_ARGUMENT;
    if (int32_t result = call.CheckVersion(status->version, versionWord)) return result;
    call.Arg(status->count);
    const PowerConfig& config = call.gpu().power;
    if (!(config.*Side::supported)) return NOT_SUPPORTED;
    if ((write && status->count == 0) || status->count > std::size(status->entries)) return INVALID_ARGUMENT;
    for (uint32_t i = 0; i < status->count; ++i)
        if (!FindPolicy<Side>(config, status->entries[i].policyId)) return INVALID_ARGUMENT;
    return OK;
}

int32_t SimPowerPoliciesGetInfo(PhysicalGpuHandle gpu, PowerPoliciesInfo* info) {
    return ServeEntry(GPU_PowerPoliciesGetInfo, [&](EntryCall& call) -> int32_t {
        int32_t result = OK;
        if (!OpenInfo(call, gpu, info, kPowerPoliciesInfoVer, result)) return result;
        const PowerConfig& config = call.gpu().power;
        info->valid = config.powerSupported ? 1 : 0;
        if (!config.powerSupported) return OK;
        const std::size_t count = PolicyCount<PowerSide>(config);
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

int32_t SimThermalPoliciesGetInfo(PhysicalGpuHandle gpu, ThermalPoliciesInfo* info) {
    return ServeEntry(GPU_ThermalPoliciesGetInfo, [&](EntryCall& call) -> int32_t {
        int32_t result = OK;
        if (!OpenInfo(call, gpu, info, kThermalPoliciesInfoVer, result)) return result;
        const PowerConfig& config = call.gpu().power;
        if (!config.thermalSupported) return OK;
        info->flags = kThermalPoliciesSupported;
        const std::size_t count = PolicyCount<ThermalSide>(config);
        info->count = static_cast<uint8_t>(count);
        for (std::size_t i = 0; i < count; ++i) {
            const ThermalPolicyConfig& p = config.thermalPolicies[i];
            info->entries[i] = {p.policyId,     p.channel,  p.minUnits,
                                p.defaultUnits, p.maxUnits, p.acousticAvailable ? kThermalAcousticAvailable : 0u};
        }
        return OK;
    });
}

// The caller names the policies it wants; a policy not written yet reads its default.
int32_t SimPowerPoliciesGetStatus(PhysicalGpuHandle gpu, PowerPoliciesStatus* status) {
    return ServeEntry(GPU_PowerPoliciesGetStatus, [&](EntryCall& call) -> int32_t {
        if (int32_t result = CheckStatus<PowerSide>(call, gpu, status, kPowerPoliciesStatusVer, false)) return result;
        const GpuPowerState& state = StateOf(call);
        for (uint32_t i = 0; i < status->count; ++i) {
            PowerPolicyStatusEntry& e = status->entries[i];
            const auto written = state.powerLimits.find(e.policyId);
            e.flags = 0;
            e.powerLimit = written != state.powerLimits.end()
                               ? written->second
                               : FindPolicy<PowerSide>(call.gpu().power, e.policyId)->defaultMilliPercent;
            e.reserved = 0;
        }
        return OK;
    });
}

int32_t SimThermalPoliciesGetStatus(PhysicalGpuHandle gpu, ThermalPoliciesStatus* status) {
    return ServeEntry(GPU_ClientThermalPoliciesGetStatus, [&](EntryCall& call) -> int32_t {
        if (int32_t result = CheckStatus<ThermalSide>(call, gpu, status, kThermalPoliciesStatusVer, false))
            return result;
        const GpuPowerState& state = StateOf(call);
        for (uint32_t i = 0; i < status->count; ++i) {
            ThermalPolicyStatusEntry& e = status->entries[i];
            const auto limit = state.thermalLimits.find(e.policyId);
            const auto flags = state.thermalFlags.find(e.policyId);
            e.currentLimit = limit != state.thermalLimits.end()
                                 ? limit->second
                                 : FindPolicy<ThermalSide>(call.gpu().power, e.policyId)->defaultUnits;
            e.flags = flags != state.thermalFlags.end() ? flags->second : 0;
        }
        return OK;
    });
}

// Every entry is checked before any is taken, so a refused write changes nothing.
int32_t SimPowerPoliciesSetStatus(PhysicalGpuHandle gpu, PowerPoliciesStatus* status) {
    return ServeEntry(GPU_PowerPoliciesSetStatus, [&](EntryCall& call) -> int32_t {
        if (int32_t result = CheckStatus<PowerSide>(call, gpu, status, kPowerPoliciesStatusVer, true)) return result;
        for (uint32_t i = 0; i < status->count; ++i) {
            const PowerPolicyStatusEntry& e = status->entries[i];
            const PowerPolicyConfig* policy = FindPolicy<PowerSide>(call.gpu().power, e.policyId);
            if (e.powerLimit < policy->minMilliPercent || e.powerLimit > policy->maxMilliPercent)
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
        call.sim().Persist();
        return OK;
    });
}

int32_t SimThermalPoliciesSetStatus(PhysicalGpuHandle gpu, ThermalPoliciesStatus* status) {
    return ServeEntry(GPU_ClientThermalPoliciesSetStatus, [&](EntryCall& call) -> int32_t {
        if (int32_t result = CheckStatus<ThermalSide>(call, gpu, status, kThermalPoliciesStatusVer, true))
            return result;
        for (uint32_t i = 0; i < status->count; ++i) {
            const ThermalPolicyStatusEntry& e = status->entries[i];
            const ThermalPolicyConfig* policy = FindPolicy<ThermalSide>(call.gpu().power, e.policyId);
            if (e.currentLimit < policy->minUnits || e.currentLimit > policy->maxUnits) return INVALID_ARGUMENT;
        }
        GpuPowerState& state = StateOf(call);
        for (uint32_t i = 0; i < status->count; ++i) {
            const ThermalPolicyStatusEntry& e = status->entries[i];
            call.Arg(e.currentLimit);
            call.Arg(e.flags);
            state.thermalLimits[e.policyId] = e.currentLimit;
            state.thermalFlags[e.policyId] = e.flags;
        }
        call.sim().Persist();
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
