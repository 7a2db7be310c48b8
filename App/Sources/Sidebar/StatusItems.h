#pragma once

#include <functional>

#include <QAction>
#include <QList>
#include <QPointer>

namespace vorn::app {

// The status-bar menu's items, carried by the sidebar's header menu while no system tray shows
// them, so that the program can always be configured and quit.
struct StatusItems {
    // In the status-bar menu's order, its separators included; empty while a tray shows them.
    QList<QPointer<QAction>> actions;
    // Brings the items' titles up to date just before they are shown.
    std::function<void()> willShow;
};

}  // namespace vorn::app
