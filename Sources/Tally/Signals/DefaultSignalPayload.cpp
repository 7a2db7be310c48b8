#include "Signals/DefaultSignalPayload.h"

#include <cmath>
#include <cstdlib>

#include "Helpers/DecimalText.h"
#include "PirateMetrics/SessionManager.h"
#include "System/CivilTime.h"
#include "System/SystemInfo.h"
#include "System/TimeSource.h"
#include "System/TimeZone.h"

namespace vorn::tally {
namespace {

constexpr std::string_view systemName = "Linux";
constexpr std::string_view notAvailable = "N/A";
constexpr double lastMonthSeconds = 30.0 * 86400;

std::string_view boolText(bool value) {
    return value ? "true" : "false";
}

// The parts of an identifier split at every "-" and "_".
std::vector<std::string> identifierParts(std::string_view identifier) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto separator = identifier.find_first_of("-_", start);
        parts.emplace_back(identifier.substr(start, separator - start));
        if (separator == std::string_view::npos) {
            return parts;
        }
        start = separator + 1;
    }
}

// A screen figure as decimal text that always has a fraction, such as 1080.0 or 1.25.
std::string screenFigureText(double value) {
    std::string text = decimalText(value);
    return text.empty() ? std::string(notAvailable) : text;
}

bool isUsableScreen(const ScreenMetrics& screen) {
    return std::isfinite(screen.width) && std::isfinite(screen.height)
           && std::isfinite(screen.scale) && screen.width >= 0 && screen.height >= 0
           && screen.scale > 0;
}

std::string_view colorSchemeText(const std::optional<ColorScheme>& scheme) {
    if (scheme == ColorScheme::light) {
        return "Light";
    }
    if (scheme == ColorScheme::dark) {
        return "Dark";
    }
    return notAvailable;
}

std::string_view layoutDirectionText(const std::optional<LayoutDirection>& direction) {
    if (!direction) {
        return notAvailable;
    }
    return *direction == LayoutDirection::rightToLeft ? "rightToLeft" : "leftToRight";
}

}  // namespace

std::string DefaultSignalPayload::systemVersion(std::string_view kernelRelease) {
    const auto version = system::kernelVersion(kernelRelease);
    return std::string(systemName) + " " + std::to_string(version.major) + "."
           + std::to_string(version.minor) + "." + std::to_string(version.patch);
}

std::string DefaultSignalPayload::timeZone(int utcOffsetSeconds) {
    const long magnitude = std::labs(static_cast<long>(utcOffsetSeconds));
    std::string text = utcOffsetSeconds >= 0 ? "UTC+" : "UTC-";
    text += std::to_string(magnitude / 3600);
    const long minutes = magnitude % 3600 / 60;
    if (minutes != 0) {
        text += minutes < 10 ? ":0" : ":";
        text += std::to_string(minutes);
    }
    return text;
}

Parameters DefaultSignalPayload::accessibilityParameters(
    const std::optional<AccessibilitySettings>& settings) {
    if (!settings) {
        return {};
    }
    return {
        {"Tally.Accessibility.isReduceMotionEnabled",
         std::string(boolText(settings->reduceMotion))},
        {"Tally.Accessibility.isInvertColorsEnabled",
         std::string(boolText(settings->invertColors))},
    };
}

Parameters DefaultSignalPayload::calendarParameters(Date now, int utcOffsetSeconds) {
    const auto moment = system::calendarMoment(now, utcOffsetSeconds);
    // Monday first: the calendar's Sunday (1) becomes 7.
    const int dayOfWeek = moment.weekday == 1 ? 7 : moment.weekday - 1;
    return {
        {"Tally.Calendar.dayOfMonth", std::to_string(moment.day)},
        {"Tally.Calendar.dayOfWeek", std::to_string(dayOfWeek)},
        {"Tally.Calendar.dayOfYear", std::to_string(moment.dayOfYear)},
        {"Tally.Calendar.weekOfYear", std::to_string(moment.weekOfYear)},
        {"Tally.Calendar.isWeekend", std::string(boolText(dayOfWeek > 5))},
        {"Tally.Calendar.monthOfYear", std::to_string(moment.month)},
        {"Tally.Calendar.quarterOfYear", std::to_string(moment.quarter)},
        {"Tally.Calendar.hourOfDay", std::to_string(moment.hour + 1)},
    };
}

PayloadInputs DefaultSignalPayload::currentInputs() {
    PayloadInputs inputs;
    inputs.now = system::now();
    inputs.utcOffsetSeconds = system::utcOffsetSeconds(inputs.now);
    const auto kernel = system::kernelInfo();
    inputs.kernelRelease = kernel.release;
    inputs.modelName = system::firmwareModelName().value_or(kernel.machine);
    inputs.architecture = std::string(system::buildArchitecture());
    inputs.locale = host::localeInfo(host::LocaleEnvironment::current());
    inputs.application = applicationInfo();
    const HostTraits traits = hostTraits();
    inputs.screen = traits.mainScreen;
    inputs.colorScheme = traits.colorScheme;
    inputs.layoutDirection = traits.layoutDirection;
    inputs.accessibility = traits.accessibility;
    inputs.retention = sessionStatistics()->retentionFigures();
    return inputs;
}

Parameters DefaultSignalPayload::parameters() {
    return parameters(currentInputs());
}

