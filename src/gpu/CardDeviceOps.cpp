// Operations on the on-card devices: voltage controllers, the card-device-0 fan controller's
// readings, the board monitors and the board device at 0x10.
#include "gpu/CardDeviceRegisters.h"
#include "gpu/GpuAccess.h"

#include <algorithm>

namespace vx {

namespace {

using carddev::ReadRegister;
using carddev::Speed;
using carddev::WriteRegister;

constexpr int kRpmController = 0;
constexpr int kLegacyController = 2;
constexpr int kControllerA = 3;
constexpr int kBoardDevice = 5;
constexpr int kControllerB = 6;
constexpr int kLaterLegacyController = 7;
constexpr int kControllerB2 = 12;

constexpr uint8_t kBoardAddress = 0x10;
constexpr uint32_t kBoardPort = 1;

// The slot-2 controller keeps one voltage register per range; register 0x1C bits 4 to 5 pick it.
constexpr uint8_t kLegacyVoltageRegisters[] = {0x15, 0x16, 0x17, 0x18};
uint8_t LegacyVoltageRegisterOf(uint8_t rangeCode) { return kLegacyVoltageRegisters[(rangeCode >> 4) & 3]; }

// ReadControllerSensorB re-reads while the value is above this; the glitch it waits out is
// short, so a few attempts are enough and a stuck sensor cannot hang the caller.
constexpr float kSensorBSettled = 0.2f;
constexpr int kSensorBExtraAttempts = 3;

struct CodeRange {
    int32_t minimum;
    int32_t maximum;
};

}  // namespace

int32_t GpuAccess::GetVoltageCodeRangeA(uint8_t gpu, int32_t& minimum, int32_t& maximum, int32_t kind) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    const GpuRecord& record = records_[gpu];
    CodeRange range{};
    if (record.IsCardDevicePresent(kLegacyController)) {
        if (kind != 1 && kind != 2) return nvapi::ERROR;
        range = {0x2C, 0x4C};
    } else if (record.IsCardDevicePresent(kControllerA)) {
        range = {0, 10};
    } else if (record.IsCardDevicePresent(kBoardDevice)) {
        range = {0x6F, 0x8F};
    } else if (record.IsCardDevicePresent(kLaterLegacyController)) {
        range = {0, 25};
    } else {
        return nvapi::ERROR;
    }
    minimum = range.minimum;
    maximum = range.maximum;
    return nvapi::OK;
}

int32_t GpuAccess::GetVoltageCodeRangeB(uint8_t gpu, int32_t& minimum, int32_t& maximum) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    const GpuRecord& record = records_[gpu];
    CodeRange range{};
    if (record.IsCardDevicePresent(kControllerB)) {
        range = {0, 4};
    } else if (record.IsCardDevicePresent(kControllerB2)) {
        range = {0, 16};
    } else {
        return nvapi::ERROR;
    }
    minimum = range.minimum;
    maximum = range.maximum;
    return nvapi::OK;
}

int32_t GpuAccess::GetRegulatorOffsetUv(uint8_t gpu, uint32_t& microvolts) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    // The code register the voltage page writes; the slot-12 device steps in 12.5 mV.
    struct Regulator {
        int slot;
        uint8_t reg;
        uint32_t stepUv;
    };
    constexpr Regulator kRegulators[] = {{kControllerB, 0x01, 10000}, {kControllerB2, 0x6F, 12500}};
    for (const Regulator& regulator : kRegulators) {
        if (!records_[gpu].IsCardDevicePresent(regulator.slot)) continue;
        uint8_t code = 0;
        const int32_t status = ReadRegister(*this, gpu, regulator.slot, regulator.reg, code);
        if (status == nvapi::OK) microvolts = code * regulator.stepUv;
        return status;
    }
    return nvapi::NOT_SUPPORTED;
}

int32_t GpuAccess::SetVoltageCodeA(uint8_t gpu, int32_t code) {
    int32_t minimum = 0, maximum = 0;
    if (int32_t status = GetVoltageCodeRangeA(gpu, minimum, maximum, 1); status != nvapi::OK) return status;
    const auto clamped = static_cast<uint8_t>(std::clamp(code, minimum, maximum));
    return WriteRegister(*this, gpu, kControllerA, 0x01, clamped, Speed::Slow);
}

