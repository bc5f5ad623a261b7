// The clock-apply worker: writes the overclocking page's clocks, voltage and targets on its
// own thread and reports through a notification posted to the interface thread; and the
// handler of that notification.
#include <algorithm>
#include <cstring>

#include "app/CMultiLangSupp.h"
#include "tuning/ApplyWrites.h"
#include "tuning/CCorvaneHDDlg.h"

namespace vx::tuning {

namespace aw = applywrites;

/// What the worker needs from the models, copied on the interface thread when it starts: the
/// worker never reads a slider the user may be moving.
struct CCorvaneHDDlg::ClockApplyInputs {
    int32_t gpuArgument = -1;
    std::vector<uint8_t> gpus;
    int32_t currentGpu = -1;
    std::array<int32_t, kMaxGpuSlots> workMode{};
    std::array<bool, kMaxGpuSlots> powerTempLinked{};
    int32_t gpuVfOffsetMhz = 0;
    int32_t memVfOffsetMhz = 0;
    int32_t gpuVoltage = 0;
    int32_t keptGpuVoltage = 0;
    int32_t gpuClockOffsetMhz = 0;
    int32_t memClockOffsetMhz = 0;
    int32_t powerTargetPercent = 0;
    bool powerTargetAdjustable = false;
    int32_t tempTargetCelsius = 0;
    bool tempTargetAdjustable = false;  // shown and enabled: the user may have set it
    bool frameRateEnabled = false;
    int32_t frameRate = 0;
    bool preferTemperature = false;
    int32_t overVoltageMv = 0;
    bool overVoltageAdjustable = false;
    int32_t overVoltageMinUv = 0;
    int32_t overVoltageMaxUv = 0;
    ui::IPrompts* gpuPrompts = nullptr;  // where GpuAccess shows its own refusals
    std::weak_ptr<bool> alive;
};

namespace {

constexpr uint32_t kNotificationMask = 0xFFFF0000u;
constexpr uint32_t kThermalPolicy = nvapi::kThermalPolicyAcoustic;  // the temperature target's

bool Adjustable(const ui::CCVSlider& slider) { return slider.IsEnabled() && slider.IsVisible(); }

// Whether the thermal policies take the temperature target and its priority on `gpu`.
bool ThermalPoliciesHandle(GpuAccess& gpus, uint8_t gpu) {
    nvapi::ThermalPoliciesInfo info{};
    nvapi::ThermalPoliciesStatus status{};
    return gpus.GetThermalPolicies(gpu, info, status) == nvapi::OK &&
           (info.flags & nvapi::kThermalPoliciesSupported) != 0;
}

// GpuAccess shows its refusals itself. From the worker they are posted to the interface thread
// and not waited for: the worker holds the hardware lock while GpuAccess runs.
class PostedPrompts : public ui::IPrompts {
public:
    PostedPrompts(ui::IPrompts* target, ui::IEventLoop& loop, std::weak_ptr<bool> alive)
        : target_(target), loop_(loop), alive_(std::move(alive)) {}

