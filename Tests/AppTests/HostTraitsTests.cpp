#include <cstdlib>
#include <memory>
#include <thread>

#include <QApplication>
#include <QPalette>
#include <QScreen>
#include <QtTest>

#include "AppDelegate.h"
#include "HostTraitsFollower.h"
#include "LoopbackHttpServer.h"
#include "QtRunLoop.h"
#include "ScreenEvents.h"
#include "ServicesObservability.h"
#include "Signals/SignalPostBody.h"
#include "SimulatedBackend.h"
#include "System/Dispatch.h"
#include "Tally.h"
#include "TallyConfiguration.h"
#include "TempDir.h"

namespace vorn::app {
namespace {

struct NoPanel final : SidebarPanelHost {
    bool isVisible() const override { return false; }
    void orderFront() override {}
    void orderOut() override {}
    void repositionFlushLeft() override {}
    void close() override {}
};

struct NoUpdater final : SoftwareUpdater {
    bool automaticallyChecksForUpdates() const override { return false; }
    bool automaticallyDownloadsUpdates() const override { return false; }
    bool allowsAutomaticUpdates() const override { return false; }
    void setAutomaticallyChecksForUpdates(bool) override {}
    void setAutomaticallyDownloadsUpdates(bool) override {}
    void checkForUpdates() override {}
};

struct NoFeedback final : FeedbackService {
    void show() override {}
};

struct NoSettings final : SettingsWindow {
    void show() override {}
    void close() override {}
};

std::string decimal(double value) {
    return QString::number(value, 'f', 1).toStdString();
}

}  // namespace

class HostTraitsTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        // The client keeps its cache and settings here rather than in the user's folders.
        ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    }

    void theFollowerTellsTheClientOfEveryChange() {
        ScreenEvents events;
        HostTraitsFollower follower(events);
        auto traits = tally::hostTraits();
        QVERIFY(traits.mainScreen);
        const QScreen* screen = QGuiApplication::primaryScreen();
        QCOMPARE(traits.mainScreen->width, double(screen->geometry().width()));
        QCOMPARE(traits.mainScreen->scale, screen->devicePixelRatio());
        QCOMPARE(traits.layoutDirection, tally::LayoutDirection::leftToRight);

        // A change of the screens reaches it through the application's screen events.
        tally::setHostTraits({});
        events.announce();
        QTRY_VERIFY(tally::hostTraits().mainScreen);
        QCOMPARE(tally::hostTraits().mainScreen->width, double(screen->geometry().width()));

        QGuiApplication::setLayoutDirection(Qt::RightToLeft);
        QCOMPARE(tally::hostTraits().layoutDirection, tally::LayoutDirection::rightToLeft);
        QGuiApplication::setLayoutDirection(Qt::LeftToRight);

        const QPalette original = QGuiApplication::palette();
        QPalette dark = original;
        dark.setColor(QPalette::Window, Qt::black);
        dark.setColor(QPalette::WindowText, Qt::white);
        QApplication::setPalette(dark);
        QCOMPARE(tally::hostTraits().colorScheme, tally::ColorScheme::dark);
        QPalette light = original;
        light.setColor(QPalette::Window, Qt::white);
        light.setColor(QPalette::WindowText, Qt::black);
        QApplication::setPalette(light);
        QCOMPARE(tally::hostTraits().colorScheme, tally::ColorScheme::light);
    }

    void aSignalOfTheRunningApplicationCarriesTheScreen() {
        // Only what the running application hands over counts.
        tally::setHostTraits({});
        test::LoopbackHttpServer service;
        QPalette dark = QGuiApplication::palette();
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        QApplication::setPalette(dark);
        std::filesystem::create_directories(dir / "data");
        test::writeText(dir / "data" / "consent.json",
                        R"({"disclosureShownVersion":"0.9","telemetryEnabled":true})");
        auto runLoop = std::make_shared<QtRunLoop>();
        test::SimulatedBackend backend;
        backend.makeManager = [](std::uint32_t) {
            return std::make_shared<test::ScriptedWindowManager>();
        };
        ScreenEvents events;

        AppDependencies deps;
        deps.backend = &backend;
        deps.screenEvents = &events;
        deps.executor = runLoop;
        deps.dataDirectory = dir / "data";
        deps.bundlePath = "/usr/bin/vorn";
        deps.appVersion = "1.0.0";
        deps.makeObservability = [&](bool consented) {
            ObservabilitySetup setup;
            setup.dataDirectory = dir / "data";
            setup.deployment = {"", "APP-ID", service.url("/")};
            setup.bundle = {"1.0.0", "7"};
            setup.startAnalytics = [](std::shared_ptr<tally::TallyConfiguration> configuration) {
                // Delivery at once rather than after the usual ten seconds.
                configuration->setTransmitInterval(0.1);
                tally::Tally::initialize(std::move(configuration));
            };
            return std::make_unique<ServicesObservability>(consented, std::move(setup), runLoop,
                                                           events);
        };
        deps.makeUpdater = [] { return std::make_unique<NoUpdater>(); };
        deps.makeFeedback = [](std::function<void()>) { return std::make_unique<NoFeedback>(); };
        deps.makeSettings = [](std::shared_ptr<SidebarModel>, UpdatePreferences*,
                               UsageDataPreference*) { return std::make_unique<NoSettings>(); };
        deps.makePanel = [](const PanelRequest&) { return std::make_unique<NoPanel>(); };

        auto app = std::make_unique<AppDelegate>(std::move(deps));
        app->applicationDidFinishLaunching();

        // The client's main queue is the application's event loop.
        std::thread::id ranOn;
        tally::system::mainQueue()->async([&] { ranOn = std::this_thread::get_id(); });
        QTRY_VERIFY(ranOn == std::this_thread::get_id());

        QTRY_VERIFY_WITH_TIMEOUT(!service.requests().empty(), 10000);
        const auto decoded = tally::JSONDecoder{tally::DateCoding::timestamp}.decodeArray(
            service.requests().front().body);
        QVERIFY(decoded && !decoded->records.empty());
        const auto& payload = decoded->records.front().payload;
        const QScreen* screen = QGuiApplication::primaryScreen();
        QCOMPARE(payload.at("Tally.Device.screenResolutionWidth"),
                 decimal(screen->geometry().width()));
        QCOMPARE(payload.at("Tally.Device.screenResolutionHeight"),
                 decimal(screen->geometry().height()));
        QCOMPARE(payload.at("Tally.Device.screenScaleFactor"), decimal(screen->devicePixelRatio()));
        QCOMPARE(payload.at("Tally.UserPreference.colorScheme"), std::string("Dark"));
        QCOMPARE(payload.at("Tally.UserPreference.layoutDirection"), std::string("leftToRight"));

        app.reset();
        tally::Tally::terminate();
        tally::system::shutdownDispatch();
    }

private:
    test::TempDir dir;
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::HostTraitsTests)
#include "HostTraitsTests.moc"
