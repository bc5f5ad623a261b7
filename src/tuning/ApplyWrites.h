#pragma once
// Hardware steps that the apply, one-click and reset flows share. Callers hold the dialog's
// hardware lock around them.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>

#include "gpu/ClockStructs.h"
#include "gpu/GpuAccess.h"
#include "gpu/PowerStructs.h"
#include "gpu/TelemetryUnits.h"

namespace vx::tuning::applywrites {

/// Card-device slots whose voltage controllers carry the GPU voltage.
inline bool HasOnCardVoltage(const GpuAccess& gpus, uint8_t gpu) {
    for (int slot : {2, 3, 5, 7})
        if (gpus.IsCardDevicePresent(gpu, slot)) return true;
    return false;
}

/// A voltage controller's code in whole millivolts (truncated), as the sliders and the settings
/// file show it; VoltageToCode takes every such value back to its code. None for no code.
inline std::optional<int32_t> CodeToWholeMillivolts(const GpuAccess& gpus, int code) {
    const std::optional<double> millivolts = gpus.voltageCodes().CodeToVoltage(code);
    if (!millivolts) return std::nullopt;
    return static_cast<int32_t>(*millivolts);
}

/// The clock worker writes the GPU-voltage slider into the P-state information of these GPUs...
inline bool WorkerWritesGpuVoltage(const GpuAccess& gpus, uint8_t gpu) {
    return !gpus.usesVfPoints(gpu) && gpus.usesPstates20(gpu) && !HasOnCardVoltage(gpus, gpu);
}
/// ...and the voltage page writes it to the first of these controllers a GPU has.
inline bool RegulatorPageWritesGpuVoltage(const GpuAccess& gpus, uint8_t gpu) {
    if (gpus.usesVfPoints(gpu)) return false;
    for (int slot : {2, 3, 7})
        if (gpus.IsCardDevicePresent(gpu, slot)) return true;
    return false;
}

/// Clock offsets through the P-state 2.0 interface, which VF-point GPUs have as well.
inline bool HasPstateOffsets(const GpuAccess& gpus, uint8_t gpu) {
    return gpus.usesPstates20(gpu) || gpus.usesVfPoints(gpu);
}

/// The rated boost clock of the graphics domain in kHz.
inline int32_t ReadBoostClock(GpuAccess& gpus, uint8_t gpu, int64_t& khz) {
    nvapi::ClockFrequencies clocks = telemetry::ClockRequest(nvapi::kClockBoost);
    const int32_t status = gpus.GetClockFrequencies(gpu, clocks);
    if (status != nvapi::OK) return status;
    const nvapi::ClockFrequencyDomain& graphics = clocks.domains[nvapi::kClockDomainGraphics];
    if ((graphics.flags & 1u) == 0) return nvapi::NOT_SUPPORTED;
    khz = graphics.frequencyKhz;
    return nvapi::OK;
}

/// `percent` hundredths of `khz`, truncated toward zero: 5 for the 5 % boost, 3 for 3 %.
inline int32_t PercentOf(int64_t khz, int percent) { return static_cast<int32_t>(khz * percent / 100); }

/// P-state 0's graphics and memory offsets as the driver holds them. False when the table
/// cannot be read or has no P-state 0.
inline bool ReadPstate0Offsets(GpuAccess& gpus, uint8_t gpu, int32_t& graphicsKhz, int32_t& memoryKhz) {
    auto info = std::make_unique<nvapi::Pstates20Info>();  // 7 KB: kept off the worker's stack
    if (gpus.GetPstates20(gpu, *info) != nvapi::OK) return false;
    const uint32_t pstates = std::min<uint32_t>(info->numPstates, nvapi::kPstates20MaxPstates);
    const uint32_t clocks = std::min<uint32_t>(info->numClocks, nvapi::kPstates20MaxClocks);
    for (uint32_t p = 0; p < pstates; ++p) {
        const nvapi::Pstates20Pstate& pstate = info->pstates[p];
        if (pstate.pstateId != 0) continue;
        for (uint32_t c = 0; c < clocks; ++c) {
            if (pstate.clocks[c].domainId == nvapi::kClockDomainGraphics)
                graphicsKhz = pstate.clocks[c].freqDeltaKhz.value;
            else if (pstate.clocks[c].domainId == nvapi::kClockDomainMemory)
                memoryKhz = pstate.clocks[c].freqDeltaKhz.value;
        }
        return true;
    }
    return false;
}

/// Reads policy 0's power target (1/1000 percent) into `before`, then writes `milliPercent`.
/// Returns the read's status when it fails (nothing written), else the write's.
inline int32_t WritePowerTarget(GpuAccess& gpus, uint8_t gpu, uint32_t milliPercent, uint32_t& before,
                                bool& readOk) {
    nvapi::PowerPoliciesStatus status{};
    status.version = nvapi::kPowerPoliciesStatusVer;
    status.count = 1;
    status.entries[0].policyId = nvapi::kPowerPolicyTotalGpu;
    readOk = false;
    if (const int32_t read = gpus.GetPowerPoliciesStatus(gpu, status); read != nvapi::OK) return read;
    readOk = true;
    before = status.entries[0].powerLimit;
    status.count = 1;
    status.entries[0].policyId = nvapi::kPowerPolicyTotalGpu;
    status.entries[0].flags &= ~nvapi::kPowerPolicyFlagBit0;
    status.entries[0].powerLimit = milliPercent;
    return gpus.SetPowerPoliciesStatus(gpu, status);
}

/// What one pass over the VF points did: how many points took their offset, and the status of
/// the first failure that reached the user (OK when none did).
struct VfWriteResult {
    int written = 0;
    int32_t status = nvapi::OK;
};

/// Writes `graphicsKhz` to every graphics-domain VF point and `memoryKhz` to every memory-domain
/// point, each when given, as one pass: the user sees at most one message box for it.
inline VfWriteResult WriteVfOffsets(GpuAccess& gpus, uint8_t gpu, std::optional<int32_t> graphicsKhz,
                                    std::optional<int32_t> memoryKhz) {
    VfWriteResult result;
    if (const int32_t status = gpus.ReadVfDomains(gpu, 0); status != nvapi::OK) {
        result.status = status;
        return result;
    }
    // The ranges describe the GPU read last: copy them before the writes read again.
    const int firstGraphics = gpus.vfPointFirstGraphics(), lastGraphics = gpus.vfPointLastGraphics();
    const int firstMemory = gpus.vfPointFirstMemory(), lastMemory = gpus.vfPointLastMemory();
    GpuAccess::VfWritePass pass(gpus);
    auto writeRange = [&](int first, int last, std::optional<int32_t> khz) {
        if (!khz) return;
        for (int point = first; point <= last; ++point)
            if (gpus.SetVfPointOffset(gpu, point, *khz) == nvapi::OK) ++result.written;
    };
    writeRange(firstGraphics, lastGraphics, graphicsKhz);
    writeRange(firstMemory, lastMemory, memoryKhz);
    result.status = pass.status();
    return result;
}

// The P-state information (version 3) as the driver lays it out after the version word: flags,
// the P-state, clock and voltage counts, then 16 P-states of {ID, flags, 32 clocks of
// {domain, flags, kHz}, 16 voltages of {domain, flags, mV}}.
inline constexpr int kInfoPstateWords = 2 + 32 * 3 + 16 * 3;
static_assert(3 + 16 * kInfoPstateWords == 2339, "the P-state information body");

/// Where P-state 0's core voltage (mV) sits in the information's words; null when absent.
inline uint32_t* Pstate0CoreMillivolts(nvapi::PstatesInfo& info) {
    const uint32_t pstates = std::min<uint32_t>(info.words[0], 16);
    const uint32_t voltages = std::min<uint32_t>(info.words[2], 16);
    for (uint32_t p = 0; p < pstates; ++p) {
        uint32_t* pstate = &info.words[3 + p * kInfoPstateWords];
        if (pstate[0] != 0) continue;
        for (uint32_t v = 0; v < voltages; ++v) {
            uint32_t* voltage = &pstate[2 + 32 * 3 + v * 3];
            if (voltage[0] == nvapi::kVoltageDomainCore) return &voltage[2];
        }
        return nullptr;
    }
    return nullptr;
}

}  // namespace vx::tuning::applywrites
