#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Date.h"
#include "Executor.h"
#include "Models.h"
#include "Observation.h"
#include "PlacementEngine.h"
#include "RebindCompletion.h"
#include "RebindEngine.h"
#include "SidebarReducer.h"
#include "Store.h"
#include "Telemetry.h"
#include "Uuid.h"
#include "WindowManager.h"

namespace vorn {

// A window that an activation asked for and did not get.
struct OpenFailure {
    AppRef app;
    // The document that no window showed; none when no new window of the application came.
    std::optional<std::string> document;

    friend bool operator==(const OpenFailure&, const OpenFailure&) = default;
};

// The sidebar's state: spaces and their tabs, the active space, the ambient windows, the
// permission flag and the settings, bound to the live windows by a refresh after every window
// change and saved after every change that matters. Main thread only, except for the change
// handler it gives the window manager.
//
// Every operation that changes tabs, bindings or the shown space ends in refresh(); renaming a
// space, renewing a claim and the two settings end in a save only. Operations that open a
// window (activate(SpaceTab), an answered rebind) may run the main loop while they wait, so
// anything, the model's release included, can happen meanwhile; the model keeps itself alive
// until such an operation returns.
class SidebarModel : public std::enable_shared_from_this<SidebarModel> {
public:
    // The observable fields. Every change notifies once; a refresh or a focus report that
    // changes nothing notifies nothing.
    enum class Field {
        spaces,
        activeSpaceId,
        ambient,
        hasPermission,
        rebindPickerOpen,
        settings,
        focusOrder,
        lastSavedData,  // a new state was saved
        absenceCountsBySpace,
    };

    // Shows a request to the user and answers through the completion, now or in a later turn
    // of the main loop.
    using RebindPresenter = std::function<void(RebindRequest, RebindCompletion)>;
    // Tells the user of a failure that their activation met. Called inside the operation: it
    // may only schedule what it shows.
    using OpenFailureReporter = std::function<void(const OpenFailure&)>;

    // Loads the state, drops bindings saved in another login session (and, at the first window
    // list, those whose windows the manager does not take for the saved ones), makes "Home"
    // when there is no space, subscribes to window changes and runs the first refresh. The
    // model is the manager's owner: dropping the model stops observation, and change tasks still
    // queued on `executor` then do nothing. `manager`, `store` and `executor` must not be null;
    // the presenter and telemetry may be.
    static std::shared_ptr<SidebarModel> make(std::shared_ptr<WindowManager> manager,
                                              std::shared_ptr<Store> store,
                                              RebindPresenter rebindPresenter,
                                              std::shared_ptr<TelemetrySink> telemetry,
                                              std::shared_ptr<MainExecutor> executor,
                                              Clock clock = systemClock());

    SidebarModel(const SidebarModel&) = delete;
    SidebarModel& operator=(const SidebarModel&) = delete;
    ~SidebarModel();

    // Observers are told synchronously, inside the operation that changed the field: they may
    // read the model but must not call its operations or release it; they should schedule a
    // redraw for the next turn of the main loop.
    [[nodiscard]] Subscription observe(std::function<void(Field)> observer);

    const std::vector<Space>& spaces() const { return m_spaces; }
    const Uuid& activeSpaceId() const { return m_activeSpaceId; }
    const std::vector<WindowInfo>& ambient() const { return m_ambient; }
    bool hasPermission() const { return m_hasPermission; }
    const Settings& settings() const { return m_settings; }

    // The first space whose id is the active one; null when none is. Valid until the next
    // operation.
    const Space* activeSpace() const;
    // The active space's pinned tabs, and its claimed ("Recent") tabs, each by order (equal
    // orders keep their stored order). An expired claim stays listed until the next refresh.
    std::vector<SpaceTab> pinnedTabs() const;
    std::vector<SpaceTab> claimedTabs() const;
    // The most recently focused window that is ambient or held by a tab of the active space.
    std::optional<WindowID> activeWindowID() const;
    // The ambient list as shown: only the active window (when ambient) while collapsed.
    std::vector<WindowInfo> displayedAmbient() const;

    PlacementMode placementMode() const { return m_settings.placement; }
    // A new mode is logged, reported to telemetry and saved; it applies to the next placement.
    void setPlacementMode(PlacementMode mode);
    bool ambientCollapsed() const;
    void setAmbientCollapsed(bool collapsed);
    void toggleAmbientCollapsed();

