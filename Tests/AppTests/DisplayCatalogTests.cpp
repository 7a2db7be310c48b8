#include <QtTest>

#include "CatalogPanelScreens.h"
#include "DisplayCatalog.h"
#include "SimulatedWorld.h"

namespace vorn::app {

class DisplayCatalogTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stableKeys_data() {
        QTest::addColumn<QString>("uuid");       // empty: none
        QTest::addColumn<QString>("identity");   // "vendor model serial"; empty: none
        QTest::addColumn<QString>("connector");  // the display's names
        QTest::addColumn<QString>("monitor");
        QTest::addColumn<QString>("key");
        const QString uuid = "0E1D4E2A-77F3-4A9B-9E45-2B4C3A8F7D10";
        const QString unknown = "4294967295 4294967295 0";
        QTest::newRow("uuid wins") << uuid << "1 2 3"
                                   << "HDMI-1"
                                   << "HDMI-1" << uuid;
        QTest::newRow("vendor, model, serial before the port") << ""
                                                               << "1552 41001 0"
                                                               << "HDMI-1"
                                                               << "HDMI-1"
                                                               << "vms:1552:41001:0";
        QTest::newRow("unknown identity") << "" << unknown << ""
                                          << ""
                                          << "";
        QTest::newRow("unknown identity: the port") << "" << unknown << "HDMI-1"
                                                    << "HDMI-1"
                                                    << "output:HDMI-1";
        QTest::newRow("no identity: the port") << ""
                                               << ""
                                               << "DP-1+DP-2"
                                               << "tiled"
                                               << "output:DP-1+DP-2";
        QTest::newRow("no output: the monitor's name") << ""
                                                       << ""
                                                       << ""
                                                       << "left"
                                                       << "monitor:left";
        QTest::newRow("unknown vendor only") << ""
                                             << "4294967295 7 0"
                                             << ""
                                             << ""
                                             << "vms:4294967295:7:0";
        QTest::newRow("nothing known") << ""
                                       << ""
                                       << ""
                                       << ""
                                       << "";
    }

    void stableKeys() {
        QFETCH(QString, uuid);
        QFETCH(QString, identity);
        QFETCH(QString, connector);
        QFETCH(QString, monitor);
        QFETCH(QString, key);
        test::SimulatedWorld world;
        auto& display = *world.desktop.display(1);
        if (!uuid.isEmpty()) {
            display.uuid = uuid.toStdString();
        }
        if (const QStringList n = identity.split(' ', Qt::SkipEmptyParts); n.size() == 3) {
            display.identity =
                platform::DisplayIdentity{n[0].toUInt(), n[1].toUInt(), n[2].toUInt()};
        }
        display.names = {connector.toStdString(), monitor.toStdString()};
        DisplayCatalog catalog(world.services.screens, world.services.windowServer);
        QCOMPARE(catalog.snapshots(), std::vector<DisplaySnapshot>({{1, key.toStdString()}}));
        // The names are asked for only when nothing better identifies the display.
        const bool fromNames =
            key.isEmpty() || key.startsWith("output:") || key.startsWith("monitor:");
        QCOMPARE(world.desktop.callsStartingWith("displayNames ").size(), fromNames ? 1U : 0U);
    }

    void optionsSkipUnnumberedScreensAndTruncateSizes() {
        test::SimulatedWorld world;
        world.desktop.addDisplay({.id = 5, .bounds = Rect(1920, 0, 1512.5, 982.9), .name = "Side"});
        world.desktop.addDisplay({.id = 6, .deviceDescription = platform::Value::dictionary({})});
        world.desktop.mainDisplay = 5;
        DisplayCatalog catalog(world.services.screens, world.services.windowServer);
        QCOMPARE(catalog.options(), std::vector<DisplayOption>({{1, "Built-in", 1920, 1080, false},
                                                                {5, "Side", 1512, 982, true}}));
        QVERIFY(!catalog.screen(6) && !catalog.screen(9));
    }

    // Bottom-left points of the catalogue to Qt's top-left, on a scaled second screen too.
    void panelAreasAreInQtCoordinates() {
        test::SimulatedWorld world;
        auto& desktop = world.desktop;
        desktop.display(1)->menuBarHeight = 25;
        desktop.display(1)->dockHeight = 55;
        desktop.addDisplay({.id = 3, .bounds = Rect(1920, 200, 2560, 1440), .menuBarHeight = 40});
        DisplayCatalog catalog(world.services.screens, world.services.windowServer);
        const CatalogPanelScreens screens(catalog, [] {
            return std::vector<QtScreenPlacement>{{QPoint(0, 0), 1, true},
                                                  {QPoint(1920, 200), 2, false}};
        });
        QCOMPARE(screens.visibleArea(1), std::optional<QRect>(QRect(0, 25, 1920, 1000)));
        QCOMPARE(screens.visibleArea(3), std::optional<QRect>(QRect(1920, 220, 1280, 700)));
        QCOMPARE(screens.visibleAreaAt(QPoint(2000, 300)), screens.visibleArea(3));
        QCOMPARE(screens.fallbackVisibleArea(), screens.visibleArea(1));

        desktop.display(1)->bounds = Rect(0, 0, 1920, std::numeric_limits<double>::infinity());
        QVERIFY(!screens.visibleArea(1));  // never cast
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::DisplayCatalogTests)
#include "DisplayCatalogTests.moc"
