#include <memory>
#include <string>
#include <vector>

#include <QTextEdit>
#include <QtTest>

#include "CapturingLogSink.h"
#include "FeedbackController.h"
#include "JSON.h"
#include "LoopbackHttpServer.h"
#include "ModalAlert.h"
#include "OsRelease.h"
#include "QtRunLoop.h"

namespace vorn::app {
namespace {

// What the user saw, and when onSent ran relative to it.
struct Record {
    std::vector<std::string> events;
    std::vector<AlertContent> alerts;
};

// Answers the compose alert with "Send" after typing the text; run() hands the test the alert
// before the answer, while the controller is still composing.
void composeAndSend(Record& record,
                    const QString& text,
                    std::function<void()> whileOpen = {},
                    int button = 0) {
    ModalAlert::setNextAnswer(button, [&record, text, whileOpen](const AlertContent& alert) {
        record.events.push_back("compose");
        record.alerts.push_back(alert);
        qobject_cast<QTextEdit*>(alert.accessory)->setPlainText(text);
        if (whileOpen) {
            whileOpen();
        }
    });
}

void answerResult(Record& record) {
    ModalAlert::setNextAnswer(0, [&record](const AlertContent& alert) {
        record.events.push_back("alert " + alert.message.toStdString());
        record.alerts.push_back(alert);
    });
}

}  // namespace

class FeedbackControllerTests : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<QtRunLoop> m_loop;
    int m_pauses = 0;
    int m_resumes = 0;

    std::unique_ptr<FeedbackController> controllerFor(const std::string& endpoint, Record& record) {
        return std::make_unique<FeedbackController>(
            endpoint, [&record] { record.events.push_back("onSent"); },
            std::make_shared<host::CurlHttpSession>(), m_loop);
    }

private Q_SLOTS:
    void init() {
        m_loop = std::make_shared<QtRunLoop>();
        m_pauses = m_resumes = 0;
        ModalAlert::setAroundModalRun([this] { ++m_pauses; }, [this] { ++m_resumes; });
    }
    void cleanup() {
        ModalAlert::clearNextAnswers();
        ModalAlert::setAroundModalRun({}, {});
    }

    void theAnswerDecidesTheResultAlert_data() {
        QTest::addColumn<int>("status");  // 0: nothing listens
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("sent");
        QTest::newRow("204") << 204 << "Thanks for your feedback!"
                             << "" << true;
        QTest::newRow("302 not followed")
            << 302 << "Couldn't send feedback"
            << "The server returned an error (302). Please try again later." << false;
        QTest::newRow("500") << 500 << "Couldn't send feedback"
                             << "The server returned an error (500). Please try again later."
                             << false;
        QTest::newRow("refused") << 0 << "Couldn't send feedback"
                                 << "Please check your connection and try again." << false;
    }

    void theAnswerDecidesTheResultAlert() {
        QFETCH(int, status);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, sent);
        test::LoopbackHttpServer server;
        server.setResponder([&server, status](const test::LoopbackHttpServer::Request&) {
            return test::LoopbackHttpServer::Reply{
                status, {}, {{"Location", server.url("/elsewhere")}}};
        });
        const std::string endpoint =
            status != 0 ? server.url("/feedback")
                        : "http://127.0.0.1:"
                              + std::to_string(test::LoopbackHttpServer::refusingPort()) + "/";
        test::CapturingLogSink logs;
        Record record;
        auto controller = controllerFor(endpoint, record);
        composeAndSend(record, QStringLiteral("  The sidebar is great\n"));
        answerResult(record);

        controller->show();
        QTRY_COMPARE(record.alerts.size(), std::size_t{2});

