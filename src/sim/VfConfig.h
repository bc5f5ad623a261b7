#pragma once
// A simulated GPU's clock VF points: the programmable domains with their point ranges and
// offset limits, and up to 255 points with the offsets written to them.
#include "gpu/VfStructs.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vx::sim {

struct VfDomainConfig {
    uint32_t type = nvapi::kVfTypeProg;
    uint32_t domainId = nvapi::kClockDomainGraphics;
    int32_t offsetMaxKhz = 0;
    int32_t offsetMinKhz = 0;
    uint8_t firstPoint = 0;
    uint8_t lastPoint = 0;

    bool operator==(const VfDomainConfig&) const = default;
};

struct VfPointConfig {
    uint32_t type = nvapi::kVfTypeProg;
    bool voltageBased = false;
    int32_t offsetKhz = 0;  // what was written (starts from the rig's value)

    bool operator==(const VfPointConfig&) const = default;
};

/// Domains by slot (at most 32) and points by index (at most 255); empty: no VF interface.
struct VfConfig {
    std::vector<VfDomainConfig> domains;
    std::vector<VfPointConfig> points;

    bool empty() const { return domains.empty() && points.empty(); }
    bool operator==(const VfConfig&) const = default;
};

inline constexpr std::size_t kMaxVfDomains = nvapi::kVfMaxDomains;
inline constexpr std::size_t kMaxVfPoints = nvapi::kVfMaxPoints;

/// The programmable domain whose range holds `point`, or null.
inline const VfDomainConfig* VfDomainOfPoint(const VfConfig& vf, std::size_t point) {
    for (const VfDomainConfig& domain : vf.domains)
        if (domain.type == nvapi::kVfTypeProg && point >= domain.firstPoint && point <= domain.lastPoint)
            return &domain;
    return nullptr;
}

/// The offset in force for `domainId`: that of the last point of its range; 0 without one.
inline int32_t VfDomainOffsetKhz(const VfConfig& vf, uint32_t domainId) {
    for (const VfDomainConfig& domain : vf.domains) {
        if (domain.type != nvapi::kVfTypeProg || domain.domainId != domainId) continue;
        if (domain.lastPoint < vf.points.size() && domain.firstPoint <= domain.lastPoint)
            return vf.points[domain.lastPoint].offsetKhz;
    }
    return 0;
}

}  // namespace vx::sim
