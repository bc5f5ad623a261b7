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

// GetLegacyCurrentClocks (used by the card-device probes).

namespace {

// Level kind of the current level: 1 2D, 2 3D performance, 3 3D low power, 4 the lower
// performance level (ID 2) of a four-level board, 0 none of these.
int32_t LevelKind(const nvapi::LegacyPerfLevel& level, bool fourLevels) {
    const uint32_t flags = level.flags;
    if (flags == 0 || flags == 1) return 1;
    if (flags & 2u) return 3;
    if (!fourLevels) return (flags & 4u) ? 2 : 0;
    if ((flags & 4u) && level.levelId == 3) return 2;
    if ((flags & 5u) && level.levelId == 2) return 4;
    return 0;
}

}  // namespace

int32_t GpuAccess::GetLegacyCurrentClocks(uint8_t gpu, int32_t& graphics, int32_t& processor, int32_t& memory,
                                          int32_t& kind) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    GpuRecord& record = records_[gpu];
    auto table = std::make_unique<nvapi::LegacyPerfClocks>();
    table->version = nvapi::kLegacyPerfClocksVer;
    if (int32_t status = api_.GetPerfClocks(record.hPhysicalGpu, nvapi::kAllLevels, table.get());
        status != nvapi::OK)
        return status;
    // An empty table means the handle went stale; -101 makes the monitor refresh it.
    if (table->levelCount == 0 || table->domainCount == 0) return nvapi::EXPECTED_PHYSICAL_GPU_HANDLE;

    const uint32_t levelCount = std::min<uint32_t>(table->levelCount, nvapi::kLegacyMaxLevels);
    const uint32_t domainCount = std::min<uint32_t>(table->domainCount, nvapi::kLegacyMaxDomains);
    // The index comes from the driver; one past the levels names nothing to report.
    if (table->currentLevel >= levelCount) return nvapi::ERROR;
    const nvapi::LegacyPerfLevel& level = table->levels[table->currentLevel];

    const bool fourLevels = table->levelCount == 4;
    if (fourLevels) record.fourLevelBoard = true;
    const int32_t levelKind = LevelKind(level, fourLevels);

    int32_t clocks[3] = {};  // graphics, processor, memory
    for (uint32_t d = 0; d < domainCount; ++d) {
        const nvapi::LegacyPerfDomain& entry = level.domains[d];
        if (entry.domainId == nvapi::kClockDomainGraphics) clocks[0] = entry.frequencyKhz;
        if (entry.domainId == nvapi::kClockDomainProcessor) clocks[1] = entry.frequencyKhz;
        if (entry.domainId == nvapi::kClockDomainMemory) clocks[2] = entry.frequencyKhz;
    }
    graphics = clocks[0];
    processor = clocks[1];
    memory = clocks[2];
    kind = levelKind;

    if ((levelKind == 1 || levelKind == 2) && record.IsCardDevicePresent(2)) ReadLegacyRangeCode(gpu, levelKind);
    return nvapi::OK;
}

}  // namespace vx
