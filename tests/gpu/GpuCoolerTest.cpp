// Cooler control over the simulated driver and the simulated fan controllers: every fan
// access kind, the register arithmetic, the waits and the start-up preparation.
#include "I2cTestSupport.h"

#include "support/FakeClock.h"

#include <gtest/gtest.h>

namespace vx::gputest {
namespace {

constexpr uint8_t kPort = 2;
constexpr uint8_t kFanAddress = 0x5C;

class GpuCooler : public I2cGpus {
protected:
    /// Starts on fake time, so every wait is counted and none is slept.
    int32_t Begin(sim::GpuModel gpu) {
        Start(RigOf({std::move(gpu)}));
        simulator->SetClock(clock);
        gpus->SetClock(clock);
        return gpus->Initialize();
    }
    static sim::GpuModel WithMicrocontroller(uint16_t maxRpm) {
        sim::I2cDeviceConfig mcu = Device(I2cDeviceKind::FanMicrocontroller, kPort, kFanAddress);
        mcu.maxRpm = maxRpm;
        return GpuWith(0x1B82, {mcu});
    }
    static sim::GpuModel WithRpmController(std::map<uint8_t, uint8_t> registers = {{0x01, 4}}) {
        return GpuWith(0x1B82, {Device(I2cDeviceKind::RpmFanController, kPort, kFanAddress, std::move(registers))});
    }
    uint8_t Reg(uint8_t reg) const { return Peek(kPort, kFanAddress, reg).value_or(0xEE); }

