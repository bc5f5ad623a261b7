#pragma once
// The LCD module's custom message: the display panel's model, the bytes it becomes on the bus,
// and the sends at apply, at start and after a resume.
#include "gpu/GpuAccess.h"
#include "tuning/UserSettingsFile.h"
#include "ui/CCVButton.h"
#include "ui/CCVSlider.h"
#include "ui/IPrompts.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vx::peripherals {

inline constexpr uint8_t kLcmAddress = 0x9C;
inline constexpr uint8_t kLcmMessageRegister = 0x40;
inline constexpr uint32_t kLcmPort = 1;
inline constexpr std::size_t kLcmMaxScreenChars = 55;
// Three full screens and their two separators: the longest large-font text.
inline constexpr std::size_t kLcmMaxStandardChars = 3 * kLcmMaxScreenChars + 2;
inline constexpr int kLcmModes = 7;
inline constexpr uint8_t kLcmStandardFont = 0x30;
inline constexpr uint8_t kLcmLargeFont = 0x80;  // plus the screen count

inline constexpr int kLcmToggleOffImage = 560;
inline constexpr int kLcmToggleOnImage = 561;

inline constexpr const char* kLcmEmptyText = "Please Input the content to display, the content can not be empty!";
inline constexpr const char* kLcmBadCharacterText = "Contains characters that cannot be displayed!";
inline constexpr const char* kLcmEditTooltip =
    "Please Input the ASCII code between 0x20 and 0x7F characters, \r\nwhich are commonly used letters, numbers, "
    "characters.";

/// The display panel of the main window.
struct LcmPanelControls {
    LcmPanelControls();
    /// Command bits 0x20, 0x10, 0x08, 0x40; on while not showing the off image.
    std::array<ui::CCVButton, 4> toggles;
    int32_t modeIndex = 0;  // 0 to 6, the display-mode list
    bool largeFont = true;
    int32_t screenCount = 1;  // 1 to 3, large font
    std::array<std::string, 3> screens;  // large-font screens
    std::string standardText;
    std::array<ui::CCVSlider, 3> intervals;  // seconds per screen, kept for the module's service

    void Toggle(std::size_t k);
    bool IsOn(std::size_t k) const { return !toggles.at(k).Shows(kLcmToggleOffImage); }
    /// Shows the saved display settings (command byte, font and screens, texts, intervals).
    void Show(const tuning::LcmValues& saved);
};

enum class LcmCheck { Ok, Empty, BadCharacter };

struct LcmFrame {
    LcmCheck check = LcmCheck::Ok;
    std::vector<uint8_t> bytes;  // command, font and screens, text, terminating zero
};

uint8_t LcmCommandByte(const LcmPanelControls& panel);
/// Empty when every text the font and screen count need holds something.
LcmCheck CheckLcmTexts(const LcmPanelControls& panel);
/// The bytes for register 0x40, or why there are none.
LcmFrame ComposeLcmFrame(const LcmPanelControls& panel);

class LcmDisplay {
public:
    /// `saved` is the settings file's display block: shown at start, kept after a send.
    LcmDisplay(GpuAccess& gpus, ui::IPrompts& prompts, tuning::LcmValues& saved);

    /// The required texts are present; otherwise tells the user and returns false.
    bool CheckCustomMessage();
    /// Writes the panel's message to `gpu`, or to every GPU when `gpu` is negative. A character
    /// the module cannot show is told and nothing is written. True when every write went through.
    bool SendCustomMessage(int gpu);
    /// The panel's apply: check, then send to the current GPU or all of them.
    bool ApplyPanel(int currentGpu, bool allGpus);
    /// At start and after a resume: the panel's message to every GPU, without questions; a panel
    /// with nothing valid to send sends nothing.
    bool Resend();

    LcmPanelControls& panel() { return panel_; }

private:
    bool Write(const LcmFrame& frame, int gpu);
    void Keep(const LcmFrame& frame);

    GpuAccess& gpus_;
    ui::IPrompts& prompts_;
    tuning::LcmValues& saved_;
    LcmPanelControls panel_;
};

}  // namespace vx::peripherals
