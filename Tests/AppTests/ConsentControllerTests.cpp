#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "CapturingLogSink.h"
#include "ConsentController.h"
#include "ModalAlert.h"
#include "TempDir.h"

namespace vorn::app {

class ConsentControllerTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { ModalAlert::clearNextAnswers(); }

    void theAnswerIsRecordedOnce_data() {
        QTest::addColumn<QString>("before");  // the file; empty: none
        QTest::addColumn<int>("answer");      // the button; -2: no alert expected
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("version");
        QTest::newRow("OK") << "" << 0 << true << "2.1";
        QTest::newRow("Turn Off") << "" << 1 << false << "2.1";
        QTest::newRow("closed otherwise") << "" << -1 << false << "2.1";
        QTest::newRow("unreadable file") << "{not json" << 0 << true << "2.1";
        QTest::newRow("older answer kept")
            << R"({"disclosureShownVersion":"1.0","telemetryEnabled":false})" << -2 << false
            << "1.0";
    }

    void theAnswerIsRecordedOnce() {
        QFETCH(QString, before);
        QFETCH(int, answer);
        QFETCH(bool, enabled);
        QFETCH(QString, version);
        test::TempDir dir;
        test::CapturingLogSink logs;
        if (!before.isEmpty()) {
            test::writeText(dir / "consent.json", before.toStdString());
        }
        if (answer != -2) {
            ModalAlert::setNextAnswer(answer);
        }
        auto store = std::make_shared<JSONFileConsentStore>(dir / "consent.json");
        ConsentController controller(store, "2.1", [] { return Date(750000000); });

        QCOMPARE(controller.resolveFirstRunDisclosure().telemetryEnabled, enabled);
        const ConsentState stored = store->load();
        QCOMPARE(stored.telemetryEnabled, enabled);
        QCOMPARE(stored.disclosureShownVersion, std::optional<std::string>(version.toStdString()));
        QCOMPARE(logs.count("consent", "first-run disclosure resolved"), answer != -2 ? 1U : 0U);
        // The next launch reads the answer without asking.
        QCOMPARE(ConsentController(store, "2.2").resolveFirstRunDisclosure().telemetryEnabled,
                 enabled);
    }

    void theAlertCarriesItsTextsAndIdentifier() {
        test::TempDir dir;
        ConsentController controller(std::make_shared<JSONFileConsentStore>(dir / "c.json"), "2");
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            seen << box->objectName() << box->text();
            QAbstractButton* turnOff = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                seen << button->text();
                turnOff = button->text() == "Turn Off" ? button : turnOff;
            }
            turnOff ? turnOff->click() : box->reject();
        });
        QVERIFY(!controller.resolveFirstRunDisclosure().telemetryEnabled);
        QCOMPARE(seen.mid(0, 2), QStringList({"vorn.consent.disclosure", "Help improve Vorn"}));
        QVERIFY(seen.contains("OK") && seen.contains("Turn Off"));
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::ConsentControllerTests)
#include "ConsentControllerTests.moc"
