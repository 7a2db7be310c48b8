// The sidebar following the displays, on the simulated desktop and its virtual clock: the real
// delegate, panel, chooser and rebind picker; scripted window managers and recorded calls.

#include <memory>
#include <string>
#include <vector>

#include <QtTest>

#include "AppDelegate.h"
#include "CapturingLogSink.h"
#include "ManualExecutor.h"
#include "PlatformBackend.h"
#include "ScreenEvents.h"
#include "SimulatedBackend.h"
#include "TempDir.h"

namespace vorn::app {
namespace {

using Calls = std::vector<std::string>;
using platform::DisplayNames;
using namespace std::chrono_literals;

// The real panel, with its closing and re-laying recorded.
class RecordingPanel final : public SidebarPanelHost {
public:
    RecordingPanel(const PanelRequest& request, Calls& calls)
        : m_real(defaultPanelFactory()(request))
        , m_calls(calls)
        , m_display(std::to_string(request.displayID)) {}

    bool isVisible() const override { return m_real->isVisible(); }
    void orderFront() override { m_real->orderFront(); }
    void orderOut() override { m_real->orderOut(); }
    void repositionFlushLeft() override {
        m_calls.push_back("reposition display=" + m_display);
        m_real->repositionFlushLeft();
    }
    void close() override {
        m_calls.push_back("panel.close display=" + m_display);
        m_real->close();
    }

private:
    std::unique_ptr<SidebarPanelHost> m_real;
    Calls& m_calls;
    std::string m_display;
};

class RecordingSettings final : public SettingsWindow {
public:
    explicit RecordingSettings(Calls& calls)
        : m_calls(calls) {}
    void show() override {}
    void close() override { m_calls.push_back("settings.close"); }

private:
    Calls& m_calls;
};

// One display, "Built-in" (number 1), plugged into HDMI-1; the program on it with the services
// of this build, consent refused.
struct Desk {
    test::TempDir dir;
    test::SimulatedBackend backend;
    ScreenEvents events;
    test::CapturingLogSink logs;
    Calls calls;
    std::vector<std::shared_ptr<test::ScriptedWindowManager>> managers;
    std::function<void(test::ScriptedWindowManager&)> prepareManager;
    std::unique_ptr<AppDelegate> app;

    Desk() { desktop().display(1)->names = DisplayNames{"HDMI-1", "HDMI-1"}; }

    platform::sim::SimulatedDesktop& desktop() { return backend.world.desktop; }
    platform::sim::SimulatedRunLoop& loop() { return backend.world.runLoop(); }

    AppDelegate& launch() {
        test::writeText(dir / "consent.json",
                        R"({"disclosureShownVersion":"1.0.0","telemetryEnabled":false})");
        backend.makeManager = [this](std::uint32_t display) {
            const bool previousStopped =
                managers.empty()
                || std::count(managers.back()->calls.begin(), managers.back()->calls.end(),
                              "stopObserving")
                       > 0;
            calls.push_back("window manager display=" + std::to_string(display)
                            + (previousStopped ? "" : " (previous one still watching)"));
            auto manager = std::make_shared<test::ScriptedWindowManager>();
            if (prepareManager) {
                prepareManager(*manager);
            }
            managers.push_back(manager);
            return manager;
        };
        AppDependencies deps =
            standardDependencies(backend, events, std::make_shared<test::ManualExecutor>());
        deps.dataDirectory = dir.path();
        deps.makeSettings = [this](std::shared_ptr<SidebarModel>, UpdatePreferences*,
                                   UsageDataPreference*) {
            return std::make_unique<RecordingSettings>(calls);
        };
        deps.makePanel = [this](const PanelRequest& request) {
            return std::make_unique<RecordingPanel>(request, calls);
        };
        app = std::make_unique<AppDelegate>(std::move(deps));
        app->applicationDidFinishLaunching();
        return *app;
    }

