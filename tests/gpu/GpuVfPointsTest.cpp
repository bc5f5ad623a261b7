// Clock offsets through VF points against the simulated driver: the domain read and its
// text, the offsets in force, and the single-point writes with their refusals.
#include "SimulatedGpus.h"

#include "gpu/NvApiIds.h"
#include "support/ScriptedPrompts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vx::gputest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr uint16_t kPascalDevice = 0x1B82;

sim::VfDomainConfig VfDomain(uint32_t type, uint32_t domainId, int32_t maxKhz, int32_t minKhz, uint8_t first,
                             uint8_t last) {
    return sim::VfDomainConfig{type, domainId, maxKhz, minKhz, first, last};
}

// Graphics on points 0 to 79, memory on 80 to 99, a fixed processor domain; point 90 is
// fixed and points 100 to 254 do not exist.
sim::VfConfig TypicalVf() {
    sim::VfConfig vf;
    vf.domains = {VfDomain(nvapi::kVfTypeProg, nvapi::kClockDomainGraphics, 1000000, -500000, 0, 79),
                  VfDomain(nvapi::kVfTypeProg, nvapi::kClockDomainMemory, 2000000, -1000000, 80, 99),
                  VfDomain(nvapi::kVfTypeFixed, nvapi::kClockDomainProcessor, 0, 0, 0, 0)};
    vf.points.resize(100);
    vf.points[90].type = nvapi::kVfTypeFixed;
    vf.points[3].voltageBased = true;
    return vf;
}

class GpuVfPointsTest : public SimulatedGpus {
protected:
    void StartWith(sim::VfConfig vf) {
        sim::GpuModel gpu = Gpu(kPascalDevice);
        gpu.vf = std::move(vf);
        ASSERT_EQ(StartAndInitialize(RigOf({gpu})), 0);
        ASSERT_TRUE(gpus->usesVfPoints(0));
        gpus->SetPrompts(&prompts);
        simulator->ClearCalls();
        traces.clear();
    }
    void SetPointOffset(std::size_t point, int32_t khz) {
        std::lock_guard lock(simulator->mutex());
        simulator->rig().gpus[0].vf.points[point].offsetKhz = khz;
    }
    int32_t PointOffset(std::size_t point) {
        std::lock_guard lock(simulator->mutex());
        return simulator->rig().gpus[0].vf.points[point].offsetKhz;
    }
    std::size_t Writes() const { return simulator->CallsTo(nvapi::GPU_ClockClientClkVfPointsSetControl).size(); }
    std::string AllTraces() const {
        std::string all;
        for (const std::string& line : traces) all += line;
        return all;
    }

    test::ScriptedPrompts prompts;
};

TEST_F(GpuVfPointsTest, ReadVfDomainsKeepsTheRangesAndShowsTheTracedTextOnRequest) {
    StartWith(TypicalVf());
    ASSERT_EQ(gpus->ReadVfDomains(0, 0), 0);
    EXPECT_EQ(gpus->graphicsOffsetMaxKhz(), 1000000);
    EXPECT_EQ(gpus->graphicsOffsetMinKhz(), -500000);
    EXPECT_EQ(gpus->vfPointFirstGraphics(), 0);
    EXPECT_EQ(gpus->vfPointLastGraphics(), 79);
    EXPECT_EQ(gpus->memoryOffsetMaxKhz(), 2000000);
    EXPECT_EQ(gpus->memoryOffsetMinKhz(), -1000000);
    EXPECT_EQ(gpus->vfPointFirstMemory(), 80);
    EXPECT_EQ(gpus->vfPointLastMemory(), 99);
    EXPECT_TRUE(prompts.shown.empty());

    const std::string text = AllTraces();
    EXPECT_THAT(text, StartsWith("CLIENT_CLK INFO:\n-------------------- CLIENT_CLK_DOMAINs"));
    EXPECT_THAT(text, HasSubstr(".domainMask.super\n\t.pData[0]=0x00000007\n"));
    EXPECT_THAT(text, HasSubstr(".domain[0]\n\t.type=PROG\n\t.domainId=GRAPHICS CLOCK\n\t.prog\n"
                                "\t\t.freqOffsetMaxkHz=1000000\n\t\t.freqOffsetMinkHz=-500000\n"
                                "\t\t.vfPointxIdFirst=0\n\t\t.vfPointIdxLast=79\n"));
    // A fixed domain lists no offsets or points.
    EXPECT_THAT(text, HasSubstr(".domain[2]\n\t.type=FIXED\n\t.domainId=PROCESSOR CLOCK\n-----"));
    EXPECT_THAT(text, HasSubstr(".vfPointMask.super\n\t.pData[0]=0xffffffff\n\t.pData[1]=0xffffffff\n"
                                "\t.pData[2]=0xffffffff\n\t.pData[3]=0x0000000f\n\t.pData[4]=0x00000000\n"));
    EXPECT_THAT(text, HasSubstr(".vfPoint[3]\n\t.type=PROG\n\t.bVoltageBased=1\n"));
    EXPECT_THAT(text, HasSubstr(".vfPoint[90]\n\t.type=FIXED\n\t.bVoltageBased=0\n"));
    EXPECT_THAT(text, Not(HasSubstr(".vfPoint[100]")));

    ASSERT_EQ(gpus->ReadVfDomains(0, 1), 0);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].caption, "Veltrix Plus");
    EXPECT_EQ(prompts.shown[0].text, text);
}

