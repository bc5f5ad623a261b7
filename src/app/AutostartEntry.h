#pragma once
// The autostart choice: the entry that starts the program with the session, and the mode
// the application keeps for it.
#include <optional>
#include <string>

#include "app/StartupSwitch.h"
#include "platform/Autostart.h"

namespace vx::app {

class AutostartEntry {
public:
    /// `executablePath` is the full path written into the entry, never shortened.
    AutostartEntry(platform::Autostart& store, std::string executablePath);

    /// The mode last chosen or read back; 4 ("SysTray") until then.
    int Mode() const { return mode_; }

    /// Stores the mode; mode 1 deletes the entry, modes 2 to 5 write it. Other modes change
    /// nothing. False when the entry could not be changed (the mode is kept all the same).
    bool Apply(int mode);

    /// Deletes the entry without touching the mode.
    bool Remove();

    /// Reads the entry back: the text after its last blank is matched against the switches
    /// (0 when none matches). No entry, no blank, or a blank only at the start leaves the mode.
    void ReadBack();

    /// The entry's text for a mode 2 to 5: path, one blank, the switch; "" for other modes.
    static std::string CommandText(const std::string& executablePath, int mode);

    /// The mode an entry's text selects, or nothing when the text leaves the mode unchanged.
    static std::optional<int> ModeFromCommandText(const std::string& text);

private:
    platform::Autostart& store_;
    std::string executablePath_;
    int mode_ = kModeSysTray;
};

}  // namespace vx::app
