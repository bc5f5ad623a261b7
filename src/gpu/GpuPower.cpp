// Power and temperature targets through the driver's client power and thermal policies.
#include "gpu/GpuAccess.h"

#include "gpu/NvApiIds.h"
#include "gpu/TelemetryUnits.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace vx {

namespace {

const char* PowerPolicyName(uint32_t id) {
    return id == nvapi::kPowerPolicyTotalGpu ? "TOTAL GPU POWER" : "UNKNOWN/ERROR";
}

const char* ThermalPolicyName(uint32_t id) {
    switch (id) {
    case nvapi::kThermalPolicyGps: return "GPS";
    case nvapi::kThermalPolicyAcoustic: return "ACOUSTIC";
    default: return "UNKNOWN/ERROR";
    }
}

// The driver names no thermal channel we know.
const char* ThermalChannelName(uint32_t) { return "UNKNOWN/UNSUPPORTED"; }

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (const char* c = text; *c != '\0'; ++c) wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return wide;
}

std::string Format(const char* format, va_list args) {
    char line[512];
    std::vsnprintf(line, sizeof(line), format, args);
    return line;
}

// The driver's count, bounded by what the structure can carry.
int EntryCount(uint8_t count, int capacity) { return std::min<int>(count, capacity); }

const nvapi::PowerPolicyInfoEntry* FindPowerPolicy(const nvapi::PowerPoliciesInfo& info, uint32_t policy) {
    for (int i = 0; i < EntryCount(info.count, nvapi::kMaxPowerPolicies); ++i)
        if (info.entries[i].policyId == policy) return &info.entries[i];
    return nullptr;
}

const nvapi::ThermalPolicyInfoEntry* FindThermalPolicy(const nvapi::ThermalPoliciesInfo& info, uint32_t policy) {
    for (int i = 0; i < EntryCount(info.count, nvapi::kMaxThermalPolicies); ++i)
        if (info.entries[i].policyId == policy) return &info.entries[i];
    return nullptr;
}

// percent × 1000 truncated, as the unsigned word the driver compares. A negative or
// non-number request wraps far above any maximum, so it is refused as too high.
uint32_t PowerRequest(float percent) {
    const float value = percent * 1000.0f;
    if (!(value >= 0.0f)) return UINT32_MAX;
    if (value >= 4294967295.0f) return UINT32_MAX;
    return static_cast<uint32_t>(value);
}

// °C × 256 truncated; nullopt-like flag for a value no 32-bit word holds.
bool ThermalRequest(float celsius, int32_t& units) {
    const float value = celsius * static_cast<float>(nvapi::kThermalUnitsPerC);
    if (!std::isfinite(value) || value >= 2147483647.0f || value <= -2147483648.0f) return false;
    units = static_cast<int32_t>(value);
    return true;
}

double Celsius(int32_t units) { return static_cast<double>(units) / nvapi::kThermalUnitsPerC; }

}  // namespace

void GpuAccess::Note(const char* format, ...) {
    va_list args;
    va_start(args, format);
    policyMessages_ += Widen(Format(format, args).c_str());
    va_end(args);
}

void GpuAccess::TraceKept(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string line = Format(format, args);
    va_end(args);
    powerPoliciesText_ += Widen(line.c_str());
    Trace("%s", line.c_str());
}

int32_t GpuAccess::GetPowerPoliciesInfo(uint8_t gpu, nvapi::PowerPoliciesInfo& info) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    info.version = nvapi::kPowerPoliciesInfoVer;
    const int32_t status = api_.binding().Call<nvapi::PowerPoliciesGetInfoFn>(
        nvapi::GPU_PowerPoliciesGetInfo, records_[gpu].hPhysicalGpu.load(), &info);
    if (status == nvapi::OK) records_[gpu].powerLimitDefault = static_cast<int32_t>(info.entries[0].pwrLimitDefault);
    return status;
}

int32_t GpuAccess::GetPowerPoliciesStatus(uint8_t gpu, nvapi::PowerPoliciesStatus& status) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    return api_.binding().Call<nvapi::PowerPoliciesStatusFn>(nvapi::GPU_PowerPoliciesGetStatus,
                                                             records_[gpu].hPhysicalGpu.load(), &status);
}