Parameters DefaultSignalPayload::parameters(const PayloadInputs& inputs) {
    const auto version = system::kernelVersion(inputs.kernelRelease);
    const std::string name(systemName);
    const std::string systemVersionText = systemVersion(inputs.kernelRelease);
    const std::string major = name + " " + std::to_string(version.major);
    const std::string majorMinor = major + "." + std::to_string(version.minor);
    const std::string appVersion = inputs.application.shortVersion.value_or("0");
    const std::string buildNumber = inputs.application.buildNumber.value_or("0");

    const auto& locale = inputs.locale;
    const auto localeParts = identifierParts(locale.identifier);
    const std::string region = locale.regionCode.value_or(localeParts.back());
    const std::string appLanguage = locale.languageCode.value_or(localeParts.front());
    const std::string preferred = identifierParts(locale.preferredLanguage).front();

    std::string height(notAvailable);
    std::string width(notAvailable);
    std::string scale(notAvailable);
    if (inputs.screen && isUsableScreen(*inputs.screen)) {
        height = screenFigureText(inputs.screen->height);
        width = screenFigureText(inputs.screen->width);
        scale = screenFigureText(inputs.screen->scale);
    }
    const std::string clientVersionText(clientVersion);

    Parameters payload = {
        {"platform", name},
        {"systemVersion", systemVersionText},
        {"majorSystemVersion", major},
        {"majorMinorSystemVersion", majorMinor},
        {"appVersion", appVersion},
        {"buildNumber", buildNumber},
        {"isSimulator", "false"},
        {"isDebug", "false"},
        // No build is distributed through a store.
        {"isTestFlight", "false"},
        {"isAppStore", "false"},
        {"modelName", inputs.modelName},
        {"architecture", inputs.architecture},
        {"operatingSystem", name},
        {"targetEnvironment", "native"},
        {"locale", locale.identifier},
        {"region", region},
        {"appLanguage", appLanguage},
        {"preferredLanguage", preferred},
        {"tallyClientVersion", clientVersionText},
        {"Tally.AppInfo.buildNumber", buildNumber},
        {"Tally.AppInfo.version", appVersion},
        {"Tally.AppInfo.versionAndBuildNumber", appVersion + " (build " + buildNumber + ")"},
        {"Tally.Device.architecture", inputs.architecture},
        {"Tally.Device.modelName", inputs.modelName},
        {"Tally.Device.operatingSystem", name},
        {"Tally.Device.orientation", "Fixed"},
        {"Tally.Device.platform", name},
        {"Tally.Device.screenResolutionHeight", height},
        {"Tally.Device.screenResolutionWidth", width},
        {"Tally.Device.screenScaleFactor", scale},
        {"Tally.Device.systemMajorMinorVersion", majorMinor},
        {"Tally.Device.systemMajorVersion", major},
        {"Tally.Device.systemVersion", systemVersionText},
        {"Tally.Device.timeZone", timeZone(inputs.utcOffsetSeconds)},
        {"Tally.RunContext.isAppStore", "false"},
        {"Tally.RunContext.isDebug", "false"},
        {"Tally.RunContext.isSimulator", "false"},
        {"Tally.RunContext.isTestFlight", "false"},
        {"Tally.RunContext.language", appLanguage},
        {"Tally.RunContext.locale", locale.identifier},
        {"Tally.RunContext.targetEnvironment", "native"},
        {"Tally.SDK.name", "TallySDK"},
        {"Tally.SDK.nameAndVersion", "TallySDK " + clientVersionText},
        {"Tally.SDK.version", clientVersionText},
        {"Tally.UserPreference.colorScheme", std::string(colorSchemeText(inputs.colorScheme))},
        {"Tally.UserPreference.language", preferred},
        {"Tally.UserPreference.layoutDirection",
         std::string(layoutDirectionText(inputs.layoutDirection))},
        {"Tally.UserPreference.region", region},
    };
    for (auto& [key, value] : accessibilityParameters(inputs.accessibility)) {
        payload.insert_or_assign(key, std::move(value));
    }
    for (auto& [key, value] : calendarParameters(inputs.now, inputs.utcOffsetSeconds)) {
        payload.insert_or_assign(key, std::move(value));
    }

    const auto& retention = inputs.retention;
    const std::string lastMonthCutoff = system::isoDate(inputs.now.adding(-lastMonthSeconds), 0);
    payload.insert_or_assign("Tally.Acquisition.firstSessionDate", retention.firstSessionDate);
    payload.insert_or_assign("Tally.Retention.averageSessionSeconds",
                             std::to_string(retention.averageSessionSeconds));
    payload.insert_or_assign("Tally.Retention.distinctDaysUsed",
                             std::to_string(retention.distinctDaysUsed.size()));
    payload.insert_or_assign("Tally.Retention.distinctDaysUsedLastMonth",
                             std::to_string(SessionManager::countISODatesOnOrAfter(
                                 retention.distinctDaysUsed, lastMonthCutoff)));
    payload.insert_or_assign("Tally.Retention.totalSessionsCount",
                             std::to_string(retention.totalSessionsCount));
    if (retention.previousSessionSeconds) {
        payload.insert_or_assign("Tally.Retention.previousSessionSeconds",
                                 std::to_string(*retention.previousSessionSeconds));
    }
    return payload;
}

}  // namespace vorn::tally
