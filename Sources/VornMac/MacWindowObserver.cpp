#include "MacWindowObserver.h"

#include <algorithm>
#include <array>
#include <utility>

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
    platform::RunLoop& runLoop;
    std::weak_ptr<State> self{};
    // Ticks fall on origin + n * pollInterval; the last one fell on lastBeat.
    platform::MonotonicTime origin;
    platform::MonotonicTime lastBeat;
    std::optional<platform::TimerID> timer{};
    bool resting = false;
    std::uint64_t notifications = 0;

    void report(WindowChange change) const {
        // Copied: the handler may release the observer, and with it this state's owner.
        if (auto deliver = handler) {
            deliver(change);
        }
    }

    void cancelTimer() {
        if (timer) {
            runLoop.cancelTimer(*timer);
            timer.reset();
        }
    }

    // The first beat at or after the moment and after the last tick: a beat that has ticked
    // never ticks twice.
    platform::MonotonicTime beatFrom(platform::MonotonicTime moment) const {
        const platform::Duration interval = pollInterval;
        const platform::Duration since = std::max(moment, lastBeat + interval) - origin;
        return origin + ((since + interval - platform::Duration(1)) / interval) * interval;
    }

    void tick() {
        const platform::Duration interval = pollInterval;
        lastBeat = origin + ((runLoop.now() - origin) / interval) * interval;
        report(WindowChange::changed());
    }

    void repeat() {
        cancelTimer();
        timer = runLoop.addTimer(pollInterval, true, [weak = self] {
            if (auto state = weak.lock()) {
                state->tick();
            }
        });
    }

    // One tick at the beat, and from there every interval, unless a rest comes first.
    void resumeAt(platform::MonotonicTime beat) {
        cancelTimer();
        const platform::Duration delay = std::max(beat - runLoop.now(), platform::Duration(0));
        timer = runLoop.addTimer(delay, false, [weak = self] {
            if (auto state = weak.lock()) {
                state->timer.reset();
                state->resting = false;
                state->repeat();
                state->tick();
            }
        });
    }

    void wake() {
        if (std::exchange(resting, false)) {
            resumeAt(beatFrom(runLoop.now()));
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
    const platform::MonotonicTime now = m_runLoop.now();
    m_state = std::make_shared<State>(State{.resolveFocused = std::move(resolveFocused),
                                            .handler = std::move(handler),
                                            .runLoop = m_runLoop,
                                            .origin = now,
                                            .lastBeat = now});
    m_state->self = m_state;
    const std::weak_ptr<State> weak = m_state;
    for (platform::WorkspaceNotification name : observedNotifications) {
        m_tokens.push_back(
            m_workspace.addObserver(name, [weak](const platform::WorkspaceEvent& event) {
                if (auto state = weak.lock()) {
                    onWorkspace(state, event);
                }
            }));
    }
    m_state->repeat();
}

void MacWindowObserver::stop() {
    m_tokens.clear();
    if (m_state) {
        m_state->cancelTimer();
    }
    m_state.reset();
}

void MacWindowObserver::rest(std::optional<platform::Duration> wakeAfter) {
    if (!m_state) {
        return;
    }
    m_state->cancelTimer();
    m_state->resting = true;
    if (wakeAfter) {
        m_state->resumeAt(m_state->beatFrom(m_runLoop.now() + *wakeAfter));
    }
}

void MacWindowObserver::wake() {
    if (m_state) {
        m_state->wake();
    }
}

std::uint64_t MacWindowObserver::notificationsSeen() const {
    return m_state ? m_state->notifications : 0;
}

void MacWindowObserver::onWorkspace(const std::shared_ptr<State>& state,
                                    const platform::WorkspaceEvent& event) {
    // Counted before the handler runs: a listing it makes already knows of this change.
    ++state->notifications;
    state->wake();
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
