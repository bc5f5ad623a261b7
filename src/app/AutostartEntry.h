#pragma once
// The autostart choice: the entry that starts the program with the session, and the mode
// the application keeps for it.
#include <optional>
#include <string>
#include <vector>

#include "app/StartupSwitch.h"
#include "platform/Autostart.h"

namespace vx::app {

class AutostartEntry {
public:
    /// `executablePath` is the full path written into the entry, never shortened; `options`
    /// follow it, so the session starts the program as it runs now (driver, data folder).
    AutostartEntry(platform::Autostart& store, std::string executablePath, std::vector<std::string> options = {});

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

    /// The entry's command for a mode 2 to 5: path, options, the switch; empty for other modes.
    static std::vector<std::string> Command(const std::string& executablePath, const std::vector<std::string>& options,
                                            int mode);

    /// The mode an entry's text selects, or nothing when the text leaves the mode unchanged.
    static std::optional<int> ModeFromCommandText(const std::string& text);

private:
    platform::Autostart& store_;
    std::string executablePath_;
    std::vector<std::string> options_;
    int mode_ = kModeSysTray;
};

}  // namespace vx::app
