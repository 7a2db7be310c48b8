#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Date.h"
#include "Models.h"
#include "Uuid.h"

namespace vorn {

// How long a claimed ("Recent") tab lives after it was claimed, last activated or re-bound.
inline constexpr double claimTTL = 86400;

// Consecutive refreshes in which a tab's bound window was missing, by tab identifier.
using AbsenceCounts = std::unordered_map<Uuid, int>;

// One space after a pass of the reducer.
struct SidebarLayout {
    std::vector<SpaceTab> tabs;       // ascending order
    std::vector<WindowInfo> ambient;  // live windows no tab holds, most recently focused first
    AbsenceCounts absenceCounts;      // only tabs that missed in this pass and are still bound

    friend bool operator==(const SidebarLayout&, const SidebarLayout&) = default;
};

// Binds one space's tabs to the live windows. Pure: no clock, no log, no state.
class SidebarReducer {
public:
    SidebarReducer() = delete;

    // One pass: keeps bindings whose window is listed under the same application or alive off
    // screen, clears a binding after `unbindAfterMisses` consecutive misses, drops claimed tabs
    // whose expiry is not later than `now`, binds unbound tabs to the only matching unbound
    // window by document path, then by normalised title, and lists the other windows in focus
    // order. A bound tab takes its window's title and document, but a pinned tab keeps its
    // document while its window shows another pinned tab's. A window's empty title counts as
    // unknown: it neither replaces a tab's title nor matches one. `live` is in the window layer's
    // order, `focusOrder` most recent first, `absenceCounts` what the previous pass of this space
    // returned, `aliveOffScreen` the bound windows that are not listed but still exist.
    static SidebarLayout reduce(std::vector<SpaceTab> tabs,
                                const std::vector<WindowInfo>& live,
                                const std::vector<WindowID>& focusOrder,
                                Date now,
                                const AbsenceCounts& absenceCounts,
                                int unbindAfterMisses,
                                const std::unordered_set<WindowID>& aliveOffScreen);

    // The comparison key of a title (see text::normalizedTitle).
    static std::string normalizedTitle(std::string_view title, std::string_view appName);

    // The first window of the focus order that is ambient or bound to one of the tabs.
    static std::optional<WindowID> activeWindowID(const std::vector<WindowInfo>& ambient,
                                                  const std::vector<SpaceTab>& tabs,
                                                  const std::vector<WindowID>& focusOrder);

    // The ambient list of a collapsed section: only the active window, when it is ambient.
    static std::vector<WindowInfo> collapsedAmbient(const std::vector<WindowInfo>& ambient,
                                                    std::optional<WindowID> activeWindowID);
};

}  // namespace vorn
