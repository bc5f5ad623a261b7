// The start-up probes: each finds its device, or leaves the slot absent when the identity,
// the write test or the GPU's device ID does not fit.
#include "I2cTestSupport.h"

#include <gtest/gtest.h>

namespace vx::gputest {
namespace {

class CardDeviceProbesTest : public I2cGpus {
protected:
    /// Starts one GPU with `devices` and returns the slot addresses the probes left.
    std::array<uint8_t, kCardDeviceSlots> Probe(uint16_t deviceId, std::vector<sim::I2cDeviceConfig> devices) {
        EXPECT_EQ(StartAndInitialize(RigOf({GpuWith(deviceId, std::move(devices))})), 0);
        std::array<uint8_t, kCardDeviceSlots> addresses{};
        for (int slot = 0; slot < kCardDeviceSlots; ++slot) addresses[slot] = RecordOf(0).cardDevices[slot].address;
        return addresses;
    }

    static std::array<uint8_t, kCardDeviceSlots> Only(int slot, uint8_t address) {
        std::array<uint8_t, kCardDeviceSlots> addresses{};
        addresses[slot] = address;
        return addresses;
    }

    // The first transfer of each probe that reached the bus: basic entries only.
    std::vector<std::string> ProbeTargets() const {
        std::vector<std::string> targets;
        for (const I2cCall& call : I2cCalls()) {
            if (call.extended()) continue;
            char text[32];
            std::snprintf(text, sizeof(text), "%u:%02X:%02X", call.port, call.address, call.reg);
            if (targets.empty() || targets.back() != text) targets.push_back(text);
        }
        return targets;
    }
};

TEST_F(CardDeviceProbesTest, ProbesRunInStartUpOrderAndFindNothingOnAnEmptyBoard) {
    // 0x0E22 is in the lists of slots 6 and 7 only, so slots 2, 3 and 12 never touch the bus.
    EXPECT_EQ(Probe(0x0E22, {}), (std::array<uint8_t, kCardDeviceSlots>{}));
    EXPECT_EQ(ProbeTargets(), (std::vector<std::string>{
                                  "2:5C:04", "2:5A:04",  // slot 0, both candidates
                                  "2:5C:3D",             // slot 1
                                  "2:10:62",             // slot 5
                                  "0:60:01",             // slot 6
                                  "0:10:7A",             // slot 13
                                  "0:E0:1A",             // slot 7
                                  "0:30:01", "0:90:01", "0:92:01", "0:94:01",  // slots 8 to 11
                              }));
    // Every failed probe transfer took the extended retry too.
    for (const I2cCall& call : I2cCalls()) EXPECT_NE(call.status, 0);
    EXPECT_EQ(RecordOf(0).fanAccessKind, kFanDriverCooler);
}

TEST_F(CardDeviceProbesTest, ListedDeviceIdsDecideWhichVoltageProbesRun) {
    Probe(0x13C2, {});  // slots 6 and 12
    const std::vector<std::string> targets = ProbeTargets();
    EXPECT_NE(std::find(targets.begin(), targets.end(), "0:10:6F"), targets.end()) << "slot 12 probed";
    EXPECT_EQ(std::find(targets.begin(), targets.end(), "0:E0:1A"), targets.end()) << "slot 7 not probed";
    Probe(0x0DE0, {});  // slot 3
    EXPECT_EQ(ProbeTargets().front(), "2:60:01") << "slot 3 comes first";
}

TEST_F(CardDeviceProbesTest, RpmFanControllerAnswersWithItsOwnAddress) {
    EXPECT_EQ(Probe(0x1B82, {Device(I2cDeviceKind::RpmFanController, 2, 0x5C)}), Only(0, 0x5C));
    EXPECT_EQ(Probe(0x1B82, {Device(I2cDeviceKind::RpmFanController, 2, 0x5A)}), Only(0, 0x5A));
    // Register 0x04 with anything but the address: not this controller.
    EXPECT_EQ(Probe(0x1B82, {Device(I2cDeviceKind::RpmFanController, 2, 0x5C, {{0x04, 0x2E}})}), Only(0, 0));
    EXPECT_EQ(Probe(0x1B82, {Device(I2cDeviceKind::RpmFanController, 1, 0x5C)}), Only(0, 0)) << "another bus";
    EXPECT_EQ(RecordOf(0).fanAccessKind, kFanDriverCooler);
}

TEST_F(CardDeviceProbesTest, FanMicrocontrollerIsUnlockedAndTakesTheFan) {
    EXPECT_EQ(Probe(0x1184, {Device(I2cDeviceKind::FanMicrocontroller, 2, 0x5C)}), Only(1, 0x5C));
    EXPECT_EQ(Peek(2, 0x5C, 0x7B), 0x55);
    EXPECT_EQ(RecordOf(0).fanLevelMax, 100);
    EXPECT_EQ(RecordOf(0).fanAccessKind, kFanDriverWithTachMcu);
    const std::vector<std::string> steps = Steps(2, 0x5C);
    ASSERT_GE(steps.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(steps.begin(), steps.begin() + 5),
              (std::vector<std::string>{"R 04", "R 04", "R 3D", "R 3E", "W 7B=55"}))
        << "slot 0 asks first (and retries); the identity, then the unlock (the fan check follows)";
}

TEST_F(CardDeviceProbesTest, FanMicrocontrollerWithoutItsIdentityKeepsTheDriverFanPath) {
    for (auto identity : {std::map<uint8_t, uint8_t>{{0x3D, 'S'}}, std::map<uint8_t, uint8_t>{{0x3E, 'a'}}}) {
        EXPECT_EQ(Probe(0x1184, {Device(I2cDeviceKind::FanMicrocontroller, 2, 0x5C, identity)}), Only(1, 0));
        EXPECT_EQ(RecordOf(0).fanAccessKind, kFanDriverCooler);
        EXPECT_EQ(RecordOf(0).fanLevelMax, int32_t(simulator->rig().gpus[0].cooler.units[0].maxLevel))
            << "from the driver cooler";
        EXPECT_EQ(Peek(2, 0x5C, 0x7B), 0x00) << "not unlocked";
    }
}

TEST_F(CardDeviceProbesTest, LegacyVoltageControllerOfSlot2) {
    EXPECT_EQ(Probe(0x05E2, {Device(I2cDeviceKind::LegacyVoltageController, 3, 0xE0)}), Only(2, 0xE0));
    // The probe read the current level, and so the range code of its kind (2D here).
    EXPECT_EQ(gpus->LegacyVoltageRegister(0, 1), 0x17);
    // Identity 0x1A must read 10.
    EXPECT_EQ(Probe(0x05E2, {Device(I2cDeviceKind::LegacyVoltageController, 3, 0xE0, {{0x1A, 12}})}), Only(2, 0));
    EXPECT_EQ(gpus->LegacyVoltageRegister(0, 1), 0);
    // A GPU outside the list never asks.
    EXPECT_EQ(Probe(0x05E0, {Device(I2cDeviceKind::LegacyVoltageController, 3, 0xE0)}), Only(2, 0));
    EXPECT_TRUE(Steps(3, 0xE0).empty());
}

TEST_F(CardDeviceProbesTest, VoltageControllerOfSlot3PassesTheWriteTest) {
    EXPECT_EQ(Probe(0x0DE0, {Device(I2cDeviceKind::VoltageController, 2, 0x60, {{0x01, 7}})}), Only(3, 0x60));
    EXPECT_EQ(Steps(2, 0x60), (std::vector<std::string>{"R 01", "W 01=06", "R 01"}));
    EXPECT_EQ(Peek(2, 0x60, 0x01), 6) << "the first value is not written back";
    // 0 is written as 1.
    EXPECT_EQ(Probe(0x0CA3, {Device(I2cDeviceKind::VoltageController, 2, 0x60, {{0x01, 0}})}), Only(3, 0x60));
    EXPECT_EQ(Peek(2, 0x60, 0x01), 1);
}

TEST_F(CardDeviceProbesTest, VoltageControllerOfSlot3FailingTheWriteTestIsAbsent) {
    // A register that ignores writes reads back the old value.
    EXPECT_EQ(Probe(0x0DE1, {Device(I2cDeviceKind::VoltageController, 2, 0x60, {}, {0x01})}), Only(3, 0));
    // A controller that does not acknowledge.
    Start(RigOf({GpuWith(0x0DE1, {Device(I2cDeviceKind::VoltageController, 2, 0x60)})}));
    ASSERT_TRUE(simulator->SetI2cDeviceFault(0, 2, 0x60, -1));
    ASSERT_EQ(gpus->Initialize(), 0);
    EXPECT_FALSE(gpus->IsCardDevicePresent(0, 3));
    // Not in the slot-3 list.
    EXPECT_EQ(Probe(0x1B82, {Device(I2cDeviceKind::VoltageController, 2, 0x60)}), Only(3, 0));
    EXPECT_TRUE(Steps(2, 0x60).empty());
}

TEST_F(CardDeviceProbesTest, VoltageControllerOfSlot6WritesTheSameValueBack) {
    EXPECT_EQ(Probe(0x1B82, {Device(I2cDeviceKind::VoltageController, 0, 0x60, {{0x01, 3}})}), Only(6, 0x60));
    EXPECT_EQ(Steps(0, 0x60), (std::vector<std::string>{"R 01", "W 01=03", "R 01"}));
    EXPECT_EQ(Peek(0, 0x60, 0x01), 3);
    // 0x1C82 is not among the 19 IDs.
    EXPECT_EQ(Probe(0x1C82, {Device(I2cDeviceKind::VoltageController, 0, 0x60)}), Only(6, 0));
    EXPECT_TRUE(Steps(0, 0x60).empty());
    // On the slot-3 bus it is not the slot-6 device.
    EXPECT_EQ(Probe(0x1B82, {Device(I2cDeviceKind::VoltageController, 2, 0x60)}), Only(6, 0));
}

TEST_F(CardDeviceProbesTest, BoardVoltageControllerOfSlot12AndStepVoltageControllerOfSlot7) {
    const struct {
        uint16_t deviceId;
        sim::I2cDeviceConfig device;
        int slot;
        uint8_t found;
    } cases[] = {
        {0x1C03, Device(I2cDeviceKind::BoardVoltageController, 0, 0x10, {}, {0x6F}), 12, 0},
        {0x1B82, Device(I2cDeviceKind::BoardVoltageController, 0, 0x10), 12, 0},
        {0x0E22, Device(I2cDeviceKind::StepVoltageController, 0, 0xE0), 7, 0xE0},
        {0x1244, Device(I2cDeviceKind::StepVoltageController, 0, 0xE0, {{0x1A, 10}}), 7, 0},
        {0x05E2, Device(I2cDeviceKind::StepVoltageController, 0, 0xE0), 7, 0},
        // Slot 2's controller on slot 7's bus answers 10, not 12.
        {0x1200, Device(I2cDeviceKind::LegacyVoltageController, 0, 0xE0), 7, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Probe(c.deviceId, {c.device}), Only(c.slot, c.found)) << c.deviceId;
    EXPECT_EQ(Probe(0x1380, {Device(I2cDeviceKind::BoardVoltageController, 0, 0x10, {{0x6F, 4}})}), Only(12, 0x10));
    EXPECT_EQ(Peek(0, 0x10, 0x6F), 3) << "the probe's write test";
}

TEST_F(CardDeviceProbesTest, BoardDevicesAreFoundByAReadableRegister) {
    const std::array<uint8_t, kCardDeviceSlots> found =
        Probe(0x1B82, {Device(I2cDeviceKind::BoardDevice, 2, 0x10), Device(I2cDeviceKind::BoardDevice, 0, 0x10),
                       Device(I2cDeviceKind::BoardDevice, 0, 0x30), Device(I2cDeviceKind::PowerMonitor, 0, 0x90),
                       Device(I2cDeviceKind::PowerMonitor, 0, 0x92), Device(I2cDeviceKind::PowerMonitor, 0, 0x94)});
    EXPECT_EQ(found, (std::array<uint8_t, kCardDeviceSlots>{0, 0, 0, 0, 0, 0x10, 0, 0, 0x30, 0x90, 0x92, 0x94, 0,
                                                            0x10, 0}));
    // A power monitor lacks register 0x62 and 0x7A: at 0x10 it is neither slot 5 nor slot 13.
    EXPECT_EQ(Probe(0x1B82, {Device(I2cDeviceKind::PowerMonitor, 2, 0x10), Device(I2cDeviceKind::PowerMonitor, 0, 0x10)}),
              (std::array<uint8_t, kCardDeviceSlots>{}));
}

TEST_F(CardDeviceProbesTest, ProbesRunOnEveryGpuOnTheirOwnBuses) {
    ASSERT_EQ(StartAndInitialize(RigOf({GpuWith(0x1184, {Device(I2cDeviceKind::FanMicrocontroller, 2, 0x5C)}),
                                        GpuWith(0x1B82, {Device(I2cDeviceKind::RpmFanController, 2, 0x5A)})})),
              0);
    EXPECT_TRUE(gpus->IsCardDevicePresent(0, 1));
    EXPECT_FALSE(gpus->IsCardDevicePresent(0, 0));
    EXPECT_TRUE(gpus->IsCardDevicePresent(1, 0));
    EXPECT_FALSE(gpus->IsCardDevicePresent(1, 1));
    EXPECT_EQ(RecordOf(1).cardDevices[0].address, 0x5A);
    EXPECT_EQ(gpus->ProbeCardDevices(2), nvapi::INVALID_ARGUMENT);
}

TEST_F(CardDeviceProbesTest, DemoRigCardsShowTheirDevices) {
    ASSERT_EQ(StartAndInitialize(sim::DemoRig()), 0);
    ASSERT_EQ(gpus->deviceIdText(0), "1b82");
    ASSERT_EQ(gpus->deviceIdText(1), "1184");
    for (int slot = 0; slot < kCardDeviceSlots; ++slot) {
        // Slots 9 to 11: the power monitors.
        EXPECT_EQ(gpus->IsCardDevicePresent(0, slot), slot == 6 || (slot >= 9 && slot <= 11)) << "Pascal, slot " << slot;
        EXPECT_EQ(gpus->IsCardDevicePresent(1, slot), slot == 1 || slot == 6 || slot == 9 || slot == 10)
            << "Kepler card, slot " << slot;
    }
    EXPECT_EQ(gpus->fanAccessKind(1), kFanDriverWithTachMcu);
    EXPECT_FALSE(gpus->ReadBoardFlag(0)) << "the Pascal card's board device answers on port byte 1";
}

}  // namespace
}  // namespace vx::gputest
