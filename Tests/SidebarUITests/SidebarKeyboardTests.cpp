#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QToolButton>
#include <QtTest>

#include "SidebarModelHarness.h"
#include "SidebarView.h"
#include "SpaceHeader.h"
#include "TabRow.h"

using namespace vorn;
using namespace vorn::app;

namespace {

// Alpha is pinned, Beta claimed and active, Gamma and Delta are other windows; the view is shown in
// an active window, as the panel is once it has the keyboard.
struct Sidebar {
    test::SidebarModelHarness h;
    std::unique_ptr<SidebarView> view;

    Sidebar() {
        h.wm->onScreen = {
            test::makeWindow(1, "org.a", "Alpha"), test::makeWindow(2, "org.b", "Beta"),
            test::makeWindow(3, "org.c", "Gamma"), test::makeWindow(4, "org.d", "Delta")};
        h.start();
        h.model->pin(h.wm->onScreen->at(0));
        h.model->activate(h.wm->onScreen->at(1));
        h.forgetHistory();
        view = std::make_unique<SidebarView>(
            h.model, [] {}, std::nullopt);
        view->resize(160, 600);
        view->show();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
    }

    // What has the keyboard, or will have it when the window is active again: a row's title,
    // else the control's object name.
    QString focused() const {
        QWidget* widget = view->focusWidget();
        if (auto* row = qobject_cast<TabRow*>(widget)) {
            return row->title();
        }
        return widget != nullptr ? widget->objectName() : QString();
    }
    static void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
    }
    TabRow* row(const QString& title) const {
        for (TabRow* row : view->findChildren<TabRow*>()) {
            if (row->title() == title && row->isVisible()) {
                return row;
            }
        }
        return nullptr;
    }
};

}  // namespace

class SidebarKeyboardTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tabVisitsTheControlsAndRowsInScreenOrder() {
        Sidebar s;
        s.view->focusActiveRow();
        QCOMPARE(s.focused(), QStringLiteral("Beta"));

        QStringList visited;
        for (int step = 0; step < 7; ++step) {
            Sidebar::press(Qt::Key_Tab);
            visited << s.focused();
        }
        QCOMPARE(visited, QStringList({"vorn.ambient.collapseToggle", "Gamma", "Delta",
                                       "vorn.space.switcher", "vorn.space.add",
                                       "vorn.space.header.menu", "Alpha"}));
        Sidebar::press(Qt::Key_Backtab);
        QCOMPARE(s.focused(), QStringLiteral("vorn.space.header.menu"));
        // The header's menu button shows only while it has the keyboard (or the pointer).
        auto& menuButton = s.view->findChild<SpaceHeader*>()->menuButton();
        QVERIFY(menuButton.isVisible());
        Sidebar::press(Qt::Key_Tab);
        QVERIFY(!menuButton.isVisible());