TEST_F(GpuVfPointsTest, ReadsFailWithTracesOnly) {
    StartWith(TypicalVf());
    simulator->ForceStatus(nvapi::GPU_ClockClientClkVfPointsGetInfo, nvapi::ERROR);
    EXPECT_EQ(gpus->ReadVfDomains(0, 1), nvapi::ERROR);
    EXPECT_EQ(AllTraces(), "NvAPI_GPU_ClockClientClkVfPointsGetInfo API call failed with error -1\n"
                           "Could not query CLIENT_CLK_INFO - failed with error -1\n");
    EXPECT_EQ(gpus->ReadVfOffsets(0), nvapi::ERROR);
    EXPECT_TRUE(prompts.shown.empty());

    traces.clear();
    simulator->ClearFault(nvapi::GPU_ClockClientClkVfPointsGetInfo);
    simulator->ForceStatus(nvapi::GPU_ClockClientClkVfPointsGetControl, nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->ReadVfOffsets(0), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(AllTraces(), "NvAPI_GPU_ClockClientClkVfPointsGetControl API call failed with error -104\n");
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(gpus->ReadVfOffsets(7), nvapi::INVALID_ARGUMENT);
}

TEST_F(GpuVfPointsTest, ReadVfOffsetsTakesTheLastPointOfEachRange) {
    StartWith(TypicalVf());
    SetPointOffset(0, 150000);
    SetPointOffset(79, 50000);
    SetPointOffset(80, 300000);
    SetPointOffset(99, -200000);
    ASSERT_EQ(gpus->ReadVfOffsets(0), 0);
    EXPECT_EQ(gpus->graphicsVfOffsetKhz(), 50000);
    EXPECT_EQ(gpus->memoryVfOffsetKhz(), -200000);
    EXPECT_EQ(gpus->vfPointOffset(0), 150000);
    EXPECT_EQ(gpus->vfPointOffset(80), 300000);
    EXPECT_EQ(gpus->vfPointOffset(255), 0);
    const std::string text = AllTraces();
    EXPECT_THAT(text, StartsWith("CLIENT_CLK CONTROL:\n-------------------- CLIENT_CLK_VF_POINTS (By Domain)"));
    EXPECT_THAT(text, HasSubstr("vfPoints[79]\n\t.prog\n\t\t.freqOffsetkHz=50000\n"));
    EXPECT_THAT(text, Not(HasSubstr("vfPoints[90]\n")));  // fixed
}

TEST_F(GpuVfPointsTest, ApplyingAGraphicsOffsetWritesEveryPointOfTheRange) {
    StartWith(TypicalVf());
    ASSERT_EQ(gpus->ReadVfDomains(0, 0), 0);
    for (int p = gpus->vfPointFirstGraphics(); p <= gpus->vfPointLastGraphics(); ++p)
        ASSERT_EQ(gpus->SetVfPointOffset(0, p, 100 * 1000), 0) << p;

    const std::vector<sim::CallRecord> writes = simulator->CallsTo(nvapi::GPU_ClockClientClkVfPointsSetControl);
    ASSERT_EQ(writes.size(), 80u);
    for (std::size_t i = 0; i < writes.size(); ++i)  // version word, then the one point written
        EXPECT_EQ(writes[i].args, (std::vector<int64_t>{nvapi::kClkVfPointsControlVer, static_cast<int64_t>(i), 100000}));
    EXPECT_EQ(PointOffset(80), 0);
    EXPECT_TRUE(prompts.shown.empty());

    ASSERT_EQ(gpus->ReadVfOffsets(0), 0);
    EXPECT_EQ(gpus->graphicsVfOffsetKhz(), 100000);
    EXPECT_EQ(gpus->memoryVfOffsetKhz(), 0);
}

TEST_F(GpuVfPointsTest, PointsOutsideTheMaskAreRefusedBeforeAnyWrite) {
    StartWith(TypicalVf());
    for (int index : {100, 254, 255, 256, -1}) {
        prompts.shown.clear();
        EXPECT_EQ(gpus->SetVfPointOffset(0, index, 1000), nvapi::INVALID_ARGUMENT);
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].text, "Invalid vfPointIdx " + std::to_string(index) + ".\n");
        EXPECT_EQ(prompts.shown[0].caption, "Veltrix Plus");
    }
    EXPECT_EQ(Writes(), 0u);
    EXPECT_TRUE(simulator->CallsTo(nvapi::GPU_ClockClientClkVfPointsGetControl).empty());
}

