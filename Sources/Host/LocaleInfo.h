#pragma once

#include <optional>
#include <string>

namespace vorn::host {

// The environment variables that name the user's language and region.
struct LocaleEnvironment {
    std::optional<std::string> lcAll;
    std::optional<std::string> lcMessages;
    std::optional<std::string> lang;
    // A colon-separated list of languages in order of preference.
    std::optional<std::string> language;

    static LocaleEnvironment current();
};

struct LocaleInfo {
    // Such as en_GB; the C and POSIX locales are en_US_POSIX.
    std::string identifier;
    // The language code, such as en; none when the identifier has no valid one.
    std::optional<std::string> languageCode;
    // The region code, such as GB; none when the identifier has none.
    std::optional<std::string> regionCode;
    // The first valid entry of LANGUAGE, such as fr or fr_CA; the identifier when there is
    // none.
    std::string preferredLanguage;
};

// The locale that messages are shown in: LC_ALL, else LC_MESSAGES, else LANG (the first that is
// set and not empty), without codeset and modifier. Text that is not a locale name counts as
// the C locale.
LocaleInfo localeInfo(const LocaleEnvironment& environment);

}  // namespace vorn::host
