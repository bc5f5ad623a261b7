// The legacy perf-level clock interface of older GPUs: absolute clocks per perf level.
#include "gpu/GpuAccess.h"

#include <algorithm>
#include <memory>

namespace vx {

namespace {

// The table column of a level, or -1 for a level of none of the three known kinds.
int ColumnOf(uint32_t levelFlags) {
    if (levelFlags == 0 || levelFlags == 1) return kLegacyLevel2D;
    if (levelFlags & 2u) return kLegacyLevel3DLowPower;
    if (levelFlags & 4u) return kLegacyLevel3DPerformance;
    return -1;
}

void StorePair(GpuRecord& record, LegacyClockDomain domain, int column, const nvapi::LegacyPerfDomain& entry) {
    const auto level = static_cast<LegacyClockLevel>(column);
    record.legacyClockTable[LegacyClockIndex(domain, level, false)] = entry.minKhz;
    record.legacyClockTable[LegacyClockIndex(domain, level, true)] = entry.maxKhz;
}

}  // namespace

int32_t GpuAccess::ReadLegacyClockTable() {
    for (uint8_t gpu = 0; gpu < GetGpuCount(); ++gpu) {
        if (int32_t status = ReadLegacyClockTable(records_[gpu]); status != nvapi::OK) return status;
    }
    return nvapi::OK;
}

int32_t GpuAccess::ReadLegacyClockTable(GpuRecord& record) {
    record.legacyClockTable = {};
    record.has2DLevel = record.has3DLowPowerLevel = record.has3DPerformanceLevel = false;
    record.hasGraphicsDomain = record.hasMemoryDomain = record.hasProcessorDomain = false;

    // 10 KB: too much for the stack of a worker thread.
    auto table = std::make_unique<nvapi::LegacyPerfClocks>();
    table->version = nvapi::kLegacyPerfClocksVer;
    if (int32_t status = api_.GetPerfClocks(record.hPhysicalGpu, nvapi::kAllLevels, table.get());
        status != nvapi::OK)
        return status;
    if (table->levelCount == 0) return nvapi::ERROR;

    // The counts come from the driver; never index past the structure with them.
    const uint32_t levelCount = std::min<uint32_t>(table->levelCount, nvapi::kLegacyMaxLevels);
    const uint32_t domainCount = std::min<uint32_t>(table->domainCount, nvapi::kLegacyMaxDomains);
    for (uint32_t l = 0; l < levelCount; ++l) {
        const nvapi::LegacyPerfLevel& level = table->levels[l];
        const int column = ColumnOf(level.flags);
        if (column < 0) continue;
        if (column == kLegacyLevel2D) record.has2DLevel = true;
        if (column == kLegacyLevel3DLowPower) record.has3DLowPowerLevel = true;
        if (column == kLegacyLevel3DPerformance) record.has3DPerformanceLevel = true;

        for (uint32_t d = 0; d < domainCount; ++d) {
            const nvapi::LegacyPerfDomain& entry = level.domains[d];
            switch (entry.domainId) {
                case nvapi::kClockDomainGraphics:
                    record.hasGraphicsDomain = true;
                    StorePair(record, kLegacyGraphics, column, entry);
                    break;
                case nvapi::kClockDomainMemory:
                    // Some boards report an empty memory entry on a level; it must not clear a real range.
                    if (entry.minKhz != 0 && entry.maxKhz != 0) {
                        record.hasMemoryDomain = true;
                        StorePair(record, kLegacyMemory, column, entry);
                    }
                    break;
                case nvapi::kClockDomainProcessor:
                    record.hasProcessorDomain = true;
                    StorePair(record, kLegacyProcessor, column, entry);
                    break;
                default:
                    break;
            }
        }
    }

    if (!record.has2DLevel && !record.has3DLowPowerLevel && !record.has3DPerformanceLevel) return nvapi::ERROR;
    return nvapi::OK;
}

}  // namespace vx
