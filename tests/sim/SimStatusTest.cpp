// The statuses every entry shares: initialisation, handles, null pointers, version words,
// and the faults a test can inject.
#include "sim/Simulator.h"

#include "SimTestSupport.h"
#include "gpu/NvApiIds.h"
#include "support/RigBuilder.h"

#include <gtest/gtest.h>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

class SimStatus : public ::testing::Test {
protected:
    template <typename Fn>
    Fn E(uint32_t id) {
        Fn fn = driver_.Entry<Fn>(id);
        EXPECT_NE(fn, nullptr) << std::hex << id;
        return fn;
    }

    // Calls every simulated entry that takes a GPU handle with `gpu` and good buffers.
    std::vector<int32_t> CallGpuEntries(PhysicalGpuHandle gpu) {
        char text[kShortStringSize];
        uint32_t a = 0, b = 0, c = 0, d = 0;
        LegacyPerfClocks table{};
        table.version = kLegacyPerfClocksVer;
        std::vector<int32_t> statuses;
        statuses.push_back(E<GetPCIIdentifiersFn>(GPU_GetPCIIdentifiers)(gpu, &a, &b, &c, &d));
        statuses.push_back(E<GetFullNameFn>(GPU_GetFullName)(gpu, text));
        statuses.push_back(E<GetFullNameFn>(GPU_GetVbiosVersionString)(gpu, text));
        statuses.push_back(E<GetRamTypeFn>(GPU_GetRamType)(gpu, &a));
        statuses.push_back(E<GetMemoryBusWidthFn>(GPU_GetMemoryBusWidth)(gpu, &a, &b));
        statuses.push_back(E<GetPerfClocksFn>(GPU_GetPerfClocks)(gpu, kAllLevels, &table));
        table.levels[0].domains[0].flags = 0;  // nothing to apply: the write changes nothing
        statuses.push_back(E<SetPerfClocksFn>(GPU_SetPerfClocks)(gpu, 0, &table));
        return statuses;
    }

    std::vector<PhysicalGpuHandle> Enumerate() {
        PhysicalGpuHandle handles[kMaxPhysicalGpus] = {};
        uint32_t count = 0;
        EXPECT_EQ(E<EnumPhysicalGPUsFn>(EnumPhysicalGPUs)(handles, &count), OK);
        return {handles, handles + count};
    }

    DisplayHandle Display() {
        DisplayHandle display = nullptr;
        EXPECT_EQ(E<EnumNvidiaDisplayHandleFn>(EnumNvidiaDisplayHandle)(0, &display), OK);
        return display;
    }

    test::SimulatedDriver driver_{DemoRig()};
};

TEST_F(SimStatus, EveryEntryButInitializeWaitsForInitialize) {
    // Handles cannot be had yet; any value must still be answered with "not initialised".
    auto fake = reinterpret_cast<PhysicalGpuHandle>(uintptr_t{0x1234});
    for (int32_t status : CallGpuEntries(fake)) EXPECT_EQ(status, API_NOT_INITIALIZED);
    PhysicalGpuHandle handles[kMaxPhysicalGpus];
    uint32_t count = 0;
    DisplayHandle display = nullptr;
    auto version = test::Versioned<DisplayDriverVersion>(kDisplayDriverVersionVer);
    auto memory = test::Versioned<DisplayDriverMemoryInfo>(kDisplayDriverMemoryInfoVer);
    char text[kShortStringSize];
    EXPECT_EQ(E<EnumPhysicalGPUsFn>(EnumPhysicalGPUs)(handles, &count), API_NOT_INITIALIZED);
    EXPECT_EQ(E<EnumPhysicalGPUsFn>(EnumTCCPhysicalGPUs)(handles, &count), API_NOT_INITIALIZED);
    EXPECT_EQ(E<EnumNvidiaDisplayHandleFn>(EnumNvidiaDisplayHandle)(0, &display), API_NOT_INITIALIZED);
    EXPECT_EQ(E<GetDisplayDriverVersionFn>(GetDisplayDriverVersion)(nullptr, &version), API_NOT_INITIALIZED);
    EXPECT_EQ(E<GetDisplayDriverMemoryInfoFn>(GetDisplayDriverMemoryInfo)(nullptr, &memory), API_NOT_INITIALIZED);
    EXPECT_EQ(E<GetInterfaceVersionStringFn>(GetInterfaceVersionString)(text), API_NOT_INITIALIZED);
    EXPECT_EQ(E<UnloadFn>(Unload)(), API_NOT_INITIALIZED);

    EXPECT_EQ(E<InitializeFn>(Initialize)(), OK);
    EXPECT_TRUE(driver_.sim().IsInitialized());
    EXPECT_EQ(E<EnumPhysicalGPUsFn>(EnumPhysicalGPUs)(handles, &count), OK);
    EXPECT_EQ(E<UnloadFn>(Unload)(), OK);
    EXPECT_EQ(E<EnumPhysicalGPUsFn>(EnumPhysicalGPUs)(handles, &count), API_NOT_INITIALIZED);
    EXPECT_EQ(E<UnloadFn>(Unload)(), API_NOT_INITIALIZED);
    for (int32_t status : CallGpuEntries(fake)) EXPECT_EQ(status, API_NOT_INITIALIZED);
}

