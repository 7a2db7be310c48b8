#pragma once

#include <QWidget>

#include "Symbols.h"

namespace vorn::app {

// A 22 by 22 symbol face that lights up under the pointer; the face of the space bar's
// controls. It draws and tracks hover only: the control that holds it handles clicks.
class HoverIcon final : public QWidget {
public:
    explicit HoverIcon(Symbol symbol, QWidget* parent = nullptr);

    bool isHovered() const { return m_hovered; }
    QSize sizeHint() const override { return {22, 22}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Symbol m_symbol;
    bool m_hovered = false;
};

}  // namespace vorn::app
