#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QtTest>

#include "ActivationPolicy.h"
#include "CapturingLogSink.h"
#include "LoopbackHttpServer.h"
#include "QtRunLoop.h"
#include "SigningKey.h"
#include "SimulatedRunLoop.h"
#include "StandardUserDriver.h"
#include "TempDir.h"
#include "UpdateWrapper.h"

#include <sys/stat.h>

namespace vorn::updates {
namespace {

using Reply = test::LoopbackHttpServer::Reply;

std::string item(const std::string& build,
                 const std::string& display,
                 const std::string& url,
                 std::size_t length,
                 const std::string& signature) {
    return "<item><title>Vorn " + display + "</title><vorn:buildVersion>" + build
           + "</vorn:buildVersion><vorn:displayVersion>" + display
           + "</vorn:displayVersion><enclosure url=\"" + url + "\" length=\""
           + std::to_string(length) + "\" vorn:edSignature=\"" + signature + "\"/></item>";
}

std::string feed(const std::string& items) {
    return R"(<?xml version="1.0"?><rss version="2.0" xmlns:vorn="urn:vorn:update"><channel>)"
           + items + "</channel></rss>";
}

QWidget* shown(const char* identifier) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(identifier) && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

void click(const char* identifier, const QString& title) {
    auto* box = qobject_cast<QMessageBox*>(shown(identifier));
    QVERIFY(box != nullptr);
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == title) {
            button->click();
            return;
        }
    }
    QFAIL("no such button");
}

bool isEmptyDirectory(const std::filesystem::path& path) {
    return !std::filesystem::exists(path) || std::filesystem::is_empty(path);
}

// A release on a loopback server, the program's wrapper over the engine and its windows, and
// folders of their own.
struct Harness {
    test::TempDir dir;
    test::SigningKey key;
    test::LoopbackHttpServer server;
    std::map<std::string, Reply> routes;
    std::shared_ptr<app::QtRunLoop> loop = std::make_shared<app::QtRunLoop>();
    test::CapturingLogSink logs;
    std::string package = std::string(40000, 'p') + "end";
    UpdaterController* controller = nullptr;
    std::vector<std::filesystem::path> relaunched;
    std::vector<std::filesystem::path> revealed;
    std::unique_ptr<SoftwareUpdater> updater;

    Harness() {
        server.setResponder([this](const test::LoopbackHttpServer::Request& request) {
            const auto found = routes.find(request.path);
            return found != routes.end() ? found->second : Reply{404, {}, {}};
        });
        std::filesystem::create_directories(dir / "tmp");
        routes["/Vorn-2.0.AppImage"] = Reply{200, package, {}};
        offer(item("58", "2.0", "Vorn-2.0.AppImage", package.size(), key.signBase64(package)));
    }

    void offer(const std::string& items) { routes["/appcast.xml"] = Reply{200, feed(items), {}}; }

    UpdaterConfiguration configuration() {
        UpdaterConfiguration configuration;
        configuration.feedURL = server.url("/appcast.xml");
        configuration.publicKey = key.publicKeyBase64();
        configuration.buildVersion = "57";
        configuration.displayVersion = "1.4";
        configuration.settingsFile = dir / "config" / "updates.json";
        configuration.temporaryDirectory = dir / "tmp";
        configuration.installTargets = InstallTargets{std::nullopt, dir / "Downloads"};
        configuration.firstCheckDelay = std::chrono::hours(1);
        return configuration;
    }

    void start(UpdaterConfiguration configuration) {
        updater = std::make_unique<SoftwareUpdater>(
            [this, configuration](UpdaterDelegate& updaterDelegate,
                                  UserDriverDelegate& driverDelegate) {
                auto driver = std::make_unique<StandardUserDriver>(
                    driverDelegate, configuration.displayVersion,
                    [this](const std::filesystem::path& image) { relaunched.push_back(image); },
                    [this](const std::filesystem::path& file) { revealed.push_back(file); });
                auto made = std::make_unique<UpdaterController>(
                    true, configuration, *loop, std::move(driver), &updaterDelegate);
                controller = made.get();
                return made;
            },
            *loop);
    }

