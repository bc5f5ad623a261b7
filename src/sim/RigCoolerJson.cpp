// The coolers of a rig file's GPU: {units: [{type, minLevel, maxLevel, level, policy}],
// fanStopCapable, fanStopped}.
#include "sim/RigCoolerJson.h"
#include "sim/RigJsonSupport.h"

#include <nlohmann/json.hpp>

#include <string_view>

namespace vx::sim {
namespace {

using nlohmann::json;
using rigjson::FieldError;
using rigjson::Member;

uint32_t Number(const json& node, const std::string& path, std::string_view key, uint32_t maximum,
                uint32_t fallback) {
    return static_cast<uint32_t>(rigjson::Number(node, path, key, 0, maximum, fallback));
}

CoolerUnit ReadUnit(const json& node, const std::string& path) {
    rigjson::RequireObject(node, path, {"type", "minLevel", "maxLevel", "level", "policy"});
    CoolerUnit unit;
    unit.type = Number(node, path, "type", 0xFFFFFFFF, unit.type);
    unit.minLevel = Number(node, path, "minLevel", 100, unit.minLevel);
    unit.maxLevel = Number(node, path, "maxLevel", 100, unit.maxLevel);
    if (unit.minLevel > unit.maxLevel)
        throw FieldError{Member(path, "minLevel"), "expected at most maxLevel (" + std::to_string(unit.maxLevel) +
                                                       "), found " + std::to_string(unit.minLevel)};
    unit.level = Number(node, path, "level", 100, unit.level);
    unit.policy = Number(node, path, "policy", 0xFFFFFFFF, unit.policy);
    return unit;
}

}  // namespace

CoolerConfig ReadCoolerConfig(const json& node, const std::string& path) {
    rigjson::RequireObject(node, path, {"units", "fanStopCapable", "fanStopped"});
    CoolerConfig config;
    if (node.contains("units")) config.units = rigjson::List(node, path, "units", kMaxRigCoolers, "coolers", ReadUnit);
    config.fanStopCapable = rigjson::Bool(node, path, "fanStopCapable", config.fanStopCapable);
    config.fanStopped = rigjson::Bool(node, path, "fanStopped", config.fanStopped);
    return config;
}

}  // namespace vx::sim