int32_t GpuAccess::SetPowerPoliciesStatus(uint8_t gpu, nvapi::PowerPoliciesStatus& status) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    status.version = nvapi::kPowerPoliciesStatusVer;
    return api_.binding().Call<nvapi::PowerPoliciesStatusFn>(nvapi::GPU_PowerPoliciesSetStatus,
                                                             records_[gpu].hPhysicalGpu.load(), &status);
}

int32_t GpuAccess::SetPowerLimit(uint8_t gpu, uint32_t policy, float percent) {
    nvapi::PowerPoliciesInfo info = {};
    PolicyRefusal refusal;
    const nvapi::PowerPolicyInfoEntry* entry = LookUpPowerPolicy(gpu, policy, info, refusal);
    if (!entry) {
        Trace("%s", refusal.message.c_str());
        return refusal.status;
    }
    const uint32_t request = PowerRequest(percent);
    if (request > entry->pwrLimitMax || request < entry->pwrLimitMin) {
        Trace("Requested power policy limit exceeds max allowed value!\n");
        return nvapi::INVALID_ARGUMENT;
    }
    nvapi::PowerPoliciesStatus write = {};
    write.count = 1;
    write.entries[0].policyId = policy;
    write.entries[0].flags &= ~nvapi::kPowerPolicyFlagBit0;
    write.entries[0].powerLimit = request;
    const int32_t status = SetPowerPoliciesStatus(gpu, write);
    if (status == nvapi::OK) {
        Trace("Requested policy limit applied succesfully\n");
        DumpPowerPolicies(0);
    } else {
        Trace("API call failed with error %d\n", status);
    }
    return status;
}

int32_t GpuAccess::ReadThermalInfo(uint8_t gpu, nvapi::ThermalPoliciesInfo& info) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    info = {};
    info.version = nvapi::kThermalPoliciesInfoVer;
    return api_.binding().Call<nvapi::ThermalPoliciesGetInfoFn>(nvapi::GPU_ThermalPoliciesGetInfo,
                                                                records_[gpu].hPhysicalGpu.load(), &info);
}

const nvapi::PowerPolicyInfoEntry* GpuAccess::LookUpPowerPolicy(uint8_t gpu, uint32_t policy,
                                                                nvapi::PowerPoliciesInfo& info, PolicyRefusal& refusal) {
    refusal.status = GetPowerPoliciesInfo(gpu, info);
    if (refusal.status != nvapi::OK) {
        refusal.message = "API call failed with error " + std::to_string(refusal.status) + "\n";
        return nullptr;
    }
    if (info.valid == 0) {
        refusal.message = "Power policies are not supported!\n";
        return nullptr;
    }
    const nvapi::PowerPolicyInfoEntry* entry = FindPowerPolicy(info, policy);
    if (!entry) refusal.message = "Requested power policy is not supported!\n";
    return entry;
}

const nvapi::ThermalPolicyInfoEntry* GpuAccess::LookUpThermalPolicy(uint8_t gpu, uint32_t policy,
                                                                    nvapi::ThermalPoliciesInfo& info,
                                                                    PolicyRefusal& refusal,
                                                                    const char* notSupported) {
    refusal.status = ReadThermalInfo(gpu, info);
    if (refusal.status != nvapi::OK) {
        refusal.message = "API call failed with error " + std::to_string(refusal.status) + "\n";
        return nullptr;
    }
    if ((info.flags & nvapi::kThermalPoliciesSupported) == 0) {
        refusal.message = notSupported;
        return nullptr;
    }
    const nvapi::ThermalPolicyInfoEntry* entry = FindThermalPolicy(info, policy);
    if (!entry) refusal.message = "Requested thermal policy is not supported!\n";
    return entry;
}

int32_t GpuAccess::ReadThermalStatus(uint8_t gpu, const nvapi::ThermalPoliciesInfo& info,
                                     nvapi::ThermalPoliciesStatus& current) {
    current = {};
    current.version = nvapi::kThermalPoliciesStatusVer;
    const int count = EntryCount(info.count, nvapi::kMaxThermalPolicies);
    current.count = static_cast<uint32_t>(count);
    for (int i = 0; i < count; ++i) current.entries[i].policyId = info.entries[i].policyId;
    return api_.binding().Call<nvapi::ThermalPoliciesStatusFn>(nvapi::GPU_ClientThermalPoliciesGetStatus,
                                                               records_[gpu].hPhysicalGpu.load(), &current);
}

