// Cooler control: the driver's cooler interface, the fan microcontroller at card device 1 and
// the RPM fan controller at card device 0, chosen per GPU by its fan access kind.
#include "gpu/CardDeviceRegisters.h"
#include "gpu/CoolerStructs.h"
#include "gpu/GpuAccess.h"
#include "gpu/NvApiIds.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vx {

namespace {

using carddev::ReadRegister;
using carddev::WriteRegister;

constexpr int kRpmController = 0;   // card device 0
constexpr int kFanMcu = 1;          // card device 1
constexpr int kVoltageSlot3 = 3;    // its presence rules out the RPM controller

// Fan microcontroller registers (the second of each pair serves kind 2).
constexpr uint8_t kMcuTachLow = 0x28;
constexpr uint8_t kMcuTachHigh = 0x29;
constexpr uint8_t kMcuDuty = 0x30;
constexpr uint8_t kMcuDutyKind2 = 0x31;
constexpr uint8_t kMcuSavedControl = 0x38;
constexpr uint8_t kMcuSavedControlKind2 = 0x39;
constexpr uint8_t kMcuModeKind2 = 0x5D;
constexpr uint8_t kMcuFixedModeBits = 0xE0;

// RPM fan controller registers.
constexpr uint8_t kRpmVariant = 0x02;
constexpr uint8_t kRpmMeasuredHigh = 0x16;
constexpr uint8_t kRpmMeasuredLow = 0x17;
constexpr uint8_t kRpmAlarm = 0x28;
constexpr uint8_t kRpmControl = 0x60;
constexpr uint8_t kRpmTargetHigh = 0x74;
constexpr uint8_t kRpmTargetLow = 0x75;
constexpr uint8_t kRpmStatus = 0x92;
constexpr uint8_t kRpmCurveFirst = 0xA0;
constexpr uint8_t kRpmSpeedFirst = 0xA4;
constexpr int kRpmCurveBytes = 4;
constexpr int kRpmCurveSpeeds = 5;

constexpr uint32_t kTachDividend = 5400000;    // tach count -> RPM
constexpr uint32_t kPeriodDividend = 1500000;  // fan period <-> RPM
constexpr int32_t kSlowestReportedRpm = 100;

// The microcontroller path needs time to settle around driver cooler calls.
constexpr uint32_t kMcuSettleMs = 20;
constexpr uint32_t kLevelWriteSettleMs = 10;
constexpr uint32_t kTachCheckSpinUpMs = 100;
constexpr int32_t kTachCheckLevel = 45;
constexpr int kTachCheckReads = 5;
constexpr int kTachCheckNeeded = 2;

constexpr int kCalibrationSamples = 8;
constexpr int32_t kRpmMaxStandard = 5500;
constexpr int32_t kRpmMaxVariant = 3000;
constexpr uint32_t kFanFlagTachAnswers = 1;
constexpr uint32_t kFanFlagStandard = 32;
constexpr uint32_t kFanFlagVariant = 64;

// level / 0.39, exactly: the duty byte of a percentage.
uint8_t DutyOfPercent(int32_t level) {
    if (level <= 0) return 0;
    return static_cast<uint8_t>(std::min<int64_t>(int64_t{level} * 100 / 39, 255));
}

// A period register pair holds 16 bits; a speed too slow for it gets the longest period.
uint16_t PeriodOfRpm(int32_t rpm) {
    return static_cast<uint16_t>(std::min<uint32_t>(kPeriodDividend / static_cast<uint32_t>(rpm), 0xFFFF));
}

// A curve speed byte; a zero or negative speed would divide by zero, so it gets the slowest.
uint8_t CurveSpeedByte(int32_t rpm) {
    if (rpm <= 0) return 0xFF;
    return static_cast<uint8_t>(std::min<uint32_t>((kPeriodDividend / static_cast<uint32_t>(rpm)) >> 4, 0xFF));
}

}  // namespace

int32_t GpuAccess::ReadCoolerSettings(uint8_t gpu, nvapi::CoolerSettings* settings) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    GpuRecord& record = records_[gpu];
    nvapi::CoolerSettings* target = settings ? settings : &record.coolerSettings;
    std::memset(target, 0, sizeof *target);
    target->version = nvapi::kCoolerSettingsVer;
    const int32_t status = api_.binding().Call<nvapi::GetCoolerSettingsFn>(
        nvapi::GPU_GetCoolerSettings, record.hPhysicalGpu.load(), nvapi::kAllCoolers, target);
    if (!settings && status == nvapi::OK && target->count == 0) record.fanAccessKind = kFanNotControllable;
    return status;
}

