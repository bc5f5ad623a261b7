// What one sample leaves in the live fields, the labels and the hooks, on boards of each kind:
// board power by both paths, the voltage of legacy boards, stale handles and a busy worker.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>

#include "monitor/MonitorFixture.h"
#include "monitor/SampleLine.h"

namespace vx::monitortest {
namespace {

sim::I2cDeviceConfig Device(sim::I2cDeviceKind kind, uint8_t port, uint8_t address) {
    sim::I2cDeviceConfig config;
    config.kind = kind;
    config.port = port;
    config.address = address;
    return config;
}

sim::Rig WithDevices(uint16_t deviceId, std::vector<sim::I2cDeviceConfig> devices) {
    sim::Rig rig = SteadyRig({deviceId});
    rig.gpus[0].i2cDevices = std::move(devices);
    return rig;
}

class SampleLoopTest : public MonitorFixture {};

TEST_F(SampleLoopTest, LiveFieldsLabelsAndHooksOfOneSample) {
    sim::Rig rig = SteadyRig({tuningtest::kPascalId});
    rig.gpus[0].telemetry.load.percent = 0;
    std::vector<std::string> events;
    auto note = [&](const char* what, int gpu, int32_t value) {
        events.push_back(what + std::to_string(gpu) + "=" + std::to_string(value));
    };
    sampleHooks.writeTemperature = [&](int gpu, int32_t celsius) { note("T", gpu, celsius); };
    sampleHooks.writeFanSpeed = [&](int gpu, int32_t percent) { note("F", gpu, percent); };
    monitor::CurrentState state;
    sampleHooks.writeCurrentState = [&](const monitor::CurrentState& s) { state = s; events.push_back("state"); };
    sampleHooks.pushCurrentState = [&] { events.push_back("push"); };
    sampleHooks.copyToGadget = [&] { events.push_back("gadget"); };
    sampleHooks.appendDisplayText = [&](int gpu) { events.push_back("osd" + std::to_string(gpu)); };
    sampleHooks.publishDisplayText = [&] { events.push_back("publish"); };
    StartMonitor(std::move(rig));
    clock.wallStart = std::chrono::system_clock::time_point{} + std::chrono::milliseconds(250);
    Samples(1);

    const tuning::LiveFields& live = dlg().record(0).live;
    EXPECT_EQ(live.temperature, kAmbientC);
    EXPECT_EQ(live.loadPercent, 1);  // a reading of 0 shows as 1
    EXPECT_EQ(live.graphicsClock, 300);
    EXPECT_EQ(live.memoryClock, 405);
    EXPECT_EQ(live.processorClock, -1);  // the driver reports no processor clock
    EXPECT_EQ(live.coreVoltage, 850);
    EXPECT_EQ(live.fanPercent, 30);
    EXPECT_EQ(live.fanRpm, 900);
    EXPECT_EQ(live.boardPower, -1);  // neither sensor pair nor power monitors
    EXPECT_EQ(monitor::SampleLine(0, live),
              "GPU0 temp=40 fan=30% rpm=900 core=300 shader=-1 mem=405 volt=850 load=1% power=-1");

    EXPECT_EQ(sampler().labels().graphicsClock, (monitor::ValueLabel{"300", monitor::kLabelNormal}));
    EXPECT_EQ(sampler().labels().memoryClock.text, "400");
    EXPECT_EQ(sampler().labels().processorClock.text, "600");

    EXPECT_EQ(events, (std::vector<std::string>{"T0=40", "F0=30", "state", "push", "gadget", "osd0", "publish"}));
    EXPECT_TRUE(state.clockLinkShown);
    EXPECT_TRUE(state.fanAutomaticShown);
    EXPECT_EQ(state.driverVersion, "410.91");
    const std::string& time = state.timeText;
    EXPECT_EQ(std::count(time.begin(), time.end(), ':'), 3) << time;
    EXPECT_EQ(time.substr(time.rfind(':') + 1), std::to_string((250 + clock.nowMs) % 1000));
}

TEST_F(SampleLoopTest, TimerSamplesEvery1100MsUntilTheLoopGoes) {
    StartMonitor(SteadyRig({tuningtest::kPascalId}));
    loop.RunFor(1100 * 3 + 1099);
    EXPECT_EQ(sampler().samplesTaken(), 3u);
    loopUnderTest.reset();
    EXPECT_FALSE(loop.HasTimer(monitor::SampleLoop::kSampleTimerId));
}

TEST_F(SampleLoopTest, SensorPairBoardFirstShowsARandomWattageThenItsOwn) {
    std::vector<monitor::PixelRect> invalidated;
    sampleHooks.invalidate = [&](const monitor::PixelRect& area) { invalidated.push_back(area); };
    StartMonitor(WithDevices(0x0DE0, {Device(sim::I2cDeviceKind::RpmFanController, 2, 0x5C),
                                      Device(sim::I2cDeviceKind::VoltageController, 2, 0x60)}));
    ASSERT_TRUE(gpus->IsCardDevicePresent(0, 0) && gpus->IsCardDevicePresent(0, 3));
    randomValue = 6;  // 6 mod 4 + 7
    Samples(1);
    EXPECT_EQ(dlg().record(0).live.boardPower, 9);
    EXPECT_TRUE(sampler().powerValid(0));
    EXPECT_FALSE(sampler().powerAboveOne());  // the first estimate is exactly 1.0
    EXPECT_EQ(invalidated, (std::vector<monitor::PixelRect>{{60, 77, 97, 97}, {55, 65, 135, 77}}));

    // Ten readings later: a = 200 x 0.008 x 6.55, b = 12 x 0.002 x 6.55, e = a b 0.95 / 0.025.
    {
        std::lock_guard guard(simulator->mutex());
        rig().gpus[0].currentLegacyLevel = 2;  // 3D: the estimate shows as it is
    }
    Samples(10);
    EXPECT_EQ(dlg().record(0).live.boardPower, 9);
    Samples(1);
    EXPECT_TRUE(sampler().powerAboveOne());
    EXPECT_EQ(dlg().record(0).live.boardPower, 62);

    // In 2D an estimate above 15 W shows 12 to 15 W.
    {
        std::lock_guard guard(simulator->mutex());
        rig().gpus[0].currentLegacyLevel = 0;
    }
    Samples(11);
    EXPECT_EQ(dlg().record(0).live.boardPower, 14);
}

TEST_F(SampleLoopTest, PowerMonitorBoardAddsUpItsRegulators) {
    StartMonitor(WithDevices(0x0A20, {Device(sim::I2cDeviceKind::PowerMonitor, 0, 0x90),
                                      Device(sim::I2cDeviceKind::PowerMonitor, 0, 0x92),
                                      Device(sim::I2cDeviceKind::PowerMonitor, 0, 0x94)}));
    Samples(1);
    EXPECT_EQ(dlg().record(0).live.boardPower, 97);  // 3 x 0x1A0A counts x 0.0049 W
    EXPECT_FALSE(sampler().powerValid(0));

    // The demo rig's boards carry monitors too: a new user sees a board power on each GPU.
    loopUnderTest.reset();
    StartMonitor(DemoRig());
    Samples(1);
    EXPECT_EQ(dlg().record(0).live.boardPower, 97);
    EXPECT_EQ(dlg().record(1).live.boardPower, 65);  // two monitors
}

TEST_F(SampleLoopTest, RegulatorArithmeticOfTheSpecialBoards) {
    using monitor::BoardPowerEstimator;
    const std::array<std::optional<uint16_t>, 3> counts = {6666, std::nullopt, 6666};
    EXPECT_EQ(BoardPowerEstimator::RegulatorWatts(counts, 0x1080, [] { return false; }), 81);  // page 11 x 1.5
    EXPECT_EQ(BoardPowerEstimator::RegulatorWatts(counts, 0x1244, [] { return true; }), 59);   // / 1.1
    EXPECT_EQ(BoardPowerEstimator::RegulatorWatts(counts, 0x1244, [] { return false; }), 65);
    const std::array<std::optional<uint16_t>, 3> huge = {0xFFFF, 0xFFFF, 0xFFFF};
    EXPECT_EQ(BoardPowerEstimator::RegulatorWatts(huge, 0x0A20, [] { return false; }), 321);  // held, not wrapped
}

TEST_F(SampleLoopTest, VfBoardAddsItsRegulatorOffsetToTheRailVoltage) {
    struct Case {
        uint16_t deviceId;
        std::vector<sim::I2cDeviceConfig> devices;
        int32_t millivolts;
    };
    sim::I2cDeviceConfig slot6 = Device(sim::I2cDeviceKind::VoltageController, 0, 0x60);
    slot6.registers[0x01] = 3;
    sim::I2cDeviceConfig slot12 = Device(sim::I2cDeviceKind::BoardVoltageController, 0, 0x10);
    slot12.registers[0x6F] = 4;  // its start-up write test leaves 3
    const Case cases[] = {{tuningtest::kPascalId, {}, 850},
                          {tuningtest::kPascalId, {slot6}, 880},  // + 3 x 10 mV
                          {0x1C02, {slot12}, 887}};               // + 3 x 12.5 mV, truncated
    for (const Case& c : cases) {
        sim::Rig rig = WithDevices(c.deviceId, c.devices);
        rig.gpus[0].telemetry.load.percent = 0;
        loopUnderTest.reset();
        StartMonitor(std::move(rig));
        Samples(1);
        EXPECT_EQ(dlg().record(0).live.coreVoltage, c.millivolts) << std::hex << c.deviceId;
    }
}

TEST_F(SampleLoopTest, LegacyBoardKeepsItsControllerVoltageAndStampsTheFanState) {
    StartMonitor(WithDevices(0x05E2, {Device(sim::I2cDeviceKind::LegacyVoltageController, 3, 0xE0)}));
    Samples(2);
    EXPECT_EQ(dlg().record(0).live.coreVoltage, 1200);  // code 0x3C, not overwritten by the second pass
    EXPECT_EQ(dlg().record(0).fanState, static_cast<int32_t>(clock.nowMs));
}

TEST_F(SampleLoopTest, RpmControllerBoardReportsRawSpeedAndTakesSpeedsForPercents) {
    sim::I2cDeviceConfig controller = Device(sim::I2cDeviceKind::RpmFanController, 2, 0x5C);
    controller.registers[0x02] = 4;  // the 3000 RPM variant: levels 1530 to 3000 RPM
    StartMonitor(WithDevices(tuningtest::kFermiId, {controller}));
    ASSERT_EQ(gpus->fanAccessKind(0), kFanRpmController);
    settings.highSet = true;  // custom mode at 45 °C: the low speed, at least the minimum
    SetTemperature(0, 45);
    Samples(1);
    const tuning::LiveFields& live = dlg().record(0).live;
    EXPECT_EQ(live.fanRpm, 1500);  // period 1000
    EXPECT_EQ(live.fanPercent, 50);
    EXPECT_EQ(live.coreVoltage, 999);  // 85 x 0.008 x 1.47 V, kept by the second pass
    // 15 % is below this controller's minimum of 51 %: its slowest, 1530 RPM.
    EXPECT_EQ(simulator->PeekI2cRegister(0, 2, 0x5C, 0x74), 0x03);
    EXPECT_EQ(simulator->PeekI2cRegister(0, 2, 0x5C, 0x75), 0xD4);  // 1500000 / 1530 = 980
    Samples(1);
    EXPECT_EQ(live.fanRpm, 1530);
    EXPECT_EQ(live.fanPercent, 51);
}

TEST_F(SampleLoopTest, StaleHandlesAreRefreshedAndTheNextSampleReadsAgain) {
    StartMonitor(SteadyRig({tuningtest::kPascalId}));
    simulator->MakeHandlesStale(-101);
    Samples(1);
    EXPECT_FALSE(CallsTo(nvapi::EnumPhysicalGPUs).empty());
    Samples(1);
    EXPECT_EQ(dlg().record(0).live.temperature, kAmbientC);
    EXPECT_EQ(dlg().record(0).live.graphicsClock, 300);
}

TEST_F(SampleLoopTest, SampleIsSkippedWhileTheWorkerHoldsTheHardware) {
    StartMonitor(SteadyRig({tuningtest::kPascalId}));
    std::promise<void> held, release;
    std::thread worker([&] {
        auto lock = dlg().LockHardware();
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    sampler().SampleTick();
    release.set_value();
    worker.join();
    EXPECT_EQ(sampler().samplesSkipped(), 1u);
    EXPECT_TRUE(simulator->Calls().empty());
    sampler().SampleTick();
    EXPECT_EQ(sampler().samplesTaken(), 1u);
}

}  // namespace
}  // namespace vx::monitortest
