#include "MacWindowManager.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "AccessibilityAuthorization.h"
#include "DisplayUtil.h"
#include "Log.h"
#include "PlatformReads.h"
#include "ScreenGeometry.h"
#include "SessionTrust.h"
#include "Text.h"
#include "Uuid.h"

namespace vorn {
namespace {

double distance(const Rect& a, const Rect& b) {
    const double sum = std::abs(a.origin.x - b.origin.x) + std::abs(a.origin.y - b.origin.y)
                       + std::abs(a.size.width - b.size.width)
                       + std::abs(a.size.height - b.size.height);
    return std::isnan(sum) ? std::numeric_limits<double>::max() : sum;
}

// The containment test of a rectangle whose y grows upwards: the top edge belongs to it, the
// bottom edge does not.
bool containsPointer(const Rect& frame, const Point& point) {
    return point.x >= frame.minX() && point.x < frame.maxX() && point.y > frame.minY()
           && point.y <= frame.maxY();
}

}  // namespace

std::shared_ptr<MacWindowManager> MacWindowManager::create(
    const WindowLayerContext& context, std::optional<std::uint32_t> targetDisplayID) {
    return std::make_shared<MacWindowManager>(context, targetDisplayID);
}

MacWindowManager::MacWindowManager(const WindowLayerContext& context,
                                   std::optional<std::uint32_t> targetDisplayID)
    : m_context(context)
    , m_ourPID(context.platform.process.processIdentifier())
    , m_targetDisplayID(targetDisplayID)
    , m_anchor(std::make_shared<Anchor>(Anchor{this}))
    , m_observer(context.platform.workspace, context.platform.runLoop) {
    auto& accessibility = m_context.platform.accessibility;
    // Without a bound, one application that stops answering would freeze the sidebar.
    const platform::AXStatus status = accessibility.setMessagingTimeout(
        accessibility.systemWideElement(), messagingTimeoutSeconds);
    if (status != platform::AXStatus::success) {
        vornWMLog().error("messaging timeout not set status=", platform::statusName(status));
    }
}

MacWindowManager::~MacWindowManager() = default;

bool MacWindowManager::hasAccessibilityPermission() {
    return AccessibilityAuthorization::isTrusted(m_context.platform.accessibility);
}

bool MacWindowManager::requestAccessibilityPermission() {
    return AccessibilityAuthorization::prompt(m_context.platform.accessibility);
}

std::optional<std::vector<EnumeratedWindow>> MacWindowManager::currentScreenEnumerated() {
    auto& server = m_context.platform.windowServer;
    auto windows = WindowEnumerator::currentScreenWindows(server, m_ourPID);
    if (!windows || !m_targetDisplayID) {
        return windows;
    }
    const std::vector<DisplayBounds> displays = ScreenGeometry::activeDisplays(server);
    std::erase_if(*windows, [&](const EnumeratedWindow& window) {
        return ScreenGeometry::homeDisplay(window.cgBounds, displays) != m_targetDisplayID;
    });
    return windows;
}

std::optional<AXWindow> MacWindowManager::nearest(const Rect& bounds,
                                                  const std::vector<AXWindow>& candidates) {
    const AXWindow* best = nullptr;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (const AXWindow& candidate : candidates) {
        const auto frame = candidate.frame();
        const double d = frame ? distance(*frame, bounds) : std::numeric_limits<double>::max();
        // Strictly smaller, so the first of equal distances wins.
        if (d < bestDistance) {
            bestDistance = d;
            best = &candidate;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    return *best;
}

std::optional<AXWindow> MacWindowManager::match(const EnumeratedWindow& window,
                                                const std::vector<AXWindow>& candidates) {
    auto& privateCalls = m_context.privateCalls;
    if (privateCalls.axCGWindowIDSupported()) {
        for (const AXWindow& candidate : candidates) {
            if (privateCalls.windowNumber(candidate.element()) == window.windowID) {
                return candidate;
            }
        }
        return std::nullopt;
    }
    return nearest(window.cgBounds, candidates);
}

AppRef MacWindowManager::appRef(std::int32_t pid, const std::string& fallbackName) {
    const auto running = m_context.platform.workspace.runningApplication(pid);
    AppRef app;
    app.bundleId = running && running->bundleIdentifier && !running->bundleIdentifier->empty()
                       ? *running->bundleIdentifier
                       : "pid:" + std::to_string(pid);
    app.name = running && running->localizedName && !running->localizedName->empty()
                   ? *running->localizedName
                   : fallbackName;
    return app;
}

std::string MacWindowManager::bundleOf(std::int32_t pid) {
    return appRef(pid, "").bundleId;
}

void MacWindowManager::remember(WindowID window,
                                const WindowOwner& owner,
                                const std::optional<Rect>& bounds) {
    m_seenAt[window] = m_listings;
    auto [it, inserted] = m_owners.try_emplace(window, owner);
    if (!inserted && it->second != owner) {
        vornWMLog().debug("window number reused win=", window.raw, " was=", it->second.bundleId,
                          "/", it->second.pid, " now=", owner.bundleId, "/", owner.pid);
        it->second = owner;
    }
    if (bounds) {
        m_lastBounds[window] = *bounds;
    }
}

std::optional<std::vector<WindowInfo>> MacWindowManager::listWindows() {
    if (auto reason = SessionTrust::untrustworthyReason(m_context.platform.windowServer)) {
        vornWMLog().debug("listWindows: untrustworthy (", untrustworthyName(*reason), ") -> nil");
        return std::nullopt;
    }
    // Where every change is notified, a listing with no notification since the last one would
    // find the same windows: the poll's refreshes then cost next to nothing.
    const bool reusable =
        m_observer.isStarted() && m_context.platform.workspace.notifiesEveryWindowChange();
    if (reusable && m_lastListing && m_lastListingNotifications == m_observer.notificationsSeen()) {
        return m_lastListing;
    }
    m_lastListing.reset();
    const auto enumerated = currentScreenEnumerated();
    if (!enumerated) {
        vornWMLog().debug("listWindows: CGWindowList NULL (no GUI session) -> untrustworthy (nil)");
        return std::nullopt;
    }

    ++m_listings;
    // Each process is asked for its windows once per listing, and for its name once.
    std::unordered_map<std::int32_t, std::vector<AXWindow>> axByPID;
    std::unordered_map<std::int32_t, AppRef> appByPID;
    std::vector<WindowInfo> result;
    result.reserve(enumerated->size());
    const double top = ScreenGeometry::primaryTop(m_context.platform.screens);
    for (const EnumeratedWindow& window : *enumerated) {
        auto axIt = axByPID.find(window.ownerPID);
        if (axIt == axByPID.end()) {
            axIt = axByPID.emplace(window.ownerPID, AXWindow::windows(m_context, window.ownerPID))
                       .first;
        }
        auto appIt = appByPID.find(window.ownerPID);
        if (appIt == appByPID.end()) {
            appIt =
                appByPID.emplace(window.ownerPID, appRef(window.ownerPID, window.ownerName)).first;
        }
        const WindowID id(window.windowID);
        remember(id, {window.ownerPID, appIt->second.bundleId}, window.cgBounds);

        const std::optional<AXWindow> matched = match(window, axIt->second);
        WindowInfo info;
        info.windowID = id;
        info.app = appIt->second;
        info.title = matched ? matched->title().value_or("") : "";
        info.frame = ScreenGeometry::flipped(window.cgBounds, top);
        info.state = WindowState::normal;
        info.docPath = matched ? matched->documentPath() : std::nullopt;
        result.push_back(std::move(info));
    }

    if (reusable) {
        m_lastListing = result;
        m_lastListingNotifications = m_observer.notificationsSeen();
    }
    forgetGoneWindows(result.size());

    // The second enumeration only serves this line.
    if (logLevelEnabled(LogLevel::debug)) {
        const auto all = WindowEnumerator::allWindowIDs(m_context.platform.windowServer);
        vornWMLog().debug("listWindows: trustworthy onScreen=", result.size(),
                          " allWindows=", all ? static_cast<long>(all->size()) : -1L);
    }
    return result;
}

void MacWindowManager::forgetGoneWindows(std::size_t listed) {
    // Asking for every window costs a full enumeration: done only when the records have grown
    // well past what is listed, so the cost spreads over many listings.
    if (m_seenAt.size() <= 2 * listed + forgetSlack) {
        return;
    }
    const auto all = WindowEnumerator::allWindowIDs(m_context.platform.windowServer);
    if (!all) {
        return;
    }
    // A record of a number that was met lately stays: it still tells a reused number from the
    // window the sidebar may hold, until the sidebar has let go of it.
    std::erase_if(m_seenAt, [&](const auto& entry) {
        const bool gone =
            !all->contains(entry.first.raw) && entry.second + forgetAfterListings < m_listings;
        if (gone) {
            m_owners.erase(entry.first);
            m_lastBounds.erase(entry.first);
        }
        return gone;
    });
}

bool MacWindowManager::isOnCurrentScreen(WindowID window) {
    const auto enumerated = currentScreenEnumerated();
    if (!enumerated) {
        return false;
    }
    return std::any_of(enumerated->begin(), enumerated->end(),
                       [&](const EnumeratedWindow& w) { return w.windowID == window.raw; });
}

std::optional<Rect> MacWindowManager::frame(WindowID window) {
    const auto resolved = resolve(window);
    if (!resolved || !resolved->window) {
        return std::nullopt;
    }
    const auto axFrame = resolved->window->frame();
    if (!axFrame) {
        return std::nullopt;
    }
    return flipped(*axFrame);
}

bool MacWindowManager::isAlive(WindowID window) {
    auto& server = m_context.platform.windowServer;
    if (const auto owner = WindowEnumerator::ownerPID(server, window.raw)) {
        const auto known = m_owners.find(window);
        if (known == m_owners.end()) {
            return true;
        }
        const WindowOwner now{*owner, bundleOf(*owner)};
        if (now != known->second) {
            logOwnerChanged(window, known->second, now);
            return false;
        }
        return true;
    }
    // Listed without a readable owner: it exists, though whose it is cannot be told.
    if (const auto all = WindowEnumerator::allWindowIDs(server); all && all->contains(window.raw)) {
        return true;
    }
    const auto resolved = resolve(window);
    return resolved && resolved->window;
}

std::vector<WindowInfo> MacWindowManager::windows(const AppRef& ofApp) {
    auto& workspace = m_context.platform.workspace;
    auto& accessibility = m_context.platform.accessibility;
    auto& privateCalls = m_context.privateCalls;
    const auto running = workspace.runningApplications(ofApp.bundleId);
    std::vector<DisplayBounds> displays;
    if (m_targetDisplayID) {
        displays = ScreenGeometry::activeDisplays(m_context.platform.windowServer);
    }
    const double top = ScreenGeometry::primaryTop(m_context.platform.screens);

    std::vector<WindowInfo> result;
    for (const platform::RunningApplication& process : running) {
        if (process.pid < 1 || process.pid == m_ourPID) {
            continue;
        }
        for (const AXWindow& window : AXWindow::windows(m_context, process.pid)) {
            const auto subrole =
                readAttribute(accessibility, window.element(), platform::ax::subrole);
            const std::string* subroleText = subrole ? subrole->asString() : nullptr;
            if (subroleText == nullptr || *subroleText != platform::ax::standardWindowSubrole) {
                continue;
            }
            const auto number = privateCalls.windowNumber(window.element());
            if (!number) {
                continue;
            }
            const auto axFrame = window.frame();
            if (!axFrame || !(axFrame->width() >= WindowEnumerator::minimumSide)
                || !(axFrame->height() >= WindowEnumerator::minimumSide)) {
                continue;
            }
            // A minimised window has no place on any display, so it is offered wherever it was.
            const bool minimized = window.isMinimized();
            if (!minimized && m_targetDisplayID
                && ScreenGeometry::homeDisplay(*axFrame, displays) != m_targetDisplayID) {
                continue;
            }
            const WindowID id(*number);
            remember(id, {process.pid, ofApp.bundleId}, *axFrame);

            WindowInfo info;
            info.windowID = id;
            info.app = ofApp;
            info.title = window.title().value_or("");
            info.frame = ScreenGeometry::flipped(*axFrame, top);
            info.state = minimized ? WindowState::minimized : WindowState::normal;
            info.docPath = window.documentPath();
            result.push_back(std::move(info));
        }
    }
    vornWMLog().debug("windows(ofApp ", ofApp.bundleId, ") -> ", result.size(), " across ",
                      running.size(), " pid(s)");
    return result;
}

bool MacWindowManager::isResizable(WindowID window) {
    const auto resolved = resolve(window);
    if (!resolved || !resolved->window) {
        return true;
    }
    const auto reply = m_context.platform.accessibility.isAttributeSettable(
        resolved->window->element(), platform::ax::size);
    if (reply.status != platform::AXStatus::success || !reply.value) {
        return true;
    }
    return *reply.value;
}

Rect MacWindowManager::flipped(const Rect& rect) {
    return ScreenGeometry::flipped(rect, ScreenGeometry::primaryTop(m_context.platform.screens));
}

std::optional<platform::Screen> MacWindowManager::activeScreen() {
    auto& screens = m_context.platform.screens;
    const Point pointer = screens.mouseLocation();
    for (platform::Screen& screen : screens.screens()) {
        if (containsPointer(screen.frame, pointer)) {
            return std::move(screen);
        }
    }
    return screens.mainScreen();
}

ScreenArea MacWindowManager::currentScreenArea() {
    std::optional<platform::Screen> screen;
    if (m_targetDisplayID) {
        screen = DisplayUtil::nsScreen(m_context.platform.screens, *m_targetDisplayID);
    }
    if (!screen) {
        screen = activeScreen();
    }
    if (!screen || !isPlausible(screen->visibleFrame)) {
        return ScreenArea{Rect()};
    }
    return ScreenArea{screen->visibleFrame};
}

bool MacWindowManager::mayBeSavedWindow(WindowID window,
                                        const AppRef& app,
                                        std::optional<Date> savedAt) {
    const auto owner = WindowEnumerator::ownerPID(m_context.platform.windowServer, window.raw);
    const char* doubt = nullptr;
    if (!savedAt) {
        doubt = "the time of the save is unknown";
    } else if (!owner || *owner == m_ourPID) {
        doubt = "no such window";
    } else if (!text::canonicallyEqual(bundleOf(*owner), app.bundleId)) {
        doubt = "another application's window";
    } else {
        const auto launched = m_context.platform.workspace.launchDate(*owner);
        if (!launched) {
            doubt = "its process's start is unknown";
        } else if (!(launched->adding(launchClockSlack) < *savedAt)) {
            // The number was handed out again to a process that did not run at the save.
            doubt = "its process started after the save";
        }
    }
    if (doubt != nullptr) {
        vornWMLog().debug("saved window not taken win=", window.raw, ": ", doubt);
    }
    return doubt == nullptr;
}

std::string MacWindowManager::currentSessionToken() {
    if (auto identity = m_context.platform.windowServer.sessionIdentity()) {
        return std::move(*identity);
    }
    // A token nothing saved can match: window numbers of an unknown session are never trusted.
    vornWMLog().notice("window server session unknown; saved window numbers not trusted");
    return "unknown:" + Uuid::random().string();
}

}  // namespace vorn
