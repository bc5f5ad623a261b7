// Enumeration, the display, and what each GPU reports about itself.
#include "sim/Simulator.h"

#include "SimTestSupport.h"
#include "gpu/NvApiIds.h"
#include "support/RigBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

struct Enumeration {
    int32_t status = 0;
    uint32_t count = 0;
    // The slots, then a guard word the driver must never reach.
    struct {
        PhysicalGpuHandle slots[kMaxPhysicalGpus];
        uint64_t guard;
    } buffer{};
};

Enumeration Enumerate(test::SimulatedDriver& driver, uint32_t id) {
    Enumeration e;
    for (auto& slot : e.buffer.slots) slot = reinterpret_cast<PhysicalGpuHandle>(uintptr_t{1});
    e.buffer.guard = 0x5AFE5AFE5AFE5AFEull;
    e.status = driver.Entry<EnumPhysicalGPUsFn>(id)(e.buffer.slots, &e.count);
    return e;
}

TEST(SimGpuInfo, PhysicalAndComputeGpusAreEnumeratedSeparately) {
    test::SimulatedDriver driver(test::RigBuilder().Gpu(0x1B82).Gpu(0x1184).Compute().Gpu(0x06CD).Build());
    ASSERT_EQ(driver.Entry<InitializeFn>(Initialize)(), OK);
    Enumeration physical = Enumerate(driver, EnumPhysicalGPUs);
    Enumeration compute = Enumerate(driver, EnumTCCPhysicalGPUs);
    ASSERT_EQ(physical.status, OK);
    ASSERT_EQ(compute.status, OK);
    ASSERT_EQ(physical.count, 2u);
    ASSERT_EQ(compute.count, 1u);
    for (uint32_t i = physical.count; i < kMaxPhysicalGpus; ++i) EXPECT_EQ(physical.buffer.slots[i], nullptr);

    // Rig order is kept: physical 0 is rig GPU 0, physical 1 is rig GPU 2, compute 0 is rig GPU 1.
    uint32_t device = 0, sub = 0, rev = 0, ext = 0;
    auto pci = driver.Entry<GetPCIIdentifiersFn>(GPU_GetPCIIdentifiers);
    ASSERT_EQ(pci(physical.buffer.slots[1], &device, &sub, &rev, &ext), OK);
    EXPECT_EQ(device, 0x06CD10DEu);
    ASSERT_EQ(pci(compute.buffer.slots[0], &device, &sub, &rev, &ext), OK);
    EXPECT_EQ(device, 0x118410DEu);
    std::set<PhysicalGpuHandle> distinct{physical.buffer.slots[0], physical.buffer.slots[1], compute.buffer.slots[0]};
    EXPECT_EQ(distinct.size(), 3u);
}

TEST(SimGpuInfo, EnumerationNeverWritesPastTheCallersSixtyFourSlots) {
    // Built rigs are not bounded by the file loader; the driver side must still stop at 64.
    test::SimulatedDriver driver(test::RigBuilder().Gpus(70, 0x1B82).Build());
    ASSERT_EQ(driver.Entry<InitializeFn>(Initialize)(), OK);
    Enumeration e = Enumerate(driver, EnumPhysicalGPUs);
    EXPECT_EQ(e.status, OK);
    EXPECT_EQ(e.count, 64u);
    EXPECT_EQ(e.buffer.guard, 0x5AFE5AFE5AFE5AFEull);
    EXPECT_NE(e.buffer.slots[63], nullptr);
}

