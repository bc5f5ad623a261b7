// The simulated clock VF point entries, their effect on the live clocks, and the rig's `vf`
// object.
#include "sim/Simulator.h"

#include "SimTestSupport.h"
#include "gpu/NvApiIds.h"
#include "gpu/TelemetryStructs.h"
#include "gpu/VfStructs.h"
#include "support/FakeClock.h"
#include "support/RigBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vx::sim {
namespace {

using namespace vx::nvapi;
using ::testing::HasSubstr;

// Graphics on points 0 to 9 (offsets -100 to +500 MHz), memory on 10 to 14; point 12 fixed.
VfConfig SmallVf() {
    VfConfig vf;
    vf.domains = {VfDomainConfig{kVfTypeProg, kClockDomainGraphics, 500000, -100000, 0, 9},
                  VfDomainConfig{kVfTypeProg, kClockDomainMemory, 1000000, -500000, 10, 14}};
    vf.points.resize(15);
    vf.points[12].type = kVfTypeFixed;
    return vf;
}

class SimVf : public ::testing::Test {
protected:
    SimVf() {
        Rig rig = test::RigBuilder().Gpu(0x1B82).Gpu(0x1B82).Build();
        rig.gpus[0].vf = SmallVf();
        // Offsets move the clocks the GPUs run under load.
        for (GpuModel& gpu : rig.gpus) gpu.telemetry.load.percent = 80;
        driver_ = std::make_unique<test::SimulatedDriver>(std::move(rig));
        driver_->sim().SetClock(clock_);
        handles_ = driver_->InitializeAndEnumerate();
    }

    int32_t Domains(PhysicalGpuHandle gpu, ClkDomainsInfo& info, uint32_t version = kClkDomainsInfoVer) {
        info = test::Versioned<ClkDomainsInfo>(version);
        return driver_->Entry<ClkDomainsGetInfoFn>(GPU_ClockClientClkDomainsGetInfo)(gpu, &info);
    }
    int32_t Points(PhysicalGpuHandle gpu, ClkVfPointsInfo& info) {
        info = test::Versioned<ClkVfPointsInfo>(kClkVfPointsInfoVer);
        return driver_->Entry<ClkVfPointsGetInfoFn>(GPU_ClockClientClkVfPointsGetInfo)(gpu, &info);
    }
    int32_t Control(uint32_t id, PhysicalGpuHandle gpu, ClkVfPointsControl& control) {
        return driver_->Entry<ClkVfPointsControlFn>(id)(gpu, &control);
    }
    static ClkVfPointsControl Request(std::initializer_list<int> points) {
        auto control = test::Versioned<ClkVfPointsControl>(kClkVfPointsControlVer);
        for (int p : points) control.mask[p / 32] |= 1u << (p % 32);
        return control;
    }
    // Sets the offsets of `points` through the entries.
    int32_t Write(PhysicalGpuHandle gpu, std::initializer_list<int> points, int32_t khz) {
        ClkVfPointsControl control = Request(points);
        // A point past the array (255) is only in the mask: that is what the simulator must refuse.
        for (int p : points)
            if (p < kVfMaxPoints) control.points[p].freqOffsetKhz = khz;
        return Control(GPU_ClockClientClkVfPointsSetControl, gpu, control);
    }
    int32_t Offset(std::size_t gpu, std::size_t point) {
        std::lock_guard lock(driver_->sim().mutex());
        return driver_->sim().rig().gpus[gpu].vf.points[point].offsetKhz;
    }
    uint32_t GraphicsKhz(PhysicalGpuHandle gpu) {
        auto clocks = test::Versioned<ClockFrequencies>(kClockFrequenciesVer);
        EXPECT_EQ(driver_->Entry<GetAllClockFrequenciesFn>(GPU_GetAllClockFrequencies)(gpu, &clocks), 0);
        return clocks.domains[kClockDomainGraphics].frequencyKhz;
    }

