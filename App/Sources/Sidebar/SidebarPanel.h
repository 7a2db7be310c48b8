#pragma once

#include <optional>

#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "Models.h"

namespace vorn::app {

// The sidebar's window: frameless, above ordinary windows, out of the taskbar and pager, and
// never taking the keyboard focus when shown or clicked, so the window the user works in stays
// active. It takes the focus only when allowKeyFocus() asks, until it loses it again or
// releaseKeyFocus() hands it back. Its corners are rounded: by translucency under a compositor,
// else by a window mask. It keeps to the frame it is given: a window manager that shows or moves
// it elsewhere is asked again, a few times in a row at most, with a band of its own reserved
// for a moment.
class SidebarPanel final : public QWidget {
public:
    explicit SidebarPanel(bool translucent);

    static constexpr int cornerRadius = 16;

    bool isTranslucent() const { return m_translucent; }
    // Lets the panel take the keyboard focus and asks for it (for typing into one of its fields),
    // remembering the window that had it.
    void allowKeyFocus();
    // Gives the focus back to the window that had it before allowKeyFocus(), if the panel still
    // has it: when the user has meanwhile chosen another window, that one keeps it.
    void releaseKeyFocus();
    // Puts the panel at the frame, on the display's edge at that side, and keeps it there.
    void standAt(const QRect& frame, SidebarSide side);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // How long the panel keeps a band of its own after the window manager was asked to let it
    // onto the edge.
    static constexpr int bandHoldMilliseconds = 2000;
    // How often in a row the window manager may move the panel off its place before it is left
    // where the window manager wants it.
    static constexpr int maxRefusals = 3;

    // Asks the window manager to put the panel back at its frame when it stands elsewhere.
    void keepPlace();
    // The panel's top-left corner as the window system has it.
    QPoint placeOnScreen();
    void releaseBand();

    bool m_translucent;
    std::optional<QRect> m_frame;
    SidebarSide m_side = SidebarSide::left;
    // Set while the panel reserves its band to be let back onto the edge.
    bool m_bandReserved = false;
    int m_refusals = 0;
    // Set while the panel moves itself to its frame.
    bool m_placing = false;
    // The native window, watched for its exposure and its focus events; and whether it was
    // exposed since it was shown.
    QPointer<QWindow> m_window;
    bool m_exposed = false;
    QTimer m_bandHold;
    // The window that was active when the panel asked for the focus; 0 for none.
    unsigned long m_previousActive = 0;
};

}  // namespace vorn::app
