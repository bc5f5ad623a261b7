// The simulated I2C entries: routing, the call log, bad requests, device faults, bus holds, the
// extended entries, and the devices of rig files.
#include "sim/Simulator.h"

#include "gpu/I2cStructs.h"
#include "gpu/NvApiIds.h"
#include "support/RigBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace vx::sim {
namespace {

using namespace vx::nvapi;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

I2cDeviceConfig Device(I2cDeviceKind kind, uint8_t port, uint8_t address, std::map<uint8_t, uint8_t> registers = {}) {
    I2cDeviceConfig config;
    config.kind = kind;
    config.port = port;
    config.address = address;
    config.registers = std::move(registers);
    return config;
}

// Two voltage controllers at one address on two ports of GPU 0; GPU 1 has no devices.
Rig TwoPortRig() {
    Rig rig = test::RigBuilder().Gpu(0x1184).Gpu(0x1B82).Build();
    rig.gpus[0].i2cDevices = {Device(I2cDeviceKind::VoltageController, 2, 0x60),
                              Device(I2cDeviceKind::VoltageController, 0, 0x60, {{0x01, 7}}),
                              Device(I2cDeviceKind::PowerMonitor, 0, 0x90)};
    return rig;
}

// One request with its own register byte and data buffer.
class Request {
public:
    Request(uint8_t port, uint8_t address, uint8_t reg, std::vector<uint8_t> data, uint32_t version = kI2cInfoVer1)
        : reg_(reg), data_(std::move(data)) {
        info_.version = version;
        info_.displayMask = 1;
        info_.portByte = port;
        info_.deviceAddress = address;
        info_.registerAddress = &reg_;
        info_.registerAddressSize = 1;
        info_.data = data_.data();
        info_.dataSize = static_cast<uint32_t>(data_.size());
        info_.speed = kI2cSpeedNormal;
        if (version == kI2cInfoVer3) {
            info_.portId = 1;
            info_.portIdValid = 1;
        }
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    I2cInfo* info() { return &info_; }
    const std::vector<uint8_t>& data() const { return data_; }

private:
    I2cInfo info_{};
    uint8_t reg_;
    std::vector<uint8_t> data_;
};

class SimI2c : public ::testing::Test {
protected:
    explicit SimI2c(Rig rig = TwoPortRig()) : driver_(std::move(rig)) { gpus_ = driver_.InitializeAndEnumerate(); }

    int32_t Read(std::size_t gpu, Request& r) { return driver_.Entry<I2cFn>(I2CRead)(gpus_.at(gpu), r.info()); }
    int32_t Write(std::size_t gpu, Request& r) { return driver_.Entry<I2cFn>(I2CWrite)(gpus_.at(gpu), r.info()); }
    int32_t ReadEx(std::size_t gpu, Request& r) {
        I2cExScratch scratch = 0;
        return driver_.Entry<I2cExFn>(I2CReadEx)(gpus_.at(gpu), r.info(), &scratch);
    }
    int32_t WriteEx(std::size_t gpu, Request& r) {
        I2cExScratch scratch = 0;
        return driver_.Entry<I2cExFn>(I2CWriteEx)(gpus_.at(gpu), r.info(), &scratch);
    }
    Simulator& sim() { return driver_.sim(); }

