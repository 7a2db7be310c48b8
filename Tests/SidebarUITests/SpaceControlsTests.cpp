#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include "ElidedLabel.h"
#include "PermissionBanner.h"
#include "SidebarModelHarness.h"
#include "SidebarView.h"
#include "SpaceHeader.h"

using namespace vorn;
using namespace vorn::app;

namespace {

// A view over a model with the given spaces (the first active) and, with `displays` > 0, a host
// menu of that many displays on which display 1 is the host.
struct Sidebar {
    test::SidebarModelHarness h;
    std::vector<Uuid> spaceIds;
    int keyFocusRequests = 0;
    std::vector<std::uint32_t> moves;
    std::unique_ptr<SidebarView> view;

    explicit Sidebar(std::vector<Space> spaces = {test::makeSpace("Home", 0)}, int displays = 0) {
        for (const Space& space : spaces) {
            spaceIds.push_back(space.id);
        }
        h.storeSpaces(spaces, spaces.front().id);
        h.start(true);
        std::optional<DisplayHostMenu> hostMenu;
        if (displays > 0) {
            hostMenu = DisplayHostMenu{};
            hostMenu->currentHostID = 1;
            hostMenu->displays = [displays] {
                std::vector<DisplayForMove> list;
                for (int id = 1; id <= displays; ++id) {
                    list.push_back({static_cast<std::uint32_t>(id),
                                    "Display & " + std::to_string(id), id == 1});
                }
                return list;
            };
            hostMenu->move = [this](std::uint32_t id) { moves.push_back(id); };
        }
        view = std::make_unique<SidebarView>(
            h.model, [this] { ++keyFocusRequests; }, hostMenu);
        view->resize(160, 600);
        view->show();
    }

    SpaceHeader& header() const { return *view->findChild<SpaceHeader*>(); }
    SpaceNameField& field() const { return header().nameField(); }
    QAbstractButton* button(const char* name) const {
        return view->findChild<QAbstractButton*>(QString::fromLatin1(name));
    }
    std::string activeName() const { return h.active().name; }

    // Opens the menu through its button, as a click does, and returns the open popup.
    QMenu* open(const char* buttonName) const {
        button(buttonName)->click();
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }
    // Chooses the item of the open popup; it acts in a later turn.
    static void choose(QMenu* menu, const QString& item) {
        QAction* action = menu->findChild<QAction*>(item);
        QVERIFY2(action, qPrintable(item));
        action->trigger();
        menu->close();
    }
    void rename(const QString& typed) {
        open("vorn.space.header.menu");
        choose(qobject_cast<QMenu*>(QApplication::activePopupWidget()),
               "vorn.space.header.menu.rename");
        QTRY_VERIFY(view->isEditingSpaceName() && field().isArmed());
        field().selectAll();
        field().insert(typed);
    }
};

class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

QStringList objectNames(const QList<QAction*>& actions) {
    QStringList names;
    for (const QAction* action : actions) {
        names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    }
    return names;
}

}  // namespace

class SpaceControlsTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void headerMenuFollowsSpacesAndDisplays_data() {
        QTest::addColumn<int>("spaces");
        QTest::addColumn<int>("displays");
        QTest::addColumn<QStringList>("items");
        const QString rename = "vorn.space.header.menu.rename";
        const QString move = "vorn.space.header.menu.moveToDisplay";
        const QString remove = "vorn.space.header.menu.delete";
        QTest::newRow("one space, no host menu") << 1 << 0 << QStringList{rename};
        QTest::newRow("one space, one display") << 1 << 1 << QStringList{rename};
        QTest::newRow("one space, two displays") << 1 << 2 << QStringList{rename, move};
        QTest::newRow("two spaces, one display") << 2 << 1 << QStringList{rename, "-", remove};
        QTest::newRow("three spaces, three displays")
            << 3 << 3 << QStringList{rename, move, "-", remove};
    }

    void headerMenuFollowsSpacesAndDisplays() {
        QFETCH(int, spaces);
        QFETCH(int, displays);
        QFETCH(QStringList, items);
        std::vector<Space> list;
        for (int index = 0; index < spaces; ++index) {
            list.push_back(test::makeSpace("Space " + std::to_string(index), index));
        }
        Sidebar s(list, displays);
        QMenu* menu = s.open("vorn.space.header.menu");
        QVERIFY(menu);
        QCOMPARE(objectNames(menu->actions()), items);
        if (displays >= 2) {
            // The host is listed checked and cannot be chosen; "&" in a name is shown.
            QMenu* targets = menu->findChild<QAction*>(items[1])->menu();
            QCOMPARE(targets->actions().size(), displays);
            QAction* current = targets->findChild<QAction*>("vorn.space.header.menu.move.1");
            QVERIFY(!current->isEnabled() && current->isChecked());
            QCOMPARE(current->text(), QStringLiteral("Display && 1"));
            QAction* other = targets->findChild<QAction*>("vorn.space.header.menu.move.2");
            QVERIFY(other->isEnabled() && other->isCheckable() && !other->isChecked());
            other->trigger();
            QCOMPARE(s.moves, std::vector<std::uint32_t>{2});
        }
        menu->close();
    }

    void headerMenuButtonShowsOnHoverButNotWhileEditing() {
        Sidebar s;
        QToolButton& button = s.header().menuButton();
        QVERIFY(!button.isVisible());
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), s.header().mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(&s.header(), &enter);
        QVERIFY(button.isVisible());
        s.view->beginSpaceRename();
        QVERIFY(!button.isVisible());
        QVERIFY(!s.button("vorn.space.switcher")->isEnabled());
        QVERIFY(!s.button("vorn.space.add")->isEnabled());
        QTest::keyClick(&s.field(), Qt::Key_Return);
        QVERIFY(button.isVisible());
        QVERIFY(s.button("vorn.space.switcher")->isEnabled());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&s.header(), &leave);
        QVERIFY(!button.isVisible());
    }

    // Every way out of the field commits the draft once; the model trims and ignores blanks.
    void renameCommitsOnce_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("leaveBy");
        QTest::addColumn<QString>("stored");
        QTest::newRow("Return, then the focus loss that follows") << "Work"
                                                                  << "return"
                                                                  << "Work";
        QTest::newRow("clicking elsewhere keeps the typed name") << "Mail"
                                                                 << "focus"
                                                                 << "Mail";
        QTest::newRow("blank keeps the old name") << "   "
                                                  << "return"
                                                  << "Home";
        QTest::newRow("empty keeps the old name") << ""
                                                  << "focus"
                                                  << "Home";
        QTest::newRow("blanks around are trimmed") << "  Deep Work \t"
                                                   << "return"
                                                   << "Deep Work";
        QTest::newRow("markup is a name like any other") << "<b>Bold</b> & co"
                                                         << "return"
                                                         << "<b>Bold</b> & co";
    }

    void renameCommitsOnce() {
        QFETCH(QString, typed);
        QFETCH(QString, leaveBy);
        QFETCH(QString, stored);
        Sidebar s;
        QSignalSpy released(s.view.get(), &SidebarView::keyFocusReleased);
        s.rename(typed);
        QCOMPARE(s.keyFocusRequests, 1);
        QVERIFY(s.field().isVisible());

        if (leaveBy == "return") {
            QTest::keyClick(&s.field(), Qt::Key_Return);
        }
        // Closing the field moves the focus off it; leaving it again changes nothing.
        for (int time = 0; time < 2; ++time) {
            QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
            QApplication::sendEvent(&s.field(), &out);
        }
        QVERIFY(!s.view->isEditingSpaceName());
        QCOMPARE(s.activeName(), stored.toStdString());
        const std::size_t renames = stored == "Home" ? 0 : 1;
        QCOMPARE(s.h.modelLog("renameSpace").size(), renames);
        QCOMPARE(s.h.store->saves.size(), renames);
        QCOMPARE(released.count(), 1);
        QTRY_COMPARE(s.header().title(), stored);
    }

    void aLongPastedNameIsKeptWholeAndShownCut() {
        Sidebar s;
        const QSize before = s.view->size();
        const QString pasted(10000, QLatin1Char('n'));
        s.rename(pasted);
        QTest::keyClick(&s.field(), Qt::Key_Return);
        QCOMPARE(s.activeName().size(), std::size_t{10000});
        QTRY_COMPARE(s.header().title(), pasted);
        auto* title = s.view->findChild<ElidedLabel*>("vorn.header.title");
        QVERIFY(title->text().endsWith(QChar(0x2026)));
        QVERIFY(title->text().size() < 100);
        QCOMPARE(s.view->size(), before);
        QVERIFY(s.view->minimumSizeHint().width() <= 160);
    }

    void aNameOfSeveralLinesIsShownOnOne() {
        const std::string name = "A\nB\tC\u2028D\u2029E";
        Sidebar s({test::makeSpace(name, 0)});
        QTRY_COMPARE(s.header().title(), QString::fromStdString(name));
        auto* title = s.view->findChild<ElidedLabel*>("vorn.header.title");
        QCOMPARE(title->text(), QStringLiteral("A B C D E"));
        QMenu* menu = s.open("vorn.space.switcher");
        QVERIFY(menu);
        QCOMPARE(menu->actions().at(0)->text(), QStringLiteral("A B C D E"));
    }

    void deleteAsksFirstAndNamesTheSpace() {
        Sidebar s({test::makeSpace("Home", 0), test::makeSpace("Work <i>&</i>", 1)});
        s.h.model->switchSpace(s.spaceIds[1]);
        const auto openDialog = [&] {
            Sidebar::choose(s.open("vorn.space.header.menu"), "vorn.space.header.menu.delete");
            QMessageBox* dialog = nullptr;
            [&] { QTRY_VERIFY(dialog = s.view->findChild<QMessageBox*>()); }();
            return dialog;
        };

        QMessageBox* dialog = openDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->textFormat(), Qt::PlainText);
        QCOMPARE(dialog->text(), QStringLiteral("Delete \u201CWork <i>&</i>\u201D?"));
        QCOMPARE(dialog->informativeText(),
                 QStringLiteral("Its Pinned and Claimed tabs will be removed. "
                                "Open windows are not affected."));
        dialog->findChild<QPushButton*>("vorn.space.deleteCancel")->click();
        QTRY_VERIFY(!s.view->findChild<QMessageBox*>());
        QCoreApplication::processEvents();
        QCOMPARE(s.h.model->spaces().size(), std::size_t{2});

        dialog = openDialog();
        dialog->findChild<QPushButton*>("vorn.space.deleteConfirm")->click();
        QTRY_COMPARE(s.h.model->spaces().size(), std::size_t{1});
        QCOMPARE(s.h.model->activeSpaceId(), s.spaceIds[0]);
        QTRY_COMPARE(s.header().title(), QStringLiteral("Home"));
    }

    void switcherListsSpacesByOrderAndSwitches() {
        // Orders 2, 0, 1 and a second 1: by order, equal orders in stored order.
        Sidebar s({test::makeSpace("Two", 2), test::makeSpace("Zero", 0), test::makeSpace("One", 1),
                   test::makeSpace("Also One", 1)});
        QMenu* menu = s.open("vorn.space.switcher");
        QVERIFY(menu);
        QStringList names;
        QStringList checked;
        for (const QAction* item : menu->actions()) {
            names << item->text();
            QVERIFY(item->isCheckable());
            if (item->isChecked()) {
                checked << item->text();
            }
        }
        QCOMPARE(names, QStringList({"Zero", "One", "Also One", "Two"}));
        QCOMPARE(checked, QStringList{"Two"});
        const QString zero =
            "vorn.space.switcher.item." + QString::fromStdString(s.spaceIds[1].string());
        QCOMPARE(menu->actions().at(0)->objectName(), zero);

        Sidebar::choose(menu, zero);
        QTRY_COMPARE(s.h.model->activeSpaceId(), s.spaceIds[1]);
        QTRY_COMPARE(s.header().title(), QStringLiteral("Zero"));

        // Choosing the active space changes nothing.
        s.h.forgetHistory();
        Sidebar::choose(s.open("vorn.space.switcher"), zero);
        QCoreApplication::processEvents();
        QVERIFY(s.h.modelLog("switchSpace").empty());
    }

    void addCreatesASpaceAndOpensItsName() {
        Sidebar s;
        s.button("vorn.space.add")->click();
        QTRY_VERIFY(s.view->isEditingSpaceName());
        QCOMPARE(s.h.model->spaces().size(), std::size_t{2});
        QCOMPARE(s.activeName(), std::string("New Space"));
        QCOMPARE(s.field().text(), QStringLiteral("New Space"));
        QCOMPARE(s.field().selectedText(), QStringLiteral("New Space"));
        // Named, not only described by its placeholder.
        QCOMPARE(QAccessible::queryAccessibleInterface(&s.field())->text(QAccessible::Name),
                 QStringLiteral("Space name"));
        QCOMPARE(s.keyFocusRequests, 1);
        QTRY_VERIFY(s.view->findChild<QWidget*>("vorn.pinned.empty")->isVisible());

        // Unavailable while the name is open: a click does nothing.
        s.button("vorn.space.add")->click();
        QCoreApplication::processEvents();
        QCOMPARE(s.h.model->spaces().size(), std::size_t{2});
        QTest::keyClicks(&s.field(), "Reading");
        QTest::keyClick(&s.field(), Qt::Key_Return);
        QCOMPARE(s.activeName(), std::string("Reading"));
    }

    void bannerStandsWhileThePermissionIsMissing() {
        test::SidebarModelHarness h;
        h.wm->permission = false;
        h.wm->permissionAfterRequest = false;
        h.start(true);
        SidebarView view(
            h.model, [] {}, std::nullopt);
        view.show();
        auto* banner = view.findChild<PermissionBanner*>();
        QVERIFY(banner && banner->isVisible());
        // This desktop has no settings page to open.
        QVERIFY(!view.findChild<QWidget*>("vorn.permission.openSettings"));

        view.findChild<QPushButton*>("vorn.permission.request")->click();
        QTRY_VERIFY(!h.modelLog("requestPermission").empty());
        h.model->refresh();  // the prompt was declined
        QCoreApplication::processEvents();
        QVERIFY(banner->isVisible());

        h.wm->permission = true;
        h.model->refresh();
        QTRY_VERIFY(!banner->isVisible());
    }

    void bannerOpensTheSettingsPageWhereThereIsOne() {
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler("vorn-test", &recorder, "open");
        PermissionBanner banner(QUrl("vorn-test:privacy"));
        auto* settings = banner.findChild<QPushButton*>("vorn.permission.openSettings");
        QVERIFY(settings);
        settings->click();
        QDesktopServices::unsetUrlHandler("vorn-test");
        QCOMPARE(recorder.opened, QList<QUrl>{QUrl("vorn-test:privacy")});
    }

    void statusItemsAreAlwaysInTheHeaderMenu() {
        Sidebar s;
        QMenu tray;
        QStringList titles = {
            "Hide Sidebar",        "-", "Settings\u2026", "Check for Updates\u2026",
            "Send Feedback\u2026", "-", "Quit Vorn"};
        StatusItems items;
        for (const QString& title : titles) {
            if (title == "-") {
                items.actions << tray.addSeparator();
            } else {
                items.actions << tray.addAction(title);
            }
        }
        int shown = 0;
        items.willShow = [&] { ++shown; };
        QSignalSpy quit(items.actions.back().data(), &QAction::triggered);
        // With a tray the button shows on hover only; without one, at all times.
        for (const bool onlyRoute : {false, true}) {
            items.onlyRoute = onlyRoute;
            s.view->setStatusItems(items);
            QCOMPARE(s.header().menuButton().isVisible(), onlyRoute);

            QMenu* menu = s.open("vorn.space.header.menu");
            QStringList inMenu;
            // Every opening shows the items to assistive tools too, named.
            QAccessibleInterface* read = QAccessible::queryAccessibleInterface(menu);
            for (int index = 0; index < menu->actions().size(); ++index) {
                const QAction* action = menu->actions().at(index);
                inMenu << (action->isSeparator() ? QStringLiteral("-") : action->text());
                QVERIFY(read->child(index)->isValid());
                QCOMPARE(read->child(index)->text(QAccessible::Name), action->text());
            }
            QCOMPARE(inMenu, (QStringList{"Rename", "-"} + titles));
            menu->actions().back()->trigger();
            menu->close();
            // Gone before the next opening, as it is once the user opens the menu again.
            QPointer<QMenu> closed(menu);
            QTRY_VERIFY(!closed);
        }
        QCOMPARE(shown, 2);
        QCOMPARE(quit.count(), 2);
    }
};

QTEST_MAIN(SpaceControlsTests)
#include "SpaceControlsTests.moc"
