#include <memory>
#include <string>
#include <vector>

#include <QPushButton>
#include <QtTest>

#include "AppDelegate.h"
#include "CapturingLogSink.h"
#include "ManualExecutor.h"
#include "ModalAlert.h"
#include "ScreenEvents.h"
#include "SimulatedBackend.h"
#include "TempDir.h"

namespace vorn::app {
namespace {

using Calls = std::vector<std::string>;

class RecordingSink final : public TelemetrySink {
public:
    explicit RecordingSink(Calls& calls)
        : m_calls(calls) {}
    void send(const TelemetryEvent& event) override {
        std::string line = "event " + std::string(event.signalName());
        for (const auto& [key, value] : event.parameters()) {
            line += " " + key + "=" + value;
        }
        m_calls.push_back(line);
    }

private:
    Calls& m_calls;
};

class RecordingObservability final : public ObservabilityService {
public:
    RecordingObservability(Calls& calls, bool consented)
        : m_calls(calls)
        , m_sink(consented ? std::shared_ptr<TelemetrySink>(std::make_shared<RecordingSink>(calls))
                           : std::make_shared<NoopTelemetrySink>()) {
        m_calls.push_back(std::string("observability consented=") + boolText(consented));
    }
    void start() override { m_calls.push_back("observability.start"); }
    std::shared_ptr<TelemetrySink> sink() const override { return m_sink; }

private:
    Calls& m_calls;
    std::shared_ptr<TelemetrySink> m_sink;
};

class RecordingUpdater final : public SoftwareUpdater {
public:
    explicit RecordingUpdater(Calls& calls)
        : m_calls(calls) {
        m_calls.push_back("updater");
    }
    bool automaticallyChecksForUpdates() const override { return false; }
    bool automaticallyDownloadsUpdates() const override { return false; }
    bool allowsAutomaticUpdates() const override { return false; }
    void setAutomaticallyChecksForUpdates(bool) override {}
    void setAutomaticallyDownloadsUpdates(bool) override {}
    void checkForUpdates() override { m_calls.push_back("update check"); }

private:
    Calls& m_calls;
};

class RecordingPanel final : public SidebarPanelHost {
public:
    RecordingPanel(Calls& calls, std::uint32_t display)
        : m_calls(calls) {
        m_calls.push_back("panel display=" + std::to_string(display));
    }
    bool isVisible() const override { return m_visible; }
    void orderFront() override {
        m_visible = true;
        m_calls.push_back("panel.orderFront");
    }
    void orderOut() override { m_visible = false; }
    void repositionFlushLeft() override { m_calls.push_back("panel.reposition"); }
    void close() override { m_calls.push_back("panel.close"); }

private:
    Calls& m_calls;
    bool m_visible = false;
};

class RecordingSettings final : public SettingsWindow {
public:
    explicit RecordingSettings(Calls& calls)
        : m_calls(calls) {
        m_calls.push_back("settings");
    }
    void show() override { m_calls.push_back("settings.show"); }
    void close() override {}

private:
    Calls& m_calls;
};

class RecordingFeedback final : public FeedbackService {
public:
    explicit RecordingFeedback(Calls& calls)
        : m_calls(calls) {
        m_calls.push_back("feedback");
    }
    void show() override {}

private:
    Calls& m_calls;
};

// The program on the simulated desktop with recording services and a fresh data directory.
struct Launch {
    test::TempDir dir;
    test::SimulatedBackend backend;
    ScreenEvents events;
    test::CapturingLogSink logs;
    Calls calls;
    std::string bundlePath = "/usr/bin/vorn";
    std::unique_ptr<AppDelegate> app;

    Launch() {
        backend.makeManager = [this](std::uint32_t display) {
            calls.push_back("window manager display=" + std::to_string(display));
            return std::make_shared<test::ScriptedWindowManager>();
        };
    }

    void recordConsent(bool enabled) {
        test::writeText(dir / "consent.json",
                        std::string(R"({"disclosureShownVersion":"0.9","telemetryEnabled":)")
                            + (enabled ? "true" : "false") + "}");
    }

