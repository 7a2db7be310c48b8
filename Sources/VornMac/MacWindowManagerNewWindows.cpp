#include <filesystem>
#include <unordered_map>

#include "FileIO.h"
#include "FileURL.h"
#include "Log.h"
#include "MacWindowManager.h"
#include "NewWindowOpener.h"

namespace vorn {
namespace {

struct DocumentLocation {
    std::string path;  // where the file should be
    std::string url;   // how it is named to the application
};

// A "file:" string is a URL when it reads as one, else a path like any other string.
DocumentLocation locateDocument(const std::string& path) {
    if (path.starts_with("file:")) {
        if (auto decoded = FileURL::path(path)) {
            return {*decoded, path};
        }
    }
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        absolute = path;
    }
    return {absolute.string(), FileURL::fromPath(absolute.string())};
}

// Whether the window's document is this one, named by path or by URL.
bool shows(const WindowInfo& window, const DocumentLocation& document) {
    if (!window.docPath) {
        return false;
    }
    const std::string& shown = *window.docPath;
    if (shown == document.path || shown == document.url) {
        return true;
    }
    return shown.starts_with("file:") && FileURL::path(shown) == document.path;
}

}  // namespace

std::vector<EnumeratedWindow> MacWindowManager::windowsOfBundle(const std::string& bundleID) {
    auto windows =
        WindowEnumerator::currentScreenWindows(m_context.platform.windowServer, m_ourPID);
    if (!windows) {
        return {};
    }
    std::unordered_map<std::int32_t, bool> ofBundle;
    std::erase_if(*windows, [&](const EnumeratedWindow& window) {
        auto it = ofBundle.find(window.ownerPID);
        if (it == ofBundle.end()) {
            const auto running = m_context.platform.workspace.runningApplication(window.ownerPID);
            it = ofBundle.emplace(window.ownerPID, running && running->bundleIdentifier == bundleID)
                     .first;
        }
        return !it->second;
    });
    return *windows;
}

std::set<std::uint32_t> MacWindowManager::windowNumbersOfBundle(const std::string& bundleID) {
    std::set<std::uint32_t> numbers;
    for (const EnumeratedWindow& window : windowsOfBundle(bundleID)) {
        numbers.insert(window.windowID);
    }
    return numbers;
}

std::optional<WindowID> MacWindowManager::firstNewWindow(const std::string& bundleID,
                                                         const std::set<std::uint32_t>& before) {
    for (const EnumeratedWindow& window : windowsOfBundle(bundleID)) {
        if (!before.contains(window.windowID)) {
            const WindowID id(window.windowID);
            remember(id, {window.ownerPID, bundleID}, window.cgBounds);
            return id;
        }
    }
    return std::nullopt;
}

std::optional<WindowID> MacWindowManager::waitForNewWindow(
    const std::string& bundleID,
    const std::set<std::uint32_t>& before,
    platform::Duration timeout,
    const std::function<std::optional<WindowID>()>& alsoTaken) {
    auto& runLoop = m_context.platform.runLoop;
    const platform::MonotonicTime deadline = runLoop.now() + timeout;
    for (;;) {
        const platform::MonotonicTime now = runLoop.now();
        if (now >= deadline) {
            return std::nullopt;
        }
        // Notifications, timers and refreshes run meanwhile.
        (void)runLoop.runUntil(std::min(now + platform::Duration(waitSlice), deadline));
        if (auto found = firstNewWindow(bundleID, before)) {
            return found;
        }
        if (alsoTaken) {
            if (auto found = alsoTaken()) {
                return found;
            }
        }
    }
}

std::optional<WindowID> MacWindowManager::launchOrNewWindow(const AppRef& app) {
    // The wait below may release the last owner of this manager.
    const auto self = weak_from_this().lock();
    const std::string& bundleID = app.bundleId;
    const std::set<std::uint32_t> before = windowNumbersOfBundle(bundleID);
    if (NewWindowOpener::pressNewWindowMenu(m_context, bundleID)) {
        if (auto found = waitForNewWindow(bundleID, before, menuWindowTimeout)) {
            return found;
        }
    }
    if (auto found = firstNewWindow(bundleID, before)) {
        return found;
    }
    NewWindowOpener::launch(m_context, bundleID);
    return waitForNewWindow(bundleID, before, launchWindowTimeout);
}

DocumentOpening MacWindowManager::openDocument(const std::string& path, const AppRef& app) {
    const auto self = weak_from_this().lock();
    const DocumentLocation document = locateDocument(path);
    if (!fileio::exists(document.path)) {
        vornWMLog().notice("openDocument: file missing path=", document.path);
        return {};
    }
    auto& workspace = m_context.platform.workspace;
    const auto applicationURL = workspace.urlForApplication(app.bundleId);
    if (!applicationURL) {
        return {};
    }
    // A window that shows the document already is where the application would show it.
    std::set<WindowID> showedOther;
    for (const WindowInfo& window : windows(app)) {
        if (shows(window, document)) {
            return {window.windowID, false};
        }
        showedOther.insert(window.windowID);
    }
    const std::set<std::uint32_t> before = windowNumbersOfBundle(app.bundleId);
    workspace.openURLs({document.url}, *applicationURL,
                       platform::OpenConfiguration{.activates = true});
    // An application with tabs opens the document in a window it has instead of a new one.
    const auto shownInOldWindow = [&]() -> std::optional<WindowID> {
        for (const WindowInfo& window : windows(app)) {
            if (showedOther.contains(window.windowID) && shows(window, document)) {
                return window.windowID;
            }
        }
        return std::nullopt;
    };
    const auto shown =
        waitForNewWindow(app.bundleId, before, documentWindowTimeout, shownInOldWindow);
    if (!shown) {
        vornWMLog().notice("openDocument: no window shows the document in time app=", app.bundleId,
                           " path=", document.path);
    }
    return {shown, true};
}

}  // namespace vorn
