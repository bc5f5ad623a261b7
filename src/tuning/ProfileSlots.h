#pragma once
// Profiles: files of the settings format saved and loaded under any name in the "Profile"
// folder, and the main window's ten slot buttons that load "Profile/<n>.ini".
#include <array>
#include <cstdint>
#include <filesystem>

#include "tuning/UserSettingsFile.h"
#include "ui/CCVButton.h"
#include "ui/IClock.h"
#include "ui/IPrompts.h"

namespace vx::tuning {

class CCorvaneHDDlg;

inline constexpr int kProfileSlotCount = 10;
inline constexpr const char* kProfileFolderName = "Profile";
/// The profile dialog's file filter: its name and its pattern.
inline constexpr const char* kProfileFilterName = "INI file(*.ini)";
inline constexpr const char* kProfileFilterPattern = "*.ini";
inline constexpr const char* kProfileDefaultExtension = "ini";
inline constexpr const char* kSlotLoadFailed = "Load the settings failed, Please save your settings before load .";

/// The looks of a slot button: image and text colour (0xRRGGBB).
namespace slotlook {
constexpr int kPlainImage = 142, kSelectedImage = 188;
constexpr uint32_t kPlainTextColour = 0xFFFFBE, kSelectedTextColour = 0xFF0000;
}  // namespace slotlook

/// One slot button's model: the button (id 0 to 9 by slot) and its text colour.
struct ProfileSlotButton {
    ui::CCVButton button{0, slotlook::kPlainImage};
    uint32_t textColour = slotlook::kPlainTextColour;
};

class ProfileSlots {
public:
    /// `dialog` is the main window's controller: its sliders follow a load.
    ProfileSlots(UserSettingsFile& file, CCorvaneHDDlg& dialog, ui::IPrompts& prompts, ui::IClock& clock);

    /// "<program folder>/Profile", created when missing; false when it cannot be.
    bool EnsureProfileFolder();
    std::filesystem::path ProfileFolder() const;
    /// "<program folder>/Profile/<n>.ini".
    std::filesystem::path SlotPath(int slot) const;

    /// The profile dialog's SAVE: writes `path`. False when the file cannot be written.
    bool SaveProfile(const std::filesystem::path& path);
    /// The profile dialog's LOAD: applies `path`, waits 100 ms and refreshes the main window
    /// from the hardware. False (and no message) when nothing was applied.
    bool LoadProfile(const std::filesystem::path& path);

    /// A slot button was pressed: shows it selected, applies "Profile/<n>.ini" and moves the
    /// sliders to what was loaded; on failure says so in a message box and moves no slider.
    bool LoadProfileSlot(int slot);
    /// Every slot button back to its plain look (RESET does this).
    void ResetLooks();

    /// The ten slot buttons (not `slots`: Qt defines that word as a macro).
    const std::array<ProfileSlotButton, kProfileSlotCount>& slotButtons() const { return slots_; }
private:
    UserSettingsFile& file_;
    CCorvaneHDDlg& dialog_;
    ui::IPrompts& prompts_;
    ui::IClock& clock_;
    std::array<ProfileSlotButton, kProfileSlotCount> slots_;
};

}  // namespace vx::tuning