    // The updater's lines that start with one of the prefixes, in order.
    std::vector<std::string> lines(const std::vector<std::string>& prefixes) const {
        std::vector<std::string> out;
        for (const std::string& message : logs.messages("updater")) {
            for (const std::string& prefix : prefixes) {
                if (message.rfind(prefix, 0) == 0) {
                    out.push_back(message);
                }
            }
        }
        return out;
    }
    std::size_t errors() const {
        std::size_t count = 0;
        for (const auto& line : logs.lines()) {
            count += line.category == "updater" && line.level >= LogLevel::error ? 1 : 0;
        }
        return count;
    }
};

// Records what the engine asks of its windows; answers nothing.
struct RecordingDriver final : UpdateUserDriver {
    std::vector<std::string> calls;
    void showUpdateFound(const AppcastItem&,
                         const UserUpdateState& state,
                         std::function<void(UpdateChoice)> reply) override {
        calls.push_back(state.userInitiated ? "found by user" : "found on schedule");
        pending = [reply] { reply(UpdateChoice::later); };
    }
    void showUpdateNotFound(const UpdateError&, std::function<void()>) override {}
    void showUpdaterError(const UpdateError&, std::function<void()>) override {}
    void showDownloadInitiated(std::function<void()>) override {}
    void showDownloadProgress(std::uint64_t, std::uint64_t) override {}
    void showInstalled(const AppcastItem&,
                       const Installation&,
                       const UserUpdateState&,
                       std::function<void()>) override {}
    void showUpdatesUnavailable() override {}
    void showUpdateInFocus() override {}
    void dismissUpdateInstallation() override { calls.push_back("dismiss"); }
    std::function<void()> pending;
};

}  // namespace

class UpdaterTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { setActivationPolicy(ActivationPolicy::accessory); }
    void cleanup() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            widget->close();
        }
    }

    void aNewerSignedBuildIsInstalled_data() {
        QTest::addColumn<bool>("fromImage");
        QTest::newRow("package into the download folder") << false;
        QTest::newRow("program image replaced") << true;
    }

    void aNewerSignedBuildIsInstalled() {
        QFETCH(bool, fromImage);
        Harness h;
        // A redirect within the server is followed.
        h.routes["/files/Vorn-2.0.AppImage"] = h.routes["/Vorn-2.0.AppImage"];
        h.routes["/Vorn-2.0.AppImage"] =
            Reply{302, "moved", {{"Location", "/files/Vorn-2.0.AppImage"}}};
        h.offer(item("50", "1.0", "old", 10, "c2ln")
                + item("58", "2.0", "Vorn-2.0.AppImage", h.package.size(),
                       h.key.signBase64(h.package)));
        auto configuration = h.configuration();
        const auto image = h.dir / "bin" / "Vorn.AppImage";
        if (fromImage) {
            std::filesystem::create_directories(image.parent_path());
            test::writeText(image, "old build");
            ::chmod(image.c_str(), 0750);
            configuration.installTargets.appImage = image;
        }
        h.start(configuration);
        h.updater->checkForUpdates();
        QTRY_VERIFY(shown(StandardUserDriver::offerIdentifier));
        QCOMPARE(qobject_cast<QMessageBox*>(shown(StandardUserDriver::offerIdentifier))
                     ->informativeText(),
                 QStringLiteral("Vorn 2.0 is now available (you have 1.4). Would you like to "
                                "install it now?"));
        click(StandardUserDriver::offerIdentifier, QStringLiteral("Install Update"));
        QTRY_VERIFY(shown(StandardUserDriver::installedIdentifier));

        QCOMPARE(
            h.lines({"user check", "update "}),
            (std::vector<std::string>{
                "user check for updates", "update found build=58 version=2.0",
                "update downloaded build=58", "update extracted build=58",
                "update will install build=58",
                "update installed build=58 path="
                    + (fromImage ? image : h.dir / "Downloads" / "Vorn-2.0.AppImage").string()}));
        QCOMPARE(h.errors(), std::size_t{0});
        QVERIFY(isEmptyDirectory(h.dir / "tmp"));
        // Asked from the menu: the program stays out of the taskbar.
        QCOMPARE(activationPolicy(), ActivationPolicy::accessory);
        if (fromImage) {
            QCOMPARE(test::readText(image), h.package);
            struct stat info {};
            ::stat(image.c_str(), &info);
            QCOMPARE(info.st_mode & 07777, 0750U);
            QVERIFY(isEmptyDirectory(h.dir / "Downloads"));
            click(StandardUserDriver::installedIdentifier, QStringLiteral("Restart Now"));
            QCOMPARE(h.relaunched, std::vector<std::filesystem::path>{image});
        } else {
            const auto saved = h.dir / "Downloads" / "Vorn-2.0.AppImage";
            QCOMPARE(test::readText(saved), h.package);
            click(StandardUserDriver::installedIdentifier, QStringLiteral("Show in Folder"));
            QCOMPARE(h.revealed, std::vector<std::filesystem::path>{saved});
        }
        QVERIFY(!h.controller->updater().sessionInProgress());
    }

    void theSameBuildIsNoUpdate() {
        Harness h;
        h.offer(item("57", "1.4", "same", 10, "c2ln") + item("9", "0.9", "old", 10, "c2ln"));
        h.start(h.configuration());
        h.updater->checkForUpdates();
        QTRY_VERIFY(shown(StandardUserDriver::noUpdateIdentifier));
        QCOMPARE(h.lines({"update "}),
                 (std::vector<std::string>{
                     "update not found: Vorn 1.4 is currently the newest version available.",
                     "update cycle ended: no update"}));
        QCOMPARE(h.errors(), std::size_t{0});
        QCOMPARE(h.server.requests().size(), std::size_t{1});
        // What the README promises a user who said no to usage data: a bare GET of the feed,
        // nothing about the user or the program in it.
        const test::LoopbackHttpServer::Request request = h.server.requests().front();
        QCOMPARE(request.method, std::string("GET"));
        QCOMPARE(request.path, std::string("/appcast.xml"));
        QVERIFY(request.body.empty());
        for (const auto& [name, value] : request.headers) {
            QVERIFY2(name == "host" || name == "accept", (name + ": " + value).c_str());
        }
    }

    void aFailedCycleIsAbortedAndLeavesNothing_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("chain");  // the start of the logged chain
        QTest::newRow("wrong signature") << "signature"
                                         << "org.vorn.update:3001<-org.vorn.update.signature:4: ";
        QTest::newRow("short download") << "short"
                                        << "org.vorn.update:2001<-org.vorn.update.download:1: ";
        QTest::newRow("long download") << "long"
                                       << "org.vorn.update:2001<-transfer:1: ";
        QTest::newRow("feed not XML") << "not xml"
                                      << "org.vorn.update:1000<-xml:";
        QTest::newRow("feed missing") << "no feed"
                                      << "org.vorn.update:1002<-http:404: ";
        // A redirect to another server stands for one from https down to http: the same rule
        // (scheme, host and port) refuses both.
        QTest::newRow("feed redirected to another server") << "feed moved away"
                                                           << "org.vorn.update:1002<-transfer:2: ";
        QTest::newRow("package redirected to another server")
            << "package moved away"
            << "org.vorn.update:2001<-transfer:2: ";
    }

    void aFailedCycleIsAbortedAndLeavesNothing() {
        QFETCH(QString, failure);
        QFETCH(QString, chain);
        Harness h;
        const test::SigningKey stranger;
        const std::string signature =
            failure == "signature" ? stranger.signBase64(h.package) : h.key.signBase64(h.package);
        h.offer(item("58", "2.0", "Vorn-2.0.AppImage", h.package.size(), signature));
        if (failure == "short") {
            h.routes["/Vorn-2.0.AppImage"].body.resize(h.package.size() - 100);
        } else if (failure == "long") {
            h.routes["/Vorn-2.0.AppImage"].body += "more";
        } else if (failure == "not xml") {
            h.routes["/appcast.xml"].body = "<html>this is no feed";
        } else if (failure == "no feed") {
            h.routes.erase("/appcast.xml");
        }
        // What the other server would serve, were it asked.
        test::LoopbackHttpServer elsewhere;
        elsewhere.setResponder([&](const test::LoopbackHttpServer::Request& request) {
            return request.path == "/appcast.xml" ? h.routes["/appcast.xml"]
                                                  : h.routes["/Vorn-2.0.AppImage"];
        });
        if (failure == "feed moved away") {
            h.routes["/moved.xml"] = Reply{302, {}, {{"Location", elsewhere.url("/appcast.xml")}}};
        } else if (failure == "package moved away") {
            h.routes["/moved.AppImage"] =
                Reply{307, {}, {{"Location", elsewhere.url("/Vorn-2.0.AppImage")}}};
            h.offer(item("58", "2.0", "moved.AppImage", h.package.size(), signature));
        }
        auto configuration = h.configuration();
        if (failure == "feed moved away") {
            configuration.feedURL = h.server.url("/moved.xml");
        }
        h.start(configuration);
        h.updater->checkForUpdates();
        const bool downloads = failure == "signature" || failure == "short" || failure == "long"
                               || failure == "package moved away";
        if (downloads) {
            QTRY_VERIFY(shown(StandardUserDriver::offerIdentifier));
            click(StandardUserDriver::offerIdentifier, QStringLiteral("Install Update"));
        }
        QTRY_VERIFY(shown(StandardUserDriver::errorIdentifier));
        QCOMPARE(h.logs.count("updater", "update ABORTED chain=" + chain.toStdString()), 1U);
        if (failure.endsWith("moved away")) {
            // The user is told why, and nothing was asked of the other server.
            const QString told =
                qobject_cast<QMessageBox*>(shown(StandardUserDriver::errorIdentifier))
                    ->informativeText();
            QVERIFY2(told.contains(QStringLiteral(": another scheme, host or port (http://"
                                                  "127.0.0.1:%1/")
                                       .arg(elsewhere.port())),
                     qPrintable(told));
            QVERIFY(elsewhere.requests().empty());
        }
        QCOMPARE(
            h.logs.count("updater", "update download FAILED build=58: "),
            failure == "short" || failure == "long" || failure == "package moved away" ? 1U : 0U);
        // Nothing stays behind, even while the user reads the alert.
        QVERIFY(isEmptyDirectory(h.dir / "tmp"));
        QVERIFY(isEmptyDirectory(h.dir / "Downloads"));
        click(StandardUserDriver::errorIdentifier, QStringLiteral("OK"));
        QVERIFY(!h.controller->updater().sessionInProgress());
    }

    void aScheduledFindShowsInTheTaskbarUntilTheSessionEnds_data() {
        QTest::addColumn<bool>("autoDownload");
        QTest::newRow("offered") << false;
        QTest::newRow("downloaded by itself") << true;
    }

    void aScheduledFindShowsInTheTaskbarUntilTheSessionEnds() {
        QFETCH(bool, autoDownload);
        Harness h;
        std::filesystem::create_directories(h.dir / "config");
        test::writeText(h.dir / "config" / "updates.json",
                        std::string(R"({"automaticallyChecksForUpdates": true,)")
                            + R"("automaticallyDownloadsUpdates": )"
                            + (autoDownload ? "true}" : "false}"));
        auto configuration = h.configuration();
        configuration.firstCheckDelay = std::chrono::milliseconds(0);
        h.start(configuration);
        const char* window = autoDownload ? StandardUserDriver::installedIdentifier
                                          : StandardUserDriver::offerIdentifier;
        QTRY_VERIFY(shown(window));
        QCOMPARE(activationPolicy(), ActivationPolicy::regular);
        // Found on schedule: shown without taking the focus from the user's work.
        QVERIFY(shown(window)->testAttribute(Qt::WA_ShowWithoutActivating));
        QVERIFY(autoDownload == !h.lines({"update downloaded"}).empty());
        click(window, autoDownload ? QStringLiteral("Close") : QStringLiteral("Later"));
        QCOMPARE(activationPolicy(), ActivationPolicy::accessory);
        QVERIFY(!h.controller->updater().sessionInProgress());
    }

    void checksRunAMinuteAfterStartThenDaily() {
        platform::sim::SimulatedClock clock;
        platform::sim::SimulatedRunLoop loop(clock);
        test::TempDir dir;
        test::SigningKey key;
        test::LoopbackHttpServer server;
        server.setResponder([&](const test::LoopbackHttpServer::Request&) {
            return Reply{200, feed(item("60", "3.0", "x", 10, "c2ln")), {}};
        });
        RecordingDriver driver;
        UpdaterConfiguration configuration;
        configuration.feedURL = server.url("/appcast.xml");
        configuration.publicKey = key.publicKeyBase64();
        configuration.buildVersion = "57";
        configuration.settingsFile = dir / "updates.json";
        Updater updater(configuration, loop, driver, nullptr);
        updater.start();
        const auto started = loop.now();

        const auto checkAt = [&](platform::Duration after) {
            loop.runUntil(started + after - std::chrono::seconds(1));
            QVERIFY(!updater.sessionInProgress());
            loop.runUntil(started + after);
            QVERIFY(updater.sessionInProgress());
            QTRY_VERIFY((loop.drain(), driver.pending != nullptr));
            std::exchange(driver.pending, nullptr)();
        };
        checkAt(std::chrono::minutes(1));
        checkAt(std::chrono::minutes(1) + std::chrono::hours(24));
        QCOMPARE(driver.calls, (std::vector<std::string>{"found on schedule", "dismiss",
                                                         "found on schedule", "dismiss"}));
        updater.setAutomaticallyChecksForUpdates(false);
        loop.runUntil(started + std::chrono::hours(72));
        QVERIFY(!updater.sessionInProgress());
        QCOMPARE(server.requests().size(), std::size_t{2});
    }

    void mirrorsFollowTheEngineNotTheClick() {
        Harness h;
        h.start(h.configuration());
        QVERIFY(h.updater->automaticallyChecksForUpdates());
        QVERIFY(!h.updater->automaticallyDownloadsUpdates());
        QVERIFY(h.updater->allowsAutomaticUpdates());
        QVERIFY(h.logs.contains(
            "updater", "updater started autoCheck=true autoDownload=false allowsAuto=true"));
        int notified = 0;
        const Subscription subscription = h.updater->observePreferences([&] { ++notified; });

        h.updater->setAutomaticallyDownloadsUpdates(true);
        QCOMPARE(h.logs.count("updater", "auto update downloads -> true"), 1U);
        QVERIFY(h.controller->updater().automaticallyDownloadsUpdates());
        // The click reached the engine; the mirror waits for its notification.
        QVERIFY(!h.updater->automaticallyDownloadsUpdates());
        QTRY_VERIFY(h.updater->automaticallyDownloadsUpdates());
        QCOMPARE(notified, 1);
        // Switching to the value the engine holds changes nothing and notifies no one.
        h.updater->setAutomaticallyDownloadsUpdates(true);
        QCoreApplication::processEvents();
        QCOMPARE(notified, 1);

        // The engine keeps the choice for the next run.
        h.controller->updater().setAutomaticallyChecksForUpdates(false);
        QTRY_VERIFY(!h.updater->automaticallyChecksForUpdates());
        h.updater.reset();
        h.start(h.configuration());
        QVERIFY(!h.updater->automaticallyChecksForUpdates());
        QVERIFY(h.updater->automaticallyDownloadsUpdates());
    }

    void aBuildWithoutAFeedDoesNotUpdate() {
        Harness h;
        auto configuration = h.configuration();
        configuration.feedURL.clear();
        configuration.publicKey.clear();
        h.start(configuration);
        h.updater->setAutomaticallyChecksForUpdates(true);
        QCoreApplication::processEvents();
        QVERIFY(!h.updater->automaticallyChecksForUpdates());
        QVERIFY(!h.updater->automaticallyDownloadsUpdates());
        QVERIFY(!h.updater->allowsAutomaticUpdates());
        h.updater->checkForUpdates();
        auto* box = qobject_cast<QMessageBox*>(shown(StandardUserDriver::unavailableIdentifier));
        QVERIFY(box != nullptr);
        QCOMPARE(box->informativeText(),
                 QStringLiteral("This build of Vorn does not check for updates."));
        QVERIFY(h.server.requests().empty());
        QVERIFY(!std::filesystem::exists(h.dir / "config" / "updates.json"));
    }
};

}  // namespace vorn::updates

QTEST_MAIN(vorn::updates::UpdaterTests)
#include "UpdaterTests.moc"
