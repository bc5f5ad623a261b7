#pragma once
// Reading a GPU's `cooler` object of a rig file. Only the rig reader includes this.
#include "sim/CoolerConfig.h"

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace vx::sim {

/// A cooler field that cannot be used: its JSON path and what was expected.
struct CoolerFieldError {
    std::string path;
    std::string problem;
};

/// Reads a `cooler` object found at JSON path `path`. Throws CoolerFieldError.
CoolerConfig ReadCoolerConfig(const nlohmann::json& node, const std::string& path);

}  // namespace vx::sim
