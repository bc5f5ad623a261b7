// A GPU's `telemetry` object: sensors, rated clocks and the thermal model's constants. Fields
// left out take defaults, some derived from fields given, so a partial object stays consistent.
#include "sim/RigTelemetryJson.h"
#include "sim/RigJsonSupport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <string_view>

namespace vx::sim {
namespace {

using nlohmann::json;
using rigjson::Element;
using rigjson::Found;
using rigjson::Member;

using rigjson::FieldError;
using rigjson::Integer;
using rigjson::RequireObject;

constexpr int64_t kMaxKhz = std::numeric_limits<int32_t>::max();
constexpr int64_t kMaxDurationMs = 24 * 3600 * 1000;  // a day

struct NamedTarget {
    std::string_view name;
    int32_t code;
};

constexpr NamedTarget kTargets[] = {
    {"none", nvapi::kThermalTargetNone},
    {"gpu", nvapi::kThermalTargetGpu},
    {"memory", nvapi::kThermalTargetMemory},
    {"powerSupply", nvapi::kThermalTargetPowerSupply},
    {"board", nvapi::kThermalTargetBoard},
};

struct NamedPattern {
    std::string_view name;
    LoadPatternKind kind;
};

constexpr NamedPattern kPatterns[] = {
    {"constant", LoadPatternKind::Constant},
    {"square", LoadPatternKind::Square},
    {"ramp", LoadPatternKind::Ramp},
    {"steps", LoadPatternKind::Steps},
};

class TelemetryReader {
public:
    TelemetryReader(const json& node, std::string path) : node_(node), path_(std::move(path)) {}

    bool Has(std::string_view key) const { return node_.contains(key); }
    std::string PathOf(std::string_view key) const { return Member(path_, key); }

    int64_t Number(std::string_view key, int64_t min, int64_t max, int64_t fallback) const {
        auto it = node_.find(key);
        if (it == node_.end()) return fallback;
        return Integer(*it, PathOf(key), min, max);
    }
    uint32_t Unsigned(std::string_view key, int64_t max, int64_t fallback) const {
        return static_cast<uint32_t>(Number(key, 0, max, std::min(fallback, max)));
    }
    int32_t Signed(std::string_view key, int64_t min, int64_t max, int64_t fallback) const {
        return static_cast<int32_t>(Number(key, min, max, fallback));
    }
    bool Bool(std::string_view key, bool fallback) const {
        auto it = node_.find(key);
        if (it == node_.end()) return fallback;
        if (!it->is_boolean()) throw FieldError{PathOf(key), "expected true or false, " + Found(*it)};
        return it->get<bool>();
    }
    /// `value` (of field `key`) must be at least `lower`, which field `lowerKey` set.
    void AtLeast(std::string_view key, uint32_t value, std::string_view lowerKey, uint32_t lower) const {
        if (value < lower)
            throw FieldError{PathOf(key), "expected at least " + std::string(lowerKey) + " (" +
                                                       std::to_string(lower) + "), found " + std::to_string(value)};
    }

