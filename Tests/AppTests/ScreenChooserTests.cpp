#include <optional>
#include <vector>

#include <QCloseEvent>
#include <QPushButton>
#include <QtTest>

#include "DisplayCatalog.h"
#include "ScreenChooser.h"
#include "ScreenEvents.h"
#include "SimulatedWorld.h"

namespace vorn::app {
namespace {

struct Chooser {
    test::SimulatedWorld world;
    DisplayCatalog catalog{world.services.screens, world.services.windowServer};
    ScreenEvents events;
    ScreenChooser chooser{catalog, events};
    std::vector<std::uint32_t> completed;
    std::vector<std::uint32_t> returned;

    void choose(std::optional<std::string> hostKey = std::nullopt) {
        chooser.choose(
            std::move(hostKey), [this](std::uint32_t id) { returned.push_back(id); },
            [this](std::uint32_t id) { completed.push_back(id); });
    }
    QStringList rows() const {
        QStringList names;
        for (const auto* row : chooser.window()->findChildren<QPushButton*>()) {
            if (row->isVisibleTo(chooser.window())) {
                names << row->objectName();
            }
        }
        return names;
    }
    void addSide(std::uint32_t id, std::uint32_t serial) {
        world.desktop.addDisplay({.id = id,
                                  .bounds = Rect(1920, 0, 2560, 1440),
                                  .name = "Side",
                                  .identity = {{1, 2, serial}}});
    }
};

}  // namespace

class ScreenChooserTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fewerThanTwoDisplaysAnswerAtOnce() {
        Chooser one;
        one.choose();
        QCOMPARE(one.completed, std::vector<std::uint32_t>({1}));
        QVERIFY(one.chooser.window() == nullptr);

        Chooser none;
        none.world.desktop.removeDisplay(1);
        none.world.desktop.addDisplay({.id = 4, .hasScreen = false});
        none.choose();
        QCOMPARE(none.completed, std::vector<std::uint32_t>({4}));
    }

    void theWindowListsTheDisplaysAndCannotBeClosed() {
        Chooser c;
        c.world.desktop.mainDisplay = 1;
        c.addSide(2, 5);
        c.choose();
        QWidget* window = c.chooser.window();
        QVERIFY(window != nullptr);
        QCOMPARE(window->objectName(), QStringLiteral("vorn.chooser.window"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Vorn"));
        QCOMPARE(c.rows(), QStringList({"vorn.chooser.display.1", "vorn.chooser.display.2"}));
        auto* main = window->findChild<QPushButton*>("vorn.chooser.display.1");
        QCOMPARE(main->accessibleName(), QStringLiteral("Built-in (Main)"));
        auto* side = window->findChild<QPushButton*>("vorn.chooser.display.2");
        QCOMPARE(side->accessibleDescription(), QStringLiteral("2560x1440"));

        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QVERIFY(c.completed.empty());

        side->click();
        side->click();  // a late second click finds nothing to answer
        QCOMPARE(c.completed, std::vector<std::uint32_t>({2}));
        QVERIFY(c.chooser.window() == nullptr);
    }

    void atStartUpLosingADisplayAnswersWithTheOneLeft() {
        Chooser c;
        c.addSide(2, 5);
        c.choose();
        const int twoRowsHigh = c.chooser.window()->height();
        c.addSide(3, 6);
        c.events.announce();
        QCOMPARE(c.rows().size(), 3);
        QVERIFY(c.chooser.window()->height() > twoRowsHigh);
        c.world.desktop.removeDisplay(1);
        c.world.desktop.removeDisplay(3);
        c.events.announce();
        QCOMPARE(c.completed, std::vector<std::uint32_t>({2}));
        QVERIFY(c.returned.empty());
        QVERIFY(c.chooser.window() == nullptr);
        c.events.announce();  // after dismissal: nothing
        QCOMPARE(c.completed.size(), std::size_t(1));
    }

    void reselectionWaitsForTheUserOrTheOldHost() {
        Chooser c;
        c.addSide(2, 5);
        c.addSide(3, 6);
        c.world.desktop.removeDisplay(1);
        c.choose("vms:1:2:9");
        c.world.desktop.removeDisplay(3);
        c.events.announce();
        QVERIFY(c.completed.empty());
        QCOMPARE(c.rows(), QStringList({"vorn.chooser.display.2"}));

        c.addSide(8, 9);  // the old host, renumbered
        c.events.announce();
        QCOMPARE(c.returned, std::vector<std::uint32_t>({8}));
        QVERIFY(c.completed.empty());
        QVERIFY(c.chooser.window() == nullptr);
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::ScreenChooserTests)
#include "ScreenChooserTests.moc"
