#include "HostTraitsFollower.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

namespace vorn::app {

HostTraitsFollower::HostTraitsFollower(ScreenEvents& screens, QObject* parent)
    : QObject(parent) {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr) {
        return;
    }
    connect(&screens, &ScreenEvents::changed, this, &HostTraitsFollower::publish);
    connect(app, &QGuiApplication::layoutDirectionChanged, this, &HostTraitsFollower::publish);
    // Qt announces a new application palette (a theme switch) only as an event.
    app->installEventFilter(this);
    publish();
}

tally::HostTraits HostTraitsFollower::current() {
    tally::HostTraits traits;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect geometry = screen->geometry();
        traits.mainScreen = tally::ScreenMetrics{static_cast<double>(geometry.width()),
                                                 static_cast<double>(geometry.height()),
                                                 screen->devicePixelRatio()};
    }
    // Qt 6.4 names no colour scheme; a palette whose text is lighter than its windows is dark.
    const QPalette palette = QGuiApplication::palette();
    traits.colorScheme = palette.color(QPalette::WindowText).lightness()
                                 > palette.color(QPalette::Window).lightness()
                             ? tally::ColorScheme::dark
                             : tally::ColorScheme::light;
    traits.layoutDirection = QGuiApplication::layoutDirection() == Qt::RightToLeft
                                 ? tally::LayoutDirection::rightToLeft
                                 : tally::LayoutDirection::leftToRight;
    return traits;
}

bool HostTraitsFollower::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange) {
        publish();
    }
    return QObject::eventFilter(watched, event);
}

void HostTraitsFollower::publish() {
    tally::setHostTraits(current());
}

}  // namespace vorn::app
