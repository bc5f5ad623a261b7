// Start-up probes that find the on-card I2C devices and fill the card-device slots.
#include "gpu/CardDeviceRegisters.h"
#include "gpu/GpuAccess.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>

namespace vx {

namespace {

using carddev::ReadRegister;
using carddev::WriteRegister;

constexpr std::initializer_list<uint16_t> kSlot2Ids = {0x05E2, 0x05E3, 0x05E6};
constexpr std::initializer_list<uint16_t> kSlot3Ids = {0x0CA3, 0x0DE0, 0x0DE1};
constexpr std::initializer_list<uint16_t> kSlot6Ids = {0x0E22, 0x1200, 0x1244, 0x1080, 0x1180, 0x11C0, 0x1004,
                                                       0x1005, 0x100A, 0x1187, 0x1007, 0x1184, 0x13C2, 0x13C0,
                                                       0x17C8, 0x1B80, 0x1B81, 0x1B06, 0x1B82};
constexpr std::initializer_list<uint16_t> kSlot7Ids = {0x0E22, 0x1200, 0x1244};
constexpr std::initializer_list<uint16_t> kSlot12Ids = {0x1380, 0x13C2, 0x13C0, 0x1401, 0x1C02, 0x1C03};
static_assert(kSlot6Ids.size() == 19);

constexpr uint8_t kFanMcuIdentity[] = {0x73, 0x41};  // 's', 'A' in registers 0x3D and 0x3E

// The PCI device ID of a record, from its four hexadecimal digits; 0 when it does not parse.
uint32_t DeviceIdOf(const GpuRecord& record) {
    const std::string& text = record.deviceIdText;
    uint32_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id, 16);
    return error == std::errc() && end == text.data() + text.size() ? id : 0;
}

bool Listed(uint32_t id, std::initializer_list<uint16_t> ids) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// The probe steps of one GPU, over the slot transfers.
class Prober {
public:
    Prober(GpuAccess& gpus, uint8_t gpu) : gpus_(gpus), gpu_(gpu) {}

    // Points the slot at `address` so slot transfers reach the candidate, keeps the address
    // when `test` passes and clears it otherwise.
    template <typename Test>
    bool Try(int slot, uint8_t address, Test test) {
        gpus_.SetCardDeviceAddress(gpu_, slot, address);
        const bool found = test(slot);
        if (!found) gpus_.SetCardDeviceAddress(gpu_, slot, 0);
        return found;
    }

    bool Readable(int slot, uint8_t reg) {
        uint8_t value = 0;
        return ReadRegister(gpus_, gpu_, slot, reg, value) == 0;
    }

    bool Reads(int slot, uint8_t reg, uint8_t expected) {
        uint8_t value = 0;
        return ReadRegister(gpus_, gpu_, slot, reg, value) == 0 && value == expected;
    }

    // Read v, write v - 1 (1 for 0) or v itself, read back the written value. The first
    // value is not restored.
    bool WriteTest(int slot, uint8_t reg, bool writeSameValue) {
        uint8_t value = 0;
        if (ReadRegister(gpus_, gpu_, slot, reg, value) != 0) return false;
        const uint8_t written = writeSameValue ? value : value == 0 ? uint8_t{1} : static_cast<uint8_t>(value - 1);
        if (WriteRegister(gpus_, gpu_, slot, reg, written) != 0) return false;
        uint8_t readBack = 0;
        return ReadRegister(gpus_, gpu_, slot, reg, readBack) == 0 && readBack == written;
    }

    void Write(int slot, uint8_t reg, uint8_t value) { WriteRegister(gpus_, gpu_, slot, reg, value); }

private:
    GpuAccess& gpus_;
    uint8_t gpu_;
};

}  // namespace

int32_t GpuAccess::ProbeCardDevices(uint8_t gpu) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    GpuRecord& record = records_[gpu];
    const uint32_t id = DeviceIdOf(record);
    Prober probe(*this, gpu);

    // After a legacy voltage controller is found, read the current level so its range codes
    // are taken while the driver reports the level kinds.
    auto readLegacyLevel = [&] {
        int32_t graphics = 0, processor = 0, memory = 0, kind = 0;
        GetLegacyCurrentClocks(gpu, graphics, processor, memory, kind);
    };

    // Slot 3: voltage controller at 0x60.
    probe.Try(3, 0x60, [&](int slot) { return Listed(id, kSlot3Ids) && probe.WriteTest(slot, 0x01, false); });

    // Slot 0: RPM fan controller at 0x5C, else 0x5A; register 0x04 echoes the address.
    for (uint8_t address : {uint8_t{0x5C}, uint8_t{0x5A}}) {
        if (probe.Try(0, address, [&](int slot) { return probe.Reads(slot, 0x04, address); })) break;
    }

    // Slot 1: fan microcontroller at 0x5C, known by its identity bytes.
    if (probe.Try(1, 0x5C, [&](int slot) {
            return probe.Reads(slot, 0x3D, kFanMcuIdentity[0]) && probe.Reads(slot, 0x3E, kFanMcuIdentity[1]);
        })) {
        probe.Write(1, 0x7B, 0x55);
        record.fanLevelMax = 100;
        record.fanAccessKind = kFanDriverWithTachMcu;
    }

    // Slot 2: legacy voltage controller at 0xE0.
    if (probe.Try(2, 0xE0, [&](int slot) { return Listed(id, kSlot2Ids) && probe.Reads(slot, 0x1A, 10); }))
        readLegacyLevel();

    probe.Try(5, 0x10, [&](int slot) { return probe.Readable(slot, 0x62); });
    probe.Try(6, 0x60, [&](int slot) { return Listed(id, kSlot6Ids) && probe.WriteTest(slot, 0x01, true); });
    probe.Try(12, 0x10, [&](int slot) { return Listed(id, kSlot12Ids) && probe.WriteTest(slot, 0x6F, false); });
    probe.Try(13, 0x10, [&](int slot) { return probe.Readable(slot, 0x7A); });

    // Slot 7: legacy voltage controller at 0xE0 of later boards.
    if (probe.Try(7, 0xE0, [&](int slot) { return Listed(id, kSlot7Ids) && probe.Reads(slot, 0x1A, 12); }))
        readLegacyLevel();

    // Board devices.
    probe.Try(8, 0x30, [&](int slot) { return probe.Readable(slot, 0x01); });
    probe.Try(9, 0x90, [&](int slot) { return probe.Readable(slot, 0x01); });
    probe.Try(10, 0x92, [&](int slot) { return probe.Readable(slot, 0x01); });
    probe.Try(11, 0x94, [&](int slot) { return probe.Readable(slot, 0x01); });
    return nvapi::OK;
}

}  // namespace vx
