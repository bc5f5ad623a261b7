#include "sim/StateFile.h"

#include "platform/AtomicFile.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <limits>
#include <system_error>

namespace vx::sim {
namespace {

using nlohmann::json;

constexpr int kFormat = 1;
constexpr std::size_t kMaxStateFileBytes = 4 * 1024 * 1024;

struct StateError {
    std::string problem;
};

std::string HexId(uint16_t id) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(id));
    return text;
}

const LegacyDomain* FindDomain(const GpuModel& gpu, uint32_t levelId, uint32_t domainId) {
    for (const LegacyLevel& level : gpu.legacyLevels) {
        if (level.levelId != levelId) continue;
        for (const LegacyDomain& domain : level.domains)
            if (domain.domainId == domainId) return &domain;
    }
    return nullptr;
}

uint64_t UnsignedAt(const json& node, const char* key, uint64_t max, const std::string& where) {
    auto it = node.find(key);
    if (it == node.end() || !it->is_number_unsigned() || it->get<uint64_t>() > max)
        throw StateError{where + "." + key + ": expected a number from 0 to " + std::to_string(max)};
    return it->get<uint64_t>();
}

PersistedGpuState ReadGpu(const json& node, const Rig& rig, std::size_t& index, const std::string& where) {
    if (!node.is_object()) throw StateError{where + ": expected an object"};
    index = static_cast<std::size_t>(UnsignedAt(node, "index", kMaxRigGpus - 1, where));
    if (index >= rig.gpus.size()) throw StateError{where + ".index: the rig has no GPU " + std::to_string(index)};
    const GpuModel& gpu = rig.gpus[index];
    auto id = node.find("pciDeviceId");
    if (id == node.end() || !id->is_string() || id->get<std::string>() != HexId(gpu.pciDeviceId))
        throw StateError{where + ".pciDeviceId: expected " + HexId(gpu.pciDeviceId) + " (the rig's GPU " +
                         std::to_string(index) + ")"};

    PersistedGpuState state;
    if (auto clocks = node.find("legacyClocks"); clocks != node.end()) {
        if (!clocks->is_array() || clocks->size() > kMaxLegacyLevels * kMaxLegacyDomains)
            throw StateError{where + ".legacyClocks: expected an array of at most " +
                             std::to_string(kMaxLegacyLevels * kMaxLegacyDomains) + " entries"};
        for (std::size_t i = 0; i < clocks->size(); ++i) {
            const json& entry = (*clocks)[i];
            std::string at = where + ".legacyClocks[" + std::to_string(i) + "]";
            if (!entry.is_object()) throw StateError{at + ": expected an object"};
            auto levelId = static_cast<uint32_t>(UnsignedAt(entry, "levelId", 0xFFFFFFFF, at));
            auto domainId = static_cast<uint32_t>(UnsignedAt(entry, "domainId", 0xFFFFFFFF, at));
            auto khz = static_cast<int32_t>(
                UnsignedAt(entry, "frequencyKhz", static_cast<uint64_t>(std::numeric_limits<int32_t>::max()), at));
            if (!FindDomain(gpu, levelId, domainId))
                throw StateError{at + ": the GPU has no domain " + std::to_string(domainId) + " in level " +
                                 std::to_string(levelId)};
            state.legacyClocks[{levelId, domainId}] = khz;
        }
    }
    return state;
}

PersistedState ReadState(const json& root, const Rig& rig) {
    if (!root.is_object()) throw StateError{"expected an object"};
    auto format = root.find("format");
    if (format == root.end() || !format->is_number_unsigned() || format->get<uint64_t>() != kFormat)
        throw StateError{"format: expected " + std::to_string(kFormat)};
    PersistedState state;
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
        for (const auto& [index, gpu] : state.gpus) {
            if (gpu.empty() || index >= rig.gpus.size()) continue;
            json clocks = json::array();
            for (const auto& [key, khz] : gpu.legacyClocks)
                clocks.push_back({{"levelId", key.first}, {"domainId", key.second}, {"frequencyKhz", khz}});
            gpus.push_back({{"index", index},
                            {"pciDeviceId", HexId(rig.gpus[index].pciDeviceId)},
                            {"legacyClocks", std::move(clocks)}});
        }
        json root = {{"format", kFormat}, {"rig", rig.name}, {"gpus", std::move(gpus)}};
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
    for (const auto& [index, gpu] : state.gpus) {
        if (index >= rig.gpus.size()) continue;
        for (LegacyLevel& level : rig.gpus[index].legacyLevels)
            for (LegacyDomain& domain : level.domains)
                if (auto it = gpu.legacyClocks.find({level.levelId, domain.domainId}); it != gpu.legacyClocks.end())
                    domain.frequencyKhz = it->second;
    }
}

}  // namespace vx::sim
