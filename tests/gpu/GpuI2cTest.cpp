// The I2C request as it reaches the driver, the per-GPU lock, and the retry through the
// extended entries.
#include "I2cTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace vx::gputest {
namespace {

using namespace std::chrono_literals;

constexpr uint8_t kBoard = 0x10;  // board device: slot 5 on port 2, and the explicit-address device on port 1

class GpuI2cTest : public I2cGpus {
protected:
    /// One GPU of `deviceId` with board devices at 0x10 on ports 1 and 2 (card device 5).
    void StartWithBoard(uint16_t deviceId) {
        ASSERT_EQ(StartAndInitialize(RigOf({GpuWith(deviceId, {Device(I2cDeviceKind::BoardDevice, 2, kBoard),
                                                               Device(I2cDeviceKind::BoardDevice, 1, kBoard)})})),
                  0);
        ASSERT_TRUE(gpus->IsCardDevicePresent(0, 5));
        simulator->ClearCalls();
    }
};

TEST_F(GpuI2cTest, SlotRequestIsVersion1OnOlderGpusAndVersion3OnPstate20AndVfPointGpus) {
    const struct {
        uint16_t deviceId;
        uint32_t version;
        int portId;  // version 1 carries none
    } cases[] = {{0x06CD, nvapi::kI2cInfoVer1, -1}, {0x1184, nvapi::kI2cInfoVer3, 1}, {0x1B82, nvapi::kI2cInfoVer3, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.deviceId);
        StartWithBoard(c.deviceId);
        uint8_t reg = 0x62;
        uint8_t data = 0xEE;
        ASSERT_EQ(gpus->I2cReadSlot(0, &reg, 1, &data, 1, 5), 0);
        EXPECT_EQ(data, 0x00);
        reg = 0x7A;
        data = 0x5A;
        ASSERT_EQ(gpus->I2cWriteSlot(0, &reg, 1, &data, 1, 5), 0);
        EXPECT_EQ(Peek(2, kBoard, 0x7A), 0x5A);
        const std::vector<I2cCall> calls = I2cCalls();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].entry, nvapi::I2CRead);
        EXPECT_EQ(calls[0].reg, 0x62);
        EXPECT_EQ(calls[1].entry, nvapi::I2CWrite);
        EXPECT_EQ(calls[1].bytes, std::vector<uint8_t>{0x5A});
        for (const I2cCall& call : calls) {
            EXPECT_EQ(call.version, c.version);
            EXPECT_EQ(call.displayMask, 1u);
            EXPECT_EQ(call.port, 2);
            EXPECT_EQ(call.address, kBoard);
            EXPECT_EQ(call.dataLength, 1u);
            EXPECT_EQ(call.speed, 100u);
            EXPECT_EQ(call.portId, c.portId);
        }
    }
}

TEST_F(GpuI2cTest, SlowSlotRequestIsAlwaysVersion1AtSpeed30) {
    StartWithBoard(0x1B82);
    uint8_t reg = 0x7A;
    uint8_t data = 0x33;
    ASSERT_EQ(gpus->I2cWriteSlotSlow(0, &reg, 1, &data, 1, 5), 0);
    data = 0;
    ASSERT_EQ(gpus->I2cReadSlotSlow(0, &reg, 1, &data, 1, 5), 0);
    EXPECT_EQ(data, 0x33);
    const std::vector<I2cCall> calls = I2cCalls();
    ASSERT_EQ(calls.size(), 2u);
    for (const I2cCall& call : calls) {
        EXPECT_EQ(call.version, nvapi::kI2cInfoVer1);
        EXPECT_EQ(call.speed, 30u);
        EXPECT_EQ(call.port, 2);
        EXPECT_EQ(call.address, kBoard);
    }
    EXPECT_EQ(calls[0].entry, nvapi::I2CWrite);
    EXPECT_EQ(calls[1].entry, nvapi::I2CRead);
}

