// Clock and voltage adjustment entries: the P-state 2.0 table (read in version 1 or 3,
// written in version 1 or 2), the over-voltage percent, the clock boost locks, the perf-limit
// control, the P-state information and the voltage table.
#include "sim/SimEntries.h"
#include "sim/SimulatorImpl.h"

#include "gpu/ClockStructs.h"
#include "gpu/NvApiIds.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

uint32_t Flags(bool editable) { return editable ? kPstates20Editable : 0u; }

template <typename T>
uint32_t Capped(const std::vector<T>& items, int limit) {
    return static_cast<uint32_t>(std::min<std::size_t>(items.size(), static_cast<std::size_t>(limit)));
}

void FillVoltage(const Pstate20VoltageConfig& config, Pstates20Voltage& out) {
    out.domainId = config.domainId;
    out.flags = Flags(config.editable);
    out.voltUv = config.voltUv;
    out.voltDeltaUv = {config.deltaUv, config.deltaMinUv, config.deltaMaxUv};
}

void FillClock(const Pstate20ClockConfig& config, Pstates20Clock& out) {
    out.domainId = config.domainId;
    out.typeId = config.typeId;
    out.flags = Flags(config.editable);
    out.freqDeltaKhz = {config.deltaKhz, config.deltaMinKhz, config.deltaMaxKhz};
    if (config.typeId == kClockTypeRange) {
        out.data.range.minFreqKhz = config.freqKhz;
        out.data.range.maxFreqKhz = config.maxFreqKhz;
        out.data.range.voltageDomainId = config.voltageDomainId;
        out.data.range.minVoltageUv = config.minVoltageUv;
        out.data.range.maxVoltageUv = config.maxVoltageUv;
    } else {
        out.data.single.freqKhz = config.freqKhz;
    }
}

int32_t SimGetPstates20(PhysicalGpuHandle gpu, Pstates20Info* info) {
    return ServeEntry(GPU_GetPstates20, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!info) return INVALID_ARGUMENT;
        const uint32_t version = info->version;
        if (int32_t status = call.CheckVersion(version, version == kPstates20Ver3 ? kPstates20Ver3 : kPstates20Ver1))
            return status;
        const ClockConfig& clocks = call.gpu().clocks;
        if (clocks.pstates.empty()) return NOT_SUPPORTED;

        // Version 1 ends before the over-voltage block; the caller's buffer may be that short.
        std::memset(info, 0, version == kPstates20Ver3 ? sizeof *info : kPstates20V1Size);
        info->version = version;
        info->flags = Flags(clocks.pstatesEditable);
        const uint32_t pstates = Capped(clocks.pstates, kPstates20MaxPstates);
        uint32_t numClocks = 0;
        uint32_t numVoltages = 0;
        for (uint32_t p = 0; p < pstates; ++p) {
            const Pstate20Config& config = clocks.pstates[p];
            Pstates20Pstate& out = info->pstates[p];
            out.pstateId = config.pstateId;
            out.flags = Flags(config.editable);
            const uint32_t c = Capped(config.clocks, kPstates20MaxClocks);
            const uint32_t v = Capped(config.baseVoltages, kPstates20MaxBaseVoltages);
            for (uint32_t i = 0; i < c; ++i) FillClock(config.clocks[i], out.clocks[i]);
            for (uint32_t i = 0; i < v; ++i) FillVoltage(config.baseVoltages[i], out.baseVoltages[i]);
            numClocks = std::max(numClocks, c);
            numVoltages = std::max(numVoltages, v);
        }
        info->numPstates = pstates;
        info->numClocks = numClocks;
        info->numBaseVoltages = numVoltages;
        if (version == kPstates20Ver3) {
            const uint32_t ov = Capped(clocks.overVoltages, kPstates20MaxOverVoltages);
            info->overVoltage.numVoltages = ov;
            for (uint32_t i = 0; i < ov; ++i) FillVoltage(clocks.overVoltages[i], info->overVoltage.voltages[i]);
        }
        return OK;
    });
}

