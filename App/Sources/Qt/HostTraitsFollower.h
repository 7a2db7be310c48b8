#pragma once

#include <QObject>

#include "ScreenEvents.h"
#include "Signals/HostInformation.h"

namespace vorn::app {

// Tells the analytics client the traits of the desktop it runs on: the primary screen's size
// in device-independent pixels and its scale, the colour scheme and the layout direction. It
// hands them over at creation and again whenever one of them changes, learning of the screens
// from the application's screen events. Main thread, after the QGuiApplication exists.
class HostTraitsFollower final : public QObject {
public:
    explicit HostTraitsFollower(ScreenEvents& screens, QObject* parent = nullptr);

    // The traits as Qt reports them now.
    static tally::HostTraits current();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void publish();
};

}  // namespace vorn::app