    test::FakeClock clock_;
    std::unique_ptr<test::SimulatedDriver> driver_;
    std::vector<PhysicalGpuHandle> handles_;
};

TEST_F(SimVf, InformationDescribesTheRigsDomainsAndPoints) {
    ASSERT_EQ(handles_.size(), 2u);
    ClkDomainsInfo domains;
    ASSERT_EQ(Domains(handles_[0], domains), 0);
    EXPECT_EQ(domains.domainMask[0], 0x3u);
    EXPECT_EQ(domains.domains[0].domainId, kClockDomainGraphics);
    EXPECT_EQ(domains.domains[0].freqOffsetMaxKhz, 500000);
    EXPECT_EQ(domains.domains[0].freqOffsetMinKhz, -100000);
    EXPECT_EQ(VfPointFirst(domains.domains[1].vfPointRange), 10);
    EXPECT_EQ(VfPointLast(domains.domains[1].vfPointRange), 14);

    ClkVfPointsInfo points;
    ASSERT_EQ(Points(handles_[0], points), 0);
    EXPECT_EQ(points.vfPointMask[0], 0x7FFFu);
    EXPECT_EQ(points.vfPointMask[1], 0u);
    EXPECT_EQ(points.points[12].type, kVfTypeFixed);

    // Wrong version word, and a GPU without VF points.
    EXPECT_EQ(Domains(handles_[0], domains, kClkDomainsInfoVer + 1), INCOMPATIBLE_STRUCT_VERSION);
    EXPECT_EQ(Domains(handles_[1], domains), NOT_SUPPORTED);
    EXPECT_EQ(Points(handles_[1], points), NOT_SUPPORTED);
}

TEST_F(SimVf, ControlReadsAndWritesOnlyTheCoveredPoints) {
    ASSERT_EQ(Write(handles_[0], {3, 4}, 250000), 0);
    EXPECT_EQ(Offset(0, 3), 250000);
    EXPECT_EQ(Offset(0, 5), 0);

    ClkVfPointsControl control = Request({4, 5});
    control.points[3].freqOffsetKhz = 777;  // outside the mask: left alone
    ASSERT_EQ(Control(GPU_ClockClientClkVfPointsGetControl, handles_[0], control), 0);
    EXPECT_EQ(control.points[4].freqOffsetKhz, 250000);
    EXPECT_EQ(control.points[5].freqOffsetKhz, 0);
    EXPECT_EQ(control.points[3].freqOffsetKhz, 777);

    const std::vector<CallRecord> writes = driver_->sim().CallsTo(GPU_ClockClientClkVfPointsSetControl);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].args, (std::vector<int64_t>{kClkVfPointsControlVer, 3, 250000, 4, 250000}));
}

TEST_F(SimVf, BadWritesChangeNothing) {
    // Above the graphics maximum, with a good point in the same request.
    EXPECT_EQ(Write(handles_[0], {1, 2}, 500001), INVALID_ARGUMENT);
    EXPECT_EQ(Write(handles_[0], {11}, -500001), INVALID_ARGUMENT);
    // A point the GPU does not have.
    EXPECT_EQ(Write(handles_[0], {2, 15}, 1000), INVALID_ARGUMENT);
    EXPECT_EQ(Write(handles_[0], {255}, 1000), INVALID_ARGUMENT);
    EXPECT_EQ(Offset(0, 1), 0);
    EXPECT_EQ(Offset(0, 2), 0);
    EXPECT_EQ(Offset(0, 11), 0);
    // A fixed point keeps its frequency.
    EXPECT_EQ(Write(handles_[0], {12}, 1000), 0);
    EXPECT_EQ(Offset(0, 12), 0);
}

