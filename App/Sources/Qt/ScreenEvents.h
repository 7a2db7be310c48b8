#pragma once

#include <QObject>

class QScreen;

namespace vorn::app {

// Announces that the displays changed: one came or went, the primary one changed, or a
// display's geometry, visible area or scale changed. Receivers read the displays afresh; several
// announcements may follow one change.
class ScreenEvents : public QObject {
    Q_OBJECT

public:
    explicit ScreenEvents(QObject* parent = nullptr);

    // Follows the application's screens from now on. Needs a QGuiApplication.
    void followApplicationScreens();
    // Announces a change now.
    void announce();

Q_SIGNALS:
    void changed();

private:
    void followScreen(QScreen* screen);
};

}  // namespace vorn::app
