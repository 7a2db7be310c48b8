#include "ControlKeys.h"

#include <QKeyEvent>
#include <QMenu>

#include "SidebarStyle.h"

namespace vorn::app {

bool handleControlKey(QKeyEvent& event,
                      const std::function<void()>& press,
                      const std::function<void()>& openMenu) {
    if (style::isPressKey(event) && !event.isAutoRepeat()) {
        event.accept();
        if (press) {
            press();
        }
        return true;
    }
    if (style::isMenuKey(event)) {
        event.accept();
        openMenu();
        return true;
    }
    return false;
}

void popupMenu(QMenu& menu, const QPoint& at, bool fromKeyboard) {
    menu.popup(at);
    if (fromKeyboard) {
        menu.setActiveAction(menu.actions().value(0));
    }
}

}  // namespace vorn::app
