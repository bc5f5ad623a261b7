#pragma once
// Reading a GPU's `telemetry` object of a rig file. Only the rig reader includes this.
#include "sim/TelemetryConfig.h"

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace vx::sim {

/// A telemetry field that cannot be used: its JSON path and what was expected.
struct TelemetryFieldError {
    std::string path;
    std::string problem;
};

/// Reads a `telemetry` object found at JSON path `path`; fields left out take their defaults.
/// Throws TelemetryFieldError.
TelemetryConfig ReadTelemetryConfig(const nlohmann::json& node, const std::string& path);

}  // namespace vx::sim