int32_t GpuAccess::GetThermalPolicies(uint8_t gpu, nvapi::ThermalPoliciesInfo& infoOut,
                                      nvapi::ThermalPoliciesStatus& statusOut) {
    // Callers read the policies before they write targets: the messages of the writes that
    // follow belong to this round.
    policyMessages_.clear();
    return TraceThermalPolicies(gpu, infoOut, statusOut);
}

int32_t GpuAccess::TraceThermalPolicies(uint8_t gpu, nvapi::ThermalPoliciesInfo& infoOut,
                                        nvapi::ThermalPoliciesStatus& statusOut) {
    nvapi::ThermalPoliciesInfo info = {};
    int32_t status = ReadThermalInfo(gpu, info);
    if (status != nvapi::OK) {
        Trace("API call failed with error %d\n", status);
        return status;
    }
    Trace("Thermal policy info:\n");
    if ((info.flags & nvapi::kThermalPoliciesSupported) == 0) {
        Trace("  ... not available!\n");
        infoOut = info;
        return nvapi::OK;
    }
    const int count = EntryCount(info.count, nvapi::kMaxThermalPolicies);
    for (int i = 0; i < count; ++i) {
        const nvapi::ThermalPolicyInfoEntry& e = info.entries[i];
        Trace("  policy[%d].policy           = %s\n  policy[%d].channel          = %s\n"
              "  policy[%d].tempLimitMin     = %fC\n  policy[%d].tempLimitDefault = %fC\n"
              "  policy[%d].tempLimitMax     = %fC\n  policy[%d].acousticPreferenceAvailable  = %d\n",
              i, ThermalPolicyName(e.policyId), i, ThermalChannelName(e.channel), i, Celsius(e.tempLimitMin), i,
              Celsius(e.tempLimitDefault), i, Celsius(e.tempLimitMax), i,
              static_cast<int>(e.flags & nvapi::kThermalAcousticAvailable));
    }
    nvapi::ThermalPoliciesStatus current = {};
    status = ReadThermalStatus(gpu, info, current);
    if (status != nvapi::OK) {
        Trace("API call failed with error %d\n", status);
        return status;
    }
    Trace("Thermal policy status:\n");
    const int read = static_cast<int>(std::min<uint32_t>(current.count, nvapi::kMaxThermalPolicies));
    for (int i = 0; i < read; ++i) {
        const nvapi::ThermalPolicyStatusEntry& e = current.entries[i];
        Trace("  policy[%d].policy = %s\n  policy[%d].tempLimitCurrent = %fC\n  policy[%d].preferAcoustics  = %d\n", i,
              ThermalPolicyName(e.policyId), i, Celsius(e.currentLimit), i,
              static_cast<int>(e.flags & nvapi::kThermalPreferAcoustics));
    }
    infoOut = info;
    statusOut = current;
    return nvapi::OK;
}

int32_t GpuAccess::DumpThermalPolicies(uint8_t gpu) {
    nvapi::ThermalPoliciesInfo info = {};
    nvapi::ThermalPoliciesStatus status = {};
    return TraceThermalPolicies(gpu, info, status);
}

int32_t GpuAccess::SetThermalLimit(uint8_t gpu, uint32_t policy, float celsius) {
    nvapi::ThermalPoliciesInfo info = {};
    PolicyRefusal refusal;
    const nvapi::ThermalPolicyInfoEntry* entry = LookUpThermalPolicy(gpu, policy, info, refusal);
    if (!entry) {
        Note("%s", refusal.message.c_str());
        return refusal.status;
    }
    int32_t request = 0;
    if (!ThermalRequest(celsius, request) || request < entry->tempLimitMin || request > entry->tempLimitMax) {
        Note("Requested thermal policy limit exceeds max allowed value!\n");
        return nvapi::INVALID_ARGUMENT;
    }
    nvapi::ThermalPoliciesStatus write = {};
    write.version = nvapi::kThermalPoliciesStatusVer;
    write.count = 1;
    write.entries[0].policyId = policy;
    write.entries[0].currentLimit = request;
    const int32_t status = api_.binding().Call<nvapi::ThermalPoliciesStatusFn>(
        nvapi::GPU_ClientThermalPoliciesSetStatus, records_[gpu].hPhysicalGpu.load(), &write);
    if (status != nvapi::OK) {
        Note("API call failed with error %d\n", status);
        return status;
    }
    Note("Requested policy limit applied successfully\n");
    DumpThermalPolicies(gpu);
    return nvapi::OK;
}

