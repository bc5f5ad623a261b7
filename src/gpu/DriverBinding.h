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

    int32_t LoadDriverLibrary();
    int32_t DriverInitialize();
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
    uint32_t refCount() const;
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
    void* Resolve(uint32_t id);
    void ClearCache();

    DriverOpener opener_;
    std::shared_ptr<platform::DynamicLibrary> library_;
    std::atomic<QueryInterfaceFn> queryInterface_{nullptr};
    uint32_t refCount_ = 0;  // guarded by lock_
    std::atomic<uint32_t> busyCount_{0};
    std::atomic<bool> unloading_{false};
    std::array<std::atomic<void*>, kEntryCacheSlots> entryCache_{};
    mutable std::mutex lock_;
    std::chrono::milliseconds unloadWaitStep_{100};
    int unloadWaitSteps_ = 10;
};

}  // namespace vx::driver
