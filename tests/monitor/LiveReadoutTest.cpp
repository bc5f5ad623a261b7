// The headless monitor's reading of a GPU and its one-line form.
#include <gtest/gtest.h>

#include "monitor/LiveReadout.h"
#include "sim/Simulator.h"

namespace vx::monitor {
namespace {

class LiveReadoutTest : public ::testing::Test {
protected:
    LiveReadoutTest() {
        simulator_.Activate();
        gpu_.SetTraceSink([](const std::string&) {});
        EXPECT_EQ(gpu_.Initialize(), 0);
    }
    sim::Simulator simulator_{sim::DemoRig()};
    driver::DriverBinding binding_{driver::InProcessOpener(sim::Simulator::QueryInterface())};
    GpuAccess gpu_{binding_};
};

TEST_F(LiveReadoutTest, DemoRigGpusReportEveryTelemetryValue) {
    for (uint8_t i = 0; i < gpu_.GetGpuCount(); ++i) {
        const LiveValues v = ReadLiveValues(gpu_, i);
        EXPECT_GT(v.temperature, 0) << int(i);
        EXPECT_GT(v.graphicsClock, 0) << int(i);
        EXPECT_GT(v.memoryClock, 0) << int(i);
        EXPECT_GT(v.coreVoltage, 0) << int(i);
        EXPECT_GE(v.loadPercent, 1) << int(i);
        EXPECT_EQ(v.fanPercent, -1) << "the fan path comes with cooler control";
    }
}

TEST_F(LiveReadoutTest, StaleHandlesCostOneSampleNotTheRestOfTheRun) {
    simulator_.MakeHandlesStale(-101);
    EXPECT_EQ(ReadLiveValues(gpu_, 0).temperature, -1);
    EXPECT_GT(ReadLiveValues(gpu_, 0).temperature, 0);
}

TEST(LiveLineTest, LineCarriesEveryFieldInOrder) {
    LiveValues v;
    v.temperature = 61;
    v.fanRpm = 1500;
    v.graphicsClock = 1607;
    v.processorClock = 3214;
    v.memoryClock = 4004;
    v.coreVoltage = 1043;
    v.loadPercent = 97;
    EXPECT_EQ(FormatLiveLine(1, v),
              "GPU1 temp=61 fan=-1% rpm=1500 core=1607 shader=3214 mem=4004 volt=1043 load=97% power=-1");
}

}  // namespace
}  // namespace vx::monitor
