#pragma once
// The settings key as a small INI file: one section, one "Name=value" line per value.
#include <filesystem>

#include "platform/SettingsStore.h"

namespace vx::platform {

class IniSettingsStore : public SettingsStore {
public:
    static constexpr const char* kSection = "Software\\Veltrix Plus";
    /// Larger files are not ours: they are neither read nor replaced.
    static constexpr std::size_t kMaxFileSize = 1 << 20;

    /// `file` is usually $XDG_CONFIG_HOME/veltrix-plus/registry.ini; it need not exist yet.
    explicit IniSettingsStore(std::filesystem::path file);

    /// Reads the file afresh each time, since another process may have written it. Names
    /// compare without regard to case; lines that don't parse and values outside 32 bits
    /// count as absent.
    std::optional<uint32_t> Read(const std::string& name) const override;
    /// The value's text as written, blanks around it trimmed.
    std::optional<std::string> ReadText(const std::string& name) const override;

    /// Rewrites the file atomically with the value in decimal, keeping every other line;
    /// creates the folder and the file when needed. False when the file was left as it was.
    bool Write(const std::string& name, uint32_t value) override;

    const std::filesystem::path& File() const { return file_; }

private:
    std::filesystem::path file_;
};

}  // namespace vx::platform
