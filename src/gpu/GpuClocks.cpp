// Clock and voltage adjustments: P-state 2.0 offsets and over-voltage, the over-voltage
// percent, the clock boost locks, the perf-limit control and the P-state information.
#include "gpu/GpuAccess.h"
#include "gpu/TelemetryUnits.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vx {

namespace {

const char* LockName(uint32_t limitId) {
    switch (limitId) {
    case nvapi::kLockGraphicsMax: return "GRAPHICS_MAX";
    case nvapi::kLockGraphicsMin: return "GRAPHICS_MIN";
    case nvapi::kLockMemoryMax: return "MEMORY_MAX";
    case nvapi::kLockMemoryMin: return "MEMORY_MIN";
    case nvapi::kLockVoltage: return "VOLTAGE";
    default: return "UNKNOWN/ERROR";
    }
}

bool Editable(uint32_t flags) { return (flags & nvapi::kPstates20Editable) != 0; }

constexpr const char* kSeparator = "------------------------------------------------\n";

// A write request carries only the named words; everything else is zero.
std::unique_ptr<nvapi::Pstates20Info> EmptyRequest(uint32_t version) {
    auto info = std::make_unique<nvapi::Pstates20Info>();
    std::memset(info.get(), 0, sizeof *info);
    info->version = version;
    return info;
}

}  // namespace

int32_t GpuAccess::GetPstates20(uint8_t gpu, nvapi::Pstates20Info& info) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    const nvapi::PhysicalGpuHandle handle = records_[gpu].hPhysicalGpu.load();
    info.version = nvapi::kPstates20Ver3;
    if (api_.GetPstates20(handle, &info) == nvapi::OK) return nvapi::OK;
    // A version 1 table has no over-voltage block; leave none behind from the failed read.
    std::memset(&info.overVoltage, 0, sizeof info.overVoltage);
    info.version = nvapi::kPstates20Ver1;
    return api_.GetPstates20(handle, &info);
}

int32_t GpuAccess::DumpPstates20(uint8_t gpu, nvapi::Pstates20Info& out) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    const nvapi::PhysicalGpuHandle handle = records_[gpu].hPhysicalGpu.load();
    auto info = EmptyRequest(nvapi::kPstates20Ver3);
    int32_t status = api_.GetPstates20(handle, info.get());
    if (status == nvapi::INCOMPATIBLE_STRUCT_VERSION) {
        info = EmptyRequest(nvapi::kPstates20Ver1);
        status = api_.GetPstates20(handle, info.get());
    }
    if (status != nvapi::OK) {
        Trace("API call failed with error %d\n", status);
        return status;
    }
    TracePstates20(*info);
    std::memcpy(&out, info.get(), sizeof out);
    return nvapi::OK;
}

void GpuAccess::TracePstates20(const nvapi::Pstates20Info& info) {
    Trace("\nAPI call succeeded\n");
    if (!Editable(info.flags)) {
        Trace("OC/OV is not supported on this system !!!\n");
        return;
    }
    Trace("%s", kSeparator);
    Trace("info.numPstates  = %d\n", static_cast<int>(info.numPstates));
    Trace("info.numClocks   = %d\n", static_cast<int>(info.numClocks));
    Trace("info.numBaseVol  = %d\n", static_cast<int>(info.numBaseVoltages));
    // The counts come from the driver; never walk past the arrays with them.
    const int pstates = static_cast<int>(std::min<uint32_t>(info.numPstates, nvapi::kPstates20MaxPstates));
    const int clocks = static_cast<int>(std::min<uint32_t>(info.numClocks, nvapi::kPstates20MaxClocks));
    const int voltages =
        static_cast<int>(std::min<uint32_t>(info.numBaseVoltages, nvapi::kPstates20MaxBaseVoltages));
    for (int p = 0; p < pstates; ++p) {
        const nvapi::Pstates20Pstate& pstate = info.pstates[p];
        if (!Editable(pstate.flags)) continue;
        Trace("%s", kSeparator);
        Trace("info.p[%d].pstateId    = P-%d\n", p, static_cast<int>(pstate.pstateId));
        for (int c = 0; c < clocks; ++c) {
            const nvapi::Pstates20Clock& clock = pstate.clocks[c];
            if (!Editable(clock.flags)) continue;
            Trace("info.p[%d].c[%d].domainId      = %s\n", p, c, telemetry::ClockDomainName(clock.domainId));
            Trace("info.p[%d].c[%d].typeId        = #%d\n", p, c, static_cast<int>(clock.typeId));
            Trace("info.p[%d].c[%d].freqDelta     = %d kHz [%d .. %d] \n", p, c, clock.freqDeltaKhz.value,
                  clock.freqDeltaKhz.minimum, clock.freqDeltaKhz.maximum);
            if (clock.typeId == nvapi::kClockTypeSingle)
                Trace("info.p[%d].c[%d].d.s.freq      = %d kHz\n", p, c, static_cast<int>(clock.data.single.freqKhz));
            else if (clock.typeId == nvapi::kClockTypeRange)
                Trace("info.p[%d].c[%d].d.r.minFreq   = %d .. %d kHz\n", p, c,
                      static_cast<int>(clock.data.range.minFreqKhz), static_cast<int>(clock.data.range.maxFreqKhz));
            else
                Trace("Invalid clock type\n");
        }
        for (int v = 0; v < voltages; ++v) {
            const nvapi::Pstates20Voltage& voltage = pstate.baseVoltages[v];
            if (!Editable(voltage.flags)) continue;
            Trace("info.p[%d].v[%d].domainId      = %s\n", p, v, telemetry::VoltageDomainName(voltage.domainId));
            Trace("info.p[%d].v[%d].volt          = %d uV\n", p, v, static_cast<int>(voltage.voltUv));
            Trace("info.p[%d].v[%d].voltDelta     = %d uV [%d, %d] \n", p, v, voltage.voltDeltaUv.value,
                  voltage.voltDeltaUv.minimum, voltage.voltDeltaUv.maximum);
        }
    }
    if (info.version != nvapi::kPstates20Ver3) return;
    Trace("%s", kSeparator);
    Trace("OV settings\n");
    const int overVoltages =
        static_cast<int>(std::min<uint32_t>(info.overVoltage.numVoltages, nvapi::kPstates20MaxOverVoltages));
    for (int v = 0; v < overVoltages; ++v) {
        const nvapi::Pstates20Voltage& voltage = info.overVoltage.voltages[v];
        if (!Editable(voltage.flags)) continue;
        Trace("info.ov.voltages[%d].domainId      = %s\n", v, telemetry::VoltageDomainName(voltage.domainId));
        Trace("info.ov.voltages[%d].volt          = %d uV\n", v, static_cast<int>(voltage.voltUv));
        Trace("info.ov.voltages[%d].voltDelta     = %d uV [%d, %d] \n", v, voltage.voltDeltaUv.value,
              voltage.voltDeltaUv.minimum, voltage.voltDeltaUv.maximum);
    }
}

