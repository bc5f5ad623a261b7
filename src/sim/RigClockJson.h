#pragma once
// Rig JSON for a GPU's `clocks` object: the P-state 2.0 table, over-voltages, the over-voltage
// percent, the clock boost locks, the perf-limit control and the P-state information words.
#include "sim/ClockConfig.h"

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace vx::sim {

/// Reads a `clocks` object found at JSON path `path`; fields left out take their defaults.
/// Throws rigjson::FieldError.
ClockConfig ReadClockConfig(const nlohmann::json& node, const std::string& path);

}  // namespace vx::sim
