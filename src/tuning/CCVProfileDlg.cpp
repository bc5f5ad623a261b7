#include "tuning/CCVProfileDlg.h"

namespace vx::tuning {

const ProfileSlotButton& SlotButton(const ProfileSlots& profileSlots, int slot) {
    return profileSlots.slotButtons().at(static_cast<std::size_t>(slot));
}

CCVProfileDlg::CCVProfileDlg(ProfileSlots& profileSlots, ProfileFileDialogs dialogs, ui::IPrompts& prompts)
    : slots_(profileSlots), dialogs_(std::move(dialogs)), prompts_(prompts) {}

std::optional<std::filesystem::path> CCVProfileDlg::Choose(const ProfileFileChooser& chooser) {
    // The folder is made first so the file dialog can open in it.
    slots_.EnsureProfileFolder();
    if (!chooser) return std::nullopt;
    std::optional<std::filesystem::path> chosen = chooser(slots_.ProfileFolder());
    if (chosen && chosen->empty()) chosen.reset();
    return chosen;
}

void CCVProfileDlg::OnSave() {
    std::optional<std::filesystem::path> path = Choose(dialogs_.save);
    if (!path) return;
    if (!path->has_extension()) *path += std::string(".") + kProfileDefaultExtension;
    // Closing without a word would pass a failed write off as a saved profile.
    if (!slots_.SaveProfile(*path)) {
        prompts_.MessageBox(profiledlg::kSaveFailed, profiledlg::kCaption, ui::BoxIcon::Error, ui::BoxButtons::Ok);
        return;
    }
    closed_ = true;
}

void CCVProfileDlg::OnLoad() {
    const std::optional<std::filesystem::path> path = Choose(dialogs_.open);
    if (!path) return;
    slots_.LoadProfile(*path);
    closed_ = true;
}

}  // namespace vx::tuning
