#pragma once
// The simulated driver. One simulator is active per process at a time; the exported
// query function dispatches to it.
#include "gpu/DriverStructs.h"
#include "sim/I2cDevice.h"
#include "sim/Rig.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vx::ui { class IClock; }

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

    // Telemetry
    /// The time source of the live telemetry (temperature, load, clocks, fan); the system
    /// clock until set. Model time restarts at the call; `clock` must outlive the simulator
    /// or be replaced first.
    void SetClock(ui::IClock& clock);

    // I2C: the devices on each GPU's buses (GPUs by rig index), built from the rig when the
    // simulator is created, and their faults.
    /// Every transfer to the device at (port, address) fails with `status` (e.g. -1, a device
    /// that does not acknowledge); 0 lets it answer again. False when there is no such device.
    bool SetI2cDeviceFault(std::size_t gpu, uint8_t port, uint8_t address, int32_t status);
    /// The I2C entries for `gpu` block, outside the simulator's lock, until ReleaseI2cBus or
    /// the simulator's end; other entries and GPUs go on.
    void HoldI2cBus(std::size_t gpu);
    void ReleaseI2cBus(std::size_t gpu);
    /// I2C calls now blocked on `gpu`'s held bus.
    std::size_t I2cCallsWaiting(std::size_t gpu) const;
    /// The live device model, or null. Like rig(): lock mutex() first, and call no entry
    /// while holding it.
    I2cDevice* I2cDeviceAt(std::size_t gpu, uint8_t port, uint8_t address);
    /// What a read of the register returns now, without side effects; nullopt when absent.
    std::optional<uint8_t> PeekI2cRegister(std::size_t gpu, uint8_t port, uint8_t address, uint8_t reg) const;
    /// Sets a register as the device itself would (a sensor reading, a status byte), write
    /// protection aside. False when absent.
    bool PokeI2cRegister(std::size_t gpu, uint8_t port, uint8_t address, uint8_t reg, uint8_t value);
    /// Colours a lighting controller took, oldest first.
    std::vector<LightingColour> I2cLightingColours(std::size_t gpu, uint8_t port, uint8_t address) const;
    /// Messages an LCD module received, oldest first.
    std::vector<std::vector<uint8_t>> I2cLcdMessages(std::size_t gpu, uint8_t port, uint8_t address) const;

    // Display tools
    /// Data of every register-write mailbox command the DisplayPort device of `displayId` took.
    std::vector<std::vector<uint8_t>> DpRegisterWrites(uint32_t displayId) const;

    struct Impl;  // defined in src/sim only

private:
    friend class SimulatorAccess;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vx::sim
