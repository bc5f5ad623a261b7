#pragma once
// Reading a GPU's `vf` object of a rig file. Only the rig reader includes this.
#include "sim/VfConfig.h"

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace vx::sim {

/// Reads a `vf` object found at JSON path `path`. Throws rigjson::FieldError.
VfConfig ReadVfConfig(const nlohmann::json& node, const std::string& path);

}  // namespace vx::sim
