#include <algorithm>

#include "DocumentURL.h"
#include "ExecLine.h"
#include "FileURL.h"
#include "Log.h"
#include "ServerIdentity.h"
#include "X11Parts.h"

namespace vorn::platform::x11 {
namespace {

// The desktop to show before the window can take the focus: window managers refuse to focus a
// window on a hidden desktop (or only mark it), as the user could not see it. None when the
// window is on the current desktop or on all of them, or when either is unknown. Told by what
// the backend last read, so that a window on the current desktop costs no request.
std::optional<std::uint32_t> hiddenDesktopOf(X11Desktop& desktop, xcb_window_t window) {
    const ClientSnapshot* clients = desktop.clients();
    const ClientWindow* found = clients != nullptr ? clients->find(window) : nullptr;
    if (found == nullptr || !found->desktop || !clients->currentDesktop
        || *found->desktop == allDesktops || *found->desktop == *clients->currentDesktop) {
        return std::nullopt;
    }
    return found->desktop;
}

}  // namespace

bool activateWindow(X11Desktop& desktop, xcb_window_t window) {
    Connection* connection = desktop.connection();
    if (connection == nullptr) {
        return false;
    }
    AfterReplies after(desktop);
    const std::optional<std::uint32_t> hiddenDesktop = hiddenDesktopOf(desktop, window);
    auto active =
        connection->getProperty(connection->root(), connection->atoms().netActiveWindow, 1);
    auto activeReply = connection->reply(active);
    const auto time = desktop.activationTime();
    if (!time) {
        vornWMLog().notice("x11: no server time to activate with win=", window);
        return false;
    }
    // The window manager handles requests in order: the desktop is shown before the window is
    // activated on it, and both carry the user's time.
    if (hiddenDesktop) {
        requestCurrentDesktop(*connection, *hiddenDesktop, *time);
    }
    requestActivation(*connection, window, *time,
                      firstCardinal(viewOf(activeReply.get())).value_or(XCB_NONE));
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

std::optional<Date> X11Workspace::launchDate(std::int32_t pid) {
    if (isStandInPID(pid)) {
        return std::nullopt;
    }
    const auto started = processStartTime(pid);
    return started ? std::optional<Date>(Date::fromUnix(*started)) : std::nullopt;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() {
    AfterReplies after(m_desktop);
    const ClientSnapshot* clients = m_desktop.clients();
    const ClientWindow* active =
        clients != nullptr ? clients->find(clients->activeWindow) : nullptr;
    if (active == nullptr || !active->pid) {
        return std::nullopt;
    }
    // Taken before the next read, which may replace the snapshot.
    const std::int32_t pid = *active->pid;
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
