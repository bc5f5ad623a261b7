#include "app/RegistryValues.h"

namespace vx::app {

std::optional<uint32_t> ReadRegValue(const platform::SettingsStore& store, const std::string& name) {
    return store.Read(name);
}

bool WriteRegValue(platform::SettingsStore& store, const std::string& name, uint32_t value) {
    return store.Write(name, value);
}

bool ReadRegValueInto(const platform::SettingsStore& store, const std::string& name, uint32_t& field) {
    const std::optional<uint32_t> value = ReadRegValue(store, name);
    if (!value) return false;
    field = *value;
    return true;
}

bool ReadRegFlagInto(const platform::SettingsStore& store, const std::string& name, bool& flag) {
    const std::optional<uint32_t> value = ReadRegValue(store, name);
    if (!value) return false;
    flag = *value != 0;
    return true;
}

}  // namespace vx::app