// A voltage delta the request names, checked against the entry it changes; taking it also
// records it under `key` in `written`.
template <typename Key>
int32_t CheckVoltage(std::vector<Pstate20VoltageConfig>& entries, const Pstates20Voltage& request,
                     std::map<Key, int32_t>& written, Key key, std::vector<std::function<void()>>& changes) {
    auto entry = std::find_if(entries.begin(), entries.end(),
                              [&](const Pstate20VoltageConfig& v) { return v.domainId == request.domainId; });
    if (entry == entries.end() || !entry->editable) return INVALID_ARGUMENT;
    const int32_t delta = request.voltDeltaUv.value;
    if (delta < entry->deltaMinUv || delta > entry->deltaMaxUv) return INVALID_ARGUMENT;
    changes.push_back([entry = &*entry, delta, &written, key] {
        entry->deltaUv = delta;
        written[key] = delta;
    });
    return OK;
}

int32_t SimSetPstates20(PhysicalGpuHandle gpu, Pstates20Info* info) {
    return ServeEntry(GPU_SetPstates20, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!info) return INVALID_ARGUMENT;
        const uint32_t version = info->version;
        if (int32_t status = call.CheckVersion(version, version == kPstates20Ver2 ? kPstates20Ver2 : kPstates20Ver1))
            return status;
        ClockConfig& clocks = call.gpu().clocks;
        if (clocks.pstates.empty()) return NOT_SUPPORTED;
        if (!clocks.pstatesEditable) return NOT_SUPPORTED;
        call.Arg(info->numPstates);
        call.Arg(info->numClocks);
        call.Arg(info->numBaseVoltages);
        if (info->numPstates > kPstates20MaxPstates || info->numClocks > kPstates20MaxClocks ||
            info->numBaseVoltages > kPstates20MaxBaseVoltages)
            return INVALID_ARGUMENT;

        // Check the whole request before changing anything, so a bad one leaves the GPU as it was.
        PersistedGpuState& written = call.sim().written.gpus[call.gpuIndex()];
        std::vector<std::function<void()>> changes;
        for (uint32_t p = 0; p < info->numPstates; ++p) {
            const Pstates20Pstate& request = info->pstates[p];
            call.Arg(request.pstateId);
            auto pstate = std::find_if(clocks.pstates.begin(), clocks.pstates.end(),
                                       [&](const Pstate20Config& c) { return c.pstateId == request.pstateId; });
            if (pstate == clocks.pstates.end() || !pstate->editable) return INVALID_ARGUMENT;
            for (uint32_t c = 0; c < info->numClocks; ++c) {
                const Pstates20Clock& clock = request.clocks[c];
                call.Arg(clock.domainId);
                call.Arg(clock.freqDeltaKhz.value);
                auto entry = std::find_if(pstate->clocks.begin(), pstate->clocks.end(),
                                          [&](const Pstate20ClockConfig& e) { return e.domainId == clock.domainId; });
                if (entry == pstate->clocks.end() || !entry->editable) return INVALID_ARGUMENT;
                const int32_t delta = clock.freqDeltaKhz.value;
                if (delta < entry->deltaMinKhz || delta > entry->deltaMaxKhz) return INVALID_ARGUMENT;
                const std::pair key(pstate->pstateId, clock.domainId);
                changes.push_back([entry = &*entry, delta, &written, key] {
                    entry->deltaKhz = delta;
                    written.clockDeltas[key] = delta;
                });
            }
            for (uint32_t v = 0; v < info->numBaseVoltages; ++v) {
                const Pstates20Voltage& voltage = request.baseVoltages[v];
                call.Arg(voltage.domainId);
                call.Arg(voltage.voltDeltaUv.value);
                if (int32_t status = CheckVoltage(pstate->baseVoltages, voltage, written.baseVoltageDeltas,
                                                  std::pair(pstate->pstateId, voltage.domainId), changes))
                    return status;
            }
        }
        if (version == kPstates20Ver2) {
            const uint32_t count = info->overVoltage.numVoltages;
            call.Arg(count);
            if (count > kPstates20MaxOverVoltages) return INVALID_ARGUMENT;
            for (uint32_t v = 0; v < count; ++v) {
                const Pstates20Voltage& voltage = info->overVoltage.voltages[v];
                call.Arg(voltage.domainId);
                call.Arg(voltage.voltDeltaUv.value);
                if (int32_t status = CheckVoltage(clocks.overVoltages, voltage, written.overVoltageDeltas,
                                                  voltage.domainId, changes))
                    return status;
            }
        }
        for (const auto& change : changes) change();

        // The offsets of P-state 0 are what the GPU runs with under load.
        const auto [graphics, memory] = Pstate0DeltasKhz(clocks);
        call.sim().thermal.Live(call.gpuIndex(), call.gpu().telemetry).SetClockOffsetKhz(graphics, memory);
        call.sim().Persist();
        return OK;
    });
}

