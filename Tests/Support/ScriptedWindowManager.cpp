#include "ScriptedWindowManager.h"

#include <algorithm>

namespace vorn::test {

void ScriptedWindowManager::emit(WindowChange change) {
    if (handler) {
        handler(change);
    }
}

void ScriptedWindowManager::addWindow(const WindowInfo& window) {
    if (!onScreen) {
        onScreen.emplace();
    }
    onScreen->insert(onScreen->begin(), window);
}

void ScriptedWindowManager::removeWindow(WindowID window) {
    if (onScreen) {
        std::erase_if(*onScreen, [&](const WindowInfo& w) { return w.windowID == window; });
    }
    aliveOffScreen.erase(window);
    for (auto& [bundle, list] : appWindows) {
        std::erase_if(list, [&](const WindowInfo& w) { return w.windowID == window; });
    }
}

const WindowInfo* ScriptedWindowManager::listed(WindowID window) const {
    if (!onScreen) {
        return nullptr;
    }
    for (const auto& w : *onScreen) {
        if (w.windowID == window) {
            return &w;
        }
    }
    return nullptr;
}

bool ScriptedWindowManager::hasAccessibilityPermission() {
    calls.emplace_back("hasAccessibilityPermission");
    return permission;
}

bool ScriptedWindowManager::requestAccessibilityPermission() {
    calls.emplace_back("requestAccessibilityPermission");
    permission = permissionAfterRequest;
    return permission;
}

std::optional<std::vector<WindowInfo>> ScriptedWindowManager::listWindows() {
    calls.emplace_back("listWindows");
    return onScreen;
}

bool ScriptedWindowManager::isOnCurrentScreen(WindowID window) {
    calls.push_back("isOnCurrentScreen " + window.description());
    return listed(window) != nullptr;
}

std::optional<Rect> ScriptedWindowManager::frame(WindowID window) {
    calls.push_back("frame " + window.description());
    if (const auto it = frames.find(window); it != frames.end()) {
        return it->second;
    }
    if (const WindowInfo* w = listed(window)) {
        return w->frame;
    }
    return std::nullopt;
}

bool ScriptedWindowManager::isAlive(WindowID window) {
    calls.push_back("isAlive " + window.description());
    return listed(window) != nullptr || aliveOffScreen.count(window) > 0;
}

std::vector<WindowInfo> ScriptedWindowManager::windows(const AppRef& ofApp) {
    calls.push_back("windows " + ofApp.bundleId);
    const auto it = appWindows.find(ofApp.bundleId);
    return it == appWindows.end() ? std::vector<WindowInfo>{} : it->second;
}

bool ScriptedWindowManager::isResizable(WindowID window) {
    calls.push_back("isResizable " + window.description());
    return notResizable.count(window) == 0;
}

ScreenArea ScriptedWindowManager::currentScreenArea() {
    calls.emplace_back("currentScreenArea");
    return screenArea;
}

std::optional<WindowID> ScriptedWindowManager::focusedWindow() {
    calls.emplace_back("focusedWindow");
    return focused;
}

void ScriptedWindowManager::activate(WindowID window) {
    calls.push_back("activate " + window.description());
    activations.push_back(window);
}

void ScriptedWindowManager::setFrame(WindowID window, const Rect& frame) {
    calls.push_back("setFrame " + window.description());
    setFrames.emplace_back(window, frame);
    frames[window] = frame;
    if (onScreen) {
        for (auto& w : *onScreen) {
            if (w.windowID == window) {
                w.frame = frame;
            }
        }
    }
}

std::optional<WindowID> ScriptedWindowManager::launchOrNewWindow(const AppRef& app) {
    calls.push_back("launchOrNewWindow " + app.bundleId);
    if (duringWait) {
        duringWait();
    }
    if (launchResults.empty()) {
        return std::nullopt;
    }
    const auto result = launchResults.front();
    launchResults.pop_front();
    return result;
}

DocumentOpening ScriptedWindowManager::openDocument(const std::string& path, const AppRef& app) {
    calls.push_back("openDocument " + path + " " + app.bundleId);
    if (duringWait) {
        duringWait();
    }
    if (openResults.empty()) {
        return {};
    }
    const auto result = openResults.front();
    openResults.pop_front();
    return result;
}

std::string ScriptedWindowManager::currentSessionToken() {
    calls.emplace_back("currentSessionToken");
    return sessionToken;
}

void ScriptedWindowManager::observe(WindowChangeHandler newHandler) {
    calls.emplace_back("observe");
    handler = std::move(newHandler);
}

void ScriptedWindowManager::stopObserving() {
    calls.emplace_back("stopObserving");
    handler = nullptr;
}

WindowInfo makeWindow(std::uint32_t number,
                      const std::string& bundleId,
                      const std::string& title,
                      std::optional<std::string> docPath) {
    return WindowInfo{WindowID(number),         AppRef{bundleId, bundleId}, title,
                      Rect(100, 100, 800, 600), WindowState::normal,        std::move(docPath)};
}

}  // namespace vorn::test