int32_t GpuAccess::SetThermalPreferFlag(uint8_t gpu, uint32_t policy, uint32_t flag) {
    nvapi::ThermalPoliciesInfo info = {};
    PolicyRefusal refusal;
    if (!LookUpThermalPolicy(gpu, policy, info, refusal)) {
        Note("%s", refusal.message.c_str());
        return refusal.status;
    }
    if (flag != 0 && flag != 1) {
        Note("Requested remove TDP Limit flag is incorrect!\n");
        return nvapi::INVALID_ARGUMENT;
    }
    nvapi::ThermalPoliciesStatus current = {};
    int32_t status = ReadThermalStatus(gpu, info, current);
    if (status != nvapi::OK) {
        Note("NvAPI_GPU_ClientThermalPoliciesGetStatus call failed with error %d\n", status);
        return status;
    }
    // Entry 0 must carry this policy's own limit and flags, not the first policy's: writing
    // another policy's limit would move this one's temperature target.
    const int read = static_cast<int>(std::min<uint32_t>(current.count, nvapi::kMaxThermalPolicies));
    for (int i = 1; i < read; ++i)
        if (current.entries[i].policyId == policy) current.entries[0] = current.entries[i];
    current.version = nvapi::kThermalPoliciesStatusVer;
    current.count = 1;
    current.entries[0].policyId = policy;
    current.entries[0].flags = (current.entries[0].flags & ~nvapi::kThermalPreferAcoustics) | flag;
    status = api_.binding().Call<nvapi::ThermalPoliciesStatusFn>(nvapi::GPU_ClientThermalPoliciesSetStatus,
                                                                 records_[gpu].hPhysicalGpu.load(), &current);
    if (status != nvapi::OK) {
        Note("NvAPI_GPU_ClientThermalPoliciesSetStatus call failed with error %d\n", status);
        return status;
    }
    Note("Requested policy limit applied successfully\n");
    DumpThermalPolicies(0);
    return nvapi::OK;
}

int32_t GpuAccess::SetLinkedPowerAndThermal(uint8_t gpu, uint32_t powerPolicy, uint32_t thermalPolicy,
                                            float percent) {
    nvapi::PowerPoliciesInfo power = {};
    PolicyRefusal refusal;
    const nvapi::PowerPolicyInfoEntry* pe = LookUpPowerPolicy(gpu, powerPolicy, power, refusal);
    if (!pe) {
        Note("%s", refusal.message.c_str());
        return refusal.status;
    }
    const float pMin = static_cast<float>(pe->pwrLimitMin);
    const float pDef = static_cast<float>(pe->pwrLimitDefault);
    const float pMax = static_cast<float>(pe->pwrLimitMax);
    const float r = percent * 1000.0f;
    if (!(r <= pMax && r >= pMin)) {
        Note("Requested power policy limit exceeds allowed range!\n");
        return nvapi::INVALID_ARGUMENT;
    }
    nvapi::ThermalPoliciesInfo thermal = {};
    const nvapi::ThermalPolicyInfoEntry* te =
        LookUpThermalPolicy(gpu, thermalPolicy, thermal, refusal, "Thermal Policies are not supported!\n");
    if (!te) {
        Note("%s", refusal.message.c_str());
        return refusal.status;
    }
    const float tMin = static_cast<float>(Celsius(te->tempLimitMin));
    const float tDef = static_cast<float>(Celsius(te->tempLimitDefault));
    const float tMax = static_cast<float>(Celsius(te->tempLimitMax));
    // A range that collapses onto the default (min or max equal to it) leaves the default.
    float target = tDef;
    if (r <= pDef) {
        if (pDef > pMin) target = std::max(tMin, tDef - (pDef - r) / (pDef - pMin) * (tDef - tMin));
    } else if (pMax > pDef) {
        target = std::min(tMax, tDef + (r - pDef) / (pMax - pDef) * (tMax - tDef));
    }
    const int32_t powerStatus = SetPowerLimit(gpu, powerPolicy, percent);
    const int32_t thermalStatus = SetThermalLimit(gpu, thermalPolicy, target);
    // A failed write is not success: report the first failure.
    return powerStatus != nvapi::OK ? powerStatus : thermalStatus;
}

