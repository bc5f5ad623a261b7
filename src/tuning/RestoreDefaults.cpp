// "RESET": every adjustment of the current GPU (every GPU with sync all) back to stock, with
// the sliders following what the hardware then holds.
#include "gpu/CardDeviceRegisters.h"
#include "tuning/ApplyWrites.h"
#include "tuning/CCorvaneHDDlg.h"

namespace vx::tuning {

namespace aw = applywrites;

namespace {

constexpr uint32_t kThermalPolicy = nvapi::kThermalPolicyAcoustic;

// The temperature target's default of the thermal policy, in °C.
bool ThermalDefault(GpuAccess& gpus, uint8_t gpu, int32_t& celsius) {
    nvapi::ThermalPoliciesInfo info{};
    nvapi::ThermalPoliciesStatus status{};
    if (gpus.GetThermalPolicies(gpu, info, status) != nvapi::OK) return false;
    const int count = std::min<int>(info.count, nvapi::kMaxThermalPolicies);
    for (int i = 0; i < count; ++i)
        if (info.entries[i].policyId == kThermalPolicy) {
            celsius = info.entries[i].tempLimitDefault / nvapi::kThermalUnitsPerC;
            return true;
        }
    return false;
}

}  // namespace

void CCorvaneHDDlg::RestoreDefaults() {
    if (hooks_.restoreLighting) hooks_.restoreLighting();
    for (const uint8_t gpu : ApplyLoopGpus()) RestoreGpu(gpu);
    if (hooks_.resetProfileSlots) hooks_.resetProfileSlots();
    Changed();
}

void CCorvaneHDDlg::RestoreGpu(uint8_t gpu) {
    const bool current = gpu == currentGpu_;
    GpuTuningRecord& rec = record(gpu);
    auto present = [&](int slot) { return gpu_.IsCardDevicePresent(gpu, slot); };

    // VF points, the over-voltage percent and the voltage lock.
    if (gpu_.usesVfPoints(gpu)) {
        {
            auto lock = LockHardware();
            aw::WriteVfOffsets(gpu_, gpu, 0, 0);
            gpu_.SetOverVoltPercent(gpu, 0);
            gpu_.SetVoltageLock(gpu, 0);
        }
        if (current) {
            sliders.gpuVfOffset.SetPos(0);
            sliders.memVfOffset.SetPos(0);
            sliders.overVoltPercent.SetPos(0);
            sliders.voltageLock.SetPos(0);
            sliders.voltageLock.EnableWindow(false);
            buttons.voltageLock.SetImage(image::kLockOff);
        }
    }

    // The cooler back to automatic control.
    if (gpu_.fanAccessKind(gpu) != kFanNotControllable) {
        {
            auto lock = LockHardware();
            gpu_.RestoreAutoFan(gpu);
        }
        rec.fanState = 0;
        if (current && buttons.fanMode.Shows(image::kFanManual)) ToggleFanMode();
        rec.fanAutomatic = 1;
        if (gpu_.usesPstates20(gpu)) {
            clock_.SleepMs(100);  // the driver takes the first restore late on these boards
            auto lock = LockHardware();
            gpu_.RestoreAutoFan(gpu);
        }
        int32_t mode = 0;
        int32_t level = -1;
        {
            auto lock = LockHardware();
            if (gpu_.GetFanMode(gpu, mode) == nvapi::OK && gpu_.GetFanSpeed(gpu, level, false) != nvapi::OK)
                level = -1;
        }
        if (level >= 0) {
            rec.fanSpeed = level;
            if (current) sliders.fanSpeed.SetPos(level);
        }
    } else {
        rec.fanState = 0;
        rec.fanAutomatic = 1;
    }

    // On-card regulators.
    {
        auto lock = LockHardware();
        if (present(6))
            gpu_.SetVoltageCodeB(gpu, 0);
        else if (present(12))
            carddev::WriteRegister(gpu_, gpu, 12, 0x6F, 0);
        if (present(13)) carddev::WriteRegister(gpu_, gpu, 13, 0x7A, 0);
    }
    if (current) {
        sliders.regulatorA.SetPos(0);
        sliders.memoryVoltage.SetPos(0);
    }

    // The GPU voltage of the P-state 2.0 boards.
    if (gpu_.usesPstates20(gpu)) {
        if (present(3) || present(7)) {
            {
                auto lock = LockHardware();
                if (present(3))
                    gpu_.SetVoltageCodeA(gpu, 0);
                else
                    gpu_.SetVoltageSlot7(gpu, 0);
            }
            if (current) sliders.gpuVoltage.SetPos(0);
        } else if (!aw::HasOnCardVoltage(gpu_, gpu)) {
            {
                auto lock = LockHardware();
                if (auto stock = std::move(stockPstatesInfo_[gpu])) {
                    auto info = std::make_unique<nvapi::PstatesInfo>(*stock);  // 9 KB: off the stack
                    gpu_.SetPerfLimitControl(gpu);
                    gpu_.SetPstatesInfo(gpu, *info);
                }
            }
            if (current) sliders.gpuVoltage.SetPos(PstateVoltageMv(CheckedWorkMode()));
        }
    }

    // Offsets and targets.
    if (aw::HasPstateOffsets(gpu_, gpu)) {
        bool graphicsZero = false, memoryZero = false, powerWritten = false;
        int32_t defaultPercent = 0;
        int32_t thermalDefault = defaults_.tempTargetCelsius;
        {
            auto lock = LockHardware();
            gpu_.SetCoreVoltageOffset(gpu, 0);
            graphicsZero = gpu_.SetGraphicsClockOffset(gpu, 0) == nvapi::OK;
            memoryZero = gpu_.SetMemoryClockOffset(gpu, 0) == nvapi::OK;
            gpu_.SetOverVoltage(gpu, 0);
            gpu_.SetFrameRateLimit(0, true);
            nvapi::PowerPoliciesInfo info{};
            if (gpu_.GetPowerPoliciesInfo(gpu, info) == nvapi::OK) {
                uint32_t before = 0;
                bool readOk = false;
                const uint32_t milli = info.entries[0].pwrLimitDefault;
                defaultPercent = static_cast<int32_t>(milli / 1000u);
                powerWritten = aw::WritePowerTarget(gpu_, gpu, milli, before, readOk) == nvapi::OK;
            }
            // Each GPU's own default: the remembered one belongs to the current GPU.
            ThermalDefault(gpu_, gpu, thermalDefault);
            gpu_.SetThermalLimit(gpu, kThermalPolicy, static_cast<float>(thermalDefault));
            gpu_.SetThermalPreferFlag(gpu, kThermalPolicy, 0);
        }
        if (current) {
            if (graphicsZero) sliders.gpuClockOffset.SetPos(0);
            if (memoryZero) sliders.memClockOffset.SetPos(0);
            sliders.overVoltage.SetPos(0);
            sliders.overVoltage.EnableWindow(false);
            if (buttons.frameRate.Shows(image::kFrameRateOn)) ToggleFrameRate();
            sliders.frameRateTarget.SetPos(0);
            sliders.frameRateTarget.EnableWindow(false);
            if (powerWritten) sliders.powerTarget.SetPos(defaultPercent);
            sliders.tempTarget.SetPos(thermalDefault);
            buttons.voltageLock.SetImage(image::kLockOff);
            buttons.overVoltage.SetImage(image::kOverVoltageOff);
        }
        rec.powerTempLinked = 1;
        if (current) ShowPowerTempLink(true);
    }

    // The legacy levels' clocks as the GPU now holds them.
    const struct {
        bool has;
        int32_t kind;
    } levels[] = {{gpu_.has2DLevel(gpu), kWorkMode2D},
                  {gpu_.has3DLowPowerLevel(gpu), kWorkMode3DLow},
                  {gpu_.has3DPerformanceLevel(gpu), kWorkMode3DPerf}};
    for (const auto& level : levels) {
        if (!level.has) continue;
        LegacyClockRange range;
        int32_t status = 0;
        {
            auto lock = LockHardware();
            status = gpu_.GetLegacyClockRange(gpu, range, level.kind);
        }
        if (status != nvapi::OK) continue;
        const auto k = static_cast<std::size_t>(level.kind);
        rec.coreClockTargets[k] = range.graphics.frequency;
        rec.shaderClockTargets[k] = range.processor.frequency;
        rec.memoryClockTargets[k] = range.memory.frequency;
        if (current && level.kind == rec.workMode) {
            sliders.coreClock.SetPos(range.graphics.frequency / 1000);
            sliders.shaderClock.SetPos(range.processor.frequency / 1000);
            sliders.memoryClock.SetPos(range.memory.frequency / 1000);
        }
    }
}

}  // namespace vx::tuning
