#pragma once
// Reading a GPU's `displays` array of a rig file. Only the rig reader includes this.
#include "sim/DisplayConfig.h"

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <vector>

namespace vx::sim {

/// Reads the `displays` array of the GPU `gpu` at JSON path `gpuPath` (empty when absent).
/// Throws rigjson::FieldError.
std::vector<DisplayModel> ReadDisplays(const nlohmann::json& gpu, const std::string& gpuPath);

}  // namespace vx::sim
