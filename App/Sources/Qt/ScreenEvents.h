#pragma once

#include <QObject>

class QScreen;

namespace vorn::app {

// Announces that the displays changed: one came or went, the primary one changed, or a
// display's geometry, visible area or scale changed. Receivers read the displays afresh. One
// change reaches Qt as a burst of signals (geometry, visible area, scale, per screen); they are
// gathered into one announcement on the next turn of the event loop.
class ScreenEvents : public QObject {
    Q_OBJECT

public:
    explicit ScreenEvents(QObject* parent = nullptr);

    // Follows the application's screens from now on. Needs a QGuiApplication.
    void followApplicationScreens();
    // Announces a change on the next turn of the event loop; announcements before then join it.
    void announce();

Q_SIGNALS:
    void changed();

private:
    void followScreen(QScreen* screen);
    void deliver();

    bool m_pending = false;
};

}  // namespace vorn::app
