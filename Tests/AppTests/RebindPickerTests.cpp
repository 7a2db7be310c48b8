#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "RebindPicker.h"

namespace vorn::app {
namespace {

WindowInfo candidate(std::uint32_t id, std::string title, WindowState state, Rect frame) {
    WindowInfo window;
    window.windowID = WindowID(id);
    window.app = AppRef{"org.example.Notes", "Notes"};
    window.title = std::move(title);
    window.state = state;
    window.frame = frame;
    return window;
}

RebindRequest request() {
    return RebindRequest("Notes", "Plan & Budget",
                         {candidate(11, "", WindowState::minimized, Rect(0, 0, 1280.7, 800.2)),
                          candidate(12, "Draft", WindowState::normal, Rect(0, 0, 640, 480))});
}

std::string describe(RebindChoice choice) {
    switch (choice.kind()) {
        case RebindChoice::Kind::pick:
            return "pick " + std::to_string(choice.window().raw);
        case RebindChoice::Kind::openNew:
            return "openNew";
        case RebindChoice::Kind::cancel:
            return "cancel";
    }
    return "?";
}

}  // namespace

class RebindPickerTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyRequestIsAnsweredExactlyOnce_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("answer");
        QTest::newRow("row") << "vorn.rebind.row.12"
                             << "pick 12";
        QTest::newRow("open new") << "vorn.rebind.openNew"
                                  << "openNew";
        QTest::newRow("cancel") << "vorn.rebind.cancel"
                                << "cancel";
        QTest::newRow("escape") << "escape"
                                << "cancel";
        QTest::newRow("window closed") << "close"
                                       << "cancel";
        QTest::newRow("teardown") << "finish"
                                  << "cancel";
    }

    void everyRequestIsAnsweredExactlyOnce() {
        QFETCH(QString, action);
        QFETCH(QString, answer);
        RebindPicker picker;
        std::vector<std::string> answers;
        bool windowGoneFirst = false;
        picker.present(request(), RebindCompletion([&](RebindChoice choice) {
                           windowGoneFirst = picker.window() == nullptr;
                           answers.push_back(describe(choice));
                       }));
        QWidget* window = picker.window();
        QVERIFY(window != nullptr);
        QCOMPARE(window->objectName(), QStringLiteral("vorn.rebind.window"));

        if (action == "escape") {
            QTest::keyClick(window, Qt::Key_Escape);
        } else if (action == "close") {
            window->close();
        } else if (action == "finish") {
            picker.finish(RebindChoice::cancel());
        } else {
            window->findChild<QPushButton*>(action)->click();
        }
        picker.finish(RebindChoice::openNew());  // late: ignored
        QCOMPARE(answers, std::vector<std::string>({answer.toStdString()}));
        QVERIFY(windowGoneFirst);
    }

    void aSecondRequestIsCancelledWhileOneIsOpen() {
        RebindPicker picker;
        std::vector<std::string> answers;
        picker.present(request(), RebindCompletion([&](RebindChoice c) {
                           answers.push_back("first " + describe(c));
                           // Presenting from inside the answer opens a fresh picker.
                           picker.present(request(), RebindCompletion([&](RebindChoice c2) {
                                              answers.push_back("third " + describe(c2));
                                          }));
                       }));
        picker.present(request(), RebindCompletion([&](RebindChoice c) {
                           answers.push_back("second " + describe(c));
                       }));
        QCOMPARE(answers, std::vector<std::string>({"second cancel"}));
        picker.window()->findChild<QPushButton*>("vorn.rebind.row.11")->click();
        QVERIFY(picker.window() != nullptr);
        picker.finish(RebindChoice::openNew());
        QCOMPARE(answers,
                 std::vector<std::string>({"second cancel", "first pick 11", "third openNew"}));
    }

    void aDialogWhoseKeyboardStartsOnTheFirstChoice() {
        RebindPicker picker;
        std::vector<std::string> answers;
        const auto record =
            RebindCompletion([&](RebindChoice c) { answers.push_back(describe(c)); });
        picker.present(request(), record);
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(picker.window());
        QCOMPARE(window->role(), QAccessible::Dialog);
        QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Window not found"));
        QVERIFY(window->text(QAccessible::Description).contains("Plan & Budget"));
        QVERIFY(QTest::qWaitForWindowActive(picker.window()));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("vorn.rebind.row.11"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(answers, std::vector<std::string>({"pick 11"}));

        // Without candidates the keyboard starts on "Open New Window".
        picker.present(RebindRequest("Notes", "Plan", {}), record);
        QVERIFY(QTest::qWaitForWindowActive(picker.window()));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("vorn.rebind.openNew"));
        picker.finish(RebindChoice::cancel());
    }

    void rowsShowTitlesAsPlainTextWithTheirSize() {
        RebindPicker picker;
        picker.present(request(), RebindCompletion([](RebindChoice) {}));
        auto* untitled = picker.window()->findChild<QPushButton*>("vorn.rebind.row.11");
        QCOMPARE(untitled->accessibleName(), QStringLiteral("Notes"));
        QCOMPARE(untitled->accessibleDescription(),
                 QStringLiteral("Minimized \u00B7 1280 \u00D7 800"));
        auto* draft = picker.window()->findChild<QPushButton*>("vorn.rebind.row.12");
        QCOMPARE(draft->accessibleDescription(), QStringLiteral("640 \u00D7 480"));
        for (const QLabel* label : picker.window()->findChildren<QLabel*>()) {
            QVERIFY(label->text().isEmpty() || label->textFormat() == Qt::PlainText);
        }
        // No application of that name: the generic window symbol stands in for its icon.
        const auto* icon = untitled->findChild<QLabel*>();
        QVERIFY(icon && !icon->pixmap().isNull());
        QVERIFY(picker.window()->findChild<QWidget*>("vorn.rebind.list") != nullptr);
        picker.finish(RebindChoice::cancel());

        // Long titles are cut or wrapped; the window keeps its width.
        const std::string longTitle(2000, 'W');
        picker.present(RebindRequest("Notes", longTitle,
                                     {candidate(13, longTitle, WindowState::normal, Rect())}),
                       RebindCompletion([](RebindChoice) {}));
        QCOMPARE(picker.window()->width(), 380);
        picker.finish(RebindChoice::cancel());
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::RebindPickerTests)
#include "RebindPickerTests.moc"