int32_t GpuAccess::FindFanCooler(uint8_t gpu, const nvapi::CoolerSettings& settings, uint8_t& index) const {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    // The count comes from the driver: never look past the coolers the structure holds.
    const uint32_t count = std::min<uint32_t>(settings.count, nvapi::kMaxCoolers);
    for (uint32_t i = 0; i < count; ++i) {
        if (settings.cooler[i][nvapi::kCoolerType] == nvapi::kCoolerTypeFan) {
            index = static_cast<uint8_t>(i);
            return nvapi::OK;
        }
    }
    return -1;
}

int32_t GpuAccess::GetFanLevelRange(uint8_t gpu, int32_t& maximum, int32_t& minimum) const {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    maximum = records_[gpu].fanLevelMax;
    minimum = records_[gpu].fanLevelMin;
    return nvapi::OK;
}

int32_t GpuAccess::GetFanMode(uint8_t gpu, int32_t& mode) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    GpuRecord& record = records_[gpu];
    const int32_t kind = record.fanAccessKind;
    if (kind == kFanNotControllable) return -1;

    if (record.IsCardDevicePresent(kRpmController) && !record.IsCardDevicePresent(kVoltageSlot3)) {
        uint8_t control = 0;
        const int32_t status = ReadRegister(*this, gpu, kRpmController, kRpmControl, control);
        if (status == nvapi::OK) mode = (control & 1) ? kFanModeFixed : kFanModeAutomatic;
        return status;
    }

    if (kind == kFanDriverCooler || kind == kFanDriverWithTachMcu) {
        if (kind == kFanDriverWithTachMcu) clock_->SleepMs(kMcuSettleMs);
        nvapi::CoolerSettings settings;
        uint8_t index = 0;
        int32_t status = ReadCoolerSettings(gpu, &settings);
        if (status == nvapi::OK) status = FindFanCooler(gpu, settings, index);
        if (status != nvapi::OK) {
            record.fanLevelNow = -1;
            return status;
        }
        const uint32_t* cooler = settings.cooler[index];
        mode = cooler[nvapi::kCoolerCurrentPolicy] == nvapi::kCoolerPolicyManual ? kFanModeFixed : kFanModeAutomatic;
        int32_t level = static_cast<int32_t>(cooler[nvapi::kCoolerCurrentLevel]);
        if (cooler[nvapi::kCoolerRunning] == 0 && IsFanStopActive(gpu)) level = 0;
        record.fanLevelNow = level;
        return nvapi::OK;
    }

    if (kind == kFanDriverWithMcuWrites) {
        uint8_t modeByte = 0;
        const int32_t status = ReadRegister(*this, gpu, kFanMcu, kMcuModeKind2, modeByte);
        if (status == nvapi::OK)
            mode = (modeByte & kMcuFixedModeBits) == kMcuFixedModeBits ? kFanModeFixed : kFanModeAutomatic;
        return status;
    }
    return nvapi::NOT_SUPPORTED;
}

