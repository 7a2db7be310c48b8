#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Date.h"
#include "Helpers/Parameters.h"
#include "LocaleInfo.h"
#include "PirateMetrics/SessionStatistics.h"
#include "Signals/HostInformation.h"

namespace vorn::tally {

// Everything the default payload is made of, gathered at one moment.
struct PayloadInputs {
    Date now;
    int utcOffsetSeconds = 0;
    std::string kernelRelease;
    std::string modelName;
    std::string architecture;
    host::LocaleInfo locale;
    ApplicationInfo application;
    std::optional<ScreenMetrics> screen;
    std::optional<ColorScheme> colorScheme;
    std::optional<LayoutDirection> layoutDirection;
    std::optional<AccessibilitySettings> accessibility;
    RetentionFigures retention;
};

// The parameters every signal carries besides the caller's: the system, the application's
// build, the device, the run context, the client, the user's preferences, the calendar
// moment, accessibility settings and the retention figures. All values are texts, Booleans
// "true" and "false".
class DefaultSignalPayload {
public:
    DefaultSignalPayload() = delete;

    static constexpr std::string_view clientVersion = "1.0.0";

    // The payload of this moment on this system.
    static Parameters parameters();
    static PayloadInputs currentInputs();
    static Parameters parameters(const PayloadInputs& inputs);

    // Both accessibility keys when the settings are known, else none.
    static Parameters accessibilityParameters(const std::optional<AccessibilitySettings>& settings);
    // Day, weekday (1 Monday to 7 Sunday), week, month, quarter and hour (1 to 24) of the
    // moment in the time zone.
    static Parameters calendarParameters(Date now, int utcOffsetSeconds);
    // "UTC", the sign, the whole hours and, when there are any, ":" and two digits of minutes,
    // such as UTC+5:30 or UTC-5.
    static std::string timeZone(int utcOffsetSeconds);
    // "Linux " and the major.minor.patch numbers of the kernel release.
    static std::string systemVersion(std::string_view kernelRelease);
};

}  // namespace vorn::tally
