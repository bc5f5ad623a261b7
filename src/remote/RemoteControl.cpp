#include "remote/RemoteControl.h"

#include "app/AppSettings.h"
#include "app/RegistryValues.h"
#include "monitor/SampleLoop.h"
#include "remote/RemoteProtocol.h"
#include "tuning/CCorvaneHDDlg.h"
#include "ui/IEventLoop.h"
#include "ui/IPrompts.h"

namespace vx::remote {
namespace {

bool Exists(const std::filesystem::path& file) {
    std::error_code error;
    return std::filesystem::is_regular_file(file, error);
}

// The phone's level numbers as the main window's: 1 "2D", 2 "3D PERF", 3 "3D Low".
uint8_t LevelCommand(uint32_t modeIndex) {
    switch (modeIndex) {
    case tuning::kWorkMode2D: return command::kLevel2D;
    case tuning::kWorkMode3DPerf: return command::kLevel3DPerf;
    case tuning::kWorkMode3DLow: return command::kLevel3DLow;
    default: return 0;
    }
}

LegacyClockRange ClocksFromLive(const tuning::LiveFields& live) {
    LegacyClockRange clocks;
    auto khz = [](int32_t mhz) { return mhz > 0 ? mhz * 1000 : 0; };
    clocks.graphics.frequency = khz(live.graphicsClock);
    clocks.processor.frequency = khz(live.processorClock);
    clocks.memory.frequency = khz(live.memoryClock);
    return clocks;
}

}  // namespace

RemoteControl::RemoteControl(tuning::CCorvaneHDDlg& dialog, ui::IEventLoop& loop, ui::IPrompts& prompts,
                             const app::AppSettings& settings, const platform::SettingsStore& store,
                             ui::IClock& clock, ServerOptions options)
    : dialog_(dialog), loop_(loop), prompts_(prompts), clock_(clock), folder_(options.folder),
      password_(static_cast<int32_t>(settings.iphonePassWord)),
      passwordless_(app::ReadRegValue(store, kLoginWithoutPasswordValue).value_or(0) != 0),
      server_(*this, clock, std::move(options)) {}

RemoteControl::~RemoteControl() { server_.Stop(); }

void RemoteControl::FillInitInfo() {
    const std::filesystem::path file = File(document::kInitInfo);
    ClearInitInfo(file);
    if (dialog_.gpuCount() == 0) return;
    std::string bios;
    {
        auto lock = dialog_.LockHardware();
        GpuAccess& gpu = dialog_.gpu();
        gpu.GetGpuName(0, gpuName_);
        gpu.GetBiosVersion(0, bios);
        for (const int32_t level : {tuning::kWorkMode2D, tuning::kWorkMode3DLow, tuning::kWorkMode3DPerf}) {
            LegacyClockRange clocks;
            if (gpu.GetLegacyClockRange(0, clocks, level) == 0) WriteInitClocks(file, clocks, level);
        }
    }
    WriteInitIdentity(file, gpuName_, dialog_.gpu().deviceIdText(0), dialog_.texts(0).driverVersion, bios);
    WriteInitFanRange(file, dialog_.fanRangeMin(), dialog_.fanRangeMax());
}

void RemoteControl::AddSampleHooks(monitor::SampleHooks& hooks) {
    hooks.writeTemperature = [this](int, int32_t celsius) {
        WriteInitTemperature(File(document::kInitInfo), celsius);
        WritePcTemperature(File(document::kPcInfo), celsius);
    };
    hooks.writeFanSpeed = [this](int gpu, int32_t percent) { WriteFanSpeed(gpu, percent); };
    hooks.writeCurrentState = [this](const monitor::CurrentState& state) { WriteCurrentState(state); };
    hooks.pushCurrentState = [this] { server_.PushDocument(message::kCurrInfo, File(document::kCurrInfo)); };
}

void RemoteControl::AddDialogHooks(tuning::MainDialogHooks& hooks, const std::unique_ptr<RemoteControl>& control) {
    hooks.phoneClientAuthorised = [&control] { return control && control->ClientAuthorised(); };
    hooks.pushStateToPhone = [&control] {
        if (!control) return;
        control->SnapshotPcInfo();
        control->server_.PushDocument(message::kPcInfo, control->File(document::kPcInfo));
    };
    hooks.remoteApplyFinished = [&control](bool applied) {
        if (control) control->OnRemoteApplyFinished(applied);
    };
}

void RemoteControl::WriteFanSpeed(int, int32_t percent) {
    WriteInitFanSpeed(File(document::kInitInfo), percent);
    if (ClientAuthorised() && Exists(File(document::kPcInfo)) && lastPcFanSpeed_ != percent) {
        WritePcFanSpeed(File(document::kPcInfo), percent);
        lastPcFanSpeed_ = percent;
    }
}

void RemoteControl::WriteCurrentState(const monitor::CurrentState& state) {
    if (Exists(File(document::kInitInfo)))
        WriteInitState(File(document::kInitInfo), state.workMode, state.clockLinkShown, state.fanAutomaticShown);
    if (!state.live || !Exists(File(document::kCurrInfo))) return;
    const tuning::GpuTuningRecord& record = dialog_.record(0);
    CurrentSample sample;
    sample.clocks = ClocksFromLive(*state.live);
    sample.level = state.workMode;
    sample.fanSpeed = record.live.fanPercent;
    sample.temperature = record.live.temperature;
    sample.clockLink = state.clockLinkShown;
    sample.fanAuto = state.fanAutomaticShown;
    sample.time = state.timeText;
    sample.description = gpuName_;
    WriteCurrInfo(File(document::kCurrInfo), sample);
}

void RemoteControl::SnapshotPcInfo() {
    uint8_t gpuIndex = 0;
    for (uint8_t i = 0; i < 3; ++i)
        if (dialog_.buttons.gpu[i].IsChecked()) {
            gpuIndex = i;
            break;
        }
    const std::filesystem::path file = File(document::kPcInfo);
    WritePcState(file, dialog_.buttons.linkCoreShader.Shows(tuning::image::kLinked),
                 dialog_.buttons.fanMode.Shows(tuning::image::kFanAuto), monitor::LocalTimeText(clock_.Now()));
    const int current = dialog_.currentGpu();
    if (current < 0) return;
    int32_t graphics = 0, processor = 0, memory = 0, kind = 0;
    {
        auto lock = dialog_.LockHardware();
        if (dialog_.gpu().GetLegacyCurrentClocks(static_cast<uint8_t>(current), graphics, processor, memory, kind) != 0)
            return;
    }
    // What the sliders show is what was just applied.
    LegacyClockRange clocks;
    clocks.graphics.frequency = dialog_.sliders.coreClock.GetPos() * 1000;
    clocks.processor.frequency = dialog_.sliders.shaderClock.GetPos() * 1000;
    clocks.memory.frequency = dialog_.sliders.memoryClock.GetPos() * 1000;
    WritePcClocks(file, clocks, gpuIndex, dialog_.record(current).workMode);
}

void RemoteControl::OnRemoteApplyFinished(bool applied) {
    server_.SendNotice(applied ? message::kRemoteApplied : message::kRemoteApplyFailed);
}

void RemoteControl::PressButton(uint8_t command) {
    loop_.Post([this, alive = std::weak_ptr<bool>(alive_), command] {
        if (!alive.expired()) Press(command);
    });
}

void RemoteControl::Press(uint8_t command) {
    switch (command) {
    case command::kRestoreDefaults:
        dialog_.RestoreDefaults();
        return;
    case command::kSelectGpu0:
    case command::kSelectGpu1:
    case command::kSelectGpu2: {
        const int index = command - command::kSelectGpu0;
        if (index >= dialog_.gpuCount()) return;
        dialog_.SelectGpu(index);
        WriteInitFanRange(File(document::kInitInfo), dialog_.fanRangeMin(), dialog_.fanRangeMax());
        return;
    }
    case command::kLevel2D:
        dialog_.SelectWorkMode(tuning::kWorkMode2D);
        return;
    case command::kLevel3DLow:
        dialog_.SelectWorkMode(tuning::kWorkMode3DLow);
        return;
    case command::kLevel3DPerf:
        dialog_.SelectWorkMode(tuning::kWorkMode3DPerf);
        return;
    default:
        return;
    }
}

void RemoteControl::InfoDocumentReceived(bool authorised) {
    // Without a login the phone may store its document but not move a single control.
    if (!authorised) return;
    const std::optional<RemoteSettings> settings = ReadRemoteSettings(File(document::kInfo));
    if (!settings) return;
    loop_.Post([this, alive = std::weak_ptr<bool>(alive_), s = *settings] {
        if (!alive.expired()) ApplyRemoteSettings(s, true);
    });
}

void RemoteControl::ApplyRemoteSettings(const RemoteSettings& s, bool authorised) {
    // A failed apply puts back what was shown before the document came, selections included.
    tuning::MainSliders& sliders = dialog_.sliders;
    dialog_.savedSliderPositions = {sliders.coreClock.GetPos(), sliders.shaderClock.GetPos(),
                                    sliders.memoryClock.GetPos(), sliders.fanSpeed.GetPos()};
    if (s.gpuIndex <= 2) Press(static_cast<uint8_t>(command::kSelectGpu0 + s.gpuIndex));
    if (const uint8_t level = LevelCommand(s.modeIndex)) Press(level);
    sliders.coreClock.SetPos(s.gpuClock);
    sliders.shaderClock.SetPos(s.shaderClock);
    sliders.memoryClock.SetPos(s.memoryClock);
    sliders.fanSpeed.SetPos(s.fanSpeed);
    dialog_.buttons.linkCoreShader.SetImage(s.clockLink ? tuning::image::kLinked : tuning::image::kUnlinked);
    dialog_.buttons.fanMode.SetImage(s.fanAuto ? tuning::image::kFanAuto : tuning::image::kFanManual);
    dialog_.Changed();
    if (!authorised) return;
    // A second document while the first is applied only moves the controls.
    if (!dialog_.remoteApplyRunning.load()) {
        if (!dialog_.StartRemoteApply()) return;  // a local apply is running; its result stays local
        dialog_.remoteApplyRunning = true;
    }
    dialog_.remoteApplyPending = true;
}

void RemoteControl::ClientOverTime() {
    loop_.Post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (!alive.expired()) prompts_.MessageBox("Client OverTime! ", "", ui::BoxIcon::None, ui::BoxButtons::Ok);
    });
}

}  // namespace vx::remote
