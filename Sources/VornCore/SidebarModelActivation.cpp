#include <algorithm>

#include "Log.h"
#include "SidebarModel.h"

namespace vorn {

// Tabs and spaces are looked up by id after every call that can run the main loop
// (openDocument, launchOrNewWindow, the presenter): a refresh, an edit or a deleted space may
// have replaced what a pointer held before the call.

void SidebarModel::place(WindowID id, PlacementKind kind) {
    const std::optional<Rect> frame = m_manager->frame(id);
    if (!frame) {
        vornModelLog().notice("place win=", id.raw, ": no frame (window gone)");
        return;
    }
    const Rect screen = m_manager->currentScreenArea().visibleFrame;
    const PlacementMode mode = m_settings.placement;
    if (!(screen.width() > 0) || !(screen.height() > 0)) {
        vornModelLog().notice("place win=", id.raw, " mode=", rawValue(mode), " kind=", name(kind),
                              ": the display has no usable area screen=", logDescription(screen));
        return;
    }
    const bool resizable = mode == PlacementMode::fill ? m_manager->isResizable(id) : true;
    PlacementEngine::Stay why = PlacementEngine::Stay::inPlace;
    const std::optional<Rect> target = PlacementEngine::target(
        mode, kind, resizable, *frame, screen, m_settings.sidebarWidth, m_settings.side, &why);
    if (!target) {
        const bool room = why == PlacementEngine::Stay::inPlace;
        vornModelLog().notice("place win=", id.raw, " mode=", rawValue(mode), " kind=", name(kind),
                              room ? ": no move needed" : ": no room beside the sidebar screen=",
                              room ? std::string() : logDescription(screen));
        return;
    }
    vornModelLog().notice("place win=", id.raw, " mode=", rawValue(mode), " kind=", name(kind),
                          " resizable=", boolText(resizable), " from=", logDescription(*frame),
                          " screen=", logDescription(screen),
                          " -> target=", logDescription(*target));
    m_manager->setFrame(id, *target);
}

bool SidebarModel::isHeldElsewhere(WindowID id, const Uuid& tabID) const {
    const bool ambient = std::any_of(m_ambient.begin(), m_ambient.end(),
                                     [&](const WindowInfo& w) { return w.windowID == id; });
    return ambient || boundIDsInSpace(m_activeSpaceId, tabID).count(id) > 0;
}

void SidebarModel::activate(SpaceTab tab) {
    // The waits below may release the model's last owner; finish the operation regardless.
    const auto self = shared_from_this();
    const bool claimed = tab.isClaimed();
    const PlacementKind kind = claimed ? PlacementKind::recent : PlacementKind::pinned;

    // Window numbers can be reused at once: a number that the last refresh listed as ambient, or
    // that a sibling tab now holds, belongs to another window even though it is alive.
    const bool reused = tab.boundWindowID && isHeldElsewhere(*tab.boundWindowID, tab.id);
    if (reused) {
        vornModelLog().notice("activate tab (bound) window number now shows another window app=",
                              tab.app.bundleId, " win=", tab.boundWindowID->raw);
    }
    if (tab.boundWindowID && !reused && m_manager->isAlive(*tab.boundWindowID)) {
        const WindowID id = *tab.boundWindowID;
        vornModelLog().notice("activate tab (bound) app=", tab.app.bundleId, " win=", id.raw,
                              " claimed=", boolText(claimed));
        markFocused(id);
        m_manager->activate(id);
        place(id, kind);
        if (claimed) {
            touchClaimTTL(tab.id);
        }
        return;
    }

    const Uuid spaceID = m_activeSpaceId;
    if (tab.docPath && !tab.docPath->empty()) {
        const DocumentOpening opening = m_manager->openDocument(*tab.docPath, tab.app);
        if (opening.window) {
            bindReopened(spaceID, tab.id, *opening.window, kind);
            return;
        }
        if (opening.handedOver) {
            // The application has the document: an empty window of it would answer nothing,
            // and a window that shows the document later is bound by a refresh.
            vornModelLog().notice("activate tab FAILED: no window shows the document app=",
                                  tab.app.bundleId, " doc=", *tab.docPath);
            reportOpenFailure({tab.app, tab.docPath});
            return;
        }
    }

    std::vector<WindowInfo> candidates =
        rebindCandidates(tab, m_manager->windows(tab.app), boundIDsInSpace(spaceID, tab.id));
    if (candidates.empty() || !m_rebindPresenter) {
        openNewWindow(spaceID, tab.id, tab.app, kind);
        return;
    }
    if (m_rebindPickerOpen) {
        vornModelLog().notice("rebind ignored: picker already open app=", tab.app.bundleId);
        return;
    }
    vornModelLog().notice("rebind eval app=", tab.app.bundleId,
                          " candidates=", static_cast<long>(candidates.size()),
                          " space=", spaceID.string(), " tab=", tab.id.string());
    assign(m_rebindPickerOpen, true, Field::rebindPickerOpen);
    RebindRequest request(tab.app.name, tab.lastTitle.empty() ? tab.app.name : tab.lastTitle,
                          std::move(candidates));
    // A copy: the presenter may answer at once, and the answer may change anything.
    const RebindPresenter presenter = m_rebindPresenter;
    presenter(std::move(request), makeCompletion(spaceID, tab.id, tab.app, kind));
}

RebindCompletion SidebarModel::makeCompletion(const Uuid& spaceID,
                                              const Uuid& tabID,
                                              const AppRef& app,
                                              PlacementKind kind) {
    std::weak_ptr<SidebarModel> weak = weak_from_this();
    return RebindCompletion([weak, spaceID, tabID, app, kind](RebindChoice choice) {
        if (const auto model = weak.lock()) {
            model->answerRebind(choice, spaceID, tabID, app, kind);
        }
    });
}

void SidebarModel::answerRebind(RebindChoice choice,
                                const Uuid& spaceID,
                                const Uuid& tabID,
                                const AppRef& app,
                                PlacementKind kind) {
    assign(m_rebindPickerOpen, false, Field::rebindPickerOpen);
    switch (choice.kind()) {
        case RebindChoice::Kind::pick:
            commitRebind(spaceID, tabID, app, choice.window(), kind);
            break;
        case RebindChoice::Kind::openNew:
            openNewWindow(spaceID, tabID, app, kind);
            break;
        case RebindChoice::Kind::cancel:
            vornModelLog().notice("rebind cancel app=", app.bundleId);
            break;
    }
}

void SidebarModel::openNewWindow(const Uuid& spaceID,
                                 const Uuid& tabID,
                                 AppRef app,
                                 PlacementKind kind) {
    const auto self = shared_from_this();
    // Copies: the callers' references may point into state the wait replaces.
    const Uuid space = spaceID;
    const Uuid tab = tabID;
    if (const auto opened = m_manager->launchOrNewWindow(app)) {
        bindReopened(space, tab, *opened, kind);
    } else {
        vornModelLog().notice("activate tab FAILED to open app=", app.bundleId);
        reportOpenFailure({std::move(app), std::nullopt});
    }
}

void SidebarModel::reportOpenFailure(const OpenFailure& failure) {
    // A copy: the reporter may replace itself.
    if (const OpenFailureReporter reporter = m_openFailureReporter) {
        reporter(failure);
    }
}

void SidebarModel::touchClaimTTL(const Uuid& tabID) {
    Space* space = findSpace(m_activeSpaceId);
    SpaceTab* tab = space ? findTab(*space, tabID) : nullptr;
    if (!tab) {
        return;
    }
    tab->claimExpiresAt = m_clock().adding(claimTTL);
    edited(Field::spaces);
    persist();
}

void SidebarModel::bindReopened(const Uuid& spaceID,
                                const Uuid& tabID,
                                WindowID id,
                                PlacementKind kind) {
    Space* space = findSpace(spaceID);
    SpaceTab* tab = space ? findTab(*space, tabID) : nullptr;
    if (tab && boundIDsInSpace(spaceID, tabID).contains(id)) {
        // Opening a document that is already open brings back the window another tab holds;
        // two tabs on one window would fight over it.
        vornModelLog().notice(
            "activate tab (reopened) SKIPPED (already claimed in this Space) app=",
            tab->app.bundleId, " newWin=", id.raw);
    } else if (tab) {
        tab->boundWindowID = id;
        if (tab->isClaimed()) {
            tab->claimExpiresAt = m_clock().adding(claimTTL);
        }
        edited(Field::spaces);
        vornModelLog().notice("activate tab (reopened) app=", tab->app.bundleId, " newWin=", id.raw,
                              " doc=", tab->docPath.value_or("-"));
    }
    markFocused(id);
    m_manager->activate(id);
    place(id, kind);
    refresh();
}

std::unordered_set<WindowID> SidebarModel::boundIDsInSpace(const Uuid& spaceID,
                                                           const Uuid& excludingTab) const {
    std::unordered_set<WindowID> bound;
    const Space* space = findSpace(spaceID);
    if (!space) {
        return bound;
    }
    for (const auto& tab : space->tabs) {
        if (tab.id != excludingTab && tab.boundWindowID) {
            bound.insert(*tab.boundWindowID);
        }
    }
    return bound;
}

void SidebarModel::commitRebind(
    const Uuid& spaceID, const Uuid& tabID, const AppRef& app, WindowID id, PlacementKind kind) {
    {
        Space* space = findSpace(spaceID);
        if (!space || !findTab(*space, tabID)) {
            vornModelLog().notice("rebind commit aborted (tab/space gone) win=", id.raw);
            return;
        }
    }
    std::optional<WindowInfo> live;
    for (auto& window : m_manager->windows(app)) {
        if (window.windowID == id) {
            live = std::move(window);
            break;
        }
    }
    if (!live) {
        vornModelLog().notice("rebind chosen-died -> openNew win=", id.raw);
        openNewWindow(spaceID, tabID, app, kind);
        return;
    }
    if (boundIDsInSpace(spaceID, tabID).contains(id)) {
        vornModelLog().notice("rebind picked-now-bound-elsewhere -> no-op win=", id.raw);
        return;
    }
    Space* space = findSpace(spaceID);
    SpaceTab* tab = space ? findTab(*space, tabID) : nullptr;
    if (!tab) {
        vornModelLog().notice("rebind commit aborted (tab/space gone) win=", id.raw);
        return;
    }
    tab->boundWindowID = id;
    tab->lastTitle = live->title.empty() ? live->app.name : live->title;
    if (live->docPath) {
        tab->docPath = live->docPath;
    }
    if (tab->isClaimed()) {
        tab->claimExpiresAt = m_clock().adding(claimTTL);
    }
    edited(Field::spaces);
    vornModelLog().notice("rebind picked win=", id.raw, " app=", app.bundleId,
                          " space=", spaceID.string());
    markFocused(id);
    m_manager->activate(id);
    place(id, kind);
    refresh();
}

}  // namespace vorn
