#include <sstream>

#include "SimulatedParts.h"

namespace vorn::platform::sim {

std::vector<RunningApplication> SimulatedWorkspace::runningApplications(std::string_view bundleId) {
    m_desktop.record("ws.runningApplications " + std::string(bundleId));
    std::vector<RunningApplication> found;
    for (std::int32_t pid : m_desktop.applicationOrder()) {
        auto app = m_desktop.runningApplication(pid);
        if (app && app->bundleIdentifier == bundleId) {
            found.push_back(*app);
        }
    }
    return found;
}

std::optional<RunningApplication> SimulatedWorkspace::runningApplication(std::int32_t pid) {
    m_desktop.record("ws.runningApplication " + std::to_string(pid));
    return m_desktop.runningApplication(pid);
}

std::optional<Date> SimulatedWorkspace::launchDate(std::int32_t pid) {
    m_desktop.record("ws.launchDate " + std::to_string(pid));
    const SimApplication* app = m_desktop.application(pid);
    return app != nullptr ? app->launchDate : std::nullopt;
}

std::optional<RunningApplication> SimulatedWorkspace::frontmostApplication() {
    m_desktop.record("ws.frontmostApplication");
    if (const auto pid = m_desktop.frontmostApplication()) {
        return m_desktop.runningApplication(*pid);
    }
    return std::nullopt;
}

bool SimulatedWorkspace::activateApplication(std::int32_t pid) {
    m_desktop.record("ws.activate " + std::to_string(pid));
    if (m_desktop.application(pid) == nullptr) {
        return false;
    }
    m_desktop.activateApplication(pid);
    return true;
}

std::optional<std::string> SimulatedWorkspace::urlForApplication(std::string_view bundleId) {
    m_desktop.record("ws.urlForApplication " + std::string(bundleId));
    auto it = m_desktop.installedApplications.find(bundleId);
    if (it == m_desktop.installedApplications.end()) {
        return std::nullopt;
    }
    return it->second;
}

void SimulatedWorkspace::openApplication(const std::string& applicationURL,
                                         OpenConfiguration config) {
    m_desktop.record("ws.openApplication " + applicationURL
                     + (config.activates ? " activates" : ""));
    if (m_desktop.onOpenApplication) {
        auto hook = m_desktop.onOpenApplication;
        hook(applicationURL);
        return;
    }
    if (!config.activates) {
        return;
    }
    for (std::int32_t pid : m_desktop.applicationOrder()) {
        if (m_desktop.application(pid)->applicationURL == applicationURL) {
            m_desktop.activateApplication(pid);
            return;
        }
    }
}

void SimulatedWorkspace::openURLs(const std::vector<std::string>& urls,
                                  const std::string& applicationURL,
                                  OpenConfiguration config) {
    std::ostringstream line;
    line << "ws.openURLs";
    for (const auto& url : urls) {
        line << ' ' << url;
    }
    line << " with " << applicationURL << (config.activates ? " activates" : "");
    m_desktop.record(line.str());
    if (m_desktop.onOpenURLs) {
        auto hook = m_desktop.onOpenURLs;
        hook(urls, applicationURL);
    }
}

bool SimulatedWorkspace::notifiesEveryWindowChange() {
    return m_desktop.notifiesEveryWindowChange;
}

bool SimulatedWorkspace::isVoiceOverEnabled() {
    m_desktop.record("ws.voiceOver");
    return m_desktop.voiceOver;
}

ObserverToken SimulatedWorkspace::addObserver(WorkspaceNotification name,
                                              std::function<void(const WorkspaceEvent&)> observer) {
    m_desktop.record("ws.addObserver " + std::string(notificationName(name)));
    const ObserverToken token = m_nextToken++;
    m_observers.emplace(token, Observer{name, std::move(observer)});
    return token;
}

void SimulatedWorkspace::removeObserver(ObserverToken token) {
    m_desktop.record("ws.removeObserver " + std::to_string(token));
    m_observers.erase(token);
}

void SimulatedWorkspace::deliver(const WorkspaceEvent& event) {
    for (const auto& [token, observer] : m_observers) {
        if (observer.name != event.name) {
            continue;
        }
        m_desktop.runLoop().post([this, token = token, event] {
            auto it = m_observers.find(token);
            if (it != m_observers.end()) {
                auto callback = it->second.callback;
                callback(event);
            }
        });
    }
}

std::vector<Screen> SimulatedScreens::screens() {
    m_desktop.record("screens");
    return m_desktop.screens();
}

std::optional<Screen> SimulatedScreens::mainScreen() {
    m_desktop.record("mainScreen");
    auto all = m_desktop.screens();
    if (all.empty()) {
        return std::nullopt;
    }
    if (m_desktop.mainDisplay) {
        for (const auto& screen : all) {
            const Value* number = screen.deviceDescription.member(screenkey::screenNumber);
            if (number != nullptr && number->asUInt32() == m_desktop.mainDisplay) {
                return screen;
            }
        }
    }
    return all.front();
}

Point SimulatedScreens::mouseLocation() {
    m_desktop.record("mouseLocation");
    return m_desktop.mouseLocation;
}

std::int32_t SimulatedProcessInfo::processIdentifier() {
    return m_desktop.ownPID;
}

std::optional<std::uint32_t> SimulatedProcessInfo::auditSessionID() {
    return m_desktop.auditSessionID;
}

}  // namespace vorn::platform::sim