TEST(SimGpuInfo, ARigWithoutDisplayGpusHasNoDisplay) {
    test::SimulatedDriver driver(test::RigBuilder().Gpu(0x1B82).Compute().Build());
    ASSERT_EQ(driver.Entry<InitializeFn>(Initialize)(), OK);
    Enumeration physical = Enumerate(driver, EnumPhysicalGPUs);
    EXPECT_EQ(physical.status, NVIDIA_DEVICE_NOT_FOUND);
    EXPECT_EQ(physical.count, 0u);
    EXPECT_EQ(Enumerate(driver, EnumTCCPhysicalGPUs).count, 1u);
    DisplayHandle display = nullptr;
    EXPECT_EQ(driver.Entry<EnumNvidiaDisplayHandleFn>(EnumNvidiaDisplayHandle)(0, &display), END_ENUMERATION);

    test::SimulatedDriver empty(test::RigBuilder().Build());
    ASSERT_EQ(empty.Entry<InitializeFn>(Initialize)(), OK);
    EXPECT_EQ(Enumerate(empty, EnumPhysicalGPUs).count, 0u);
    Enumeration noCompute = Enumerate(empty, EnumTCCPhysicalGPUs);
    EXPECT_EQ(noCompute.status, OK);
    EXPECT_EQ(noCompute.count, 0u);
}

TEST(SimGpuInfo, DisplayReportsTheDriverAndTheFirstGpu) {
    test::SimulatedDriver driver(DemoRig());
    ASSERT_EQ(driver.Entry<InitializeFn>(Initialize)(), OK);
    auto enumDisplay = driver.Entry<EnumNvidiaDisplayHandleFn>(EnumNvidiaDisplayHandle);
    DisplayHandle display = nullptr, second = nullptr;
    ASSERT_EQ(enumDisplay(0, &display), OK);
    EXPECT_NE(display, nullptr);
    ASSERT_EQ(enumDisplay(1, &second), OK) << "the second GPU's multi-display device";
    EXPECT_NE(second, display);
    EXPECT_EQ(enumDisplay(2, &second), END_ENUMERATION);
    EXPECT_EQ(enumDisplay(0xFFFFFFFF, &second), END_ENUMERATION);

    DisplayDriverVersion version{};
    std::memset(&version, 0xCC, sizeof version);
    version.version = kDisplayDriverVersionVer;
    ASSERT_EQ(driver.Entry<GetDisplayDriverVersionFn>(GetDisplayDriverVersion)(display, &version), OK);
    EXPECT_EQ(version.drvVersion, 41091u);
    EXPECT_STREQ(version.buildBranch, "r410_00");
    EXPECT_STREQ(version.adapter, "GeForce GTX 1070 Ti");

    auto memory = test::Versioned<DisplayDriverMemoryInfo>(kDisplayDriverMemoryInfoVer);
    ASSERT_EQ(driver.Entry<GetDisplayDriverMemoryInfoFn>(GetDisplayDriverMemoryInfo)(display, &memory), OK);
    EXPECT_EQ(memory.dedicatedVideoMemory, 8u * 1024 * 1024);
    EXPECT_EQ(memory.version, kDisplayDriverMemoryInfoVer);

    char text[kShortStringSize];
    ASSERT_EQ(driver.Entry<GetInterfaceVersionStringFn>(GetInterfaceVersionString)(text), OK);
    EXPECT_STREQ(text, "R410_00");
}

TEST(SimGpuInfo, LongStringsOfABuiltRigAreCutWithATerminatingZero) {
    test::SimulatedDriver driver(test::RigBuilder().Gpu(0x1B82).Name(std::string(200, 'x')).Build());
    std::vector<PhysicalGpuHandle> gpus = driver.InitializeAndEnumerate();
    ASSERT_EQ(gpus.size(), 1u);
    struct {
        char text[kShortStringSize];
        char guard[8];
    } buffer;
    std::memset(&buffer, 'G', sizeof buffer);
    ASSERT_EQ(driver.Entry<GetFullNameFn>(GPU_GetFullName)(gpus[0], buffer.text), OK);
    EXPECT_EQ(std::string(buffer.text), std::string(63, 'x'));
    EXPECT_EQ(std::string(buffer.guard, 8), std::string(8, 'G'));
}

}  // namespace
}  // namespace vx::sim