    test::SimulatedDriver driver_;
    std::vector<PhysicalGpuHandle> gpus_;
};

TEST_F(SimI2c, RoutesByPortByteAndAddressAndLogsEachTransfer) {
    ASSERT_EQ(gpus_.size(), 2u);
    sim().ClearCalls();
    Request port2(2, 0x60, 0x01, {0xEE});
    Request port0(0, 0x60, 0x01, {0xEE}, kI2cInfoVer3);
    Request otherGpu(2, 0x60, 0x01, {0xEE});
    Request write(0, 0x60, 0x01, {9}, kI2cInfoVer3);
    Request readBack(0, 0x60, 0x01, {0});
    EXPECT_EQ(Read(0, port2), OK);
    EXPECT_EQ(Read(0, port0), OK);
    EXPECT_EQ(Read(1, otherGpu), kI2cNak);
    EXPECT_EQ(Write(0, write), OK);
    EXPECT_EQ(Read(0, readBack), OK);
    EXPECT_THAT(port2.data(), ElementsAre(0x02));
    EXPECT_THAT(port0.data(), ElementsAre(7));
    EXPECT_THAT(otherGpu.data(), ElementsAre(0xEE));  // a failed read leaves the buffer alone
    EXPECT_THAT(readBack.data(), ElementsAre(9));
    EXPECT_EQ(sim().PeekI2cRegister(0, 2, 0x60, 0x01), 0x02);  // the other port's device kept its value

    // version, display mask, port byte, address, register, length, speed, port ID, then the bytes
    std::vector<CallRecord> reads = sim().CallsTo(I2CRead);
    ASSERT_EQ(reads.size(), 4u);
    EXPECT_EQ(reads[1].args, (std::vector<int64_t>{kI2cInfoVer3, 1, 0, 0x60, 0x01, 1, 100, 1, 7}));
    EXPECT_EQ(reads[2].gpu, 1);
    EXPECT_EQ(reads[2].args, (std::vector<int64_t>{kI2cInfoVer1, 1, 2, 0x60, 0x01, 1, 100, -1}));
    EXPECT_EQ(reads[2].status, kI2cNak);
}

TEST_F(SimI2c, MultiByteTransfersStayWithinTheCallersLength) {
    // Two bytes asked for from a buffer of four: the other two are not touched.
    std::vector<uint8_t> buffer = {0xAA, 0xAA, 0xAA, 0xAA};
    uint8_t reg = 0x03;
    I2cInfo info{};
    info.version = kI2cInfoVer1;
    info.portByte = 0;
    info.deviceAddress = 0x90;
    info.registerAddress = &reg;
    info.registerAddressSize = 1;
    info.data = buffer.data();
    info.dataSize = 2;
    EXPECT_EQ(driver_.Entry<I2cFn>(I2CRead)(gpus_[0], &info), OK);
    EXPECT_THAT(buffer, ElementsAre(0x1A, 0x0A, 0xAA, 0xAA));

    // Past the device's last register: refused as a whole, the buffer as it was.
    info.dataSize = 3;
    buffer.assign(4, 0xAA);
    EXPECT_EQ(driver_.Entry<I2cFn>(I2CRead)(gpus_[0], &info), kI2cNak);
    EXPECT_THAT(buffer, ElementsAre(0xAA, 0xAA, 0xAA, 0xAA));
}

TEST_F(SimI2c, AVersionOneRequestIsReadOnlyAsFarAsItsSize) {
    // The request sits at the very end of an allocation of exactly its version-1 size.
    Request request(0, 0x60, 0x01, {0});
    auto raw = std::make_unique<unsigned char[]>(kI2cInfoV1Size);
    std::memcpy(raw.get(), request.info(), kI2cInfoV1Size);
    auto* shortInfo = reinterpret_cast<I2cInfo*>(raw.get());
    EXPECT_EQ(driver_.Entry<I2cFn>(I2CRead)(gpus_[0], shortInfo), OK);
    EXPECT_THAT(request.data(), ElementsAre(7));
}

TEST_F(SimI2c, RefusesMalformedRequestsWithoutTouchingTheBuffers) {
    auto read = driver_.Entry<I2cFn>(I2CRead);
    auto readEx = driver_.Entry<I2cExFn>(I2CReadEx);
    EXPECT_EQ(read(gpus_[0], nullptr), INVALID_ARGUMENT);
    EXPECT_EQ(read(nullptr, nullptr), INVALID_HANDLE);

    Request good(0, 0x60, 0x01, {0xEE});
    EXPECT_EQ(readEx(gpus_[0], good.info(), nullptr), INVALID_ARGUMENT);

    auto expectRefused = [&](int32_t status, auto change) {
        Request request(0, 0x60, 0x01, {0xEE, 0xEE});
        request.info()->dataSize = 1;
        change(*request.info());
        EXPECT_EQ(read(gpus_[0], request.info()), status);
        EXPECT_THAT(request.data(), ElementsAre(0xEE, 0xEE));
    };
    expectRefused(INCOMPATIBLE_STRUCT_VERSION, [](I2cInfo& i) { i.version = MakeVersion(sizeof(I2cInfo), 2); });
    expectRefused(INCOMPATIBLE_STRUCT_VERSION, [](I2cInfo& i) { i.version = 0; });
    expectRefused(INVALID_ARGUMENT, [](I2cInfo& i) { i.registerAddress = nullptr; });
    expectRefused(INVALID_ARGUMENT, [](I2cInfo& i) { i.registerAddressSize = 0; });
    expectRefused(INVALID_ARGUMENT, [](I2cInfo& i) { i.registerAddressSize = 2; });
    expectRefused(INVALID_ARGUMENT, [](I2cInfo& i) { i.data = nullptr; });
    expectRefused(INVALID_ARGUMENT, [](I2cInfo& i) { i.dataSize = 0; });
    expectRefused(INVALID_ARGUMENT, [](I2cInfo& i) { i.dataSize = 4097; });
    expectRefused(INVALID_ARGUMENT, [](I2cInfo& i) { i.dataSize = 0xFFFFFFFF; });

    // Refused version words answer -9 for that word only.
    sim().RefuseVersion(I2CRead, kI2cInfoVer3);
    Request v3(0, 0x60, 0x01, {0}, kI2cInfoVer3);
    Request v1(0, 0x60, 0x01, {0});
    EXPECT_EQ(read(gpus_[0], v3.info()), INCOMPATIBLE_STRUCT_VERSION);
    EXPECT_EQ(read(gpus_[0], v1.info()), OK);

    // A malformed request logs the version word and nothing of the rest.
    std::vector<CallRecord> calls = sim().CallsTo(I2CRead);
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(calls[4].args, (std::vector<int64_t>{kI2cInfoVer1}));
    EXPECT_EQ(calls[4].status, INVALID_ARGUMENT);
}

TEST_F(SimI2c, EntriesAnswerMinusFourBeforeInitialize) {
    driver_.Entry<UnloadFn>(Unload)();
    Request request(0, 0x60, 0x01, {0xEE});
    EXPECT_EQ(Read(0, request), API_NOT_INITIALIZED);
    EXPECT_EQ(WriteEx(0, request), API_NOT_INITIALIZED);
    EXPECT_THAT(request.data(), ElementsAre(0xEE));
}

TEST_F(SimI2c, AFaultyDeviceFailsEveryTransferUntilCleared) {
    EXPECT_TRUE(sim().SetI2cDeviceFault(0, 0, 0x60, kI2cNak));
    EXPECT_FALSE(sim().SetI2cDeviceFault(0, 0, 0x62, kI2cNak));
    Request read(0, 0x60, 0x01, {0xEE});
    Request write(0, 0x60, 0x01, {3});
    EXPECT_EQ(Read(0, read), kI2cNak);
    EXPECT_EQ(Write(0, write), kI2cNak);
    EXPECT_EQ(ReadEx(0, read), kI2cNak);
    EXPECT_THAT(read.data(), ElementsAre(0xEE));
    EXPECT_EQ(sim().PeekI2cRegister(0, 0, 0x60, 0x01), 7);

    // Its neighbour on the other port still answers.
    Request neighbour(2, 0x60, 0x01, {0});
    EXPECT_EQ(Read(0, neighbour), OK);

    sim().SetI2cDeviceFault(0, 0, 0x60, 0);
    EXPECT_EQ(Write(0, write), OK);
    EXPECT_EQ(sim().PeekI2cRegister(0, 0, 0x60, 0x01), 3);
}

TEST_F(SimI2c, AHeldBusBlocksThatGpusCallsUntilReleased) {
    auto read = driver_.Entry<I2cFn>(I2CRead);
    sim().HoldI2cBus(0);
    Request blocked(0, 0x60, 0x01, {0});
    std::future<int32_t> pending =
        std::async(std::launch::async, [&] { return read(gpus_[0], blocked.info()); });
    while (sim().I2cCallsWaiting(0) == 0) std::this_thread::yield();

    // Meanwhile the other GPU's bus and the other entries work.
    Request other(0, 0x60, 0x01, {0});
    EXPECT_EQ(read(gpus_[1], other.info()), kI2cNak);
    ShortString name = {};
    EXPECT_EQ(driver_.Entry<GetFullNameFn>(GPU_GetFullName)(gpus_[0], name), OK);
    EXPECT_EQ(sim().CallsTo(I2CRead).size(), 1u);
    EXPECT_EQ(pending.wait_for(std::chrono::seconds(0)), std::future_status::timeout);

    sim().ReleaseI2cBus(0);
    EXPECT_EQ(pending.get(), OK);
    EXPECT_THAT(blocked.data(), ElementsAre(7));
    EXPECT_EQ(sim().I2cCallsWaiting(0), 0u);
    ASSERT_EQ(sim().CallsTo(I2CRead).size(), 2u);
    EXPECT_EQ(sim().CallsTo(I2CRead)[1].gpu, 0);
}

TEST(SimI2cHold, DestroyingTheSimulatorReleasesAHeldBus) {
    auto sim = std::make_unique<Simulator>(TwoPortRig());
    sim->Activate();
    auto query = Simulator::QueryInterface();
    reinterpret_cast<InitializeFn>(query(Initialize))();
    PhysicalGpuHandle handles[kMaxPhysicalGpus] = {};
    uint32_t count = 0;
    reinterpret_cast<EnumPhysicalGPUsFn>(query(EnumPhysicalGPUs))(handles, &count);
    ASSERT_EQ(count, 2u);
    auto readEx = reinterpret_cast<I2cExFn>(query(I2CReadEx));

    sim->HoldI2cBus(0);
    Request request(0, 0x60, 0x01, {0xEE});
    I2cExScratch scratch = 0;
    std::future<int32_t> pending =
        std::async(std::launch::async, [&] { return readEx(handles[0], request.info(), &scratch); });
    while (sim->I2cCallsWaiting(0) == 0) std::this_thread::yield();
    sim.reset();
    EXPECT_EQ(pending.get(), API_NOT_INITIALIZED);
    EXPECT_THAT(request.data(), ElementsAre(0xEE));
}

TEST_F(SimI2c, BoardControlIsCheckedAndLogged) {
    auto control = driver_.Entry<SetBoardControlFn>(GPU_SetVoltageRail);
    ASSERT_NE(control, nullptr);
    BoardControl value{kBoardControlVer, 20, 0, 1};
    EXPECT_EQ(control(gpus_[1], &value), OK);
    BoardControl wrong{MakeVersion(sizeof(BoardControl), 2), 20, 0, 1};
    EXPECT_EQ(control(gpus_[1], &wrong), INCOMPATIBLE_STRUCT_VERSION);
    EXPECT_EQ(control(gpus_[1], nullptr), INVALID_ARGUMENT);
    std::vector<CallRecord> calls = sim().CallsTo(GPU_SetVoltageRail);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].gpu, 1);
    EXPECT_EQ(calls[0].args, (std::vector<int64_t>{kBoardControlVer, 20, 0, 1}));
}

