#pragma once
// What the driver was told to write, kept in a file so the next process finds it again.
// Each written quantity is one section of a GPU's entry; the driver settings base profile is
// one section of the whole file.
#include "sim/PowerConfig.h"
#include "sim/Rig.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace vx::sim {

struct PersistedLock {
    uint32_t mode = 0;
    uint32_t value = 0;
    bool operator==(const PersistedLock&) const = default;
};

struct PersistedCooler {
    uint32_t policy = 0;
    uint32_t level = 0;
    bool operator==(const PersistedCooler&) const = default;
};

struct PersistedGpuState {
    /// Legacy perf clocks written through SetPerfClocks: (level ID, domain ID) -> kHz.
    std::map<std::pair<uint32_t, uint32_t>, int32_t> legacyClocks;
    /// P-state 2.0 clock deltas: (P-state ID, clock domain) -> kHz.
    std::map<std::pair<uint32_t, uint32_t>, int32_t> clockDeltas;
    /// P-state 2.0 base-voltage deltas: (P-state ID, voltage domain) -> µV.
    std::map<std::pair<uint32_t, uint32_t>, int32_t> baseVoltageDeltas;
    /// Over-voltage deltas: voltage domain -> µV.
    std::map<uint32_t, int32_t> overVoltageDeltas;
    std::optional<uint32_t> overVoltPercent;
    /// Clock boost locks (the voltage lock among them): limit ID -> mode and value.
    std::map<uint32_t, PersistedLock> boostLocks;
    /// VF point offsets: point index -> kHz.
    std::map<uint32_t, int32_t> vfOffsets;
    /// Power and thermal policy targets; the live state of the policy entries.
    GpuPowerState power;
    /// Cooler policy and level: cooler index -> what was set.
    std::map<uint32_t, PersistedCooler> coolers;

    bool empty() const { return *this == PersistedGpuState{}; }
    bool operator==(const PersistedGpuState&) const = default;
};

struct PersistedState {
    std::map<std::size_t, PersistedGpuState> gpus;  // by rig index
    /// The driver settings base profile as last saved; nullopt while never saved.
    std::optional<std::map<uint32_t, uint32_t>> drsBaseProfile;

    bool operator==(const PersistedState&) const = default;
};

struct StateLoadResult {
    std::optional<PersistedState> state;  // absent when there is no file or it is unusable
    std::string problem;                  // why an existing file was not used
};

/// Larger state files are refused unread.
inline constexpr std::size_t kMaxStateFileBytes = 4 * 1024 * 1024;
/// Reads a state file and checks every entry against `rig` (the GPU, the entry written and
/// the range it must lie in); nothing of a bad file is used.
StateLoadResult LoadStateFile(const std::filesystem::path& path, const Rig& rig);
/// Writes the state atomically; on failure `problem` says why.
bool SaveStateFile(const std::filesystem::path& path, const PersistedState& state, const Rig& rig,
                   std::string& problem);
/// Puts the saved values into the rig (entries must have been checked against it). The power
/// targets and the base profile stay in `state`, where the entries keep them.
void ApplyState(const PersistedState& state, Rig& rig);

}  // namespace vx::sim