        std::vector<std::string> expected{"compose"};
        if (sent) {
            // Handed over before the user reads the thanks.
            expected.push_back("onSent");
        }
        expected.push_back("alert " + title.toStdString());
        QCOMPARE(record.events, expected);
        const AlertContent& result = record.alerts[1];
        QCOMPARE(result.informativeText, text);
        QCOMPARE(result.icon, sent ? QMessageBox::Information : QMessageBox::Warning);
        QCOMPARE(result.identifier, QStringLiteral("vorn.feedback.result"));
        QCOMPARE(m_pauses, 2);
        QCOMPARE(m_resumes, 2);
        QVERIFY(logs.contains("feedback", "submitting feedback (20 chars)"));
        if (status != 0) {
            // Exactly one request: a redirect is the answer, not a new address.
            QCOMPARE(server.requests().size(), std::size_t{1});
            auto request = server.requests().front();
            QCOMPARE(request.method, std::string("POST"));
            QCOMPARE(request.path, std::string("/feedback"));
            QCOMPARE(request.headers["content-type"], std::string("application/json"));
            const auto body = json::parse(request.body);
            QVERIFY(body.has_value());
            QCOMPARE((*body)["message"].get<std::string>(), std::string("The sidebar is great"));
            QCOMPARE((*body)["macOSVersion"].get<std::string>(), osPrettyName());
            QCOMPARE((*body)["appVersion"].get<std::string>(),
                     FeedbackController::appVersionString());
            QVERIFY(body->contains("locale"));
        }
        const std::string outcome = sent          ? "feedback sent ok"
                                    : status != 0 ? "feedback HTTP " + std::to_string(status)
                                                  : "feedback failed: ";
        QCOMPARE(logs.count("feedback", outcome), 1U);
        // The attempt is over: the next request opens the compose alert again.
        composeAndSend(record, QString(), {}, 1);
        controller->show();
        QCOMPARE(record.events.back(), std::string("compose"));
    }

    void oneAttemptAtATime() {
        test::LoopbackHttpServer server;
        server.replyWith(204);
        test::CapturingLogSink logs;
        Record record;
        auto controller = controllerFor(server.url("/"), record);
        // Asked again while composing, and again while the post is in flight.
        composeAndSend(record, QStringLiteral("hello"), [&] { controller->show(); });
        answerResult(record);
        controller->show();
        controller->show();
        QTRY_COMPARE(record.alerts.size(), std::size_t{2});
        QCOMPARE(logs.count("feedback", "feedback already presenting; ignoring"), 2U);
        QCOMPARE(std::count(record.events.begin(), record.events.end(), "onSent"), 1L);
        QCOMPARE(server.requests().size(), std::size_t{1});
    }

    void blankTextOrCancelSendsNothing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("button");
        QTest::newRow("spaces and newlines") << " \n\t \n" << 0;
        QTest::newRow("cancel") << "a real message" << 1;
    }

    void blankTextOrCancelSendsNothing() {
        QFETCH(QString, text);
        QFETCH(int, button);
        test::LoopbackHttpServer server;
        Record record;
        auto controller = controllerFor(server.url("/"), record);
        composeAndSend(record, text, {}, button);
        controller->show();
        composeAndSend(record, text, {}, button);
        controller->show();
        // Both requests opened the compose alert, and nothing else was shown or sent.
        QCOMPARE(record.events, (std::vector<std::string>{"compose", "compose"}));
        QCOMPARE(m_pauses, 2);
        QVERIFY(!server.waitForRequests(1, std::chrono::milliseconds(0)));
    }

    void theComposeAlertIsReadyToType() {
        Record record;
        auto controller = controllerFor("http://127.0.0.1:9/", record);
        QString viewName;
        QSize viewSize;
        bool richText = true;
        ModalAlert::setNextAnswer(1, [&](const AlertContent& alert) {
            record.alerts.push_back(alert);
            // The view lives only while the alert runs.
            auto* view = qobject_cast<QTextEdit*>(alert.accessory);
            QVERIFY(view != nullptr);
            viewName = view->objectName();
            viewSize = view->size();
            richText = view->acceptRichText();
        });
        controller->show();
        const AlertContent& compose = record.alerts.front();
        QCOMPARE(compose.identifier, QStringLiteral("vorn.feedback.compose"));
        QCOMPARE(compose.message, QStringLiteral("Send Feedback"));
        QCOMPARE(compose.informativeText,
                 QStringLiteral("Tell us what's working, what's broken, or what you'd like. Your "
                                "Vorn and Linux versions are included."));
        QCOMPARE(compose.buttons, (QStringList{"Send", "Cancel"}));
        QCOMPARE(viewName, QStringLiteral("vorn.feedback.message"));
        QCOMPARE(viewSize, QSize(320, 120));
        QVERIFY(!richText);
    }

    void charactersAreCountedAsPeopleSeeThem() {
        test::LoopbackHttpServer server;
        server.replyWith(204);
        test::CapturingLogSink logs;
        Record record;
        auto controller = controllerFor(server.url("/"), record);
        // e + combining acute, a thumbs-up with a skin tone, and a flag: three characters.
        composeAndSend(record,
                       QString::fromUtf8("e\u0301\U0001F44D\U0001F3FD\U0001F1E9\U0001F1EA"));
        answerResult(record);
        controller->show();
        QTRY_COMPARE(record.alerts.size(), std::size_t{2});
        QVERIFY(logs.contains("feedback", "submitting feedback (3 chars)"));
    }

    void withoutAnEndpointTheUserIsTold() {
        test::CapturingLogSink logs;
        Record record;
        FeedbackController controller(std::nullopt, {}, nullptr, m_loop);
        answerResult(record);
        controller.show();
        QCOMPARE(record.events, (std::vector<std::string>{"alert Feedback"}));
        QCOMPARE(record.alerts.front().informativeText,
                 QStringLiteral("Feedback isn't available in this build."));
        QCOMPARE(record.alerts.front().icon, QMessageBox::Warning);
        QVERIFY(logs.contains("feedback", "no VornFeedbackURL configured"));
        // Nothing is under way: asking again shows the same alert.
        answerResult(record);
        controller.show();
        QCOMPARE(record.alerts.size(), std::size_t{2});
    }

    void osReleaseNamesTheSystem() {
        QCOMPARE(osReleaseValue("NAME=Debian\nPRETTY_NAME=\"Debian \\\"12\\\"\"\n", "PRETTY_NAME"),
                 std::string("Debian \"12\""));
        QCOMPARE(osReleaseValue("PRETTY_NAME='Arch Linux'\n", "PRETTY_NAME"),
                 std::string("Arch Linux"));
        QCOMPARE(osPrettyName({"/nonexistent/os-release"}), std::string("Linux"));
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::FeedbackControllerTests)
#include "FeedbackControllerTests.moc"