int32_t GpuAccess::GetFanSpeed(uint8_t gpu, int32_t& value, bool wantRpm) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    GpuRecord& record = records_[gpu];
    switch (record.fanAccessKind) {
    case kFanDriverCooler: {
        if (wantRpm) {
            uint32_t rpm = 0;
            const int32_t status = GetTachRpm(gpu, rpm);
            if (status == nvapi::OK) value = static_cast<int32_t>(rpm);
            return status;
        }
        if (record.fanLevelNow == -1) return -1;
        value = record.fanLevelNow;
        return nvapi::OK;
    }
    case kFanDriverWithTachMcu:
    case kFanDriverWithMcuWrites: {
        if (wantRpm && record.fanFlags == kFanFlagTachAnswers) {
            uint8_t low = 0;
            uint8_t high = 0;
            int32_t status = ReadRegister(*this, gpu, kFanMcu, kMcuTachLow, low);
            if (status == nvapi::OK) status = ReadRegister(*this, gpu, kFanMcu, kMcuTachHigh, high);
            if (status != nvapi::OK) return status;
            const uint32_t count = (uint32_t{high} << 8) | low;
            const int32_t rpm = count == 0 ? 0 : static_cast<int32_t>(kTachDividend / count);
            value = rpm < kSlowestReportedRpm ? 0 : rpm;
            return nvapi::OK;
        }
        const uint8_t reg = record.fanAccessKind == kFanDriverWithMcuWrites ? kMcuDutyKind2 : kMcuDuty;
        uint8_t duty = 0;
        const int32_t status = ReadRegister(*this, gpu, kFanMcu, reg, duty);
        if (status == nvapi::OK) value = duty * 100 / 255;
        return status;
    }
    case kFanRpmController: {
        uint8_t high = 0;
        uint8_t low = 0;
        int32_t status = nvapi::OK;
        if (wantRpm) {
            status = ReadRegister(*this, gpu, kRpmController, kRpmMeasuredHigh, high);
            if (status == nvapi::OK) status = ReadRegister(*this, gpu, kRpmController, kRpmMeasuredLow, low);
        } else {
            uint8_t control = 0;
            status = ReadRegister(*this, gpu, kRpmController, kRpmControl, control);
            if (status == nvapi::OK) status = ReadRegister(*this, gpu, kRpmController, kRpmTargetHigh, high);
            if (status == nvapi::OK) status = ReadRegister(*this, gpu, kRpmController, kRpmTargetLow, low);
        }
        if (status != nvapi::OK) return status;
        const uint32_t period = (uint32_t{high} << 8) | low;
        value = period == 0 ? 0 : static_cast<int32_t>(kPeriodDividend / period);
        return nvapi::OK;
    }
    default: return nvapi::NOT_SUPPORTED;
    }
}

// Entry 0 of the levels structure, for the first fan cooler; kinds 0 to 2.
int32_t GpuAccess::SetDriverFanLevel(uint8_t gpu, int32_t level) {
    GpuRecord& record = records_[gpu];
    if (record.fanAccessKind == kFanDriverWithTachMcu) clock_->SleepMs(kMcuSettleMs);
    nvapi::CoolerSettings settings;
    uint8_t index = 0;
    int32_t status = ReadCoolerSettings(gpu, &settings);
    if (status == nvapi::OK) status = FindFanCooler(gpu, settings, index);
    if (status != nvapi::OK) return status;

    nvapi::CoolerLevels levels;
    std::memset(&levels, 0, sizeof levels);
    levels.version = nvapi::kCoolerLevelsVer;
    levels.entry[0] = {static_cast<uint32_t>(level), nvapi::kCoolerPolicyManual};
    status = api_.binding().Call<nvapi::SetCoolerLevelsFn>(nvapi::GPU_SetCoolerLevels, record.hPhysicalGpu.load(),
                                                           uint32_t{index}, &levels);
    clock_->SleepMs(kLevelWriteSettleMs);
    return status;
}

int32_t GpuAccess::SetFanLevel(uint8_t gpu, int32_t level) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    GpuRecord& record = records_[gpu];
    switch (record.fanAccessKind) {
    case kFanDriverCooler:
    case kFanDriverWithTachMcu: return SetDriverFanLevel(gpu, level);
    case kFanDriverWithMcuWrites: {
        SetDriverFanLevel(gpu, level);  // the controller write below is what counts
        int32_t status = nvapi::OK;
        if (record.savedFanRegister != -1)
            status = WriteRegister(*this, gpu, kFanMcu, kMcuSavedControlKind2, 0xFF);
        uint8_t modeByte = 0;
        if (status == nvapi::OK) status = ReadRegister(*this, gpu, kFanMcu, kMcuModeKind2, modeByte);
        if (status == nvapi::OK)
            status = WriteRegister(*this, gpu, kFanMcu, kMcuModeKind2, static_cast<uint8_t>(modeByte | kMcuFixedModeBits));
        if (status == nvapi::OK) status = WriteRegister(*this, gpu, kFanMcu, kMcuDutyKind2, DutyOfPercent(level));
        return status;
    }
    case kFanRpmController: {
        uint8_t control = 0;
        int32_t status = ReadRegister(*this, gpu, kRpmController, kRpmControl, control);
        if (status == nvapi::OK)
            status = WriteRegister(*this, gpu, kRpmController, kRpmControl, static_cast<uint8_t>((control & 0xFB) | 1));
        if (status == nvapi::OK && level > 0) {
            const uint16_t period = PeriodOfRpm(level);
            status = WriteRegister(*this, gpu, kRpmController, kRpmTargetHigh, static_cast<uint8_t>(period >> 8));
            if (status == nvapi::OK)
                status = WriteRegister(*this, gpu, kRpmController, kRpmTargetLow, static_cast<uint8_t>(period & 0xFF));
        }
        return status;
    }
    default: return nvapi::NOT_SUPPORTED;
    }
}