// The demo rig's devices, reached as the program reaches them.
class SimI2cDemo : public SimI2c {
protected:
    SimI2cDemo() : SimI2c(DemoRig()) {}
};

TEST_F(SimI2cDemo, LightingAndDisplayRecordWhatTheyAreSent) {
    Request init(2, 0x40, 0x00, {0x10, 0x01}, kI2cInfoVer3);
    Request frame(2, 0x40, 0x01, {0x01, 0, 0, 0, 0, 255, 49, 0, 0xFF, 0xF0}, kI2cInfoVer3);
    Request message(2, 0x9C, 0x40, {0x80, 0x83, 'A', 0x0D, 'B', 0x0D, 'C', 0x00}, kI2cInfoVer3);
    EXPECT_EQ(Write(0, init), OK);
    EXPECT_EQ(Write(0, frame), OK);
    EXPECT_EQ(Write(0, message), OK);
    EXPECT_THAT(sim().I2cLightingColours(0, 2, 0x40), ElementsAre(LightingColour{255, 49, 0}));
    EXPECT_THAT(sim().I2cLcdMessages(0, 2, 0x9C),
                ElementsAre(std::vector<uint8_t>{0x80, 0x83, 'A', 0x0D, 'B', 0x0D, 'C', 0x00}));
    // The other board has neither.
    EXPECT_EQ(Write(1, frame), kI2cNak);
}