TEST_F(SimStatus, HandlesThatAreNotOursAreInvalid) {
    std::vector<PhysicalGpuHandle> gpus = driver_.InitializeAndEnumerate();
    ASSERT_EQ(gpus.size(), 2u);
    for (int32_t status : CallGpuEntries(gpus[1])) EXPECT_EQ(status, OK);

    int local = 0;
    DisplayHandle display = Display();
    for (PhysicalGpuHandle bad : {PhysicalGpuHandle{}, reinterpret_cast<PhysicalGpuHandle>(&local),
                                  reinterpret_cast<PhysicalGpuHandle>(display)})
        for (int32_t status : CallGpuEntries(bad)) EXPECT_EQ(status, INVALID_HANDLE);

    auto version = test::Versioned<DisplayDriverVersion>(kDisplayDriverVersionVer);
    EXPECT_EQ(E<GetDisplayDriverVersionFn>(GetDisplayDriverVersion)(nullptr, &version), INVALID_HANDLE);
    EXPECT_EQ(E<GetDisplayDriverVersionFn>(GetDisplayDriverVersion)(reinterpret_cast<DisplayHandle>(gpus[0]), &version),
              INVALID_HANDLE);

    // A handle of another simulator, even for a GPU index this rig has, is not ours.
    PhysicalGpuHandle foreign = nullptr;
    {
        test::SimulatedDriver other(test::RigBuilder().Gpu(0x1B82).Gpu(0x1184).Gpu(0x06CD).Build());
        std::vector<PhysicalGpuHandle> otherGpus = other.InitializeAndEnumerate();
        ASSERT_EQ(otherGpus.size(), 3u);
        foreign = otherGpus[0];
        // Past our rig's last GPU as well.
        driver_.sim().Activate();
        for (int32_t status : CallGpuEntries(otherGpus[2])) EXPECT_EQ(status, INVALID_HANDLE);
    }
    driver_.sim().Activate();
    for (int32_t status : CallGpuEntries(foreign)) EXPECT_EQ(status, INVALID_HANDLE);
}