int32_t GpuAccess::SetCoolerLevel(uint8_t gpu, const int32_t* level) {
    if (!InRange(gpu) || !level) return nvapi::INVALID_ARGUMENT;
    const int32_t kind = records_[gpu].fanAccessKind;
    if (kind != kFanDriverCooler && kind != kFanDriverWithTachMcu) return nvapi::NOT_SUPPORTED;
    return SetDriverFanLevel(gpu, *level);
}

int32_t GpuAccess::RestoreAutoFan(uint8_t gpu, const uint8_t* curve, const int32_t* speedsRpm) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    GpuRecord& record = records_[gpu];
    switch (record.fanAccessKind) {
    case kFanDriverCooler:
    case kFanDriverWithTachMcu: {
        if (record.fanAccessKind == kFanDriverWithTachMcu) clock_->SleepMs(kMcuSettleMs);
        nvapi::CoolerSettings settings;
        uint8_t index = 0;
        if (ReadCoolerSettings(gpu, &settings) == nvapi::OK && FindFanCooler(gpu, settings, index) == nvapi::OK) {
            const uint32_t coolers[1] = {index};
            api_.binding().Call<nvapi::RestoreCoolerSettingsFn>(nvapi::GPU_RestoreCoolerSettings,
                                                                record.hPhysicalGpu.load(), coolers, uint32_t{1});
        }
        // Callers keep this result; whether a restore shows as failed is theirs to decide.
        return nvapi::NOT_SUPPORTED;
    }
    case kFanDriverWithMcuWrites: {
        int32_t status = nvapi::OK;
        if (record.savedFanRegister != -1)
            status = WriteRegister(*this, gpu, kFanMcu, kMcuSavedControlKind2,
                                   static_cast<uint8_t>(record.savedFanRegister));
        uint8_t modeByte = 0;
        if (status == nvapi::OK) status = ReadRegister(*this, gpu, kFanMcu, kMcuModeKind2, modeByte);
        if (status == nvapi::OK)
            status = WriteRegister(*this, gpu, kFanMcu, kMcuModeKind2, static_cast<uint8_t>(modeByte % 32));
        return status;
    }
    case kFanRpmController: {
        uint8_t control = 0;
        int32_t status = ReadRegister(*this, gpu, kRpmController, kRpmControl, control);
        if (status == nvapi::OK)
            status = WriteRegister(*this, gpu, kRpmController, kRpmControl, static_cast<uint8_t>(control & 0xFA));
        const uint8_t defaultCurve[kRpmCurveBytes] = {record.fanCurvePointA, record.fanCurvePointB, 0, 0};
        const uint8_t* bytes = curve ? curve : defaultCurve;
        for (int i = 0; i < kRpmCurveBytes && status == nvapi::OK; ++i)
            status = WriteRegister(*this, gpu, kRpmController, static_cast<uint8_t>(kRpmCurveFirst + i), bytes[i]);
        const int32_t defaultSpeeds[kRpmCurveSpeeds] = {record.fanLevelMax, record.fanLevelMid, record.fanLevelMin,
                                                        record.fanLevelMin, record.fanLevelMin};
        const int32_t* speeds = speedsRpm ? speedsRpm : defaultSpeeds;
        for (int i = 0; i < kRpmCurveSpeeds && status == nvapi::OK; ++i)
            status = WriteRegister(*this, gpu, kRpmController, static_cast<uint8_t>(kRpmSpeedFirst + i),
                                   CurveSpeedByte(speeds[i]));
        return status;
    }
    default: return nvapi::NOT_SUPPORTED;
    }
}

