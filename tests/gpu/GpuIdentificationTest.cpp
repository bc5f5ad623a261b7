// Identification flags for representative device IDs, read through the simulated driver.
#include "SimulatedGpus.h"

#include <gtest/gtest.h>

namespace vx::gputest {
namespace {

struct Expected {
    uint16_t device;
    uint32_t subsystem;
    const char* text;
    bool listA, listB, supported;
    int group;  // 1..4, 0 for none
    bool pascal, quirk0E22, quirk0DC4, boardA013;
};

// At most 10 physical GPUs are kept, so the rest of a rig goes into compute mode.
sim::Rig RigFor(const std::vector<Expected>& cases) {
    std::vector<sim::GpuModel> models;
    for (std::size_t i = 0; i < cases.size(); ++i) models.push_back(Gpu(cases[i].device, cases[i].subsystem, i >= 10));
    return RigOf(std::move(models));
}

class GpuIdentificationTest : public SimulatedGpus {
protected:
    void ExpectIdentified(const std::vector<Expected>& cases) {
        ASSERT_LE(cases.size(), 20u);
        ASSERT_EQ(StartAndInitialize(RigFor(cases)), 0);
        ASSERT_EQ(gpus->GetGpuCount(), cases.size());
        for (uint8_t gpu = 0; gpu < cases.size(); ++gpu) {
            const Expected& want = cases[gpu];
            const GpuRecord& record = RecordOf(gpu);
            SCOPED_TRACE(want.text);
            EXPECT_EQ(record.deviceIdText, want.text);
            EXPECT_EQ(record.legacyListA, want.listA);
            EXPECT_EQ(record.legacyListB, want.listB);
            EXPECT_EQ(record.supportedGpu, want.supported);
            EXPECT_EQ(record.pstate20Group1, want.group == 1);
            EXPECT_EQ(record.pstate20Group2, want.group == 2);
            EXPECT_EQ(record.pstate20Group3, want.group == 3);
            EXPECT_EQ(record.pstate20Group4, want.group == 4);
            EXPECT_EQ(gpus->usesPstates20(gpu), want.group != 0);
            EXPECT_EQ(record.pascalSeries, want.pascal);
            EXPECT_EQ(gpus->usesVfPoints(gpu), want.pascal);
            EXPECT_EQ(record.quirk0E22, want.quirk0E22);
            EXPECT_EQ(record.quirk0DC4, want.quirk0DC4);
            EXPECT_EQ(record.boardA013, want.boardA013);
            EXPECT_FALSE(record.fourLevelBoard);
            EXPECT_EQ(record.uiFlag, 0);
        }
    }
};

TEST_F(GpuIdentificationTest, FamiliesAndQuirks) {
    ExpectIdentified({
        {0x1180, 1, "1180", false, false, true, 1, false, false, false, false},
        {0x1195, 1, "1195", false, false, true, 1, false, false, false, false},
        {0x0FC0, 1, "0fc0", false, false, true, 2, false, false, false, false},
        {0x1381, 1, "1381", false, false, true, 2, false, false, false, false},
        {0x1005, 1, "1005", false, false, true, 3, false, false, false, false},
        {0x1184, 1, "1184", false, false, true, 3, false, false, false, false},
        {0x13C2, 1, "13c2", false, false, true, 4, false, false, false, false},
        {0x1407, 1, "1407", false, false, true, 4, false, false, false, false},
        {0x1B80, 1, "1b80", false, false, true, 0, true, false, false, false},
        {0x1D01, 1, "1d01", false, false, true, 0, true, false, false, false},
        // Supported, but on the legacy interface; two carry quirks.
        {0x0E22, 1, "0e22", false, true, true, 0, false, true, false, false},
        {0x0DC4, 1, "0dc4", false, true, true, 0, false, false, true, false},
        {0x06CD, 1, "06cd", false, true, true, 0, false, false, false, false},
        {0x0F00, 1, "0f00", false, false, true, 0, false, false, false, false},
    });
}

TEST_F(GpuIdentificationTest, UnsupportedIdsKeepOnlyTheirLegacyLists) {
    ExpectIdentified({
        {0x05E0, 1, "05e0", true, false, false, 0, false, false, false, false},
        {0x05E6, 1, "05e6", true, false, false, 0, false, false, false, false},
        {0x0A65, 1, "0a65", true, true, false, 0, false, false, false, false},
        {0x0CA3, 1, "0ca3", true, true, false, 0, false, false, false, false},
        {0x0A20, 1, "0a20", false, true, false, 0, false, false, false, false},
        {0x0A60, 1, "0a60", false, true, false, 0, false, false, false, false},
        {0x1234, 1, "1234", false, false, false, 0, false, false, false, false},
        {0x1B83, 1, "1b83", false, false, false, 0, false, false, false, false},
    });
}

TEST_F(GpuIdentificationTest, BoardA013Boundary) {
    constexpr uint32_t kBase = 0xA0130000;
    ExpectIdentified({
        {0x1B82, kBase, "1b82", false, false, true, 0, true, false, false, true},
        {0x1B82, kBase + 24555, "1b82", false, false, true, 0, true, false, false, true},
        {0x1B82, kBase + 24556, "1b82", false, false, true, 0, true, false, false, false},
        {0x1B82, 0xA0140000, "1b82", false, false, true, 0, true, false, false, false},
        {0x1B82, 0x3A0131, "1b82", false, false, true, 0, true, false, false, false},
        {0x1B81, kBase + 0x1462, "1b81", false, false, true, 0, true, false, false, false},
        // The rule runs for every GPU, but only device 0x1B82 can pass it.
        {0x1234, kBase + 0x1462, "1234", false, false, false, 0, false, false, false, false},
    });
}

TEST_F(GpuIdentificationTest, InitializeAgainResetsEarlierFlags) {
    ASSERT_EQ(StartAndInitialize(RigOf({Gpu(0x1B82, 0xA0131462)})), 0);
    gpus->SetUiFlag(0, 1);
    ASSERT_TRUE(gpus->boardA013(0));
    simulator->rig().gpus[0].pciDeviceId = 0x05E0;
    ASSERT_EQ(gpus->Initialize(), 0);
    EXPECT_EQ(gpus->deviceIdText(0), "05e0");
    EXPECT_FALSE(gpus->boardA013(0));
    EXPECT_FALSE(gpus->usesVfPoints(0));
    EXPECT_TRUE(gpus->legacyListA(0));
    EXPECT_EQ(gpus->uiFlag(0), 0);
}

}  // namespace
}  // namespace vx::gputest
