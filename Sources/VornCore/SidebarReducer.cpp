#include "SidebarReducer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>

#include "Text.h"

namespace vorn {
namespace {

// Bundle identifiers, document paths and title keys compare under canonical equivalence; their
// composed forms compare byte for byte and can be hashed.
struct MatchKey {
    std::string bundle;
    std::string value;

    friend bool operator==(const MatchKey&, const MatchKey&) = default;
};

struct MatchKeyHash {
    std::size_t operator()(const MatchKey& key) const noexcept {
        const std::size_t h = std::hash<std::string>()(key.bundle);
        return h
               ^ (std::hash<std::string>()(key.value) + 0x9e3779b97f4a7c15ULL + (h << 6)
                  + (h >> 2));
    }
};

// The windows that were unbound when the bucket was built, in live order, and how many of them
// are still unbound. A tab binds only when exactly one is.
struct Bucket {
    std::vector<const WindowInfo*> windows;
    std::size_t unbound = 0;
};

using Buckets = std::unordered_map<MatchKey, Bucket, MatchKeyHash>;

bool sameApp(const AppRef& a, const AppRef& b) {
    return text::canonicallyEqual(a.bundleId, b.bundleId);
}

// One reduce call. Every step is linear in tabs and windows: lookups go through hash tables,
// never through a scan of the other list.
class Pass {
public:
    Pass(std::vector<SpaceTab> tabs, const std::vector<WindowInfo>& live)
        : m_tabs(std::move(tabs)) {
        std::stable_sort(m_tabs.begin(), m_tabs.end(),
                         [](const SpaceTab& a, const SpaceTab& b) { return a.order < b.order; });
        m_live.reserve(live.size());
        m_liveByID.reserve(live.size());
        for (const auto& window : live) {
            // A number listed twice is one window: the first entry stands for it.
            if (m_liveByID.try_emplace(window.windowID, &window).second) {
                m_live.push_back(&window);
            }
        }
    }

    void keepOrMiss(const AbsenceCounts& priorCounts,
                    int unbindAfterMisses,
                    const std::unordered_set<WindowID>& aliveOffScreen) {
        m_held.assign(m_tabs.size(), false);
        for (std::size_t i = 0; i < m_tabs.size(); ++i) {
            SpaceTab& tab = m_tabs[i];
            if (!tab.boundWindowID) {
                continue;
            }
            const WindowID id = *tab.boundWindowID;
            const auto listed = m_liveByID.find(id);
            if (listed != m_liveByID.end() && sameApp(listed->second->app, tab.app)) {
                follow(tab, *listed->second);
                hold(i);
            } else if (aliveOffScreen.contains(id)) {
                hold(i);
            } else {
                const auto prior = priorCounts.find(tab.id);
                const int before = prior == priorCounts.end() ? 0 : prior->second;
                const int misses = before < INT_MAX ? before + 1 : before;
                if (misses >= unbindAfterMisses) {
                    tab.boundWindowID.reset();
                } else {
                    m_counts[tab.id] = misses;
                }
            }
        }
    }

    void dropExpired(Date now) {
        std::vector<SpaceTab> kept;
        std::vector<bool> held;
        kept.reserve(m_tabs.size());
        held.reserve(m_tabs.size());
        for (std::size_t i = 0; i < m_tabs.size(); ++i) {
            if (m_tabs[i].claimExpiresAt && *m_tabs[i].claimExpiresAt <= now) {
                m_counts.erase(m_tabs[i].id);
                continue;
            }
            kept.push_back(std::move(m_tabs[i]));
            held.push_back(m_held[i]);
        }
        m_tabs = std::move(kept);
        m_held = std::move(held);
        // Two tabs may hold one window; it stays bound while any remaining tab holds it.
        m_bound.clear();
        for (std::size_t i = 0; i < m_tabs.size(); ++i) {
            if (m_held[i]) {
                m_bound.insert(*m_tabs[i].boundWindowID);
            }
        }
    }