int32_t GpuAccess::SetVoltageCodeB(uint8_t gpu, int32_t code) {
    int32_t minimum = 0, maximum = 0;
    if (int32_t status = GetVoltageCodeRangeB(gpu, minimum, maximum); status != nvapi::OK) return status;
    const auto clamped = static_cast<uint8_t>(std::clamp(code, minimum, maximum));
    return WriteRegister(*this, gpu, kControllerB, 0x01, clamped);
}

int32_t GpuAccess::GetVoltageCodeA(uint8_t gpu, uint8_t& code) {
    return ReadRegister(*this, gpu, kControllerA, 0x01, code, Speed::Slow);
}

int32_t GpuAccess::SetVoltageSlot7(uint8_t gpu, uint8_t code) {
    constexpr int slot = kLaterLegacyController;
    if (int32_t status = WriteRegister(*this, gpu, slot, 0x18, code, Speed::Slow); status != nvapi::OK) return status;
    if (int32_t status = WriteRegister(*this, gpu, slot, 0x1D, 0x55, Speed::Slow); status != nvapi::OK) return status;
    uint8_t control = 0;
    if (int32_t status = ReadRegister(*this, gpu, slot, 0x19, control, Speed::Slow); status != nvapi::OK)
        return status;
    return WriteRegister(*this, gpu, slot, 0x19, static_cast<uint8_t>(control | 0x08), Speed::Slow);
}

int32_t GpuAccess::GetVoltageSlot7(uint8_t gpu, uint8_t& code) {
    return ReadRegister(*this, gpu, kLaterLegacyController, 0x18, code);
}

int32_t GpuAccess::SetVoltageSlot2(uint8_t gpu, uint8_t reg, uint8_t code) {
    return WriteRegister(*this, gpu, kLegacyController, reg, static_cast<uint8_t>(code & 0x7F), Speed::Slow);
}

int32_t GpuAccess::GetVoltageSlot2(uint8_t gpu, uint8_t reg, uint8_t& code) {
    uint8_t value = 0;
    const int32_t status = ReadRegister(*this, gpu, kLegacyController, reg, value, Speed::Slow);
    if (status == nvapi::OK) code = value & 0x7F;
    return status;
}

int32_t GpuAccess::ReadLegacyCoreVoltage(uint8_t gpu, double& volts) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    const GpuRecord& record = records_[gpu];
    if (record.IsCardDevicePresent(kLegacyController)) {
        uint8_t rangeCode = 0;
        if (int32_t status = ReadRegister(*this, gpu, kLegacyController, 0x1C, rangeCode); status != nvapi::OK)
            return status;
        uint8_t value = 0;
        if (int32_t status = ReadRegister(*this, gpu, kLegacyController, LegacyVoltageRegisterOf(rangeCode), value);
            status != nvapi::OK)
            return status;
        const std::optional<double> millivolts = voltageCodes_.CodeToVoltage(value & 0x7F);
        if (!millivolts) return nvapi::NOT_SUPPORTED;
        volts = *millivolts / 1000.0;
        return nvapi::OK;
    }
    if (record.IsCardDevicePresent(kRpmController)) {
        uint8_t value = 0;
        if (int32_t status = ReadRegister(*this, gpu, kRpmController, 0x13, value); status != nvapi::OK) return status;
        volts = value * 0.008 * 1.47;
        return nvapi::OK;
    }
    return nvapi::NOT_SUPPORTED;
}

uint8_t GpuAccess::LegacyVoltageRegister(uint8_t gpu, int32_t kind) const {
    if (!InRange(gpu) || (kind != 1 && kind != 2)) return 0;
    return records_[gpu].legacyVoltageRegister[static_cast<std::size_t>(kind - 1)];
}

void GpuAccess::ReadLegacyRangeCode(uint8_t gpu, int32_t kind) {
    if (!InRange(gpu) || (kind != 1 && kind != 2)) return;
    uint8_t& stored = records_[gpu].legacyVoltageRegister[static_cast<std::size_t>(kind - 1)];
    if (stored != 0) return;  // once per kind
    uint8_t rangeCode = 0;
    if (ReadRegister(*this, gpu, kLegacyController, 0x1C, rangeCode) == nvapi::OK)
        stored = LegacyVoltageRegisterOf(rangeCode);
}

