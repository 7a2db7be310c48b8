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

// Every service and the panel in one recorder: each call appends a line to `calls`.
struct Recorder final : TelemetrySink, ObservabilityService, SoftwareUpdater, SidebarPanelHost {
    Calls& calls;
    bool consented = false;
    bool visible = false;

    explicit Recorder(Calls& c)
        : calls(c) {}
    void send(const TelemetryEvent& event) override {
        std::string line = "event " + std::string(event.signalName());
        for (const auto& [key, value] : event.parameters()) {
            line += " " + key + "=" + value;
        }
        calls.push_back(line);
    }
    void start() override { calls.push_back("observability.start"); }
    void setConsented(bool enabled) override {
        calls.push_back(std::string("observability.consented ") + (enabled ? "true" : "false"));
    }
    std::shared_ptr<TelemetrySink> sink() const override {
        if (!consented) {
            return std::make_shared<NoopTelemetrySink>();
        }
        return std::shared_ptr<TelemetrySink>(std::make_shared<Recorder>(calls));
    }
    bool automaticallyChecksForUpdates() const override { return false; }
    bool automaticallyDownloadsUpdates() const override { return false; }
    bool allowsAutomaticUpdates() const override { return false; }
    void setAutomaticallyChecksForUpdates(bool) override {}
    void setAutomaticallyDownloadsUpdates(bool) override {}
    void checkForUpdates() override { calls.push_back("update check"); }
    bool isVisible() const override { return visible; }
    void orderFront() override { visible = true; }
    void orderOut() override { visible = false; }
    void repositionFlushLeft() override { calls.push_back("panel.reposition"); }
    void close() override {}
};

struct NamedService final : FeedbackService, SettingsWindow {
    NamedService(Calls& calls, std::string name) { calls.push_back(std::move(name)); }
    void show() override {}
    void close() override {}
};

// The program on the simulated desktop with recording services and a fresh data directory.
struct Launch {
    test::TempDir dir;
    test::SimulatedBackend backend;
    ScreenEvents events;
    test::CapturingLogSink logs;
    Calls calls;
    std::string bundlePath = "/usr/bin/vorn";
    std::function<void(test::ScriptedWindowManager&)> prepareManager;
    std::unique_ptr<AppDelegate> app;

    void recordConsent() {
        test::writeText(dir / "consent.json",
                        R"({"disclosureShownVersion":"0.9","telemetryEnabled":true})");
    }

    AppDelegate& launch() {
        backend.makeManager = [this](std::uint32_t display) {
            calls.push_back("window manager display=" + std::to_string(display));
            auto manager = std::make_shared<test::ScriptedWindowManager>();
            if (prepareManager) {
                prepareManager(*manager);
            }
            return manager;
        };
        AppDependencies deps;
        deps.backend = &backend;
        deps.screenEvents = &events;
        deps.executor = std::make_shared<test::ManualExecutor>();
        deps.dataDirectory = dir.path();
        deps.bundlePath = bundlePath;
        deps.appVersion = "1.0.0";
        deps.makeObservability = [this](bool consented) {
            calls.push_back(std::string("observability consented=") + boolText(consented));
            auto recorder = std::make_unique<Recorder>(calls);
            recorder->consented = consented;
            return recorder;
        };
        deps.makeUpdater = [this] {
            calls.push_back("updater");
            return std::make_unique<Recorder>(calls);
        };
        deps.makeFeedback = [this](std::function<void()>) {
            return std::make_unique<NamedService>(calls, "feedback");
        };
        deps.makeSettings = [this](std::shared_ptr<SidebarModel>, UpdatePreferences*,
                                   UsageDataPreference*) {
            return std::make_unique<NamedService>(calls, "settings");
        };
        deps.makePanel = [this](const PanelRequest& request) {
            calls.push_back("panel display=" + std::to_string(request.displayID));
            return std::make_unique<Recorder>(calls);
        };
        app = std::make_unique<AppDelegate>(std::move(deps));
        app->applicationDidFinishLaunching();
        return *app;
    }

