#pragma once
// The persistent settings key: 32-bit values by name.
#include <cstdint>
#include <optional>
#include <string>

namespace vx::platform {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    /// The value, or nothing when the key or the value is absent.
    virtual std::optional<uint32_t> Read(const std::string& name) const = 0;
    /// A text value (the update server's address); nothing where the store keeps numbers only.
    virtual std::optional<std::string> ReadText(const std::string& /*name*/) const { return std::nullopt; }
    /// Creates the key when needed; false when nothing could be stored.
    virtual bool Write(const std::string& name, uint32_t value) = 0;
};

}  // namespace vx::platform
