#pragma once

#include <QAbstractButton>
#include <QWidget>

#include "Symbols.h"

namespace vorn::app {

// A 22 by 22 button whose face is a HoverIcon of the symbol. The keyboard reaches it by Tab;
// Return or Space press it.
class IconButton final : public QAbstractButton {
public:
    IconButton(Symbol symbol, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {22, 22}; }

protected:
    // The face draws itself; the button only shows the keyboard focus.
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// The bottom row of the sidebar: the space switcher on the left and the add button on the
// right. Both are unavailable while a space name is edited. The row only reports clicks; the
// sidebar view fills and opens the switcher's menu.
class SpaceBar final : public QWidget {
    Q_OBJECT

public:
    explicit SpaceBar(QWidget* parent = nullptr);

    void setEditing(bool editing);
    IconButton& switcher() const { return *m_switcher; }
    IconButton& addButton() const { return *m_add; }

Q_SIGNALS:
    void switcherRequested();
    void addRequested();

private:
    IconButton* m_switcher = nullptr;
    IconButton* m_add = nullptr;
};

}  // namespace vorn::app
