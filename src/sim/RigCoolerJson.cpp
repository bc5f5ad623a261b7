// The coolers of a rig file's GPU: {units: [{type, minLevel, maxLevel, level, policy}],
// fanStopCapable, fanStopped}.
#include "sim/RigCoolerJson.h"

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <string_view>

namespace vx::sim {
namespace {

using nlohmann::json;

std::string Member(const std::string& base, std::string_view key) { return base + "." + std::string(key); }

std::string Found(const json& value) {
    if (value.is_number()) return "found " + value.dump();
    return std::string("found ") + value.type_name();
}

void RequireObject(const json& node, const std::string& path, std::initializer_list<std::string_view> known) {
    if (!node.is_object()) throw CoolerFieldError{path, "expected an object, " + Found(node)};
    for (auto it = node.begin(); it != node.end(); ++it) {
        bool ok = false;
        for (std::string_view key : known) ok = ok || key == it.key();
        if (!ok) throw CoolerFieldError{Member(path, it.key()), "unknown field"};
    }
}

uint32_t Number(const json& node, const std::string& path, std::string_view key, uint32_t maximum,
                uint32_t fallback) {
    auto it = node.find(std::string(key));
    if (it == node.end()) return fallback;
    if (!it->is_number_integer() || it->get<int64_t>() < 0 || it->get<int64_t>() > int64_t{maximum})
        throw CoolerFieldError{Member(path, key),
                               "expected an integer from 0 to " + std::to_string(maximum) + ", " + Found(*it)};
    return it->get<uint32_t>();
}

bool Flag(const json& node, const std::string& path, std::string_view key, bool fallback) {
    auto it = node.find(std::string(key));
    if (it == node.end()) return fallback;
    if (!it->is_boolean()) throw CoolerFieldError{Member(path, key), "expected true or false, " + Found(*it)};
    return it->get<bool>();
}

CoolerUnit ReadUnit(const json& node, const std::string& path) {
    RequireObject(node, path, {"type", "minLevel", "maxLevel", "level", "policy"});
    CoolerUnit unit;
    unit.type = Number(node, path, "type", 0xFFFFFFFF, unit.type);
    unit.minLevel = Number(node, path, "minLevel", 100, unit.minLevel);
    unit.maxLevel = Number(node, path, "maxLevel", 100, unit.maxLevel);
    if (unit.minLevel > unit.maxLevel)
        throw CoolerFieldError{Member(path, "minLevel"), "expected at most maxLevel (" +
                                                             std::to_string(unit.maxLevel) + "), found " +
                                                             std::to_string(unit.minLevel)};
    unit.level = Number(node, path, "level", 100, unit.level);
    unit.policy = Number(node, path, "policy", 0xFFFFFFFF, unit.policy);
    return unit;
}

}  // namespace

CoolerConfig ReadCoolerConfig(const json& node, const std::string& path) {
    RequireObject(node, path, {"units", "fanStopCapable", "fanStopped"});
    CoolerConfig config;
    if (auto units = node.find("units"); units != node.end()) {
        const std::string unitsPath = Member(path, "units");
        if (!units->is_array()) throw CoolerFieldError{unitsPath, "expected an array of coolers, " + Found(*units)};
        if (units->size() > kMaxRigCoolers)
            throw CoolerFieldError{unitsPath, "expected at most " + std::to_string(kMaxRigCoolers) +
                                                  " coolers, found " + std::to_string(units->size())};
        config.units.clear();
        for (std::size_t i = 0; i < units->size(); ++i)
            config.units.push_back(ReadUnit((*units)[i], unitsPath + "[" + std::to_string(i) + "]"));
    }
    config.fanStopCapable = Flag(node, path, "fanStopCapable", config.fanStopCapable);
    config.fanStopped = Flag(node, path, "fanStopped", config.fanStopped);
    return config;
}

}  // namespace vx::sim
