#include <QMenu>
#include <QtTest>

#include "CapturingLogSink.h"
#include "MenuBarController.h"

namespace vorn::app {

class MenuBarControllerTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // An open menu holds the keyboard, so the shortcuts must be caught there.
    void shortcutsChooseTheirItemsWhileTheMenuIsOpen() {
        test::CapturingLogSink logs;
        MenuBarController controller;
        int settings = 0;
        controller.onOpenSettings = [&] { ++settings; };
        controller.menu()->popup(QPoint(10, 10));
        QTRY_VERIFY(controller.menu()->isVisible());
        QTest::keyClick(controller.menu(), Qt::Key_Comma, Qt::ControlModifier);
        QCOMPARE(settings, 1);
        QVERIFY(!controller.menu()->isVisible());

        controller.menu()->popup(QPoint(10, 10));
        QTRY_VERIFY(controller.menu()->isVisible());
        QTest::keyClick(controller.menu(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(logs.contains("menubar", "quit"));
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::MenuBarControllerTests)
#include "MenuBarControllerTests.moc"
