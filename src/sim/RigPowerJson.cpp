// Power and thermal policies and the driver settings base profile in rig files. Power limits
// are given in 1/1000 percent as the driver reports them; temperatures in °C, in steps of
// 1/256 °C so they stay exact.
#include "sim/RigPowerJson.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <set>

#include "sim/RigJsonSupport.h"
#include <string_view>

namespace vx::sim {
namespace {

using nlohmann::json;
using rigjson::Element;
using rigjson::Found;
using rigjson::Member;

using rigjson::Bool;
using rigjson::FieldError;
using rigjson::RequireObject;

uint32_t Unsigned32(const json& node, const std::string& path, std::string_view key, uint32_t fallback) {
    return static_cast<uint32_t>(rigjson::Number(node, path, key, 0, std::numeric_limits<uint32_t>::max(), fallback));
}

// °C in whole steps of 1/256, from -1000 to 1000.
int32_t Temperature(const json& node, const std::string& path, std::string_view key, int32_t fallback) {
    auto found = node.find(std::string(key));
    if (found == node.end()) return fallback;
    const std::string where = Member(path, key);
    if (!found->is_number()) throw FieldError{where, "expected a temperature in °C, " + Found(*found)};
    const double celsius = found->get<double>();
    const double units = celsius * nvapi::kThermalUnitsPerC;
    if (!(celsius >= -1000.0 && celsius <= 1000.0) || units != std::floor(units))
        throw FieldError{where, "expected °C from -1000 to 1000 in steps of 1/256, " + Found(*found)};
    return static_cast<int32_t>(units);
}

template <typename T>
std::vector<T> ReadList(const json& node, const std::string& path, std::string_view key, std::vector<T> fallback,
                        std::size_t maximum, T (*read)(const json&, const std::string&)) {
    auto found = node.find(std::string(key));
    if (found == node.end()) return fallback;
    const std::string where = Member(path, key);
    if (!found->is_array()) throw FieldError{where, "expected an array of policies, " + Found(*found)};
    if (found->size() > maximum)
        throw FieldError{where, "expected at most " + std::to_string(maximum) + " policies, found " +
                                         std::to_string(found->size())};
    std::vector<T> items;
    std::set<uint32_t> ids;
    for (std::size_t i = 0; i < found->size(); ++i) {
        T item = read((*found)[i], Element(where, i));
        if (!ids.insert(item.policyId).second)
            throw FieldError{Member(Element(where, i), "policyId"),
                                  "expected a policy ID no other policy uses, found " + std::to_string(item.policyId) +
                                      " again"};
        items.push_back(item);
    }
    return items;
}

PowerPolicyConfig ReadPowerPolicy(const json& node, const std::string& path) {
    RequireObject(node, path, {"policyId", "channel", "minMilliPercent", "defaultMilliPercent", "maxMilliPercent"});
    PowerPolicyConfig policy;
    policy.policyId = Unsigned32(node, path, "policyId", policy.policyId);
    policy.channel = Unsigned32(node, path, "channel", policy.channel);
    policy.minMilliPercent = Unsigned32(node, path, "minMilliPercent", policy.minMilliPercent);
    policy.defaultMilliPercent = Unsigned32(node, path, "defaultMilliPercent", policy.defaultMilliPercent);
    policy.maxMilliPercent = Unsigned32(node, path, "maxMilliPercent", policy.maxMilliPercent);
    if (policy.minMilliPercent > policy.defaultMilliPercent || policy.defaultMilliPercent > policy.maxMilliPercent)
        throw FieldError{Member(path, "defaultMilliPercent"),
                              "expected minMilliPercent <= defaultMilliPercent <= maxMilliPercent"};
    return policy;
}

ThermalPolicyConfig ReadThermalPolicy(const json& node, const std::string& path) {
    RequireObject(node, path, {"policyId", "channel", "minC", "defaultC", "maxC", "acousticAvailable"});
    ThermalPolicyConfig policy;
    policy.policyId = Unsigned32(node, path, "policyId", policy.policyId);
    policy.channel = Unsigned32(node, path, "channel", policy.channel);
    policy.minUnits = Temperature(node, path, "minC", policy.minUnits);
    policy.defaultUnits = Temperature(node, path, "defaultC", policy.defaultUnits);
    policy.maxUnits = Temperature(node, path, "maxC", policy.maxUnits);
    policy.acousticAvailable = Bool(node, path, "acousticAvailable", policy.acousticAvailable);
    if (policy.minUnits > policy.defaultUnits || policy.defaultUnits > policy.maxUnits)
        throw FieldError{Member(path, "defaultC"), "expected minC <= defaultC <= maxC"};
    return policy;
}

// "0x..." hexadecimal or decimal, the whole key, at most 32 bits.
bool ParseSettingId(const std::string& text, uint32_t& id) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > (hex ? 8u : 10u)) return false;
    uint64_t value = 0;
    for (char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return false;
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    }
    if (value > std::numeric_limits<uint32_t>::max()) return false;
    id = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

PowerConfig ReadPowerConfig(const json& node, const std::string& path) {
    RequireObject(node, path, {"powerSupported", "powerPolicies", "thermalSupported", "thermalPolicies"});
    PowerConfig config;
    config.powerSupported = Bool(node, path, "powerSupported", config.powerSupported);
    config.powerPolicies =
        ReadList(node, path, "powerPolicies", config.powerPolicies, kMaxRigPowerPolicies, &ReadPowerPolicy);
    config.thermalSupported = Bool(node, path, "thermalSupported", config.thermalSupported);
    config.thermalPolicies =
        ReadList(node, path, "thermalPolicies", config.thermalPolicies, kMaxRigThermalPolicies, &ReadThermalPolicy);
    return config;
}

std::map<uint32_t, uint32_t> ReadDrsBaseProfile(const json& node, const std::string& path) {
    if (!node.is_object()) throw FieldError{path, "expected an object of setting IDs to values, " + Found(node)};
    std::map<uint32_t, uint32_t> settings;
    for (const auto& item : node.items()) {
        const std::string where = Member(path, item.key());
        uint32_t id = 0;
        if (!ParseSettingId(item.key(), id))
            throw FieldError{where, "expected a setting ID (\"0x10834FEE\" or decimal) as the key"};
        if (settings.count(id)) throw FieldError{where, "expected a setting not listed before"};
        settings[id] = Unsigned32(node, path, item.key(), 0);
    }
    return settings;
}

}  // namespace vx::sim
