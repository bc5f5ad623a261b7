#pragma once
// The startup switches: the command-line word that says how an automatic start behaves.
#include <string_view>

namespace vx::app {

/// Startup modes. 0 is a start by the user (no switch); 1 has no switch and means no
/// autostart entry.
constexpr int kStartedByUser = 0;
constexpr int kModeDoNotRun = 1;
constexpr int kModeNormal = 2;
constexpr int kModeMinimize = 3;
constexpr int kModeSysTray = 4;
constexpr int kModeOnlyApplySettings = 5;

/// The mode whose switch equals the whole text, letters compared without regard to case;
/// 0 when none does (also for "" and for a switch followed by more text).
int MatchStartupSwitch(std::string_view text);

/// "Normal", "Minimize", "SysTray" or "OnlyApplySettings" for modes 2 to 5; null otherwise.
const char* StartupSwitchName(int mode);

}  // namespace vx::app
