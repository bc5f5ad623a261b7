#pragma once
// Reading a GPU's `telemetry` object of a rig file. Only the rig reader includes this.
#include "sim/TelemetryConfig.h"

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace vx::sim {

/// Reads a `telemetry` object found at JSON path `path`; fields left out take their defaults.
/// Throws rigjson::FieldError.
TelemetryConfig ReadTelemetryConfig(const nlohmann::json& node, const std::string& path);

}  // namespace vx::sim