TEST_F(SimVf, TheLastGraphicsPointsOffsetRaisesTheClockOnceTheModelMoves) {
    const uint32_t before = GraphicsKhz(handles_[0]);
    ASSERT_GT(before, 0u);
    ASSERT_EQ(Write(handles_[0], {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 200000), 0);
    clock_.Advance(1000);
    EXPECT_EQ(GraphicsKhz(handles_[0]), before + 200000);
    // The other GPU is untouched.
    EXPECT_EQ(GraphicsKhz(handles_[1]), before);

    // Only the last point of the range decides.
    ASSERT_EQ(Write(handles_[0], {0}, 0), 0);
    clock_.Advance(1000);
    EXPECT_EQ(GraphicsKhz(handles_[0]), before + 200000);
    ASSERT_EQ(Write(handles_[0], {9}, -50000), 0);
    clock_.Advance(1000);
    EXPECT_EQ(GraphicsKhz(handles_[0]), before - 50000);
}

TEST(SimVfRig, TheVfObjectIsReadAndChecked) {
    const std::string gpuStart = R"({"gpus": [{"pciDeviceId": "0x1B82", "vf": )";
    auto parse = [&](const std::string& vf) { return ParseRigJson(gpuStart + vf + "}]}", "rig.json"); };

    RigLoadResult good = parse(R"({"pointCount": 20,
        "domains": [{"domainId": "graphics", "offsetMaxKhz": 300000, "offsetMinKhz": -100000,
                     "firstPoint": 0, "lastPoint": 14},
                    {"domainId": "processor", "type": "fixed"}],
        "points": [{"index": 19, "type": "fixed", "voltageBased": true}, {"index": 3, "offsetKhz": 5000}]})");
    ASSERT_TRUE(good.rig) << good.error->message;
    const VfConfig& vf = good.rig->gpus[0].vf;
    ASSERT_EQ(vf.points.size(), 20u);
    ASSERT_EQ(vf.domains.size(), 2u);
    EXPECT_EQ(vf.domains[0].lastPoint, 14);
    EXPECT_EQ(vf.domains[0].offsetMinKhz, -100000);
    EXPECT_EQ(vf.domains[1].type, kVfTypeFixed);
    EXPECT_EQ(vf.points[19].type, kVfTypeFixed);
    EXPECT_TRUE(vf.points[19].voltageBased);
    EXPECT_EQ(vf.points[3].offsetKhz, 5000);

    struct Bad {
        const char* vf;
        const char* message;
    };
    for (const Bad& bad : {
             Bad{R"({"pointCount": 256})", "gpus[0].vf.pointCount: expected a number from 0 to 255"},
             Bad{R"({"pointCount": 4, "domains": [{"domainId": "graphics", "firstPoint": 0, "lastPoint": 4}]})",
                 "gpus[0].vf.domains[0].lastPoint: expected a number from 0 to 3"},
             Bad{R"({"pointCount": 4, "domains": [{"domainId": "graphics", "firstPoint": 2, "lastPoint": 1}]})",
                 "gpus[0].vf.domains[0].lastPoint: expected a number from 2 to 3"},
             Bad{R"({"pointCount": 4, "domains": [{"domainId": "memory", "lastPoint": 1}]})",
                 "gpus[0].vf.domains[0].firstPoint: required field missing"},
             Bad{R"({"pointCount": 4, "domains": [{"domainId": "graphics", "offsetMaxKhz": 5, "offsetMinKhz": 6,
                 "firstPoint": 0, "lastPoint": 1}]})",
                 "gpus[0].vf.domains[0].offsetMinKhz: expected a number from -2147483648 to 5"},
             Bad{R"({"pointCount": 4, "points": [{"index": 4}]})", "gpus[0].vf.points[0].index"},
             Bad{R"({"pointCount": 4, "points": [{"index": 1, "type": "prg"}]})", "gpus[0].vf.points[0].type"},
             Bad{R"({"pointcount": 4})", "gpus[0].vf.pointcount: unknown field"},
         }) {
        RigLoadResult result = parse(bad.vf);
        ASSERT_TRUE(result.error) << bad.vf;
        EXPECT_THAT(result.error->message, HasSubstr(bad.message)) << bad.vf;
    }
}

}  // namespace
}  // namespace vx::sim
