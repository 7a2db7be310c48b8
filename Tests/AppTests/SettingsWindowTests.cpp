#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QtTest>

#include "CapturingLogSink.h"
#include "ManualExecutor.h"
#include "PlacementSection.h"
#include "ScriptedWindowManager.h"
#include "SettingsWindowController.h"
#include "Store.h"
#include "TempDir.h"
#include "UpdatesSection.h"

namespace vorn::app {
namespace {

// Preferences whose values the test sets; a switch is recorded and, when `follows`, taken over.
struct FakePreferences final : UpdatePreferences {
    bool checks = false;
    bool downloads = false;
    bool allows = true;
    bool follows = true;
    std::vector<std::string> calls;
    std::function<void()> changed;

    bool automaticallyChecksForUpdates() const override { return checks; }
    bool automaticallyDownloadsUpdates() const override { return downloads; }
    bool allowsAutomaticUpdates() const override { return allows; }
    void setAutomaticallyChecksForUpdates(bool value) override {
        calls.push_back(std::string("checks=") + (value ? "true" : "false"));
        if (follows) {
            checks = value;
        }
    }
    void setAutomaticallyDownloadsUpdates(bool value) override {
        calls.push_back(std::string("downloads=") + (value ? "true" : "false"));
        if (follows) {
            downloads = value;
        }
    }
    Subscription observePreferences(std::function<void()> observer) override {
        changed = std::move(observer);
        return Subscription([this] { changed = nullptr; });
    }
};

// A model on a real state file, so that a choice is seen where it is kept.
struct Settings {
    test::TempDir dir;
    test::CapturingLogSink logs;
    std::shared_ptr<SidebarModel> model =
        SidebarModel::make(std::make_shared<test::ScriptedWindowManager>(),
                           std::make_shared<JSONFileStore>(dir / "state.json"),
                           nullptr,
                           nullptr,
                           std::make_shared<test::ManualExecutor>());

    PlacementMode saved() const {
        return JSONFileStore(dir / "state.json").load().settings.placement;
    }
};

QString helpOf(QWidget* window, const char* name) {
    return window->findChild<QLabel*>(QString::fromLatin1(name))->text();
}

}  // namespace

class SettingsWindowTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aSecondShowRaisesTheSameWindow() {
        Settings s;
        SettingsWindowController controller(s.model, nullptr);
        QVERIFY(!controller.window());
        controller.show();
        QPointer<QWidget> window = controller.window();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Vorn Settings"));
        QCOMPARE(window->objectName(), QStringLiteral("vorn.settings.window"));

        window->close();  // the close button only hides it
        controller.show();
        QCOMPARE(controller.window(), window.data());
        QVERIFY(window->isVisible());
        QCOMPARE(s.logs.count("settings", "settings window shown"), std::size_t{1});
        QCOMPARE(s.logs.count("settings", "settings window refocused"), std::size_t{1});

        controller.close();
        QVERIFY(!controller.window());
        QVERIFY(!window);
        controller.show();
        QVERIFY(controller.window());
    }

    void startsOnTheSetPlacementAndClosesByKey() {
        Settings s;
        s.model->setPlacementMode(PlacementMode::center);
        SettingsWindowController controller(s.model, nullptr);
        controller.show();
        QWidget* window = controller.window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(QApplication::focusWidget()->objectName(),
                 QStringLiteral("vorn.settings.placement.center"));

        for (const QKeySequence& key : {QKeySequence(Qt::Key_Escape), QKeySequence("Ctrl+W")}) {
            QTest::keySequence(window, key);
            QVERIFY(!window->isVisible());
            controller.show();
            QVERIFY(QTest::qWaitForWindowActive(window));
        }
        QCOMPARE(controller.window(), window);
    }