    void rebindByDocumentPath() {
        const bool anyToMatch = std::any_of(m_tabs.begin(), m_tabs.end(), [](const SpaceTab& t) {
            return !t.boundWindowID && t.docPath && !t.docPath->empty();
        });
        if (!anyToMatch) {
            return;
        }
        Buckets buckets;
        for (const WindowInfo* window : m_live) {
            if (window->docPath && !m_bound.contains(window->windowID)) {
                addTo(buckets, {text::nfc(window->app.bundleId), text::nfc(*window->docPath)},
                      window);
            }
        }
        for (SpaceTab& tab : m_tabs) {
            if (tab.boundWindowID || !tab.docPath || tab.docPath->empty()) {
                continue;
            }
            const auto found = buckets.find({text::nfc(tab.app.bundleId), text::nfc(*tab.docPath)});
            if (found == buckets.end() || found->second.unbound == 0) {
                continue;
            }
            if (found->second.unbound > 1) {
                m_ambiguous.insert(tab.id);
                continue;
            }
            bindToOnlyUnbound(tab, found->second);
        }
    }

    void rebindByTitle() {
        std::vector<std::optional<MatchKey>> tabKeys(m_tabs.size());
        std::unordered_set<std::string> bundles;
        for (std::size_t i = 0; i < m_tabs.size(); ++i) {
            const SpaceTab& tab = m_tabs[i];
            if (tab.boundWindowID || m_ambiguous.contains(tab.id)) {
                continue;
            }
            std::string key = SidebarReducer::normalizedTitle(tab.lastTitle, tab.app.name);
            if (key.empty()) {
                continue;
            }
            tabKeys[i] = MatchKey{text::nfc(tab.app.bundleId), std::move(key)};
            bundles.insert(tabKeys[i]->bundle);
        }
        if (bundles.empty()) {
            return;
        }
        // Only windows of applications with a tab to match are worth normalising.
        Buckets buckets;
        for (const WindowInfo* window : m_live) {
            // A window whose title is unknown is no evidence: its key would be the
            // application's name, which a tab of that application may carry as its title.
            if (m_bound.contains(window->windowID) || window->title.empty()) {
                continue;
            }
            std::string bundle = text::nfc(window->app.bundleId);
            if (!bundles.contains(bundle)) {
                continue;
            }
            addTo(buckets,
                  {std::move(bundle),
                   SidebarReducer::normalizedTitle(window->title, window->app.name)},
                  window);
        }
        for (std::size_t i = 0; i < m_tabs.size(); ++i) {
            if (!tabKeys[i]) {
                continue;
            }
            const auto found = buckets.find(*tabKeys[i]);
            if (found != buckets.end() && found->second.unbound == 1) {
                bindToOnlyUnbound(m_tabs[i], found->second);
            }
        }
    }

    std::vector<WindowInfo> ambient(const std::vector<WindowID>& focusOrder) const {
        std::unordered_map<WindowID, std::size_t> rank;
        rank.reserve(focusOrder.size());
        for (std::size_t i = 0; i < focusOrder.size(); ++i) {
            rank.try_emplace(focusOrder[i], i);
        }
        struct Ranked {
            std::size_t rank;
            const WindowInfo* window;
        };
        std::vector<Ranked> unbound;
        for (const WindowInfo* window : m_live) {
            if (!m_bound.contains(window->windowID)) {
                const auto found = rank.find(window->windowID);
                unbound.push_back({found == rank.end() ? SIZE_MAX : found->second, window});
            }
        }
        // Focused windows by rank, then the others in live order.
        std::stable_sort(unbound.begin(), unbound.end(),
                         [](const Ranked& a, const Ranked& b) { return a.rank < b.rank; });
        std::vector<WindowInfo> out;
        out.reserve(unbound.size());
        for (const auto& entry : unbound) {
            out.push_back(*entry.window);
        }
        return out;
    }

    std::vector<SpaceTab> takeTabs() { return std::move(m_tabs); }
    AbsenceCounts takeCounts() { return std::move(m_counts); }

private:
    void hold(std::size_t index) {
        m_held[index] = true;
        m_bound.insert(*m_tabs[index].boundWindowID);
    }

    void addTo(Buckets& buckets, MatchKey key, const WindowInfo* window) {
        Bucket& bucket = buckets[std::move(key)];
        bucket.windows.push_back(window);
        ++bucket.unbound;
    }

    // Each bucket is scanned here at most once per step, since the binding empties it.
    void bindToOnlyUnbound(SpaceTab& tab, Bucket& bucket) {
        for (const WindowInfo* window : bucket.windows) {
            if (!m_bound.contains(window->windowID)) {
                bindTab(tab, *window);
                --bucket.unbound;
                return;
            }
        }
    }

