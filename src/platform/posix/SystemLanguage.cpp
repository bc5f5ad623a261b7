#include "platform/SystemLanguage.h"

#include <cstdlib>
#include <string>

namespace vx::platform {
namespace {

constexpr uint16_t kEnglishUs = 1033;

// Only the Chinese locales change what the message table records; the rest is English.
struct LocaleId {
    const char* prefix;
    uint16_t id;
};
constexpr LocaleId kLocales[] = {
    {"zh_TW", 1028}, {"zh_HK", 3076}, {"zh_SG", 4100}, {"zh_MO", 5124}, {"zh_CN", 2052},
    {"zh", 2052},    {"en_US", 1033}, {"en_GB", 2057},
};

}  // namespace

uint16_t LanguageIdForLocaleName(std::string_view localeName) {
    // "zh_TW.UTF-8@variant": the language and territory come first.
    const std::size_t end = localeName.find_first_of(".@");
    const std::string_view tag = localeName.substr(0, end);
    for (const LocaleId& l : kLocales) {
        const std::string_view prefix(l.prefix);
        if (tag == prefix) return l.id;
    }
    for (const LocaleId& l : kLocales) {
        const std::string_view prefix(l.prefix);
        if (prefix.size() == 2 && tag.size() > 2 && tag.substr(0, 2) == prefix && tag[2] == '_')
            return l.id;
    }
    return kEnglishUs;
}

uint16_t SystemDefaultLanguageId() {
    // The same precedence as setlocale(LC_MESSAGES, "").
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return LanguageIdForLocaleName(value);
    }
    return kEnglishUs;
}

}  // namespace vx::platform
