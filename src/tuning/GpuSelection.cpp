// Selecting a GPU: every slider's range, position and enabled state is filled from the
// hardware (or from the GPU's record), and the legacy clock sliders follow the work mode.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/CMultiLangSupp.h"
#include "tuning/ApplyWrites.h"
#include "tuning/CCorvaneHDDlg.h"

namespace vx::tuning {
namespace {

// Over-voltage controls are shown only where the GPU allows more than 50 mV.
constexpr int32_t kOverVoltageMinUv = 50001;

// 41091 shows as "410.91".
std::string DriverVersionText(uint32_t version) {
    const std::string text = std::to_string(version);
    if (text.size() <= 2) return text;
    const std::size_t split = text.size() - 2;
    return text.substr(0, split) + "." + text.substr(split);
}

bool IsWorkMode(int32_t level) { return level == kWorkMode2D || level == kWorkMode3DPerf || level == kWorkMode3DLow; }

// Work-mode button order: "2D", "3D Low", "3D PERF".
constexpr int32_t kButtonLevels[3] = {kWorkMode2D, kWorkMode3DLow, kWorkMode3DPerf};
constexpr int kButtonTexts[3] = {34, 36, 37};

// GPU voltage range in mV of the P-state 2.0 voltage path, by PCI device ID.
void Pstates20VoltageRange(uint16_t deviceId, int32_t& minimum, int32_t& maximum) {
    minimum = 825;
    switch (deviceId) {
        case 0x06C0: maximum = 1125; break;
        case 0x0DC4: maximum = 1200; break;
        case 0x1080:
        case 0x1081: maximum = 1350; break;
        case 0x1200:
        case 0x1201:
        case 0x1244:
        case 0x0DE0:
        case 0x0DE1:
        case 0x1180: maximum = 1300; break;
        default: maximum = 1200; break;
    }
}

uint16_t DeviceId(const GpuAccess& gpu, uint8_t index) {
    return static_cast<uint16_t>(std::strtoul(gpu.deviceIdText(index).c_str(), nullptr, 16));
}

using applywrites::HasOnCardVoltage;

// A slot-2 controller code in mV (code × 12.5 + 450, truncated); -1 for an unknown code.
int32_t CodeToMv(const GpuAccess& gpu, int code) { return applywrites::CodeToWholeMillivolts(gpu, code).value_or(-1); }

// The graphics or memory clock of P-state 0 in a P-state 2.0 table; null when absent.
const nvapi::Pstates20Clock* Pstate0Clock(const nvapi::Pstates20Info& info, uint32_t domain) {
    if (info.numPstates == 0 || info.numPstates > nvapi::kPstates20MaxPstates) return nullptr;
    const uint32_t clocks = info.numClocks <= nvapi::kPstates20MaxClocks ? info.numClocks : 0;
    for (uint32_t c = 0; c < clocks; ++c)
        if (info.pstates[0].clocks[c].domainId == domain) return &info.pstates[0].clocks[c];
    return nullptr;
}

}  // namespace

void CCorvaneHDDlg::SelectGpu(int index) {
    const bool readLive = readLive_;
    readLive_ = false;
    SelectGpu(index, readLive);
}

int32_t CCorvaneHDDlg::SelectGpu(int index, bool readLive) {
    if (index < 0 || index >= gpuCount()) return nvapi::INVALID_ARGUMENT;
    const auto g = static_cast<uint8_t>(index);
    {
        auto lock = LockHardware();
        // 1. The GPU the window shows.
        currentGpu_ = index;
        gpu_.SetSelectedGpu(index);
        for (int i = 0; i < kMaxGpuSlots; ++i) buttons.gpu[static_cast<std::size_t>(i)].SetCheck(i == index);

        // 2. Driver labels (the driver is machine-wide; the texts are kept per GPU).
        GpuTexts& text = texts_[g];
        uint32_t version = 0;
        std::string branch;
        if (gpu_.GetDriverVersion(version, branch) == nvapi::OK) text.driverVersion = DriverVersionText(version);
        uint32_t dedicatedKb = 0;
        if (gpu_.GetMemoryInfo(dedicatedKb) == nvapi::OK) text.memorySize = std::to_string(dedicatedKb >> 10);

        // 3. Work mode: the level the GPU runs now on the first selection, else the stored one.
        for (std::size_t b = 0; b < buttons.workMode.size(); ++b) {
            const bool has = kButtonLevels[b] == kWorkMode2D         ? gpu_.has2DLevel(g)
                             : kButtonLevels[b] == kWorkMode3DLow    ? gpu_.has3DLowPowerLevel(g)
                                                                     : gpu_.has3DPerformanceLevel(g);
            buttons.workMode[b].SetCaption(has ? app::Text(kButtonTexts[b]) : "");
            buttons.workMode[b].EnableWindow(has);
        }
        const GpuTuningRecord& rec = records_[g];
        buttons.linkCoreShader.SetImage(rec.linkCoreShader ? image::kLinked : image::kUnlinked);
        buttons.linkCoreShader.SetCaption(app::Text(rec.linkCoreShader ? 10 : 11));
        ShowPowerTempLink(rec.powerTempLinked != 0);
        buttons.curveSwitch.SetImage(gpu_.uiFlag(g) ? image::kCurveOn : image::kCurveOff);
        // The live read stores every GPU's current level as its work mode.
        if (readLive) FillRecordsFromHardware();
        const int32_t level = records_[g].workMode;
        FillWorkMode(level);
        selectedWorkMode_ = level;
        CheckWorkModeButton(level);

        // 4 and 8 (fan), 5 to 8 (voltages).
        FillFanSlider(g, readLive);
        FillVoltageSliders(g, readLive);
        // 9 to 12.
        FillOffsetsAndTargets(g);
        // 13.
        FillOverVoltage(g);
        // 14. Labels of the GPU. Lighting state of the GPU: filled here by the lighting feature.
        text.biosTag = gpu_.biosTagText(g);
        if (hooks_.gpuSelected) hooks_.gpuSelected(index);
        // 15.
        FillVfSliders(g);
        keptGpuVoltage_ = sliders.gpuVoltage.GetPos();
    }
    // 16.
    Changed();
    return nvapi::OK;
}

int32_t CCorvaneHDDlg::SelectWorkMode(int32_t level) {
    int32_t status = nvapi::OK;
    {
        auto lock = LockHardware();
        if (currentGpu_ < 0) return nvapi::INVALID_ARGUMENT;
        status = FillWorkMode(level);
        selectedWorkMode_ = level;
        CheckWorkModeButton(level);
    }
    Changed();
    return status;
}

int32_t CCorvaneHDDlg::FillWorkMode(int32_t level) {
    if (currentGpu_ < 0 || currentGpu_ >= gpuCount()) return nvapi::INVALID_ARGUMENT;
    const auto g = static_cast<uint8_t>(currentGpu_);
    GpuTuningRecord& record = records_[g];

    // 1. The level's clocks.
    record.workMode = level;
    LegacyClockRange range;
    const int32_t status = gpu_.GetLegacyClockRange(g, range, level);
    if (status != nvapi::OK) return status;

    // 2. One slider per clock domain the GPU has; Unlock widens the range.
    const bool unlockMax = buttons.unlockMax.IsChecked();
    const bool unlockMin = buttons.unlockMin.IsChecked();
    const GpuRecord* hw = gpu_.Record(g);
    auto fill = [&](ui::CCVSlider& slider, const LegacyDomainRange& domain, bool has) {
        slider.EnableWindow(has);
        if (!has) return;
        int32_t maximum = domain.maximum / 1000;
        if (unlockMax) maximum = static_cast<int32_t>(maximum * 1.5);
        const int32_t minimum = unlockMin ? 0 : domain.minimum / 1000;
        slider.SetRange(minimum, maximum);
        slider.SetPos(domain.frequency / 1000);
    };
    fill(sliders.coreClock, range.graphics, hw && hw->hasGraphicsDomain);
    fill(sliders.shaderClock, range.processor, hw && hw->hasProcessorDomain);
    fill(sliders.memoryClock, range.memory, hw && hw->hasMemoryDomain);

    // 3. P-state 2.0 voltage path without on-card devices: mV by device ID, position from the table.
    if (gpu_.usesPstates20(g) && !HasOnCardVoltage(gpu_, g)) {
        int32_t minimum = 0, maximum = 0;
        Pstates20VoltageRange(DeviceId(gpu_, g), minimum, maximum);
        sliders.gpuVoltage.EnableWindow(true);
        sliders.gpuVoltage.SetRange(minimum, maximum);
        if (gpu_.GetPstates20(g, keptPstates20_) == nvapi::OK) sliders.gpuVoltage.SetPos(PstateVoltageMv(level));
    }

    // 4. Slot-2 controller: levels 1 and 2 only, in mV.
    if (gpu_.IsCardDevicePresent(g, 2)) {
        const bool voltageLevel = level == kWorkMode2D || level == kWorkMode3DPerf;
        sliders.gpuVoltage.EnableWindow(voltageLevel);
        int32_t low = 0, high = 0;
        if (voltageLevel && gpu_.GetVoltageCodeRangeA(g, low, high, level) == nvapi::OK) {
            const int32_t lowMv = CodeToMv(gpu_, low), highMv = CodeToMv(gpu_, high);
            if (lowMv >= 0 && highMv >= 0) {
                record.voltageLow = lowMv;
                record.voltageHigh = highMv;
                sliders.gpuVoltage.SetRange(lowMv, highMv);
            }
            uint8_t code = 0;
            const uint8_t reg = gpu_.LegacyVoltageRegister(g, level);
            if (reg != 0 && gpu_.GetVoltageSlot2(g, reg, code) == nvapi::OK) {
                const int32_t mv = CodeToMv(gpu_, code);
                if (mv >= 0) sliders.gpuVoltage.SetPos(mv);
            }
        }
    }
    return nvapi::OK;
}

void CCorvaneHDDlg::FillRecordsFromHardware() {
    const int count = gpuCount();
    for (int i = 0; i < count; ++i) {
        const auto g = static_cast<uint8_t>(i);
        GpuTuningRecord& record = records_[g];
        int32_t graphics = 0, processor = 0, memory = 0, kind = 0;
        if (gpu_.GetLegacyCurrentClocks(g, graphics, processor, memory, kind) == nvapi::OK && IsWorkMode(kind))
            record.workMode = kind;
        const struct {
            bool has;
            int32_t level;
        } levels[] = {{gpu_.has2DLevel(g), kWorkMode2D},
                      {gpu_.has3DLowPowerLevel(g), kWorkMode3DLow},
                      {gpu_.has3DPerformanceLevel(g), kWorkMode3DPerf}};
        for (const auto& entry : levels) {
            if (!entry.has) continue;
            LegacyClockRange range;
            if (gpu_.GetLegacyClockRange(g, range, entry.level) != nvapi::OK) continue;
            const auto at = static_cast<std::size_t>(entry.level);
            record.coreClockTargets[at] = range.graphics.frequency;
            record.shaderClockTargets[at] = range.processor.frequency;
            record.memoryClockTargets[at] = range.memory.frequency;
        }
        // Slot-2 controller: the voltage of the record's level (2D or 3D PERF) in mV.
        if (gpu_.IsCardDevicePresent(g, 2)) {
            for (int32_t level : {kWorkMode2D, kWorkMode3DPerf}) {
                const uint8_t reg = gpu_.LegacyVoltageRegister(g, level);
                uint8_t code = 0;
                if (reg == 0 || gpu_.GetVoltageSlot2(g, reg, code) != nvapi::OK) continue;
                const int32_t mv = CodeToMv(gpu_, code);
                if (mv >= 0 && (level == record.workMode || record.voltage == 0)) record.voltage = mv;
            }
        }
    }
}

void CCorvaneHDDlg::FillFanSlider(uint8_t g, bool readLive) {
    const bool controllable = gpu_.fanAccessKind(g) != kFanNotControllable;
    fanRangeMin_ = 10;
    fanRangeMax_ = 100;
    if (controllable) {
        int32_t maximum = 0, minimum = 0;
        if (gpu_.GetFanLevelRange(g, maximum, minimum) == nvapi::OK && maximum > 0 && minimum >= 0 && minimum <= maximum) {
            fanRangeMin_ = minimum;
            fanRangeMax_ = maximum;
        }
    }
    sliders.fanSpeed.SetRange(fanRangeMin_, fanRangeMax_);
    const bool automatic = records_[g].fanAutomatic != 0;
    buttons.fanMode.SetImage(automatic ? image::kFanAuto : image::kFanManual);
    buttons.fanMode.EnableWindow(controllable);
    sliders.fanSpeed.EnableWindow(controllable && !automatic);  // the slider is the manual level

    if (!readLive) {
        sliders.fanSpeed.SetPos(records_[g].fanSpeed);
        return;
    }
    int32_t mode = 0, level = 10;
    if (controllable) {
        gpu_.GetFanMode(g, mode);
        if (gpu_.GetFanSpeed(g, level, false) != nvapi::OK) level = 10;
    }
    sliders.fanSpeed.SetPos(level);
    records_[g].fanSpeed = sliders.fanSpeed.GetPos();
}

void CCorvaneHDDlg::FillVoltageSliders(uint8_t g, bool readLive) {
    // 5. Regulator A (slot 6, else 12) and the memory voltage (slot 13).
    const int regulatorSlot = gpu_.IsCardDevicePresent(g, 6) ? 6 : gpu_.IsCardDevicePresent(g, 12) ? 12 : -1;
    int32_t low = 0, high = 0;
    const bool regulator = regulatorSlot > 0 && gpu_.GetVoltageCodeRangeB(g, low, high) == nvapi::OK;
    sliders.regulatorA.EnableWindow(regulator);
    if (regulator) sliders.regulatorA.SetRange(low, high);
    const bool memoryVoltage = gpu_.IsCardDevicePresent(g, 13);
    sliders.memoryVoltage.EnableWindow(memoryVoltage);
    if (memoryVoltage) {
        if (gpu_.ReadBoardFlag(g))
            sliders.memoryVoltage.SetRange(64, 104);
        else
            sliders.memoryVoltage.SetRange(80, 130);
    }

    // 6. Voltage lock: off at every selection, the position shows the lock in force.
    sliders.voltageLock.EnableWindow(false);
    if (gpu_.usesVfPoints(g)) {
        sliders.voltageLock.SetRange(0, 125);
        buttons.voltageLock.SetImage(image::kLockOff);
        if (gpu_.GetClockBoostLocks(g) == nvapi::OK)
            sliders.voltageLock.SetPos(static_cast<int32_t>(gpu_.voltageLockUv() / 10000));
    }

    // 7. GPU voltage. The slot-2 range belongs to the work mode (FillWorkMode).
    const bool onCard = HasOnCardVoltage(gpu_, g);
    const bool pstatePath = gpu_.usesPstates20(g);
    if (!gpu_.IsCardDevicePresent(g, 2)) sliders.gpuVoltage.EnableWindow(onCard || pstatePath);
    if (onCard && !gpu_.IsCardDevicePresent(g, 2)) {
        if (gpu_.GetVoltageCodeRangeA(g, low, high, kWorkMode2D) == nvapi::OK) {
            const uint16_t id = DeviceId(gpu_, g);
            if (gpu_.IsCardDevicePresent(g, 3) && (id == 0x0DE0 || id == 0x0DE1)) {
                low = 0;
                high = 3;
            }
            sliders.gpuVoltage.SetRange(low, high);
        }
    } else if (pstatePath && !onCard) {
        if (gpu_.GetPstates20(g, keptPstates20_) == nvapi::OK)
            sliders.gpuVoltage.SetPos(PstateVoltageMv(records_[g].workMode));
    }

    // 8. Positions.
    if (!readLive) {
        if (onCard) sliders.gpuVoltage.SetPos(records_[g].voltage);
        return;
    }
    uint8_t code = 0;
    if (gpu_.IsCardDevicePresent(g, 3)) {
        if (gpu_.GetVoltageCodeA(g, code) == nvapi::OK) sliders.gpuVoltage.SetPos(code);
    } else if (gpu_.IsCardDevicePresent(g, 7)) {
        if (gpu_.GetVoltageSlot7(g, code) == nvapi::OK) sliders.gpuVoltage.SetPos(code);
    }
    if (regulator) {
        uint8_t reg = regulatorSlot == 6 ? 0x01 : 0x6F;
        uint8_t value = 0;
        if (gpu_.I2cReadSlot(g, &reg, 1, &value, 1, regulatorSlot) == nvapi::OK) sliders.regulatorA.SetPos(value);
    }
    if (memoryVoltage) {
        uint8_t value = 0;
        if (gpu_.GetBoardRegister7A(g, value) == nvapi::OK) sliders.memoryVoltage.SetPos(value);
    }
    if (onCard) records_[g].voltage = sliders.gpuVoltage.GetPos();
}

void CCorvaneHDDlg::FillOffsetsAndTargets(uint8_t g) {
    // 9. Clock offsets of P-state 0.
    nvapi::Pstates20Info table{};
    const bool tableRead = gpu_.GetPstates20(g, table) == nvapi::OK;
    auto fillOffset = [&](ui::CCVSlider& slider, uint32_t domain) {
        const nvapi::Pstates20Clock* clock = tableRead ? Pstate0Clock(table, domain) : nullptr;
        slider.EnableWindow(clock != nullptr);
        if (!clock) return;
        slider.SetRange(clock->freqDeltaKhz.minimum / 1000, clock->freqDeltaKhz.maximum / 1000);
        slider.SetPos(clock->freqDeltaKhz.value / 1000);
    };
    fillOffset(sliders.gpuClockOffset, nvapi::kClockDomainGraphics);
    fillOffset(sliders.memClockOffset, nvapi::kClockDomainMemory);

    // 10. Power target.
    nvapi::PowerPoliciesInfo power{};
    const bool powerRead = gpu_.GetPowerPoliciesInfo(g, power) == nvapi::OK && power.count > 0;
    const nvapi::PowerPolicyInfoEntry& entry = power.entries[0];
    if (!powerRead || entry.pwrLimitMin >= entry.pwrLimitMax) {
        sliders.powerTarget.EnableWindow(false);
    } else {
        sliders.powerTarget.EnableWindow(true);
        sliders.powerTarget.SetRange(static_cast<int32_t>(entry.pwrLimitMin / 1000),
                                     static_cast<int32_t>(entry.pwrLimitMax / 1000));
        defaults_.powerTargetPercent = static_cast<int32_t>(entry.pwrLimitDefault / 1000);
        nvapi::PowerPoliciesStatus status{};
        status.version = nvapi::kPowerPoliciesStatusVer;
        status.count = 1;
        status.entries[0].policyId = entry.policyId;
        if (gpu_.GetPowerPoliciesStatus(g, status) == nvapi::OK)
            sliders.powerTarget.SetPos(static_cast<int32_t>(status.entries[0].powerLimit / 1000));
    }

    // 11.
    FillFrameRate();

    // 12. Temperature target of the first thermal policy.
    nvapi::ThermalPoliciesInfo thermal{};
    nvapi::ThermalPoliciesStatus thermalStatus{};
    const bool thermalRead = gpu_.GetThermalPolicies(g, thermal, thermalStatus) == nvapi::OK && thermal.count > 0;
    const nvapi::ThermalPolicyInfoEntry& limits = thermal.entries[0];
    if (!thermalRead || limits.tempLimitMax <= limits.tempLimitMin) {
        sliders.tempTarget.EnableWindow(false);
    } else {
        sliders.tempTarget.EnableWindow(true);
        sliders.tempTarget.SetRange(limits.tempLimitMin / nvapi::kThermalUnitsPerC,
                                    limits.tempLimitMax / nvapi::kThermalUnitsPerC);
        defaults_.tempTargetCelsius = limits.tempLimitDefault / nvapi::kThermalUnitsPerC;
        int32_t current = limits.tempLimitDefault;
        const uint32_t count = thermalStatus.count <= nvapi::kMaxThermalPolicies ? thermalStatus.count : 0;
        for (uint32_t i = 0; i < count; ++i)
            if (thermalStatus.entries[i].policyId == limits.policyId) {
                current = thermalStatus.entries[i].currentLimit;
                break;
            }
        sliders.tempTarget.SetPos(current / nvapi::kThermalUnitsPerC);
    }
}

void CCorvaneHDDlg::FillFrameRate() {
    sliders.frameRateTarget.SetRange(0, 255);
    uint32_t stored = 0;
    if (gpu_.GetFrameRateLimit(stored) == nvapi::OK) {
        // The limiter keeps the written value less the bias; 0 is "off".
        const uint32_t value = stored == 0 ? 0u : stored + nvapi::kDrsFrameRateBias;
        sliders.frameRateTarget.SetPos(value > 255u ? 255 : static_cast<int32_t>(value));
    }
    buttons.frameRate.EnableWindow(true);
    sliders.frameRateTarget.EnableWindow(buttons.frameRate.Shows(image::kFrameRateOn));
}

void CCorvaneHDDlg::FillOverVoltage(uint8_t g) {
    nvapi::Pstates20Info table{};
    // A version-1 table carries no over-voltage block: its count stays 0.
    if (gpu_.DumpPstates20(g, table) != nvapi::OK || table.overVoltage.numVoltages == 0 ||
        table.overVoltage.numVoltages > nvapi::kPstates20MaxOverVoltages) {
        sliders.overVoltage.EnableWindow(false);
        sliders.overVoltage.ShowWindow(true);
        buttons.overVoltage.ShowWindow(false);
        return;
    }
    const nvapi::DeltaRange& delta = table.overVoltage.voltages[0].voltDeltaUv;
    sliders.overVoltage.SetRange((delta.minimum - 500) / 1000, (delta.maximum + 500) / 1000);
    sliders.overVoltage.SetPos(delta.value / 1000);
    defaults_.overVoltageMinUv = delta.minimum;
    defaults_.overVoltageMaxUv = delta.maximum;
    const bool on = delta.value != 0;
    buttons.overVoltage.SetImage(on ? image::kOverVoltageOn : image::kOverVoltageOff);
    sliders.overVoltage.EnableWindow(on);
    const bool shown = delta.maximum >= kOverVoltageMinUv;
    buttons.overVoltage.ShowWindow(shown);
    sliders.overVoltage.ShowWindow(shown);
}

void CCorvaneHDDlg::FillVfSliders(uint8_t g) {
    const bool vf = gpu_.usesVfPoints(g);
    sliders.gpuVfOffset.EnableWindow(vf);
    sliders.memVfOffset.EnableWindow(vf);
    sliders.overVoltPercent.EnableWindow(vf);
    if (!vf) return;
    // The ranges come with the domains, the offsets in force with the points.
    if (gpu_.ReadVfDomains(g, 0) == nvapi::OK && gpu_.ReadVfOffsets(g) == nvapi::OK) {
        sliders.gpuVfOffset.SetRange(gpu_.graphicsOffsetMinKhz() / 2000, gpu_.graphicsOffsetMaxKhz() / 2000);
        sliders.gpuVfOffset.SetPos(gpu_.graphicsVfOffsetKhz() / 1000);
        sliders.memVfOffset.SetRange(gpu_.memoryOffsetMinKhz() / 1000, gpu_.memoryOffsetMaxKhz() / 1000);
        sliders.memVfOffset.SetPos(gpu_.memoryVfOffsetKhz() / 1000);
    }
    sliders.overVoltPercent.SetRange(0, 100);
    if (gpu_.GetOverVoltPercent(g) == nvapi::OK) sliders.overVoltPercent.SetPos(gpu_.overVoltPercent());
}

int32_t CCorvaneHDDlg::PstateVoltageMv(int32_t level) const {
    const uint32_t count = keptPstates20_.numPstates;
    if (count == 0 || count > nvapi::kPstates20MaxPstates || keptPstates20_.numBaseVoltages == 0) return 0;
    auto voltageOf = [&](uint32_t p) { return static_cast<int32_t>(keptPstates20_.pstates[p].baseVoltages[0].voltUv / 1000); };
    if (level == kWorkMode3DPerf || count == 1) return voltageOf(0);
    // The lower levels: the first of the next two P-states that carries a voltage.
    for (uint32_t p = 1; p < count && p <= 2; ++p)
        if (voltageOf(p) != 0) return voltageOf(p);
    return voltageOf(0);
}

void CCorvaneHDDlg::CheckWorkModeButton(int32_t level) {
    for (std::size_t b = 0; b < buttons.workMode.size(); ++b)
        buttons.workMode[b].SetCheck(kButtonLevels[b] == level && !buttons.workMode[b].caption().empty());
}

int32_t CCorvaneHDDlg::CheckedWorkMode() const {
    for (std::size_t b = 0; b < buttons.workMode.size(); ++b)
        if (buttons.workMode[b].IsChecked()) return kButtonLevels[b];
    return 0;
}

void CCorvaneHDDlg::RefreshFromHardware(bool fromSlot) {
    {
        auto lock = LockHardware();
        if (currentGpu_ < 0 || currentGpu_ >= gpuCount()) return;
        const auto g = static_cast<uint8_t>(currentGpu_);
        // Lighting state of the GPU: re-read here by the lighting feature.
        if (gpu_.fanAccessKind(g) != kFanNotControllable) {
            int32_t mode = 0, level = 0;
            const bool modeRead = gpu_.GetFanMode(g, mode) == nvapi::OK;
            if (gpu_.GetFanSpeed(g, level, false) == nvapi::OK) sliders.fanSpeed.SetPos(level);
            if (modeRead && mode == GpuAccess::kFanModeAutomatic) {
                records_[g].fanAutomatic = 1;
            } else if (modeRead && mode == GpuAccess::kFanModeFixed && !fromSlot) {
                records_[g].fanAutomatic = 0;
            }
            const bool automatic = records_[g].fanAutomatic != 0;
            buttons.fanMode.SetImage(automatic ? image::kFanAuto : image::kFanManual);
            sliders.fanSpeed.EnableWindow(!automatic);
        }
    }
    if (hooks_.refreshMonitorPanel) hooks_.refreshMonitorPanel();
    Changed();
}

}  // namespace vx::tuning
