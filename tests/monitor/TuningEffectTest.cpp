// What a user does to a card reaches the simulated hardware and shows in the next telemetry:
// a clock offset raises the clock, more fan lowers the temperature, a lower power target
// caps the clock.
#include <gtest/gtest.h>

#include "monitor/LiveReadout.h"
#include "sim/Simulator.h"
#include "support/FakeClock.h"

namespace vx::monitor {
namespace {

class TuningEffectTest : public ::testing::Test {
protected:
    TuningEffectTest() {
        simulator_.SetClock(clock_);
        simulator_.Activate();
        gpu_.SetClock(clock_);
        gpu_.SetTraceSink([](const std::string&) {});
        EXPECT_EQ(gpu_.Initialize(), 0);
    }

    static sim::Rig BusyDemoRig() {
        sim::Rig rig = sim::DemoRig();
        rig.gpus[0].telemetry.load.kind = sim::LoadPatternKind::Constant;
        rig.gpus[0].telemetry.load.percent = 90;
        return rig;
    }

    // One reading after the model has had time to settle.
    LiveValues SettledSample() {
        clock_.Advance(10 * 60 * 1000);
        return ReadLiveValues(gpu_, 0);
    }

    test::FakeClock clock_;
    sim::Simulator simulator_{BusyDemoRig()};
    driver::DriverBinding binding_{driver::InProcessOpener(sim::Simulator::QueryInterface())};
    GpuAccess gpu_{binding_};
};

TEST_F(TuningEffectTest, OffsetFanAndPowerTargetShowInTheNextReadings) {
    const LiveValues stock = SettledSample();
    ASSERT_GT(stock.graphicsClock, 0);

    ASSERT_EQ(gpu_.ReadVfDomains(0, 0), 0);
    for (int point = gpu_.vfPointFirstGraphics(); point <= gpu_.vfPointLastGraphics(); ++point)
        ASSERT_EQ(gpu_.SetVfPointOffset(0, point, 100000), 0) << point;
    const LiveValues overclocked = SettledSample();
    EXPECT_EQ(overclocked.graphicsClock, stock.graphicsClock + 100);

    ASSERT_EQ(gpu_.SetFanLevel(0, 100), 0);
    const LiveValues cooled = SettledSample();
    EXPECT_LT(cooled.temperature, overclocked.temperature);
    EXPECT_GT(cooled.fanRpm, overclocked.fanRpm);

    ASSERT_EQ(gpu_.SetPowerLimit(0, 0, 60.0f), 0);
    const LiveValues capped = SettledSample();
    EXPECT_LT(capped.graphicsClock, overclocked.graphicsClock);
}

}  // namespace
}  // namespace vx::monitor