int32_t GpuAccess::WritePstates20(uint8_t gpu, nvapi::Pstates20Info& info, const char* success) {
    const int32_t status = api_.SetPstates20(records_[gpu].hPhysicalGpu.load(), &info);
    if (status == nvapi::OK)
        Trace("%s", success);
    else
        Trace("API call failed with error %d\n", status);
    return status;
}

namespace {

void ClockOffsetRequest(nvapi::Pstates20Info& info, uint32_t domainId, int32_t offsetKhz) {
    info.numPstates = 1;
    info.numClocks = 1;
    info.numBaseVoltages = 0;
    info.pstates[0].pstateId = 0;
    info.pstates[0].clocks[0].domainId = domainId;
    info.pstates[0].clocks[0].freqDeltaKhz.value = offsetKhz;
}

}  // namespace

int32_t GpuAccess::SetGraphicsClockOffset(uint8_t gpu, int32_t offsetKhz) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    auto info = EmptyRequest(nvapi::kPstates20Ver1);
    ClockOffsetRequest(*info, nvapi::kClockDomainGraphics, offsetKhz);
    return WritePstates20(gpu, *info, "GRAPHIC CLK change call succeeded\n");
}

int32_t GpuAccess::SetMemoryClockOffset(uint8_t gpu, int32_t offsetKhz) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    auto info = EmptyRequest(nvapi::kPstates20Ver1);
    ClockOffsetRequest(*info, nvapi::kClockDomainMemory, offsetKhz);
    return WritePstates20(gpu, *info, "MEMORY CLK change call succeeded\n");
}

int32_t GpuAccess::SetCoreVoltageOffset(uint8_t gpu, int32_t offsetUv) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    auto info = EmptyRequest(nvapi::kPstates20Ver1);
    info->numPstates = 1;
    info->numClocks = 0;
    info->numBaseVoltages = 1;
    info->pstates[0].pstateId = 0;
    info->pstates[0].baseVoltages[0].domainId = nvapi::kVoltageDomainCore;
    info->pstates[0].baseVoltages[0].voltDeltaUv.value = offsetUv;
    return WritePstates20(gpu, *info, "CORE voltage change call succeeded\n");
}

int32_t GpuAccess::SetOverVoltage(uint8_t gpu, int32_t offsetUv) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    auto info = EmptyRequest(nvapi::kPstates20Ver2);
    info->overVoltage.numVoltages = 1;
    info->overVoltage.voltages[0].domainId = nvapi::kVoltageDomainCore;
    info->overVoltage.voltages[0].voltDeltaUv.value = offsetUv;
    return WritePstates20(gpu, *info, "OV call succeeded\n");
}

int32_t GpuAccess::GetOverVoltPercent(uint8_t gpu) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    nvapi::OverVoltPercent info{};
    info.version = nvapi::kOverVoltPercentVer;
    const int32_t status = api_.GetOverVoltPercent(records_[gpu].hPhysicalGpu.load(), &info);
    if (status != nvapi::OK) {
        Trace("getPercentOV API call failed with error %d\n", status);
        return status;
    }
    overVoltPercent_ = static_cast<uint8_t>(info.percent);
    Trace("Over-voltage info:\n");
    Trace("  Percentage OV                         = %u\n", static_cast<unsigned>(overVoltPercent_));
    return nvapi::OK;
}

