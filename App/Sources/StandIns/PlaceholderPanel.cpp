#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

#include "SidebarPanelHost.h"

namespace vorn::app {
namespace {

constexpr int panelWidth = 160;

// A bare panel for builds without the sidebar views: it stands where the sidebar would, never
// takes focus, and shows only the product name.
class PlaceholderPanel final : public SidebarPanelHost {
public:
    PlaceholderPanel(std::uint32_t displayID, const PanelScreens& screens)
        : m_displayID(displayID)
        , m_screens(screens)
        , m_panel(new QWidget(nullptr,
                              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                                  | Qt::WindowDoesNotAcceptFocus)) {
        m_panel->setObjectName(QStringLiteral("vorn.sidebar.window"));
        m_panel->setAttribute(Qt::WA_ShowWithoutActivating);
        auto* layout = new QVBoxLayout(m_panel);
        layout->addWidget(new QLabel(QStringLiteral("Vorn")), 0, Qt::AlignTop);
        repositionFlushLeft();
    }
    ~PlaceholderPanel() override { delete m_panel.data(); }

    bool isVisible() const override { return m_panel && m_panel->isVisible(); }
    void orderFront() override { m_panel->show(); }
    void orderOut() override { m_panel->hide(); }
    void close() override { m_panel->hide(); }
    void repositionFlushLeft() override {
        auto area = m_screens.visibleArea(m_displayID);
        if (!area) {
            area = m_screens.visibleAreaAt(m_panel->geometry().center());
        }
        if (!area) {
            area = m_screens.fallbackVisibleArea();
        }
        if (area) {
            m_panel->setGeometry(area->x(), area->y(), panelWidth, area->height());
        }
    }

private:
    std::uint32_t m_displayID;
    const PanelScreens& m_screens;
    QPointer<QWidget> m_panel;
};

}  // namespace

PanelFactory defaultPanelFactory() {
    return [](const PanelRequest& request) -> std::unique_ptr<SidebarPanelHost> {
        return std::make_unique<PlaceholderPanel>(request.displayID, *request.screens);
    };
}

}  // namespace vorn::app
