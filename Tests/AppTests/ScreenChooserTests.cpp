#include <QAccessible>
#include <QApplication>
#include <QPushButton>
#include <QtTest>

#include "DisplayCatalog.h"
#include "ScreenChooser.h"
#include "ScreenEvents.h"
#include "SimulatedWorld.h"

namespace vorn::app {
namespace {

using Answers = std::vector<std::string>;

struct Chooser {
    test::SimulatedWorld world;
    DisplayCatalog catalog{world.services.screens, world.services.windowServer};
    ScreenEvents events;
    ScreenChooser chooser{catalog, events};
    Answers answers;

    void choose(std::optional<std::string> hostKey = std::nullopt) {
        chooser.choose(
            std::move(hostKey),
            [this](std::uint32_t id) { answers.push_back("returned " + std::to_string(id)); },
            [this](std::uint32_t id) { answers.push_back("picked " + std::to_string(id)); });
    }
    // A display whose stable key is "vms:1:2:<serial>".
    void connect(std::uint32_t id, std::uint32_t serial) {
        world.desktop.addDisplay(
            {.id = id, .bounds = Rect(1920, 0, 2560, 1440), .identity = {{1, 2, serial}}});
        events.announce();
        QCoreApplication::sendPostedEvents(&events, QEvent::MetaCall);
    }
    void disconnect(std::uint32_t id) {
        world.desktop.removeDisplay(id);
        events.announce();
        QCoreApplication::sendPostedEvents(&events, QEvent::MetaCall);
    }
    // The shown row; a replaced list lingers hidden until deleted.
    QPushButton* row(std::uint32_t id) const {
        const auto name = QStringLiteral("vorn.chooser.display.%1").arg(id);
        for (auto* row : chooser.window()->findChildren<QPushButton*>(name)) {
            if (row->isVisibleTo(chooser.window())) {
                return row;
            }
        }
        return nullptr;
    }
};

}  // namespace

class ScreenChooserTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void oneDisplayAnswersAtOnce() {
        Chooser c;
        c.choose();
        QCOMPARE(c.answers, Answers({"picked 1"}));
        QVERIFY(c.chooser.window() == nullptr);
    }

    void onlyAPickLeavesTheWindow() {
        Chooser c;
        c.connect(2, 5);
        c.choose();
        QVERIFY(!c.chooser.window()->close());
        QVERIFY(c.answers.empty());

        const int twoRows = c.chooser.window()->height();
        c.connect(3, 6);
        QVERIFY(c.row(3) != nullptr && c.chooser.window()->height() > twoRows);
        QPushButton* second = c.row(2);
        second->click();
        second->click();  // late: nothing left to answer
        QCOMPARE(c.answers, Answers({"picked 2"}));
        QVERIFY(c.chooser.window() == nullptr);
    }

    void aDialogWhoseKeyboardStartsOnTheFirstDisplay() {
        Chooser c;
        c.connect(2, 5);
        c.choose();
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(c.chooser.window());
        QCOMPARE(window->role(), QAccessible::Dialog);
        QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Choose a display for Vorn"));
        QVERIFY(QTest::qWaitForWindowActive(c.chooser.window()));
        QCOMPARE(QApplication::focusWidget(), c.row(1));

        // The list is made again; the keyboard stays on its display, and Return picks it.
        c.row(2)->setFocus();
        c.connect(3, 6);
        QCOMPARE(c.chooser.window()->focusWidget(), c.row(2));
        QTest::keyClick(c.row(2), Qt::Key_Return);
        QCOMPARE(c.answers, Answers({"picked 2"}));
    }

    void atStartUpTheLastDisplayLeftIsTaken() {
        Chooser c;
        c.connect(2, 5);
        c.choose();
        c.disconnect(1);
        QCOMPARE(c.answers, Answers({"picked 2"}));
    }

    void reselectionWaitsForTheUserOrTheOldHost() {
        Chooser c;
        c.connect(2, 5);
        c.connect(3, 6);
        c.disconnect(1);
        c.choose("vms:1:2:9");
        c.disconnect(3);
        QVERIFY(c.answers.empty());
        QVERIFY(c.row(2) != nullptr && c.row(3) == nullptr);
        c.connect(8, 9);  // the old host, renumbered
        QCOMPARE(c.answers, Answers({"returned 8"}));
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::ScreenChooserTests)
#include "ScreenChooserTests.moc"
