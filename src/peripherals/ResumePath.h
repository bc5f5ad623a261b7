#pragma once
// What the program does when the machine comes back from suspend: the driver may have dropped
// the user's offsets and fan mode, the LCD module its message, the lighting controller its colour.
#include "app/AppSettings.h"
#include "peripherals/LcmMessage.h"
#include "peripherals/LedEffects.h"
#include "tuning/UserSettingsFile.h"

#include <functional>

namespace vx::peripherals {

class ResumePath {
public:
    ResumePath(const app::AppSettings& settings, tuning::UserSettingsFile& userSettings)
        : settings_(settings), userSettings_(userSettings) {}

    /// Each part is optional and must outlive this object or be detached (null) first.
    void AttachDisplay(LcmDisplay* display) { display_ = display; }
    void AttachLighting(LedEffects* effects) { effects_ = effects; }
    /// Called after the saved settings went back to the hardware (the window re-reads it).
    void SetRestoredHook(std::function<void()> restored) { restored_ = std::move(restored); }

    /// On the interface thread before the machine sleeps: with "RestoreUserSettings" on, writes
    /// the hardware settings to "UserSettings.txt" as hiding the window does, so the resume
    /// restores what was set just now, not what was saved at the last hide. Whether it wrote.
    bool BeforeSleep();

    /// On the interface thread, once per resume: with "RestoreUserSettings" on, applies
    /// "UserSettings.txt" as start-up does; then sends the custom message again and lets a
    /// steady lighting effect write its colour again. Whether settings were applied.
    bool OnResume();

private:
    const app::AppSettings& settings_;
    tuning::UserSettingsFile& userSettings_;
    LcmDisplay* display_ = nullptr;
    LedEffects* effects_ = nullptr;
    std::function<void()> restored_;
};

}  // namespace vx::peripherals
