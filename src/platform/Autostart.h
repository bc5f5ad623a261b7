#pragma once
// The start-with-the-session entry: the executable's full path, one blank and a switch.
#include <optional>
#include <string>

namespace vx::platform {

class Autostart {
public:
    virtual ~Autostart() = default;
    /// The entry's command text, or nothing when there is no entry.
    virtual std::optional<std::string> Read() const = 0;
    virtual bool Write(const std::string& commandText) = 0;
    virtual bool Remove() = 0;
};

}  // namespace vx::platform