    platform::sim::SimDisplay& plug(std::uint32_t id, double x, DisplayNames names) {
        return desktop().addDisplay(
            {.id = id, .bounds = Rect(x, 0, 1280, 1024), .name = "Side", .names = names});
    }
    void advance(platform::Duration duration) {
        const auto deadline = loop().now() + duration;
        while (loop().now() < deadline) {
            loop().runUntil(deadline);
        }
    }
    // Announces a display change and lets it arrive, as the event loop would.
    void announce() {
        events.announce();
        QCoreApplication::sendPostedEvents(&events, QEvent::MetaCall);
    }
    std::size_t reconciliations() const { return logs.count("app", "display reconcile:"); }
    std::size_t count(const std::string& call) const {
        return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
    }
};

}  // namespace

class AppDelegateDisplaysTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theSignalsOfOneChangeRepositionOnce() {
        Desk desk;
        desk.launch();
        // Qt reports a resolution change as geometry, visible area and scale, one by one.
        desk.desktop().display(1)->bounds = Rect(0, 0, 2560, 1440);
        desk.events.announce();
        desk.events.announce();
        desk.events.announce();
        QCOMPARE(desk.count("reposition display=1"), 0U);
        QCoreApplication::sendPostedEvents(&desk.events, QEvent::MetaCall);
        QCOMPARE(desk.count("reposition display=1"), 1U);
        QCoreApplication::processEvents();
        QCOMPARE(desk.count("reposition display=1"), 1U);
        // The next change is announced again.
        desk.announce();
        QCOMPARE(desk.count("reposition display=1"), 2U);
    }

    void aBurstOfChangesIsReconciledOnceAfterItEnds() {
        Desk desk;
        AppDelegate& app = desk.launch();
        QCOMPARE(app.hostDisplayKey(), std::optional<std::string>("output:HDMI-1"));

        // A resolution change, announced three times half a second apart.
        desk.desktop().display(1)->bounds = Rect(0, 0, 2560, 1440);
        for (int i = 0; i < 3; ++i) {
            desk.announce();
            QCOMPARE(desk.count("reposition display=1"), static_cast<std::size_t>(i + 1));
            desk.advance(500ms);
        }
        desk.advance(699ms);
        QCOMPARE(desk.reconciliations(), 0U);
        desk.advance(1ms);
        QVERIFY(desk.logs.contains("app", "display reconcile: host=1 displays=1 -> realign(1)"));
        QCOMPARE(desk.count("reposition display=1"), 4U);
        desk.advance(10s);
        QCOMPARE(desk.reconciliations(), 1U);
        QVERIFY(!app.hasPendingSettle());
        QCOMPARE(desk.managers.size(), 1U);
    }

    void hostGoneWithOneDisplayLeftMovesThere_data() {
        QTest::addColumn<bool>("shown");
        QTest::newRow("shown stays shown") << true;
        QTest::newRow("hidden stays hidden") << false;
    }

    void hostGoneWithOneDisplayLeftMovesThere() {
        QFETCH(bool, shown);
        Desk desk;
        AppDelegate& app = desk.launch();
        if (!shown) {
            app.controller()->orderOut();
        }
        desk.plug(7, 1920, {"DP-2", "DP-2"});
        desk.announce();
        desk.desktop().removeDisplay(1);
        desk.announce();
        QCOMPARE(desk.count("reposition display=1"), 1U);  // only while it was there
        desk.advance(AppDelegate::settleInterval);

        QVERIFY(desk.logs.contains("app", "display reconcile: host=1 displays=1 -> autoAdopt(7)"));
        QVERIFY(desk.logs.contains("app", std::string("re-homing sidebar to display=7 wasShown=")
                                              + (shown ? "true" : "false")));
        QCOMPARE(app.hostDisplayID(), std::optional<std::uint32_t>(7));
        QCOMPARE(app.hostDisplayKey(), std::optional<std::string>("output:DP-2"));
        QCOMPARE(app.controller()->isVisible(), shown);
        const Calls expected = {"panel.close display=1", "settings.close",
                                "window manager display=7"};
        QCOMPARE(Calls(desk.calls.end() - 3, desk.calls.end()), expected);
    }