int32_t GpuAccess::ReadControllerTemperature(uint8_t gpu, int32_t& celsius) {
    constexpr int slot = kRpmController;
    uint8_t control = 0;
    if (int32_t status = ReadRegister(*this, gpu, slot, 0x01, control); status != nvapi::OK) return status;
    // Bit 2 enables the temperature conversion.
    if (int32_t status = WriteRegister(*this, gpu, slot, 0x01, static_cast<uint8_t>(control | 0x04));
        status != nvapi::OK)
        return status;
    uint8_t temperature = 0;
    if (int32_t status = ReadRegister(*this, gpu, slot, 0x14, temperature); status != nvapi::OK) return status;
    uint8_t unused = 0;
    ReadRegister(*this, gpu, slot, 0x1A, unused);  // the controller expects it read with 0x14
    celsius = temperature;
    return nvapi::OK;
}

int32_t GpuAccess::GetControllerTempOffset(uint8_t gpu, int32_t& value) {
    uint8_t raw = 0;
    const int32_t status = ReadRegister(*this, gpu, kRpmController, 0x64, raw);
    if (status == nvapi::OK) value = static_cast<int8_t>(raw);
    return status;
}

int32_t GpuAccess::SetControllerTempOffset(uint8_t gpu, int32_t value) {
    // A signed byte: the calibration offset may be negative.
    const auto raw = static_cast<uint8_t>(static_cast<int8_t>(std::clamp<int32_t>(value, -128, 127)));
    return WriteRegister(*this, gpu, kRpmController, 0x64, raw);
}

int32_t GpuAccess::ReadControllerSensorA(uint8_t gpu, float& value) {
    uint8_t raw = 0;
    const int32_t status = ReadRegister(*this, gpu, kRpmController, 0x12, raw);
    if (status == nvapi::OK) value = static_cast<float>(raw * 0.008 * 6.55);
    return status;
}

int32_t GpuAccess::ReadControllerSensorB(uint8_t gpu, float& value) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    GpuRecord& record = records_[gpu];
    float reading = 0.0f;
    for (int attempt = 0;; ++attempt) {
        uint8_t high = 0, low = 0;
        int32_t status = ReadRegister(*this, gpu, kRpmController, 0x1F, high);
        if (status == nvapi::OK) status = ReadRegister(*this, gpu, kRpmController, 0x1F, low);
        if (status != nvapi::OK) {
            value = record.sensorBLastGood;
            return status;
        }
        reading = static_cast<float>((high * 0.008 + low * 0.002) * 6.55);
        record.sensorBLastGood = reading;
        // Bounded: after the extra attempts the last value read stands.
        if (reading <= kSensorBSettled || attempt == kSensorBExtraAttempts) break;
    }
    value = reading;
    return nvapi::OK;
}

int32_t GpuAccess::ReadMonitorWord(uint8_t gpu, int slot, uint16_t& value) {
    uint8_t reg = 0x03;
    uint8_t bytes[2] = {};
    const int32_t status = I2cReadSlotSlow(gpu, &reg, 1, bytes, sizeof(bytes), slot);
    // The two bytes as zero-padded hexadecimal text ("%02X%02X") spell exactly this number.
    if (status == nvapi::OK) value = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
    return status;
}

bool GpuAccess::ReadBoardFlag(uint8_t gpu) {
    uint8_t value = 0;
    if (I2cReadAtPort1(gpu, kBoardAddress, 0x1C, &value, kBoardPort) != nvapi::OK) return true;
    return (value & 0x20) != 0;
}

int32_t GpuAccess::GetBoardRegister7A(uint8_t gpu, uint8_t& value) {
    uint8_t data = 0;
    const int32_t status = I2cReadAtPort1(gpu, kBoardAddress, 0x7A, &data, kBoardPort);
    if (status == nvapi::OK) value = data;
    return status;
}

int32_t GpuAccess::SetBoardRegister7A(uint8_t gpu, uint8_t value) {
    return I2cWriteAtPort1(gpu, kBoardAddress, 0x7A, &value, kBoardPort);
}

}  // namespace vx
