#pragma once

#include <memory>
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

// What only the application's user interface knows. Asked once per signal, on the main
// thread; an absent answer means the application cannot tell.
class HostTraitsProvider {
public:
    virtual ~HostTraitsProvider() = default;
    virtual std::optional<ScreenMetrics> mainScreen() = 0;
    virtual std::optional<ColorScheme> colorScheme() = 0;
    virtual std::optional<LayoutDirection> layoutDirection() = 0;
    // None where the desktop exposes no such settings.
    virtual std::optional<AccessibilitySettings> accessibility() = 0;
};

// The installed provider; none until the application installs one.
std::shared_ptr<HostTraitsProvider> hostTraitsProvider();
void setHostTraitsProvider(std::shared_ptr<HostTraitsProvider> provider);

}  // namespace vorn::tally
