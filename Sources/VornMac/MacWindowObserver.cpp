#include "MacWindowObserver.h"

#include <array>

#include "Log.h"

namespace vorn {
namespace {

constexpr std::array<platform::WorkspaceNotification, 5> observedNotifications = {
    platform::WorkspaceNotification::didActivateApplication,
    platform::WorkspaceNotification::didLaunchApplication,
    platform::WorkspaceNotification::didTerminateApplication,
    platform::WorkspaceNotification::activeSpaceDidChange,
    platform::WorkspaceNotification::windowsDidChange,
};

}  // namespace

struct MacWindowObserver::State {
    FocusResolver resolveFocused;
    WindowChangeHandler handler;
    std::uint64_t notifications = 0;

    void report(WindowChange change) const {
        // Copied: the handler may release the observer, and with it this state's owner.
        if (auto deliver = handler) {
            deliver(change);
        }
    }
};

MacWindowObserver::MacWindowObserver(platform::Workspace& workspace, platform::RunLoop& runLoop)
    : m_workspace(workspace)
    , m_runLoop(runLoop) {}

MacWindowObserver::~MacWindowObserver() {
    stop();
    vornObserverLog().debug(
        "observer torn down (poll timer invalidated, workspace observers removed)");
}

void MacWindowObserver::start(FocusResolver resolveFocused, WindowChangeHandler handler) {
    stop();
    // A fresh state, so that a callback of the first start still on its way finds nothing.
    m_state = std::make_shared<State>(State{std::move(resolveFocused), std::move(handler)});
    const std::weak_ptr<State> weak = m_state;
    for (platform::WorkspaceNotification name : observedNotifications) {
        m_tokens.push_back(
            m_workspace.addObserver(name, [weak](const platform::WorkspaceEvent& event) {
                if (auto state = weak.lock()) {
                    onWorkspace(state, event);
                }
            }));
    }
    m_timer = m_runLoop.addTimer(pollInterval, true, [weak] {
        if (auto state = weak.lock()) {
            state->report(WindowChange::changed());
        }
    });
}

void MacWindowObserver::stop() {
    m_tokens.clear();
    if (m_timer) {
        m_runLoop.cancelTimer(*m_timer);
        m_timer.reset();
    }
    m_state.reset();
}

std::uint64_t MacWindowObserver::notificationsSeen() const {
    return m_state ? m_state->notifications : 0;
}

void MacWindowObserver::onWorkspace(const std::shared_ptr<State>& state,
                                    const platform::WorkspaceEvent& event) {
    // Counted before the handler runs: a listing it makes already knows of this change.
    ++state->notifications;
    const bool activation = event.name == platform::WorkspaceNotification::didActivateApplication;
    // A platform that names the new active window saves asking the application for it.
    if (activation && event.window) {
        state->report(WindowChange::focused(WindowID(*event.window)));
        return;
    }
    if (activation && event.application && state->resolveFocused) {
        // Copied for the same reason as the handler.
        const FocusResolver resolve = state->resolveFocused;
        if (const std::optional<WindowID> focused = resolve(event.application->pid)) {
            state->report(WindowChange::focused(*focused));
            return;
        }
    }
    state->report(WindowChange::changed());
}

}  // namespace vorn