int32_t SimGetOverVoltPercent(PhysicalGpuHandle gpu, OverVoltPercent* info) {
    return ServeEntry(GPU_GetOverVoltPercent, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!info) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(info->version, kOverVoltPercentVer)) return status;
        const ClockConfig& clocks = call.gpu().clocks;
        if (!clocks.overVoltPercentSupported) return NOT_SUPPORTED;
        const uint32_t version = info->version;
        std::memset(info, 0, sizeof *info);
        info->version = version;
        info->percent = clocks.overVoltPercent;
        return OK;
    });
}

int32_t SimSetOverVoltPercent(PhysicalGpuHandle gpu, OverVoltPercent* info) {
    return ServeEntry(GPU_SetOverVoltPercent, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!info) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(info->version, kOverVoltPercentVer)) return status;
        ClockConfig& clocks = call.gpu().clocks;
        if (!clocks.overVoltPercentSupported) return NOT_SUPPORTED;
        call.Arg(info->percent);
        if (info->percent > 100) return INVALID_ARGUMENT;
        clocks.overVoltPercent = info->percent;
        call.sim().written.gpus[call.gpuIndex()].overVoltPercent = info->percent;
        call.sim().Persist();
        return OK;
    });
}

bool KnownLockMode(uint32_t mode) { return mode == kLockDisabled || mode == kLockFrequency || mode == kLockVoltageMode; }

int32_t SimGetClockBoostLock(PhysicalGpuHandle gpu, ClockBoostLock* locks) {
    return ServeEntry(GPU_GetClockBoostLock, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!locks) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(locks->version, kClockBoostLockVer)) return status;
        const ClockConfig& clocks = call.gpu().clocks;
        if (!clocks.boostLocksSupported) return NOT_SUPPORTED;
        call.Arg(locks->count);
        if (locks->count > kClockBoostLockMaxEntries) return INVALID_ARGUMENT;
        for (uint32_t i = 0; i < locks->count; ++i) {
            ClockBoostLockEntry& entry = locks->entries[i];
            const uint32_t limitId = entry.limitId;
            entry = ClockBoostLockEntry{};
            entry.limitId = limitId;
            for (const ClockLockConfig& lock : clocks.locks)
                if (lock.limitId == limitId) {
                    entry.mode = lock.mode;
                    entry.value = lock.value;
                }
        }
        return OK;
    });
}

int32_t SimSetClockBoostLock(PhysicalGpuHandle gpu, ClockBoostLock* locks) {
    return ServeEntry(GPU_SetClockBoostLock, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!locks) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(locks->version, kClockBoostLockVer)) return status;
        ClockConfig& clocks = call.gpu().clocks;
        if (!clocks.boostLocksSupported) return NOT_SUPPORTED;
        call.Arg(locks->flags);
        call.Arg(locks->count);
        if (locks->count > kClockBoostLockMaxEntries) return INVALID_ARGUMENT;
        for (uint32_t i = 0; i < locks->count; ++i) {
            const ClockBoostLockEntry& entry = locks->entries[i];
            call.Arg(entry.limitId);
            call.Arg(entry.mode);
            call.Arg(entry.value);
            if (!KnownLockMode(entry.mode)) return INVALID_ARGUMENT;
        }
        for (uint32_t i = 0; i < locks->count; ++i) {
            const ClockBoostLockEntry& entry = locks->entries[i];
            auto lock = std::find_if(clocks.locks.begin(), clocks.locks.end(),
                                     [&](const ClockLockConfig& l) { return l.limitId == entry.limitId; });
            if (lock == clocks.locks.end()) lock = clocks.locks.insert(clocks.locks.end(), {entry.limitId, 0, 0});
            lock->mode = entry.mode;
            lock->value = entry.mode == kLockDisabled ? 0 : entry.value;
            call.sim().written.gpus[call.gpuIndex()].boostLocks[entry.limitId] = {lock->mode, lock->value};
        }
        call.sim().Persist();
        return OK;
    });
}