int32_t GpuAccess::DumpPowerPolicies(uint8_t gpu) {
    powerPoliciesText_.clear();
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    const nvapi::PhysicalGpuHandle handle = records_[gpu].hPhysicalGpu.load();

    nvapi::PowerTopologyInfo topology = {};
    topology.version = nvapi::kPowerTopologyInfoVer;
    int32_t status = api_.PowerTopologyGetInfo(handle, &topology);
    if (status != nvapi::OK) {
        TraceKept("API call failed with error %d\n", status);
        return status;
    }
    TraceKept("Power topology info:\n");
    const int channels = static_cast<int>(std::min<uint32_t>(topology.count, nvapi::kMaxPowerTopologyChannels));
    if (topology.flags == 0) {
        TraceKept("  ... not available!\n");
    } else {
        for (int i = 0; i < channels; ++i)
            TraceKept("  channel[%d].channel = %s\n", i, telemetry::PowerChannelName(topology.channelIds[i]));
        nvapi::PowerTopologyStatus readings = {};
        readings.version = nvapi::kPowerTopologyStatusVer;
        readings.count = static_cast<uint32_t>(channels);
        for (int i = 0; i < channels; ++i) readings.entries[i].channelId = topology.channelIds[i];
        status = api_.PowerTopologyGetStatus(handle, &readings);
        if (status != nvapi::OK) {
            TraceKept("API call failed with error %d\n", status);
            return status;
        }
        TraceKept("Power topology status:\n");
        const int read = static_cast<int>(std::min<uint32_t>(readings.count, nvapi::kMaxPowerTopologyEntries));
        for (int i = 0; i < read; ++i) {
            TraceKept("  channel[%d].channel = %s\n", i, telemetry::PowerChannelName(readings.entries[i].channelId));
            TraceKept("  channel[%d].power   = %d [%%]\n", i, static_cast<int>(readings.entries[i].power / 1000));
        }
    }

    nvapi::PowerPoliciesInfo info = {};
    status = GetPowerPoliciesInfo(gpu, info);
    if (status != nvapi::OK) {
        TraceKept("API call failed with error %d\n", status);
        return status;
    }
    TraceKept("Power policy info:\n");
    if (info.valid == 0) {
        TraceKept("  ... not available!\n");
        return nvapi::OK;
    }
    const int count = EntryCount(info.count, nvapi::kMaxPowerPolicies);
    for (int i = 0; i < count; ++i) {
        const nvapi::PowerPolicyInfoEntry& e = info.entries[i];
        TraceKept("  policy[%d].policy          = %s\n", i, PowerPolicyName(e.policyId));
        TraceKept("  policy[%d].channel         = %s\n", i, telemetry::PowerChannelName(e.channel));
        TraceKept("  policy[%d].pwrLimitMin     = %d %%\n", i, static_cast<int>(e.pwrLimitMin / 1000));
        TraceKept("  policy[%d].pwrLimitDefault = %d %%\n", i, static_cast<int>(e.pwrLimitDefault / 1000));
        TraceKept("  policy[%d].pwrLimitMax     = %d %%\n", i, static_cast<int>(e.pwrLimitMax / 1000));
    }
    nvapi::PowerPoliciesStatus current = {};
    current.version = nvapi::kPowerPoliciesStatusVer;
    current.count = static_cast<uint32_t>(count);
    for (int i = 0; i < count; ++i) current.entries[i].policyId = info.entries[i].policyId;
    status = GetPowerPoliciesStatus(gpu, current);
    if (status != nvapi::OK) {
        TraceKept("API call failed with error %d\n", status);
        return status;
    }
    TraceKept("Power policy status:\n");
    const int read = static_cast<int>(std::min<uint32_t>(current.count, nvapi::kMaxPowerPolicies));
    for (int i = 0; i < read; ++i) {
        TraceKept("  policy[%d].policy          = %s\n", i, PowerPolicyName(current.entries[i].policyId));
        TraceKept("  policy[%d].pwrLimitCurrent = %d %%\n", i, static_cast<int>(current.entries[i].powerLimit / 1000));
    }
    return nvapi::OK;
}

}  // namespace vx
