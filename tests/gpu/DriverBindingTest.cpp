// The binding's statuses, reference counting, busy accounting and entry cache, against a
// tiny in-process driver whose entries the tests steer.
#include "gpu/DriverBinding.h"
#include "gpu/NvApiEntries.h"
#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace vx::driver {
namespace {

struct FakeDriver {
    int32_t initializeStatus = 0;
    int32_t unloadStatus = 0;
    int32_t callStatus = 0;
    int initializeCalls = 0;
    int unloadCalls = 0;
    std::set<uint32_t> missing;
    std::map<uint32_t, int> queries;
    std::function<void()> duringCall;
    std::function<void()> duringUnload;
    std::atomic<nvapi::PhysicalGpuHandle> lastHandle{nullptr};

    void Reset() {
        initializeStatus = unloadStatus = callStatus = 0;
        initializeCalls = unloadCalls = 0;
        missing.clear();
        queries.clear();
        duringCall = nullptr;
        duringUnload = nullptr;
        lastHandle.store(nullptr);
    }
};

FakeDriver fake;
std::mutex fakeQueriesLock;  // the concurrency test queries from several threads

int32_t FakeInitialize() {
    ++fake.initializeCalls;
    return fake.initializeStatus;
}

int32_t FakeUnload() {
    ++fake.unloadCalls;
    if (fake.duringUnload) fake.duringUnload();
    return fake.unloadStatus;
}

int32_t FakeRamTypeA(nvapi::PhysicalGpuHandle gpu, uint32_t* code) {
    if (fake.duringCall) fake.duringCall();
    fake.lastHandle.store(gpu);
    *code = 7;
    return fake.callStatus;
}

int32_t FakeRamTypeB(nvapi::PhysicalGpuHandle, uint32_t* code) {
    *code = 8;
    return 0;
}

void* Resolve(uint32_t id, void* ramTypeEntry) {
    {
        std::lock_guard guard(fakeQueriesLock);
        ++fake.queries[id];
    }
    if (fake.missing.count(id)) return nullptr;
    switch (id) {
        case nvapi::Initialize: return reinterpret_cast<void*>(&FakeInitialize);
        case nvapi::Unload: return reinterpret_cast<void*>(&FakeUnload);
        case nvapi::GPU_GetRamType: return ramTypeEntry;
        default: return nullptr;
    }
}

void* FakeQueryA(uint32_t id) { return Resolve(id, reinterpret_cast<void*>(&FakeRamTypeA)); }
void* FakeQueryB(uint32_t id) { return Resolve(id, reinterpret_cast<void*>(&FakeRamTypeB)); }

DriverOpener FailingOpener(int32_t status) {
    return [status](OpenedDriver&) { return status; };
}

class DriverBindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake.Reset();
        binding.SetUnloadWait(std::chrono::milliseconds(1), 3);
    }
    void TearDown() override { fake.Reset(); }

    int32_t CallRamType(uint32_t& code) { return entries.GetRamType(handle, &code); }

    DriverBinding binding{InProcessOpener(&FakeQueryA)};
    NvApiEntries entries{binding};
    nvapi::PhysicalGpuHandle handle = reinterpret_cast<nvapi::PhysicalGpuHandle>(0x1234);
};

TEST_F(DriverBindingTest, LoadFailuresLeaveNothingBound) {
    {
        DriverBinding refused(FailingOpener(nvapi::LIBRARY_NOT_FOUND));
        EXPECT_EQ(refused.DriverInitialize(), nvapi::LIBRARY_NOT_FOUND);
        EXPECT_FALSE(refused.isBound());
        EXPECT_EQ(refused.refCount(), 0u);
    }
    {
        DriverBinding noExport(InProcessOpener(nullptr));
        EXPECT_EQ(noExport.DriverInitialize(), nvapi::ERROR);
        EXPECT_FALSE(noExport.isBound());
    }
    {
        fake.missing.insert(nvapi::Initialize);
        DriverBinding noInitialize(InProcessOpener(&FakeQueryA));
        EXPECT_EQ(noInitialize.DriverInitialize(), nvapi::ERROR);
        EXPECT_FALSE(noInitialize.isBound());
        fake.missing.clear();
    }
    {
        fake.initializeStatus = nvapi::NVIDIA_DEVICE_NOT_FOUND;
        EXPECT_EQ(binding.DriverInitialize(), nvapi::NVIDIA_DEVICE_NOT_FOUND);
        EXPECT_FALSE(binding.isBound());
        EXPECT_EQ(binding.refCount(), 0u);
    }
    fake.initializeStatus = 0;
    EXPECT_EQ(binding.DriverInitialize(), 0);
    EXPECT_TRUE(binding.isBound());
    EXPECT_EQ(binding.refCount(), 1u);
}