TEST_F(GpuVfPointsTest, DriverFailuresOfASetAreShown) {
    StartWith(TypicalVf());
    simulator->ForceStatus(nvapi::GPU_ClockClientClkDomainsGetInfo, nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->SetVfPointOffset(0, 5, 1000), nvapi::NOT_SUPPORTED);
    simulator->ClearFault(nvapi::GPU_ClockClientClkDomainsGetInfo);

    // A failed read of the point stops before a write of an unfilled request.
    simulator->ForceStatus(nvapi::GPU_ClockClientClkVfPointsGetControl, nvapi::ERROR);
    EXPECT_EQ(gpus->SetVfPointOffset(0, 5, 1000), nvapi::ERROR);
    simulator->ClearFault(nvapi::GPU_ClockClientClkVfPointsGetControl);
    EXPECT_EQ(Writes(), 0u);

    // Out of the domain's offset range: the simulated driver refuses the write.
    EXPECT_EQ(gpus->SetVfPointOffset(0, 5, 1000001), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(PointOffset(5), 0);

    ASSERT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(prompts.shown[0].text, "Could not query CLIENT_CLK_INFO - failed with error -104\n");
    EXPECT_EQ(prompts.shown[1].text, "NvAPI_GPU_ClockClientClkVfPointsGetControl API call failed with error -1\n");
    EXPECT_EQ(prompts.shown[2].text, "NvAPI_GPU_ClockClientClkVfPointsSetControl API call failed with error -5\n");
    EXPECT_THAT(AllTraces(), HasSubstr("NvAPI_GPU_ClockClientClkDomainsGetInfo API call failed with error -104\n"));
}

TEST_F(GpuVfPointsTest, APassOverTheRangeWritesEveryPointButShowsOnlyItsFirstFailure) {
    StartWith(TypicalVf());
    ASSERT_EQ(gpus->ReadVfDomains(0, 0), 0);
    traces.clear();
    const std::string refused = "NvAPI_GPU_ClockClientClkVfPointsSetControl API call failed with error -5\n";
    {
        GpuAccess::VfWritePass pass(*gpus);
        for (int p = 0; p <= 79; ++p) EXPECT_EQ(gpus->SetVfPointOffset(0, p, 1000001), nvapi::INVALID_ARGUMENT);
        EXPECT_EQ(gpus->SetVfPointOffset(0, 200, 0), nvapi::INVALID_ARGUMENT);
        EXPECT_EQ(pass.status(), nvapi::INVALID_ARGUMENT);
    }
    const std::vector<sim::CallRecord> writes = simulator->CallsTo(nvapi::GPU_ClockClientClkVfPointsSetControl);
    ASSERT_EQ(writes.size(), 80u);
    for (const sim::CallRecord& write : writes) EXPECT_EQ(write.status, nvapi::INVALID_ARGUMENT);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, refused);
    std::string rest;
    for (int p = 1; p <= 79; ++p) rest += refused;
    EXPECT_EQ(AllTraces(), rest + "Invalid vfPointIdx 200.\n");

    // The pass is over: the next failure is shown again.
    EXPECT_EQ(gpus->SetVfPointOffset(0, 200, 0), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(prompts.shown.size(), 2u);
}

TEST_F(GpuVfPointsTest, ASetChangesOnlyItsPointAndAFixedPointIsOnlyTraced) {
    StartWith(TypicalVf());
    SetPointOffset(4, 7000);
    SetPointOffset(6, 9000);
    ASSERT_EQ(gpus->SetVfPointOffset(0, 5, -25000), 0);
    EXPECT_EQ(PointOffset(4), 7000);
    EXPECT_EQ(PointOffset(5), -25000);
    EXPECT_EQ(PointOffset(6), 9000);

    // A fixed point takes no offset: only traced, never written.
    traces.clear();
    simulator->ClearCalls();
    EXPECT_EQ(gpus->SetVfPointOffset(0, 90, 1000), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(AllTraces(), "CLK_VF_POINT at vfPointIdx 90 does not support frequency offset..\n");
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(Writes(), 0u);
}

TEST_F(GpuVfPointsTest, AGpuWithoutVfPointsReportsTheDriverStatus) {
    StartWith(sim::VfConfig{});
    EXPECT_EQ(gpus->ReadVfDomains(0, 1), nvapi::NOT_SUPPORTED);
    EXPECT_THAT(AllTraces(), HasSubstr("Could not query CLIENT_CLK_INFO - failed with error -104\n"));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(gpus->vfPointLastGraphics(), 0);
}

}  // namespace
}  // namespace vx::gputest
