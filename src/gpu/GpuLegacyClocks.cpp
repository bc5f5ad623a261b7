// The legacy perf-level clock interface of older GPUs: absolute clocks per perf level.
#include "gpu/GpuAccess.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

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
    if (int32_t status = api_.GetPerfClocks(record.hPhysicalGpu.load(), nvapi::kAllLevels, table.get());
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
    if (int32_t status = api_.GetPerfClocks(record.hPhysicalGpu.load(), nvapi::kAllLevels, table.get());
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

// GetLegacyClockRange, PrepareShaderRatios and GetShaderRatio.

namespace {

constexpr int32_t kLegacyWriteAccepted = -118;  // the driver applied the level but says so oddly
constexpr int32_t kMemoryFloorKhz = 1000;
constexpr float kDefaultShaderRatio = 2.2f;

// Boards whose 2D level carries the low-power flag.
bool HasLowPower2D(const std::string& deviceIdText) {
    const unsigned long device = std::strtoul(deviceIdText.c_str(), nullptr, 16);
    return device == 0x1180 || device == 0x1189 || device == 0x1183;
}

bool Is2DFlags(uint32_t flags) { return flags == 0 || flags == 1; }

int32_t Widen(int32_t value, double factor) {
    const double widened = static_cast<double>(value) * factor;
    if (widened >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    if (widened <= static_cast<double>(INT32_MIN)) return INT32_MIN;
    return static_cast<int32_t>(widened);
}

// The level index for `mask`, or -1.
int PickLevel(const nvapi::LegacyPerfClocks& table, uint32_t levelCount, uint32_t mask, const GpuRecord& record) {
    const auto first = [&](auto match) -> int {
        for (uint32_t l = 0; l < levelCount; ++l)
            if (match(table.levels[l])) return static_cast<int>(l);
        return -1;
    };
    if (mask == 0) return first([](const nvapi::LegacyPerfLevel& l) { return Is2DFlags(l.flags); });
    const auto sharesMask = [mask](const nvapi::LegacyPerfLevel& l) { return (l.flags & mask) != 0; };
    if (!record.supportedGpu) return first(sharesMask);
    if (!record.fourLevelBoard) {
        if (mask == 4) return static_cast<int>(levelCount) - 1;
        return first(sharesMask);
    }
    const int found = first(sharesMask);
    if (found < 0) return -1;
    const nvapi::LegacyPerfLevel& level = table.levels[found];
    int picked = found;
    if (level.flags == 2 || level.flags == 3) {
        picked = found;
    } else if (level.flags != 4) {
        if (level.flags == 5 && mask == 4 && level.levelId == 2) picked = 3;
        else if (level.flags == 5 && mask == 4 && level.levelId == 3) picked = found + 1;
    } else if (level.levelId == 2 || level.levelId == 3) {
        picked = found + 1;
    }
    // The driver decides how many levels there are; a step past the last one finds nothing.
    return picked < static_cast<int>(levelCount) ? picked : -1;
}

void CopyOut(const nvapi::LegacyPerfDomain& entry, LegacyDomainRange& out) {
    out.frequency = entry.frequencyKhz;
    out.fourthWord = entry.fourthWord;
    out.minimum = entry.minKhz;
    out.maximum = entry.maxKhz;
}

}  // namespace

int32_t GpuAccess::GetLegacyClockRange(uint8_t gpu, LegacyClockRange& range, int32_t kind) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    if (kind < 1 || kind > 4) return nvapi::ERROR;
    const GpuRecord& record = records_[gpu];
    const bool lowPower2D = HasLowPower2D(record.deviceIdText);
    switch (kind) {
    case 1: range.levelMask = lowPower2D ? 2 : 0; break;
    case 2: range.levelMask = 4; break;
    case 3: range.levelMask = lowPower2D ? 0 : 2; break;
    default: range.levelMask = 0; break;
    }

    auto table = std::make_unique<nvapi::LegacyPerfClocks>();
    table->version = nvapi::kLegacyPerfClocksVer;
    if (int32_t status = api_.GetPerfClocks(record.hPhysicalGpu.load(), nvapi::kAllLevels, table.get());
        status != nvapi::OK)
        return status;
    const uint32_t levelCount = std::min<uint32_t>(table->levelCount, nvapi::kLegacyMaxLevels);
    const int index = PickLevel(*table, levelCount, range.levelMask, record);
    if (index < 0) return nvapi::ERROR;

    std::memset(table.get(), 0, sizeof *table);
    table->version = nvapi::kLegacyPerfClocksVer;
    if (int32_t status = api_.GetPerfClocks(record.hPhysicalGpu.load(), index, table.get()); status != nvapi::OK)
        return status;
    const uint32_t domainCount = std::min<uint32_t>(table->domainCount, nvapi::kLegacyMaxDomains);
    nvapi::LegacyPerfLevel& level = table->levels[index];

    if (range.direction == 0) {
        const bool widen = record.supportedGpu && (level.levelId == 2 || (level.levelId == 3 && record.fourLevelBoard));
        for (uint32_t d = 0; d < domainCount; ++d) {
            const nvapi::LegacyPerfDomain& entry = level.domains[d];
            switch (entry.domainId) {
            case nvapi::kClockDomainGraphics:
                CopyOut(entry, range.graphics);
                if (widen) range.graphics.maximum = Widen(entry.maxKhz, 1.2);
                break;
            case nvapi::kClockDomainMemory:
                CopyOut(entry, range.memory);
                if (level.levelId == 3) range.memory.minimum = entry.fourthWord;
                if (widen) range.memory.maximum = Widen(entry.maxKhz, 1.5);
                break;
            case nvapi::kClockDomainProcessor:
                CopyOut(entry, range.processor);
                if (widen) range.processor.maximum = Widen(entry.maxKhz, 1.2);
                break;
            default:
                break;
            }
        }
        return nvapi::OK;
    }

    for (uint32_t d = 0; d < domainCount; ++d) {
        nvapi::LegacyPerfDomain& entry = level.domains[d];
        switch (entry.domainId) {
        case nvapi::kClockDomainGraphics: entry.frequencyKhz = range.graphics.frequency; break;
        case nvapi::kClockDomainMemory:
            entry.frequencyKhz =
                (range.memory.frequency == 0 && record.hasMemoryDomain) ? kMemoryFloorKhz : range.memory.frequency;
            break;
        case nvapi::kClockDomainProcessor: entry.frequencyKhz = range.processor.frequency; break;
        default: continue;
        }
        entry.flags |= 1u;
    }
    level.flags = range.requestFlags8 ? 8u : 0u;
    const int32_t status =
        api_.SetPerfClocks(record.hPhysicalGpu.load(), static_cast<int32_t>(level.levelId), table.get());
    return status == kLegacyWriteAccepted ? nvapi::OK : status;
}

int32_t GpuAccess::PrepareShaderRatios(uint8_t gpu) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    GpuRecord& record = records_[gpu];
    const struct {
        bool present;
        int32_t kind;
        float GpuRecord::*ratio;
    } levels[] = {{record.has2DLevel, 1, &GpuRecord::shaderRatio2D},
                  {record.has3DLowPowerLevel, 3, &GpuRecord::shaderRatioLowPower},
                  {record.has3DPerformanceLevel, 2, &GpuRecord::shaderRatioPerformance}};
    for (const auto& level : levels) {
        if (!level.present) continue;
        LegacyClockRange range{};
        if (GetLegacyClockRange(gpu, range, level.kind) != nvapi::OK || range.graphics.fourthWord == 0) continue;
        record.*level.ratio = static_cast<float>(range.processor.fourthWord) / static_cast<float>(range.graphics.fourthWord);
    }
    return nvapi::OK;
}

float GpuAccess::GetShaderRatio(uint8_t gpu, int32_t kind) const {
    const GpuRecord* record = Record(gpu);
    if (!record) return kDefaultShaderRatio;
    switch (kind) {
    case 1: return record->shaderRatio2D;
    case 2: return record->shaderRatioPerformance;
    case 3: return record->shaderRatioLowPower;
    default: return kDefaultShaderRatio;
    }
}

}  // namespace vx