// ---- Rig files ----

std::string RigWithDevices(const std::string& devices) {
    return R"({"gpus": [{"pciDeviceId": "0x1184", "i2cDevices": )" + devices + "}]}";
}

std::string ErrorOf(const std::string& devices) {
    RigLoadResult result = ParseRigJson(RigWithDevices(devices), "bad.json");
    EXPECT_FALSE(result.rig.has_value());
    return result.error ? result.error->message : std::string();
}

TEST(SimI2cRig, ReadsDevicesWithTheirOverrides) {
    RigLoadResult result = ParseRigJson(RigWithDevices(R"([
        {"kind": "rpmFanController", "port": 2, "address": "0x5A", "sensorB": "0x0108",
         "registers": {"0x14": 60, "2": "0x04", "0x70": 1}, "readOnly": ["0x28"]},
        {"kind": "fanMicrocontroller", "port": 2, "address": 92, "maxRpm": 0}])"),
                                        "good.json");
    ASSERT_TRUE(result.rig) << result.error->message;
    const std::vector<I2cDeviceConfig>& devices = result.rig->gpus[0].i2cDevices;
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].kind, I2cDeviceKind::RpmFanController);
    EXPECT_EQ(devices[0].address, 0x5A);
    EXPECT_EQ(devices[0].sensorB, 0x0108);
    EXPECT_EQ(devices[0].registers, (std::map<uint8_t, uint8_t>{{0x02, 0x04}, {0x14, 60}, {0x70, 1}}));
    EXPECT_EQ(devices[0].readOnly, (std::set<uint8_t>{0x28}));
    EXPECT_EQ(devices[1].address, 0x5C);
    EXPECT_EQ(devices[1].maxRpm, 0);

    // The simulator builds them as described: an added register, and one made read-only.
    test::SimulatedDriver driver(*result.rig);
    Simulator& sim = driver.sim();
    EXPECT_EQ(sim.PeekI2cRegister(0, 2, 0x5A, 0x70), 1);
    EXPECT_EQ(sim.PeekI2cRegister(0, 2, 0x5A, 0x04), 0x5A);
    std::lock_guard lock(sim.mutex());
    I2cDevice* fan = sim.I2cDeviceAt(0, 2, 0x5A);
    ASSERT_NE(fan, nullptr);
    EXPECT_TRUE(fan->IsWritable(0x70));
    EXPECT_FALSE(fan->IsWritable(0x28));
}