TEST_F(GpuI2cTest, ExplicitAddressRequestsPickVersionByPortAndPortByteByVariant) {
    StartWithBoard(0x06CD);
    uint8_t data = 0;
    // Port 2: version 1 on port byte 2.
    ASSERT_EQ(gpus->I2cReadAt(0, kBoard, 0x62, &data, 2), 0);
    // Any other port: version 3 with that port ID.
    uint8_t three[3] = {1, 2, 3};
    ASSERT_EQ(gpus->I2cWriteAt(0, kBoard, 0x7A, three, 1, 1), 0);
    ASSERT_EQ(gpus->I2cReadAtPort1(0, kBoard, 0x7A, &data, 1), 0);
    EXPECT_EQ(data, 0x00) << "port byte 1 reaches the other board device";
    data = 0x44;
    ASSERT_EQ(gpus->I2cWriteAtPort1(0, kBoard, 0x7A, &data, 1), 0);

    const std::vector<I2cCall> calls = I2cCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].version, nvapi::kI2cInfoVer1);
    EXPECT_EQ(calls[0].port, 2);
    EXPECT_EQ(calls[0].portId, -1);
    EXPECT_EQ(calls[1].version, nvapi::kI2cInfoVer3);
    EXPECT_EQ(calls[1].port, 2);
    EXPECT_EQ(calls[1].portId, 1);
    EXPECT_EQ(calls[1].dataLength, 1u) << "the length given, not the buffer's";
    EXPECT_EQ(calls[2].port, 1);
    EXPECT_EQ(calls[2].portId, 1);
    EXPECT_EQ(calls[3].port, 1);
    EXPECT_EQ(calls[3].dataLength, 1u);
    EXPECT_EQ(calls[3].bytes, std::vector<uint8_t>{0x44});
    for (const I2cCall& call : calls) {
        EXPECT_EQ(call.displayMask, 1u);
        EXPECT_EQ(call.speed, 100u);
        EXPECT_EQ(call.address, kBoard);
    }
    EXPECT_EQ(Peek(2, kBoard, 0x7A), 1);
    EXPECT_EQ(Peek(1, kBoard, 0x7A), 0x44);
}

