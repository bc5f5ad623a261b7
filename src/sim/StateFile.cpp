// The state file: written values per GPU, each checked against the rig on the way in, so a
// file from another rig or a hand-edited one can never put a value the driver would refuse
// into the live rig.
#include "sim/StateFile.h"

#include "gpu/ClockStructs.h"
#include "platform/AtomicFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <system_error>

namespace vx::sim {
namespace {

using nlohmann::json;

constexpr int kFormat = 1;
constexpr std::size_t kMaxDrsSettings = 4096;
constexpr int64_t kMinInt = std::numeric_limits<int32_t>::min();
constexpr int64_t kMaxInt = std::numeric_limits<int32_t>::max();
constexpr int64_t kMaxWord = std::numeric_limits<uint32_t>::max();

struct StateError {
    std::string problem;
};

std::string HexId(uint32_t id, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(id));
    return text;
}

int64_t IntegerAt(const json& node, const char* key, int64_t min, int64_t max, const std::string& where) {
    auto it = node.find(key);
    std::optional<int64_t> value;
    if (it != node.end() && it->is_number_unsigned()) {
        if (it->get<uint64_t>() <= static_cast<uint64_t>(max)) value = static_cast<int64_t>(it->get<uint64_t>());
    } else if (it != node.end() && it->is_number_integer()) {
        value = it->get<int64_t>();
    }
    if (!value || *value < min || *value > max)
        throw StateError{where + "." + key + ": expected a number from " + std::to_string(min) + " to " +
                         std::to_string(max)};
    return *value;
}

uint32_t WordAt(const json& node, const char* key, const std::string& where) {
    return static_cast<uint32_t>(IntegerAt(node, key, 0, kMaxWord, where));
}

// Calls `read(entry, where)` for each object of the array `key`, if present.
template <typename Read>
void EachEntry(const json& node, const char* key, std::size_t maximum, const std::string& where, Read read) {
    auto list = node.find(key);
    if (list == node.end()) return;
    const std::string at = where + "." + key;
    if (!list->is_array() || list->size() > maximum)
        throw StateError{at + ": expected an array of at most " + std::to_string(maximum) + " entries"};
    for (std::size_t i = 0; i < list->size(); ++i) {
        const std::string itemAt = at + "[" + std::to_string(i) + "]";
        if (!(*list)[i].is_object()) throw StateError{itemAt + ": expected an object"};
        read((*list)[i], itemAt);
    }
}

void RequireInRange(int64_t value, int64_t min, int64_t max, const std::string& where) {
    if (value < min || value > max)
        throw StateError{where + ": " + std::to_string(value) + " is outside the rig's range " + std::to_string(min) +
                         " to " + std::to_string(max)};
}

const LegacyDomain* FindLegacyDomain(const GpuModel& gpu, uint32_t levelId, uint32_t domainId) {
    for (const LegacyLevel& level : gpu.legacyLevels) {
        if (level.levelId != levelId) continue;
        for (const LegacyDomain& domain : level.domains)
            if (domain.domainId == domainId) return &domain;
    }
    return nullptr;
}

// Only what the write entry takes: an editable entry of an editable P-state.
const Pstate20Config* EditablePstate(const GpuModel& gpu, uint32_t pstateId) {
    for (const Pstate20Config& pstate : gpu.clocks.pstates)
        if (pstate.pstateId == pstateId) return pstate.editable ? &pstate : nullptr;
    return nullptr;
}

template <typename Entry>
const Entry* EditableEntry(const std::vector<Entry>& entries, uint32_t domainId) {
    for (const Entry& entry : entries)
        if (entry.domainId == domainId) return entry.editable ? &entry : nullptr;
    return nullptr;
}

void ReadClockSections(const json& node, const GpuModel& gpu, PersistedGpuState& state, const std::string& where) {
    // A table that takes no writes cannot have written deltas.
    const std::size_t editable = gpu.clocks.pstatesEditable ? gpu.clocks.pstates.size() : 0;
    const std::size_t maxPstateEntries = editable * nvapi::kPstates20MaxClocks;
    EachEntry(node, "pstateClocks", maxPstateEntries, where, [&](const json& entry, const std::string& at) {
        const uint32_t pstateId = WordAt(entry, "pstateId", at);
        const uint32_t domainId = WordAt(entry, "domainId", at);
        const Pstate20Config* pstate = EditablePstate(gpu, pstateId);
        const Pstate20ClockConfig* clock = pstate ? EditableEntry(pstate->clocks, domainId) : nullptr;
        if (!clock) throw StateError{at + ": the GPU has no editable clock " + std::to_string(domainId) + " in P" +
                                     std::to_string(pstateId)};
        const auto delta = static_cast<int32_t>(IntegerAt(entry, "deltaKhz", kMinInt, kMaxInt, at));
        RequireInRange(delta, clock->deltaMinKhz, clock->deltaMaxKhz, at + ".deltaKhz");
        state.clockDeltas[{pstateId, domainId}] = delta;
    });
    EachEntry(node, "pstateBaseVoltages", maxPstateEntries, where, [&](const json& entry, const std::string& at) {
        const uint32_t pstateId = WordAt(entry, "pstateId", at);
        const uint32_t domainId = WordAt(entry, "domainId", at);
        const Pstate20Config* pstate = EditablePstate(gpu, pstateId);
        const Pstate20VoltageConfig* voltage = pstate ? EditableEntry(pstate->baseVoltages, domainId) : nullptr;
        if (!voltage) throw StateError{at + ": the GPU has no editable base voltage " + std::to_string(domainId) +
                                       " in P" + std::to_string(pstateId)};
        const auto delta = static_cast<int32_t>(IntegerAt(entry, "deltaUv", kMinInt, kMaxInt, at));
        RequireInRange(delta, voltage->deltaMinUv, voltage->deltaMaxUv, at + ".deltaUv");
        state.baseVoltageDeltas[{pstateId, domainId}] = delta;
    });
    const std::size_t maxOverVoltages = editable != 0 ? gpu.clocks.overVoltages.size() : 0;
    EachEntry(node, "overVoltages", maxOverVoltages, where, [&](const json& entry, const std::string& at) {
        const uint32_t domainId = WordAt(entry, "domainId", at);
        const Pstate20VoltageConfig* voltage = EditableEntry(gpu.clocks.overVoltages, domainId);
        if (!voltage) throw StateError{at + ": the GPU has no editable over-voltage " + std::to_string(domainId)};
        const auto delta = static_cast<int32_t>(IntegerAt(entry, "deltaUv", kMinInt, kMaxInt, at));
        RequireInRange(delta, voltage->deltaMinUv, voltage->deltaMaxUv, at + ".deltaUv");
        state.overVoltageDeltas[domainId] = delta;
    });
    if (node.contains("overVoltPercent")) {
        if (!gpu.clocks.overVoltPercentSupported)
            throw StateError{where + ".overVoltPercent: the GPU has no over-voltage percent"};
        state.overVoltPercent = static_cast<uint32_t>(IntegerAt(node, "overVoltPercent", 0, 100, where));
    }
    const std::size_t maxLocks = gpu.clocks.boostLocksSupported ? 32 : 0;
    EachEntry(node, "boostLocks", maxLocks, where, [&](const json& entry, const std::string& at) {
        const uint32_t limitId = WordAt(entry, "limitId", at);
        PersistedLock lock{WordAt(entry, "mode", at), WordAt(entry, "value", at)};
        const bool known = lock.mode == nvapi::kLockDisabled || lock.mode == nvapi::kLockFrequency ||
                           lock.mode == nvapi::kLockVoltageMode;
        if (!known || (lock.mode == nvapi::kLockDisabled && lock.value != 0))
            throw StateError{at + ": expected mode 0 with value 0, or mode 2 or 3"};
        state.boostLocks[limitId] = lock;
    });
}

void ReadVfSection(const json& node, const GpuModel& gpu, PersistedGpuState& state, const std::string& where) {
    EachEntry(node, "vfOffsets", gpu.vf.points.size(), where, [&](const json& entry, const std::string& at) {
        const auto index = static_cast<uint32_t>(IntegerAt(entry, "index", 0, kMaxWord, at));
        if (index >= gpu.vf.points.size() || gpu.vf.points[index].type != nvapi::kVfTypeProg)
            throw StateError{at + ".index: the GPU has no programmable VF point " + std::to_string(index)};
        const auto offset = static_cast<int32_t>(IntegerAt(entry, "offsetKhz", kMinInt, kMaxInt, at));
        if (const VfDomainConfig* domain = VfDomainOfPoint(gpu.vf, index))
            RequireInRange(offset, domain->offsetMinKhz, domain->offsetMaxKhz, at + ".offsetKhz");
        state.vfOffsets[index] = offset;
    });
}

void ReadPowerSections(const json& node, const GpuModel& gpu, PersistedGpuState& state, const std::string& where) {
    const PowerConfig& config = gpu.power;
    EachEntry(node, "powerLimits", kMaxRigPowerPolicies, where, [&](const json& entry, const std::string& at) {
        const uint32_t policyId = WordAt(entry, "policyId", at);
        auto policy = std::find_if(config.powerPolicies.begin(), config.powerPolicies.end(),
                                   [&](const PowerPolicyConfig& p) { return p.policyId == policyId; });
        if (!config.powerSupported || policy == config.powerPolicies.end())
            throw StateError{at + ": the GPU has no power policy " + std::to_string(policyId)};
        const uint32_t limit = WordAt(entry, "milliPercent", at);
        RequireInRange(limit, policy->minMilliPercent, policy->maxMilliPercent, at + ".milliPercent");
        state.power.powerLimits[policyId] = limit;
    });
    EachEntry(node, "thermalLimits", kMaxRigThermalPolicies, where, [&](const json& entry, const std::string& at) {
        const uint32_t policyId = WordAt(entry, "policyId", at);
        auto policy = std::find_if(config.thermalPolicies.begin(), config.thermalPolicies.end(),
                                   [&](const ThermalPolicyConfig& p) { return p.policyId == policyId; });
        if (!config.thermalSupported || policy == config.thermalPolicies.end())
            throw StateError{at + ": the GPU has no thermal policy " + std::to_string(policyId)};
        const auto units = static_cast<int32_t>(IntegerAt(entry, "units", kMinInt, kMaxInt, at));
        RequireInRange(units, policy->minUnits, policy->maxUnits, at + ".units");
        state.power.thermalLimits[policyId] = units;
        state.power.thermalFlags[policyId] = WordAt(entry, "flags", at);
    });
}

void ReadCoolerSection(const json& node, const GpuModel& gpu, PersistedGpuState& state, const std::string& where) {
    const std::size_t count = std::min(gpu.cooler.units.size(), kMaxRigCoolers);
    EachEntry(node, "coolers", count, where, [&](const json& entry, const std::string& at) {
        const auto index = static_cast<uint32_t>(IntegerAt(entry, "index", 0, kMaxWord, at));
        if (index >= count) throw StateError{at + ".index: the GPU has no cooler " + std::to_string(index)};
        const CoolerUnit& unit = gpu.cooler.units[index];
        PersistedCooler cooler{static_cast<uint32_t>(IntegerAt(entry, "policy", 0, 1, at)),
                               static_cast<uint32_t>(IntegerAt(entry, "level", 0, 100, at))};
        if (cooler.policy == kCoolerPolicyManual)
            RequireInRange(cooler.level, unit.minLevel, unit.maxLevel, at + ".level");
        state.coolers[index] = cooler;
    });
}

PersistedGpuState ReadGpu(const json& node, const Rig& rig, std::size_t& index, const std::string& where) {
    if (!node.is_object()) throw StateError{where + ": expected an object"};
    index = static_cast<std::size_t>(IntegerAt(node, "index", 0, kMaxRigGpus - 1, where));
    if (index >= rig.gpus.size()) throw StateError{where + ".index: the rig has no GPU " + std::to_string(index)};
    const GpuModel& gpu = rig.gpus[index];
    auto id = node.find("pciDeviceId");
    if (id == node.end() || !id->is_string() || id->get<std::string>() != HexId(gpu.pciDeviceId, 4))
        throw StateError{where + ".pciDeviceId: expected " + HexId(gpu.pciDeviceId, 4) + " (the rig's GPU " +
                         std::to_string(index) + ")"};

    PersistedGpuState state;
    EachEntry(node, "legacyClocks", kMaxLegacyLevels * kMaxLegacyDomains, where,
              [&](const json& entry, const std::string& at) {
                  const uint32_t levelId = WordAt(entry, "levelId", at);
                  const uint32_t domainId = WordAt(entry, "domainId", at);
                  const auto khz = static_cast<int32_t>(IntegerAt(entry, "frequencyKhz", 0, kMaxInt, at));
                  if (!FindLegacyDomain(gpu, levelId, domainId))
                      throw StateError{at + ": the GPU has no domain " + std::to_string(domainId) + " in level " +
                                       std::to_string(levelId)};
                  state.legacyClocks[{levelId, domainId}] = khz;
              });
    ReadClockSections(node, gpu, state, where);
    ReadVfSection(node, gpu, state, where);
    ReadPowerSections(node, gpu, state, where);
    ReadCoolerSection(node, gpu, state, where);
    return state;
}

// Setting IDs are written as "0x10834FEE".
std::map<uint32_t, uint32_t> ReadDrs(const json& node) {
    if (!node.is_object() || node.size() > kMaxDrsSettings)
        throw StateError{"drsBaseProfile: expected an object of at most " + std::to_string(kMaxDrsSettings) +
                         " settings"};
    std::map<uint32_t, uint32_t> settings;
    for (const auto& item : node.items()) {
        const std::string& key = item.key();
        const bool hex = key.size() > 2 && key.size() <= 10 && key[0] == '0' && (key[1] == 'x' || key[1] == 'X') &&
                         key.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
        if (!hex) throw StateError{"drsBaseProfile." + key + ": expected a setting ID like \"0x10834FEE\""};
        const auto settingId = static_cast<uint32_t>(std::stoul(key.substr(2), nullptr, 16));
        settings[settingId] = WordAt(node, key.c_str(), "drsBaseProfile");
    }
    return settings;
}

PersistedState ReadState(const json& root, const Rig& rig) {
    if (!root.is_object()) throw StateError{"expected an object"};
    auto format = root.find("format");
    if (format == root.end() || !format->is_number_unsigned() || format->get<uint64_t>() != kFormat)
        throw StateError{"format: expected " + std::to_string(kFormat)};
    PersistedState state;
    if (auto drs = root.find("drsBaseProfile"); drs != root.end()) state.drsBaseProfile = ReadDrs(*drs);
    auto gpus = root.find("gpus");
    if (gpus == root.end()) return state;
    if (!gpus->is_array() || gpus->size() > kMaxRigGpus)
        throw StateError{"gpus: expected an array of at most " + std::to_string(kMaxRigGpus) + " GPUs"};
    for (std::size_t i = 0; i < gpus->size(); ++i) {
        std::size_t index = 0;
        PersistedGpuState gpu = ReadGpu((*gpus)[i], rig, index, "gpus[" + std::to_string(i) + "]");
        if (state.gpus.count(index)) throw StateError{"gpus[" + std::to_string(i) + "].index: GPU listed twice"};
        state.gpus[index] = std::move(gpu);
    }
    return state;
}

// `key` -> an array with one object per entry of `items`, made by `make`; nothing when empty.
template <typename Map, typename Make>
void WriteSection(json& gpu, const char* key, const Map& items, Make make) {
    if (items.empty()) return;
    json list = json::array();
    for (const auto& [itemKey, value] : items) list.push_back(make(itemKey, value));
    gpu[key] = std::move(list);
}

json WriteGpu(std::size_t index, const PersistedGpuState& state, const GpuModel& model) {
    using Pair = std::pair<uint32_t, uint32_t>;
    json gpu = {{"index", index}, {"pciDeviceId", HexId(model.pciDeviceId, 4)}};
    WriteSection(gpu, "legacyClocks", state.legacyClocks, [](const Pair& k, int32_t khz) {
        return json{{"levelId", k.first}, {"domainId", k.second}, {"frequencyKhz", khz}};
    });
    WriteSection(gpu, "pstateClocks", state.clockDeltas, [](const Pair& k, int32_t khz) {
        return json{{"pstateId", k.first}, {"domainId", k.second}, {"deltaKhz", khz}};
    });
    WriteSection(gpu, "pstateBaseVoltages", state.baseVoltageDeltas, [](const Pair& k, int32_t uv) {
        return json{{"pstateId", k.first}, {"domainId", k.second}, {"deltaUv", uv}};
    });
    WriteSection(gpu, "overVoltages", state.overVoltageDeltas,
                 [](uint32_t domainId, int32_t uv) { return json{{"domainId", domainId}, {"deltaUv", uv}}; });
    if (state.overVoltPercent) gpu["overVoltPercent"] = *state.overVoltPercent;
    WriteSection(gpu, "boostLocks", state.boostLocks, [](uint32_t limitId, const PersistedLock& lock) {
        return json{{"limitId", limitId}, {"mode", lock.mode}, {"value", lock.value}};
    });
    WriteSection(gpu, "vfOffsets", state.vfOffsets,
                 [](uint32_t index, int32_t khz) { return json{{"index", index}, {"offsetKhz", khz}}; });
    WriteSection(gpu, "powerLimits", state.power.powerLimits, [](uint32_t policyId, uint32_t limit) {
        return json{{"policyId", policyId}, {"milliPercent", limit}};
    });
    WriteSection(gpu, "thermalLimits", state.power.thermalLimits, [&](uint32_t policyId, int32_t units) {
        auto flags = state.power.thermalFlags.find(policyId);
        return json{{"policyId", policyId},
                    {"units", units},
                    {"flags", flags != state.power.thermalFlags.end() ? flags->second : 0u}};
    });
    WriteSection(gpu, "coolers", state.coolers, [](uint32_t index, const PersistedCooler& cooler) {
        return json{{"index", index}, {"policy", cooler.policy}, {"level", cooler.level}};
    });
    return gpu;
}

}  // namespace

