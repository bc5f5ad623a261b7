#pragma once
// Reading a GPU's `cooler` object of a rig file. Only the rig reader includes this.
#include "sim/CoolerConfig.h"

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace vx::sim {

/// Reads a `cooler` object found at JSON path `path`. Throws rigjson::FieldError.
CoolerConfig ReadCoolerConfig(const nlohmann::json& node, const std::string& path);

}  // namespace vx::sim
