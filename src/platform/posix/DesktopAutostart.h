#pragma once
// The autostart entry as a freedesktop.org desktop entry in the user's autostart folder.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/Autostart.h"

namespace vx::platform {

class DesktopAutostart : public Autostart {
public:
    /// Desktop entries beyond this size are not ours and are not read.
    static constexpr std::size_t kMaxFileSize = 64 * 1024;

    /// `file` is usually $XDG_CONFIG_HOME/autostart/veltrix-plus.desktop.
    explicit DesktopAutostart(std::filesystem::path file);

    /// The Exec line as "program blank arguments", unquoted and unescaped; nothing when there
    /// is no entry, it cannot be parsed, or the session was told to skip it (Hidden=true).
    std::optional<std::string> Read() const override;

    /// Every argument is quoted as the desktop entry format asks. Written atomically.
    bool Write(const std::vector<std::string>& command) override;

    /// Deletes the entry; true when no entry is left.
    bool Remove() override;

    const std::filesystem::path& File() const { return file_; }

    /// One argument in the Exec quoting ("%" doubled; quoted when it holds reserved
    /// characters), before the string escapes of the file.
    static std::string QuoteExecArgument(const std::string& argument);
    /// The Exec key's value for a command: each argument quoted, then the whole escaped;
    /// nothing for an empty command or one with control characters.
    static std::optional<std::string> ExecValueFor(const std::vector<std::string>& command);
    /// The arguments of an Exec value as it stands in the file; nothing when it is malformed.
    static std::optional<std::vector<std::string>> SplitExecValue(const std::string& value);

private:
    std::filesystem::path file_;
};

}  // namespace vx::platform
