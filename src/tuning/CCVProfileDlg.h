#pragma once
// The profile dialog's controller: SAVE writes the settings of every GPU to a file the user
// names in the "Profile" folder, LOAD applies one; the dialog then closes.
#include <filesystem>
#include <functional>
#include <optional>

#include "tuning/ProfileSlots.h"
#include "ui/DialogControls.h"
#include "ui/IPrompts.h"

namespace vx::tuning {

namespace profiledlg {
constexpr int kSaveButton = 1519;
constexpr int kLoadButton = 1520;
constexpr const char* kCaption = "Profile";
constexpr const char* kSaveText = "SAVE      ";  // the trailing blanks are the program's own
constexpr const char* kLoadText = "LOAD";
constexpr const char* kSaveFailed = "The profile could not be saved.";
}  // namespace profiledlg

/// Slot button `slot` (0 to 9) of `profileSlots`, for views that cannot spell the accessor:
/// Qt defines `slots` as a macro.
const ProfileSlotButton& SlotButton(const ProfileSlots& profileSlots, int slot);

/// Asks the user for a profile file in `folder`; nothing when they cancel.
using ProfileFileChooser = std::function<std::optional<std::filesystem::path>(const std::filesystem::path& folder)>;

/// The system's file dialogs: one to name a file to write, one to pick a file to read.
struct ProfileFileDialogs {
    ProfileFileChooser save;
    ProfileFileChooser open;
};

class CCVProfileDlg {
public:
    /// `profileSlots` and `prompts` must outlive the dialog.
    CCVProfileDlg(ProfileSlots& profileSlots, ProfileFileDialogs dialogs, ui::IPrompts& prompts);

    /// SAVE: a name without an extension gets ".ini". A cancelled file dialog changes nothing
    /// and leaves this dialog open.
    void OnSave();
    /// LOAD: applies the chosen file and refreshes the main window; a file that matches no
    /// GPU is silently not applied.
    void OnLoad();
    /// Closed by a finished SAVE or LOAD (or by the user).
    bool closed() const { return closed_; }
    void OnClose() { closed_ = true; }

    ui::TextControl caption{0, profiledlg::kCaption};
    ui::TextControl save{profiledlg::kSaveButton, profiledlg::kSaveText};
    ui::TextControl load{profiledlg::kLoadButton, profiledlg::kLoadText};

private:
    std::optional<std::filesystem::path> Choose(const ProfileFileChooser& chooser);

    ProfileSlots& slots_;
    ProfileFileDialogs dialogs_;
    ui::IPrompts& prompts_;
    bool closed_ = false;
};

}  // namespace vx::tuning
