// The main dialog's set-up, its two-state buttons, pages and window states.
#include "tuning/CCorvaneHDDlg.h"

#include <cstdio>
#include <initializer_list>

#include "app/CMultiLangSupp.h"
#include "tuning/ApplyWrites.h"

namespace vx::tuning {
namespace {

// Control ids of the models; the page table below is keyed by them.
namespace id {
constexpr int kFanSpeed = 1001, kGpuClockOffset = 1002, kMemClockOffset = 1003, kPowerTarget = 1004,
              kTempTarget = 1005, kOverVoltage = 1006, kFrameRateTarget = 1007, kGpuVfOffset = 1008,
              kMemVfOffset = 1009, kOverVoltPercent = 1010, kVoltageLock = 1011, kCoreClock = 1012,
              kShaderClock = 1013, kMemoryClock = 1014, kGpuVoltage = 1015, kRegulatorA = 1016,
              kMemoryVoltage = 1017;
constexpr int kGpuButton0 = 1100;  // to 1109
constexpr int kSyncAll = 1110, kUnlockMin = 1111, kUnlockMax = 1112, kLinkCoreShader = 1113, kFanMode = 1114,
              kPowerTempLink = 1115, kFrameRate = 1116, kOverVoltageButton = 1117, kVoltageLockButton = 1118,
              kCurveSwitch = 1119, kFactoryBoost = 1120;
constexpr int kOneClick0 = 1130;  // to 1132
constexpr int kWorkMode0 = 1140;  // to 1142
constexpr int kPage0 = 1150;      // to 1156
constexpr int kApply = 1160, kReset = 1161, kSettings = 1162, kHide = 1163;
}  // namespace id

constexpr uint32_t Pages(std::initializer_list<int32_t> pages) {
    uint32_t mask = 0;
    for (int32_t page : pages) mask |= 1u << page;
    return mask;
}

constexpr uint32_t kEveryPage = ~0u;

// Which pages a control is shown on.
uint32_t PagesOf(int controlId) {
    switch (controlId) {
        case id::kFanSpeed:
        case id::kGpuClockOffset:
        case id::kMemClockOffset:
        case id::kPowerTarget:
        case id::kTempTarget:
        case id::kOverVoltage:
        case id::kFrameRateTarget:
        case id::kGpuVfOffset:
        case id::kMemVfOffset:
        case id::kCoreClock:
        case id::kShaderClock:
        case id::kMemoryClock:
        case id::kUnlockMin:
        case id::kUnlockMax:
        case id::kLinkCoreShader:
        case id::kFanMode:
        case id::kPowerTempLink:
        case id::kFrameRate:
        case id::kOverVoltageButton:
        case id::kCurveSwitch:
        case id::kWorkMode0:
        case id::kWorkMode0 + 1:
        case id::kWorkMode0 + 2: return Pages({kPageOverclock});
        // The target priority on the overclocking page, the voltage lock on the voltage page.
        case id::kVoltageLockButton: return Pages({kPageOverclock, kPageRegulators});
        case id::kOverVoltPercent:
        case id::kVoltageLock:
        case id::kRegulatorA:
        case id::kMemoryVoltage: return Pages({kPageRegulators});
        case id::kOneClick0:
        case id::kOneClick0 + 1:
        case id::kOneClick0 + 2: return Pages({kPageOneClick});
        case id::kFactoryBoost: return Pages({kPageFactoryBoost});
        default: return kEveryPage;
    }
}

bool IsPage(int32_t page) {
    return page == kPageOneClick || page == kPageOverclock || page == kPageRegulators || page == kPageLighting ||
           page == kPageMonitor || page == kPageFactoryBoost;
}

ui::CCVButton Button(int controlId, int imageId = 0, int captionRow = -1, int tooltipRow = -1) {
    ui::CCVButton button(controlId, imageId);
    if (captionRow >= 0) button.SetCaption(app::Text(captionRow));
    if (tooltipRow >= 0) button.SetTooltip(app::Text(tooltipRow));
    return button;
}

constexpr const char* kOverVoltageWarning =
    "Overvoltage will increase the maximum voltage available beyond stock level. Excessive voltage applied may "
    "shorten the lifespan of your graphics card and may even cause permanent damage to your graphics card.\n\n"
    "Do you wish to proceed?";

}  // namespace

CCorvaneHDDlg::CCorvaneHDDlg(GpuAccess& gpu, ui::IPrompts& prompts, ui::IEventLoop& loop, ui::IClock& clock,
                             app::AppSettings& settings, MainDialogHooks hooks)
    : gpu_(gpu),
      prompts_(prompts),
      loop_(loop),
      clock_(clock),
      settings_(settings),
      hooks_(std::move(hooks)),
      workerPrompts_(prompts, loop) {
    sliders.fanSpeed = ui::CCVSlider(id::kFanSpeed);
    sliders.gpuClockOffset = ui::CCVSlider(id::kGpuClockOffset);
    sliders.memClockOffset = ui::CCVSlider(id::kMemClockOffset);
    sliders.powerTarget = ui::CCVSlider(id::kPowerTarget);
    sliders.tempTarget = ui::CCVSlider(id::kTempTarget);
    sliders.overVoltage = ui::CCVSlider(id::kOverVoltage);
    sliders.frameRateTarget = ui::CCVSlider(id::kFrameRateTarget);
    sliders.gpuVfOffset = ui::CCVSlider(id::kGpuVfOffset);
    sliders.memVfOffset = ui::CCVSlider(id::kMemVfOffset);
    sliders.overVoltPercent = ui::CCVSlider(id::kOverVoltPercent);
    sliders.voltageLock = ui::CCVSlider(id::kVoltageLock);
    sliders.coreClock = ui::CCVSlider(id::kCoreClock);
    sliders.shaderClock = ui::CCVSlider(id::kShaderClock);
    sliders.memoryClock = ui::CCVSlider(id::kMemoryClock);
    sliders.gpuVoltage = ui::CCVSlider(id::kGpuVoltage);
    sliders.regulatorA = ui::CCVSlider(id::kRegulatorA);
    sliders.memoryVoltage = ui::CCVSlider(id::kMemoryVoltage);
    sliders.fanSpeed.SetRange(fanRangeMin_, fanRangeMax_);
    sliders.frameRateTarget.SetRange(0, 255);
    sliders.frameRateTarget.EnableWindow(false);
    sliders.voltageLock.SetRange(0, 125);
    sliders.voltageLock.EnableWindow(false);
    sliders.overVoltage.EnableWindow(false);

    for (int i = 0; i < kMaxGpuSlots; ++i) {
        char caption[16];
        std::snprintf(caption, sizeof caption, "%s %d", app::Text(43), i);
        buttons.gpu[static_cast<std::size_t>(i)] = Button(id::kGpuButton0 + i);
        buttons.gpu[static_cast<std::size_t>(i)].SetCaption(caption);
    }
    buttons.syncAll = Button(id::kSyncAll, 0, -1, 175);
    buttons.unlockMin = Button(id::kUnlockMin, 0, 235);
    buttons.unlockMax = Button(id::kUnlockMax, 0, 236);
    buttons.linkCoreShader = Button(id::kLinkCoreShader, image::kLinked, 10, 156);
    buttons.fanMode = Button(id::kFanMode, image::kFanAuto, -1, 160);
    buttons.powerTempLink = Button(id::kPowerTempLink, image::kUnlinked);
    buttons.powerTempLink.SetTooltip("Allows linked or independent power and temperature targets adjustement.");
    buttons.frameRate = Button(id::kFrameRate, image::kFrameRateOff, -1, 254);
    buttons.overVoltage = Button(id::kOverVoltageButton, image::kOverVoltageOff);
    buttons.voltageLock = Button(id::kVoltageLockButton, image::kLockOff);
    buttons.curveSwitch = Button(id::kCurveSwitch, image::kCurveOff);
    buttons.factoryBoost = Button(id::kFactoryBoost, image::kFactoryBoostOff);
    for (int i = 0; i < 3; ++i) buttons.oneClick[static_cast<std::size_t>(i)] = Button(id::kOneClick0 + i);
    // "2D", "3D Low", "3D PERF"
    buttons.workMode[0] = Button(id::kWorkMode0, 0, 34, 169);
    buttons.workMode[1] = Button(id::kWorkMode0 + 1, 0, 36, 170);
    buttons.workMode[2] = Button(id::kWorkMode0 + 2, 0, 37, 171);
    for (int i = 0; i < 7; ++i) {
        auto& page = buttons.pages[static_cast<std::size_t>(i)];
        page = Button(id::kPage0 + i);
        page.ShowWindow(IsPage(i));
        page.SetCheck(i == activePage_);
    }
    buttons.apply = Button(id::kApply, 0, 14, 163);
    buttons.reset = Button(id::kReset, 0, 62, 164);
    buttons.settings = Button(id::kSettings, 0, 176);
    buttons.hide = Button(id::kHide, 0, 245);
}

void CCorvaneHDDlg::OnInitDialog(int startupMode) {
    // The main-window timers (sampling, peripherals, interface) are started here by the
    // monitoring feature.

    // Control set-up: one button per GPU, sync only with two or more; then the first GPU
    // button is pressed, which selects GPU 0 with the live read.
    const int count = gpuCount();
    for (int i = 0; i < kMaxGpuSlots; ++i) buttons.gpu[static_cast<std::size_t>(i)].ShowWindow(i < count);
    buttons.syncAll.EnableWindow(count >= 2);
    ShowPage(activePage_);
    if (count > 0) SelectGpu(0);

    if (startupMode == 3) {
        if (hooks_.minimizeWindow) hooks_.minimizeWindow();
    } else if (startupMode == 4) {
        OnHide();
    }
}

int CCorvaneHDDlg::gpuCount() const {
    const int count = gpu_.GetGpuCount();
    return count < kMaxGpuSlots ? count : kMaxGpuSlots;
}

void CCorvaneHDDlg::Changed() {
    if (hooks_.modelChanged) hooks_.modelChanged();
}

void CCorvaneHDDlg::ToggleLinkCoreShader() {
    if (currentGpu_ < 0) return;
    GpuTuningRecord& rec = record(currentGpu_);
    rec.linkCoreShader = rec.linkCoreShader ? 0 : 1;
    buttons.linkCoreShader.SetImage(rec.linkCoreShader ? image::kLinked : image::kUnlinked);
    buttons.linkCoreShader.SetCaption(app::Text(rec.linkCoreShader ? 10 : 11));
    Changed();
}

void CCorvaneHDDlg::ToggleFanMode() {
    if (currentGpu_ < 0 || gpu_.fanAccessKind(static_cast<uint8_t>(currentGpu_)) == kFanNotControllable) return;
    GpuTuningRecord& rec = record(currentGpu_);
    rec.fanAutomatic = rec.fanAutomatic ? 0 : 1;
    buttons.fanMode.SetImage(rec.fanAutomatic ? image::kFanAuto : image::kFanManual);
    sliders.fanSpeed.EnableWindow(!rec.fanAutomatic);
    Changed();
}

void CCorvaneHDDlg::ToggleFrameRate() {
    if (buttons.frameRate.Shows(image::kFrameRateOn)) {
        buttons.frameRate.SetImage(image::kFrameRateOff);
        {
            auto lock = LockHardware();
            gpu_.SetFrameRateLimit(0, true);
        }
        sliders.frameRateTarget.SetPos(0);
        sliders.frameRateTarget.EnableWindow(false);
    } else {
        buttons.frameRate.SetImage(image::kFrameRateOn);
        sliders.frameRateTarget.EnableWindow(true);
    }
    Changed();
}

void CCorvaneHDDlg::ToggleOverVoltage() {
    if (buttons.overVoltage.Shows(image::kOverVoltageOn)) {
        buttons.overVoltage.SetImage(image::kOverVoltageOff);
        if (currentGpu_ >= 0) {
            auto lock = LockHardware();
            gpu_.SetOverVoltage(static_cast<uint8_t>(currentGpu_), 0);
        }
        sliders.overVoltage.SetPos(0);
        sliders.overVoltage.EnableWindow(false);
    } else {
        const ui::BoxAnswer answer =
            prompts_.MessageBox(kOverVoltageWarning, "Warning", ui::BoxIcon::Warning, ui::BoxButtons::OkCancel);
        if (answer != ui::BoxAnswer::Ok) return;
        buttons.overVoltage.SetImage(image::kOverVoltageOn);
        sliders.overVoltage.EnableWindow(true);
    }
    Changed();
}

void CCorvaneHDDlg::ToggleVoltageLock() {
    if (buttons.voltageLock.Shows(image::kLockOn)) {
        buttons.voltageLock.SetImage(image::kLockOff);
        sliders.voltageLock.SetPos(0);
        sliders.voltageLock.EnableWindow(false);
    } else {
        buttons.voltageLock.SetImage(image::kLockOn);
        // On other GPUs the button is only the target-priority switch.
        sliders.voltageLock.EnableWindow(currentGpu_ >= 0 && gpu_.usesVfPoints(static_cast<uint8_t>(currentGpu_)));
    }
    Changed();
}

void CCorvaneHDDlg::TogglePowerTempLink() {
    if (currentGpu_ < 0) return;
    GpuTuningRecord& rec = record(currentGpu_);
    rec.powerTempLinked = rec.powerTempLinked ? 0 : 1;
    ShowPowerTempLink(rec.powerTempLinked != 0);
    Changed();
}

void CCorvaneHDDlg::ShowPowerTempLink(bool linked) {
    buttons.powerTempLink.SetCheck(linked);
    buttons.powerTempLink.SetImage(linked ? image::kLinked : image::kUnlinked);
}

void CCorvaneHDDlg::ToggleCurveSwitch() {
    const bool on = !buttons.curveSwitch.Shows(image::kCurveOn);
    buttons.curveSwitch.SetImage(on ? image::kCurveOn : image::kCurveOff);
    if (currentGpu_ >= 0) gpu_.SetUiFlag(static_cast<uint8_t>(currentGpu_), on ? 1 : 0);
    Changed();
}

void CCorvaneHDDlg::ToggleFactoryBoost() {
    const bool on = !buttons.factoryBoost.Shows(image::kFactoryBoostOn);
    buttons.factoryBoost.SetImage(on ? image::kFactoryBoostOn : image::kFactoryBoostOff);
    Changed();
}

void CCorvaneHDDlg::SetSyncAll(bool on) {
    if (gpuCount() < 2) on = false;
    buttons.syncAll.SetCheck(on);
    Changed();
}

void CCorvaneHDDlg::SetUnlockMin(bool on) {
    buttons.unlockMin.SetCheck(on);
    if (currentGpu_ >= 0)
        SelectWorkMode(record(currentGpu_).workMode);  // widen or narrow the clock sliders now
    else
        Changed();
}

void CCorvaneHDDlg::SetUnlockMax(bool on) {
    buttons.unlockMax.SetCheck(on);
    if (currentGpu_ >= 0)
        SelectWorkMode(record(currentGpu_).workMode);
    else
        Changed();
}

void CCorvaneHDDlg::SelectOneClickMode(int32_t mode) {
    if (mode < kOneClickBoost5 || mode > kOneClickStock) return;
    oneClickMode_ = mode;
    for (int i = 0; i < 3; ++i) buttons.oneClick[static_cast<std::size_t>(i)].SetCheck(i == mode - 1);
    Changed();
}

void CCorvaneHDDlg::ShowPage(int32_t page) {
    if (!IsPage(page) && !(page == kPageSpeakers && speakerPage_)) return;
    activePage_ = page;
    for (int i = 0; i < 7; ++i) buttons.pages[static_cast<std::size_t>(i)].SetCheck(i == page);
    Changed();
}

void CCorvaneHDDlg::EnableSpeakerPage() {
    speakerPage_ = true;
    buttons.pages[kPageSpeakers].ShowWindow(true);
    Changed();
}

bool CCorvaneHDDlg::OnActivePage(int controlId) const {
    const uint32_t pages = controlId == sliders.gpuVoltage.id() ? GpuVoltagePages() : PagesOf(controlId);
    return (pages & (1u << activePage_)) != 0;
}

uint32_t CCorvaneHDDlg::GpuVoltagePages() const {
    // Only on the page whose APPLY writes it for this GPU.
    if (currentGpu_ < 0 || currentGpu_ >= gpuCount()) return 0;
    const auto g = static_cast<uint8_t>(currentGpu_);
    if (applywrites::WorkerWritesGpuVoltage(gpu_, g)) return Pages({kPageOverclock});
    if (applywrites::RegulatorPageWritesGpuVoltage(gpu_, g)) return Pages({kPageRegulators});
    return 0;
}

void CCorvaneHDDlg::OnHide() {
    if (hooks_.saveOrDeleteUserSettings) hooks_.saveOrDeleteUserSettings();
    if (hooks_.showWindow) hooks_.showWindow(false);
}

void CCorvaneHDDlg::OnShowFromTray() {
    if (hooks_.showWindow) hooks_.showWindow(true);
}

void CCorvaneHDDlg::OnQuit() {
    // The keyboard companion's window and the display feed are closed here by their features.
    if (hooks_.saveOrDeleteUserSettings) hooks_.saveOrDeleteUserSettings();
    // A worker waiting on a question gets Cancel, so it can end before the process does.
    workerPrompts_.Abort();
    JoinWorker();
    if (hooks_.quitProcess) hooks_.quitProcess();
}

void CCorvaneHDDlg::OnSettings() {
    if (hooks_.openSettingsDialog) hooks_.openSettingsDialog();
}

}  // namespace vx::tuning
