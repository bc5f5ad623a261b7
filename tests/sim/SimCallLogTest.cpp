// The call log: what was called, on which GPU, with which arguments, and the answer.
#include "sim/Simulator.h"

#include "gpu/NvApiIds.h"
#include "support/RigBuilder.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

TEST(SimCallLog, RecordsEveryCallInOrderIncludingFailures) {
    test::SimulatedDriver driver(DemoRig());
    EXPECT_EQ(driver.Entry<GetRamTypeFn>(GPU_GetRamType)(nullptr, nullptr), API_NOT_INITIALIZED);
    std::vector<PhysicalGpuHandle> gpus = driver.InitializeAndEnumerate();
    ASSERT_EQ(gpus.size(), 2u);
    DisplayHandle display = nullptr;
    driver.Entry<EnumNvidiaDisplayHandleFn>(EnumNvidiaDisplayHandle)(3, &display);
    auto table = std::make_unique<LegacyPerfClocks>();
    table->version = kLegacyPerfClocksVer;
    driver.Entry<GetPerfClocksFn>(GPU_GetPerfClocks)(gpus[1], 2, table.get());
    driver.Entry<GetPerfClocksFn>(GPU_GetPerfClocks)(gpus[0], kAllLevels, nullptr);
    uint32_t code = 0;
    driver.Entry<GetRamTypeFn>(GPU_GetRamType)(reinterpret_cast<PhysicalGpuHandle>(&code), &code);

    std::vector<CallRecord> calls = driver.sim().Calls();
    ASSERT_EQ(calls.size(), 8u);
    auto expect = [&](std::size_t i, uint32_t id, int gpu, std::vector<int64_t> args, int32_t status) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].entryId, id);
        EXPECT_EQ(calls[i].gpu, gpu);
        EXPECT_EQ(calls[i].args, args);
        EXPECT_EQ(calls[i].status, status);
    };
    expect(0, GPU_GetRamType, -1, {}, API_NOT_INITIALIZED);
    expect(1, Initialize, -1, {}, OK);
    expect(2, EnumPhysicalGPUs, -1, {2}, OK);
    expect(3, EnumTCCPhysicalGPUs, -1, {0}, OK);
    expect(4, EnumNvidiaDisplayHandle, -1, {3}, END_ENUMERATION);
    expect(5, GPU_GetPerfClocks, 1, {2, kLegacyPerfClocksVer}, OK);
    expect(6, GPU_GetPerfClocks, 0, {kAllLevels}, INVALID_ARGUMENT);
    expect(7, GPU_GetRamType, -1, {}, INVALID_HANDLE);

    EXPECT_EQ(driver.sim().CallsTo(GPU_GetPerfClocks).size(), 2u);
    driver.sim().ClearCalls();
    EXPECT_TRUE(driver.sim().Calls().empty());
}

TEST(SimCallLog, KeepsTheNewestRecordsWithinItsCapacity) {
    test::SimulatedDriver driver(DemoRig());
    driver.sim().SetCallLogCapacity(3);
    auto initialize = driver.Entry<InitializeFn>(Initialize);
    auto unload = driver.Entry<UnloadFn>(Unload);
    for (int i = 0; i < 5; ++i) {
        initialize();
        unload();
    }
    std::vector<CallRecord> calls = driver.sim().Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].entryId, Unload);
    EXPECT_EQ(calls[1].entryId, Initialize);
    EXPECT_EQ(calls[2].entryId, Unload);
    driver.sim().SetCallLogCapacity(0);
    initialize();
    EXPECT_TRUE(driver.sim().Calls().empty());
}

// Entries are called from several threads at once (interface, monitor, remote server).
TEST(SimCallLog, ConcurrentCallsAreAllServedAndLogged) {
    test::SimulatedDriver driver(DemoRig());
    std::vector<PhysicalGpuHandle> gpus = driver.InitializeAndEnumerate();
    ASSERT_EQ(gpus.size(), 2u);
    driver.sim().ClearCalls();
    auto fullName = driver.Entry<GetFullNameFn>(GPU_GetFullName);
    constexpr int kThreads = 4, kCalls = 200;
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            char name[kShortStringSize];
            for (int i = 0; i < kCalls; ++i)
                if (fullName(gpus[(t + i) % 2], name) != OK || name[0] != 'G') ++failures[t];
        });
    }
    for (std::thread& t : threads) t.join();
    for (int f : failures) EXPECT_EQ(f, 0);
    EXPECT_EQ(driver.sim().Calls().size(), std::size_t{kThreads * kCalls});
}

}  // namespace
}  // namespace vx::sim