bool GpuAccess::IsFanStopActive(uint8_t gpu) {
    if (!InRange(gpu)) return false;
    nvapi::FanStopCapability capability;
    std::memset(&capability, 0, sizeof capability);
    capability.version = nvapi::kFanStopCapabilityVer;
    const int32_t status = api_.binding().Call<nvapi::GetFanStopCapabilityFn>(
        nvapi::GPU_GetFanStopCapability, records_[gpu].hPhysicalGpu.load(), &capability);
    return status == nvapi::OK && (capability.flags & 1) != 0;
}

int32_t GpuAccess::SetControllerFlag(uint8_t gpu, int32_t on) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    if (records_[gpu].fanAccessKind != kFanRpmController) return nvapi::NOT_SUPPORTED;
    uint8_t control = 0;
    int32_t status = ReadRegister(*this, gpu, kRpmController, kRpmControl, control);
    if (status != nvapi::OK) return status;
    control = on ? static_cast<uint8_t>(control | 2) : static_cast<uint8_t>(control & ~2u);
    return WriteRegister(*this, gpu, kRpmController, kRpmControl, control);
}

int32_t GpuAccess::GetAlarmTemperature(uint8_t gpu, uint8_t& celsius) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    if (!records_[gpu].IsCardDevicePresent(kRpmController)) return nvapi::NOT_SUPPORTED;
    return ReadRegister(*this, gpu, kRpmController, kRpmAlarm, celsius);
}

int32_t GpuAccess::SetAlarmTemperature(uint8_t gpu, uint8_t celsius) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    if (!records_[gpu].IsCardDevicePresent(kRpmController)) return nvapi::NOT_SUPPORTED;
    return WriteRegister(*this, gpu, kRpmController, kRpmAlarm, celsius);
}

void GpuAccess::SetFanAccessKind(uint8_t gpu, int32_t kind) {
    if (InRange(gpu) && kind >= kFanDriverCooler && kind <= kFanNotControllable) records_[gpu].fanAccessKind = kind;
}

void GpuAccess::SetBiosTagText(uint8_t gpu, std::string tag) {
    if (InRange(gpu)) records_[gpu].biosTagText = std::move(tag);
}

int32_t GpuAccess::ProbeFanController(uint8_t gpu) {
    if (!InRange(gpu)) return -5;
    const GpuRecord& record = records_[gpu];
    // Only where the microcontroller reads the fan: on kind 3 a level is an RPM target.
    const bool readsFan =
        record.fanAccessKind == kFanDriverWithTachMcu || record.fanAccessKind == kFanDriverWithMcuWrites;
    if (!record.IsCardDevicePresent(kFanMcu) || !readsFan) return nvapi::NOT_SUPPORTED;
    int32_t mode = 0;
    if (int32_t status = GetFanMode(gpu, mode); status != nvapi::OK) return status;
    CheckFanTach(gpu);
    return nvapi::OK;
}

// Start-up, once every card is probed: an RPM controller gets its limits and its flag cleared;
// otherwise the cooler list is read, and a fan microcontroller's tach is checked.
void GpuAccess::PrepareCooler(uint8_t gpu) {
    GpuRecord& record = records_[gpu];
    if (record.IsCardDevicePresent(kRpmController) && !record.IsCardDevicePresent(kVoltageSlot3)) {
        PrepareRpmController(gpu);
        SetControllerFlag(gpu, 0);
        return;
    }
    uint8_t index = 0;
    if (ReadCoolerSettings(gpu) == nvapi::OK && FindFanCooler(gpu, record.coolerSettings, index) == nvapi::OK) {
        const uint32_t* cooler = record.coolerSettings.cooler[index];
        if (!record.IsCardDevicePresent(kFanMcu))
            record.fanLevelMax = static_cast<int32_t>(cooler[nvapi::kCoolerCurrentMax]);
        record.fanLevelMin = static_cast<int32_t>(cooler[nvapi::kCoolerCurrentMin]);
    }
    const int32_t kind = record.fanAccessKind;
    if (record.IsCardDevicePresent(kFanMcu) && (kind == kFanDriverWithTachMcu || kind == kFanDriverWithMcuWrites))
        CheckFanTach(gpu);
}

