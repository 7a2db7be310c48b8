#pragma once

#include <QObject>
#include <QPointer>

#include "RebindCompletion.h"
#include "RebindEngine.h"

class QWidget;

namespace vorn::app {

class RebindWindow;

// Lets the user choose what takes the place of a tab's window that is gone: one of the
// application's other windows, a new window, or nothing. At most one picker is open; every
// request is answered exactly once. One per run. Main thread only.
class RebindPicker : public QObject {
    Q_OBJECT

public:
    RebindPicker();
    ~RebindPicker() override;

    // Shows the request; while a picker is open the new request is answered cancel at once and
    // the open one is left alone.
    void present(RebindRequest request, RebindCompletion completion);
    // Closes the open picker, then answers its request; nothing without one. The completion may
    // present a new request.
    void finish(RebindChoice choice);

    // The open window; null while none is.
    QWidget* window() const;

private:
    QPointer<RebindWindow> m_window;
    RebindCompletion m_completion;
    bool m_open = false;
};

}  // namespace vorn::app