    ui::BoxAnswer MessageBox(const std::string& text, const std::string& caption, ui::BoxIcon icon,
                             ui::BoxButtons buttons) override {
        if (target_)
            loop_.Post([target = target_, alive = alive_, text, caption, icon, buttons] {
                if (!alive.expired()) target->MessageBox(text, caption, icon, buttons);
            });
        return buttons == ui::BoxButtons::YesNo ? ui::BoxAnswer::Yes : ui::BoxAnswer::Ok;
    }

private:
    ui::IPrompts* target_;
    ui::IEventLoop& loop_;
    std::weak_ptr<bool> alive_;
};

// The hardware lock with GpuAccess's boxes routed through PostedPrompts for as long as it is held.
class WorkerHardware {
public:
    WorkerHardware(std::unique_lock<std::mutex> lock, GpuAccess& gpus, PostedPrompts& prompts)
        : lock_(std::move(lock)), gpus_(gpus), previous_(gpus.prompts()) {
        if (previous_) gpus_.SetPrompts(&prompts);
    }
    ~WorkerHardware() { gpus_.SetPrompts(previous_); }
    WorkerHardware(const WorkerHardware&) = delete;
    WorkerHardware& operator=(const WorkerHardware&) = delete;

private:
    std::unique_lock<std::mutex> lock_;
    GpuAccess& gpus_;
    ui::IPrompts* previous_;
};

}  // namespace

CCorvaneHDDlg::~CCorvaneHDDlg() {
    // A worker waiting for an answer gets Cancel, so the join below cannot hang.
    workerPrompts_.Abort();
    JoinWorker();
}

void CCorvaneHDDlg::JoinWorker() {
    if (worker_.joinable()) worker_.join();
}

void CCorvaneHDDlg::StartClockWorker(int32_t gpuArgument) {
    // One worker at a time: two would write the same GPUs at once.
    if (workerRunning_.load()) return;
    JoinWorker();  // the last one has posted its result and is ending

    auto inputs = std::make_shared<ClockApplyInputs>();
    inputs->gpuArgument = gpuArgument;
    if (gpuArgument == -1) {
        for (int gpu = 0; gpu < gpuCount(); ++gpu) inputs->gpus.push_back(static_cast<uint8_t>(gpu));
    } else if (gpuArgument >= 0 && gpuArgument < gpuCount()) {
        inputs->gpus.push_back(static_cast<uint8_t>(gpuArgument));
    }
    inputs->currentGpu = currentGpu_;
    for (int gpu = 0; gpu < kMaxGpuSlots; ++gpu) {
        inputs->workMode[static_cast<std::size_t>(gpu)] = record(gpu).workMode;
        inputs->powerTempLinked[static_cast<std::size_t>(gpu)] = record(gpu).powerTempLinked != 0;
    }
    inputs->gpuVfOffsetMhz = sliders.gpuVfOffset.GetPos();
    inputs->memVfOffsetMhz = sliders.memVfOffset.GetPos();
    inputs->gpuVoltage = sliders.gpuVoltage.GetPos();
    inputs->keptGpuVoltage = keptGpuVoltage_;
    inputs->gpuClockOffsetMhz = sliders.gpuClockOffset.GetPos();
    inputs->memClockOffsetMhz = sliders.memClockOffset.GetPos();
    inputs->powerTargetPercent = sliders.powerTarget.GetPos();
    inputs->powerTargetAdjustable = Adjustable(sliders.powerTarget);
    inputs->tempTargetCelsius = sliders.tempTarget.GetPos();
    inputs->tempTargetAdjustable = Adjustable(sliders.tempTarget);
    inputs->frameRateEnabled = sliders.frameRateTarget.IsEnabled();
    inputs->frameRate = sliders.frameRateTarget.GetPos();
    inputs->preferTemperature = buttons.voltageLock.Shows(image::kLockOn);
    inputs->overVoltageMv = sliders.overVoltage.GetPos();
    inputs->overVoltageAdjustable = Adjustable(sliders.overVoltage);
    inputs->overVoltageMinUv = defaults_.overVoltageMinUv;
    inputs->overVoltageMaxUv = defaults_.overVoltageMaxUv;
    {
        auto lock = LockHardware();
        inputs->gpuPrompts = gpu_.prompts();
    }
    inputs->alive = alive_;

    workerPrompts_.Reset();
    workerRunning_.store(true);
    buttons.apply.EnableWindow(false);
    Changed();
    worker_ = std::thread([this, inputs] { RunClockWorker(inputs); });
}

void CCorvaneHDDlg::RunClockWorker(std::shared_ptr<const ClockApplyInputs> inputs) {
    const ClockApplyInputs& in = *inputs;
    PostedPrompts gpuPrompts(in.gpuPrompts, loop_, in.alive);
    auto hardware = [&] { return std::make_unique<WorkerHardware>(LockHardware(), gpu_, gpuPrompts); };
    auto ask = [&](const char* text, const char* caption) {
        return workerPrompts_.Ask(text, caption, ui::BoxIcon::Warning, ui::BoxButtons::OkCancel) == ui::BoxAnswer::Ok;
    };

    int32_t result = kApplied;
    bool canceled = false;
    bool notWritten = false;  // a value the user may have set did not reach the GPU
    int writes = 0;  // writes that took effect
    auto wrote = [&](int32_t status) {
        if (status == nvapi::OK) ++writes;
        return status;
    };
    // A target the GPU refused or failed to take is a value the user set that is not in force.
    auto target = [&](int32_t status) {
        if (wrote(status) != nvapi::OK) notWritten = true;
    };

    for (const uint8_t gpu : in.gpus) {
        const int slot = gpu;

        // 1. Voltage first.
        if (gpu_.usesVfPoints(gpu)) {
            if (ask(app::Text(app::msg::kOverclockWarning), app::Text(app::msg::kAppName))) {
                auto held = hardware();
                const aw::VfWriteResult vf =
                    aw::WriteVfOffsets(gpu_, gpu, in.gpuVfOffsetMhz * 1000, in.memVfOffsetMhz * 1000);
                writes += vf.written;
                if (vf.status != nvapi::OK) notWritten = true;
            } else {
                canceled = true;
            }
        } else if (aw::WorkerWritesGpuVoltage(gpu_, gpu)) {
            auto info = std::make_unique<nvapi::PstatesInfo>();  // 9 KB: off the stack
            std::memset(info.get(), 0, sizeof *info);
            info->version = nvapi::kPstatesInfoVer;
            int32_t readStatus = 0;
            {
                auto held = hardware();
                readStatus = gpu_.GetPstatesInfo(gpu, *info);
            }
            if (in.gpuVoltage != in.keptGpuVoltage) {
                const int32_t kept = in.keptGpuVoltage;
                if (!ask(app::Text(app::msg::kVoltageWarning), app::Text(app::msg::kAppName))) {
                    canceled = true;
                    PostModelChange(in.alive, slot, [this, kept] { sliders.gpuVoltage.SetPos(kept); });
                } else {
                    auto held = hardware();
                    uint32_t* millivolts = readStatus == nvapi::OK ? aw::Pstate0CoreMillivolts(*info) : nullptr;
                    int32_t status = wrote(gpu_.SetPerfLimitControl(gpu));
                    if (!millivolts) {
                        status = readStatus != nvapi::OK ? readStatus : nvapi::NOT_SUPPORTED;
                    } else {
                        auto& stock = stockPstatesInfo_[gpu];
                        if (!stock) stock = std::make_shared<const nvapi::PstatesInfo>(*info);
                        *millivolts = static_cast<uint32_t>(std::max(in.gpuVoltage, 0));
                        status = wrote(gpu_.SetPstatesInfo(gpu, *info));
                    }
                    int32_t shown = kept;
                    if (status == nvapi::OK) {
                        info->version = nvapi::kPstatesInfoVer;
                        if (gpu_.GetPstatesInfo(gpu, *info) == nvapi::OK)
                            if (const uint32_t* read = aw::Pstate0CoreMillivolts(*info))
                                shown = static_cast<int32_t>(*read);
                    }
                    PostModelChange(in.alive, slot, [this, shown] { sliders.gpuVoltage.SetPos(shown); });
                }
            }
        }

        // 2. The work mode's clocks; without them nothing more is written.
        {
            LegacyClockRange range;
            int32_t status = 0;
            {
                auto held = hardware();
                status = gpu_.GetLegacyClockRange(gpu, range, in.workMode[gpu]);
            }
            if (status != nvapi::OK) {
                result = kApplyFailed;
                break;
            }
        }

        // 3. Let the driver settle; the lock is not held while waiting.
        clock_.SleepMs(100);

        {
            auto held = hardware();
            // 4. Clock offsets and the power target.
            if (aw::HasPstateOffsets(gpu_, gpu)) {
                wrote(gpu_.SetMemoryClockOffset(gpu, in.memClockOffsetMhz * 1000));
                if (wrote(gpu_.SetGraphicsClockOffset(gpu, in.gpuClockOffsetMhz * 1000)) == nvapi::OK) {
                    int32_t graphicsKhz = 0, memoryKhz = 0;
                    if (aw::ReadPstate0Offsets(gpu_, gpu, graphicsKhz, memoryKhz))
                        PostModelChange(in.alive, slot, [this, graphicsKhz, memoryKhz] {
                            sliders.gpuClockOffset.SetPos(graphicsKhz / 1000);
                            sliders.memClockOffset.SetPos(memoryKhz / 1000);
                        });
                }
                uint32_t before = 0;
                bool readOk = false;
                const int32_t status = wrote(aw::WritePowerTarget(
                    gpu_, gpu, static_cast<uint32_t>(std::max(in.powerTargetPercent, 0)) * 1000u, before, readOk));
                if (readOk && status != nvapi::OK) {
                    const auto percent = static_cast<int32_t>(before / 1000u);
                    PostModelChange(in.alive, slot, [this, percent] { sliders.powerTarget.SetPos(percent); });
                }
            }

            // 5. Frame-rate target.
            if (in.frameRateEnabled) wrote(gpu_.SetFrameRateLimit(static_cast<uint32_t>(in.frameRate), false));

            // 6. The temperature target and its priority go through the thermal policies; where
            // those do not handle the GPU, what was asked of them is reported as not applied.
            // The power target and the over-voltage have interfaces of their own.
            const bool thermal = ThermalPoliciesHandle(gpu_, gpu);

            // 7. Targets.
            if (thermal && in.powerTempLinked[gpu]) {
                target(gpu_.SetLinkedPowerAndThermal(gpu, nvapi::kPowerPolicyTotalGpu, kThermalPolicy,
                                                     static_cast<float>(in.powerTargetPercent)));
            } else {
                if (in.powerTargetAdjustable)
                    target(gpu_.SetPowerLimit(gpu, nvapi::kPowerPolicyTotalGpu,
                                              static_cast<float>(in.powerTargetPercent)));
                if (thermal)
                    target(gpu_.SetThermalLimit(gpu, kThermalPolicy, static_cast<float>(in.tempTargetCelsius)));
                else if (in.tempTargetAdjustable)
                    notWritten = true;
            }
            // 8. Target priority.
            if (thermal)
                target(gpu_.SetThermalPreferFlag(gpu, kThermalPolicy, in.preferTemperature ? 1u : 0u));
            else if (in.preferTemperature)
                notWritten = true;
            // 9. Over-voltage, never past the bounds the GPU reported.
            const int64_t requested = static_cast<int64_t>(in.overVoltageMv) * 1000;
            const int64_t low = std::min(in.overVoltageMinUv, in.overVoltageMaxUv);
            const int64_t high = std::max(in.overVoltageMinUv, in.overVoltageMaxUv);
            if (wrote(gpu_.SetOverVoltage(gpu, static_cast<int32_t>(std::clamp(requested, low, high)))) != nvapi::OK &&
                in.overVoltageAdjustable)
                notWritten = true;
        }
    }

    // A value left unwritten is a failure, not a success; cancelled means the user turned down
    // a question and nothing at all was written.
    if (result == kApplied && notWritten) result = kApplyFailed;
    if (result == kApplied && canceled && writes == 0) result = kApplyCanceled;

    workerRunning_.store(false);
    const uint32_t code = kApplyNotificationCode | static_cast<uint32_t>(result);
    loop_.Post([this, alive = in.alive, code, argument = in.gpuArgument] {
        if (!alive.expired()) OnCommand(code, argument);
    });
}

void CCorvaneHDDlg::OnCommand(uint32_t wParam, int32_t) {
    if ((wParam & kNotificationMask) != kApplyNotificationCode) return;
    if (!workerRunning_.load()) {
        JoinWorker();
        buttons.apply.EnableWindow(true);
    }
    const auto result = static_cast<int32_t>(wParam & ~kNotificationMask);
    const bool remote = remoteApplyPending.load();
    const char* caption = app::Text(app::msg::kAppName);
    auto pushState = [this] {
        if (hooks_.pushStateToPhone) hooks_.pushStateToPhone();
    };
    auto endRemote = [this](bool applied) {
        remoteApplyPending.store(false);
        remoteApplyRunning.store(false);
        if (hooks_.remoteApplyFinished) hooks_.remoteApplyFinished(applied);
    };

    switch (result) {
    case kApplied:
        if (!remote) {
            prompts_.MessageBox(app::Text(app::msg::kSettingsApplied), caption, ui::BoxIcon::Information,
                                ui::BoxButtons::Ok);
            if (hooks_.phoneClientAuthorised && hooks_.phoneClientAuthorised()) pushState();
        } else {
            endRemote(true);
        }
        break;
    case kApplyCanceled:
        prompts_.MessageBox(app::Text(app::msg::kApplyCanceled), caption, ui::BoxIcon::Information,
                            ui::BoxButtons::Ok);
        // A remote apply that ends here must not block the next one.
        if (remote) {
            remoteApplyPending.store(false);
            remoteApplyRunning.store(false);
        }
        break;
    case kApplyFailed:
        if (!remote) {
            prompts_.MessageBox(app::Text(app::msg::kApplyFailed), caption, ui::BoxIcon::Error, ui::BoxButtons::Ok);
        } else {
            sliders.coreClock.SetPos(savedSliderPositions[0]);
            sliders.shaderClock.SetPos(savedSliderPositions[1]);
            sliders.memoryClock.SetPos(savedSliderPositions[2]);
            sliders.fanSpeed.SetPos(savedSliderPositions[3]);
            endRemote(false);
        }
        break;
    default:
        break;
    }
    Changed();
}

}  // namespace vx::tuning
