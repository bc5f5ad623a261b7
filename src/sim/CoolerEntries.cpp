// Cooler entries: the cooler list, fixed levels, restore to automatic and the fan-stop
// capability. The first fan cooler drives the GPU's live thermal model: a fixed level sets its
// fan, a restore hands it back to the automatic curve.
#include "sim/SimEntries.h"
#include "sim/SimulatorImpl.h"

#include "gpu/CoolerStructs.h"
#include "gpu/NvApiIds.h"

#include <algorithm>
#include <cstring>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

std::vector<CoolerUnit>& Units(EntryCall& call) { return call.gpu().cooler.units; }

std::size_t UnitCount(EntryCall& call) { return std::min(Units(call).size(), kMaxRigCoolers); }

bool DrivesModel(EntryCall& call, std::size_t index) { return ModelCoolerIndex(call.gpu().cooler) == index; }

ThermalModel& Live(EntryCall& call) { return call.sim().thermal.Live(call.gpuIndex(), call.gpu().telemetry); }

void FillCooler(EntryCall& call, std::size_t index, uint32_t (&words)[kCoolerWords]) {
    const CoolerUnit& unit = Units(call)[index];
    const CoolerConfig& config = call.gpu().cooler;
    const bool manual = unit.policy == kCoolerPolicyManual;
    std::memset(words, 0, sizeof words);
    words[kCoolerType] = unit.type;
    words[1] = 1;  // internal controller
    words[2] = unit.minLevel;  // default range
    words[3] = unit.maxLevel;
    words[kCoolerCurrentMin] = unit.minLevel;
    words[kCoolerCurrentMax] = unit.maxLevel;
    words[kCoolerCurrentLevel] = manual || !DrivesModel(call, index) ? unit.level : Live(call).fanPercent();
    words[kCoolerCurrentPolicy] = unit.policy;
    words[kCoolerRunning] = config.fanStopCapable && config.fanStopped && !manual ? 0 : 1;
}

int32_t SimGetCoolerSettings(PhysicalGpuHandle gpu, uint32_t coolerIndex, CoolerSettings* settings) {
    return ServeEntry(GPU_GetCoolerSettings, [&](EntryCall& call) -> int32_t {
        call.Arg(coolerIndex);
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!settings) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(settings->version, kCoolerSettingsVer)) return status;
        const std::size_t count = UnitCount(call);
        if (coolerIndex != kAllCoolers && coolerIndex >= count) return INVALID_ARGUMENT;
        std::memset(settings->cooler, 0, sizeof settings->cooler);
        if (coolerIndex == kAllCoolers) {
            settings->count = static_cast<uint32_t>(count);
            for (std::size_t i = 0; i < count; ++i) FillCooler(call, i, settings->cooler[i]);
        } else {
            settings->count = 1;
            FillCooler(call, coolerIndex, settings->cooler[0]);
        }
        return OK;
    });
}

// A level outside the cooler's range is refused, as the driver does.
bool LevelFits(EntryCall& call, std::size_t index, const CoolerLevel& entry) {
    const CoolerUnit& unit = Units(call)[index];
    return entry.policy != kCoolerPolicyManual || (entry.level >= unit.minLevel && entry.level <= unit.maxLevel);
}

// Takes a checked level; the first fan's also sets the live model's fan.
void ApplyLevel(EntryCall& call, std::size_t index, const CoolerLevel& entry) {
    CoolerUnit& unit = Units(call)[index];
    const bool manual = entry.policy == kCoolerPolicyManual;
    unit.policy = manual ? kCoolerPolicyManual : kCoolerPolicyAutomatic;
    if (manual) unit.level = entry.level;
    call.sim().written.gpus[call.gpuIndex()].coolers[static_cast<uint32_t>(index)] = {unit.policy, unit.level};
    if (DrivesModel(call, index))
        Live(call).SetFanPercent(manual ? std::optional<uint32_t>(entry.level) : std::nullopt);
}

// Every level is checked before any is taken, so a refused request changes nothing.
int32_t SimSetCoolerLevels(PhysicalGpuHandle gpu, uint32_t coolerIndex, CoolerLevels* levels) {
    return ServeEntry(GPU_SetCoolerLevels, [&](EntryCall& call) -> int32_t {
        call.Arg(coolerIndex);
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!levels) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(levels->version, kCoolerLevelsVer)) return status;
        call.Arg(levels->entry[0].level);
        call.Arg(levels->entry[0].policy);
        const std::size_t count = UnitCount(call);
        if (coolerIndex == kAllCoolers) {
            for (std::size_t i = 0; i < count; ++i)
                if (!LevelFits(call, i, levels->entry[i])) return INVALID_ARGUMENT;
            for (std::size_t i = 0; i < count; ++i) ApplyLevel(call, i, levels->entry[i]);
        } else {
            if (coolerIndex >= count || !LevelFits(call, coolerIndex, levels->entry[0])) return INVALID_ARGUMENT;
            ApplyLevel(call, coolerIndex, levels->entry[0]);
        }
        call.sim().Persist();
        return OK;
    });
}

// No index list restores every cooler.
int32_t SimRestoreCoolerSettings(PhysicalGpuHandle gpu, const uint32_t* coolerIndices, uint32_t count) {
    return ServeEntry(GPU_RestoreCoolerSettings, [&](EntryCall& call) -> int32_t {
        call.Arg(count);
        if (int32_t status = call.UseGpu(gpu)) return status;
        const std::size_t units = UnitCount(call);
        if (count > kMaxCoolers) return INVALID_ARGUMENT;
        if (coolerIndices) {
            for (uint32_t i = 0; i < count; ++i) {
                call.Arg(coolerIndices[i]);
                if (coolerIndices[i] >= units) return INVALID_ARGUMENT;
            }
        }
        const CoolerLevel automatic{0, kCoolerPolicyAutomatic};
        if (!coolerIndices) {
            for (std::size_t i = 0; i < units; ++i) ApplyLevel(call, i, automatic);
        } else {
            for (uint32_t i = 0; i < count; ++i) ApplyLevel(call, coolerIndices[i], automatic);
        }
        call.sim().Persist();
        return OK;
    });
}

int32_t SimGetFanStopCapability(PhysicalGpuHandle gpu, FanStopCapability* capability) {
    return ServeEntry(GPU_GetFanStopCapability, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!capability) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(capability->version, kFanStopCapabilityVer)) return status;
        const uint32_t version = capability->version;
        std::memset(capability, 0, sizeof *capability);
        capability->version = version;
        capability->flags = call.gpu().cooler.fanStopCapable ? 1 : 0;
        return OK;
    });
}

}  // namespace

void* CoolerEntryAddress(uint32_t id) {
    switch (id) {
    case GPU_GetCoolerSettings: return reinterpret_cast<void*>(&SimGetCoolerSettings);
    case GPU_SetCoolerLevels: return reinterpret_cast<void*>(&SimSetCoolerLevels);
    case GPU_RestoreCoolerSettings: return reinterpret_cast<void*>(&SimRestoreCoolerSettings);
    case GPU_GetFanStopCapability: return reinterpret_cast<void*>(&SimGetFanStopCapability);
    default: return nullptr;
    }
}

}  // namespace vx::sim
