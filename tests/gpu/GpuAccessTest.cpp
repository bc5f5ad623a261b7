// Start-up against the simulated driver: enumeration limits, per-GPU reads, accessors and
// what reaches the diagnostic outputs.
#include "SimulatedGpus.h"

#include "gpu/NvApiEntries.h"
#include "sim/Rig.h"

#include <gtest/gtest.h>

namespace vx::gputest {
namespace {

using Entry = nvapi::EntryId;

class GpuAccessTest : public SimulatedGpus {};

TEST_F(GpuAccessTest, DemoRigStartsUp) {
    const sim::Rig demo = sim::DemoRig();
    ASSERT_EQ(StartAndInitialize(demo), 0);
    ASSERT_EQ(gpus->GetGpuCount(), demo.gpus.size());

    for (uint8_t gpu = 0; gpu < gpus->GetGpuCount(); ++gpu) {
        const sim::GpuModel& model = demo.gpus[gpu];
        const GpuRecord& record = RecordOf(gpu);
        char expected[5];
        std::snprintf(expected, sizeof(expected), "%04x", model.pciDeviceId);
        EXPECT_EQ(gpus->deviceIdText(gpu), expected);
        EXPECT_NE(gpus->hPhysicalGpu(gpu), nullptr);
        EXPECT_NE(record.hNvDisplay.load(), nullptr);
        EXPECT_EQ(record.hNvDisplay.load(), RecordOf(0).hNvDisplay.load()) << "every record holds display index 0";
        EXPECT_NE(record.i2cMutex, nullptr);
        EXPECT_EQ(record.ramType, model.ramType);
        EXPECT_EQ(record.memoryBusWidth, model.memoryBusWidth);
        EXPECT_EQ(record.fanLevelNow, -1);
        EXPECT_TRUE(gpus->isSupported(gpu));
        EXPECT_TRUE(gpus->has2DLevel(gpu) || gpus->has3DLowPowerLevel(gpu) || gpus->has3DPerformanceLevel(gpu));

        std::string name;
        EXPECT_EQ(gpus->GetGpuName(gpu, name), 0);
        EXPECT_EQ(name, model.name);
    }
    EXPECT_TRUE(gpus->usesVfPoints(0));
    EXPECT_TRUE(gpus->boardA013(0));
    EXPECT_TRUE(gpus->usesPstates20(1));
    EXPECT_FALSE(gpus->usesVfPoints(1));

    uint32_t version = 0;
    std::string branch;
    EXPECT_EQ(gpus->GetDriverVersion(version, branch), 0);
    EXPECT_EQ(version, demo.driverVersion);
    EXPECT_EQ(branch, demo.buildBranch);
    uint32_t memoryKb = 0;
    EXPECT_EQ(gpus->GetMemoryInfo(memoryKb), 0);
    EXPECT_EQ(memoryKb, demo.dedicatedVideoMemoryKb);

    // The interface version is asked for once per GPU, its answer unused.
    EXPECT_EQ(simulator->CallsTo(Entry::GetInterfaceVersionString).size(), demo.gpus.size());
    EXPECT_EQ(binding->refCount(), 1u);
    EXPECT_TRUE(traces.empty());

    gpus->ReleaseHandles();
    for (uint8_t gpu = 0; gpu < gpus->GetGpuCount(); ++gpu) EXPECT_EQ(RecordOf(gpu).i2cMutex, nullptr);
    gpus->ReleaseHandles();  // a second call finds nothing left to close
}

TEST_F(GpuAccessTest, EnumerationKeepsTenOfEachKindAndTwentyInAll) {
    std::vector<sim::GpuModel> models;
    for (uint16_t i = 0; i < 12; ++i) models.push_back(Gpu(0x1000 + i));
    for (uint16_t i = 0; i < 12; ++i) models.push_back(Gpu(0x2000 + i, 0, true));
    ASSERT_EQ(StartAndInitialize(RigOf(models)), 0);
    ASSERT_EQ(gpus->GetGpuCount(), 20);
    for (uint8_t gpu = 0; gpu < 10; ++gpu) {
        EXPECT_EQ(gpus->deviceIdText(gpu), "100" + std::to_string(gpu)) << "physical GPUs first";
        EXPECT_EQ(gpus->deviceIdText(gpu + 10), "200" + std::to_string(gpu)) << "then compute GPUs";
    }
    EXPECT_EQ(gpus->hPhysicalGpu(20), nullptr);
    EXPECT_EQ(simulator->CallsTo(Entry::GPU_GetPCIIdentifiers).size(), 20u);

    models.resize(3);
    for (uint16_t i = 0; i < 12; ++i) models.push_back(Gpu(0x2000 + i, 0, true));
    ASSERT_EQ(StartAndInitialize(RigOf(models)), 0);
    EXPECT_EQ(gpus->GetGpuCount(), 13);
}

TEST_F(GpuAccessTest, NoUsableGpuOrDriverFailsWithOne) {
    EXPECT_EQ(StartAndInitialize(RigOf({})), 1);
    EXPECT_EQ(gpus->GetGpuCount(), 0);

    Start(RigOf({Gpu(0x1B82), Gpu(0x1184, 0, true)}));
    simulator->ForceStatus(Entry::EnumPhysicalGPUs, nvapi::ERROR);
    simulator->ForceStatus(Entry::EnumTCCPhysicalGPUs, nvapi::ERROR);
    EXPECT_EQ(gpus->Initialize(), 1);
    EXPECT_EQ(gpus->GetGpuCount(), 0);

    // One enumeration failing leaves the other kind usable.
    simulator->ClearFault(Entry::EnumTCCPhysicalGPUs);
    EXPECT_EQ(gpus->Initialize(), 0);
    ASSERT_EQ(gpus->GetGpuCount(), 1);
    EXPECT_EQ(gpus->deviceIdText(0), "1184");

    // A driver that cannot be bound at all.
    driver::DriverBinding unusable([](driver::OpenedDriver&) { return int32_t(nvapi::LIBRARY_NOT_FOUND); });
    GpuAccess access(unusable);
    std::vector<std::string> lines;
    access.SetTraceSink([&lines](const std::string& text) { lines.push_back(text); });
    EXPECT_EQ(access.Initialize(), 1);
    EXPECT_EQ(lines, std::vector<std::string>{"API call failed with error -2\n"});
}

TEST_F(GpuAccessTest, AMissingEntryOnlyLosesItsOwnValue) {
    Start(RigOf({Gpu(0x1B82), Gpu(0x1184)}));
    simulator->RemoveEntry(Entry::GPU_GetRamType);
    simulator->RemoveEntry(Entry::GetInterfaceVersionString);
    ASSERT_EQ(gpus->Initialize(), 0);
    for (uint8_t gpu = 0; gpu < 2; ++gpu) {
        EXPECT_EQ(RecordOf(gpu).ramType, 0u);
        EXPECT_EQ(RecordOf(gpu).memoryBusWidth, 256u);
        EXPECT_TRUE(gpus->isSupported(gpu));
    }
    EXPECT_EQ(gpus->deviceIdText(0), "1b82");

    simulator->ClearFault(Entry::GPU_GetRamType);
    simulator->ForceStatus(Entry::GPU_GetMemoryBusWidth, nvapi::NOT_SUPPORTED);
    ASSERT_EQ(gpus->Initialize(), 0);
    EXPECT_EQ(RecordOf(0).ramType, 8u);
    EXPECT_EQ(RecordOf(0).memoryBusWidth, 0u);

    std::string name;
    simulator->RemoveEntry(Entry::GPU_GetFullName);
    EXPECT_EQ(gpus->GetGpuName(0, name), nvapi::NO_IMPLEMENTATION);
    EXPECT_TRUE(name.empty());
}

TEST_F(GpuAccessTest, FailedIdentificationLeavesFlagsClear) {
    Start(RigOf({Gpu(0x1B82, 0xA0131462)}));
    simulator->ForceStatus(Entry::GPU_GetPCIIdentifiers, nvapi::INVALID_HANDLE);
    ASSERT_EQ(gpus->Initialize(), 0);
    EXPECT_TRUE(gpus->deviceIdText(0).empty());
    EXPECT_FALSE(gpus->isSupported(0));
    EXPECT_FALSE(gpus->usesVfPoints(0));
    EXPECT_FALSE(gpus->boardA013(0));
    EXPECT_EQ(simulator->CallsTo(Entry::GetInterfaceVersionString).size(), 1u);
}

TEST_F(GpuAccessTest, IndexesPastTheGpusGiveNeutralAnswers) {
    ASSERT_EQ(StartAndInitialize(RigOf({Gpu(0x1B82)})), 0);
    for (uint8_t gpu : {uint8_t(1), uint8_t(19), uint8_t(20), uint8_t(255)}) {
        EXPECT_EQ(gpus->hPhysicalGpu(gpu), nullptr);
        EXPECT_TRUE(gpus->deviceIdText(gpu).empty());
        EXPECT_TRUE(gpus->biosTagText(gpu).empty());
        EXPECT_FALSE(gpus->has2DLevel(gpu));
        EXPECT_FALSE(gpus->usesVfPoints(gpu));
        EXPECT_FALSE(gpus->isSupported(gpu));
        EXPECT_EQ(gpus->fanAccessKind(gpu), kFanNotControllable);
        EXPECT_EQ(gpus->Record(gpu), nullptr);
        gpus->SetUiFlag(gpu, 5);
        EXPECT_EQ(gpus->uiFlag(gpu), 0);
        std::string name = "unchanged";
        EXPECT_EQ(gpus->GetGpuName(gpu, name), nvapi::INVALID_ARGUMENT);
        EXPECT_EQ(name, "unchanged");
    }
    gpus->SetUiFlag(0, 5);
    EXPECT_EQ(gpus->uiFlag(0), 5);
    // No device probes yet: every slot is absent, and slots past the table are never read.
    for (int slot : {-1, 0, 14, 15}) EXPECT_FALSE(gpus->IsCardDevicePresent(0, slot));
}

TEST_F(GpuAccessTest, AuxStatusNamesGoToTheDebugOutput) {
    Start(RigOf({Gpu(0x1B82)}));
    for (int32_t status : {0, -1, -4, -5, -104, -7, 3}) gpus->ReportAuxStatus(status);
    EXPECT_EQ(debugLines, (std::vector<std::string>{"NVAPI_ERROR\r\n", "NVAPI_API_NOT_INTIALIZED\r\n",
                                                    "NVAPI_INVALID_ARGUMENT\r\n", "NVAPI_NOT_SUPPORTED\r\n",
                                                    "\r\n", "\r\n"}));
}

// A driver whose counts cannot be trusted: it claims far more GPUs, levels and domains than
// its structures hold. The simulator never does that, so this one is hand-made.
namespace hostile {
constexpr uint32_t kHugeCount = 1000;
int32_t Initialize() { return 0; }
int32_t Enumerate(nvapi::PhysicalGpuHandle handles[nvapi::kMaxPhysicalGpus], uint32_t* count) {
    for (int i = 0; i < nvapi::kMaxPhysicalGpus; ++i)
        handles[i] = reinterpret_cast<nvapi::PhysicalGpuHandle>(static_cast<uintptr_t>(0x100 + i));
    *count = kHugeCount;
    return 0;
}
int32_t PerfClocks(nvapi::PhysicalGpuHandle, int32_t, nvapi::LegacyPerfClocks* table) {
    table->levelCount = kHugeCount;
    table->domainCount = kHugeCount;
    for (nvapi::LegacyPerfLevel& level : table->levels) {
        level.flags = 4;
        for (nvapi::LegacyPerfDomain& domain : level.domains) {
            domain.domainId = nvapi::kClockDomainGraphics;
            domain.minKhz = 1;
            domain.maxKhz = 2;
        }
    }
    return 0;
}
void* Query(uint32_t id) {
    switch (id) {
        case Entry::Initialize: return reinterpret_cast<void*>(&Initialize);
        case Entry::EnumPhysicalGPUs:
        case Entry::EnumTCCPhysicalGPUs: return reinterpret_cast<void*>(&Enumerate);
        case Entry::GPU_GetPerfClocks: return reinterpret_cast<void*>(&PerfClocks);
        default: return nullptr;
    }
}
}  // namespace hostile

TEST(GpuAccessBoundsTest, CountsFromTheDriverAreClamped) {
    driver::DriverBinding binding(driver::InProcessOpener(&hostile::Query));
    GpuAccess access(binding);
    ASSERT_EQ(access.Initialize(), 0);
    ASSERT_EQ(access.GetGpuCount(), 20);
    EXPECT_EQ(access.hPhysicalGpu(9), reinterpret_cast<nvapi::PhysicalGpuHandle>(uintptr_t(0x109)));
    EXPECT_EQ(access.hPhysicalGpu(10), reinterpret_cast<nvapi::PhysicalGpuHandle>(uintptr_t(0x100)));
    EXPECT_TRUE(access.has3DPerformanceLevel(19));
    EXPECT_EQ(access.Record(0)->legacyClockTable[LegacyClockIndex(kLegacyGraphics, kLegacyLevel3DPerformance, true)], 2);
    // Every other entry is missing: the values that depend on them fall back.
    EXPECT_TRUE(access.deviceIdText(0).empty());
    EXPECT_EQ(access.Record(0)->memoryBusWidth, 0u);
}

}  // namespace
}  // namespace vx::gputest