        // A click acts without taking the keyboard.
        QTest::mouseClick(s.row("Gamma"), Qt::LeftButton);
        QTRY_COMPARE(s.h.wm->activations, std::vector{WindowID(3)});
        QCOMPARE(s.focused(), QStringLiteral("Alpha"));
    }

    void arrowsMoveBetweenRows() {
        Sidebar s;
        s.view->focusActiveRow();
        QStringList visited;
        for (const int key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down,
                              Qt::Key_Down, Qt::Key_Home, Qt::Key_End}) {
            Sidebar::press(key);
            visited << s.focused();
        }
        // The collapse control between Beta and Gamma is no row: the arrows pass it.
        QCOMPARE(visited, QStringList({"Alpha", "Alpha", "Beta", "Gamma", "Delta", "Delta", "Alpha",
                                       "Delta"}));
    }

    void keysRunTheRowsActions_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("menuItem");
        QTest::addColumn<std::vector<WindowID>>("activations");
        QTest::addColumn<QString>("pinnedAfter");
        QTest::newRow("Return activates an other window")
            << "Gamma" << int(Qt::Key_Return) << "" << std::vector{WindowID(3)} << "";
        QTest::newRow("Space activates a pinned tab")
            << "Alpha" << int(Qt::Key_Space) << "" << std::vector{WindowID(1)} << "";
        QTest::newRow("Shift+F10 pins a Recent tab")
            << "Beta" << int(Qt::Key_F10) << "vorn.menu.promote" << std::vector<WindowID>{}
            << "Beta";
        QTest::newRow("Shift+F10 pins an other window")
            << "Delta" << int(Qt::Key_F10) << "vorn.menu.pin" << std::vector<WindowID>{} << "Delta";
    }

    void keysRunTheRowsActions() {
        QFETCH(QString, row);
        QFETCH(int, key);
        QFETCH(QString, menuItem);
        QFETCH(std::vector<WindowID>, activations);
        QFETCH(QString, pinnedAfter);
        Sidebar s;
        s.row(row)->setFocus(Qt::TabFocusReason);
        if (menuItem.isEmpty()) {
            Sidebar::press(key);
            QTRY_COMPARE(s.h.wm->activations, activations);
            return;
        }
        Sidebar::press(key, Qt::ShiftModifier);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        // The first item is chosen, so that Return takes it.
        QCOMPARE(menu->activeAction()->objectName(), menuItem);
        QTest::keyClick(menu, Qt::Key_Return);
        QTRY_VERIFY(s.row(pinnedAfter)
                    && s.row(pinnedAfter)->objectName().startsWith("vorn.tab.pinned."));
        // The keyboard stays with the row, in its new place.
        QTRY_COMPARE(s.focused(), pinnedAfter);
        QVERIFY(s.h.wm->activations.empty());
    }

    void theCollapseControlAndTheSwitcherAnswerTheKeys() {
        Sidebar s;
        auto* toggle = s.view->findChild<QWidget*>("vorn.ambient.collapseToggle");
        toggle->setFocus(Qt::TabFocusReason);
        // A held key presses once, not once per repeat.
        QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(toggle, &repeated);
        QVERIFY(!s.h.model->ambientCollapsed());
        Sidebar::press(Qt::Key_Space);
        QTRY_VERIFY(s.h.model->ambientCollapsed());

        // Shift+F10 opens the divider's menu with its item chosen.
        Sidebar::press(Qt::Key_F10, Qt::ShiftModifier);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QCOMPARE(menu->activeAction()->objectName(), QStringLiteral("vorn.menu.ambientCollapse"));
        QTest::keyClick(menu, Qt::Key_Return);
        QTRY_VERIFY(!s.h.model->ambientCollapsed());

        // The switcher's menu chooses its first item when the keyboard opens it, not a click.
        auto* switcher = s.view->findChild<QAbstractButton*>("vorn.space.switcher");
        QTest::mouseClick(switcher, Qt::LeftButton);
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu && !menu->activeAction());
        menu->close();
        // The offscreen platform does not give the window back once the menu is gone.
        s.view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.view.get()));
        switcher->setFocus(Qt::TabFocusReason);
        QTest::keyClick(switcher, Qt::Key_Return);
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QCOMPARE(menu->activeAction(), menu->actions().value(0));
    }

    void theSpaceIsRenamedFromTheKeyboard() {
        Sidebar s;
        s.view->focusActiveRow();
        Sidebar::press(Qt::Key_Backtab);
        Sidebar::press(Qt::Key_Backtab);
        QCOMPARE(s.focused(), QStringLiteral("vorn.space.header.menu"));
        Sidebar::press(Qt::Key_Return);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QCOMPARE(menu->activeAction()->objectName(),
                 QStringLiteral("vorn.space.header.menu.rename"));
        QTest::keyClick(menu, Qt::Key_Return);
        auto& field = s.view->findChild<SpaceHeader*>()->nameField();
        QTRY_VERIFY(field.isArmed());
        // The offscreen platform does not give the window back once the menu is gone.
        s.view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.view.get()));
        QTRY_VERIFY(field.hasFocus());
        QTest::keyClicks(&field, "Focus");
        QTest::keyClick(&field, Qt::Key_Return);
        QCOMPARE(s.h.active().name, std::string("Focus"));
    }

    void escapeHandsTheKeyboardBack() {
        Sidebar s;
        QSignalSpy released(s.view.get(), &SidebarView::keyFocusReleased);
        s.view->focusActiveRow();
        Sidebar::press(Qt::Key_Escape);
        QCOMPARE(released.count(), 1);

        // Escape in the name field leaves it, and leaving it keeps the typed name.
        s.view->beginSpaceRename();
        auto& field = s.view->findChild<SpaceHeader*>()->nameField();
        QTRY_VERIFY(field.hasFocus() && field.isArmed());
        field.setText("Evening");
        Sidebar::press(Qt::Key_Escape);
        QCOMPARE(released.count(), 2);
        QVERIFY(!s.view->isEditingSpaceName());
        QCOMPARE(s.h.active().name, std::string("Evening"));
    }
};

QTEST_MAIN(SidebarKeyboardTests)
#include "SidebarKeyboardTests.moc"
