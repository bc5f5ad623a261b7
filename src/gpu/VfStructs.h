#pragma once
// Driver structures and entry signatures of the clock VF points: the programmable clock
// domains with their point ranges, the points, and the per-point control block. The
// simulator includes this same header. Every field is a 32-bit word unless stated.
#include "gpu/DriverStructs.h"

#include <cstddef>
#include <cstdint>

namespace vx::nvapi {

inline constexpr int kVfMaskWords = 8;       // a 256-bit mask
inline constexpr int kVfMaxDomains = 32;     // only the first mask word is used
inline constexpr int kVfMaxPoints = 255;

/// Type word of a domain or a point.
enum VfEntryType : uint32_t { kVfTypeProg = 0, kVfTypeFixed = 1 };

/// True when bit `index` of a 256-bit mask is set; false past the mask.
constexpr bool VfMaskBit(const uint32_t (&mask)[kVfMaskWords], int index) {
    return index >= 0 && index < kVfMaskWords * 32 && ((mask[index / 32] >> (index % 32)) & 1u) != 0;
}

// ---- Clock domains information (version 1) ----

struct ClkDomainInfo {
    uint32_t type;      // VfEntryType
    uint32_t domainId;  // 0 graphics, 4 memory, 7 processor
    uint32_t reserved1[8];
    int32_t freqOffsetMaxKhz;  // programmable domains only
    int32_t freqOffsetMinKhz;
    uint32_t vfPointRange;     // byte 0 first point index, byte 1 last point index
    uint32_t reserved2[5];
};
static_assert(sizeof(ClkDomainInfo) == 18 * 4);
static_assert(offsetof(ClkDomainInfo, freqOffsetMaxKhz) == 10 * 4);
static_assert(offsetof(ClkDomainInfo, freqOffsetMinKhz) == 11 * 4);
static_assert(offsetof(ClkDomainInfo, vfPointRange) == 12 * 4);

constexpr uint8_t VfPointFirst(uint32_t range) { return static_cast<uint8_t>(range & 0xFF); }
constexpr uint8_t VfPointLast(uint32_t range) { return static_cast<uint8_t>((range >> 8) & 0xFF); }
constexpr uint32_t VfPointRange(uint8_t first, uint8_t last) { return uint32_t(first) | (uint32_t(last) << 8); }

struct ClkDomainsInfo {
    uint32_t version;
    uint32_t domainMask[kVfMaskWords];
    uint32_t reserved;
    ClkDomainInfo domains[kVfMaxDomains];
};
static_assert(sizeof(ClkDomainsInfo) == 2344);
static_assert(offsetof(ClkDomainsInfo, domainMask) == 4);
static_assert(offsetof(ClkDomainsInfo, domains) == 40);
inline constexpr uint32_t kClkDomainsInfoVer = MakeVersion(sizeof(ClkDomainsInfo), 1);
static_assert(kClkDomainsInfoVer == 0x10928);

// ---- VF points information (version 1) ----

struct ClkVfPointInfo {
    uint32_t type;       // VfEntryType
    uint32_t flags;      // byte 0: bVoltageBased
    uint32_t reserved[4];
};
static_assert(sizeof(ClkVfPointInfo) == 6 * 4);

struct ClkVfPointsInfo {
    uint32_t version;
    uint32_t vfPointMask[kVfMaskWords];
    uint32_t reserved[8];
    ClkVfPointInfo points[kVfMaxPoints];
};
static_assert(sizeof(ClkVfPointsInfo) == 6188);
static_assert(offsetof(ClkVfPointsInfo, vfPointMask) == 4);
static_assert(offsetof(ClkVfPointsInfo, points) == 68);
inline constexpr uint32_t kClkVfPointsInfoVer = MakeVersion(sizeof(ClkVfPointsInfo), 1);
static_assert(kClkVfPointsInfoVer == 0x1182C);

/// The caller's buffer of one information read: domains, then points.
struct ClkVfInfo {
    ClkDomainsInfo domains;
    ClkVfPointsInfo points;
};
static_assert(sizeof(ClkVfInfo) == 8532);
static_assert(offsetof(ClkVfInfo, points) == 2344);

// ---- VF points control (version 2) ----

struct ClkVfPointControl {
    uint32_t type;  // VfEntryType
    uint32_t reserved1[4];
    int32_t freqOffsetKhz;
    uint32_t reserved2[3];
};
static_assert(sizeof(ClkVfPointControl) == 9 * 4);
static_assert(offsetof(ClkVfPointControl, freqOffsetKhz) == 5 * 4);

struct ClkVfPointsControl {
    uint32_t version;
    uint32_t mask[kVfMaskWords];  // the points the request covers
    uint32_t reserved[8];
    ClkVfPointControl points[kVfMaxPoints];
};
static_assert(sizeof(ClkVfPointsControl) == 9248);
static_assert(offsetof(ClkVfPointsControl, mask) == 4);
static_assert(offsetof(ClkVfPointsControl, points) == 68);
inline constexpr uint32_t kClkVfPointsControlVer = MakeVersion(sizeof(ClkVfPointsControl), 2);
static_assert(kClkVfPointsControlVer == 0x22420);

using ClkDomainsGetInfoFn = int32_t (*)(PhysicalGpuHandle gpu, ClkDomainsInfo* info);
using ClkVfPointsGetInfoFn = int32_t (*)(PhysicalGpuHandle gpu, ClkVfPointsInfo* info);
using ClkVfPointsControlFn = int32_t (*)(PhysicalGpuHandle gpu, ClkVfPointsControl* control);

}  // namespace vx::nvapi
