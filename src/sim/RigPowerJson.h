#pragma once
// Rig JSON for a GPU's `power` object (client power and thermal policies) and the rig's
// `drsBaseProfile` object (driver settings of the base profile).
#include "sim/PowerConfig.h"

#include <nlohmann/json_fwd.hpp>

#include <map>
#include <string>

namespace vx::sim {

/// Reads a `power` object found at JSON path `path`; fields left out take their defaults.
/// Throws rigjson::FieldError.
PowerConfig ReadPowerConfig(const nlohmann::json& node, const std::string& path);
/// Reads `drsBaseProfile`: setting IDs ("0x10834FEE" or decimal) to 32-bit values.
/// Throws rigjson::FieldError.
std::map<uint32_t, uint32_t> ReadDrsBaseProfile(const nlohmann::json& node, const std::string& path);

}  // namespace vx::sim
