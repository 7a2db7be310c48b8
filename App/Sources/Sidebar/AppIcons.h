#pragma once

#include <optional>
#include <string>

#include <QIcon>

namespace vorn::app {

class AppIcons {
public:
    AppIcons() = delete;

    // The icon of the application with this bundle identifier (a desktop entry id, or a window
    // class when the application has no entry), from its desktop entry and the icon theme; else
    // the generic application icon. Never null. The entries are read again when a directory
    // of them changed.
    static QIcon icon(const std::string& bundleId);
    // The application's own icon as icon() finds it; none where icon() gives the generic one.
    static std::optional<QIcon> find(const std::string& bundleId);
    // The generic application icon: the theme's, else one drawn here.
    static QIcon generic();
};

}  // namespace vorn::app
