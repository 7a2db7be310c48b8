#include "SidebarPanelController.h"

#include <QThread>
#include <QVBoxLayout>

#include "Log.h"
#include "PanelWindowHints.h"
#include "SidebarPanel.h"
#include "SidebarView.h"
#include "WindowHints.h"

namespace vorn::app {

SidebarPanelController::SidebarPanelController(std::shared_ptr<SidebarModel> model,
                                               std::uint32_t displayID,
                                               std::optional<DisplayHostMenu> hostMenu,
                                               const PanelScreens& screens,
                                               WindowIconReader windowIcons)
    : m_displayID(displayID)
    , m_screens(screens)
    , m_panel(new SidebarPanel(compositorActive())) {
    QPointer<SidebarPanel> panel = m_panel;
    auto requestKeyFocus = [panel] {
        if (panel) {
            panel->allowKeyFocus();
        }
    };
    if (model) {
        m_side = model->settings().side;
    }
    m_view = new SidebarView(std::move(model), requestKeyFocus, std::move(hostMenu),
                             std::move(windowIcons), m_panel);
    QObject::connect(m_view, &SidebarView::keyFocusReleased, m_panel, [panel] {
        if (panel) {
            panel->releaseKeyFocus();
        }
    });
    auto* layout = new QVBoxLayout(m_panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    auto area = m_screens.visibleArea(m_displayID);
    if (!area) {
        area = m_screens.fallbackVisibleArea();
    }
    if (!area) {
        vornAppLog().error("panel without screen display=", m_displayID);
    }
    place(area);
}

SidebarPanelController::~SidebarPanelController() {
    if (!m_panel) {
        return;
    }
    m_view->detach();
    m_panel->hide();
    // Inside the event loop this may run in a handler of one of the panel's widgets (a menu
    // item that moves the sidebar): delete in a later turn. Outside any loop, as at exit, no
    // later turn may come.
    if (QThread::currentThread()->loopLevel() > 0) {
        m_panel->deleteLater();
    } else {
        delete m_panel.data();
    }
}

void SidebarPanelController::show() {
    if (!m_panel->isVisible()) {
        markSkipTaskbarAndPager(*m_panel);
    }
    m_panel->show();
    m_panel->raise();
}

void SidebarPanelController::hide() {
    m_panel->hide();
}

bool SidebarPanelController::isVisible() const {
    return m_panel && m_panel->isVisible();
}

void SidebarPanelController::repositionFlushLeft() {
    auto area = m_screens.visibleArea(m_displayID);
    if (!area) {
        area = m_screens.visibleAreaAt(m_panel->geometry().center());
    }
    if (!area) {
        area = m_screens.fallbackVisibleArea();
    }
    place(area);
}

SidebarPanel& SidebarPanelController::panel() const {
    return *m_panel;
}

SidebarView& SidebarPanelController::view() const {
    return *m_view;
}

void SidebarPanelController::requestKeyFocus() {
    m_panel->allowKeyFocus();
}

void SidebarPanelController::takeKeyFocus() {
    // The row first: the panel's activation then lands on it.
    m_view->focusActiveRow();
    m_panel->allowKeyFocus();
}

QRect SidebarPanelController::frame(const QRect& visibleArea, SidebarSide side) {
    const int nearEdge = side == SidebarSide::left
                             ? visibleArea.x()
                             : visibleArea.x() + visibleArea.width() - panelWidth;
    // An area narrower than the panel (other programs reserve nearly all the display): the panel
    // keeps within the area's span, reaching over the reserved side, and so on its display.
    const int farEdge = side == SidebarSide::left
                            ? visibleArea.x() + visibleArea.width() - panelWidth
                            : visibleArea.x();
    const int x = visibleArea.width() >= panelWidth ? nearEdge : farEdge;
    return {x, visibleArea.y(), panelWidth, visibleArea.height()};
}

void SidebarPanelController::place(const std::optional<QRect>& area) {
    if (!area || area->isEmpty()) {
        return;
    }
    m_panel->standAt(frame(*area, m_side), m_side);
}

}  // namespace vorn::app
