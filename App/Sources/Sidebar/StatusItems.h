#pragma once

#include <functional>

#include <QAction>
#include <QList>
#include <QPointer>

namespace vorn::app {

// The status-bar menu's items, carried by the sidebar's header menu as well: a tray icon is out of
// the keyboard's reach and off the accessibility bus, so the header menu is how a keyboard or
// screen-reader user configures and quits the program.
struct StatusItems {
    // In the status-bar menu's order, its separators included.
    QList<QPointer<QAction>> actions;
    // Brings the items' titles up to date just before they are shown.
    std::function<void()> willShow;
    // No system tray shows them: the header menu's button shows at all times, for the pointer too.
    bool onlyRoute = false;
};

}  // namespace vorn::app
