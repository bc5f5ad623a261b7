#include "tuning/ProfileSlots.h"

#include <cstdio>
#include <system_error>

#include "tuning/CCorvaneHDDlg.h"

namespace vx::tuning {
namespace {

constexpr uint32_t kSettleMs = 100;

}  // namespace

ProfileSlots::ProfileSlots(UserSettingsFile& file, CCorvaneHDDlg& dialog, ui::IPrompts& prompts, ui::IClock& clock)
    : file_(file), dialog_(dialog), prompts_(prompts), clock_(clock) {
    for (int i = 0; i < kProfileSlotCount; ++i) {
        ProfileSlotButton& slot = slots_[static_cast<std::size_t>(i)];
        slot.button = ui::CCVButton(i, slotlook::kPlainImage);
        slot.button.SetCaption(std::to_string(i));
    }
}

std::filesystem::path ProfileSlots::ProfileFolder() const { return file_.programDir() / kProfileFolderName; }

bool ProfileSlots::EnsureProfileFolder() {
    std::error_code error;
    std::filesystem::create_directories(ProfileFolder(), error);
    return std::filesystem::is_directory(ProfileFolder(), error);
}

std::filesystem::path ProfileSlots::SlotPath(int slot) const {
    char name[16];
    std::snprintf(name, sizeof name, "%d.ini", slot);
    return ProfileFolder() / name;
}

bool ProfileSlots::SaveProfile(const std::filesystem::path& path) {
    return !path.empty() && file_.SaveUserSettings(path) == 1;
}

bool ProfileSlots::LoadProfile(const std::filesystem::path& path) {
    if (path.empty() || file_.LoadUserSettings(path) != 1) return false;
    clock_.SleepMs(kSettleMs);
    dialog_.RefreshFromHardware(false);
    return true;
}

void ProfileSlots::ResetLooks() {
    for (ProfileSlotButton& slot : slots_) {
        slot.button.SetImage(slotlook::kPlainImage);
        slot.button.SetCheck(false);
        slot.textColour = slotlook::kPlainTextColour;
    }
}

bool ProfileSlots::LoadProfileSlot(int slot) {
    if (slot < 0 || slot >= kProfileSlotCount) return false;
    // 1. The pressed slot shows selected, the others plain.
    ResetLooks();
    ProfileSlotButton& pressed = slots_[static_cast<std::size_t>(slot)];
    pressed.button.SetImage(slotlook::kSelectedImage);
    pressed.button.SetCheck(true);
    pressed.textColour = slotlook::kSelectedTextColour;

    // 2 and 4.
    if (file_.LoadUserSettings(SlotPath(slot)) != 1) {
        prompts_.MessageBox(kSlotLoadFailed, "", ui::BoxIcon::None, ui::BoxButtons::Ok);
        return false;
    }

    // 3. The sliders take what was loaded.
    clock_.SleepMs(kSettleMs);
    const LastLoadedRecord& last = file_.lastLoaded();
    MainSliders& s = dialog_.sliders;
    s.gpuClockOffset.SetPos(last[kLastGpuClockOffset]);
    s.memClockOffset.SetPos(last[kLastMemClockOffset]);
    // The file keeps the device's voltage, the slider may count its codes.
    if (dialog_.currentGpu() >= 0)
        if (const auto position = file_.LastLoadedVoltagePosition(static_cast<uint8_t>(dialog_.currentGpu())))
            s.gpuVoltage.SetPos(*position);
    s.powerTarget.SetPos(last[kLastPowerTarget]);
    s.tempTarget.SetPos(last[kLastTempTarget]);
    if (last[kLastFanWorkMode] == GpuAccess::kFanModeFixed) {
        if (dialog_.currentGpu() >= 0) dialog_.record(dialog_.currentGpu()).fanAutomatic = 0;
        dialog_.buttons.fanMode.SetImage(image::kFanManual);
        s.fanSpeed.EnableWindow(true);
        s.fanSpeed.SetPos(last[kLastFanSpeed]);
    }
    dialog_.RefreshFromHardware(true);
    return true;
}

}  // namespace vx::tuning
