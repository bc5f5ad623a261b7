#pragma once
// What the driver was told to write, kept in a file so the next process finds it again.
// Each written quantity is one section of a GPU's entry; later features add sections.
#include "sim/Rig.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace vx::sim {

struct PersistedGpuState {
    /// Legacy perf clocks written through SetPerfClocks: (level ID, domain ID) -> kHz.
    std::map<std::pair<uint32_t, uint32_t>, int32_t> legacyClocks;

    bool empty() const { return legacyClocks.empty(); }
    bool operator==(const PersistedGpuState&) const = default;
};

struct PersistedState {
    std::map<std::size_t, PersistedGpuState> gpus;  // by rig index

    bool operator==(const PersistedState&) const = default;
};

struct StateLoadResult {
    std::optional<PersistedState> state;  // absent when there is no file or it is unusable
    std::string problem;                  // why an existing file was not used
};

/// Reads a state file and checks every entry against `rig`; nothing of a bad file is used.
StateLoadResult LoadStateFile(const std::filesystem::path& path, const Rig& rig);
/// Writes the state atomically; on failure `problem` says why.
bool SaveStateFile(const std::filesystem::path& path, const PersistedState& state, const Rig& rig,
                   std::string& problem);
/// Puts the saved values into the rig (entries must have been checked against it).
void ApplyState(const PersistedState& state, Rig& rig);

}  // namespace vx::sim
