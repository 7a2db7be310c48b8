#include <QtTest>

#include "CatalogPanelScreens.h"
#include "DisplayCatalog.h"
#include "SimulatedWorld.h"

namespace vorn::app {

using platform::DisplayIdentity;

class DisplayCatalogTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stableKeys_data() {
        QTest::addColumn<QString>("uuid");  // empty: none
        QTest::addColumn<bool>("hasIdentity");
        QTest::addColumn<quint32>("vendor");
        QTest::addColumn<quint32>("model");
        QTest::addColumn<quint32>("serial");
        QTest::addColumn<QString>("key");

        const QString uuid = "0E1D4E2A-77F3-4A9B-9E45-2B4C3A8F7D10";
        QTest::newRow("uuid wins") << uuid << true << 1u << 2u << 3u << uuid;
        QTest::newRow("vendor, model, serial")
            << "" << true << 1552u << 41001u << 0u << "vms:1552:41001:0";
        QTest::newRow("unknown identity") << "" << true << 0xFFFFFFFFu << 0xFFFFFFFFu << 0u << "";
        QTest::newRow("unknown vendor only")
            << "" << true << 0xFFFFFFFFu << 7u << 0u << "vms:4294967295:7:0";
        QTest::newRow("nothing known") << "" << false << 0u << 0u << 0u << "";
    }

    void stableKeys() {
        QFETCH(QString, uuid);
        QFETCH(bool, hasIdentity);
        QFETCH(quint32, vendor);
        QFETCH(quint32, model);
        QFETCH(quint32, serial);
        QFETCH(QString, key);
        test::SimulatedWorld world;
        auto& display = *world.desktop.display(1);
        if (!uuid.isEmpty()) {
            display.uuid = uuid.toStdString();
        }
        if (hasIdentity) {
            display.identity = DisplayIdentity{vendor, model, serial};
        }
        DisplayCatalog catalog(world.services.screens, world.services.windowServer);
        QCOMPARE(QString::fromStdString(catalog.stableKey(1)), key);
        QCOMPARE(catalog.snapshots(), std::vector<DisplaySnapshot>({{1, key.toStdString()}}));
    }

    void optionsSkipUnnumberedScreensAndTruncateSizes() {
        test::SimulatedWorld world;
        auto& desktop = world.desktop;
        desktop.addDisplay({.id = 5, .bounds = Rect(1920, 0, 1512.5, 982.9), .name = "Side"});
        desktop.addDisplay({.id = 6,
                            .bounds = Rect(0, 1080, 800, 600),
                            .deviceDescription = platform::Value::dictionary({})});
        desktop.mainDisplay = 5;
        DisplayCatalog catalog(world.services.screens, world.services.windowServer);

        const std::vector<DisplayOption> expected = {{1, "Built-in", 1920, 1080, false},
                                                     {5, "Side", 1512, 982, true}};
        QCOMPARE(catalog.options(), expected);
        QVERIFY(catalog.screen(5).has_value());
        QVERIFY(!catalog.screen(6).has_value());
        QVERIFY(!catalog.screen(9).has_value());
        QCOMPARE(catalog.mainDisplayID(), std::optional<std::uint32_t>(5));
    }

    void renumberedDisplayKeepsItsKey() {
        test::SimulatedWorld world;
        auto& desktop = world.desktop;
        desktop.addDisplay({.id = 2, .bounds = Rect(1920, 0, 1920, 1080), .identity = {{9, 8, 7}}});
        DisplayCatalog catalog(world.services.screens, world.services.windowServer);
        const std::string before = catalog.stableKey(2);
        desktop.removeDisplay(2);
        desktop.addDisplay({.id = 4, .bounds = Rect(1920, 0, 1920, 1080), .identity = {{9, 8, 7}}});
        QCOMPARE(catalog.stableKey(4), before);
        QVERIFY(!catalog.screen(2));
    }

    void panelAreasAreInQtCoordinates() {
        test::SimulatedWorld world;
        auto& desktop = world.desktop;
        desktop.display(1)->menuBarHeight = 25;
        desktop.display(1)->dockHeight = 55;
        // A scaled display to the right, lower than the primary.
        desktop.addDisplay({.id = 3, .bounds = Rect(1920, 200, 2560, 1440), .menuBarHeight = 40});
        DisplayCatalog catalog(world.services.screens, world.services.windowServer);
        const CatalogPanelScreens screens(catalog, [] {
            return std::vector<QtScreenPlacement>{{QPoint(0, 0), 1, true},
                                                  {QPoint(1920, 200), 2, false}};
        });

        QCOMPARE(screens.visibleArea(1), std::optional<QRect>(QRect(0, 25, 1920, 1000)));
        QCOMPARE(screens.visibleArea(3), std::optional<QRect>(QRect(1920, 220, 1280, 700)));
        QCOMPARE(screens.visibleAreaAt(QPoint(2000, 300)), screens.visibleArea(3));
        QCOMPARE(screens.visibleAreaAt(QPoint(100, 1200)), std::optional<QRect>());
        QVERIFY(!screens.visibleArea(8));
        QCOMPARE(screens.fallbackVisibleArea(), screens.visibleArea(1));

        desktop.display(1)->bounds = Rect(0, 0, 1920, 1e308 * 10);
        QVERIFY(!screens.visibleArea(1));  // an infinite height is never cast
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::DisplayCatalogTests)
#include "DisplayCatalogTests.moc"
