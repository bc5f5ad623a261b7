#pragma once
// The system's default language as a Windows language id (1033 en-US, 2052 zh-CN, ...).
#include <cstdint>
#include <string_view>

namespace vx::platform {

/// Language id of the user's locale; 1033 when it cannot be told.
uint16_t SystemDefaultLanguageId();

/// Language id for a POSIX locale name such as "zh_TW.UTF-8"; 1033 for anything unknown.
uint16_t LanguageIdForLocaleName(std::string_view localeName);

}  // namespace vx::platform