int32_t SimSetPerfLimitControl(PhysicalGpuHandle gpu, PerfLimitControl* control) {
    return ServeEntry(GPU_SetPerfLimitControl, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!control) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(control->version, kPerfLimitControlVer)) return status;
        call.Arg(control->first);
        call.Arg(control->second);
        ClockConfig& clocks = call.gpu().clocks;
        clocks.perfLimitFirst = control->first;
        clocks.perfLimitSecond = control->second;
        return OK;
    });
}

int32_t ReadPstatesInfo(EntryCall& call, PstatesInfo* info) {
    if (!info) return INVALID_ARGUMENT;
    if (int32_t status = call.CheckVersion(info->version, kPstatesInfoVer)) return status;
    const std::vector<uint32_t>& words = call.gpu().clocks.pstatesInfo;
    if (words.empty()) return NOT_SUPPORTED;
    const uint32_t version = info->version;
    std::memset(info, 0, sizeof *info);
    info->version = version;
    // The words after the version: flags first, then the body.
    const std::size_t count = std::min<std::size_t>(words.size(), sizeof *info / 4 - 1);
    std::memcpy(&info->flags, words.data(), count * 4);
    return OK;
}

int32_t SimGetPstatesInfo(PhysicalGpuHandle gpu, PstatesInfo* info) {
    return ServeEntry(GPU_GetPstatesInfo, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        return ReadPstatesInfo(call, info);
    });
}

int32_t SimGetPstatesInfoEx(PhysicalGpuHandle gpu, PstatesInfo* info, uint32_t flags) {
    return ServeEntry(GPU_GetPstatesInfoEx, [&](EntryCall& call) -> int32_t {
        call.Arg(flags);
        if (int32_t status = call.UseGpu(gpu)) return status;
        return ReadPstatesInfo(call, info);
    });
}

int32_t SimSetPstatesInfo(PhysicalGpuHandle gpu, PstatesInfo* info) {
    return ServeEntry(GPU_SetPstatesInfo, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!info) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(info->version, kPstatesInfoVer)) return status;
        std::vector<uint32_t>& words = call.gpu().clocks.pstatesInfo;
        if (words.empty()) return NOT_SUPPORTED;
        const std::size_t count = std::min<std::size_t>(words.size(), sizeof *info / 4 - 1);
        std::memcpy(words.data(), &info->flags, count * 4);
        return OK;
    });
}

int32_t SimGetVoltageTable(PhysicalGpuHandle gpu, VoltageTable* table) {
    return ServeEntry(GPU_GetVoltageTable, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!table) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(table->version, kVoltageTableVer)) return status;
        const uint32_t count = call.gpu().clocks.voltageTableCount;
        if (count == 0) return NOT_SUPPORTED;
        const uint32_t version = table->version;
        std::memset(table, 0, sizeof *table);
        table->version = version;
        table->count = count;
        return OK;
    });
}

}  // namespace

void* ClockEntryAddress(uint32_t id) {
    switch (id) {
    case GPU_GetPstates20: return reinterpret_cast<void*>(&SimGetPstates20);
    case GPU_SetPstates20: return reinterpret_cast<void*>(&SimSetPstates20);
    case GPU_GetOverVoltPercent: return reinterpret_cast<void*>(&SimGetOverVoltPercent);
    case GPU_SetOverVoltPercent: return reinterpret_cast<void*>(&SimSetOverVoltPercent);
    case GPU_GetClockBoostLock: return reinterpret_cast<void*>(&SimGetClockBoostLock);
    case GPU_SetClockBoostLock: return reinterpret_cast<void*>(&SimSetClockBoostLock);
    case GPU_SetPerfLimitControl: return reinterpret_cast<void*>(&SimSetPerfLimitControl);
    case GPU_GetPstatesInfo: return reinterpret_cast<void*>(&SimGetPstatesInfo);
    case GPU_SetPstatesInfo: return reinterpret_cast<void*>(&SimSetPstatesInfo);
    case GPU_GetPstatesInfoEx: return reinterpret_cast<void*>(&SimGetPstatesInfoEx);
    case GPU_GetVoltageTable: return reinterpret_cast<void*>(&SimGetVoltageTable);
    default: return nullptr;
    }
}

}  // namespace vx::sim
