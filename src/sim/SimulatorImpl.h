#pragma once
// Inside the simulator: its state, the handle encoding and the frame every entry runs in.
// Only src/sim includes this.
#include "sim/Simulator.h"
#include "sim/I2cBus.h"
#include "sim/SimDisplays.h"
#include "sim/StateFile.h"
#include "sim/ThermalModel.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <shared_mutex>

namespace vx::sim {

struct Simulator::Impl {
    explicit Impl(Rig r) : rig(std::move(r)) {}

    /// Appends to the call log, dropping the oldest record when it is full.
    void Log(CallRecord record);
    /// Saves the written state when the rig persists and it changed since the last save (or
    /// `always`); reports a failure on stderr. Write entries call it after each success.
    bool Persist(bool always = false) const;

    Rig rig;
    mutable std::mutex mutex;
    uint32_t instance = 0;      // process-unique, so another simulator's handles are not ours
    uint32_t generation = 0;    // handles of older generations are stale
    int32_t staleStatus = nvapi::HANDLE_INVALIDATED;
    bool initialized = false;

    std::set<uint32_t> removedEntries;
    std::map<uint32_t, int32_t> forcedStatus;
    std::map<uint32_t, std::set<uint32_t>> refusedVersions;

    std::deque<CallRecord> calls;
    std::size_t callCapacity = Simulator::kDefaultCallLogCapacity;

    // What the driver was told to write: the persisted state. The power and thermal targets
    // live only here; the other values are also in the rig, where the entries read them.
    PersistedState written;
    mutable std::optional<PersistedState> saved;  // what the state file holds
    std::filesystem::path statePath;  // empty: nothing persists

    // Telemetry: the GPUs' live models (not persisted) and the clock that moves them.
    RigThermal thermal;

    // Power: the driver settings (the saved base profile is also in `written`).
    DrsState drs;

    // Display tools: custom timing trials and DisplayPort devices.
    SimDisplays displays;

    // I2C: each GPU's devices, built from the rig (not persisted: they start from power-up),
    // and the holds that block a GPU's I2C calls. Last, so it goes first and frees waiters.
    I2cBuses i2c{rig};
};

/// Reaches a simulator's state from the entry functions.
class SimulatorAccess {
public:
    static Simulator::Impl& Of(Simulator& sim) { return *sim.impl_; }
};

/// Holds the active simulator for the length of one entry call, so it cannot go away mid-call.
class ActiveSimulatorLock {
public:
    ActiveSimulatorLock();
    Simulator::Impl* get() const { return impl_; }

private:
    std::shared_lock<std::shared_mutex> lock_;
    Simulator::Impl* impl_ = nullptr;
};

// Handle words: a tag, the simulator instance, the generation and the GPU index. The tag
// puts them far outside any real address, so they can never be mistaken for memory.
namespace handles {
inline constexpr uint64_t kGpuTag = 0x5E1D;
inline constexpr uint64_t kDisplayTag = 0x5E1E;

struct Decoded {
    uint64_t tag = 0;
    uint32_t instance = 0;
    uint32_t generation = 0;
    uint32_t index = 0;
};

inline void* Encode(uint64_t tag, uint32_t instance, uint32_t generation, uint32_t index) {
    uint64_t word = (tag << 48) | (uint64_t(instance & 0xFFFF) << 32) | (uint64_t(generation & 0xFFFF) << 16) |
                    uint64_t(index & 0xFFFF);
    return reinterpret_cast<void*>(static_cast<uintptr_t>(word));
}

inline Decoded Decode(const void* handle) {
    uint64_t word = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle));
    return Decoded{word >> 48, uint32_t((word >> 32) & 0xFFFF), uint32_t((word >> 16) & 0xFFFF),
                   uint32_t(word & 0xFFFF)};
}
static_assert(sizeof(uintptr_t) >= 8, "handle words need 64-bit pointers");
}  // namespace handles

/// One entry call in progress: checks, the GPU it addresses and its log record.
class EntryCall {
public:
    EntryCall(Simulator::Impl& sim, uint32_t id);

    /// Removed entry, forced status or missing initialisation; nullopt to go on.
    std::optional<int32_t> Precheck() const;
    /// 0, INVALID_HANDLE for a handle that is not ours, or the stale status.
    int32_t UseGpu(nvapi::PhysicalGpuHandle handle);
    /// 0 or INVALID_HANDLE.
    int32_t UseDisplay(nvapi::DisplayHandle display);
    /// INCOMPATIBLE_STRUCT_VERSION unless `word` is `expected` and not refused; logs the word.
    int32_t CheckVersion(uint32_t word, uint32_t expected);
    void Arg(int64_t value) { record_.args.push_back(value); }

    Simulator::Impl& sim() { return sim_; }
    GpuModel& gpu() { return sim_.rig.gpus[gpuIndex_]; }
    std::size_t gpuIndex() const { return gpuIndex_; }
    nvapi::PhysicalGpuHandle HandleOf(std::size_t index) const;
    nvapi::DisplayHandle DisplayHandleOf(std::size_t index) const;
    CallRecord TakeRecord(int32_t status);

private:
    Simulator::Impl& sim_;
    CallRecord record_;
    std::size_t gpuIndex_ = 0;
};

/// Runs one entry against the active simulator: fault checks, `body`, then the call log.
template <typename Body>
int32_t ServeEntry(uint32_t id, Body&& body) {
    ActiveSimulatorLock active;
    if (!active.get()) return nvapi::API_NOT_INITIALIZED;
    Simulator::Impl& sim = *active.get();
    std::lock_guard lock(sim.mutex);
    EntryCall call(sim, id);
    std::optional<int32_t> early = call.Precheck();
    int32_t status = early ? *early : body(call);
    sim.Log(call.TakeRecord(status));
    return status;
}

/// Copies `text` into a driver string buffer, cut to fit with its terminating zero.
void CopyDriverString(const std::string& text, char* out);

/// The simulated entry for `id`, or null when the simulator does not provide it.
void* EntryAddress(uint32_t id);

}  // namespace vx::sim
