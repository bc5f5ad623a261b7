#pragma once
// The simulated driver. One simulator is active per process at a time; the exported
// query function dispatches to it.
#include "gpu/DriverStructs.h"
#include "sim/Rig.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vx::sim {

struct CallRecord {
    uint32_t entryId = 0;
    int gpu = -1;                    // rig index of the GPU addressed, -1 for none
    std::vector<int64_t> args;       // key arguments, per entry (selector, index, ...)
    int32_t status = 0;
};

class Simulator {
public:
    /// Creates the driver over `rig`; a persisting rig gets back the state saved by an earlier run.
    explicit Simulator(Rig rig);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    /// Makes this simulator the one the exported entries serve.
    void Activate();
    static Simulator* Active();
    /// The query function to bind: resolves an entry by interface ID, null when missing.
    static nvapi::QueryInterfaceFn QueryInterface();

    // Fault injection.
    /// The query returns null for `id`; a pointer resolved earlier answers NO_IMPLEMENTATION.
    void RemoveEntry(uint32_t id);
    /// Every call of `id` returns `status` without doing anything.
    void ForceStatus(uint32_t id, int32_t status);
    /// Undoes RemoveEntry, ForceStatus and RefuseVersion for `id`.
    void ClearFault(uint32_t id);
    /// Calls of `id` passing `versionWord` return INCOMPATIBLE_STRUCT_VERSION.
    void RefuseVersion(uint32_t id, uint32_t versionWord);
    /// Invalidates every handle handed out; calls with them return `status` (-101 or -10)
    /// until the GPUs are enumerated again.
    void MakeHandlesStale(int32_t status);

    // The call log: every entry call, oldest first, at most the capacity (the oldest go first).
    std::vector<CallRecord> Calls() const;
    std::vector<CallRecord> CallsTo(uint32_t id) const;
    void ClearCalls();
    void SetCallLogCapacity(std::size_t records);
    static constexpr std::size_t kDefaultCallLogCapacity = 100000;

    /// The live rig. Lock mutex() while touching it, and call no entry while holding it.
    Rig& rig();
    std::mutex& mutex() const;
    /// Whether Initialize has been called (and Unload not since).
    bool IsInitialized() const;
    /// Writes the state file when the rig asks for persistence. True when it was written.
    bool SaveState() const;
    /// Where the state lives: $VXPLUS_SIM_STATE, else "<rig file>.state.json"; empty when the
    /// rig does not persist or has no file.
    std::filesystem::path StatePath() const;

    struct Impl;  // defined in src/sim only

private:
    friend class SimulatorAccess;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vx::sim