StateLoadResult LoadStateFile(const std::filesystem::path& path, const Rig& rig) {
    StateLoadResult result;
    try {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) return result;
        std::optional<std::string> text = platform::ReadFileLimited(path, kMaxStateFileBytes);
        if (!text) {
            result.problem = "cannot be read (or is larger than " + std::to_string(kMaxStateFileBytes) + " bytes)";
            return result;
        }
        result.state = ReadState(json::parse(*text), rig);
    } catch (const StateError& e) {
        result.problem = e.problem;
    } catch (const std::exception& e) {
        result.problem = e.what();
    } catch (...) {
        result.problem = "cannot be read";
    }
    return result;
}

bool SaveStateFile(const std::filesystem::path& path, const PersistedState& state, const Rig& rig,
                   std::string& problem) {
    try {
        json gpus = json::array();
        for (const auto& [index, gpu] : state.gpus)
            if (!gpu.empty() && index < rig.gpus.size()) gpus.push_back(WriteGpu(index, gpu, rig.gpus[index]));
        json root = {{"format", kFormat}, {"rig", rig.name}, {"gpus", std::move(gpus)}};
        if (state.drsBaseProfile) {
            json drs = json::object();
            for (const auto& [settingId, value] : *state.drsBaseProfile) drs[HexId(settingId, 8)] = value;
            root["drsBaseProfile"] = std::move(drs);
        }
        if (!platform::WriteFileAtomically(path, root.dump(2, ' ', false, json::error_handler_t::replace) + "\n")) {
            problem = "cannot be written";
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        problem = e.what();
        return false;
    }
}

void ApplyState(const PersistedState& state, Rig& rig) {
    for (const auto& [index, saved] : state.gpus) {
        if (index >= rig.gpus.size()) continue;
        GpuModel& gpu = rig.gpus[index];
        for (LegacyLevel& level : gpu.legacyLevels)
            for (LegacyDomain& domain : level.domains)
                if (auto it = saved.legacyClocks.find({level.levelId, domain.domainId}); it != saved.legacyClocks.end())
                    domain.frequencyKhz = it->second;
        for (Pstate20Config& pstate : gpu.clocks.pstates) {
            for (Pstate20ClockConfig& clock : pstate.clocks)
                if (auto it = saved.clockDeltas.find({pstate.pstateId, clock.domainId}); it != saved.clockDeltas.end())
                    clock.deltaKhz = it->second;
            for (Pstate20VoltageConfig& voltage : pstate.baseVoltages)
                if (auto it = saved.baseVoltageDeltas.find({pstate.pstateId, voltage.domainId});
                    it != saved.baseVoltageDeltas.end())
                    voltage.deltaUv = it->second;
        }
        for (Pstate20VoltageConfig& voltage : gpu.clocks.overVoltages)
            if (auto it = saved.overVoltageDeltas.find(voltage.domainId); it != saved.overVoltageDeltas.end())
                voltage.deltaUv = it->second;
        if (saved.overVoltPercent) gpu.clocks.overVoltPercent = *saved.overVoltPercent;
        for (const auto& [limitId, lock] : saved.boostLocks) {
            // Copied: clang before 16 cannot capture a structured binding in a lambda.
            const uint32_t wanted = limitId;
            auto found = std::find_if(gpu.clocks.locks.begin(), gpu.clocks.locks.end(),
                                      [wanted](const ClockLockConfig& l) { return l.limitId == wanted; });
            if (found == gpu.clocks.locks.end())
                found = gpu.clocks.locks.insert(gpu.clocks.locks.end(), {limitId, 0, 0});
            found->mode = lock.mode;
            found->value = lock.value;
        }
        for (const auto& [point, offset] : saved.vfOffsets)
            if (point < gpu.vf.points.size()) gpu.vf.points[point].offsetKhz = offset;
        for (const auto& [unit, cooler] : saved.coolers) {
            if (unit >= gpu.cooler.units.size()) continue;
            gpu.cooler.units[unit].policy = cooler.policy;
            gpu.cooler.units[unit].level = cooler.level;
        }
    }
}

}  // namespace vx::sim
