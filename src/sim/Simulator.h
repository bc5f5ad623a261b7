#pragma once
// The simulated driver. One simulator is active per process at a time; the exported
// query function dispatches to it.
#include "gpu/DriverStructs.h"
#include "sim/Rig.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
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
    void RemoveEntry(uint32_t id);
    void ForceStatus(uint32_t id, int32_t status);
    void ClearFault(uint32_t id);
    void RefuseVersion(uint32_t id, uint32_t versionWord);
    /// Invalidates every handle handed out; calls with them return `status` (-101 or -10)
    /// until the GPUs are enumerated again.
    void MakeHandlesStale(int32_t status);

    std::vector<CallRecord> Calls() const;
    std::vector<CallRecord> CallsTo(uint32_t id) const;
    void ClearCalls();

    Rig& rig();
    std::mutex& mutex() const;
    /// Writes the state file when the rig asks for persistence.
    bool SaveState() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vx::sim
