#include "MenuBarController.h"

#include <cstdint>
#include <cstdlib>

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPalette>
#include <QSystemTrayIcon>
#include <xcb/xcb.h>

#include "ApplicationQuit.h"
#include "Log.h"

namespace vorn::app {
namespace {

template <typename T>
using XReply = std::unique_ptr<T, decltype(&std::free)>;

// What the tray says its icons should be drawn in: the first ("normal") of the four colours of
// _NET_SYSTEM_TRAY_COLORS on the tray's own window, each channel 0 to 65535. None without an X11
// tray, or where it says nothing usable.
std::optional<QColor> trayInk() {
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr) {
        return std::nullopt;
    }
    int screen = 0;
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screen) == 0) {
        screen = 0;
    }
    std::free(host);
    const QByteArray selection = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
    const QByteArray colours = "_NET_SYSTEM_TRAY_COLORS";
    const auto selectionCookie = xcb_intern_atom(
        connection, 1, static_cast<std::uint16_t>(selection.size()), selection.constData());
    const auto coloursCookie = xcb_intern_atom(
        connection, 1, static_cast<std::uint16_t>(colours.size()), colours.constData());
    const XReply<xcb_intern_atom_reply_t> selectionAtom(
        xcb_intern_atom_reply(connection, selectionCookie, nullptr), &std::free);
    const XReply<xcb_intern_atom_reply_t> coloursAtom(
        xcb_intern_atom_reply(connection, coloursCookie, nullptr), &std::free);
    if (!selectionAtom || !coloursAtom || selectionAtom->atom == XCB_ATOM_NONE
        || coloursAtom->atom == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const XReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, selectionAtom->atom), nullptr),
        &std::free);
    if (!owner || owner->owner == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    const XReply<xcb_get_property_reply_t> property(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, owner->owner, coloursAtom->atom,
                                                XCB_ATOM_CARDINAL, 0, 12),
                               nullptr),
        &std::free);
    if (!property || property->type == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(property.get()));
    if (property->format != 32 || xcb_get_property_value_length(property.get()) < 12 * 4
        || values[0] > 0xFFFF || values[1] > 0xFFFF || values[2] > 0xFFFF) {
        vornMenuBarLog().notice("the tray's colours are malformed, the icon gets an outline");
        return std::nullopt;
    }
    return QColor::fromRgba64(static_cast<quint16>(values[0]), static_cast<quint16>(values[1]),
                              static_cast<quint16>(values[2]));
}

}  // namespace

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

    m_statusItem->setIcon(sidebarSymbol(trayInk()));
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
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    // The toolkit docks the icon into each tray that appears; another tray may want another
    // colour.
    if (available) {
        m_statusItem->setIcon(sidebarSymbol(trayInk()));
    }
    setTrayAvailable(available);
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

QIcon sidebarSymbol(const std::optional<QColor>& trayInk) {
    const QColor ink = trayInk.value_or(QGuiApplication::palette().color(QPalette::WindowText));
    // A tray that names no colour may be light or dark whatever the palette says (tint2's is
    // black under a light theme): an outline of the opposite lightness shows the glyph on both.
    const std::optional<QColor> outline =
        trayInk ? std::nullopt
                : std::optional<QColor>(qGray(ink.rgb()) >= 128 ? Qt::black : Qt::white);
    QIcon icon;
    for (const int side : {16, 22, 32, 44}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = side / 22.0;
        const QRectF frame(2.5 * unit, 4.5 * unit, 17 * unit, 13 * unit);
        QPainterPath border;
        border.addRoundedRect(frame, 2.5 * unit, 2.5 * unit);
        QPainterPathStroker stroke;
        stroke.setWidth(1.5 * unit);
        QPainterPath glyph = stroke.createStroke(border);
        QPainterPath pane;
        pane.addRect(QRectF(frame.left(), frame.top(), 5.5 * unit, frame.height()));
        glyph = glyph.united(pane);
        if (outline) {
            painter.strokePath(glyph,
                               QPen(*outline, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        }
        painter.fillPath(glyph, ink);
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace vorn::app
