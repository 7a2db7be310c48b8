#include <QCloseEvent>
#include <QMenu>
#include <QPainter>
#include <QtTest>

#include "CapturingLogSink.h"
#include "Contrast.h"
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

    // A tray is light or dark whatever the palette says (tint2's is black under a light theme):
    // on either, with either palette, enough of the icon stands out to be seen.
    void theTrayIconShowsOnLightAndDarkTrays() {
        const QPalette original = QGuiApplication::palette();
        for (const QColor text : {QColor(Qt::black), QColor(Qt::white)}) {
            QPalette palette = original;
            palette.setColor(QPalette::WindowText, text);
            QGuiApplication::setPalette(palette);
            const QPixmap icon = sidebarSymbol().pixmap(22, 22);
            for (const QColor tray : {QColor(Qt::black), QColor(Qt::white)}) {
                QImage shown(22, 22, QImage::Format_RGB32);
                shown.fill(tray);
                QPainter(&shown).drawPixmap(0, 0, icon);
                int standingOut = 0;
                for (int y = 0; y < shown.height(); ++y) {
                    for (int x = 0; x < shown.width(); ++x) {
                        standingOut += test::contrast(shown.pixelColor(x, y), tray) >= 3 ? 1 : 0;
                    }
                }
                QVERIFY2(standingOut >= 40, qPrintable(QStringLiteral("%1 on %2: %3 pixels")
                                                           .arg(text.name(), tray.name())
                                                           .arg(standingOut)));
            }
        }
        QGuiApplication::setPalette(original);
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
