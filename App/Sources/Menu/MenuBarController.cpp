#include "MenuBarController.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QSystemTrayIcon>

#include "ApplicationQuit.h"
#include "Log.h"

namespace vorn::app {

MenuBarController::MenuBarController()
    : m_menu(std::make_unique<QMenu>()) {
    m_statusItem = new QSystemTrayIcon(this);
    m_statusItem->setObjectName(QString::fromLatin1(statusItemIdentifier));

    m_menu->setObjectName(QStringLiteral("vorn.menu"));
    m_toggleItem = addItem(QStringLiteral("Hide Sidebar"), "vorn.menu.toggleSidebar",
                           &MenuBarController::toggleSidebar);
    m_menu->addSeparator();
    m_settingsItem = addItem(QStringLiteral("Settings\u2026"), "vorn.menu.settings",
                             &MenuBarController::openSettings);
    m_settingsItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_checkForUpdatesItem =
        addItem(QStringLiteral("Check for Updates\u2026"), "vorn.menu.checkForUpdates",
                &MenuBarController::checkForUpdates);
    m_sendFeedbackItem = addItem(QStringLiteral("Send Feedback\u2026"), "vorn.menu.sendFeedback",
                                 &MenuBarController::sendFeedback);
    m_menu->addSeparator();
    m_quitItem = addItem(QStringLiteral("Quit Vorn"), "vorn.menu.quit", &MenuBarController::quit);
    m_quitItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_menu->installEventFilter(this);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &MenuBarController::menuWillOpen);

    m_statusItem->setIcon(sidebarSymbol());
    m_statusItem->setToolTip(QStringLiteral("Vorn"));
    m_statusItem->setContextMenu(m_menu.get());
    // A click opens the menu too, as a status item does.
    connect(m_statusItem, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    m_menu->popup(QCursor::pos());
                }
            });
    m_statusItem->show();
    vornMenuBarLog().notice("status item installed");

    m_trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    if (!m_trayAvailable) {
        vornMenuBarLog().notice(
            "no system tray: the menu's items are in the sidebar's header menu");
    }
    watchTray();
}

MenuBarController::~MenuBarController() {
    m_statusItem->setContextMenu(nullptr);
}

void MenuBarController::watchTray() {
    // The X11 platform says when the tray's owner changes. The signal belongs to the platform
    // plugin's native interface, a QObject that Qt's public headers only name, so it is reached
    // by name; elsewhere (no such signal) the availability found at start stays.
    auto* native = reinterpret_cast<QObject*>(QGuiApplication::platformNativeInterface());
    if (native == nullptr
        || native->metaObject()->indexOfSignal("systemTrayWindowChanged(QScreen*)") < 0) {
        return;
    }
    connect(native, SIGNAL(systemTrayWindowChanged(QScreen*)), this, SLOT(trayWindowChanged()));
}

void MenuBarController::trayWindowChanged() {
    setTrayAvailable(QSystemTrayIcon::isSystemTrayAvailable());
}

void MenuBarController::setTrayAvailable(bool available) {
    if (available == m_trayAvailable) {
        return;
    }
    m_trayAvailable = available;
    if (available) {
        vornMenuBarLog().notice("system tray appeared: the menu is back in the tray");
    } else {
        vornMenuBarLog().notice(
            "system tray gone: the menu's items are in the sidebar's header menu");
    }
    if (onTrayAvailabilityChanged) {
        onTrayAvailabilityChanged(available);
    }
}

QList<QAction*> MenuBarController::items() const {
    return m_menu->actions();
}

QAction* MenuBarController::addItem(const QString& title,
                                    const char* identifier,
                                    void (MenuBarController::*action)()) {
    // Titles are fixed texts; "&" would make a mnemonic of them.
    QAction* item = m_menu->addAction(title);
    item->setObjectName(QString::fromLatin1(identifier));
    connect(item, &QAction::triggered, this, action);
    return item;
}

void MenuBarController::menuWillOpen() {
    const bool shown = isSidebarShown();
    m_toggleItem->setText(shown ? QStringLiteral("Hide Sidebar") : QStringLiteral("Show Sidebar"));
    vornMenuBarLog().debug("menuWillOpen sidebarShown=", boolText(shown));
}

void MenuBarController::toggleSidebar() {
    const bool was = isSidebarShown();
    const bool shown = onToggleSidebar ? onToggleSidebar() : false;
    vornMenuBarLog().notice("toggleSidebar was=", boolText(was), " -> shown=", boolText(shown));
}

void MenuBarController::openSettings() {
    vornMenuBarLog().notice("openSettings");
    if (onOpenSettings) {
        onOpenSettings();
    }
}

void MenuBarController::checkForUpdates() {
    vornMenuBarLog().notice("checkForUpdates");
    if (onCheckForUpdates) {
        onCheckForUpdates();
    }
}

void MenuBarController::sendFeedback() {
    vornMenuBarLog().notice("sendFeedback");
    if (onSendFeedback) {
        onSendFeedback();
    }
}

void MenuBarController::quit() {
    vornMenuBarLog().notice("quit");
    // Not QCoreApplication::quit(), which first asks every window to close and gives up when
    // one refuses, as the display chooser does.
    quitApplication();
}

bool MenuBarController::eventFilter(QObject* watched, QEvent* event) {
    // An open menu takes the keyboard, so the items' shortcuts would never reach the shortcut
    // map.
    if (watched != m_menu.get() || event->type() != QEvent::KeyPress) {
        return QObject::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key->keyCombination());
    for (QAction* item : m_menu->actions()) {
        if (!item->shortcut().isEmpty() && item->shortcut() == pressed) {
            m_menu->close();
            item->trigger();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

QIcon sidebarSymbol() {
    const QColor ink = QGuiApplication::palette().color(QPalette::WindowText);
    QIcon icon;
    for (const int side : {16, 22, 32, 44}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = side / 22.0;
        const QRectF frame(2.5 * unit, 4.5 * unit, 17 * unit, 13 * unit);
        painter.setPen(QPen(ink, 1.5 * unit));
        painter.drawRoundedRect(frame, 2.5 * unit, 2.5 * unit);
        painter.fillRect(QRectF(frame.left(), frame.top(), 5.5 * unit, frame.height()), ink);
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace vorn::app
