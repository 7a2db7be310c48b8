#pragma once

#include <QWidget>

namespace vorn::app {

// The sidebar's window: frameless, above ordinary windows, out of the taskbar and pager, and
// never taking the keyboard focus when shown or clicked, so the window the user works in stays
// active. It takes the focus only when allowKeyFocus() asks, until it loses it again. Its
// corners are rounded: by translucency under a compositor, else by a window mask.
class SidebarPanel final : public QWidget {
public:
    explicit SidebarPanel(bool translucent);

    static constexpr int cornerRadius = 16;

    bool isTranslucent() const { return m_translucent; }
    // Lets the panel take the keyboard focus and asks for it (for typing into one of its fields).
    void allowKeyFocus();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool m_translucent;
};

}  // namespace vorn::app
