#include <QAccessible>
#include <QtTest>

#include "AmbientDivider.h"
#include "SidebarModelHarness.h"
#include "SidebarView.h"
#include "TabRow.h"

#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

using namespace vorn;
using namespace vorn::app;

namespace {

// Every state change assistive tools are told of, as (object name, changed states).
std::vector<std::pair<QString, QAccessible::State>>* theStateChanges = nullptr;

void recordUpdate(QAccessibleEvent* event) {
    if (theStateChanges != nullptr && event->type() == QAccessible::StateChanged) {
        theStateChanges->emplace_back(
            event->object()->objectName(),
            static_cast<QAccessibleStateChangeEvent*>(event)->changedStates());
    }
}

// "Notes" is a pinned tab whose window is gone, Alpha a pinned one; Beta is claimed and active;
// Gamma and Delta are other windows.
struct Desktop {
    test::SidebarModelHarness h;
    std::unique_ptr<SidebarView> view;

    Desktop() {
        h.storeSpaces({test::makeSpace("Home", 0, {test::makeTab("org.x", "Notes", 0)})});
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
    }

    void focus(std::uint32_t window) {
        h.wm->emit(WindowChange::focused(WindowID(window)));
        h.executor->drain();
    }
    TabRow* row(const QString& title) const {
        for (TabRow* row : view->findChildren<TabRow*>()) {
            if (row->title() == title && row->isVisible()) {
                return row;
            }
        }
        return nullptr;
    }
    QAccessibleInterface* accessible(QObject* object) const {
        return QAccessible::queryAccessibleInterface(object);
    }

    // The lists as assistive tools read them: each list's name and its rows' names, in order.
    QStringList lists() const {
        QAccessibleInterface* content =
            accessible(view->findChild<QWidget*>("vorn.section.pinned.list")->parentWidget());
        QStringList result;
        for (int i = 0; i < content->childCount(); ++i) {
            QAccessibleInterface* list = content->child(i);
            if (list->role() != QAccessible::List || list->state().invisible) {
                continue;
            }
            QStringList rows;
            for (int j = 0; j < list->childCount(); ++j) {
                rows << list->child(j)->text(QAccessible::Name);
            }
            result << list->text(QAccessible::Name) + ": " + rows.join(", ");
        }
        return result;
    }
};

}  // namespace

class SidebarAccessibilityTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listsFollowTheScreen_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("lists");
        QTest::newRow("as built") << ""
                                  << QStringList{"Pinned: Notes, Alpha", "Recent: Beta",
                                                 "Other Windows: Gamma, Delta"};
        QTest::newRow("an other window pinned")
            << "pin Gamma"
            << QStringList{"Pinned: Notes, Alpha, Gamma", "Recent: Beta", "Other Windows: Delta"};
        QTest::newRow("a Recent tab pinned")
            << "promote Beta"
            << QStringList{"Pinned: Notes, Alpha, Beta", "Other Windows: Gamma, Delta"};
        QTest::newRow("an other window focused")
            << "focus Delta"
            << QStringList{"Pinned: Notes, Alpha", "Recent: Beta", "Other Windows: Delta, Gamma"};
        QTest::newRow("an other window claimed")
            << "claim Gamma"
            << QStringList{"Pinned: Notes, Alpha", "Recent: Beta, Gamma", "Other Windows: Delta"};
    }

    void listsFollowTheScreen() {
        QFETCH(QString, change);
        QFETCH(QStringList, lists);
        Desktop d;
        SidebarModel& model = *d.h.model;
        if (change == "pin Gamma") {
            model.pin(d.h.wm->onScreen->at(2));
        } else if (change == "promote Beta") {
            model.promote(d.h.tabTitled("Beta"));
        } else if (change == "focus Delta") {
            d.focus(4);
        } else if (change == "claim Gamma") {
            model.activate(d.h.wm->onScreen->at(2));
        }
        QTRY_COMPARE(d.lists(), lists);

        // The header comes first and the space bar last, as on the screen.
        QAccessibleInterface* view = d.accessible(d.view.get());
        QCOMPARE(view->child(0)->object()->metaObject()->className(), "vorn::app::SpaceHeader");
        QCOMPARE(view->child(view->childCount() - 1)->object()->metaObject()->className(),
                 "vorn::app::SpaceBar");
    }

    void rowsSayWhatTheirLookSays() {
        Desktop d;
        const auto describes = [&](const QString& title) {
            return d.accessible(d.row(title))->text(QAccessible::Description);
        };
        QCOMPARE(describes("Alpha"), QStringLiteral("org.a, pinned"));
        QCOMPARE(describes("Notes"), QStringLiteral("org.x, pinned, window closed"));
        QCOMPARE(describes("Beta"), QStringLiteral("org.b, recent"));
        QCOMPARE(describes("Gamma"), QStringLiteral("org.c, other window"));
        QCOMPARE(d.accessible(d.row("Alpha"))->role(), QAccessible::ListItem);
        QCOMPARE(d.accessible(d.row("Alpha"))->text(QAccessible::Name), QStringLiteral("Alpha"));
        // Identifiers are object names, never what a screen reader says.
        QVERIFY(d.row("Alpha")->objectName().startsWith("vorn.tab.pinned."));

        // The window closes: the tab says so.
        d.h.wm->removeWindow(WindowID(1));
        for (int refresh = 0; refresh < 2; ++refresh) {
            d.h.wm->emit(WindowChange::changed());
            d.h.executor->drain();
        }
        QTRY_COMPARE(describes("Alpha"), QStringLiteral("org.a, pinned, window closed"));
    }

    void theActiveRowIsCheckedAndItsChangeIsTold() {
        std::vector<std::pair<QString, QAccessible::State>> changes;
        theStateChanges = &changes;
        // As when a screen reader listens: Qt tells of changes only then.
        QPlatformAccessibility* platform =
            QGuiApplicationPrivate::platformIntegration()->accessibility();
        QVERIFY(platform);
        platform->setActive(true);
        QAccessible::installUpdateHandler(recordUpdate);
        Desktop d;
        TabRow* beta = d.row("Beta");
        TabRow* gamma = d.row("Gamma");
        QVERIFY(d.accessible(beta)->state().checked && d.accessible(beta)->state().checkable);
        QVERIFY(!d.accessible(gamma)->state().checked && d.accessible(gamma)->state().checkable);

        changes.clear();
        d.focus(3);
        QTRY_VERIFY(d.accessible(gamma)->state().checked);
        QVERIFY(!d.accessible(beta)->state().checked);
        const auto told = [&](const TabRow* row) {
            return std::any_of(changes.begin(), changes.end(), [&](const auto& change) {
                return change.first == row->objectName() && change.second.checked;
            });
        };
        QVERIFY(told(beta) && told(gamma));
        QVERIFY(!told(d.row("Alpha")));

        // The collapse control says whether the list is expanded, and when that changes; checked
        // follows expanded, for bridges that carry only that change.
        auto& toggle = d.view->findChild<AmbientDivider*>()->toggle();
        QVERIFY(d.accessible(&toggle)->state().expandable);
        QVERIFY(d.accessible(&toggle)->state().expanded && d.accessible(&toggle)->state().checked);
        changes.clear();
        d.accessible(&toggle)->actionInterface()->doAction(
            QAccessibleActionInterface::pressAction());
        QTRY_VERIFY(!d.accessible(&toggle)->state().expanded);
        QVERIFY(!d.accessible(&toggle)->state().checked);
        QVERIFY(std::any_of(changes.begin(), changes.end(), [&](const auto& change) {
            return change.first == toggle.objectName() && change.second.expanded
                   && change.second.checked;
        }));

        QAccessible::installUpdateHandler(nullptr);
        platform->setActive(false);
        theStateChanges = nullptr;
    }
};

QTEST_MAIN(SidebarAccessibilityTests)
#include "SidebarAccessibilityTests.moc"
