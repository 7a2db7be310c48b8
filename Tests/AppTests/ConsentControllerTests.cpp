#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
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

    void answersAreRecordedOnceInTheConsentFile_data() {
        QTest::addColumn<QString>("before");  // the file's content; empty: no file
        QTest::addColumn<int>("answer");      // -1: no alert expected
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("version");

        QTest::newRow("first launch, OK") << "" << 0 << true << "2.1";
        QTest::newRow("first launch, Turn Off") << "" << 1 << false << "2.1";
        QTest::newRow("alert closed otherwise") << "" << -1 << false << "2.1";
        QTest::newRow("unreadable file asks again") << "{not json" << 0 << true << "2.1";
        QTest::newRow("older answer kept")
            << R"({"disclosureShownVersion":"1.0","telemetryEnabled":false})" << -2 << false
            << "1.0";
        QTest::newRow("recorded answer without the flag")
            << R"({"disclosureShownVersion":"1.0"})" << -2 << false << "1.0";
    }

    void answersAreRecordedOnceInTheConsentFile() {
        QFETCH(QString, before);
        QFETCH(int, answer);
        QFETCH(bool, enabled);
        QFETCH(QString, version);
        test::TempDir dir;
        test::CapturingLogSink logs;
        const auto path = dir / "consent.json";
        if (!before.isEmpty()) {
            test::writeText(path, before.toStdString());
        }
        const bool asks = answer != -2;
        if (asks) {
            ModalAlert::setNextAnswer(answer);
        }
        auto store = std::make_shared<JSONFileConsentStore>(path);
        ConsentController controller(store, "2.1", [] { return Date(750000000); });

        const ConsentState resolved = controller.resolveFirstRunDisclosure();
        QCOMPARE(resolved.telemetryEnabled, enabled);
        const ConsentState stored = store->load();
        QCOMPARE(stored.telemetryEnabled, enabled);
        QCOMPARE(stored.disclosureShownVersion, std::optional<std::string>(version.toStdString()));
        QCOMPARE(logs.count("consent", "first-run disclosure resolved"), asks ? 1U : 0U);
        if (asks) {
            QCOMPARE(stored.decidedAt, std::optional<Date>(Date(750000000)));
        }
        // Asked once: the next launch reads the answer.
        ConsentController again(store, "2.2");
        QCOMPARE(again.resolveFirstRunDisclosure().telemetryEnabled, enabled);
    }

    void theAlertCarriesItsTextsAndIdentifier() {
        test::TempDir dir;
        auto store = std::make_shared<JSONFileConsentStore>(dir / "consent.json");
        ConsentController controller(store, "2.1");
        QString seenText;
        QStringList seenButtons;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            QCOMPARE(box->objectName(), QStringLiteral("vorn.consent.disclosure"));
            seenText = box->text();
            for (QAbstractButton* button : box->buttons()) {
                seenButtons << button->text();
                if (button->text() == QStringLiteral("Turn Off")) {
                    button->click();
                }
            }
        });
        QVERIFY(!controller.resolveFirstRunDisclosure().telemetryEnabled);
        QCOMPARE(seenText, QStringLiteral("Help improve Vorn"));
        seenButtons.sort();
        QCOMPARE(seenButtons, QStringList({"OK", "Turn Off"}));
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::ConsentControllerTests)
#include "ConsentControllerTests.moc"
