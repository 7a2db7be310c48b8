#include "SidebarPanelController.h"
#include "SidebarPanelHost.h"
#include "SidebarView.h"

namespace vorn::app {
namespace {

class SidebarPanelAdapter final : public SidebarPanelHost {
public:
    explicit SidebarPanelAdapter(const PanelRequest& request)
        : m_controller(request.model,
                       request.displayID,
                       request.hostMenu,
                       *request.screens,
                       request.windowIcons) {}

    bool isVisible() const override { return m_controller.isVisible(); }
    void orderFront() override { m_controller.show(); }
    void orderOut() override { m_controller.hide(); }
    void takeKeyFocus() override { m_controller.takeKeyFocus(); }
    void repositionFlushLeft() override { m_controller.repositionFlushLeft(); }
    // The controller lets its widgets go in a later turn when it is released.
    void close() override { m_controller.hide(); }
    void showStatusItems(StatusItems items) override {
        m_controller.view().setStatusItems(std::move(items));
    }

private:
    SidebarPanelController m_controller;
};

}  // namespace

PanelFactory defaultPanelFactory() {
    return [](const PanelRequest& request) -> std::unique_ptr<SidebarPanelHost> {
        return std::make_unique<SidebarPanelAdapter>(request);
    };
}

}  // namespace vorn::app
