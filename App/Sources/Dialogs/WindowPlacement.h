#pragma once

class QWidget;

namespace vorn::app {

// Moves the window, frame included, to the middle of the primary screen's usable area; left where
// it is when there is no screen. Call it once the window has its size.
void centerOnPrimaryScreen(QWidget& window);

}  // namespace vorn::app