TEST(SimI2cRig, ReportsBadDevicesWithTheFieldPath) {
    EXPECT_THAT(ErrorOf(R"({})"), HasSubstr("bad.json: gpus[0].i2cDevices: expected an array of I2C devices"));
    EXPECT_THAT(ErrorOf(R"([{"port": 2, "address": "0x5C"}])"),
                HasSubstr("gpus[0].i2cDevices[0].kind: required field missing (expected one of: rpmFanController"));
    EXPECT_THAT(ErrorOf(R"([{"kind": "fan", "port": 2, "address": "0x5C"}])"),
                HasSubstr("gpus[0].i2cDevices[0].kind: expected one of: rpmFanController"));
    EXPECT_THAT(ErrorOf(R"([{"kind": "lcdModule", "address": "0x9C"}])"),
                HasSubstr("i2cDevices[0].port: required field missing"));
    EXPECT_THAT(ErrorOf(R"([{"kind": "lcdModule", "port": 256, "address": "0x9C"}])"),
                HasSubstr("i2cDevices[0].port: expected a number from 0 to 255"));
    EXPECT_THAT(ErrorOf(R"([{"kind": "lcdModule", "port": 2, "address": "0x4E"},
                            {"kind": "lcdModule", "port": 2, "address": "0x9D"}])"),
                HasSubstr("i2cDevices[1].address: expected an even 8-bit address from 0x02 to 0xFE, found 0x9D"));
    EXPECT_THAT(ErrorOf(R"([{"kind": "voltageController", "port": 0, "address": "0x60"},
                            {"kind": "boardDevice", "port": 0, "address": "0x60"}])"),
                HasSubstr("i2cDevices[1].address: expected a port and address no other device of this GPU uses, "
                          "found port 0, address 0x60 again"));
    EXPECT_THAT(ErrorOf(R"([{"kind": "boardDevice", "port": 0, "address": "0x30", "maxRpm": 100}])"),
                HasSubstr("i2cDevices[0].maxRpm: only a fanMicrocontroller has maxRpm"));
    EXPECT_THAT(ErrorOf(R"([{"kind": "boardDevice", "port": 0, "address": "0x30", "registers": {"0x100": 1}}])"),
                HasSubstr("i2cDevices[0].registers.0x100: expected a register from 0 to 255"));
    EXPECT_THAT(ErrorOf(R"([{"kind": "boardDevice", "port": 0, "address": "0x30", "registers": {"0x01": 1, "1": 2}}])"),
                HasSubstr("expected each register once, found 0x01 again"));
    EXPECT_THAT(ErrorOf(R"([{"kind": "boardDevice", "port": 0, "address": "0x30", "readOnly": [1, "x"]}])"),
                HasSubstr("i2cDevices[0].readOnly[1]: expected a number from 0 to 255"));
    EXPECT_THAT(ErrorOf(R"([{"kind": "boardDevice", "port": 0, "address": "0x30", "colour": 1}])"),
                HasSubstr("i2cDevices[0].colour: unknown field"));

    std::string many = "[";
    for (int i = 0; i < 33; ++i)
        many += std::string(i ? "," : "") + R"({"kind": "boardDevice", "port": 0, "address": )" +
                std::to_string(2 * i + 2) + "}";
    EXPECT_THAT(ErrorOf(many + "]"), HasSubstr("i2cDevices: expected at most 32 devices, found 33"));
}

TEST(SimI2cRig, TheLegacyRigCarriesItsDevices) {
    RigLoadResult legacy = LoadRigFile(std::filesystem::path(VX_TEST_ASSETS) / "rigs" / "legacy.json");
    ASSERT_TRUE(legacy.rig) << legacy.error->message;
    test::SimulatedDriver driver(*legacy.rig);
    EXPECT_EQ(driver.sim().PeekI2cRegister(0, 2, 0x5A, 0x04), 0x5A);
    EXPECT_EQ(driver.sim().PeekI2cRegister(0, 2, 0x5A, 0x02), 0x04);
    for (uint8_t monitor : {0x90, 0x92, 0x94}) EXPECT_TRUE(driver.sim().PeekI2cRegister(1, 0, monitor, 0x03));
}

}  // namespace
}  // namespace vx::sim
