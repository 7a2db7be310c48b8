#include <algorithm>

#include "DocumentURL.h"
#include "ExecLine.h"
#include "FileURL.h"
#include "Log.h"
#include "X11Parts.h"

namespace vorn::platform::x11 {

bool activateWindow(X11Desktop& desktop, xcb_window_t window) {
    Connection* connection = desktop.connection();
    if (connection == nullptr) {
        return false;
    }
    AfterReplies after(desktop);
    const ClientSnapshot* clients = desktop.clients();
    const xcb_window_t active = clients != nullptr ? clients->activeWindow : XCB_NONE;
    const auto time = desktop.activationTime();
    if (!time) {
        vornWMLog().notice("x11: no server time to activate with win=", window);
        return false;
    }
    requestActivation(*connection, window, *time, active);
    desktop.noteRaiseRequested(window);
    desktop.expectChanges();
    return true;
}

std::vector<RunningApplication> X11Workspace::runningApplications(std::string_view bundleId) {
    AfterReplies after(m_desktop);
    std::vector<RunningApplication> found;
    for (const auto& app : m_desktop.applications()) {
        if (app.info.bundleIdentifier == bundleId) {
            found.push_back(app.info);
        }
    }
    return found;
}

std::optional<RunningApplication> X11Workspace::runningApplication(std::int32_t pid) {
    AfterReplies after(m_desktop);
    if (const auto* app = m_desktop.application(pid)) {
        return app->info;
    }
    return std::nullopt;
}

bool X11Workspace::activateApplication(std::int32_t pid) {
    AfterReplies after(m_desktop);
    const X11Desktop::Application* app = m_desktop.application(pid);
    Connection* connection = m_desktop.connection();
    if (app == nullptr || app->windows.empty() || connection == nullptr) {
        return false;
    }
    const Connection& c = *connection;
    auto stacking = c.getProperty(c.root(), c.atoms().netClientListStacking);
    std::vector<xcb_get_property_cookie_t> states;
    for (xcb_window_t window : app->windows) {
        states.push_back(c.getProperty(window, c.atoms().netWmState, 32));
    }
    auto order = cardinals(viewOf(c.reply(stacking).get()));
    std::vector<xcb_window_t> visible;
    for (std::size_t i = 0; i < states.size(); ++i) {
        const auto state = cardinals(viewOf(c.reply(states[i]).get()));
        if (std::find(state.begin(), state.end(), c.atoms().stateHidden) == state.end()) {
            visible.push_back(app->windows[i]);
        }
    }
    // The frontmost of its windows that is not minimised; a minimised one when all are.
    const std::vector<xcb_window_t>& candidates = visible.empty() ? app->windows : visible;
    xcb_window_t target = candidates.back();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (std::find(candidates.begin(), candidates.end(), *it) != candidates.end()) {
            target = *it;
            break;
        }
    }
    return activateWindow(m_desktop, target);
}

std::optional<std::string> X11Workspace::urlForApplication(std::string_view bundleId) {
    m_desktop.entries().refresh();
    if (const DesktopEntry* entry = m_desktop.entries().byID(bundleId)) {
        return FileURL::fromPath(entry->path.string());
    }
    return std::nullopt;
}

const DesktopEntry* X11Workspace::entryOf(const std::string& applicationURL) {
    const auto path = localDocumentPath(applicationURL);
    if (!path) {
        vornWMLog().notice("x11: application refused: not a local desktop entry url=",
                           applicationURL);
        return nullptr;
    }
    m_desktop.entries().refresh();
    // Only entries found by listing the directories are launched, never any file named.
    const DesktopEntry* entry = m_desktop.entries().byPath(*path);
    if (entry == nullptr) {
        vornWMLog().notice("x11: application refused: no such desktop entry path=", *path);
    }
    return entry;
}

void X11Workspace::launch(const DesktopEntry& entry, const std::vector<std::string>& documents) {
    const auto argv = expandExec(entry, documents);
    if (!argv) {
        return;
    }
    (void)m_desktop.launcher().spawn(*argv, entry.workingDirectory);
}

void X11Workspace::openApplication(const std::string& applicationURL,
                                   OpenConfiguration /*config*/) {
    // The window manager focuses the new window itself, as it does for any new window.
    if (const DesktopEntry* entry = entryOf(applicationURL)) {
        launch(*entry, {});
    }
}

void X11Workspace::openURLs(const std::vector<std::string>& urls,
                            const std::string& applicationURL,
                            OpenConfiguration /*config*/) {
    std::vector<std::string> documents;
    for (const std::string& url : urls) {
        if (auto path = localDocumentPath(url)) {
            documents.push_back(std::move(*path));
        } else {
            vornWMLog().notice("x11: document refused: not a local file url=", url);
        }
    }
    if (documents.empty()) {
        return;
    }
    const DesktopEntry* entry = entryOf(applicationURL);
    if (entry == nullptr) {
        return;
    }
    if (takesManyDocuments(entry->exec)) {
        launch(*entry, documents);
        return;
    }
    for (const std::string& document : documents) {
        launch(*entry, {document});
    }
}

ObserverToken X11Workspace::addObserver(WorkspaceNotification name,
                                        std::function<void(const WorkspaceEvent&)> observer) {
    return m_desktop.events().addObserver(name, std::move(observer));
}

void X11Workspace::removeObserver(ObserverToken token) {
    m_desktop.events().removeObserver(token);
}

}  // namespace vorn::platform::x11
