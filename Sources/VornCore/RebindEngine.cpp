#include "RebindEngine.h"

#include "Text.h"

namespace vorn {

bool operator==(const RebindRequest& a, const RebindRequest& b) {
    return text::canonicallyEqual(a.m_appName, b.m_appName)
           && text::canonicallyEqual(a.m_lastTitle, b.m_lastTitle)
           && a.m_candidates == b.m_candidates;
}

std::vector<WindowInfo> rebindCandidates(const SpaceTab& tab,
                                         const std::vector<WindowInfo>& windows,
                                         const std::unordered_set<WindowID>& claimedInSpace) {
    std::vector<WindowInfo> out;
    for (const auto& window : windows) {
        if (text::canonicallyEqual(window.app.bundleId, tab.app.bundleId)
            && !claimedInSpace.contains(window.windowID)) {
            out.push_back(window);
        }
    }
    return out;
}

ReopenAction reopenAction(std::vector<WindowInfo> candidates) {
    if (candidates.empty()) {
        return ReopenAction::openNew();
    }
    return ReopenAction::rebind(std::move(candidates));
}

}  // namespace vorn
