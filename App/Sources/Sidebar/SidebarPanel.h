#pragma once

#include <QPointer>
#include <QWidget>

class QWindow;

namespace vorn::app {

// The sidebar's window: frameless, above ordinary windows, out of the taskbar and pager, and
// never taking the keyboard focus when shown or clicked, so the window the user works in stays
// active. It takes the focus only when allowKeyFocus() asks, until it loses it again or
// releaseKeyFocus() hands it back. Its corners are rounded: by translucency under a compositor,
// else by a window mask.
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool m_translucent;
    // The native window whose focus events are filtered.
    QPointer<QWindow> m_window;
    // The window that was active when the panel asked for the focus; 0 for none.
    unsigned long m_previousActive = 0;
};

}  // namespace vorn::app