    AppDelegate& launch() {
        AppDependencies deps;
        deps.backend = &backend;
        deps.screenEvents = &events;
        deps.executor = std::make_shared<test::ManualExecutor>();
        deps.dataDirectory = dir.path();
        deps.bundlePath = bundlePath;
        deps.appVersion = "1.0.0";
        deps.makeObservability = [this](bool consented) {
            return std::make_unique<RecordingObservability>(calls, consented);
        };
        deps.makeUpdater = [this] { return std::make_unique<RecordingUpdater>(calls); };
        deps.makeFeedback = [this](std::function<void()>) {
            return std::make_unique<RecordingFeedback>(calls);
        };
        deps.makeSettings = [this](std::shared_ptr<SidebarModel>, UpdatePreferences*) {
            return std::make_unique<RecordingSettings>(calls);
        };
        deps.makePanel = [this](const PanelRequest& request) {
            return std::make_unique<RecordingPanel>(calls, request.displayID);
        };
        app = std::make_unique<AppDelegate>(std::move(deps));
        app->applicationDidFinishLaunching();
        return *app;
    }

    std::size_t logIndex(const std::string& category, const std::string& prefix) const {
        const auto lines = logs.lines();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].category == category && lines[i].message.rfind(prefix, 0) == 0) {
                return i;
            }
        }
        return lines.size();
    }
};

bool contains(const Calls& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

}  // namespace

class AppDelegateTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { ModalAlert::clearNextAnswers(); }

    void firstLaunchRunsEveryStepInOrder() {
        Launch launch;
        launch.bundlePath = "/tmp/AppTranslocation/ABC/vorn";
        launch.backend.world.desktop.trusted = false;
        launch.backend.world.desktop.trustedAfterPrompt = false;
        ModalAlert::setNextAnswer(0);  // the translocation warning
        ModalAlert::setNextAnswer(0);  // the disclosure: OK
        AppDelegate& app = launch.launch();

        const Calls expected = {
            "updater",
            "observability consented=true",
            "observability.start",
            "event App.launched",
            "feedback",
            "event Accessibility.promptShown",
            "window manager display=1",
            "event Display.config displays=1 spaces=1",
            "settings",
            "panel display=1",
            "panel.orderFront",
        };
        QCOMPARE(launch.calls, expected);
        QCOMPARE(launch.backend.preloads, 1);
        QCOMPARE(launch.backend.world.desktop.promptCount, 1);
        QVERIFY(
            launch.logIndex("integrity", "running translocated from /tmp/AppTranslocation/")
            < launch.logIndex("consent", "first-run disclosure resolved: telemetryEnabled=true"));
        QVERIFY(launch.logs.contains("app", "started on display=1 key= show=true"));
        QCOMPARE(app.hostDisplayID(), std::optional<std::uint32_t>(1));
        const ConsentState stored = JSONFileConsentStore(launch.dir / "consent.json").load();
        QVERIFY(stored.telemetryEnabled);
        QCOMPARE(stored.disclosureShownVersion, std::optional<std::string>("1.0.0"));

        app.bootstrap();
        QCOMPARE(launch.calls, expected);
    }

    void refusedConsentDropsEveryEventButStillWorks() {
        Launch launch;
        ModalAlert::setNextAnswer(1);  // "Turn Off"
        AppDelegate& app = launch.launch();
        app.menuBar()->checkForUpdates();
        app.menuBar()->toggleSidebar();

        QVERIFY(contains(launch.calls, "observability consented=false"));
        QVERIFY(contains(launch.calls, "update check"));
        for (const auto& call : launch.calls) {
            QVERIFY2(call.rfind("event ", 0) != 0, call.c_str());
        }
        QVERIFY(!app.controller()->isVisible());
        QVERIFY(launch.logs.contains("menubar", "toggleSidebar was=true -> shown=false"));
    }

    void twoDisplaysWaitForTheUsersChoice() {
        Launch launch;
        launch.recordConsent(true);
        launch.backend.world.desktop.addDisplay(
            {.id = 7, .bounds = Rect(1920, 0, 1280, 1024), .name = "Side"});
        AppDelegate& app = launch.launch();

        QVERIFY(!app.hostDisplayID());
        QVERIFY(!app.model());
        QVERIFY(app.chooser().window() != nullptr);
        app.menuBar()->toggleSidebar();
        app.menuBar()->openSettings();
        QVERIFY(launch.logs.contains("menubar", "toggleSidebar was=false -> shown=false"));
        QVERIFY(launch.logs.contains(
            "app", "openSettings ignored: settings unavailable (host selection pending)"));

        auto* row = app.chooser().window()->findChild<QPushButton*>("vorn.chooser.display.7");
        QVERIFY(row != nullptr);
        row->click();
        QCOMPARE(app.hostDisplayID(), std::optional<std::uint32_t>(7));
        QVERIFY(app.chooser().window() == nullptr);
        QVERIFY(contains(launch.calls, "window manager display=7"));
        QVERIFY(contains(launch.calls, "event Display.config displays=2-3 spaces=1"));
        QVERIFY(app.controller()->isVisible());
        app.menuBar()->openSettings();
        QVERIFY(contains(launch.calls, "settings.show"));
    }

    void theSidebarRunsOnTheWindowManagerOfItsDisplay() {
        Launch launch;
        launch.recordConsent(false);
        launch.backend.makeManager = nullptr;
        launch.backend.realManagers = true;
        auto& world = launch.backend.world;
        world.addApp(501, "org.example.Editor", "Editor");
        world.addWindow(71, 501, Rect(300, 100, 800, 600), "Notes");
        world.addWindow(72, 501, Rect(400, 150, 800, 600), "Draft");
        AppDelegate& app = launch.launch();

        QCOMPARE(app.model()->ambient().size(), std::size_t(2));
        app.model()->activate(app.model()->ambient().back());
        QCOMPARE(app.model()->claimedTabs().size(), std::size_t(1));
        const AppState saved = JSONFileStore(launch.dir / "state.json").load();
        QCOMPARE(saved.spaces.front().tabs.front().lastTitle, std::string("Notes"));
    }

    void trustChangesSendOneEventEach() {
        Launch launch;
        launch.recordConsent(true);
        launch.backend.world.desktop.trusted = false;
        launch.backend.world.desktop.trustedAfterPrompt = false;
        launch.launch();
        QVERIFY(launch.backend.trustChanged);

        launch.backend.trustChanged();  // unchanged: nothing
        launch.backend.world.desktop.trusted = true;
        launch.backend.trustChanged();
        launch.backend.trustChanged();
        QCOMPARE(
            std::count(launch.calls.begin(), launch.calls.end(), "event Accessibility.granted"), 1);
        QVERIFY(
            launch.logs.contains("app", "accessibility trust changed -> Accessibility.granted"));
    }

    void screenChangesRelayThePanelWhileTheHostIsConnected() {
        Launch launch;
        launch.recordConsent(false);
        launch.launch();
        launch.events.announce();
        QCOMPARE(std::count(launch.calls.begin(), launch.calls.end(), "panel.reposition"), 1);

        launch.backend.world.desktop.removeDisplay(1);
        launch.events.announce();
        QCOMPARE(std::count(launch.calls.begin(), launch.calls.end(), "panel.reposition"), 1);
    }

    void moveToDisplayRebuildsTheSidebarThere() {
        Launch launch;
        launch.recordConsent(false);
        auto& desktop = launch.backend.world.desktop;
        desktop.addDisplay({.id = 2, .bounds = Rect(1920, 0, 1920, 1080), .name = "Right"});
        AppDelegate& app = launch.launch();
        app.chooser().window()->findChild<QPushButton*>("vorn.chooser.display.1")->click();
        app.controller()->orderOut();
        const auto firstModel = app.model();

        app.moveToDisplay(1);
        QVERIFY(launch.logs.contains(
            "app", "moveToDisplay ignored: target=1 is current or no longer connected"));
        app.moveToDisplay(2);
        QCOMPARE(app.hostDisplayID(), std::optional<std::uint32_t>(2));
        QVERIFY(app.model() != firstModel);
        QVERIFY(contains(launch.calls, "panel.close"));
        QVERIFY(!app.controller()->isVisible());  // a hidden sidebar stays hidden
        QVERIFY(launch.logs.contains("app", "re-homing sidebar to display=2 wasShown=false"));
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::AppDelegateTests)
#include "AppDelegateTests.moc"