TEST_F(SimStatus, NullOutPointersAreInvalidArguments) {
    std::vector<PhysicalGpuHandle> gpus = driver_.InitializeAndEnumerate();
    ASSERT_FALSE(gpus.empty());
    PhysicalGpuHandle gpu = gpus[0];
    uint32_t a = 0, b = 0, c = 0, d = 0;
    PhysicalGpuHandle handles[kMaxPhysicalGpus];

    EXPECT_EQ(E<GetInterfaceVersionStringFn>(GetInterfaceVersionString)(nullptr), INVALID_ARGUMENT);
    EXPECT_EQ(E<EnumPhysicalGPUsFn>(EnumPhysicalGPUs)(nullptr, &a), INVALID_ARGUMENT);
    EXPECT_EQ(E<EnumPhysicalGPUsFn>(EnumPhysicalGPUs)(handles, nullptr), INVALID_ARGUMENT);
    EXPECT_EQ(E<EnumPhysicalGPUsFn>(EnumTCCPhysicalGPUs)(nullptr, &a), INVALID_ARGUMENT);
    EXPECT_EQ(E<EnumNvidiaDisplayHandleFn>(EnumNvidiaDisplayHandle)(0, nullptr), INVALID_ARGUMENT);
    EXPECT_EQ(E<GetDisplayDriverVersionFn>(GetDisplayDriverVersion)(Display(), nullptr), INVALID_ARGUMENT);
    EXPECT_EQ(E<GetDisplayDriverMemoryInfoFn>(GetDisplayDriverMemoryInfo)(Display(), nullptr), INVALID_ARGUMENT);
    EXPECT_EQ(E<GetPCIIdentifiersFn>(GPU_GetPCIIdentifiers)(gpu, nullptr, &b, &c, &d), INVALID_ARGUMENT);
    EXPECT_EQ(E<GetPCIIdentifiersFn>(GPU_GetPCIIdentifiers)(gpu, &a, nullptr, &c, &d), INVALID_ARGUMENT);
    EXPECT_EQ(E<GetPCIIdentifiersFn>(GPU_GetPCIIdentifiers)(gpu, &a, &b, nullptr, &d), INVALID_ARGUMENT);
    EXPECT_EQ(E<GetPCIIdentifiersFn>(GPU_GetPCIIdentifiers)(gpu, &a, &b, &c, nullptr), INVALID_ARGUMENT);
    EXPECT_EQ(E<GetFullNameFn>(GPU_GetFullName)(gpu, nullptr), INVALID_ARGUMENT);
    EXPECT_EQ(E<GetFullNameFn>(GPU_GetVbiosVersionString)(gpu, nullptr), INVALID_ARGUMENT);
    EXPECT_EQ(E<GetRamTypeFn>(GPU_GetRamType)(gpu, nullptr), INVALID_ARGUMENT);
    EXPECT_EQ(E<GetMemoryBusWidthFn>(GPU_GetMemoryBusWidth)(gpu, nullptr, &b), INVALID_ARGUMENT);
    EXPECT_EQ(E<GetMemoryBusWidthFn>(GPU_GetMemoryBusWidth)(gpu, &a, nullptr), INVALID_ARGUMENT);
    EXPECT_EQ(E<GetPerfClocksFn>(GPU_GetPerfClocks)(gpu, kAllLevels, nullptr), INVALID_ARGUMENT);
    EXPECT_EQ(E<SetPerfClocksFn>(GPU_SetPerfClocks)(gpu, 0, nullptr), INVALID_ARGUMENT);
}

TEST_F(SimStatus, WrongOrRefusedVersionWordsAreIncompatible) {
    std::vector<PhysicalGpuHandle> gpus = driver_.InitializeAndEnumerate();
    ASSERT_FALSE(gpus.empty());
    auto version = test::Versioned<DisplayDriverVersion>(MakeVersion(sizeof(DisplayDriverVersion), 2));
    auto memory = test::Versioned<DisplayDriverMemoryInfo>(MakeVersion(28, 2));
    LegacyPerfClocks table{};
    table.version = MakeVersion(sizeof(LegacyPerfClocks), 1);
    EXPECT_EQ(E<GetDisplayDriverVersionFn>(GetDisplayDriverVersion)(Display(), &version), INCOMPATIBLE_STRUCT_VERSION);
    EXPECT_EQ(E<GetDisplayDriverMemoryInfoFn>(GetDisplayDriverMemoryInfo)(Display(), &memory),
              INCOMPATIBLE_STRUCT_VERSION);
    EXPECT_EQ(E<GetPerfClocksFn>(GPU_GetPerfClocks)(gpus[0], kAllLevels, &table), INCOMPATIBLE_STRUCT_VERSION);
    EXPECT_EQ(E<SetPerfClocksFn>(GPU_SetPerfClocks)(gpus[0], 0, &table), INCOMPATIBLE_STRUCT_VERSION);
    EXPECT_EQ(table.levelCount, 0u) << "a refused read leaves the buffer alone";

    // A refused version word fails that entry only, until the fault is cleared.
    driver_.sim().RefuseVersion(GPU_GetPerfClocks, kLegacyPerfClocksVer);
    table.version = kLegacyPerfClocksVer;
    EXPECT_EQ(E<GetPerfClocksFn>(GPU_GetPerfClocks)(gpus[0], kAllLevels, &table), INCOMPATIBLE_STRUCT_VERSION);
    version.version = kDisplayDriverVersionVer;
    EXPECT_EQ(E<GetDisplayDriverVersionFn>(GetDisplayDriverVersion)(Display(), &version), OK);
    driver_.sim().ClearFault(GPU_GetPerfClocks);
    EXPECT_EQ(E<GetPerfClocksFn>(GPU_GetPerfClocks)(gpus[0], kAllLevels, &table), OK);
}

