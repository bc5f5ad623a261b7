#include "gpu/DriverBinding.h"

#include "platform/DynamicLibrary.h"

#include <thread>
#include <utility>

namespace vx::driver {

static_assert(nvapi::kKnownEntries.size() <= DriverBinding::kEntryCacheSlots);

namespace {

// Every call looks its cache slot up, so the lookup is a hash table built at compile time (open
// addressing, at most a quarter full) rather than a walk along the list of known entries.
constexpr std::size_t kSlotTableSize = 512;
static_assert(nvapi::kKnownEntries.size() * 4 <= kSlotTableSize);

constexpr std::size_t SlotHash(uint32_t id) { return (id * 0x9E3779B1u) >> 23; }  // the top 9 bits
constexpr std::size_t NextProbe(std::size_t at) { return (at + 1) & (kSlotTableSize - 1); }

constexpr auto kSlotTable = [] {
    std::array<int16_t, kSlotTableSize> table{};
    table.fill(-1);
    for (std::size_t i = 0; i < nvapi::kKnownEntries.size(); ++i) {
        const int first = nvapi::CacheSlotOf(nvapi::kKnownEntries[i]);  // a repeated ID keeps its first slot
        std::size_t at = SlotHash(nvapi::kKnownEntries[i]);
        while (table[at] >= 0 && table[at] != first) at = NextProbe(at);
        table[at] = static_cast<int16_t>(first);
    }
    return table;
}();

constexpr int FindSlot(uint32_t id) {
    for (std::size_t at = SlotHash(id);; at = NextProbe(at)) {
        const int slot = kSlotTable[at];
        if (slot < 0 || nvapi::kKnownEntries[static_cast<std::size_t>(slot)] == id) return slot;
    }
}

constexpr bool SlotTableAgreesWithTheList() {
    for (uint32_t id : nvapi::kKnownEntries)
        if (FindSlot(id) != nvapi::CacheSlotOf(id)) return false;
    return FindSlot(0) == -1 && FindSlot(0xFFFFFFFFu) == -1;
}
static_assert(SlotTableAgreesWithTheList());

}  // namespace

DriverOpener InProcessOpener(QueryInterfaceFn queryInterface) {
    return [queryInterface](OpenedDriver& out) -> int32_t {
        if (!queryInterface) return nvapi::ERROR;
        out.queryInterface = queryInterface;
        out.library.reset();
        return nvapi::OK;
    };
}

DriverBinding::DriverBinding(DriverOpener opener) : opener_(std::move(opener)) {}

DriverBinding::~DriverBinding() = default;

DriverBinding& DriverBinding::Process() {
    static DriverBinding binding(TrustedLibraryOpener());
    return binding;
}

void DriverBinding::SetOpener(DriverOpener opener) {
    std::lock_guard guard(lock_);
    opener_ = std::move(opener);
}

void DriverBinding::SetUnloadWait(std::chrono::milliseconds step, int steps) {
    unloadWaitStepMs_.store(step.count());
    unloadWaitSteps_.store(steps);
}

int32_t DriverBinding::LoadDriverLibrary() {
    std::lock_guard guard(lock_);
    return LoadLocked();
}

int32_t DriverBinding::LoadLocked() {
    if (queryInterface_.load()) return nvapi::OK;
    if (!opener_) return nvapi::LIBRARY_NOT_FOUND;

    OpenedDriver opened;
    if (int32_t status = opener_(opened); status != nvapi::OK) return status;
    if (!opened.queryInterface) return nvapi::ERROR;

    auto initialize = reinterpret_cast<nvapi::InitializeFn>(opened.queryInterface(nvapi::Initialize));
    if (!initialize) return nvapi::ERROR;
    // A driver that refuses to start stays unbound; `opened` releases the library.
    if (int32_t status = initialize(); status != nvapi::OK) return status;

    ClearCache();
    library_ = std::move(opened.library);
    queryInterface_.store(opened.queryInterface);
    return nvapi::OK;
}

int32_t DriverBinding::DriverInitialize() {
    std::lock_guard guard(lock_);
    int32_t status = LoadLocked();
    if (status == nvapi::OK) refCount_.fetch_add(1);
    return status;
}

int32_t DriverBinding::DriverUnload() {
    std::lock_guard guard(lock_);
    unloading_.store(true);
    // Declared after the guard, so stubs see the flag drop while the lock is still held and
    // then queue on the lock for a fresh load.
    struct ClearUnloading {
        std::atomic<bool>& flag;
        ~ClearUnloading() { flag.store(false); }
    } clearUnloading{unloading_};

    if (!queryInterface_.load()) return nvapi::API_NOT_INITIALIZED;

    const uint32_t count = refCount_.load();
    if (count > 1) {
        refCount_.store(count - 1);
        return nvapi::OK;
    }
    // Count 0 means a stub bound the library on demand; that is the last user as well, and
    // the count must not wrap below zero.
    refCount_.store(0);
    if (busyCount_.load() != 0) return nvapi::API_IN_USE;

    auto unload = reinterpret_cast<nvapi::UnloadFn>(Resolve(nvapi::Unload));
    if (!unload) return nvapi::NO_IMPLEMENTATION;
    if (unload() != nvapi::OK) {
        refCount_.store(count);
        return nvapi::ERROR;
    }

    queryInterface_.store(nullptr);
    ClearCache();
    library_.reset();
    // busyCount_ is left alone: every stub owns its own increment, including one that is
    // waiting on `unloading_` right now.
    return nvapi::OK;
}

int32_t DriverBinding::EnsureBound() {
    if (unloading_.load()) {
        const auto step = std::chrono::milliseconds(unloadWaitStepMs_.load());
        const int steps = unloadWaitSteps_.load();
        for (int i = 0; i < steps && unloading_.load(); ++i) std::this_thread::sleep_for(step);
        if (unloading_.load()) return nvapi::ERROR;
    }
    if (queryInterface_.load()) return nvapi::OK;
    // Two stubs may arrive here at once; the lock makes the second one find the first's load.
    std::lock_guard guard(lock_);
    return LoadLocked();
}

void* DriverBinding::Resolve(uint32_t id) {
    QueryInterfaceFn query = queryInterface_.load();
    if (!query) return nullptr;
    const int slot = FindSlot(id);
    if (slot < 0) return query(id);
    // Two threads may fill the same slot; both store the same address.
    void* entry = entryCache_[static_cast<std::size_t>(slot)].load(std::memory_order_acquire);
    if (!entry) {
        entry = query(id);
        if (entry) entryCache_[static_cast<std::size_t>(slot)].store(entry, std::memory_order_release);
    }
    return entry;
}

void DriverBinding::ClearCache() {
    for (auto& slot : entryCache_) slot.store(nullptr);
}

}  // namespace vx::driver
