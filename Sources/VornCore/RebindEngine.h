#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "Models.h"

namespace vorn {

// What the sidebar model hands to the rebind presenter when a tab's window is gone: the window
// the user knows by `lastTitle` and the application's windows that may take its place.
class RebindRequest {
public:
    RebindRequest(std::string appName, std::string lastTitle, std::vector<WindowInfo> candidates)
        : m_appName(std::move(appName))
        , m_lastTitle(std::move(lastTitle))
        , m_candidates(std::move(candidates)) {}

    const std::string& appName() const { return m_appName; }
    const std::string& lastTitle() const { return m_lastTitle; }
    const std::vector<WindowInfo>& candidates() const { return m_candidates; }

    // Texts compare under canonical equivalence; candidates position by position.
    friend bool operator==(const RebindRequest& a, const RebindRequest& b);

private:
    std::string m_appName;
    std::string m_lastTitle;
    std::vector<WindowInfo> m_candidates;
};

// The presenter's one answer to a request.
class RebindChoice {
public:
    enum class Kind {
        pick,     // bind the tab to window(), one of the request's candidates
        openNew,  // open a new window of the application and bind the tab to it
        cancel,   // leave the tab unbound
    };

    static RebindChoice pick(WindowID window) { return RebindChoice(Kind::pick, window); }
    static RebindChoice openNew() { return RebindChoice(Kind::openNew, WindowID()); }
    static RebindChoice cancel() { return RebindChoice(Kind::cancel, WindowID()); }

    Kind kind() const { return m_kind; }
    // Meaningful for pick only.
    WindowID window() const { return m_window; }

    friend bool operator==(const RebindChoice&, const RebindChoice&) = default;

private:
    RebindChoice(Kind kind, WindowID window)
        : m_kind(kind)
        , m_window(window) {}

    Kind m_kind;
    WindowID m_window;
};

// The same decision as a value: offer these windows, or open a new one.
class ReopenAction {
public:
    enum class Kind {
        rebind,
        openNew,
    };

    static ReopenAction rebind(std::vector<WindowInfo> candidates) {
        return ReopenAction(Kind::rebind, std::move(candidates));
    }
    static ReopenAction openNew() { return ReopenAction(Kind::openNew, {}); }

    Kind kind() const { return m_kind; }
    const std::vector<WindowInfo>& candidates() const { return m_candidates; }

    friend bool operator==(const ReopenAction&, const ReopenAction&) = default;

private:
    ReopenAction(Kind kind, std::vector<WindowInfo> candidates)
        : m_kind(kind)
        , m_candidates(std::move(candidates)) {}

    Kind m_kind;
    std::vector<WindowInfo> m_candidates;
};

// The windows of the tab's application (by bundle identifier, not by name) whose number is not
// in `claimedInSpace`, in input order; nothing is sorted or de-duplicated.
std::vector<WindowInfo> rebindCandidates(const SpaceTab& tab,
                                         const std::vector<WindowInfo>& windows,
                                         const std::unordered_set<WindowID>& claimedInSpace);

// rebind with the candidates when there are any, else openNew.
ReopenAction reopenAction(std::vector<WindowInfo> candidates);

}  // namespace vorn