    void hostGoneWithSeveralLeftAsksAgainUntilItReturns() {
        Desk desk;
        AppDelegate& app = desk.launch();
        app.controller()->orderOut();
        desk.plug(2, 1920, {"DP-1", "DP-1"});
        desk.plug(3, 3200, {"DP-2", "DP-2"});
        desk.desktop().removeDisplay(1);
        desk.announce();
        desk.advance(AppDelegate::settleInterval);

        QVERIFY(
            desk.logs.contains("app", "display reconcile: host=1 displays=2 -> reselect([2, 3])"));
        QVERIFY(desk.logs.contains("app", "host display 1 gone (settled); re-selecting"));
        QVERIFY(!app.controller() && !app.settingsController() && !app.model());
        QVERIFY(!app.hostDisplayID() && app.isReselecting());
        QVERIFY(app.chooser().window() != nullptr);

        // Changes while the chooser is open move nothing by themselves, and arm no settle step.
        desk.plug(4, 4480, {"DP-3", "DP-3"});
        desk.announce();
        QVERIFY(!app.hasPendingSettle() && app.chooser().window() != nullptr);

        // The old host comes back on its port under another number.
        desk.plug(12, 0, {"HDMI-1", "HDMI-1"});
        desk.announce();
        QCOMPARE(app.hostDisplayID(), std::optional<std::uint32_t>(12));
        QVERIFY(!app.isReselecting() && app.chooser().window() == nullptr);
        QVERIFY(app.controller()->isVisible());  // a re-selection always shows the sidebar
        QVERIFY(desk.logs.contains("app", "started on display=12 key=output:HDMI-1 show=true"));
    }

    void aRenumberedHostIsFollowedAndATrustedNumberKept() {
        Desk desk;
        AppDelegate& app = desk.launch();
        desk.desktop().removeDisplay(1);
        desk.plug(5, 0, {"HDMI-1", "HDMI-1"});
        desk.plug(6, 1280, {"", "left half"});
        desk.announce();
        desk.advance(AppDelegate::settleInterval);
        QVERIFY(desk.logs.contains("app", "display reconcile: host=1 displays=2 -> realign(5)"));
        QCOMPARE(app.hostDisplayID(), std::optional<std::uint32_t>(5));
        QCOMPARE(desk.managers.size(), 2U);

        // The other display keeps its number: a move there and a change after it stay put.
        app.moveToDisplay(6);
        QCOMPARE(app.hostDisplayKey(), std::optional<std::string>("monitor:left half"));
        desk.announce();
        desk.advance(AppDelegate::settleInterval);
        QVERIFY(desk.logs.contains("app", "display reconcile: host=6 displays=2 -> realign(6)"));
        QCOMPARE(desk.managers.size(), 3U);
    }

    void aLockedSessionDefersEveryDecisionAndSaysSoOnce() {
        Desk desk;
        AppDelegate& app = desk.launch();
        desk.plug(7, 1920, {"DP-2", "DP-2"});
        desk.desktop().setSession(true, true);
        desk.desktop().removeDisplay(1);
        desk.announce();
        desk.advance(10s);
        QCOMPARE(desk.logs.count("app",
                                 "display reconcile deferred: session untrustworthy "
                                 "(locked/off-console)"),
                 1U);
        QCOMPARE(desk.reconciliations(), 0U);
        QVERIFY(app.hasPendingSettle());
        QCOMPARE(app.hostDisplayID(), std::optional<std::uint32_t>(1));

        desk.desktop().setSession(false, true);
        desk.advance(AppDelegate::settleInterval);
        QVERIFY(desk.logs.contains("app", "display reconcile: host=1 displays=1 -> autoAdopt(7)"));
        QCOMPARE(app.hostDisplayID(), std::optional<std::uint32_t>(7));
    }

    void withoutDisplaysOneStepWaitsAtATime() {
        Desk desk;
        AppDelegate& app = desk.launch();
        desk.desktop().removeDisplay(1);
        desk.announce();
        desk.announce();
        desk.advance(30s);
        QCOMPARE(desk.logs.count("app", "display reconcile: host=1 displays=0 -> wait"), 1U);
        QVERIFY(app.hasPendingSettle());
        // The scripted window manager keeps no timer: the settle step is the only one.
        QCOMPARE(desk.loop().activeTimers(), 1U);
        QCOMPARE(desk.managers.size(), 1U);

        desk.plug(3, 0, {"DP-1", "DP-1"});
        desk.advance(AppDelegate::settleInterval);
        QVERIFY(desk.logs.contains("app", "display reconcile: host=1 displays=1 -> autoAdopt(3)"));
        QCOMPARE(app.hostDisplayID(), std::optional<std::uint32_t>(3));
    }