    std::size_t count(const std::string& call) const {
        return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
    }
    std::size_t logIndex(const std::string& prefix) const {
        const auto lines = logs.lines();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].message.rfind(prefix, 0) == 0) {
                return i;
            }
        }
        return lines.size();
    }
};

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
        };
        QCOMPARE(launch.calls, expected);
        QCOMPARE(launch.backend.preloads, 1);
        QCOMPARE(launch.backend.world.desktop.promptCount, 1);
        QVERIFY(launch.logIndex("running translocated from /tmp/AppTranslocation/")
                < launch.logIndex("first-run disclosure resolved: telemetryEnabled=true"));
        QVERIFY(launch.logs.contains("app", "started on display=1 key= show=true"));
        QVERIFY(app.controller()->isVisible());
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

        QCOMPARE(launch.count("observability consented=false"), 1U);
        QCOMPARE(launch.count("update check"), 1U);
        for (const auto& call : launch.calls) {
            QVERIFY2(call.rfind("event ", 0) != 0, call.c_str());
        }
        QVERIFY(!app.controller()->isVisible());
    }

    void twoDisplaysWaitForTheUsersChoice() {
        Launch launch;
        launch.recordConsent();
        launch.backend.world.desktop.addDisplay(
            {.id = 7, .bounds = Rect(1920, 0, 1280, 1024), .name = "Side"});
        AppDelegate& app = launch.launch();

        QVERIFY(!app.hostDisplayID() && !app.model());
        app.menuBar()->toggleSidebar();
        app.menuBar()->openSettings();
        QVERIFY(launch.logs.contains("menubar", "toggleSidebar was=false -> shown=false"));
        QVERIFY(launch.logs.contains(
            "app", "openSettings ignored: settings unavailable (host selection pending)"));

        app.chooser().window()->findChild<QPushButton*>("vorn.chooser.display.7")->click();
        QCOMPARE(app.hostDisplayID(), std::optional<std::uint32_t>(7));
        QCOMPARE(launch.count("event Display.config displays=2-3 spaces=1"), 1U);
        QVERIFY(app.controller()->isVisible());

        // A move tears the sidebar down and builds it on the other display; hidden stays hidden.
        app.controller()->orderOut();
        app.moveToDisplay(7);
        QVERIFY(launch.logs.contains(
            "app", "moveToDisplay ignored: target=7 is current or no longer connected"));
        app.moveToDisplay(1);
        QCOMPARE(app.hostDisplayID(), std::optional<std::uint32_t>(1));
        QVERIFY(!app.controller()->isVisible());
    }

    void trustChangesAndScreenChanges() {
        Launch launch;
        launch.recordConsent();
        launch.backend.world.desktop.trusted = false;
        launch.backend.world.desktop.trustedAfterPrompt = false;
        launch.launch();

        launch.backend.trustChanged();  // unchanged: nothing
        launch.backend.world.desktop.trusted = true;
        launch.backend.trustChanged();
        launch.backend.trustChanged();
        QCOMPARE(launch.count("event Accessibility.granted"), 1U);
        QVERIFY(
            launch.logs.contains("app", "accessibility trust changed -> Accessibility.granted"));

        launch.events.announce();
        QCoreApplication::sendPostedEvents(&launch.events, QEvent::MetaCall);
        launch.backend.world.desktop.removeDisplay(1);
        launch.events.announce();  // the host is gone: left alone
        QCoreApplication::sendPostedEvents(&launch.events, QEvent::MetaCall);
        QCOMPARE(launch.count("panel.reposition"), 1U);
    }

    // A click whose window never came is told to the user once the click's handling is over.
    void aFailedOpenIsShownToTheUser() {
        Launch launch;
        launch.recordConsent();
        SpaceTab tab{Uuid::random(),
                     {"org.example.Editor", "Editor"},
                     "Notes",
                     0,
                     "/home/user/notes.txt",
                     std::nullopt,
                     std::nullopt};
        AppState state;
        state.spaces.push_back(Space{Uuid::random(), "Home", 0, {tab}, false});
        QVERIFY(JSONFileStore(launch.dir / "state.json").save(state));
        launch.prepareManager = [](test::ScriptedWindowManager& manager) {
            manager.openResults = {{std::nullopt, true}};
        };
        AppDelegate& app = launch.launch();
        std::vector<AlertContent> shown;
        ModalAlert::setNextAnswer(0, [&](const AlertContent& alert) { shown.push_back(alert); });

        app.model()->activate(app.model()->pinnedTabs().front());
        QVERIFY(shown.empty());
        QTRY_COMPARE(shown.size(), std::size_t{1});
        QCOMPARE(shown[0].message, QStringLiteral("Editor did not show \u201Cnotes.txt\u201D."));
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::AppDelegateTests)
#include "AppDelegateTests.moc"
