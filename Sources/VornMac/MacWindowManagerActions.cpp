#include <algorithm>
#include <chrono>
#include <cmath>

#include "ActivationPlan.h"
#include "Log.h"
#include "MacWindowManager.h"
#include "PlatformReads.h"
#include "ScreenGeometry.h"

namespace vorn {

std::optional<MacWindowManager::WindowOwner> MacWindowManager::lookUpOwner(
    WindowID window, std::optional<Rect>& bounds) {
    auto& server = m_context.platform.windowServer;
    bounds.reset();
    if (const auto onScreen = WindowEnumerator::currentScreenWindows(server, m_ourPID)) {
        for (const EnumeratedWindow& w : *onScreen) {
            if (w.windowID == window.raw) {
                bounds = w.cgBounds;
                return WindowOwner{w.ownerPID, bundleOf(w.ownerPID)};
            }
        }
    }
    const auto pid = WindowEnumerator::ownerPID(server, window.raw);
    if (!pid || *pid == m_ourPID) {
        return std::nullopt;
    }
    return WindowOwner{*pid, bundleOf(*pid)};
}

std::optional<AXWindow> MacWindowManager::windowInProcess(std::int32_t pid, WindowID window) {
    const std::vector<AXWindow> candidates = AXWindow::windows(m_context, pid);
    auto& privateCalls = m_context.privateCalls;
    if (privateCalls.axCGWindowIDSupported()) {
        for (const AXWindow& candidate : candidates) {
            if (privateCalls.windowNumber(candidate.element()) == window.raw) {
                return candidate;
            }
        }
        // The number is known to the process or not at all: no guessing.
        return std::nullopt;
    }
    const auto bounds = m_lastBounds.find(window);
    if (bounds == m_lastBounds.end() || candidates.empty()) {
        return std::nullopt;
    }
    return nearest(bounds->second, candidates);
}

std::optional<MacWindowManager::Resolved> MacWindowManager::resolve(WindowID window) {
    // One click asks about its window several times (activation, frame, placement); where every
    // change is notified, the answer holds until the next notification.
    if (m_lastResolved && m_lastResolved->window == window
        && m_lastResolved->notifications == m_observer.notificationsSeen()
        && listingsAreReusable()) {
        return m_lastResolved->resolved;
    }
    m_lastResolved.reset();
    auto resolved = resolveAfresh(window);
    if (resolved) {
        m_lastResolved = LastResolved{window, m_observer.notificationsSeen(), *resolved};
    }
    return resolved;
}

std::optional<MacWindowManager::Resolved> MacWindowManager::resolveAfresh(WindowID window) {
    const auto known = m_owners.find(window);
    std::optional<std::int32_t> searched;
    if (known != m_owners.end()) {
        const WindowOwner recorded = known->second;
        // The cached process still runs the same application and still has the window: the
        // window is the one handed out. Only the window number proves that.
        if (m_context.privateCalls.axCGWindowIDSupported()
            && bundleOf(recorded.pid) == recorded.bundleId) {
            if (auto found = windowInProcess(recorded.pid, window)) {
                return Resolved{recorded.pid, std::move(found)};
            }
            searched = recorded.pid;
        }
        // Otherwise ask the window server who has the number now.
        std::optional<Rect> bounds;
        const auto now = lookUpOwner(window, bounds);
        if (!now) {
            return std::nullopt;
        }
        if (*now != recorded) {
            logOwnerChanged(window, recorded, *now);
            return std::nullopt;
        }
        if (bounds) {
            m_lastBounds[window] = *bounds;
        }
        if (searched == now->pid) {
            return Resolved{now->pid, std::nullopt};
        }
        return Resolved{now->pid, windowInProcess(now->pid, window)};
    }

    std::optional<Rect> bounds;
    const auto owner = lookUpOwner(window, bounds);
    if (!owner) {
        return std::nullopt;
    }
    remember(window, *owner, bounds);
    return Resolved{owner->pid, windowInProcess(owner->pid, window)};
}

void MacWindowManager::logOwnerChanged(WindowID window,
                                       const WindowOwner& was,
                                       const WindowOwner& now) {
    vornWMLog().notice("window number reused, treated as gone win=", window.raw,
                       " was=", was.bundleId, "/", was.pid, " now=", now.bundleId, "/", now.pid);
}

void MacWindowManager::activate(WindowID window) {
    auto& privateCalls = m_context.privateCalls;
    // Resolved before anything is fronted, so a reused number never brings another
    // application's window forward.
    const std::optional<Resolved> resolved = resolve(window);
    const ActivationPlan plan = resolved && privateCalls.skyLightFocusSupported()
                                    ? ActivationPlan::skyLightFront
                                    : ActivationPlan::fallback;
    vornWMLog().notice("activate win=", window.raw, " plan=", activationPlanName(plan),
                       " pid=", resolved ? resolved->pid : -1);

    if (plan == ActivationPlan::skyLightFront) {
        if (privateCalls.skyLightFocusWindow(resolved->pid, window.raw)) {
            if (resolved->window) {
                resolved->window->raiseAfterFront();
            }
            return;
        }
    }
    if (!resolved || !resolved->window) {
        return;
    }
    const AXWindow& ax = *resolved->window;
    auto& accessibility = m_context.platform.accessibility;
    if (ax.isMinimized()) {
        (void)accessibility.setAttributeValue(ax.element(), platform::ax::minimized,
                                              platform::Value::boolean(false));
    }
    (void)accessibility.performAction(ax.element(), platform::ax::raiseAction);
    (void)m_context.platform.workspace.activateApplication(ax.pid());
}

void MacWindowManager::setFrame(WindowID window, const Rect& frame) {
    const std::optional<Resolved> resolved = resolve(window);
    if (!resolved || !resolved->window) {
        return;
    }
    resolved->window->setFrame(flipped(frame));
}

std::optional<WindowID> MacWindowManager::focusedWindow() {
    const auto frontmost = m_context.platform.workspace.frontmostApplication();
    if (!frontmost || frontmost->pid == m_ourPID) {
        return std::nullopt;
    }
    return focusedWindowID(frontmost->pid);
}

std::optional<WindowID> MacWindowManager::focusedWindowID(std::int32_t pid) {
    auto& accessibility = m_context.platform.accessibility;
    const auto focused = readAttribute(accessibility, accessibility.applicationElement(pid),
                                       platform::ax::focusedWindow);
    if (!focused) {
        return std::nullopt;
    }
    const platform::Element* element = focused->asElement();
    if (element == nullptr || !*element) {
        return std::nullopt;
    }
    const auto number = m_context.privateCalls.windowNumber(*element);
    if (!number) {
        return std::nullopt;
    }
    return WindowID(*number);
}

void MacWindowManager::observe(WindowChangeHandler handler) {
    const std::weak_ptr<Anchor> anchor = m_anchor;
    m_observer.start(
        [anchor](std::int32_t pid) -> std::optional<WindowID> {
            const auto alive = anchor.lock();
            if (!alive) {
                return std::nullopt;
            }
            return alive->manager->focusedWindowID(pid);
        },
        [anchor, handler = std::move(handler)](WindowChange change) {
            // A notification counts before it is reported: a plain change that finds the last
            // listing still current is a poll tick with nothing new.
            if (change.kind == WindowChange::Kind::changed) {
                if (const auto alive = anchor.lock(); alive && alive->manager->listingIsCurrent()) {
                    change = WindowChange::unchanged();
                }
            }
            handler(change);
        });
}

void MacWindowManager::stopObserving() {
    m_observer.stop();
}

void MacWindowManager::setQuietTicks(std::optional<double> seconds) {
    if (!seconds || !listingIsCurrent()) {
        m_observer.wake();
        return;
    }
    std::optional<platform::Duration> wakeAfter;
    if (std::isfinite(*seconds)) {
        // Bounded so that an absurd expiry still fits the clock's ticks: a year is as good as
        // never for a poll that any notification wakes.
        constexpr double longest = 365.0 * 86400.0;
        wakeAfter = std::chrono::duration_cast<platform::Duration>(
            std::chrono::duration<double>(std::clamp(*seconds, 0.0, longest)));
    }
    m_observer.rest(wakeAfter);
}

}  // namespace vorn
