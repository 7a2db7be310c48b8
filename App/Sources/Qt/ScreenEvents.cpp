#include "ScreenEvents.h"

#include <QGuiApplication>
#include <QScreen>

namespace vorn::app {

ScreenEvents::ScreenEvents(QObject* parent)
    : QObject(parent) {}

void ScreenEvents::followApplicationScreens() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr) {
        return;
    }
    for (QScreen* screen : QGuiApplication::screens()) {
        followScreen(screen);
    }
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        followScreen(screen);
        announce();
    });
    connect(app, &QGuiApplication::screenRemoved, this, &ScreenEvents::announce);
    connect(app, &QGuiApplication::primaryScreenChanged, this, &ScreenEvents::announce);
}

void ScreenEvents::announce() {
    if (m_pending) {
        return;
    }
    m_pending = true;
    QMetaObject::invokeMethod(this, &ScreenEvents::deliver, Qt::QueuedConnection);
}

void ScreenEvents::deliver() {
    m_pending = false;
    Q_EMIT changed();
}

void ScreenEvents::followScreen(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, &ScreenEvents::announce);
    connect(screen, &QScreen::availableGeometryChanged, this, &ScreenEvents::announce);
    connect(screen, &QScreen::logicalDotsPerInchChanged, this, &ScreenEvents::announce);
}

}  // namespace vorn::app
