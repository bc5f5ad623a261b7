#pragma once
// The caller's view of one legacy perf level, read or written by GpuAccess::GetLegacyClockRange.
#include <cstdint>

namespace vx {

/// Clocks of one domain in kHz; `fourthWord` is the driver's own word, passed through.
struct LegacyDomainRange {
    int32_t frequency = 0;
    int32_t fourthWord = 0;
    int32_t minimum = 0;
    int32_t maximum = 0;
};

/// One perf level (60 bytes).
struct LegacyClockRange {
    LegacyDomainRange graphics;
    LegacyDomainRange memory;
    LegacyDomainRange processor;
    uint32_t levelMask = 0;     // set by the call from the level kind
    uint32_t direction = 0;     // 0 read, anything else write
    uint32_t requestFlags8 = 0;  // non-zero: the written level gets flags 8
};
static_assert(sizeof(LegacyClockRange) == 60);

}  // namespace vx