TEST_F(DriverBindingTest, StubsPassThroughAndNeverLeaveBusyRaised) {
    uint32_t code = 0;
    // Nothing loaded yet: the stub binds on demand without taking a reference.
    fake.callStatus = nvapi::NOT_SUPPORTED;
    EXPECT_EQ(CallRamType(code), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(fake.lastHandle.load(), handle);
    EXPECT_TRUE(binding.isBound());
    EXPECT_EQ(binding.refCount(), 0u);
    EXPECT_EQ(binding.busyCount(), 0u);

    fake.missing.insert(nvapi::GPU_SetPerfClocks);
    EXPECT_EQ(entries.SetPerfClocks(handle, 0, nullptr), nvapi::NO_IMPLEMENTATION);
    EXPECT_EQ(binding.busyCount(), 0u);

    DriverBinding unloadable(FailingOpener(nvapi::LIBRARY_NOT_FOUND));
    NvApiEntries unloadableEntries(unloadable);
    EXPECT_EQ(unloadableEntries.GetRamType(handle, &code), nvapi::LIBRARY_NOT_FOUND);
    EXPECT_EQ(unloadable.busyCount(), 0u);
}

TEST_F(DriverBindingTest, EntriesAreResolvedOnceAndCacheIsClearedOnRebind) {
    uint32_t code = 0;
    ASSERT_EQ(binding.DriverInitialize(), 0);
    EXPECT_EQ(CallRamType(code), 0);
    EXPECT_EQ(CallRamType(code), 0);
    EXPECT_EQ(fake.queries[nvapi::GPU_GetRamType], 1);

    ASSERT_EQ(binding.DriverUnload(), 0);
    binding.SetOpener(InProcessOpener(&FakeQueryB));
    ASSERT_EQ(binding.DriverInitialize(), 0);
    EXPECT_EQ(CallRamType(code), 0);
    EXPECT_EQ(code, 8u) << "an address from the previous library was used";
}

TEST_F(DriverBindingTest, UnloadCountsUsersAndUnbindsWithTheLast) {
    EXPECT_EQ(binding.DriverUnload(), nvapi::API_NOT_INITIALIZED);

    ASSERT_EQ(binding.DriverInitialize(), 0);
    ASSERT_EQ(binding.DriverInitialize(), 0);
    EXPECT_EQ(fake.initializeCalls, 1) << "a bound library is not initialised twice";
    EXPECT_EQ(binding.refCount(), 2u);

    EXPECT_EQ(binding.DriverUnload(), 0);
    EXPECT_EQ(binding.refCount(), 1u);
    EXPECT_TRUE(binding.isBound());
    EXPECT_EQ(fake.unloadCalls, 0);

    EXPECT_EQ(binding.DriverUnload(), 0);
    EXPECT_EQ(fake.unloadCalls, 1);
    EXPECT_FALSE(binding.isBound());
    EXPECT_EQ(binding.refCount(), 0u);
    EXPECT_EQ(binding.DriverUnload(), nvapi::API_NOT_INITIALIZED);

    // A library bound on demand by a stub holds no count; unloading it must not wrap the count.
    uint32_t code = 0;
    EXPECT_EQ(CallRamType(code), 0);
    EXPECT_EQ(binding.DriverUnload(), 0);
    EXPECT_FALSE(binding.isBound());
    EXPECT_EQ(binding.refCount(), 0u);
}

TEST_F(DriverBindingTest, UnloadFailures) {
    ASSERT_EQ(binding.DriverInitialize(), 0);

    fake.unloadStatus = nvapi::ERROR;
    EXPECT_EQ(binding.DriverUnload(), nvapi::ERROR);
    EXPECT_EQ(binding.refCount(), 1u) << "the count is restored when the driver refuses";
    EXPECT_TRUE(binding.isBound());

    fake.unloadStatus = 0;
    fake.missing.insert(nvapi::Unload);
    DriverBinding noUnload(InProcessOpener(&FakeQueryA));
    ASSERT_EQ(noUnload.DriverInitialize(), 0);
    EXPECT_EQ(noUnload.DriverUnload(), nvapi::NO_IMPLEMENTATION);
    EXPECT_TRUE(noUnload.isBound());
    EXPECT_FALSE(noUnload.isUnloading());
}

TEST_F(DriverBindingTest, UnloadRefusesWhileACallIsInFlight) {
    ASSERT_EQ(binding.DriverInitialize(), 0);
    int32_t unloadInside = 0;
    uint32_t busyInside = 0;
    fake.duringCall = [&] {
        busyInside = binding.busyCount();
        unloadInside = binding.DriverUnload();
    };
    uint32_t code = 0;
    EXPECT_EQ(CallRamType(code), 0);
    EXPECT_EQ(busyInside, 1u);
    EXPECT_EQ(unloadInside, nvapi::API_IN_USE);
    EXPECT_EQ(binding.refCount(), 0u) << "the refused unload keeps its decrement";
    EXPECT_TRUE(binding.isBound());
    EXPECT_EQ(fake.unloadCalls, 0);
    EXPECT_EQ(binding.busyCount(), 0u);

    fake.duringCall = nullptr;
    EXPECT_EQ(binding.DriverUnload(), 0);
    EXPECT_FALSE(binding.isBound());
}

TEST_F(DriverBindingTest, StubDuringUnloadWaitsThenFails) {
    ASSERT_EQ(binding.DriverInitialize(), 0);
    int32_t stubInside = 0;
    bool unloadingSeen = false;
    fake.duringUnload = [&] {
        unloadingSeen = binding.isUnloading();
        uint32_t code = 0;
        stubInside = CallRamType(code);
    };
    EXPECT_EQ(binding.DriverUnload(), 0);
    EXPECT_TRUE(unloadingSeen);
    EXPECT_EQ(stubInside, nvapi::ERROR);
    EXPECT_EQ(binding.busyCount(), 0u);
    EXPECT_FALSE(binding.isUnloading());

    // After the unload a stub binds the library again by itself.
    uint32_t code = 0;
    EXPECT_EQ(CallRamType(code), 0);
    EXPECT_TRUE(binding.isBound());
}

TEST_F(DriverBindingTest, ConcurrentStubsLoadTheLibraryOnce) {
    std::atomic<int> opens{0};
    binding.SetOpener([&opens](OpenedDriver& out) {
        opens.fetch_add(1);
        out.queryInterface = &FakeQueryA;
        return 0;
    });
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                uint32_t code = 0;
                if (entries.GetRamType(handle, &code) != 0 || code != 7) failures.fetch_add(1);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(opens.load(), 1);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(binding.busyCount(), 0u);
}

// Stands in for a loaded library so the test can tell when it has been released.
std::atomic<int> librariesAlive{0};
std::atomic<int> callsIntoReleasedLibrary{0};

class CountedLibrary : public platform::DynamicLibrary {
public:
    CountedLibrary() { librariesAlive.fetch_add(1); }
    ~CountedLibrary() override { librariesAlive.fetch_sub(1); }
    void* Symbol(const std::string&) const override { return nullptr; }
};

int32_t CheckedRamType(nvapi::PhysicalGpuHandle, uint32_t* code) {
    if (librariesAlive.load() == 0) callsIntoReleasedLibrary.fetch_add(1);
    *code = 7;
    return 0;
}

void* CheckedQuery(uint32_t id) { return Resolve(id, reinterpret_cast<void*>(&CheckedRamType)); }

TEST_F(DriverBindingTest, UnloadNeverReleasesTheLibraryUnderARunningCall) {
    binding.SetOpener([](OpenedDriver& out) {
        out.library = std::make_shared<CountedLibrary>();
        out.queryInterface = &CheckedQuery;
        return 0;
    });
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 3; ++t) {
        callers.emplace_back([&] {
            while (!stop.load()) {
                uint32_t code = 0;
                const int32_t status = entries.GetRamType(handle, &code);
                // ERROR: an unload outlasted the waits.
                if (status != 0 && status != nvapi::ERROR) unexpected.fetch_add(1);
            }
        });
    }
    for (int i = 0; i < 300; ++i) {
        if (binding.DriverInitialize() != 0) unexpected.fetch_add(1);
        const int32_t status = binding.DriverUnload();
        if (status != 0 && status != nvapi::API_IN_USE) unexpected.fetch_add(1);
    }
    stop.store(true);
    for (std::thread& caller : callers) caller.join();

    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_EQ(callsIntoReleasedLibrary.load(), 0);
    EXPECT_EQ(binding.busyCount(), 0u);
}

}  // namespace
}  // namespace vx::driver
