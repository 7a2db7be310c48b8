#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QWidget>

#include "DisplayCatalog.h"

namespace vorn::app {

// The chooser's window: titled "Vorn" without a close button. It can only be left by picking a
// display, so closing it (some window managers add a close button anyway) is refused. Assistive
// tools see a dialog named by its question.
class ChooserWindow final : public QWidget {
    Q_OBJECT

public:
    ChooserWindow();

protected:
    void closeEvent(QCloseEvent* event) override;
};

// The chooser's content: the heading, the explanation and one button per display, in order.
// Clicking a display calls onSelect with its number.
QWidget* makeChooserView(const std::vector<DisplayOption>& options,
                         std::function<void(std::uint32_t)> onSelect);

}  // namespace vorn::app
