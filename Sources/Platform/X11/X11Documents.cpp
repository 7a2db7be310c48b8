#include <set>

#include "X11Parts.h"

namespace vorn::platform::x11 {

AXReply<Value> X11Accessibility::readDocument(const X11Element& element) {
    if (m_desktop.connection() == nullptr) {
        return {AXStatus::cannotComplete, std::nullopt};
    }
    AfterReplies after(m_desktop);
    const auto& applications = m_desktop.applications();
    const std::uint64_t clientList = m_desktop.clientListGeneration();
    if (m_documentsClientList != clientList) {
        std::set<std::pair<std::int32_t, std::uint32_t>> windows;
        for (const auto& app : applications) {
            for (xcb_window_t window : app.windows) {
                windows.emplace(app.info.pid, window);
            }
        }
        m_documents.retain(windows);
        m_documentsClientList = clientList;
    }
    const X11Desktop::Application* app = m_desktop.application(element.pid);
    // Valid while nothing reads the server again, which the resolver does not.
    const ClientWindow* managed = m_desktop.managedWindow(element.window, element.pid);
    if (app == nullptr || managed == nullptr) {
        return {AXStatus::invalidElement, std::nullopt};
    }
    DocumentResolver::Window window;
    window.id = element.window;
    window.pid = element.pid;
    window.onlyWindowOfProcess = app->windows.size() == 1;
    if (app->info.bundleIdentifier) {
        window.entry = m_desktop.entries().byID(*app->info.bundleIdentifier);
    }
    const auto path = m_documents.document(
        window, [managed]() -> std::optional<std::string> { return managed->title; });
    if (!path) {
        return {AXStatus::noValue, std::nullopt};
    }
    return {AXStatus::success, Value::string(*path)};
}

}  // namespace vorn::platform::x11
