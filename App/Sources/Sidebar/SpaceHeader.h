#pragma once

#include <QLineEdit>
#include <QString>
#include <QWidget>

class QToolButton;

namespace vorn::app {

class ElidedLabel;

// The space's name field: says when it is left, once it is armed. Leaving it for one of its own
// popups (the text field's context menu) does not count.
class SpaceNameField final : public QLineEdit {
    Q_OBJECT

public:
    explicit SpaceNameField(QWidget* parent = nullptr);

    // Focus changes count only once the field has been given the focus on purpose: the window
    // activations that bring the focus to the panel may take it away and back on the way.
    void setArmed(bool armed) { m_armed = armed; }
    bool isArmed() const { return m_armed; }

    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void left();

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool m_armed = false;
};

// The top row of the sidebar: the active space's name, or the field that renames it, and the
// button of the header menu. The button shows while the pointer is over the row or the button
// has the keyboard focus (always when asked to), and never while the name is edited. The row only
// draws and reports; the sidebar view decides what the menu holds and what an edit does.
class SpaceHeader final : public QWidget {
    Q_OBJECT

public:
    explicit SpaceHeader(QWidget* parent = nullptr);

    void setTitle(const QString& name);
    QString title() const;
    // Shows the field holding the draft, all of it selected, and gives it the focus within the
    // panel in the next turn of the event loop.
    void beginEditing(const QString& draft);
    void endEditing();
    bool isEditing() const { return m_editing; }
    QString draft() const;
    // Shows the menu button at all times, for a menu that holds the only way to reach some items.
    void setMenuAlwaysShown(bool shown);
    // The menu's popup is open: keep the button while the pointer is on the popup.
    void setMenuOpen(bool open);
    QToolButton& menuButton() const { return *m_menuButton; }
    // Shows the menu's button and gives it the keyboard focus; it hides again when it loses it.
    void focusMenuButton(Qt::FocusReason reason);
    SpaceNameField& nameField() const { return *m_field; }

Q_SIGNALS:
    void menuRequested();
    void submitted();
    void fieldLeft();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void updateVisibility();

    ElidedLabel* m_title = nullptr;
    SpaceNameField* m_field = nullptr;
    QToolButton* m_menuButton = nullptr;
    bool m_editing = false;
    bool m_hovered = false;
    bool m_menuAlwaysShown = false;
    bool m_menuOpen = false;
    bool m_menuFocused = false;
};

}  // namespace vorn::app
