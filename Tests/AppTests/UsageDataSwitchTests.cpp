#include <QApplication>
#include <QtTest>

#include "CapturingLogSink.h"
#include "FileIO.h"
#include "JSON.h"
#include "TempDir.h"
#include "UsageDataSwitch.h"

namespace vorn::app {
namespace {

// Records what the switch asks of the services.
struct RecordingServices final : ObservabilityService {
    void start() override {}
    std::shared_ptr<TelemetrySink> sink() const override {
        return std::make_shared<NoopTelemetrySink>();
    }
    void setConsented(bool consented) override { answers.push_back(consented); }

    std::vector<bool> answers;
};

// The keys of the consent file, in the order written.
QStringList keysOf(const std::filesystem::path& file) {
    QStringList keys;
    const auto value = json::parse(fileio::readFile(file).value_or(""));
    if (value && value->is_object()) {
        for (const auto& [key, entry] : value->items()) {
            keys << QString::fromStdString(key);
        }
    }
    return keys;
}

}  // namespace

class UsageDataSwitchTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsTheRecordedAnswerAndAppliesAChangeAtOnce_data() {
        QTest::addColumn<bool>("recorded");
        QTest::newRow("given") << true;
        QTest::newRow("withdrawn") << false;
    }

    void showsTheRecordedAnswerAndAppliesAChangeAtOnce() {
        QFETCH(bool, recorded);
        test::TempDir dir;
        test::CapturingLogSink logs;
        auto store = std::make_shared<JSONFileConsentStore>(dir / "consent.json");
        ConsentState answered;
        answered.telemetryEnabled = recorded;
        answered.disclosureShownVersion = "1.0";
        answered.decidedAt = Date(700000000);
        QVERIFY(store->save(answered));
        RecordingServices services;
        UsageDataPreference preference(store, services, recorded, "2.0",
                                       [] { return Date(750000000); });
        QWidget window;
        auto* toggle = new UsageDataSwitch(preference, &window);
        window.show();

        auto* found = window.findChild<QCheckBox*>(QStringLiteral("vorn.settings.usageData"));
        QCOMPARE(found, toggle);
        QCOMPARE(found->text(), QStringLiteral("Share anonymous usage data and crash reports"));
        QCOMPARE(found->isChecked(), recorded);

        QTest::mouseClick(found, Qt::LeftButton);
        QCOMPARE(found->isChecked(), !recorded);
        QCOMPARE(services.answers, std::vector<bool>{!recorded});
        const ConsentState stored = store->load();
        QCOMPARE(stored.telemetryEnabled, !recorded);
        // The first answer's version stays; the time is the change's.
        QCOMPARE(stored.disclosureShownVersion, std::optional<std::string>("1.0"));
        QCOMPARE(stored.decidedAt, std::optional<Date>(Date(750000000)));
        QCOMPARE(keysOf(dir / "consent.json"), QStringList({"decidedAt", "disclosureShownVersion",
                                                            "telemetryEnabled", "version"}));
        QCOMPARE(logs.count("consent", "usage data changed in settings: telemetryEnabled="), 1U);

        // Back again, and a switch built later shows what was recorded last.
        QTest::mouseClick(found, Qt::LeftButton);
        QCOMPARE(services.answers, (std::vector<bool>{!recorded, recorded}));
        QCOMPARE(store->load().telemetryEnabled, recorded);
        UsageDataSwitch later(preference);
        later.show();
        QCOMPARE(later.isChecked(), recorded);
    }

    void anAnswerThatCannotBeSavedStillHoldsForTheRun() {
        test::TempDir dir;
        test::CapturingLogSink logs;
        // A plain file where the consent file's folder would be.
        test::writeText(dir / "blocked", "");
        auto store = std::make_shared<JSONFileConsentStore>(dir / "blocked" / "consent.json");
        RecordingServices services;
        UsageDataPreference preference(store, services, true, "2.0");
        UsageDataSwitch toggle(preference);
        toggle.show();
        QVERIFY(toggle.isChecked());

        QTest::mouseClick(&toggle, Qt::LeftButton);
        QCOMPARE(services.answers, std::vector<bool>{false});
        QCOMPARE(logs.count("consent", "usage data answer not saved"), 1U);
        toggle.hide();
        toggle.show();
        QVERIFY(!toggle.isChecked());
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::UsageDataSwitchTests)
#include "UsageDataSwitchTests.moc"