TEST_F(GpuI2cTest, AbsentSlotsAndBadArgumentsNeverReachTheBus) {
    StartWithBoard(0x06CD);
    uint8_t reg = 0x01;
    uint8_t data = 0x77;
    ASSERT_FALSE(gpus->IsCardDevicePresent(0, 6));
    // Address 0 would be the bus-wide general call.
    EXPECT_EQ(gpus->I2cWriteSlot(0, &reg, 1, &data, 1, 6), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->I2cReadSlotSlow(0, &reg, 1, &data, 1, 14), nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->I2cReadSlot(0, &reg, 1, &data, 1, 15), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(gpus->I2cReadSlot(0, &reg, 1, &data, 1, -1), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(gpus->I2cReadSlot(1, &reg, 1, &data, 1, 5), nvapi::INVALID_ARGUMENT) << "one GPU only";
    EXPECT_EQ(gpus->I2cReadSlot(0, nullptr, 1, &data, 1, 5), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(gpus->I2cReadSlot(0, &reg, 1, nullptr, 1, 5), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(gpus->I2cReadAt(0, kBoard, 0x62, nullptr, 2), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(gpus->I2cWriteAt(3, kBoard, 0x7A, &data, 1, 1), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(data, 0x77);
    EXPECT_TRUE(I2cCalls().empty());

    EXPECT_EQ(gpus->SetCardDeviceAddress(0, 15, 0x20), nvapi::INVALID_ARGUMENT);
    EXPECT_EQ(gpus->SetCardDeviceAddress(1, 0, 0x20), nvapi::INVALID_ARGUMENT);
    ASSERT_EQ(gpus->SetCardDeviceAddress(0, 6, 0x60), 0);
    EXPECT_TRUE(gpus->IsCardDevicePresent(0, 6));
    EXPECT_EQ(RecordOf(0).cardDevices[6].port, 0) << "the port byte stays";
    ASSERT_EQ(gpus->SetCardDeviceAddress(0, 6, 0), 0);
    EXPECT_FALSE(gpus->IsCardDevicePresent(0, 6));
}

TEST_F(GpuI2cTest, SlotPortBytesAreFixedWhenTheRecordIsMade) {
    StartWithBoard(0x06CD);
    const std::array<uint8_t, kCardDeviceSlots> expected = {2, 2, 3, 2, 3, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int slot = 0; slot < kCardDeviceSlots; ++slot)
        EXPECT_EQ(RecordOf(0).cardDevices[slot].port, expected[slot]) << "slot " << slot;
    EXPECT_EQ(GpuRecord{}.cardDevices[4].port, 3);
}

TEST_F(GpuI2cTest, LockHeldElsewhereTimesOutWithoutADriverCall) {
    StartWithBoard(0x06CD);
    gpus->SetI2cLockTimeout(5ms);
    std::timed_mutex& lock = *RecordOf(0).i2cMutex;
    std::promise<void> taken;
    std::promise<void> release;
    std::thread holder([&] {
        std::lock_guard<std::timed_mutex> held(lock);
        taken.set_value();
        release.get_future().wait();
    });
    taken.get_future().wait();

    uint8_t reg = 0x62;
    uint8_t data = 0x77;
    EXPECT_EQ(gpus->I2cReadSlot(0, &reg, 1, &data, 1, 5), nvapi::ERROR);
    EXPECT_EQ(gpus->I2cWriteSlotSlow(0, &reg, 1, &data, 1, 5), nvapi::ERROR);
    EXPECT_EQ(gpus->I2cReadAt(0, kBoard, 0x62, &data, 2), nvapi::ERROR);
    EXPECT_EQ(gpus->I2cWriteAtPort1(0, kBoard, 0x7A, &data, 1), nvapi::ERROR);
    EXPECT_EQ(data, 0x77);
    EXPECT_TRUE(simulator->Calls().empty()) << "a time-out touches nothing";

    release.set_value();
    holder.join();
    EXPECT_EQ(gpus->I2cReadSlot(0, &reg, 1, &data, 1, 5), 0);
    EXPECT_EQ(I2cCalls().size(), 1u);
}

TEST_F(GpuI2cTest, LockIsHeldForTheWholeTransfer) {
    StartWithBoard(0x06CD);
    gpus->SetI2cLockTimeout(5ms);
    simulator->HoldI2cBus(0);
    std::promise<int32_t> firstStatus;
    std::thread first([&] {
        uint8_t reg = 0x62;
        uint8_t data = 0;
        firstStatus.set_value(gpus->I2cReadSlot(0, &reg, 1, &data, 1, 5));
    });
    // The first call holds the GPU's lock while the driver keeps it waiting on the bus.
    while (simulator->I2cCallsWaiting(0) == 0) std::this_thread::yield();

    uint8_t data = 0;
    EXPECT_EQ(gpus->I2cReadAt(0, kBoard, 0x62, &data, 2), nvapi::ERROR);
    simulator->ReleaseI2cBus(0);
    first.join();
    EXPECT_EQ(firstStatus.get_future().get(), 0);
    const std::vector<I2cCall> calls = I2cCalls();
    ASSERT_EQ(calls.size(), 1u) << "only the first call reached the driver";
    EXPECT_EQ(calls[0].port, 2);
    EXPECT_EQ(calls[0].reg, 0x62);
}

TEST_F(GpuI2cTest, ReleasedHandlesRefuseI2c) {
    StartWithBoard(0x06CD);
    gpus->ReleaseHandles();
    EXPECT_EQ(RecordOf(0).i2cMutex, nullptr);
    uint8_t data = 0;
    EXPECT_EQ(gpus->I2cReadAt(0, kBoard, 0x62, &data, 2), nvapi::ERROR);
    EXPECT_TRUE(simulator->Calls().empty());
}

TEST_F(GpuI2cTest, FailedSlotTransferIsRetriedOnceThroughTheExtendedEntryWithoutDisplayMask) {
    StartWithBoard(0x1B82);
    simulator->ForceStatus(nvapi::I2CRead, nvapi::ERROR);
    simulator->ForceStatus(nvapi::I2CWrite, nvapi::ERROR);
    uint8_t reg = 0x7A;
    uint8_t data = 0x21;
    ASSERT_EQ(gpus->I2cWriteSlot(0, &reg, 1, &data, 1, 5), 0);
    data = 0;
    ASSERT_EQ(gpus->I2cReadSlotSlow(0, &reg, 1, &data, 1, 5), 0);
    EXPECT_EQ(data, 0x21);

    const std::vector<I2cCall> calls = I2cCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].entry, nvapi::I2CWrite);
    EXPECT_EQ(calls[0].status, nvapi::ERROR);
    EXPECT_EQ(calls[1].entry, nvapi::I2CWriteEx);
    EXPECT_EQ(calls[1].status, 0);
    EXPECT_EQ(calls[1].displayMask, 0u);
    EXPECT_EQ(calls[1].version, nvapi::kI2cInfoVer3);
    EXPECT_EQ(calls[1].portId, 1);
    EXPECT_EQ(calls[1].bytes, std::vector<uint8_t>{0x21});
    EXPECT_EQ(calls[2].entry, nvapi::I2CRead);
    EXPECT_EQ(calls[3].entry, nvapi::I2CReadEx);
    EXPECT_EQ(calls[3].displayMask, 0u);
    EXPECT_EQ(calls[3].speed, 30u);
    EXPECT_EQ(calls[3].version, nvapi::kI2cInfoVer1);
}

TEST_F(GpuI2cTest, ExplicitAddressRetryKeepsTheDisplayMask) {
    StartWithBoard(0x06CD);
    simulator->ForceStatus(nvapi::I2CRead, nvapi::ERROR);
    uint8_t data = 0;
    ASSERT_EQ(gpus->I2cReadAtPort1(0, kBoard, 0x7A, &data, 1), 0);
    const std::vector<I2cCall> calls = I2cCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].entry, nvapi::I2CReadEx);
    EXPECT_EQ(calls[1].displayMask, 1u);
    EXPECT_EQ(calls[1].port, 1);
}

TEST_F(GpuI2cTest, TheExtendedStatusIsFinalAndThereIsNoSecondRetry) {
    StartWithBoard(0x06CD);
    uint8_t reg = 0x62;
    uint8_t data = 0;
    // A device that does not acknowledge fails both ways.
    ASSERT_TRUE(simulator->SetI2cDeviceFault(0, 2, kBoard, -1));
    EXPECT_EQ(gpus->I2cReadSlot(0, &reg, 1, &data, 1, 5), -1);
    std::vector<I2cCall> calls = I2cCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].entry, nvapi::I2CRead);
    EXPECT_EQ(calls[1].entry, nvapi::I2CReadEx);

    simulator->ClearCalls();
    simulator->ForceStatus(nvapi::I2CReadEx, nvapi::NOT_SUPPORTED);
    EXPECT_EQ(gpus->I2cReadSlot(0, &reg, 1, &data, 1, 5), nvapi::NOT_SUPPORTED);
    // A driver without the extended entry: the binding's status comes back.
    simulator->RemoveEntry(nvapi::I2CReadEx);
    EXPECT_EQ(gpus->I2cReadSlot(0, &reg, 1, &data, 1, 5), nvapi::NO_IMPLEMENTATION);
    // A successful basic call is not retried.
    simulator->ClearCalls();
    ASSERT_TRUE(simulator->SetI2cDeviceFault(0, 2, kBoard, 0));
    EXPECT_EQ(gpus->I2cReadSlot(0, &reg, 1, &data, 1, 5), 0);
    EXPECT_EQ(I2cCalls().size(), 1u);
}

TEST_F(GpuI2cTest, BoardControlGoesThroughTheVoltageRailEntry) {
    StartWithBoard(0x1B82);
    ASSERT_EQ(gpus->SetBoardControl(0, 20, 0), 0);
    const std::vector<sim::CallRecord> calls = simulator->CallsTo(nvapi::GPU_SetVoltageRail);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (std::vector<int64_t>{0x10010, 20, 0, 1}));
    EXPECT_TRUE(I2cCalls().empty()) << "not an I2C transfer";
    EXPECT_EQ(gpus->SetBoardControl(1, 20, 0), nvapi::INVALID_ARGUMENT);
}

}  // namespace
}  // namespace vx::gputest
