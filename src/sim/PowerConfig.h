#pragma once
// What a rig says about a GPU's client power and thermal policies (ranges and defaults), the
// live targets the driver was told, and the driver settings database (DRS) with its sessions.
#include "gpu/PowerStructs.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace vx::sim {

struct PowerPolicyConfig {
    uint32_t policyId = nvapi::kPowerPolicyTotalGpu;
    uint32_t channel = 0;
    uint32_t minMilliPercent = 50000;
    uint32_t defaultMilliPercent = 100000;
    uint32_t maxMilliPercent = 120000;

    bool operator==(const PowerPolicyConfig&) const = default;
};

struct ThermalPolicyConfig {
    uint32_t policyId = nvapi::kThermalPolicyAcoustic;
    uint32_t channel = 0;
    int32_t minUnits = 60 * nvapi::kThermalUnitsPerC;  // 1/256 °C
    int32_t defaultUnits = 83 * nvapi::kThermalUnitsPerC;
    int32_t maxUnits = 92 * nvapi::kThermalUnitsPerC;
    bool acousticAvailable = true;

    bool operator==(const ThermalPolicyConfig&) const = default;
};

struct PowerConfig {
    // Built by functions: g++ 12 warns about a braced vector default here.
    static std::vector<PowerPolicyConfig> DefaultPowerPolicies() { return std::vector<PowerPolicyConfig>(1); }
    static std::vector<ThermalPolicyConfig> DefaultThermalPolicies() {
        std::vector<ThermalPolicyConfig> policies(2);
        policies[0].policyId = nvapi::kThermalPolicyGps;
        policies[0].acousticAvailable = false;
        return policies;
    }

    bool powerSupported = true;  // false: the information read reports the policies invalid
    std::vector<PowerPolicyConfig> powerPolicies = DefaultPowerPolicies();  // at most 4
    bool thermalSupported = true;
    std::vector<ThermalPolicyConfig> thermalPolicies = DefaultThermalPolicies();  // at most 4

    bool operator==(const PowerConfig&) const = default;
};

inline constexpr std::size_t kMaxRigPowerPolicies = nvapi::kMaxPowerPolicies;
inline constexpr std::size_t kMaxRigThermalPolicies = nvapi::kMaxThermalPolicies;

/// The targets written to one GPU; a policy not written yet is at its default.
struct GpuPowerState {
    std::map<uint32_t, uint32_t> powerLimits;     // policy ID -> 1/1000 percent
    std::map<uint32_t, int32_t> thermalLimits;    // policy ID -> 1/256 °C
    std::map<uint32_t, uint32_t> thermalFlags;    // policy ID -> status flags

    bool operator==(const GpuPowerState&) const = default;
};

/// The driver settings: the saved base profile and the open sessions' working copies.
struct DrsState {
    std::optional<std::map<uint32_t, uint32_t>> saved;  // from the rig until the first save
    uint32_t nextSession = 1;
    std::map<uint32_t, std::optional<std::map<uint32_t, uint32_t>>> sessions;  // loaded copy or none yet
};

}  // namespace vx::sim
