// "APPLY": writes the settings group of the active page, on the current GPU or, with sync all,
// on every GPU. The overclocking page hands its clocks to the worker (ApplyClocksWorker.cpp).
#include "app/CMultiLangSupp.h"
#include "gpu/CardDeviceRegisters.h"
#include "tuning/ApplyWrites.h"
#include "tuning/CCorvaneHDDlg.h"

namespace vx::tuning {

namespace aw = applywrites;

namespace {

constexpr const char* kOverVoltageQuestion =
    "Overvoltage will increase the maximum voltage available beyond stock level. Excessive voltage applied may "
    "shorten the lifespan of your graphics card and may even cause permanent damage to your graphics card.\n\n"
    "Do you wish to proceed?";
constexpr const char* kOneClickWarning =
    "Warning: graphics overclocking may cause system instability, Huaping crash, or hardware damage, please be "
    "careful operation.";
constexpr const char* kOneClickKeplerOnly = "1-Click OC is supports only Kepler series cards.";
constexpr const char* kFactoryBoostQuestion =
    "Enables 1-Click Hyper Boost OC,overclocks the graphics card to factory pre-tested frequency,available only on "
    "selected ZRK graphics cards.";
constexpr const char* kZrkSet = "Set ZRK Successful!";
constexpr int32_t kFactoryBoostKhz = 152000;

// Card-device slots of the regulators and the register each takes its value in.
constexpr int kRegulatorSlot = 6;
constexpr int kRegulatorSlotB = 12;
constexpr uint8_t kRegulatorSlotBRegister = 0x6F;
constexpr int kMemoryVoltageSlot = 13;
constexpr uint8_t kMemoryVoltageRegister = 0x7A;

uint8_t DeviceByte(int32_t value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

}  // namespace

std::vector<uint8_t> CCorvaneHDDlg::ApplyLoopGpus() const {
    std::vector<uint8_t> gpus;
    if (syncAll()) {
        for (int gpu = 0; gpu < gpuCount(); ++gpu) gpus.push_back(static_cast<uint8_t>(gpu));
    } else if (currentGpu_ >= 0 && currentGpu_ < gpuCount()) {
        gpus.push_back(static_cast<uint8_t>(currentGpu_));
    }
    return gpus;
}

void CCorvaneHDDlg::PostModelChange(const std::weak_ptr<bool>& alive, int gpu, std::function<void()> change) {
    loop_.Post([this, alive, gpu, change = std::move(change)] {
        if (alive.expired() || currentGpu_ != gpu) return;  // the sliders show another GPU now
        change();
        Changed();
    });
}

void CCorvaneHDDlg::ApplySettings() {
    const bool sync = syncAll();
    const std::vector<uint8_t> gpus = ApplyLoopGpus();
    if (gpus.empty()) return;
    // A second overclocking apply waits for the running worker (the button is disabled too).
    if (activePage_ == kPageOverclock && workerRunning_.load()) return;

    for (const uint8_t gpu : gpus) {
        if (activePage_ == kPageOverclock) ApplyFanPart(gpu);
        if (activePage_ == kPageRegulators && !ApplyRegulatorPage(gpu)) return;
    }

    switch (activePage_) {
    case kPageOverclock: StartClockWorker(sync ? -1 : currentGpu_); break;
    case kPageOneClick: ApplyOneClick(); break;
    case kPageLighting:
        if (hooks_.applyLighting) hooks_.applyLighting();
        break;
    case kPageMonitor:
        if (hooks_.refreshMonitorPanel) hooks_.refreshMonitorPanel();
        prompts_.MessageBox(kZrkSet, app::Text(app::msg::kAppName), ui::BoxIcon::Information, ui::BoxButtons::Ok);
        break;
    case kPageFactoryBoost: ApplyFactoryBoost(); break;
    default: break;
    }
    Changed();
}

bool CCorvaneHDDlg::StartRemoteApply() {
    if (currentGpu_ < 0 || workerRunning_.load()) return false;
    ApplyFanPart(static_cast<uint8_t>(currentGpu_));
    StartClockWorker(currentGpu_);
    Changed();
    return true;
}

void CCorvaneHDDlg::ApplyFanPart(uint8_t gpu) {
    {
        auto lock = LockHardware();
        if (gpu_.fanAccessKind(gpu) != kFanNotControllable) {
            if (buttons.fanMode.Shows(image::kFanManual))
                gpu_.SetFanLevel(gpu, sliders.fanSpeed.GetPos());
            else
                gpu_.RestoreAutoFan(gpu);
        }
    }
    record(gpu).fanState = 0;
}

bool CCorvaneHDDlg::ApplyRegulatorPage(uint8_t gpu) {
    const char* caption = app::Text(app::msg::kAppName);
    auto confirmVoltage = [&] {
        return prompts_.MessageBox(app::Text(app::msg::kVoltageWarning), caption, ui::BoxIcon::Warning,
                                   ui::BoxButtons::OkCancel) == ui::BoxAnswer::Ok;
    };
    auto present = [&](int slot) { return gpu_.IsCardDevicePresent(gpu, slot); };
    auto writeMemoryVoltage = [&] {
        auto lock = LockHardware();
        carddev::WriteRegister(gpu_, gpu, kMemoryVoltageSlot, kMemoryVoltageRegister,
                               DeviceByte(sliders.memoryVoltage.GetPos()));
    };

    if (!gpu_.usesVfPoints(gpu)) {
        auto lock = LockHardware();
        const int32_t voltage = sliders.gpuVoltage.GetPos();
        if (present(2)) {
            int32_t level = CheckedWorkMode();
            if (level == 0) {
                int32_t graphics = 0, processor = 0, memory = 0;
                gpu_.GetLegacyCurrentClocks(gpu, graphics, processor, memory, level);
            }
            const uint8_t reg = (level == 1 || level == 2) ? gpu_.LegacyVoltageRegister(gpu, level) : 0;
            // The slider shows millivolts; the controller takes their code.
            const auto code = gpu_.voltageCodes().VoltageToCode(voltage);
            if (reg != 0 && code && sliders.gpuVoltage.IsEnabled()) gpu_.SetVoltageSlot2(gpu, reg, *code);
        } else if (present(3)) {
            gpu_.SetVoltageCodeA(gpu, voltage);
        } else if (present(7)) {
            gpu_.SetVoltageSlot7(gpu, DeviceByte(voltage));
        }
    } else {
        bool percentConfirmed = false;
        if (sliders.overVoltPercent.GetPos() != 0) {
            if (prompts_.MessageBox(kOverVoltageQuestion, "Warning", ui::BoxIcon::Warning, ui::BoxButtons::OkCancel) !=
                ui::BoxAnswer::Ok)
                return false;
            percentConfirmed = true;
            auto lock = LockHardware();
            gpu_.SetOverVoltPercent(gpu, static_cast<uint8_t>(std::clamp(sliders.overVoltPercent.GetPos(), 0, 100)));
        }
        if (!sliders.voltageLock.IsEnabled()) {
            if (present(kMemoryVoltageSlot) && (percentConfirmed || confirmVoltage())) writeMemoryVoltage();
        } else if (percentConfirmed || confirmVoltage()) {
            auto lock = LockHardware();
            gpu_.SetVoltageLock(gpu, static_cast<uint32_t>(std::max(sliders.voltageLock.GetPos(), 0)) * 10000u);
        }
    }

    {
        auto lock = LockHardware();
        if (present(kRegulatorSlot))
            gpu_.SetVoltageCodeB(gpu, sliders.regulatorA.GetPos());
        else if (present(kRegulatorSlotB))
            carddev::WriteRegister(gpu_, gpu, kRegulatorSlotB, kRegulatorSlotBRegister,
                                   DeviceByte(sliders.regulatorA.GetPos()));
    }
    if (!gpu_.usesVfPoints(gpu) && present(kMemoryVoltageSlot) && confirmVoltage()) writeMemoryVoltage();
    return true;
}

void CCorvaneHDDlg::ApplyOneClick() {
    const int32_t mode = oneClickMode_;
    if (mode == kOneClickNone) return;
    if (prompts_.MessageBox(kOneClickWarning, "", ui::BoxIcon::Warning, ui::BoxButtons::OkCancel) != ui::BoxAnswer::Ok)
        return;

    for (const uint8_t gpu : ApplyLoopGpus()) {
        const bool current = gpu == currentGpu_;
        if (!aw::HasPstateOffsets(gpu_, gpu)) {
            prompts_.MessageBox(kOneClickKeplerOnly, "", ui::BoxIcon::Error, ui::BoxButtons::Ok);
            continue;
        }
        auto lock = LockHardware();
        int64_t boostKhz = 0;
        const bool boostRead = aw::ReadBoostClock(gpu_, gpu, boostKhz) == nvapi::OK;
        uint32_t before = 0;
        bool readOk = false;

        if (mode == kOneClickBoost5 || mode == kOneClickBoost3) {
            // Without the boost clock there is nothing to take a share of.
            if (boostRead) {
                const int32_t offset = aw::PercentOf(boostKhz, mode == kOneClickBoost5 ? 5 : 3);
                if (gpu_.usesVfPoints(gpu)) {
                    aw::WriteVfOffsets(gpu_, gpu, offset, std::nullopt);
                    if (current) sliders.gpuVfOffset.SetPos(offset / 1000);
                } else if (gpu_.SetGraphicsClockOffset(gpu, offset) == nvapi::OK) {
                    int32_t graphicsKhz = 0, memoryKhz = 0;
                    if (aw::ReadPstate0Offsets(gpu_, gpu, graphicsKhz, memoryKhz) && current)
                        sliders.gpuClockOffset.SetPos(graphicsKhz / 1000);
                }
            }
            const int32_t percent = sliders.powerTarget.GetPos();
            if (aw::WritePowerTarget(gpu_, gpu, static_cast<uint32_t>(std::max(percent, 0)) * 1000u, before, readOk) ==
                    nvapi::OK &&
                current)
                sliders.powerTarget.SetPos(percent);
        } else if (mode == kOneClickStock) {
            if (gpu_.usesVfPoints(gpu)) {
                aw::WriteVfOffsets(gpu_, gpu, 0, std::nullopt);
                if (current) sliders.gpuVfOffset.SetPos(0);
            } else {
                gpu_.SetGraphicsClockOffset(gpu, 0);
                if (current) sliders.gpuClockOffset.SetPos(0);
            }
            if (aw::WritePowerTarget(gpu_, gpu, 80000, before, readOk) == nvapi::OK && current)
                sliders.powerTarget.SetPos(80);
            if (gpu_.fanAccessKind(gpu) != kFanNotControllable && gpu_.SetFanLevel(gpu, 30) == nvapi::OK && current)
                sliders.fanSpeed.SetPos(30);
        }
    }
}

void CCorvaneHDDlg::ApplyFactoryBoost() {
    for (const uint8_t gpu : ApplyLoopGpus()) {
        const bool current = gpu == currentGpu_;
        int64_t boostKhz = 0;
        bool boostRead = false;
        {
            auto lock = LockHardware();
            boostRead = aw::ReadBoostClock(gpu_, gpu, boostKhz) == nvapi::OK;
        }
        int32_t offset = boostRead ? aw::PercentOf(boostKhz, 5) : 0;
        if (buttons.factoryBoost.Shows(image::kFactoryBoostOff))
            offset = 0;
        else if (buttons.factoryBoost.Shows(image::kFactoryBoostOn) && gpu_.boardA013(gpu))
            offset = kFactoryBoostKhz;
        if (offset == kFactoryBoostKhz &&
            prompts_.MessageBox(kFactoryBoostQuestion, "", ui::BoxIcon::Warning, ui::BoxButtons::OkCancel) !=
                ui::BoxAnswer::Ok)
            return;

        auto lock = LockHardware();
        if (gpu_.usesVfPoints(gpu)) {
            aw::WriteVfOffsets(gpu_, gpu, offset, std::nullopt);
            if (current) sliders.gpuVfOffset.SetPos(offset / 1000);
        } else if (gpu_.SetGraphicsClockOffset(gpu, offset) == nvapi::OK) {
            int32_t graphicsKhz = 0, memoryKhz = 0;
            if (aw::ReadPstate0Offsets(gpu_, gpu, graphicsKhz, memoryKhz) && current)
                sliders.gpuClockOffset.SetPos(graphicsKhz / 1000);
        }
        const int32_t percent = sliders.powerTarget.GetPos();
        uint32_t before = 0;
        bool readOk = false;
        if (aw::WritePowerTarget(gpu_, gpu, static_cast<uint32_t>(std::max(percent, 0)) * 1000u, before, readOk) ==
                nvapi::OK &&
            current)
            sliders.powerTarget.SetPos(percent);
    }
}

}  // namespace vx::tuning