    void placementChoiceReachesTheModelAndTheFile() {
        Settings s;
        SettingsWindowController controller(s.model, nullptr);
        controller.show();
        QWidget* window = controller.window();
        QVERIFY(window->findChild<QWidget*>("vorn.settings.placement"));
        auto* fill = window->findChild<QRadioButton*>("vorn.settings.placement.fill");
        auto* normal = window->findChild<QRadioButton*>("vorn.settings.placement.normal");
        QVERIFY(fill->isChecked());  // the default
        QCOMPARE(helpOf(window, "vorn.settings.placement.help"),
                 PlacementSection::helpText(PlacementMode::fill));

        normal->click();
        QCOMPARE(s.model->placementMode(), PlacementMode::normal);
        QCOMPARE(s.saved(), PlacementMode::normal);
        QVERIFY(helpOf(window, "vorn.settings.placement.help")
                    .startsWith("On activation, a window only moves"));
        QCOMPARE(s.logs.count("model", "placementMode -> normal"), std::size_t{1});

        // The mode already set: nothing changes, nothing is saved.
        normal->click();
        QCOMPARE(s.logs.count("model", "placementMode -> normal"), std::size_t{1});

        // A change made elsewhere shows at once.
        s.model->setPlacementMode(PlacementMode::center);
        QVERIFY(window->findChild<QRadioButton*>("vorn.settings.placement.center")->isChecked());
        QCOMPARE(helpOf(window, "vorn.settings.placement.help"),
                 QStringLiteral("On activation, a window is centered in the area beside the "
                                "sidebar every time."));
    }

    void updatesShowOnlyWithPreferences() {
        Settings s;
        SettingsWindowController without(s.model, nullptr);
        without.show();
        QVERIFY(!without.window()->findChild<QCheckBox*>());
        QVERIFY(!without.window()->findChild<UpdatesSection*>());

        FakePreferences preferences;
        SettingsWindowController with(s.model, &preferences);
        with.show();
        QVERIFY(with.window()->findChild<UpdatesSection*>());
        QVERIFY(with.window()->findChild<QCheckBox*>("vorn.settings.updates.automaticChecks"));
    }

    void updatesHelpAndSwitches_data() {
        QTest::addColumn<bool>("checks");
        QTest::addColumn<bool>("downloads");
        QTest::addColumn<bool>("allows");
        QTest::addColumn<QString>("help");
        QTest::newRow("downloads first, even with checks off")
            << false << true << true << "New versions download in the background";
        QTest::newRow("checks only") << true << false << true << "Vorn checks for new versions";
        QTest::newRow("neither") << false << false << true << "Vorn won't check";
        QTest::newRow("not allowed") << false << false << false << "Vorn won't check";
    }

    void updatesHelpAndSwitches() {
        QFETCH(bool, checks);
        QFETCH(bool, downloads);
        QFETCH(bool, allows);
        QFETCH(QString, help);
        FakePreferences preferences;
        preferences.checks = checks;
        preferences.downloads = downloads;
        preferences.allows = allows;
        UpdatesSection section(preferences);
        auto* checksBox = section.findChild<QCheckBox*>("vorn.settings.updates.automaticChecks");
        auto* downloadsBox =
            section.findChild<QCheckBox*>("vorn.settings.updates.automaticDownloads");
        QCOMPARE(checksBox->isChecked(), checks);
        QCOMPARE(downloadsBox->isChecked(), downloads);
        QCOMPARE(downloadsBox->isEnabled(), allows);
        QCOMPARE(checksBox->isEnabled(), allows);
        QVERIFY(section.findChild<QLabel*>("vorn.settings.updates.help")->text().startsWith(help));
    }

    void aSwitchShowsWhatTheUpdaterHolds() {
        FakePreferences preferences;
        UpdatesSection section(preferences);
        auto* checks = section.findChild<QCheckBox*>("vorn.settings.updates.automaticChecks");
        checks->click();
        QCOMPARE(preferences.calls, std::vector<std::string>{"checks=true"});
        QVERIFY(checks->isChecked());
        QVERIFY(section.findChild<QLabel*>("vorn.settings.updates.help")
                    ->text()
                    .startsWith("Vorn checks for new versions"));

        // An updater that keeps its value: the switch goes back.
        preferences.follows = false;
        checks->click();
        QCOMPARE(preferences.calls.back(), std::string("checks=false"));
        QVERIFY(checks->isChecked());

        // ... until the updater itself says its value changed.
        preferences.checks = false;
        QVERIFY(preferences.changed);
        preferences.changed();
        QVERIFY(!checks->isChecked());
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::SettingsWindowTests)
#include "SettingsWindowTests.moc"
