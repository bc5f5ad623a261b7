#pragma once
// How a rig describes a GPU's coolers. The cooler entries change `policy` and `level` in the
// live rig as the host writes them.
#include "gpu/CoolerStructs.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vx::sim {

inline constexpr uint32_t kCoolerPolicyAutomatic = 0;
inline constexpr uint32_t kCoolerPolicyManual = 1;

struct CoolerUnit {
    uint32_t type = 1;        // 1 fan
    uint32_t minLevel = 30;   // percent
    uint32_t maxLevel = 100;  // percent
    uint32_t level = 30;      // the fixed level, percent; reported while the policy is manual
    uint32_t policy = kCoolerPolicyAutomatic;

    bool operator==(const CoolerUnit&) const = default;
};

/// What the driver's cooler structures can carry.
inline constexpr std::size_t kMaxRigCoolers = 20;

struct CoolerConfig {
    std::vector<CoolerUnit> units{CoolerUnit{}};  // one fan unless the rig says otherwise
    bool fanStopCapable = false;  // the fan may stop at low temperature
    bool fanStopped = false;      // with the capability: the fan stands while automatic

    bool operator==(const CoolerConfig&) const = default;
};

/// The cooler that drives the live model: the first fan among those the driver lists; none
/// gives the cooler count.
inline std::size_t ModelCoolerIndex(const CoolerConfig& config) {
    const std::size_t count = config.units.size() < kMaxRigCoolers ? config.units.size() : kMaxRigCoolers;
    for (std::size_t i = 0; i < count; ++i)
        if (config.units[i].type == nvapi::kCoolerTypeFan) return i;
    return count;
}

}  // namespace vx::sim
