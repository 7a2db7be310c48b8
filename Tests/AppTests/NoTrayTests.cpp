#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QtTest>

#include "AppDelegate.h"
#include "CapturingLogSink.h"
#include "ManualExecutor.h"
#include "ScreenEvents.h"
#include "SettingsWindowController.h"
#include "SidebarView.h"
#include "SimulatedBackend.h"
#include "TempDir.h"

namespace vorn::app {
namespace {

// The program with its own panel and settings window on the simulated desktop, where (as on
// the offscreen platform) no system tray is there.
struct Program {
    test::TempDir dir;
    test::SimulatedBackend backend;
    ScreenEvents events;
    test::CapturingLogSink logs;
    std::unique_ptr<AppDelegate> app;

    Program() {
        test::writeText(dir / "consent.json",
                        R"({"disclosureShownVersion":"1.0","telemetryEnabled":false})");
        AppDependencies deps =
            standardDependencies(backend, events, std::make_shared<test::ManualExecutor>());
        deps.dataDirectory = dir.path();
        app = std::make_unique<AppDelegate>(std::move(deps));
        app->applicationDidFinishLaunching();
    }

    static SidebarView* find() {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->isVisible()) {
                if (auto* view = top->findChild<SidebarView*>()) {
                    return view;
                }
            }
        }
        return nullptr;
    }
    QToolButton* menuButton() const {
        return find()->findChild<QToolButton*>("vorn.space.header.menu");
    }
    // The header menu's items after "Rename", separators as "-".
    QStringList headerMenu() const {
        menuButton()->click();
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QStringList items;
        for (const QAction* action : menu->actions()) {
            items << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        menu->close();
        return items.mid(1);
    }
    QAction* headerItem(const QString& title) const {
        menuButton()->click();
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        for (QAction* action : menu->actions()) {
            if (action->text() == title) {
                return action;
            }
        }
        return nullptr;
    }
};

}  // namespace

class NoTrayTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            QSKIP("a system tray is there");
        }
    }

    void theHeaderMenuCarriesTheStatusItems() {
        Program p;
        QVERIFY(p.logs.contains(
            "menubar", "no system tray: the menu's items are in the sidebar's header menu"));
        QVERIFY(p.find() && p.menuButton()->isVisible());
        QCOMPARE(p.headerMenu(),
                 QStringList({"-", "Hide Sidebar", "-", "Settings\u2026", "Check for Updates\u2026",
                              "Send Feedback\u2026", "-", "Quit Vorn"}));

        // The items act as from the tray: Settings… opens the settings window.
        QAction* settings = p.headerItem(QStringLiteral("Settings\u2026"));
        QApplication::activePopupWidget()->close();
        settings->trigger();
        auto* controller = dynamic_cast<SettingsWindowController*>(p.app->settingsController());
        QVERIFY(controller && controller->window() && controller->window()->isVisible());

        // A tray appears: the button shows on hover only, and the menu keeps the items, the
        // keyboard's route to them.
        p.app->menuBar()->setTrayAvailable(true);
        QVERIFY(p.logs.contains("menubar", "system tray appeared: the menu is back in the tray"));
        QVERIFY(!p.menuButton()->isVisible());
        QCOMPARE(p.headerMenu().size(), 8);
        p.app->menuBar()->setTrayAvailable(false);
        QVERIFY(p.menuButton()->isVisible());
    }

    void aMovedSidebarKeepsTheItemsAndGetsAFreshSettingsWindow() {
        Program p;
        p.app->menuBar()->openSettings();
        auto* first = dynamic_cast<SettingsWindowController*>(p.app->settingsController());
        QPointer<QWidget> firstWindow = first->window();
        QVERIFY(firstWindow && firstWindow->isVisible());

        p.backend.world.desktop.addDisplay(
            {.id = 7, .bounds = Rect(1920, 0, 1280, 1024), .name = "Side"});
        p.app->moveToDisplay(7);
        QCOMPARE(p.app->hostDisplayID(), std::optional<std::uint32_t>(7));
        QTRY_VERIFY(!firstWindow);

        p.app->menuBar()->openSettings();
        auto* second = dynamic_cast<SettingsWindowController*>(p.app->settingsController());
        QVERIFY(second->window() && second->window()->isVisible());
        QTRY_VERIFY(p.find() != nullptr);
        const QStringList items = p.headerMenu();
        QCOMPARE(items.size(), 9);
        QCOMPARE(items.front(), QStringLiteral("Move to Display"));
        QCOMPARE(items.back(), QStringLiteral("Quit Vorn"));
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::NoTrayTests)
#include "NoTrayTests.moc"
