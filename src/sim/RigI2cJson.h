#pragma once
// Reading a GPU's `i2cDevices` array of a rig file. Only the rig reader includes this.
#include "sim/I2cDeviceConfig.h"

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <vector>

namespace vx::sim {

/// Reads an `i2cDevices` array found at JSON path `path`. Throws rigjson::FieldError.
std::vector<I2cDeviceConfig> ReadI2cDevices(const nlohmann::json& node, const std::string& path);

}  // namespace vx::sim
