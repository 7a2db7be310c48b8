#include "SidebarModel.h"

#include <algorithm>
#include <map>
#include <utility>

#include "Log.h"

namespace vorn {
namespace {

// How many refreshes a focused window that was never listed keeps its rank: a new window is
// often reported focused before the window manager lists it.
constexpr int focusGraceRefreshes = 8;

}  // namespace

std::shared_ptr<SidebarModel> SidebarModel::make(std::shared_ptr<WindowManager> manager,
                                                 std::shared_ptr<Store> store,
                                                 RebindPresenter rebindPresenter,
                                                 std::shared_ptr<TelemetrySink> telemetry,
                                                 std::shared_ptr<MainExecutor> executor,
                                                 Clock clock) {
    // Not make_shared: the constructor is private. start() needs the shared owner to exist,
    // since the change handler holds the model weakly.
    std::shared_ptr<SidebarModel> model(
        new SidebarModel(std::move(manager), std::move(store), std::move(rebindPresenter),
                         std::move(telemetry), std::move(executor), std::move(clock)));
    model->start();
    return model;
}

SidebarModel::SidebarModel(std::shared_ptr<WindowManager> manager,
                           std::shared_ptr<Store> store,
                           RebindPresenter rebindPresenter,
                           std::shared_ptr<TelemetrySink> telemetry,
                           std::shared_ptr<MainExecutor> executor,
                           Clock clock)
    : m_activeSpaceId(Uuid::random())
    , m_manager(std::move(manager))
    , m_store(std::move(store))
    , m_rebindPresenter(std::move(rebindPresenter))
    , m_telemetry(std::move(telemetry))
    , m_executor(std::move(executor))
    , m_clock(clock ? std::move(clock) : systemClock()) {}

SidebarModel::~SidebarModel() = default;

void SidebarModel::start() {
    AppState state = m_store->load();
    m_settings = state.settings;
    m_hasPermission = m_manager->hasAccessibilityPermission();
    m_sessionToken = m_manager->currentSessionToken();

    // Window numbers mean nothing in another login session.
    const bool tokenMatch = state.sessionToken && *state.sessionToken == m_sessionToken;
    long droppedHints = 0;
    if (!tokenMatch) {
        for (auto& space : state.spaces) {
            for (auto& tab : space.tabs) {
                if (tab.boundWindowID) {
                    tab.boundWindowID.reset();
                    ++droppedHints;
                }
            }
        }
    } else {
        m_verifyBindings = true;
        m_savedAt = m_store->savedAt();
    }
    if (state.spaces.empty()) {
        state.spaces.push_back(Space{Uuid::random(), "Home", 0, {}, false});
    }
    m_spaces = std::move(state.spaces);

    if (state.activeSpaceId && findSpace(*state.activeSpaceId)) {
        m_activeSpaceId = *state.activeSpaceId;
    } else {
        const auto lowest =
            std::min_element(m_spaces.begin(), m_spaces.end(),
                             [](const Space& a, const Space& b) { return a.order < b.order; });
        m_activeSpaceId = lowest->id;
    }

    vornModelLog().notice(
        "init spaces=", m_spaces.size(), " activeSpaceId=", m_activeSpaceId.string(),
        " perm=", boolText(m_hasPermission), " tokenMatch=", boolText(tokenMatch),
        " droppedHints=", droppedHints, " persistedToken=", state.sessionToken.value_or("nil"),
        " currentToken=", m_sessionToken);

    // Called on any thread: it touches nothing but the executor, and the task finds the model
    // only if it still exists when the task runs.
    std::weak_ptr<SidebarModel> weak = weak_from_this();
    std::shared_ptr<MainExecutor> executor = m_executor;
    m_manager->observe([weak, executor, settled = m_settled, clock = m_clock](WindowChange change) {
        // A tick that brings no news costs nothing while no miss, expiry or save waits for one.
        if (change.kind == WindowChange::Kind::unchanged && settled->nothingDue.load()
            && clock().secondsSinceReference() < settled->until.load()) {
            return;
        }
        executor->post([weak, change] {
            if (const auto model = weak.lock()) {
                model->handleChange(change);
            }
        });
    });
    // Focus reports tell only of changes: the window that has the keyboard already would have
    // no rank until the focus moves.
    if (const auto focused = m_manager->focusedWindow()) {
        markFocused(*focused);
    }
    refresh();
}

void SidebarModel::verifySavedBindings() {
    if (!std::exchange(m_verifyBindings, false)) {
        return;
    }
    // One question per window and application: tabs of several spaces may hold one window.
    std::map<std::pair<WindowID, std::string>, bool> trusted;
    long kept = 0;
    long dropped = 0;
    for (auto& space : m_spaces) {
        for (auto& tab : space.tabs) {
            if (!tab.boundWindowID) {
                continue;
            }
            const auto [answer, added] =
                trusted.try_emplace({*tab.boundWindowID, tab.app.bundleId}, false);
            if (added) {
                answer->second =
                    m_manager->mayBeSavedWindow(*tab.boundWindowID, tab.app, m_savedAt);
            }
            if (answer->second) {
                ++kept;
                continue;
            }
            vornModelLog().debug("saved binding not trusted app=", tab.app.bundleId,
                                 " win=", tab.boundWindowID->raw);
            tab.boundWindowID.reset();
            ++dropped;
        }
    }
    if (dropped > 0) {
        edited(Field::spaces);
    }
    if (kept + dropped > 0) {
        vornModelLog().notice("saved bindings checked kept=", kept, " dropped=", dropped);
    }
}

void SidebarModel::handleChange(WindowChange change) {
    if (change.kind == WindowChange::Kind::focused) {
        markFocused(change.window);
    }
    refresh();
}

Subscription SidebarModel::observe(std::function<void(Field)> observer) {
    return m_observers.observe(std::move(observer));
}

void SidebarModel::edited(Field which) {
    // Any change makes the next tick refresh, which then tells whether anything is due.
    ++m_changes;
    m_settled->nothingDue.store(false);
    wantTicks();
    m_observers.notify(which);
}

void SidebarModel::wantTicks() {
    if (std::exchange(m_ticksQuiet, false)) {
        m_manager->setQuietTicks(std::nullopt);
    }
}

void SidebarModel::restTicks(const std::optional<Date>& until) {
    m_ticksQuiet = true;
    m_manager->setQuietTicks(until ? until->secondsSinceReference()
                                         - m_clock().secondsSinceReference()
                                   : std::numeric_limits<double>::infinity());
}

void SidebarModel::markFocused(WindowID id) {
    // The order holds each window once: a window already in front changes nothing.
    if (!m_focusOrder.empty() && m_focusOrder.front() == id) {
        return;
    }
    std::erase(m_focusOrder, id);
    m_focusOrder.insert(m_focusOrder.begin(), id);
    m_focusSightings[id].unlisted = 0;
    edited(Field::focusOrder);
}

bool SidebarModel::forgetGoneFocus(const std::vector<WindowInfo>& windows) {
    if (m_focusOrder.empty()) {
        return false;
    }
    std::unordered_map<WindowID, const WindowInfo*> listed;
    listed.reserve(windows.size());
    for (const auto& window : windows) {
        listed.try_emplace(window.windowID, &window);
    }
    std::unordered_set<WindowID> bound;
    for (const auto& space : m_spaces) {
        for (const auto& tab : space.tabs) {
            if (tab.boundWindowID) {
                bound.insert(*tab.boundWindowID);
            }
        }
    }
    const std::size_t before = m_focusOrder.size();
    bool graceRunning = false;
    std::erase_if(m_focusOrder, [&](WindowID id) {
        FocusSighting& seen = m_focusSightings[id];
        bool keep = true;
        if (const auto found = listed.find(id); found != listed.end()) {
            // Window numbers are reused: another application's window under a number that
            // was listed before is a new window, and it starts without a rank.
            const std::string& bundleId = found->second->app.bundleId;
            keep = !seen.listed || seen.bundleId == bundleId;
            seen = FocusSighting{true, bundleId, 0};
        } else if (!bound.contains(id)) {
            // Gone, or elsewhere (minimised, another desktop), where its rank means nothing; a
            // number listed again later may be another window. A window focused before it was
            // ever listed (a new one) is given a few refreshes to appear.
            keep = !seen.listed && ++seen.unlisted <= focusGraceRefreshes;
            graceRunning = graceRunning || keep;
        }
        if (!keep) {
            m_focusSightings.erase(id);
        }
        return !keep;
    });
    if (m_focusOrder.size() != before) {
        edited(Field::focusOrder);
    }
    return graceRunning;
}

Space* SidebarModel::findSpace(const Uuid& id) {
    const auto it = std::find_if(m_spaces.begin(), m_spaces.end(),
                                 [&](const Space& space) { return space.id == id; });
    return it == m_spaces.end() ? nullptr : &*it;
}

const Space* SidebarModel::findSpace(const Uuid& id) const {
    return const_cast<SidebarModel*>(this)->findSpace(id);
}

SpaceTab* SidebarModel::findTab(Space& space, const Uuid& id) {
    const auto it = std::find_if(space.tabs.begin(), space.tabs.end(),
                                 [&](const SpaceTab& tab) { return tab.id == id; });
    return it == space.tabs.end() ? nullptr : &*it;
}

const Space* SidebarModel::activeSpace() const {
    return findSpace(m_activeSpaceId);
}

namespace {

std::vector<SpaceTab> tabsOfKind(const Space* space, bool claimed) {
    std::vector<SpaceTab> out;
    if (!space) {
        return out;
    }
    for (const auto& tab : space->tabs) {
        if (tab.isClaimed() == claimed) {
            out.push_back(tab);
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const SpaceTab& a, const SpaceTab& b) { return a.order < b.order; });
    return out;
}

}  // namespace

std::vector<SpaceTab> SidebarModel::pinnedTabs() const {
    return tabsOfKind(activeSpace(), false);
}

std::vector<SpaceTab> SidebarModel::claimedTabs() const {
    return tabsOfKind(activeSpace(), true);
}

std::optional<WindowID> SidebarModel::activeWindowID() const {
    const Space* space = activeSpace();
    static const std::vector<SpaceTab> none;
    return SidebarReducer::activeWindowID(m_ambient, space ? space->tabs : none, m_focusOrder);
}

std::vector<WindowInfo> SidebarModel::displayedAmbient() const {
    const Space* space = activeSpace();
    if (space && space->ambientCollapsed) {
        return SidebarReducer::collapsedAmbient(m_ambient, activeWindowID());
    }
    return m_ambient;
}

void SidebarModel::setPlacementMode(PlacementMode mode) {
    if (mode == m_settings.placement) {
        return;
    }
    Settings settings = m_settings;
    settings.placement = mode;
    assign(m_settings, settings, Field::settings);
    vornModelLog().notice("placementMode -> ", rawValue(mode));
    if (m_telemetry) {
        m_telemetry->send(TelemetryEvent::placementApplied(mode));
    }
    persist();
}

bool SidebarModel::ambientCollapsed() const {
    const Space* space = activeSpace();
    return space && space->ambientCollapsed;
}

void SidebarModel::setAmbientCollapsed(bool collapsed) {
    Space* space = findSpace(m_activeSpaceId);
    if (!space || space->ambientCollapsed == collapsed) {
        return;
    }
    space->ambientCollapsed = collapsed;
    edited(Field::spaces);
    vornModelLog().notice("ambientCollapsed -> ", boolText(collapsed),
                          " space=", m_activeSpaceId.string());
    persist();
}

void SidebarModel::toggleAmbientCollapsed() {
    setAmbientCollapsed(!ambientCollapsed());
}

bool SidebarModel::matchesSavedState() const {
    if (!m_savedState) {
        return false;
    }
    const AppState& saved = *m_savedState;
    return saved.activeSpaceId == m_activeSpaceId && saved.sessionToken == m_sessionToken
           && identical(saved.settings, m_settings)
           && std::equal(saved.spaces.begin(), saved.spaces.end(), m_spaces.begin(), m_spaces.end(),
                         [](const Space& a, const Space& b) { return identical(a, b); });
}

void SidebarModel::stop() {
    if (m_stopped) {
        return;
    }
    m_stopped = true;
    m_manager->stopObserving();
    vornModelLog().debug("model stopped");
}

bool SidebarModel::persist() {
    if (m_stopped) {
        return false;
    }
    // Routine refreshes after every focus change and poll tick change nothing: settle those
    // without encoding anything.
    if (matchesSavedState()) {
        return true;
    }
    AppState state;
    state.version = AppState::currentVersion;
    state.spaces = m_spaces;
    state.activeSpaceId = m_activeSpaceId;
    state.settings = m_settings;
    state.sessionToken = m_sessionToken;
    // Two states that are not identical never encode alike, so the comparison above is the whole
    // test: an encoding made only to compare would cost as much as the save itself. A failed
    // save is not remembered, so the next refresh offers the state again. The store logs its own
    // failures.
    if (!m_store->save(state)) {
        return false;
    }
    m_hasSaved = true;
    m_savedState = std::move(state);
    edited(Field::lastSavedData);
    return true;
}

bool SidebarModel::stillSettled(const std::vector<WindowInfo>& windows) {
    if (!m_settledRefresh || m_settledRefresh->changes != m_changes) {
        return false;
    }
    const SettledRefresh& settled = *m_settledRefresh;
    if (settled.nextExpiry && *settled.nextExpiry <= m_clock()) {
        return false;
    }
    if (!std::equal(windows.begin(), windows.end(), settled.windows.begin(), settled.windows.end(),
                    [](const WindowInfo& a, const WindowInfo& b) { return identical(a, b); })) {
        return false;
    }
    return std::all_of(settled.aliveOffScreen.begin(), settled.aliveOffScreen.end(),
                       [&](WindowID id) { return m_manager->isAlive(id); });
}

void SidebarModel::settle(const std::vector<WindowInfo>& windows,
                          const std::unordered_set<WindowID>& aliveOffScreen,
                          bool repeatable,
                          bool focusGraceRunning) {
    std::optional<Date> nextExpiry;
    for (const auto& space : m_spaces) {
        for (const auto& tab : space.tabs) {
            if (tab.claimExpiresAt && (!nextExpiry || *tab.claimExpiresAt < *nextExpiry)) {
                nextExpiry = tab.claimExpiresAt;
            }
        }
    }
    bool due = focusGraceRunning || !matchesSavedState();
    for (const auto& [space, counts] : m_absenceCountsBySpace) {
        due = due || !counts.empty();
    }
    m_settled->until.store(nextExpiry ? nextExpiry->secondsSinceReference()
                                      : std::numeric_limits<double>::infinity());
    m_settled->nothingDue.store(!due);
    if (due) {
        wantTicks();
    } else {
        restTicks(nextExpiry);
    }
    if (repeatable) {
        m_settledRefresh = SettledRefresh{
            m_changes, windows, {aliveOffScreen.begin(), aliveOffScreen.end()}, nextExpiry};
    }
}

void SidebarModel::refresh() {
    if (m_stopped) {
        return;
    }
    assign(m_hasPermission, m_manager->hasAccessibilityPermission(), Field::hasPermission);

    const std::optional<std::vector<WindowInfo>> windows = m_manager->listWindows();
    if (!windows) {
        m_settled->nothingDue.store(false);
        vornModelLog().debug(
            "refresh skipped: window enumeration unavailable (locked / no session)");
        wantTicks();
        // A locked screen is no miss, so bindings stay as they are; but an edit made meanwhile
        // must not be lost. A model that has never saved writes nothing before it has seen the
        // windows.
        if (m_hasSaved) {
            persist();
        }
        return;
    }
    // The same windows as a refresh that changed nothing, and no edit since: nothing to do, and
    // the poll may rest again as that refresh let it (a notification woke it to get here).
    if (stillSettled(*windows)) {
        if (m_settled->nothingDue.load()) {
            restTicks(m_settledRefresh->nextExpiry);
        }
        return;
    }
    m_settledRefresh.reset();
    m_settled->nothingDue.store(false);
    const std::uint64_t changesBefore = m_changes;

    verifySavedBindings();
    const bool focusGraceRunning = forgetGoneFocus(*windows);

    std::unordered_set<WindowID> live;
    live.reserve(windows->size());
    for (const auto& window : *windows) {
        live.insert(window.windowID);
    }
    std::unordered_set<WindowID> aliveOffScreen;
    std::unordered_set<WindowID> asked;
    for (const auto& space : m_spaces) {
        for (const auto& tab : space.tabs) {
            if (tab.boundWindowID && !live.contains(*tab.boundWindowID)
                && asked.insert(*tab.boundWindowID).second
                && m_manager->isAlive(*tab.boundWindowID)) {
                aliveOffScreen.insert(*tab.boundWindowID);
            }
        }
    }

    const Date now = m_clock();
    const std::size_t count = m_spaces.size();
    for (std::size_t i = 0; i < count && i < m_spaces.size(); ++i) {
        const Uuid spaceID = m_spaces[i].id;
        static const AbsenceCounts noCounts;
        const auto counts = m_absenceCountsBySpace.find(spaceID);
        // Kept to tell whether the pass changed anything: most refreshes change nothing, and
        // then nobody is told.
        const std::vector<SpaceTab> before = m_spaces[i].tabs;
        SidebarLayout layout = SidebarReducer::reduce(
            std::move(m_spaces[i].tabs), *windows, m_focusOrder, now,
            counts == m_absenceCountsBySpace.end() ? noCounts : counts->second, 2, aliveOffScreen);

        // The pass sorts the tabs, so the old bindings are looked up by id; a space may hold
        // any number of tabs, and a search of the old list for each would be quadratic.
        std::unordered_map<Uuid, WindowID> wasBound;
        for (const auto& tab : before) {
            if (tab.boundWindowID) {
                wasBound.try_emplace(tab.id, *tab.boundWindowID);
            }
        }
        for (const auto& tab : layout.tabs) {
            const auto was = tab.boundWindowID ? wasBound.end() : wasBound.find(tab.id);
            if (was == wasBound.end()) {
                continue;
            }
            const WindowID old = was->second;
            vornModelLog().notice("binding CLEARED space=", spaceID.string(),
                                  " app=", tab.app.bundleId, " oldWin=", old.raw,
                                  " stillAlive=", boolText(m_manager->isAlive(old)),
                                  " doc=", tab.docPath.value_or("-"));
        }
        const bool tabsChanged =
            !std::equal(before.begin(), before.end(), layout.tabs.begin(), layout.tabs.end(),
                        [](const SpaceTab& a, const SpaceTab& b) { return identical(a, b); });
        m_spaces[i].tabs = std::move(layout.tabs);
        if (tabsChanged) {
            edited(Field::spaces);
        }
        auto [slot, added] = m_absenceCountsBySpace.try_emplace(spaceID);
        if (added || !(slot->second == layout.absenceCounts)) {
            slot->second = std::move(layout.absenceCounts);
            edited(Field::absenceCountsBySpace);
        }
        if (spaceID == m_activeSpaceId) {
            assign(m_ambient, std::move(layout.ambient), Field::ambient);
        }
    }

    long pinned = 0;
    long claimed = 0;
    if (const Space* space = activeSpace()) {
        for (const auto& tab : space->tabs) {
            ++(tab.isClaimed() ? claimed : pinned);
        }
    }
    vornModelLog().debug("refresh spaces=", m_spaces.size(), " ambient=", m_ambient.size(),
                         " pinned=", pinned, " claimed=", claimed,
                         " perm=", boolText(m_hasPermission));
    const bool saved = persist();
    settle(*windows, aliveOffScreen, saved && m_changes == changesBefore && !focusGraceRunning,
           focusGraceRunning);
}

}  // namespace vorn