// Start-up: the RPM controller's limits and curve points, and its temperature calibrated
// against the GPU's own sensor.
void GpuAccess::PrepareRpmController(uint8_t gpu) {
    GpuRecord& record = records_[gpu];
    record.fanAccessKind = kFanRpmController;

    uint8_t value = 0;
    if (ReadRegister(*this, gpu, kRpmController, kRpmStatus, value) == nvapi::OK && (value & 0xC0) != 0)
        WriteRegister(*this, gpu, kRpmController, kRpmStatus, static_cast<uint8_t>(value % 64));
    value = 0;
    ReadRegister(*this, gpu, kRpmController, kRpmVariant, value);
    record.fanFlags += (value & 4) ? kFanFlagVariant : kFanFlagStandard;

    const int32_t maximum = record.fanFlags == kFanFlagVariant ? kRpmMaxVariant : kRpmMaxStandard;
    record.fanLevelMax = maximum;
    record.fanLevelMid = maximum * 75 / 100;
    record.fanLevelMin = maximum * 51 / 100;
    record.fanCurvePointA = 75;
    record.fanCurvePointB = 50;

    std::vector<int32_t> samples;
    for (int i = 0; i < kCalibrationSamples; ++i) {
        int32_t gpuC = 0;
        int32_t controllerC = 0;
        if (GetTemperature(gpu, gpuC) == nvapi::OK && ReadControllerTemperature(gpu, controllerC) == nvapi::OK)
            samples.push_back(gpuC - controllerC);
    }
    if (samples.size() > 2) {
        std::sort(samples.begin(), samples.end());
        int32_t sum = 0;
        for (std::size_t i = 1; i + 1 < samples.size(); ++i) sum += samples[i];
        const int32_t offset = sum / static_cast<int32_t>(samples.size() - 2);
        SetControllerTempOffset(gpu, offset);
        Trace("Fan controller temperature offset %d\n", offset);
    }
}

// Start-up: whether the fan microcontroller's tach answers, and its saved control byte. The
// fan is left in the mode and level it had.
void GpuAccess::CheckFanTach(uint8_t gpu) {
    GpuRecord& record = records_[gpu];
    const bool writesDuty = record.fanAccessKind == kFanDriverWithMcuWrites;
    int32_t mode = 0;
    const bool fixed = GetFanMode(gpu, mode) == nvapi::OK && mode == kFanModeFixed;
    // The level as the path that drives the fan holds it: the driver's cooler level, or the
    // controller's duty byte. A percentage read back from the duty truncates (and on kind 1 the
    // duty is the controller's own, not the driver's level).
    const int32_t level = record.fanLevelNow;
    uint8_t duty = 0;
    const bool levelKnown =
        fixed && (writesDuty ? ReadRegister(*this, gpu, kFanMcu, kMcuDutyKind2, duty) == nvapi::OK : level != -1);

    SetFanLevel(gpu, kTachCheckLevel);
    clock_->SleepMs(kTachCheckSpinUpMs);
    int answered = 0;
    for (int i = 0; i < kTachCheckReads; ++i) {
        uint8_t low = 0xFF;
        uint8_t high = 0xFF;
        if (ReadRegister(*this, gpu, kFanMcu, kMcuTachLow, low) == nvapi::OK &&
            ReadRegister(*this, gpu, kFanMcu, kMcuTachHigh, high) == nvapi::OK && low < 0xFF && high < 0xFF)
            ++answered;
    }
    if (answered >= kTachCheckNeeded) record.fanFlags |= kFanFlagTachAnswers;

    if (!levelKnown) {
        RestoreAutoFan(gpu);  // automatic, or a mode that could not be read: the safe choice
    } else if (writesDuty) {
        SetFanLevel(gpu, duty * 100 / 255);
        WriteRegister(*this, gpu, kFanMcu, kMcuDutyKind2, duty);  // the exact byte it had
    } else {
        SetFanLevel(gpu, level);
    }
    record.fanLevelNow = -1;  // what the check read is stale now; the next mode read refreshes it

    const uint8_t reg = record.fanAccessKind == kFanDriverWithMcuWrites ? kMcuSavedControlKind2 : kMcuSavedControl;
    WriteRegister(*this, gpu, kFanMcu, reg, 0xFF);
    clock_->SleepMs(kLevelWriteSettleMs);
    uint8_t saved = 0;
    if (ReadRegister(*this, gpu, kFanMcu, reg, saved) == nvapi::OK && saved > 127) record.savedFanRegister = saved;
}

}  // namespace vx
