#include "LocaleInfo.h"

#include <cstdlib>
#include <string_view>
#include <vector>

namespace vorn::host {
namespace {

constexpr std::string_view posixIdentifier = "en_US_POSIX";

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

bool isLetters(std::string_view text) {
    for (char c : text) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
            return false;
        }
    }
    return true;
}

bool isDigits(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::string withCase(std::string_view text, bool upper) {
    std::string out(text);
    for (char& c : out) {
        if (upper && c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (!upper && c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// A locale name such as "de_DE.UTF-8@euro" as an identifier such as "de_DE"; none for the C
// locale and for anything that is not a locale name.
std::optional<std::string> identifierOf(std::string_view name) {
    name = name.substr(0, name.find_first_of(".@"));
    const auto separator = name.find_first_of("_-");
    const std::string_view language = name.substr(0, separator);
    if (language.size() < 2 || language.size() > 3 || !isLetters(language)) {
        return std::nullopt;
    }
    std::string identifier = withCase(language, false);
    if (separator == std::string_view::npos) {
        return identifier;
    }
    const std::string_view region = name.substr(separator + 1);
    if (region.size() == 2 && isLetters(region)) {
        return identifier + "_" + withCase(region, true);
    }
    if (region.size() == 3 && isDigits(region)) {
        return identifier + "_" + std::string(region);
    }
    return std::nullopt;
}

std::optional<std::string> firstSet(const LocaleEnvironment& environment) {
    for (const auto* value : {&environment.lcAll, &environment.lcMessages, &environment.lang}) {
        if (*value && !(*value)->empty()) {
            return **value;
        }
    }
    return std::nullopt;
}

}  // namespace

LocaleEnvironment LocaleEnvironment::current() {
    return {variable("LC_ALL"), variable("LC_MESSAGES"), variable("LANG"), variable("LANGUAGE")};
}

LocaleInfo localeInfo(const LocaleEnvironment& environment) {
    LocaleInfo info;
    const auto name = firstSet(environment);
    info.identifier = std::string(posixIdentifier);
    if (name) {
        if (auto identifier = identifierOf(*name)) {
            info.identifier = std::move(*identifier);
        }
    }
    const auto separator = info.identifier.find('_');
    info.languageCode = info.identifier.substr(0, separator);
    if (separator != std::string::npos) {
        const auto end = info.identifier.find('_', separator + 1);
        info.regionCode = info.identifier.substr(separator + 1, end - separator - 1);
    }

    info.preferredLanguage = info.identifier;
    if (environment.language) {
        std::string_view list = *environment.language;
        while (!list.empty()) {
            const auto colon = list.find(':');
            if (auto entry = identifierOf(list.substr(0, colon))) {
                info.preferredLanguage = std::move(*entry);
                break;
            }
            list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
        }
    }
    return info;
}

}  // namespace vorn::host
