#pragma once
// Rig JSON for a GPU's `power` object (client power and thermal policies) and the rig's
// `drsBaseProfile` object (driver settings of the base profile).
#include "sim/PowerConfig.h"

#include <nlohmann/json_fwd.hpp>

#include <map>
#include <string>

namespace vx::sim {

/// A power or driver-settings field that cannot be used: its JSON path and what was expected.
struct PowerFieldError {
    std::string path;
    std::string problem;
};

/// Reads a `power` object found at JSON path `path`; fields left out take their defaults.
/// Throws PowerFieldError.
PowerConfig ReadPowerConfig(const nlohmann::json& node, const std::string& path);
/// Reads `drsBaseProfile`: setting IDs ("0x10834FEE" or decimal) to 32-bit values.
/// Throws PowerFieldError.
std::map<uint32_t, uint32_t> ReadDrsBaseProfile(const nlohmann::json& node, const std::string& path);

}  // namespace vx::sim