    // Reads the permission and the window list, binds every space's tabs to the live windows
    // and saves when the state changed. Without a window list nothing is bound or counted.
    // When nothing changed since a refresh that changed nothing (the same window list, focus
    // order and tabs, no claim expired, every bound window that is not listed still alive),
    // another pass could change nothing either and is not run: an idle refresh costs the
    // window list, not the tabs.
    void refresh();

    // Makes a pinned tab of the window in the active space, unless a tab there holds it.
    void pin(WindowInfo window);
    // Brings an ambient window forward, places it, and claims it as a Recent tab.
    void activate(WindowInfo ambient);
    // Brings the tab's window forward and places it; when the window is gone, reopens the
    // tab's document, offers the application's other windows to the presenter, or opens a new
    // window, and binds the tab to the window it gets. A document that the application was
    // handed but no window shows gets no other window. Failures go to the reporter. May run the
    // main loop.
    void activate(SpaceTab tab);
    // Deletes the tab with this id from the active space.
    void remove(SpaceTab tab);
    // Makes the active space's tab with this id pinned, last among the pinned tabs.
    void promote(SpaceTab tab);

    // Appends and shows a space named "New Space"; returns its id.
    Uuid createSpace();
    // A name blank after trimming is ignored.
    void renameSpace(Uuid id, std::string_view name);
    // False, with a log line, for the last space or an unknown id. Deleting the active space
    // shows the nearest space before it by order, else the first.
    bool deleteSpace(Uuid id);
    void switchSpace(Uuid id);
    // Shows the system's prompt; the permission flag follows at the next refresh.
    void requestPermission();
    // Replaces the reporter of failed activations; none reports nothing.
    void setOpenFailureReporter(OpenFailureReporter reporter) {
        m_openFailureReporter = std::move(reporter);
    }

    // Retires the model before another one takes over its store: the window manager stops
    // watching, and from now on the model neither refreshes nor saves. An operation still
    // waiting for a window may outlive the release and finish later; it must not overwrite
    // what the new model saved meanwhile.
    void stop();

private:
    SidebarModel(std::shared_ptr<WindowManager> manager,
                 std::shared_ptr<Store> store,
                 RebindPresenter rebindPresenter,
                 std::shared_ptr<TelemetrySink> telemetry,
                 std::shared_ptr<MainExecutor> executor,
                 Clock clock);

    void start();
    void handleChange(WindowChange change);
    void markFocused(WindowID id);
    // Drops from the focus order the windows that are gone, and those whose number now shows
    // another application's window. True while a window focused before it was listed is given
    // refreshes to appear.
    bool forgetGoneFocus(const std::vector<WindowInfo>& windows);
    // Saves the state when it differs from the last one saved; returns whether what is saved
    // now matches the model (false when the save failed or the model is stopped).
    bool persist();
    // Tells the window manager that its ticks are wanted again, when it was told they were not.
    void wantTicks();
    // Tells the window manager that ticks with no news change nothing until the time, if any.
    void restTicks(const std::optional<Date>& until);
    bool matchesSavedState() const;
    // Whether the last refresh settled and nothing it depended on changed since.
    bool stillSettled(const std::vector<WindowInfo>& windows);
    // After a refresh that listed the windows: whether a tick with the same windows would
    // change anything and from when on, and, when the refresh changed nothing and saved what
    // it had (repeatable), what it was given, so that the same again is skipped.
    void settle(const std::vector<WindowInfo>& windows,
                const std::unordered_set<WindowID>& aliveOffScreen,
                bool repeatable,
                bool focusGraceRunning);
    // Once there is a window list: unbinds the tabs whose saved window numbers may now name
    // other windows (numbers are reused within a session).
    void verifySavedBindings();

    // Stores the value; notifies only when it differs from the current one.
    template <typename T>
    void assign(T& field, T value, Field which);
    void edited(Field which);

    Space* findSpace(const Uuid& id);
    const Space* findSpace(const Uuid& id) const;
    static SpaceTab* findTab(Space& space, const Uuid& id);

