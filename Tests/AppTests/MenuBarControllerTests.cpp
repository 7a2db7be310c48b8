#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QtTest>

#include "CapturingLogSink.h"
#include "MenuBarController.h"

namespace vorn::app {

class MenuBarControllerTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void itemsInOrderWithTheirIdentifiers() {
        test::CapturingLogSink logs;
        MenuBarController controller;
        QStringList seen;
        for (const QAction* item : controller.menu()->actions()) {
            seen << (item->isSeparator()
                         ? QStringLiteral("-")
                         : item->objectName() + " " + item->text() + " "
                               + item->shortcut().toString(QKeySequence::PortableText));
        }
        const QStringList expected = {
            "vorn.menu.toggleSidebar Hide Sidebar ",
            "-",
            "vorn.menu.settings Settings\u2026 Ctrl+,",
            "vorn.menu.checkForUpdates Check for Updates\u2026 ",
            "vorn.menu.sendFeedback Send Feedback\u2026 ",
            "-",
            "vorn.menu.quit Quit Vorn Ctrl+Q",
        };
        QCOMPARE(seen, expected);
        QCOMPARE(controller.statusItem()->objectName(), QStringLiteral("vorn.statusItem"));
        QVERIFY(logs.contains("menubar", "status item installed"));
    }

    void toggleIsRetitledWhenTheMenuOpens() {
        MenuBarController controller;
        bool shown = false;
        controller.isSidebarShown = [&] { return shown; };
        QAction* toggle = controller.menu()->actions().front();
        Q_EMIT controller.menu()->aboutToShow();
        QCOMPARE(toggle->text(), QStringLiteral("Show Sidebar"));
        shown = true;
        Q_EMIT controller.menu()->aboutToShow();
        QCOMPARE(toggle->text(), QStringLiteral("Hide Sidebar"));
    }

    void shortcutsChooseTheirItemsWhileTheMenuIsOpen() {
        test::CapturingLogSink logs;
        MenuBarController controller;
        int settings = 0;
        controller.onOpenSettings = [&] { ++settings; };
        QSignalSpy quitting(controller.menu()->actions().back(), &QAction::triggered);

        controller.menu()->popup(QPoint(10, 10));
        QTRY_VERIFY(controller.menu()->isVisible());
        QTest::keyClick(controller.menu(), Qt::Key_Comma, Qt::ControlModifier);
        QCOMPARE(settings, 1);
        QVERIFY(!controller.menu()->isVisible());

        controller.menu()->popup(QPoint(10, 10));
        QTRY_VERIFY(controller.menu()->isVisible());
        QTest::keyClick(controller.menu(), Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(quitting.count(), 1);
        QVERIFY(logs.contains("menubar", "quit"));
    }

    void middleItemsLogEvenWithoutCallbacks() {
        test::CapturingLogSink logs;
        MenuBarController controller;
        controller.openSettings();
        controller.checkForUpdates();
        controller.sendFeedback();
        controller.toggleSidebar();
        QCOMPARE(
            logs.messages("menubar"),
            std::vector<std::string>({"status item installed", "openSettings", "checkForUpdates",
                                      "sendFeedback", "toggleSidebar was=true -> shown=false"}));
    }

    void trayIconShowsWhereATrayExists() {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            QSKIP("no system tray on this platform");
        }
        MenuBarController controller;
        QVERIFY(controller.statusItem()->isVisible());
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::MenuBarControllerTests)
#include "MenuBarControllerTests.moc"
