#pragma once
// The two operations through which every persistent setting is read and written.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/SettingsStore.h"

namespace vx::app {

/// The value, or nothing when the key or the value is absent. Failures are silent.
std::optional<uint32_t> ReadRegValue(const platform::SettingsStore& store, const std::string& name);

/// Stores the value, creating the key when needed; false when the store kept its old state.
bool WriteRegValue(platform::SettingsStore& store, const std::string& name, uint32_t value);

/// Replaces `field` with the stored value when one is present; true when it did.
bool ReadRegValueInto(const platform::SettingsStore& store, const std::string& name, uint32_t& field);

/// Replaces the flag with (stored value != 0) when a value is present; true when it did.
bool ReadRegFlagInto(const platform::SettingsStore& store, const std::string& name, bool& flag);

}  // namespace vx::app