    void moveToDisplayTearsDownInOrderAndRefusesWhatItCannotDo() {
        Desk desk;
        AppDelegate& app = desk.launch();
        desk.plug(7, 1920, {"DP-2", "DP-2"});
        app.moveToDisplay(1);
        app.moveToDisplay(9);
        QCOMPARE(desk.logs.count("app", "moveToDisplay ignored: target="), 2U);
        QVERIFY(desk.logs.contains("app",
                                   "moveToDisplay ignored: target=1 is current or no longer "
                                   "connected"));
        QCOMPARE(desk.managers.size(), 1U);

        app.moveToDisplay(7);
        QVERIFY(desk.logs.contains("app", "moveToDisplay from=1 to=7"));
        QCOMPARE(app.hostDisplayID(), std::optional<std::uint32_t>(7));
        QVERIFY(!app.isReselecting());
        // The old window manager stops watching before the new one is made.
        QCOMPARE(desk.count("window manager display=7"), 1U);
    }

    // Also run under AddressSanitizer: the picker's answer reaches a model on its way out.
    void teardownAnswersAnOpenRebindPickerBeforeTheModelGoes() {
        Desk desk;
        SpaceTab tab;
        tab.id = Uuid::random();
        tab.app = {"org.example.Editor", "Editor"};
        tab.lastTitle = "Notes";
        AppState state;
        state.spaces.push_back(Space{Uuid::random(), "Home", 0, {tab}, false});
        QVERIFY(JSONFileStore(desk.dir / "state.json").save(state));
        desk.prepareManager = [](test::ScriptedWindowManager& manager) {
            manager.appWindows["org.example.Editor"] = {
                test::makeWindow(31, "org.example.Editor", "Draft")};
        };
        AppDelegate& app = desk.launch();
        std::weak_ptr<SidebarModel> oldModel = app.model();
        app.model()->activate(app.model()->pinnedTabs().front());
        QVERIFY(app.rebindPicker().window() != nullptr);

        desk.plug(7, 1920, {"DP-2", "DP-2"});
        desk.desktop().removeDisplay(1);
        desk.announce();
        desk.advance(AppDelegate::settleInterval);

        QCOMPARE(app.hostDisplayID(), std::optional<std::uint32_t>(7));
        QVERIFY(app.rebindPicker().window() == nullptr);
        QVERIFY(desk.logs.contains("model", "rebind cancel app=org.example.Editor"));
        QVERIFY(oldModel.expired());
        QCOMPARE(app.model()->pinnedTabs().size(), 1U);
        // The new model can ask again.
        app.model()->activate(app.model()->pinnedTabs().front());
        QVERIFY(app.rebindPicker().window() != nullptr);
    }

    void aModelStillWaitingAfterTeardownSavesNothing() {
        Desk desk;
        SpaceTab tab;
        tab.id = Uuid::random();
        tab.app = {"org.example.Editor", "Editor"};
        tab.lastTitle = "Notes";
        tab.docPath = "/home/user/notes.txt";
        AppState state;
        state.spaces.push_back(Space{Uuid::random(), "Home", 0, {tab}, false});
        QVERIFY(JSONFileStore(desk.dir / "state.json").save(state));
        AppDelegate* app = nullptr;
        desk.prepareManager = [&](test::ScriptedWindowManager& manager) {
            if (!desk.managers.empty()) {
                return;
            }
            // The document's window arrives while the sidebar moves to the other display.
            manager.openResults = {DocumentOpening{WindowID(55), true}};
            manager.duringWait = [&app, first = &manager] {
                first->addWindow(test::makeWindow(55, "org.example.Editor", "notes.txt",
                                                  "/home/user/notes.txt"));
                app->moveToDisplay(7);
            };
        };
        app = &desk.launch();
        desk.plug(7, 1920, {"DP-2", "DP-2"});
        app->model()->activate(app->model()->pinnedTabs().front());

        QCOMPARE(app->hostDisplayID(), std::optional<std::uint32_t>(7));
        const AppState saved = JSONFileStore(desk.dir / "state.json").load();
        QCOMPARE(saved.spaces.front().tabs.front().boundWindowID, std::optional<WindowID>());
        QVERIFY(!desk.managers.front()->handler);
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::AppDelegateDisplaysTests)
#include "AppDelegateDisplaysTests.moc"