TEST_F(SimStatus, ForcedStatusReplacesTheEntryWithoutEffect) {
    driver_.sim().ForceStatus(Initialize, NVIDIA_DEVICE_NOT_FOUND);
    EXPECT_EQ(E<InitializeFn>(Initialize)(), NVIDIA_DEVICE_NOT_FOUND);
    EXPECT_FALSE(driver_.sim().IsInitialized());
    driver_.sim().ClearFault(Initialize);

    std::vector<PhysicalGpuHandle> gpus = driver_.InitializeAndEnumerate();
    ASSERT_EQ(gpus.size(), 2u);
    driver_.sim().ForceStatus(GPU_GetRamType, NOT_SUPPORTED);
    uint32_t code = 77;
    EXPECT_EQ(E<GetRamTypeFn>(GPU_GetRamType)(gpus[0], &code), NOT_SUPPORTED);
    EXPECT_EQ(code, 77u);
    uint32_t width = 0, location = 9;
    EXPECT_EQ(E<GetMemoryBusWidthFn>(GPU_GetMemoryBusWidth)(gpus[0], &width, &location), OK);
    EXPECT_EQ(width, 256u);
}

TEST_F(SimStatus, MissingEntryIsNotOfferedAndEarlierPointersFail) {
    auto ramType = E<GetRamTypeFn>(GPU_GetRamType);
    std::vector<PhysicalGpuHandle> gpus = driver_.InitializeAndEnumerate();
    ASSERT_FALSE(gpus.empty());
    driver_.sim().RemoveEntry(GPU_GetRamType);
    EXPECT_EQ(driver_.query()(GPU_GetRamType), nullptr);
    uint32_t code = 0;
    EXPECT_EQ(ramType(gpus[0], &code), NO_IMPLEMENTATION);
    EXPECT_NE(driver_.query()(GPU_GetFullName), nullptr);
    driver_.sim().ClearFault(GPU_GetRamType);
    EXPECT_NE(driver_.query()(GPU_GetRamType), nullptr);
    EXPECT_EQ(ramType(gpus[0], &code), OK);

    EXPECT_EQ(driver_.query()(0xDEADBEEF), nullptr);
    EXPECT_EQ(driver_.query()(GPU_GetBusId), nullptr) << "not simulated yet: absent";
}

TEST_F(SimStatus, NothingIsServedWithoutAnActiveSimulator) {
    auto initialize = E<InitializeFn>(Initialize);
    {
        test::SimulatedDriver other(DemoRig());
    }  // the other one was active and is gone
    EXPECT_EQ(Simulator::Active(), nullptr);
    EXPECT_EQ(driver_.query()(Initialize), nullptr);
    EXPECT_EQ(initialize(), API_NOT_INITIALIZED);
    driver_.sim().Activate();
    EXPECT_EQ(Simulator::Active(), &driver_.sim());
    EXPECT_EQ(initialize(), OK);
}

TEST_F(SimStatus, StaleHandlesFailUntilTheGpusAreEnumeratedAgain) {
    std::vector<PhysicalGpuHandle> old = driver_.InitializeAndEnumerate();
    ASSERT_EQ(old.size(), 2u);
    driver_.sim().MakeHandlesStale(EXPECTED_PHYSICAL_GPU_HANDLE);
    for (int32_t status : CallGpuEntries(old[0])) EXPECT_EQ(status, EXPECTED_PHYSICAL_GPU_HANDLE);
    for (int32_t status : CallGpuEntries(old[1])) EXPECT_EQ(status, EXPECTED_PHYSICAL_GPU_HANDLE);

    std::vector<PhysicalGpuHandle> fresh = Enumerate();
    ASSERT_EQ(fresh.size(), 2u);
    EXPECT_NE(fresh[0], old[0]);
    for (int32_t status : CallGpuEntries(fresh[0])) EXPECT_EQ(status, OK);
    for (int32_t status : CallGpuEntries(old[0])) EXPECT_EQ(status, EXPECTED_PHYSICAL_GPU_HANDLE);

    driver_.sim().MakeHandlesStale(HANDLE_INVALIDATED);
    for (int32_t status : CallGpuEntries(fresh[1])) EXPECT_EQ(status, HANDLE_INVALIDATED);
    for (int32_t status : CallGpuEntries(old[1])) EXPECT_EQ(status, HANDLE_INVALIDATED);
    // The compute enumeration hands out fresh handles too.
    PhysicalGpuHandle handles[kMaxPhysicalGpus];
    uint32_t count = 0;
    EXPECT_EQ(E<EnumPhysicalGPUsFn>(EnumTCCPhysicalGPUs)(handles, &count), OK);
    for (int32_t status : CallGpuEntries(Enumerate()[1])) EXPECT_EQ(status, OK);
}

}  // namespace
}  // namespace vx::sim
