#pragma once

#include <functional>

class QKeyEvent;
class QMenu;
class QPoint;

namespace vorn::app {

// The keys of a focused control that can be pressed and has a context menu: Return, Enter or
// Space, not repeated, run `press` where it is set; Shift+F10 runs `openMenu`. Returns whether
// the key was one of these, and accepts it then.
bool handleControlKey(QKeyEvent& event,
                      const std::function<void()>& press,
                      const std::function<void()>& openMenu);

// Shows the menu at the global point without waiting for it. Opened from the keyboard, its first
// item is chosen, so that Return takes it.
void popupMenu(QMenu& menu, const QPoint& at, bool fromKeyboard);

}  // namespace vorn::app
