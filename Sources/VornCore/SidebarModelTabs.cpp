#include <algorithm>
#include <limits>

#include "Log.h"
#include "SidebarModel.h"

namespace vorn {

std::int64_t SidebarModel::nextOrder(const std::vector<SpaceTab>& tabs, bool claimed) {
    std::optional<std::int64_t> largest;
    for (const auto& tab : tabs) {
        if (tab.isClaimed() == claimed && (!largest || tab.order > *largest)) {
            largest = tab.order;
        }
    }
    if (!largest) {
        return 0;
    }
    // Only a hand-edited file reaches the top; the new tab then shares the largest order.
    return *largest == std::numeric_limits<std::int64_t>::max() ? *largest : *largest + 1;
}

void SidebarModel::addTab(const WindowInfo& window, bool claimed) {
    Space* space = findSpace(m_activeSpaceId);
    if (!space) {
        return;
    }
    const char* const verb = claimed ? "claim" : "pin";
    const bool held = std::any_of(space->tabs.begin(), space->tabs.end(), [&](const SpaceTab& t) {
        return t.boundWindowID == window.windowID;
    });
    if (held) {
        vornModelLog().notice(verb,
                              " SKIPPED (already claimed in this Space) app=", window.app.bundleId,
                              " win=", window.windowID.raw);
        return;
    }
    SpaceTab tab;
    tab.id = Uuid::random();
    tab.app = window.app;
    tab.lastTitle = window.title.empty() ? window.app.name : window.title;
    tab.order = nextOrder(space->tabs, claimed);
    tab.docPath = window.docPath;
    tab.boundWindowID = window.windowID;
    if (claimed) {
        tab.claimExpiresAt = m_clock().adding(claimTTL);
    }
    space->tabs.push_back(std::move(tab));
    edited(Field::spaces);
    vornModelLog().notice(verb, " app=", window.app.bundleId, " win=", window.windowID.raw,
                          " space=", m_activeSpaceId.string());
    refresh();
}

void SidebarModel::pin(WindowInfo window) {
    addTab(window, false);
}

void SidebarModel::activate(WindowInfo ambient) {
    const WindowID id = ambient.windowID;
    vornModelLog().notice("activate ambient app=", ambient.app.bundleId, " win=", id.raw);
    markFocused(id);
    m_manager->activate(id);
    place(id, PlacementKind::recent);
    addTab(ambient, true);
}

void SidebarModel::remove(SpaceTab tab) {
    Space* space = findSpace(m_activeSpaceId);
    if (!space) {
        return;
    }
    vornModelLog().notice("remove app=", tab.app.bundleId, " id=", tab.id.string(),
                          " claimed=", boolText(tab.isClaimed()));
    std::erase_if(space->tabs, [&](const SpaceTab& t) { return t.id == tab.id; });
    edited(Field::spaces);
    refresh();
}

void SidebarModel::promote(SpaceTab tab) {
    Space* space = findSpace(m_activeSpaceId);
    if (!space) {
        return;
    }
    SpaceTab* stored = findTab(*space, tab.id);
    if (!stored) {
        return;
    }
    stored->claimExpiresAt.reset();
    edited(Field::spaces);
    // The tab is pinned by now, so its own order takes part in the largest.
    stored->order = nextOrder(space->tabs, false);
    edited(Field::spaces);
    vornModelLog().notice("promote id=", tab.id.string(), " -> pinned");
    refresh();
}

}  // namespace vorn
