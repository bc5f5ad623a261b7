// The legacy perf-level clock table: read by level, written by level ID.
#include "sim/SimEntries.h"
#include "sim/SimulatorImpl.h"

#include "gpu/NvApiIds.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

uint32_t LevelCount(const GpuModel& gpu) {
    return static_cast<uint32_t>(std::min<std::size_t>(gpu.legacyLevels.size(), kLegacyMaxLevels));
}

void FillLevel(const LegacyLevel& level, LegacyPerfLevel& out) {
    out.levelId = level.levelId;
    out.flags = level.flags;
    std::size_t count = std::min<std::size_t>(level.domains.size(), kLegacyMaxDomains);
    for (std::size_t d = 0; d < count; ++d) {
        const LegacyDomain& domain = level.domains[d];
        LegacyPerfDomain& entry = out.domains[d];
        entry.domainId = domain.domainId;
        entry.frequencyKhz = domain.frequencyKhz;
        entry.fourthWord = domain.fourthWord;
        entry.minKhz = domain.minKhz;
        entry.maxKhz = domain.maxKhz;
    }
}

int32_t SimGetPerfClocks(PhysicalGpuHandle gpu, int32_t selector, LegacyPerfClocks* table) {
    return ServeEntry(GPU_GetPerfClocks, [&](EntryCall& call) -> int32_t {
        call.Arg(selector);
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!table) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(table->version, kLegacyPerfClocksVer)) return status;
        const GpuModel& model = call.gpu();
        const uint32_t levels = LevelCount(model);
        if (selector != kAllLevels && (selector < 0 || static_cast<uint32_t>(selector) >= levels))
            return INVALID_ARGUMENT;

        const uint32_t version = table->version;
        std::memset(table, 0, sizeof *table);
        table->version = version;
        table->levelCount = levels;
        table->currentLevel = model.currentLegacyLevel < levels ? model.currentLegacyLevel : 0;
        std::size_t domains = 0;
        for (uint32_t l = 0; l < levels; ++l) domains = std::max(domains, model.legacyLevels[l].domains.size());
        table->domainCount = static_cast<uint32_t>(std::min<std::size_t>(domains, kLegacyMaxDomains));
        for (uint32_t l = 0; l < levels; ++l)
            if (selector == kAllLevels || static_cast<uint32_t>(selector) == l)
                FillLevel(model.legacyLevels[l], table->levels[l]);
        return OK;
    });
}

struct ClockChange {
    LegacyDomain* domain;
    int32_t frequencyKhz;
};

int32_t SimSetPerfClocks(PhysicalGpuHandle gpu, int32_t selector, LegacyPerfClocks* table) {
    return ServeEntry(GPU_SetPerfClocks, [&](EntryCall& call) -> int32_t {
        call.Arg(selector);
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!table) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(table->version, kLegacyPerfClocksVer)) return status;
        if (selector < 0) return INVALID_ARGUMENT;
        const uint32_t levelId = static_cast<uint32_t>(selector);

        GpuModel& model = call.gpu();
        auto level = std::find_if(model.legacyLevels.begin(), model.legacyLevels.end(),
                                  [levelId](const LegacyLevel& l) { return l.levelId == levelId; });
        if (level == model.legacyLevels.end()) return INVALID_ARGUMENT;

        // Check every entry before changing anything, so a bad request leaves the GPU as it was.
        std::vector<ClockChange> changes;
        bool levelInBuffer = false;
        const uint32_t slots = std::min<uint32_t>(table->levelCount, kLegacyMaxLevels);
        for (uint32_t s = 0; s < slots; ++s) {
            const LegacyPerfLevel& slot = table->levels[s];
            if (slot.levelId != levelId) continue;
            levelInBuffer = true;
            for (const LegacyPerfDomain& entry : slot.domains) {
                if (!(entry.flags & 1u)) continue;
                auto domain = std::find_if(level->domains.begin(), level->domains.end(),
                                           [&](const LegacyDomain& d) { return d.domainId == entry.domainId; });
                if (domain == level->domains.end() || entry.frequencyKhz < 0) return INVALID_ARGUMENT;
                changes.push_back({&*domain, entry.frequencyKhz});
            }
        }
        if (!levelInBuffer) return INVALID_ARGUMENT;

        PersistedGpuState& written = call.sim().written.gpus[call.gpuIndex()];
        for (const ClockChange& change : changes) {
            change.domain->frequencyKhz = change.frequencyKhz;
            written.legacyClocks[{levelId, change.domain->domainId}] = change.frequencyKhz;
            call.Arg(change.domain->domainId);
            call.Arg(change.frequencyKhz);
        }
        call.sim().Persist();
        return OK;
    });
}

}  // namespace

void* PerfClockEntryAddress(uint32_t id) {
    switch (id) {
    case GPU_GetPerfClocks: return reinterpret_cast<void*>(&SimGetPerfClocks);
    case GPU_SetPerfClocks: return reinterpret_cast<void*>(&SimSetPerfClocks);
    default: return nullptr;
    }
}

}  // namespace vx::sim