    test::FakeClock clock;
};

TEST_F(GpuCooler, DriverCoolerKindReadsTheRangeAndSwitchesBetweenFixedAndAutomatic) {
    ASSERT_EQ(Begin(Gpu(0x1B82)), 0);
    const GpuRecord& record = RecordOf(0);
    EXPECT_EQ(record.fanAccessKind, kFanDriverCooler);
    EXPECT_EQ(record.coolerSettings.version, nvapi::kCoolerSettingsVer);
    EXPECT_EQ(record.coolerSettings.count, 1u);
    int32_t maximum = 0, minimum = 0;
    ASSERT_EQ(gpus->GetFanLevelRange(0, maximum, minimum), 0);
    EXPECT_EQ(maximum, 100);
    EXPECT_EQ(minimum, 30);

    int32_t mode = 0, level = 0;
    ASSERT_EQ(gpus->GetFanMode(0, mode), 0);
    EXPECT_EQ(mode, GpuAccess::kFanModeAutomatic);

    clock.slept = 0;
    ASSERT_EQ(gpus->SetFanLevel(0, 70), 0);
    EXPECT_EQ(clock.slept, 10u);  // the settle wait after the write; no microcontroller wait
    ASSERT_EQ(gpus->GetFanMode(0, mode), 0);
    EXPECT_EQ(mode, GpuAccess::kFanModeFixed);
    EXPECT_EQ(record.fanLevelNow, 70);
    ASSERT_EQ(gpus->GetFanSpeed(0, level, false), 0);
    EXPECT_EQ(level, 70);

    const int32_t curveLevel = 55;
    ASSERT_EQ(gpus->SetCoolerLevel(0, &curveLevel), 0);
    ASSERT_EQ(gpus->GetFanMode(0, mode), 0);
    EXPECT_EQ(record.fanLevelNow, 55);
    EXPECT_EQ(gpus->SetCoolerLevel(0, nullptr), nvapi::INVALID_ARGUMENT);

    EXPECT_EQ(gpus->RestoreAutoFan(0), nvapi::NOT_SUPPORTED);  // even though the driver restored it
    ASSERT_EQ(gpus->GetFanMode(0, mode), 0);
    EXPECT_EQ(mode, GpuAccess::kFanModeAutomatic);
    ASSERT_EQ(simulator->CallsTo(nvapi::GPU_RestoreCoolerSettings).size(), 1u);
    EXPECT_EQ(simulator->CallsTo(nvapi::GPU_RestoreCoolerSettings)[0].status, 0);
}

TEST_F(GpuCooler, LevelIsUnknownUntilReadAndZeroWhileTheFanStops) {
    sim::GpuModel gpu = Gpu(0x1B82);
    gpu.cooler.fanStopCapable = true;
    gpu.cooler.fanStopped = true;
    ASSERT_EQ(Begin(gpu), 0);
    int32_t level = 0, mode = 0;
    EXPECT_EQ(gpus->GetFanSpeed(0, level, false), -1);  // no mode read yet
    EXPECT_TRUE(gpus->IsFanStopActive(0));
    ASSERT_EQ(gpus->GetFanMode(0, mode), 0);
    EXPECT_EQ(RecordOf(0).fanLevelNow, 0);

    ASSERT_EQ(gpus->SetFanLevel(0, 50), 0);  // a fixed level runs the fan
    ASSERT_EQ(gpus->GetFanMode(0, mode), 0);
    EXPECT_EQ(RecordOf(0).fanLevelNow, 50);

    simulator->ForceStatus(nvapi::GPU_GetCoolerSettings, nvapi::ERROR);
    EXPECT_EQ(gpus->GetFanMode(0, mode), nvapi::ERROR);
    EXPECT_EQ(RecordOf(0).fanLevelNow, -1);
    EXPECT_EQ(gpus->GetFanSpeed(0, level, false), -1);
}

TEST_F(GpuCooler, CardWithoutCoolersBecomesKind4AndRefusesEveryFanOperation) {
    sim::GpuModel gpu = Gpu(0x1B82);
    gpu.cooler.units.clear();
    ASSERT_EQ(Begin(gpu), 0);
    EXPECT_EQ(gpus->fanAccessKind(0), kFanNotControllable);
    int32_t value = 0;
    const int32_t level = 50;
    EXPECT_EQ(gpus->GetFanMode(0, value), -1);
    EXPECT_EQ(gpus->GetFanSpeed(0, value, false), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->GetFanSpeed(0, value, true), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->SetFanLevel(0, 50), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->SetCoolerLevel(0, &level), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->RestoreAutoFan(0), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->SetControllerFlag(0, 1), nvapi::NOT_SUPPORTED);
    uint8_t alarm = 0;
    EXPECT_EQ(gpus->GetAlarmTemperature(0, alarm), nvapi::NOT_SUPPORTED);
    EXPECT_TRUE(simulator->CallsTo(nvapi::GPU_SetCoolerLevels).empty());
}

TEST_F(GpuCooler, CoolersWithoutAFanStayOnTheDriverPathButFindNoFan) {
    sim::GpuModel gpu = Gpu(0x1B82);
    gpu.cooler.units = {sim::CoolerUnit{2, 0, 100, 0, 0}};
    ASSERT_EQ(Begin(gpu), 0);
    EXPECT_EQ(gpus->fanAccessKind(0), kFanDriverCooler);
    uint8_t index = 9;
    EXPECT_EQ(gpus->FindFanCooler(0, RecordOf(0).coolerSettings, index), -1);
    int32_t mode = 0;
    EXPECT_EQ(gpus->GetFanMode(0, mode), -1);
    EXPECT_EQ(gpus->SetFanLevel(0, 50), -1);

    // A count beyond the structure's 20 coolers is not followed past its end.
    nvapi::CoolerSettings settings{};
    settings.count = 1000;
    settings.cooler[19][nvapi::kCoolerType] = nvapi::kCoolerTypeFan;
    ASSERT_EQ(gpus->FindFanCooler(0, settings, index), 0);
    EXPECT_EQ(index, 19);
}

TEST_F(GpuCooler, MicrocontrollerKind1ChecksItsTachAtStartAndWaitsAroundDriverCalls) {
    ASSERT_EQ(Begin(WithMicrocontroller(3000)), 0);
    const GpuRecord& record = RecordOf(0);
    EXPECT_EQ(record.fanAccessKind, kFanDriverWithTachMcu);
    EXPECT_EQ(record.fanLevelMax, 100);
    EXPECT_EQ(record.fanFlags, 1u);
    EXPECT_EQ(record.savedFanRegister, 255);
    // Mode read 20, level write 20 + 10, spin-up 100, restore 20, saved register 10.
    EXPECT_EQ(clock.slept, 180u);
    int32_t mode = 0;
    ASSERT_EQ(gpus->GetFanMode(0, mode), 0);
    EXPECT_EQ(mode, GpuAccess::kFanModeAutomatic);  // put back as it was

    clock.slept = 0;
    ASSERT_EQ(gpus->SetFanLevel(0, 60), 0);
    EXPECT_EQ(clock.slept, 30u);
    clock.slept = 0;
    EXPECT_EQ(gpus->RestoreAutoFan(0), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(clock.slept, 20u);

    int32_t value = 0;
    ASSERT_EQ(gpus->GetFanSpeed(0, value, false), 0);
    EXPECT_EQ(value, 0x66 * 100 / 255);  // the controller's own duty
    ASSERT_EQ(gpus->GetFanSpeed(0, value, true), 0);
    EXPECT_EQ(value, 1200);  // 3000 x 0x66 / 255, through a count of 4500
}

TEST_F(GpuCooler, TachCheckPutsAFixedFanBackAtTheLevelItHad) {
    sim::GpuModel gpu = WithMicrocontroller(3000);
    gpu.cooler.units[0].policy = sim::kCoolerPolicyManual;
    gpu.cooler.units[0].level = 61;  // the controller's own duty reads as 40 %
    ASSERT_EQ(Begin(std::move(gpu)), 0);
    int32_t mode = 0;
    ASSERT_EQ(gpus->GetFanMode(0, mode), 0);
    EXPECT_EQ(mode, GpuAccess::kFanModeFixed);
    EXPECT_EQ(RecordOf(0).fanLevelNow, 61);
}

TEST_F(GpuCooler, Kind1TachCountOf60000ReadsAsZeroRpm) {
    ASSERT_EQ(Begin(WithMicrocontroller(225)), 0);  // 225 x 0x66 / 255 = 90 RPM, count 60000
    EXPECT_EQ(RecordOf(0).fanFlags, 1u);
    EXPECT_EQ(Reg(0x28) | (Reg(0x29) << 8), 60000);
    int32_t rpm = -7;
    ASSERT_EQ(gpus->GetFanSpeed(0, rpm, true), 0);
    EXPECT_EQ(rpm, 0);
}

TEST_F(GpuCooler, SilentTachFallsBackToThePercentReading) {
    ASSERT_EQ(Begin(WithMicrocontroller(0)), 0);  // no tach signal: the count reads 0xFFFF
    EXPECT_EQ(RecordOf(0).fanFlags, 0u);
    int32_t value = 0;
    ASSERT_EQ(gpus->GetFanSpeed(0, value, true), 0);
    EXPECT_EQ(value, 40);
}

TEST_F(GpuCooler, Kind2WritesTheDutyDirectlyAndRestoresTheSavedControl) {
    ASSERT_EQ(Begin(WithMicrocontroller(3000)), 0);
    gpus->SetFanAccessKind(0, kFanDriverWithMcuWrites);
    ASSERT_EQ(gpus->fanAccessKind(0), kFanDriverWithMcuWrites);

    simulator->ClearCalls();
    ASSERT_EQ(gpus->SetFanLevel(0, 100), 0);
    EXPECT_EQ(Steps(kPort, kFanAddress), (std::vector<std::string>{"W 39=FF", "R 5D", "W 5D=E0", "W 31=FF"}));
    ASSERT_EQ(simulator->CallsTo(nvapi::GPU_SetCoolerLevels).size(), 1u);  // the driver is told too
    int32_t mode = 0, value = 0;
    ASSERT_EQ(gpus->GetFanMode(0, mode), 0);
    EXPECT_EQ(mode, GpuAccess::kFanModeFixed);
    ASSERT_EQ(gpus->GetFanSpeed(0, value, false), 0);
    EXPECT_EQ(value, 100);

    ASSERT_EQ(gpus->SetFanLevel(0, 39), 0);
    EXPECT_EQ(Reg(0x31), 100);
    ASSERT_EQ(gpus->SetFanLevel(0, 1), 0);
    EXPECT_EQ(Reg(0x31), 2);

    ASSERT_EQ(gpus->RestoreAutoFan(0), 0);
    EXPECT_EQ(Reg(0x39), 255);  // the value kept at start
    EXPECT_EQ(Reg(0x5D), 0);
    ASSERT_EQ(gpus->GetFanMode(0, mode), 0);
    EXPECT_EQ(mode, GpuAccess::kFanModeAutomatic);
    const int32_t level = 50;
    EXPECT_EQ(gpus->SetCoolerLevel(0, &level), nvapi::NOT_SUPPORTED);
}

TEST_F(GpuCooler, RpmControllerGetsItsLimitsAndCalibrationAtStart) {
    ASSERT_EQ(Begin(WithRpmController()), 0);
    const GpuRecord& record = RecordOf(0);
    EXPECT_EQ(record.fanAccessKind, kFanRpmController);
    EXPECT_EQ(record.fanFlags, 32u);
    EXPECT_EQ(record.fanLevelMax, 5500);
    EXPECT_EQ(record.fanLevelMid, 4125);
    EXPECT_EQ(record.fanLevelMin, 2805);
    EXPECT_EQ(record.fanCurvePointA, 75);
    EXPECT_EQ(record.fanCurvePointB, 50);
    EXPECT_EQ(Reg(0x92), 0x00);  // power-up 0xC0, top bits cleared
    EXPECT_EQ(Reg(0x60) & 2, 0);
    EXPECT_TRUE(simulator->CallsTo(nvapi::GPU_GetCoolerSettings).empty());

    // The controller now reads what the GPU's own sensor reads.
    int32_t gpuC = 0, controllerC = 0;
    ASSERT_EQ(gpus->GetTemperature(0, gpuC), 0);
    ASSERT_EQ(gpus->ReadControllerTemperature(0, controllerC), 0);
    EXPECT_EQ(controllerC, gpuC);
}

TEST_F(GpuCooler, RpmControllerVariantHasTheLowerMaximum) {
    ASSERT_EQ(Begin(WithRpmController({{0x01, 4}, {0x02, 4}, {0x60, 2}})), 0);
    const GpuRecord& record = RecordOf(0);
    EXPECT_EQ(record.fanFlags, 64u);
    EXPECT_EQ(record.fanLevelMax, 3000);
    EXPECT_EQ(record.fanLevelMid, 2250);
    EXPECT_EQ(record.fanLevelMin, 1530);
    EXPECT_EQ(Reg(0x60), 0);  // the controller flag is cleared at start
}

TEST_F(GpuCooler, RpmControllerFixedSpeedAndRestoredCurve) {
    ASSERT_EQ(Begin(WithRpmController()), 0);
    ASSERT_EQ(gpus->SetFanLevel(0, 5000), 0);
    EXPECT_EQ(Reg(0x74), 300 >> 8);
    EXPECT_EQ(Reg(0x75), 300 & 0xFF);
    int32_t mode = 0, rpm = 0;
    ASSERT_EQ(gpus->GetFanMode(0, mode), 0);
    EXPECT_EQ(mode, GpuAccess::kFanModeFixed);
    ASSERT_EQ(gpus->GetFanSpeed(0, rpm, true), 0);  // measured period 300
    EXPECT_EQ(rpm, 5000);
    ASSERT_EQ(gpus->GetFanSpeed(0, rpm, false), 0);  // the target
    EXPECT_EQ(rpm, 5000);

    ASSERT_EQ(gpus->SetFanLevel(0, 0), 0);  // fixed mode, target kept
    EXPECT_EQ(Reg(0x75), 300 & 0xFF);
    ASSERT_EQ(gpus->SetFanLevel(0, 10), 0);  // too slow for 16 bits: the longest period
    EXPECT_EQ(Reg(0x74), 0xFF);
    EXPECT_EQ(Reg(0x75), 0xFF);

    ASSERT_EQ(gpus->RestoreAutoFan(0), 0);
    ASSERT_EQ(gpus->GetFanMode(0, mode), 0);
    EXPECT_EQ(mode, GpuAccess::kFanModeAutomatic);
    const uint8_t expected[] = {75, 50, 0, 0, 17, 22, 33, 33, 33};
    for (uint8_t i = 0; i < 9; ++i) EXPECT_EQ(Reg(uint8_t(0xA0 + i)), expected[i]) << "register A" << int(i);

    const uint8_t curve[] = {80, 60, 40, 20};
    const int32_t speeds[] = {6000, 3000, 1000, 100, 0};
    ASSERT_EQ(gpus->RestoreAutoFan(0, curve, speeds), 0);
    const uint8_t written[] = {80, 60, 40, 20, 15, 31, 93, 0xFF, 0xFF};  // too slow and 0: the slowest
    for (uint8_t i = 0; i < 9; ++i) EXPECT_EQ(Reg(uint8_t(0xA0 + i)), written[i]) << "register A" << int(i);

    ASSERT_TRUE(simulator->SetI2cDeviceFault(0, kPort, kFanAddress, -1));
    EXPECT_EQ(gpus->RestoreAutoFan(0), -1);
    EXPECT_EQ(gpus->SetFanLevel(0, 3000), -1);
}

TEST_F(GpuCooler, ControllerFlagAndAlarmTemperature) {
    ASSERT_EQ(Begin(WithRpmController()), 0);
    ASSERT_EQ(gpus->SetControllerFlag(0, 1), 0);
    EXPECT_EQ(Reg(0x60), 2);
    ASSERT_EQ(gpus->SetFanLevel(0, 3000), 0);
    ASSERT_EQ(gpus->SetControllerFlag(0, 0), 0);
    EXPECT_EQ(Reg(0x60), 1);  // the fixed-target bit stays

    uint8_t alarm = 0;
    ASSERT_EQ(gpus->GetAlarmTemperature(0, alarm), 0);
    EXPECT_EQ(alarm, 90);
    ASSERT_EQ(gpus->SetAlarmTemperature(0, 85), 0);
    ASSERT_EQ(gpus->GetAlarmTemperature(0, alarm), 0);
    EXPECT_EQ(alarm, 85);

    EXPECT_EQ(gpus->SetControllerFlag(1, 0), nvapi::INVALID_ARGUMENT);

    // The driver's cooler has no controller behind it.
    ASSERT_EQ(Begin(Gpu(0x1B82)), 0);
    EXPECT_EQ(gpus->GetAlarmTemperature(0, alarm), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->SetAlarmTemperature(0, 80), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->SetControllerFlag(0, 1), nvapi::NOT_SUPPORTED);
}

TEST_F(GpuCooler, AManualLevelCoolsTheSimulatedGpu) {
    sim::GpuModel gpu = Gpu(0x1B82);
    gpu.telemetry.load.percent = 100;
    ASSERT_EQ(Begin(gpu), 0);
    ASSERT_EQ(gpus->SetFanLevel(0, 30), 0);
    clock.Advance(10 * 60 * 1000);
    int32_t slowFanC = 0;
    ASSERT_EQ(gpus->GetTemperature(0, slowFanC), 0);
    ASSERT_EQ(gpus->SetFanLevel(0, 100), 0);
    clock.Advance(10 * 60 * 1000);
    int32_t fastFanC = 0;
    ASSERT_EQ(gpus->GetTemperature(0, fastFanC), 0);
    EXPECT_LT(fastFanC, slowFanC - 5);
    uint32_t rpm = 0;
    ASSERT_EQ(gpus->GetTachRpm(0, rpm), 0);
    EXPECT_EQ(rpm, gpu.telemetry.maxFanRpm);
}

}  // namespace
}  // namespace vx::gputest
