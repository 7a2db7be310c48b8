#include <algorithm>
#include <map>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QtTest>

#include "AmbientDivider.h"
#include "Contrast.h"
#include "SidebarModelHarness.h"
#include "SidebarView.h"
#include "SpaceHeader.h"
#include "TabRow.h"

using namespace vorn;
using namespace vorn::app;

namespace {

// Alpha is pinned, "org.b" (a window without a title) is claimed and active, Gamma is ambient.
struct Desktop {
    test::SidebarModelHarness h;
    std::unique_ptr<SidebarView> view;

    explicit Desktop(WindowIconReader windowIcons = {}) {
        h.wm->onScreen = {test::makeWindow(1, "org.a", "Alpha"), test::makeWindow(2, "org.b", ""),
                          test::makeWindow(3, "org.c", "Gamma")};
        h.start();
        h.model->pin(h.wm->onScreen->at(0));
        h.model->activate(h.wm->onScreen->at(1));
        h.forgetHistory();
        view = std::make_unique<SidebarView>(
            h.model, [] {}, std::nullopt, std::move(windowIcons));
        view->resize(160, 600);
        view->show();
    }

    TabRow* row(const QString& name) const { return view->findChild<TabRow*>(name); }
    TabRow* tabRow(const SpaceTab& tab) const {
        return row((tab.isClaimed() ? "vorn.tab.claimed." : "vorn.tab.pinned.")
                   + QString::fromStdString(tab.id.string()));
    }
    // The titles of the visible rows whose identifier starts with the prefix, sorted.
    QStringList titles(const QString& prefix) const {
        QStringList result;
        for (const TabRow* row : view->findChildren<TabRow*>()) {
            if (row->objectName().startsWith(prefix) && row->isVisible()) {
                result << row->title();
            }
        }
        result.sort();
        return result;
    }
};

int top(QWidget* widget) {
    return widget->mapTo(widget->window(), QPoint(0, 0)).y();
}

// The colour in the middle of the row's icon, as drawn.
QColor iconColour(TabRow* row) {
    return row->grab().toImage().pixelColor(6 + TabRow::iconSize / 2, row->height() / 2);
}

// Fails for each text of the view that stands out from its background by less than readable
// text needs: labels, the rows' titles (right of their icons), the collapse control and buttons.
void checkTextContrast(SidebarView& view, const QString& palette) {
    // The collapse control shows while the pointer is over the sidebar.
    QEnterEvent enter(QPointF(20, 20), QPointF(20, 20), view.mapToGlobal(QPointF(20, 20)));
    QApplication::sendEvent(&view, &enter);
    const QImage shot = view.grab().toImage();
    int texts = 0;
    for (QWidget* widget : view.findChildren<QWidget*>()) {
        const auto* label = qobject_cast<QLabel*>(widget);
        const bool isText =
            (label != nullptr && !label->text().isEmpty())
            || qobject_cast<TabRow*>(widget) != nullptr
            || qobject_cast<QPushButton*>(widget) != nullptr
            || widget->objectName() == QStringLiteral("vorn.ambient.collapseToggle");
        if (!isText || !widget->isVisibleTo(&view)) {
            continue;
        }
        QRect area(widget->mapTo(&view, QPoint(0, 0)), widget->size());
        if (qobject_cast<TabRow*>(widget) != nullptr) {
            area.setLeft(area.left() + 6 + TabRow::iconSize + 4);
        } else if (qobject_cast<QPushButton*>(widget) != nullptr) {
            area.adjust(5, 5, -5, -5);  // the text, not the button's border
        }
        const double measured = test::textContrast(shot, area);
        QVERIFY2(measured >= 4.5, qPrintable(QStringLiteral("%1 on the %2 palette: %3:1")
                                                 .arg(widget->objectName(), palette)
                                                 .arg(measured, 0, 'f', 2)));
        ++texts;
    }
    QVERIFY(texts >= 4);
}

// Counts the paint events of every widget it watches.
class PaintCounter final : public QObject {
public:
    std::map<QObject*, int> paints;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints[watched];
        }
        return false;
    }
};

}  // namespace

class SidebarViewTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void buildsRowsFromTheModel() {
        Desktop d;
        TabRow* pinned = d.tabRow(d.h.model->pinnedTabs().at(0));
        TabRow* claimed = d.tabRow(d.h.model->claimedTabs().at(0));
        TabRow* ambient = d.row("vorn.tab.ambient.3");
        QVERIFY(pinned && claimed && ambient);
        QCOMPARE(pinned->objectName().size(), QString("vorn.tab.pinned.").size() + 36);

        QCOMPARE(claimed->title(), QStringLiteral("org.b"));  // the application's name
        QCOMPARE(QAccessible::queryAccessibleInterface(claimed)->text(QAccessible::Name),
                 QStringLiteral("org.b"));
        QCOMPARE(QAccessible::queryAccessibleInterface(claimed)->text(QAccessible::Value),
                 QStringLiteral("org.b"));
        QVERIFY(QAccessible::queryAccessibleInterface(claimed)->state().selected);
        QVERIFY(claimed->isActive() && !pinned->isActive() && !ambient->isActive());
        QVERIFY(ambient->isDimmed() && !pinned->isDimmed() && !claimed->isDimmed());

        auto* pinnedLabel = d.view->findChild<QWidget*>("vorn.section.pinned");
        auto* recentLabel = d.view->findChild<QWidget*>("vorn.section.recent");
        auto* divider = d.view->findChild<AmbientDivider*>();
        QVERIFY(pinnedLabel && recentLabel && divider);
        QVERIFY(d.view->findChild<QWidget*>("vorn.pinned.empty")->isHidden());
        QVERIFY(d.view->findChild<QWidget*>("vorn.recent.empty")->isHidden());
        QVERIFY(d.view->findChild<QWidget*>("vorn.ambient.collapseToggle"));
        const std::vector<QWidget*> order{pinnedLabel, pinned,  recentLabel,
                                          claimed,     divider, ambient};
        QTRY_VERIFY(std::is_sorted(order.begin(), order.end(),
                                   [](QWidget* a, QWidget* b) { return top(a) < top(b); }));
    }

    void aSectionShowsItsFirstRowsAndCountsTheRest() {
        test::SidebarModelHarness h;
        const std::size_t limit = SidebarView::maxRowsPerSection;
        std::vector<SpaceTab> tabs;
        for (std::size_t n = 0; n < limit + 3; ++n) {
            tabs.push_back(
                test::makeTab("org.x", "Tab " + std::to_string(n), static_cast<std::int64_t>(n)));
        }
        h.storeSpaces({test::makeSpace("Many", 0, tabs)});
        h.start();
        SidebarView view(
            h.model, [] {}, std::nullopt);
        const auto pinnedRows = [&] {
            return view.findChild<QWidget*>("vorn.section.pinned.list")
                ->findChildren<TabRow*>(Qt::FindDirectChildrenOnly)
                .size();
        };
        auto* more = view.findChild<QLabel*>("vorn.section.pinned.more");
        QVERIFY(more != nullptr);
        QCOMPARE(pinnedRows(), qsizetype(limit));
        QVERIFY(!more->isHidden());
        QCOMPARE(more->text(), QStringLiteral("3 more not shown"));
        QVERIFY(view.findChild<TabRow*>(
            "vorn.tab.pinned."
            + QString::fromStdString(h.model->pinnedTabs()[limit - 1].id.string())));
        QCOMPARE(h.logs.count("app", "sidebar: a section holds " + std::to_string(limit + 3)
                                         + " rows, showing the first " + std::to_string(limit)),
                 1U);

        // Back within the limit: every row, no caption.
        for (int n = 0; n < 3; ++n) {
            h.model->remove(h.model->pinnedTabs().front());
        }
        QTRY_VERIFY(more->isHidden());
        QCOMPARE(pinnedRows(), qsizetype(limit));
    }

    void clickActivatesAndClaims() {
        Desktop d;
        QTest::mouseClick(d.row("vorn.tab.ambient.3"), Qt::LeftButton);
        QTRY_COMPARE(d.h.wm->activations, std::vector{WindowID(3)});
        QTRY_COMPARE(d.titles("vorn.tab.claimed."), QStringList({"Gamma", "org.b"}));
        QTRY_VERIFY(!d.row("vorn.tab.ambient.3"));
        QVERIFY(d.view->findChild<QWidget*>("vorn.recent.empty")->isHidden());
    }

    void aReleaseActsOnlyOnWhatThePressHit() {
        Desktop d;
        TabRow* row = d.row("vorn.tab.ambient.3");
        QVERIFY(row);
        const QPoint at = row->rect().center();
        const QPoint where = row->mapTo(d.view.get(), at);

        // The window under the pointer closes and its number goes to another application's
        // window between press and release: the row now shows that window.
        QTest::mousePress(row, Qt::LeftButton, {}, at);
        d.h.wm->onScreen->back() = test::makeWindow(3, "org.z", "Intruder");
        d.h.model->refresh();
        QTRY_COMPARE(row->title(), QStringLiteral("Intruder"));
        QTest::mouseRelease(row, Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
        QVERIFY(d.h.wm->activations.empty());

        // The window closes and a new one takes its place in the list.
        QTest::mousePress(row, Qt::LeftButton, {}, at);
        d.h.wm->onScreen->back() = test::makeWindow(4, "org.d", "Newcomer");
        d.h.model->refresh();
        QTRY_VERIFY(d.row("vorn.tab.ambient.4"));
        QWidget* under = d.view->childAt(where);
        QVERIFY(under != nullptr);
        QTest::mouseRelease(under, Qt::LeftButton, {}, under->mapFrom(d.view.get(), where));
        QCoreApplication::processEvents();
        QVERIFY(d.h.wm->activations.empty());

        // An ordinary click still acts.
        TabRow* newcomer = d.row("vorn.tab.ambient.4");
        QTest::mouseClick(newcomer, Qt::LeftButton);
        QTRY_COMPARE(d.h.wm->activations, std::vector{WindowID(4)});
    }

    void rowActions_data() {
        QTest::addColumn<QString>("rowKind");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("menuItem");
        QTest::addColumn<QStringList>("pinned");
        QTest::addColumn<QStringList>("claimed");
        QTest::addColumn<QStringList>("ambient");
        const QStringList none;
        for (const bool menu : {true, false}) {
            const char* via = menu ? "menu: " : "accessibility: ";
            QTest::addRow("%sPin a Recent tab", via)
                << "claimed"
                << "Pin" << (menu ? "vorn.menu.promote" : "") << QStringList{"Alpha", "org.b"}
                << none << QStringList{"Gamma"};
            QTest::addRow("%sRemove a Recent tab", via)
                << "claimed"
                << "Remove" << (menu ? "vorn.menu.remove" : "") << QStringList{"Alpha"} << none
                << QStringList{"Gamma", "org.b"};
            QTest::addRow("%sUnpin", via) << "pinned"
                                          << "Unpin" << (menu ? "vorn.menu.unpin" : "") << none
                                          << QStringList{"org.b"} << QStringList{"Alpha", "Gamma"};
            QTest::addRow("%sPin an ambient window", via)
                << "ambient"
                << "Pin" << (menu ? "vorn.menu.pin" : "") << QStringList{"Alpha", "Gamma"}
                << QStringList{"org.b"} << none;
        }
    }

    void rowActions() {
        QFETCH(QString, rowKind);
        QFETCH(QString, action);
        QFETCH(QString, menuItem);
        QFETCH(QStringList, pinned);
        QFETCH(QStringList, claimed);
        QFETCH(QStringList, ambient);
        Desktop d;
        TabRow* row = rowKind == "pinned"    ? d.tabRow(d.h.model->pinnedTabs().at(0))
                      : rowKind == "claimed" ? d.tabRow(d.h.model->claimedTabs().at(0))
                                             : d.row("vorn.tab.ambient.3");
        QVERIFY(row);
        QPointer<TabRow> kept(row);
        if (!menuItem.isEmpty()) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                    row->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(row, &event);
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            auto* item = menu->findChild<QAction*>(menuItem);
            QVERIFY(item);
            QCOMPARE(item->text(), action);
            item->trigger();
            menu->close();
        } else {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(row);
            QVERIFY(accessible->actionInterface()->actionNames().contains(action));
            accessible->actionInterface()->doAction(action);
        }
        QTRY_COMPARE(d.titles("vorn.tab.pinned."), pinned);
        QTRY_COMPARE(d.titles("vorn.tab.claimed."), claimed);
        QTRY_COMPARE(d.titles("vorn.tab.ambient."), ambient);
        if (action == "Pin" && rowKind == "claimed") {
            QVERIFY(kept && kept->objectName().startsWith("vorn.tab.pinned."));  // the same row
        }
    }

    void aChangedTitleTouchesOnlyItsRow() {
        Desktop d;
        for (std::uint32_t id : {4u, 5u, 6u}) {
            d.h.wm->addWindow(test::makeWindow(id, "org.c", "Other " + std::to_string(id)));
        }
        d.h.wm->emit(WindowChange::changed());
        d.h.executor->drain();
        QTRY_VERIFY(d.row("vorn.tab.ambient.6"));
        QCoreApplication::processEvents();

        std::map<QString, QPointer<TabRow>> before;
        PaintCounter counter;
        for (TabRow* row : d.view->findChildren<TabRow*>()) {
            before.emplace(row->objectName(), row);
            row->installEventFilter(&counter);
        }
        QCOMPARE(before.size(), std::size_t{6});
        const int renamed = 5;

        // One refresh in which only one window's title changed.
        for (WindowInfo& window : *d.h.wm->onScreen) {
            if (window.windowID == WindowID(renamed)) {
                window.title = "Renamed";
            }
        }
        d.h.wm->emit(WindowChange::changed());
        d.h.executor->drain();
        QTRY_COMPARE(d.row("vorn.tab.ambient.5")->title(), QStringLiteral("Renamed"));
        QTRY_VERIFY(counter.paints[d.row("vorn.tab.ambient.5")] > 0);

        const QList<TabRow*> after = d.view->findChildren<TabRow*>();
        QCOMPARE(static_cast<std::size_t>(after.size()), before.size());
        for (const auto& [name, row] : before) {
            QVERIFY2(row && d.row(name) == row.data(), qPrintable(name));
            if (name != QStringLiteral("vorn.tab.ambient.5")) {
                QVERIFY2(counter.paints[row.data()] == 0, qPrintable(name));
            }
        }
    }

    // An application the icon theme has no icon for shows its windows' own icons, each asked for
    // once at the row's size however often the rows are refreshed; a window without one shows
    // the generic icon, and a window number that comes back as another window is asked again.
    void aWindowsOwnIconStandsInForAMissingApplicationIcon() {
        std::map<std::uint32_t, int> asked;
        const QRgb red = qRgb(220, 0, 0);
        Desktop d([&](std::uint32_t window, std::uint32_t side) {
            ++asked[window];
            std::optional<platform::WindowIcon> icon;
            if (window == 1 && side == std::uint32_t(TabRow::iconSize)) {
                icon =
                    platform::WindowIcon{side, side, std::vector<std::uint32_t>(side * side, red)};
            }
            return icon;
        });
        TabRow* pinned = d.tabRow(d.h.model->pinnedTabs().at(0));
        QCOMPARE(iconColour(pinned), QColor(red));
        const QColor generic = iconColour(d.tabRow(d.h.model->claimedTabs().at(0)));
        QVERIFY(generic != QColor(red));

        for (const char* title : {"Alpha 2", "Alpha 3"}) {
            d.h.wm->onScreen->at(0).title = title;
            d.h.wm->emit(WindowChange::changed());
            d.h.executor->drain();
            QTRY_COMPARE(pinned->title(), QString::fromLatin1(title));
        }
        QCOMPARE(iconColour(pinned), QColor(red));
        QCOMPARE(asked, (std::map<std::uint32_t, int>{{1, 1}, {2, 1}, {3, 1}}));

        d.h.wm->removeWindow(WindowID(3));
        d.h.wm->emit(WindowChange::changed());
        d.h.executor->drain();
        QTRY_VERIFY(!d.row("vorn.tab.ambient.3"));
        d.h.wm->addWindow(test::makeWindow(3, "org.c", "Gamma again"));
        d.h.wm->emit(WindowChange::changed());
        d.h.executor->drain();
        QTRY_VERIFY(d.row("vorn.tab.ambient.3"));
        QCOMPARE(asked[3], 2);
    }

    void everyTextIsReadableOnLightAndDarkPalettes() {
        const QPalette light = QApplication::style()->standardPalette();
        QPalette dark = light;
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            dark.setColor(group, QPalette::Window, QColor(53, 53, 53));
            dark.setColor(group, QPalette::WindowText, Qt::white);
            dark.setColor(group, QPalette::Base, QColor(42, 42, 42));
            dark.setColor(group, QPalette::Text, Qt::white);
            dark.setColor(group, QPalette::Button, QColor(53, 53, 53));
            dark.setColor(group, QPalette::ButtonText, Qt::white);
            dark.setColor(group, QPalette::Highlight, QColor(42, 130, 218));
            dark.setColor(group, QPalette::HighlightedText, Qt::black);
        }
        for (const auto& [name, palette] :
             {std::pair{QStringLiteral("light"), light}, std::pair{QStringLiteral("dark"), dark}}) {
            QApplication::setPalette(palette);
            // A pinned tab, an active Recent tab and a dimmed other window; then an active one.
            Desktop d;
            checkTextContrast(*d.view, name);
            d.h.wm->addWindow(test::makeWindow(4, "org.d", "Delta"));
            d.h.wm->emit(WindowChange::changed());
            d.h.wm->emit(WindowChange::focused(WindowID(4)));
            d.h.executor->drain();
            QTRY_VERIFY(d.row("vorn.tab.ambient.4") && d.row("vorn.tab.ambient.4")->isActive());
            checkTextContrast(*d.view, name);

            // No windows: both hints; no permission: its banner.
            test::SidebarModelHarness empty;
            empty.wm->permission = false;
            empty.start();
            SidebarView view(
                empty.model, [] {}, std::nullopt);
            view.resize(160, 600);
            view.show();
            QTRY_VERIFY(view.findChild<QWidget*>("vorn.recent.empty")->isVisible());
            checkTextContrast(view, name);

            // The space's name field, emptied: its placeholder. Without the focus, so that no
            // caret is drawn, and disarmed, so that losing it does not end the edit.
            view.beginSpaceRename();
            auto* field = view.findChild<SpaceNameField*>("vorn.space.header.nameField");
            QTRY_VERIFY(field->isVisible() && field->isArmed());
            field->clear();
            field->setArmed(false);
            field->clearFocus();
            QVERIFY(field->isVisible());
            const QImage shot = view.grab().toImage();
            const double placeholder =
                test::textContrast(shot, QRect(field->mapTo(&view, QPoint(0, 0)), field->size()));
            QVERIFY2(placeholder >= 4.5, qPrintable(QString::number(placeholder)));
        }
        QApplication::setPalette(light);
    }

    void hoverAndRowsSurviveARefresh() {
        Desktop d;
        QEnterEvent enter(QPointF(20, 20), QPointF(20, 20), d.view->mapToGlobal(QPointF(20, 20)));
        QApplication::sendEvent(d.view.get(), &enter);
        auto* divider = d.view->findChild<AmbientDivider*>();
        QVERIFY(divider->toggle().isShown());
        QVERIFY(divider->lineEnd() < divider->width() - divider->toggle().width());
        QPointer<TabRow> pinned = d.tabRow(d.h.model->pinnedTabs().at(0));

        // Several notifications in one turn: a new window, a refresh, a focus change.
        d.h.wm->addWindow(test::makeWindow(4, "org.d", "Delta"));
        d.h.wm->emit(WindowChange::changed());
        d.h.wm->emit(WindowChange::focused(WindowID(4)));
        d.h.executor->drain();
        QTRY_VERIFY(d.row("vorn.tab.ambient.4"));
        QTRY_VERIFY(d.row("vorn.tab.ambient.4")->isActive());
        QCOMPARE(d.tabRow(d.h.model->pinnedTabs().at(0)), pinned.data());
        QVERIFY(divider->toggle().isShown());

        // Collapsed, the ambient list shows only the active window, and the divider stays.
        QAccessibleInterface* toggle = QAccessible::queryAccessibleInterface(&divider->toggle());
        toggle->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(toggle->text(QAccessible::Value), QStringLiteral("Collapsed"));
        QTRY_COMPARE(d.titles("vorn.tab.ambient."), QStringList{"Delta"});
        QCOMPARE(toggle->text(QAccessible::Name), QStringLiteral("Expand Ambient"));
        QVERIFY(divider->isVisible());

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(d.view.get(), &leave);
        QVERIFY(!divider->toggle().isShown());
        QCOMPARE(divider->lineEnd(), divider->width());
    }
};

QTEST_MAIN(SidebarViewTests)
#include "SidebarViewTests.moc"
