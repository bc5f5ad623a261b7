#pragma once
// Binding to the driver: one query function resolves every entry by interface ID, calls are
// counted so that an unload can refuse while one is in flight.
#include "gpu/DriverStructs.h"
#include "gpu/NvApiIds.h"

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace vx::platform { class DynamicLibrary; }

namespace vx::driver {

using nvapi::QueryInterfaceFn;

// What a successful open yields: the query function and, for a real library, its owner.
struct OpenedDriver {
    QueryInterfaceFn queryInterface = nullptr;
    std::shared_ptr<platform::DynamicLibrary> library;  // null for an in-process driver
};

/// Finds and opens the driver. Returns 0 with `out` filled, -2 when the library is not
/// found or refused, -1 when it has no query export.
using DriverOpener = std::function<int32_t(OpenedDriver& out)>;

/// The driver library from the system's trusted location only (see TrustedDriverLibrary.h).
DriverOpener TrustedLibraryOpener();
/// An in-process driver, such as the simulator.
DriverOpener InProcessOpener(QueryInterfaceFn queryInterface);

class DriverBinding {
public:
    explicit DriverBinding(DriverOpener opener);
    ~DriverBinding();
    DriverBinding(const DriverBinding&) = delete;
    DriverBinding& operator=(const DriverBinding&) = delete;

    /// The process-wide binding; starts with the trusted library opener.
    static DriverBinding& Process();
    /// Replaces the opener; takes effect at the next load.
    void SetOpener(DriverOpener opener);

    /// Binds the driver when nothing is bound: 0 when bound, -1 no query export or initialise
    /// entry missing, -2 library not found or refused, else the initialise entry's status.
    int32_t LoadDriverLibrary();
    /// Loads under the lock and counts one more user on success.
    int32_t DriverInitialize();
    /// Drops one user; the last one unloads: -4 nothing bound, -209 calls in flight,
    /// -3 no unload entry, -1 the unload entry failed, 0 done.
    int32_t DriverUnload();

    /// One stub call: counts itself busy, binds on demand, resolves `id` (cached) and calls it.
    template <typename Fn, typename... Args>
    int32_t Call(uint32_t id, Args... args) {
        BusyScope busy(*this);
        if (int32_t status = EnsureBound(); status != 0) return status;
        void* entry = Resolve(id);
        if (!entry) return nvapi::NO_IMPLEMENTATION;
        return reinterpret_cast<Fn>(entry)(args...);
    }

    uint32_t busyCount() const { return busyCount_.load(); }
    uint32_t refCount() const { return refCount_.load(); }
    bool isBound() const { return queryInterface_.load() != nullptr; }
    bool isUnloading() const { return unloading_.load(); }

    /// Waits used while an unload is in progress (tests shorten them).
    void SetUnloadWait(std::chrono::milliseconds step, int steps);

    static constexpr std::size_t kEntryCacheSlots = 670;

private:
    // Decrements on every path out of a stub, so an early return never leaves the count raised.
    struct BusyScope {
        explicit BusyScope(DriverBinding& b) : binding(b) { binding.busyCount_.fetch_add(1); }
        ~BusyScope() { binding.busyCount_.fetch_sub(1); }
        DriverBinding& binding;
    };

    int32_t EnsureBound();
    int32_t LoadLocked();  // caller holds lock_
    void* Resolve(uint32_t id);
    void ClearCache();

    DriverOpener opener_;                                // guarded by lock_
    std::shared_ptr<platform::DynamicLibrary> library_;  // guarded by lock_
    std::atomic<QueryInterfaceFn> queryInterface_{nullptr};
    std::atomic<uint32_t> refCount_{0};  // changed only under lock_
    std::atomic<uint32_t> busyCount_{0};
    std::atomic<bool> unloading_{false};
    std::array<std::atomic<void*>, kEntryCacheSlots> entryCache_{};
    mutable std::mutex lock_;
    // Read by stubs while an unload holds lock_, hence atomics rather than guarded fields.
    std::atomic<int64_t> unloadWaitStepMs_{100};
    std::atomic<int> unloadWaitSteps_{10};
};

}  // namespace vx::driver
