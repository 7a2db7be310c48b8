#include <QCloseEvent>
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

    // The display chooser refuses to close; "Quit Vorn" must end the program all the same.
    void quitEndsTheProgramWhileAWindowRefusesToClose() {
        struct Stubborn : QWidget {
            void closeEvent(QCloseEvent* event) override { event->ignore(); }
        } stubborn;
        stubborn.show();
        MenuBarController controller;
        QTimer::singleShot(0, controller.menu(),
                           [&] { controller.menu()->actions().constLast()->trigger(); });
        // A fallback, so that a refused quit fails the test instead of hanging it.
        bool ended = true;
        QTimer::singleShot(5000, [&] {
            ended = false;
            QCoreApplication::exit(1);
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(ended);
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::MenuBarControllerTests)
#include "MenuBarControllerTests.moc"
