#pragma once
// The start-with-the-session entry: the executable's full path, the options it was started
// with, and a switch.
#include <optional>
#include <string>
#include <vector>

namespace vx::platform {

class Autostart {
public:
    virtual ~Autostart() = default;
    /// The entry's command as text, its arguments joined by single blanks (the switch is the
    /// text after the last blank), or nothing when there is no entry.
    virtual std::optional<std::string> Read() const = 0;
    /// `command` is the program's full path, then one element per argument, the switch last;
    /// each is quoted as the entry's format asks.
    virtual bool Write(const std::vector<std::string>& command) = 0;
    virtual bool Remove() = 0;
};

}  // namespace vx::platform
