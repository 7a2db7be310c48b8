#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "RunLoop.h"
#include "WindowManager.h"
#include "Workspace.h"

namespace vorn {

// Turns workspace notifications and a steady poll into window changes: an application's
// activation whose focused window is named by the notification or resolves becomes a focus
// change for that window, everything else a plain change. Nothing is coalesced or debounced
// here; a platform that reports window changes as they happen coalesces its own bursts, and the
// poll stays as a backstop. The poll's ticks fall on a fixed beat from the start; while it rests,
// no timer runs at all, and a notification or wake() brings it back on the next beat it would
// have ticked on. The workspace's callbacks and the timer reach the observer only through weak
// links, and releasing it removes both, so nothing is delivered afterwards. Main thread only.
class MacWindowObserver {
public:
    // The focused window of a process; no value when it cannot be told.
    using FocusResolver = std::function<std::optional<WindowID>(std::int32_t pid)>;

    static constexpr auto pollInterval = std::chrono::milliseconds(1500);

    MacWindowObserver(platform::Workspace& workspace, platform::RunLoop& runLoop);
    ~MacWindowObserver();
    MacWindowObserver(const MacWindowObserver&) = delete;
    MacWindowObserver& operator=(const MacWindowObserver&) = delete;

    // Stores the resolver and the handler and starts observing; a second start replaces both and
    // tears the first observations and timer down before making new ones. The handler is called
    // on the main thread.
    void start(FocusResolver resolveFocused, WindowChangeHandler handler);
    // Removes the observations and the timer; nothing is delivered afterwards.
    void stop();
    bool isStarted() const { return m_state != nullptr; }
    // Stops the poll until a workspace notification, wake(), or the first beat at or after
    // `wakeAfter` from now (none: no such time), whichever comes first. Ignored when not started.
    void rest(std::optional<platform::Duration> wakeAfter);
    // Ends a rest: the poll ticks again from its next beat on.
    void wake();
    // How many workspace notifications reached the handler since the start; poll ticks do not
    // count.
    std::uint64_t notificationsSeen() const;

private:
    struct State;

    static void onWorkspace(const std::shared_ptr<State>& state,
                            const platform::WorkspaceEvent& event);

    platform::Workspace& m_workspace;
    platform::RunLoop& m_runLoop;
    std::shared_ptr<State> m_state;
    std::vector<Subscription> m_tokens;
};

}  // namespace vorn