    // An empty title is unknown (a window manager between two runs lists windows without
    // one, a new window has none yet): it never replaces the title the tab was saved with.
    static void keepTitle(SpaceTab& tab, const WindowInfo& window) {
        if (!window.title.empty()) {
            tab.lastTitle = window.title;
        } else if (tab.lastTitle.empty()) {
            tab.lastTitle = window.app.name;
        }
    }

    void bindTab(SpaceTab& tab, const WindowInfo& window) {
        tab.boundWindowID = window.windowID;
        follow(tab, window);
        m_bound.insert(window.windowID);
    }

    // A bound tab takes its window's title and document, except that a pinned tab keeps its
    // document while the window shows another pinned tab's: an editor with tabs shows several
    // documents in one window, one at a time, and each pinned tab must still reopen its own.
    void follow(SpaceTab& tab, const WindowInfo& window) {
        keepTitle(tab, window);
        if (window.docPath && (tab.isClaimed() || !isOtherPinnedDocument(tab, *window.docPath))) {
            tab.docPath = window.docPath;
        }
    }

    bool isOtherPinnedDocument(const SpaceTab& tab, const std::string& document) {
        if (tab.docPath && text::canonicallyEqual(*tab.docPath, document)) {
            return false;
        }
        if (!m_pinnedDocuments) {
            // Built only when a window shows another document than its tab's, which is rare.
            m_pinnedDocuments.emplace();
            for (const SpaceTab& pinned : m_tabs) {
                if (!pinned.isClaimed() && pinned.docPath && !pinned.docPath->empty()) {
                    m_pinnedDocuments->insert(text::nfc(*pinned.docPath));
                }
            }
        }
        return m_pinnedDocuments->contains(text::nfc(document));
    }

    std::vector<SpaceTab> m_tabs;
    std::vector<bool> m_held;  // the binding was kept in this pass
    std::vector<const WindowInfo*> m_live;
    std::unordered_map<WindowID, const WindowInfo*> m_liveByID;
    std::unordered_set<WindowID> m_bound;
    std::unordered_set<Uuid> m_ambiguous;
    AbsenceCounts m_counts;
    // The documents of the pinned tabs, composed; built when first needed.
    std::optional<std::unordered_set<std::string>> m_pinnedDocuments;
};

}  // namespace

SidebarLayout SidebarReducer::reduce(std::vector<SpaceTab> tabs,
                                     const std::vector<WindowInfo>& live,
                                     const std::vector<WindowID>& focusOrder,
                                     Date now,
                                     const AbsenceCounts& absenceCounts,
                                     int unbindAfterMisses,
                                     const std::unordered_set<WindowID>& aliveOffScreen) {
    Pass pass(std::move(tabs), live);
    pass.keepOrMiss(absenceCounts, unbindAfterMisses, aliveOffScreen);
    pass.dropExpired(now);
    pass.rebindByDocumentPath();
    pass.rebindByTitle();
    SidebarLayout layout;
    layout.ambient = pass.ambient(focusOrder);
    layout.tabs = pass.takeTabs();
    layout.absenceCounts = pass.takeCounts();
    return layout;
}

std::string SidebarReducer::normalizedTitle(std::string_view title, std::string_view appName) {
    return text::normalizedTitle(title, appName);
}

std::optional<WindowID> SidebarReducer::activeWindowID(const std::vector<WindowInfo>& ambient,
                                                       const std::vector<SpaceTab>& tabs,
                                                       const std::vector<WindowID>& focusOrder) {
    std::unordered_set<WindowID> candidates;
    for (const auto& window : ambient) {
        candidates.insert(window.windowID);
    }
    for (const auto& tab : tabs) {
        if (tab.boundWindowID) {
            candidates.insert(*tab.boundWindowID);
        }
    }
    for (const WindowID id : focusOrder) {
        if (candidates.contains(id)) {
            return id;
        }
    }
    return std::nullopt;
}

std::vector<WindowInfo> SidebarReducer::collapsedAmbient(const std::vector<WindowInfo>& ambient,
                                                         std::optional<WindowID> activeWindowID) {
    std::vector<WindowInfo> out;
    if (!activeWindowID) {
        return out;
    }
    for (const auto& window : ambient) {
        if (window.windowID == *activeWindowID) {
            out.push_back(window);
        }
    }
    return out;
}

}  // namespace vorn
