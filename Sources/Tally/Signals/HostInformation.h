#pragma once

#include <optional>
#include <string>

namespace vorn::tally {

// What the host application tells the client about itself: its version and build, read once.
struct ApplicationInfo {
    std::optional<std::string> shortVersion;
    std::optional<std::string> buildNumber;
};

// The application's version; none set means both are unknown.
ApplicationInfo applicationInfo();
void setApplicationInfo(ApplicationInfo info);

struct ScreenMetrics {
    double width = 0;   // points
    double height = 0;  // points
    double scale = 1;   // device pixels per point
};

enum class ColorScheme {
    light,
    dark,
    other,
};

enum class LayoutDirection {
    leftToRight,
    rightToLeft,
};

struct AccessibilitySettings {
    bool reduceMotion = false;
    bool invertColors = false;
};

// What only the application's user interface knows. The application hands them over at
// start-up and again whenever one changes; an absent value means it cannot tell.
struct HostTraits {
    std::optional<ScreenMetrics> mainScreen;
    std::optional<ColorScheme> colorScheme;
    std::optional<LayoutDirection> layoutDirection;
    // None where the desktop exposes no such settings.
    std::optional<AccessibilitySettings> accessibility;
};

// The traits last handed over; all absent until the application hands some over.
HostTraits hostTraits();
// Replaces the traits; may be called from any thread.
void setHostTraits(HostTraits traits);

}  // namespace vorn::tally