int32_t GpuAccess::SetOverVoltPercent(uint8_t gpu, uint8_t percent) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    nvapi::OverVoltPercent info{};
    info.version = nvapi::kOverVoltPercentVer;
    info.percent = percent;
    const int32_t status = api_.SetOverVoltPercent(records_[gpu].hPhysicalGpu.load(), &info);
    if (status == nvapi::OK)
        Trace("Percentage OV call succeeded\n");
    else
        Trace("API call failed with error %d\n", status);
    return status;
}

int32_t GpuAccess::SetVoltageLock(uint8_t gpu, uint32_t microvolts) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    nvapi::ClockBoostLock locks{};
    locks.version = nvapi::kClockBoostLockVer;
    locks.flags = 0;
    locks.count = 1;
    locks.entries[0].limitId = nvapi::kLockVoltage;
    locks.entries[0].mode = microvolts != 0 ? nvapi::kLockVoltageMode : nvapi::kLockDisabled;
    locks.entries[0].value = microvolts;
    const int32_t status = api_.SetClockBoostLock(records_[gpu].hPhysicalGpu.load(), &locks);
    if (status == nvapi::OK)
        Trace("Volt lock call succeeded\n");
    else
        Trace("API call failed with error %d\n", status);
    return status;
}

void GpuAccess::TraceLock(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    Trace("%s", line);
    // The information view shows the same lines; they are plain ASCII.
    for (const char* c = line; *c; ++c) boostLockText_.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
}

int32_t GpuAccess::GetClockBoostLocks(uint8_t gpu) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    boostLockText_.clear();  // each read is a new listing, not one more
    nvapi::ClockBoostLock locks{};
    locks.version = nvapi::kClockBoostLockVer;
    locks.count = 5;
    const uint32_t ids[] = {nvapi::kLockGraphicsMax, nvapi::kLockGraphicsMin, nvapi::kLockMemoryMax,
                            nvapi::kLockMemoryMin, nvapi::kLockVoltage};
    for (int i = 0; i < 5; ++i) locks.entries[i].limitId = ids[i];
    const int32_t status = api_.GetClockBoostLock(records_[gpu].hPhysicalGpu.load(), &locks);
    if (status != nvapi::OK) {
        Trace("API call failed with error %d\n", status);
        return status;
    }
    for (int i = 0; i < 4; ++i) {
        const nvapi::ClockBoostLockEntry& entry = locks.entries[i];
        if (entry.mode == nvapi::kLockDisabled)
            TraceLock("%s\t= DISABLED\n", LockName(entry.limitId));
        else if (entry.mode == nvapi::kLockFrequency)
            TraceLock("%s\t= %d kHz\n", LockName(entry.limitId), static_cast<int>(entry.value));
        else
            TraceLock("Invalid freq type returned\n");
    }
    const nvapi::ClockBoostLockEntry& voltage = locks.entries[4];
    if (voltage.mode == nvapi::kLockDisabled) {
        TraceLock("%s\t= DISABLED\n", LockName(voltage.limitId));
    } else if (voltage.mode == nvapi::kLockVoltageMode) {
        TraceLock("%s\t= %d uV\n", LockName(voltage.limitId), static_cast<int>(voltage.value));
        voltageLockUv_ = voltage.value;
    } else {
        TraceLock("Invalid volt type returned\n");
    }
    return nvapi::OK;
}

int32_t GpuAccess::SetPerfLimitControl(uint8_t gpu) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    nvapi::PerfLimitControl control{nvapi::kPerfLimitControlVer, nvapi::kPerfLimitFirst, nvapi::kPerfLimitSecond};
    return api_.SetPerfLimitControl(records_[gpu].hPhysicalGpu.load(), &control);
}

int32_t GpuAccess::GetPstatesInfo(uint8_t gpu, nvapi::PstatesInfo& info) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    return api_.GetPstatesInfo(records_[gpu].hPhysicalGpu.load(), &info);
}

int32_t GpuAccess::SetPstatesInfo(uint8_t gpu, nvapi::PstatesInfo& info) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    return api_.SetPstatesInfo(records_[gpu].hPhysicalGpu.load(), &info);
}

int32_t GpuAccess::GetPstatesInfoEx(uint8_t gpu, nvapi::PstatesInfo& info, uint32_t flags) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    const nvapi::PhysicalGpuHandle handle = records_[gpu].hPhysicalGpu.load();
    const int32_t status = api_.GetPstatesInfoEx(handle, &info, flags);
    // 16 KB: kept off the stack.
    auto table = std::make_unique<nvapi::VoltageTable>();
    table->version = nvapi::kVoltageTableVer;
    api_.GetVoltageTable(handle, table.get());
    return status;
}

}  // namespace vx
