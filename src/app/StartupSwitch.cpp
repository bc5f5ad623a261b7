#include "app/StartupSwitch.h"

namespace vx::app {
namespace {

constexpr const char* kSwitches[] = {"Normal", "Minimize", "SysTray", "OnlyApplySettings"};

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

}  // namespace

int MatchStartupSwitch(std::string_view text) {
    for (int i = 0; i < 4; ++i)
        if (EqualsIgnoringCase(text, kSwitches[i])) return kModeNormal + i;
    return kStartedByUser;
}

const char* StartupSwitchName(int mode) {
    if (mode < kModeNormal || mode > kModeOnlyApplySettings) return nullptr;
    return kSwitches[mode - kModeNormal];
}

}  // namespace vx::app