    /// `value` (of field `key`) must be at most `upper`, which field `upperKey` set.
    void AtMost(std::string_view key, uint32_t value, std::string_view upperKey, uint32_t upper) const {
        if (value > upper)
            throw FieldError{PathOf(key), "expected at most " + std::string(upperKey) + " (" +
                                                       std::to_string(upper) + "), found " + std::to_string(value)};
    }

private:
    const json& node_;
    std::string path_;
};

ThermalSensorConfig ReadSensor(const json& node, const std::string& path) {
    RequireObject(node, path, {"controller", "target", "offsetC", "defaultMinC", "defaultMaxC"});
    TelemetryReader in(node, path);
    ThermalSensorConfig sensor;
    sensor.controller = in.Signed("controller", 0, 255, sensor.controller);
    if (auto target = node.find("target"); target != node.end()) {
        if (target->is_string()) {
            const std::string text = target->get<std::string>();
            auto named = std::find_if(std::begin(kTargets), std::end(kTargets),
                                      [&](const NamedTarget& t) { return t.name == text; });
            if (named == std::end(kTargets))
                throw FieldError{in.PathOf("target"), "expected a number from 0 to 255 or one of none, gpu, "
                                                               "memory, powerSupply, board, found \"" + text + "\""};
            sensor.target = named->code;
        } else {
            sensor.target = static_cast<int32_t>(Integer(*target, in.PathOf("target"), 0, 255));
        }
    }
    sensor.offsetC = in.Signed("offsetC", -100, 100, sensor.offsetC);
    sensor.defaultMinC = in.Signed("defaultMinC", -256, 256, sensor.defaultMinC);
    sensor.defaultMaxC = in.Signed("defaultMaxC", -256, 256, sensor.defaultMaxC);
    if (sensor.defaultMaxC < sensor.defaultMinC)
        throw FieldError{in.PathOf("defaultMaxC"), "expected at least defaultMinC (" +
                                                                std::to_string(sensor.defaultMinC) + "), found " +
                                                                std::to_string(sensor.defaultMaxC)};
    return sensor;
}

std::vector<ThermalSensorConfig> ReadSensors(const json& node, const std::string& path) {
    if (!node.is_array()) throw FieldError{path, "expected an array of sensors, " + Found(node)};
    if (node.size() > kMaxRigSensors)
        throw FieldError{path, "expected at most " + std::to_string(kMaxRigSensors) + " sensors, found " +
                                            std::to_string(node.size())};
    std::vector<ThermalSensorConfig> sensors;
    for (std::size_t i = 0; i < node.size(); ++i) sensors.push_back(ReadSensor(node[i], Element(path, i)));
    return sensors;
}

LoadPattern ReadLoad(const json& node, const std::string& path) {
    if (!node.is_object()) throw FieldError{path, "expected an object, " + Found(node)};
    auto kindNode = node.find("pattern");
    if (kindNode == node.end())
        throw FieldError{Member(path, "pattern"),
                                  "required field missing (expected constant, square, ramp or steps)"};
    const std::string kindText = kindNode->is_string() ? kindNode->get<std::string>() : std::string();
    auto named = std::find_if(std::begin(kPatterns), std::end(kPatterns),
                              [&](const NamedPattern& p) { return p.name == kindText; });
    if (named == std::end(kPatterns))
        throw FieldError{Member(path, "pattern"), "expected constant, square, ramp or steps, " +
                                                               (kindNode->is_string() ? "found \"" + kindText + "\""
                                                                                      : Found(*kindNode))};
    LoadPattern load;
    load.kind = named->kind;
    TelemetryReader in(node, path);
    switch (load.kind) {
    case LoadPatternKind::Constant:
        RequireObject(node, path, {"pattern", "percent"});
        load.percent = in.Unsigned("percent", 100, load.percent);
        break;
    case LoadPatternKind::Square:
        RequireObject(node, path, {"pattern", "lowPercent", "highPercent", "highMs", "lowMs"});
        load.lowPercent = in.Unsigned("lowPercent", 100, load.lowPercent);
        load.highPercent = in.Unsigned("highPercent", 100, load.highPercent);
        load.highMs = static_cast<uint32_t>(in.Number("highMs", kModelStepMs, kMaxDurationMs, load.highMs));
        load.lowMs = static_cast<uint32_t>(in.Number("lowMs", kModelStepMs, kMaxDurationMs, load.lowMs));
        break;
    case LoadPatternKind::Ramp:
        RequireObject(node, path, {"pattern", "lowPercent", "highPercent", "periodMs"});
        load.lowPercent = in.Unsigned("lowPercent", 100, load.lowPercent);
        load.highPercent = in.Unsigned("highPercent", 100, load.highPercent);
        load.periodMs = static_cast<uint32_t>(in.Number("periodMs", kModelStepMs, kMaxDurationMs, load.periodMs));
        break;
    case LoadPatternKind::Steps: {
        RequireObject(node, path, {"pattern", "percents", "stepMs"});
        const std::string listPath = Member(path, "percents");
        auto list = node.find("percents");
        if (list == node.end()) throw FieldError{listPath, "required field missing (expected percents)"};
        if (!list->is_array() || list->empty() || list->size() > kMaxLoadSteps)
            throw FieldError{listPath, "expected an array of 1 to " + std::to_string(kMaxLoadSteps) +
                                                    " percents, " +
                                                    (list->is_array() ? "found " + std::to_string(list->size()) +
                                                                            " of them"
                                                                      : Found(*list))};
        for (std::size_t i = 0; i < list->size(); ++i)
            load.percents.push_back(static_cast<uint32_t>(Integer((*list)[i], Element(listPath, i), 0, 100)));
        load.stepMs = static_cast<uint32_t>(in.Number("stepMs", kModelStepMs, kMaxDurationMs, load.stepMs));
        break;
    }
    }
    return load;
}

}  // namespace

TelemetryConfig ReadTelemetryConfig(const json& node, const std::string& path) {
    RequireObject(node, path,
                  {"sensors", "baseClockKhz", "boostClockKhz", "idleClockKhz", "maxClockKhz", "memoryClockKhz",
                   "idleMemoryClockKhz", "processorDomain", "minVoltageUv", "maxVoltageUv", "defaultPowerW",
                   "idlePowerW", "maxPowerW", "ambientC", "thermalResistanceMilliCPerW", "fanCoolingPercent",
                   "timeConstantMs", "maxFanRpm", "tachPresent", "load"});
    TelemetryReader in(node, path);
    TelemetryConfig config;
    if (auto sensors = node.find("sensors"); sensors != node.end())
        config.sensors = ReadSensors(*sensors, in.PathOf("sensors"));

    // Defaults follow the fields given: boost 10 % above base, the model's top clock halfway
    // past boost again, idle below base.
    config.baseClockKhz = in.Unsigned("baseClockKhz", kMaxKhz, config.baseClockKhz);
    config.boostClockKhz = in.Unsigned("boostClockKhz", kMaxKhz, int64_t{config.baseClockKhz} * 11 / 10);
    in.AtLeast("boostClockKhz", config.boostClockKhz, "baseClockKhz", config.baseClockKhz);
    config.idleClockKhz = in.Unsigned("idleClockKhz", kMaxKhz, std::min(config.idleClockKhz, config.baseClockKhz));
    in.AtMost("idleClockKhz", config.idleClockKhz, "baseClockKhz", config.baseClockKhz);
    config.maxClockKhz = in.Unsigned("maxClockKhz", kMaxKhz,
                                     config.boostClockKhz + (int64_t{config.boostClockKhz} - config.baseClockKhz) / 2);
    in.AtLeast("maxClockKhz", config.maxClockKhz, "baseClockKhz", config.baseClockKhz);
    config.memoryClockKhz = in.Unsigned("memoryClockKhz", kMaxKhz, config.memoryClockKhz);
    config.idleMemoryClockKhz = in.Unsigned("idleMemoryClockKhz", kMaxKhz,
                                            std::min(config.idleMemoryClockKhz, config.memoryClockKhz));
    in.AtMost("idleMemoryClockKhz", config.idleMemoryClockKhz, "memoryClockKhz", config.memoryClockKhz);
    config.processorDomain = in.Bool("processorDomain", config.processorDomain);

    config.minVoltageUv = in.Unsigned("minVoltageUv", 10000000, config.minVoltageUv);
    config.maxVoltageUv = in.Unsigned("maxVoltageUv", 10000000, std::max(config.maxVoltageUv, config.minVoltageUv));
    in.AtLeast("maxVoltageUv", config.maxVoltageUv, "minVoltageUv", config.minVoltageUv);

    config.defaultPowerW = static_cast<uint32_t>(in.Number("defaultPowerW", 1, 10000, config.defaultPowerW));
    config.idlePowerW = in.Unsigned("idlePowerW", 10000, config.defaultPowerW / 10);
    config.maxPowerW = in.Unsigned("maxPowerW", 10000, config.defaultPowerW - config.defaultPowerW / 15);
    in.AtLeast("maxPowerW", config.maxPowerW, "idlePowerW", config.idlePowerW);

    config.ambientC = in.Signed("ambientC", -40, 80, config.ambientC);
    config.thermalResistanceMilliCPerW =
        in.Unsigned("thermalResistanceMilliCPerW", 100000, config.thermalResistanceMilliCPerW);
    config.fanCoolingPercent = in.Unsigned("fanCoolingPercent", 100, config.fanCoolingPercent);
    config.timeConstantMs =
        static_cast<uint32_t>(in.Number("timeConstantMs", kModelStepMs, kMaxDurationMs, config.timeConstantMs));
    config.maxFanRpm = in.Unsigned("maxFanRpm", 100000, config.maxFanRpm);
    config.tachPresent = in.Bool("tachPresent", config.tachPresent);
    if (auto load = node.find("load"); load != node.end()) config.load = ReadLoad(*load, in.PathOf("load"));
    return config;
}

}  // namespace vx::sim