    void addTab(const WindowInfo& window, bool claimed);
    static std::int64_t nextOrder(const std::vector<SpaceTab>& tabs, bool claimed);

    void place(WindowID id, PlacementKind kind);
    void touchClaimTTL(const Uuid& tabID);
    // Whether the window is ambient or bound to another tab of the active space.
    bool isHeldElsewhere(WindowID id, const Uuid& tabID) const;
    void bindReopened(const Uuid& spaceID, const Uuid& tabID, WindowID id, PlacementKind kind);
    std::unordered_set<WindowID> boundIDsInSpace(const Uuid& spaceID,
                                                 const Uuid& excludingTab) const;
    void commitRebind(
        const Uuid& spaceID, const Uuid& tabID, const AppRef& app, WindowID id, PlacementKind kind);
    void openNewWindow(const Uuid& spaceID, const Uuid& tabID, AppRef app, PlacementKind kind);
    void reportOpenFailure(const OpenFailure& failure);
    RebindCompletion makeCompletion(const Uuid& spaceID,
                                    const Uuid& tabID,
                                    const AppRef& app,
                                    PlacementKind kind);
    void answerRebind(RebindChoice choice,
                      const Uuid& spaceID,
                      const Uuid& tabID,
                      const AppRef& app,
                      PlacementKind kind);

    std::vector<Space> m_spaces;
    Uuid m_activeSpaceId;
    std::vector<WindowInfo> m_ambient;
    bool m_hasPermission = false;
    std::shared_ptr<WindowManager> m_manager;
    std::shared_ptr<Store> m_store;
    RebindPresenter m_rebindPresenter;
    OpenFailureReporter m_openFailureReporter;
    bool m_rebindPickerOpen = false;
    Settings m_settings;
    std::vector<WindowID> m_focusOrder;  // most recent first; only windows seen lately
    // What the last refreshes saw of each window of the focus order.
    struct FocusSighting {
        bool listed = false;   // listed since it was focused
        std::string bundleId;  // its application when last listed
        int unlisted = 0;      // refreshes since it was focused that did not list it
    };
    std::unordered_map<WindowID, FocusSighting> m_focusSightings;
    std::unordered_map<Uuid, AbsenceCounts> m_absenceCountsBySpace;
    std::string m_sessionToken;
    // Bindings loaded with a matching token wait to be checked; when the state was saved.
    bool m_verifyBindings = false;
    std::optional<Date> m_savedAt;
    std::shared_ptr<TelemetrySink> m_telemetry;
    std::shared_ptr<MainExecutor> m_executor;
    Clock m_clock;
    // Whether a refresh with the windows unchanged would change nothing, as the last refresh
    // left the model, and until when: then a poll tick that brings no news is not even posted.
    // Written on the main thread, read by the change handler on any.
    struct Settled {
        std::atomic<bool> nothingDue{false};
        // The earliest expiry of a claim, in seconds since the reference date.
        std::atomic<double> until{std::numeric_limits<double>::infinity()};
    };
    std::shared_ptr<Settled> m_settled = std::make_shared<Settled>();
    // The window manager was told that ticks bring nothing for now. Main thread.
    bool m_ticksQuiet = false;
    // The state last handed to the store and saved; a refresh that changed nothing compares
    // equal to it.
    std::optional<AppState> m_savedState;
    // A save has succeeded; from then on edits made while no window list is available are
    // saved too.
    bool m_hasSaved = false;
    bool m_stopped = false;
    // Grows with every change of an observable field.
    std::uint64_t m_changes = 0;
    // What the last refresh that changed nothing was given.
    struct SettledRefresh {
        std::uint64_t changes = 0;
        std::vector<WindowInfo> windows;
        // Bound windows that were not listed but alive (minimised, on another desktop).
        std::vector<WindowID> aliveOffScreen;
        // The earliest claim expiry of any tab.
        std::optional<Date> nextExpiry;
    };
    std::optional<SettledRefresh> m_settledRefresh;
    ObservationRegistry<Field> m_observers;
};

template <typename T>
void SidebarModel::assign(T& field, T value, Field which) {
    // Equal values may still differ in form (canonically equivalent text), so store anyway.
    const bool changed = !(field == value);
    field = std::move(value);
    if (changed) {
        edited(which);
    }
}

}  // namespace vorn
