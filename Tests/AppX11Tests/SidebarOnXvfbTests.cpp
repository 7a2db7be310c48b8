// The whole program on a private Xvfb desktop with openbox, a tray and real xterms: the sidebar
// runs in this process (so that rows can be found by name), clicks come from xdotool, and the
// results are read back from the X server and the state file.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>
#include <xcb/xcb.h>

#include "AppDelegate.h"
#include "AppDependencies.h"
#include "FileIO.h"
#include "PlacementEngine.h"
#include "QtRunLoop.h"
#include "ScreenEvents.h"
#include "SidebarView.h"
#include "Store.h"
#include "TabRow.h"
#include "TempDir.h"
#include "X11PlatformBackend.h"
#include "XvfbSession.h"

#include <signal.h>
#include <sys/wait.h>

namespace vorn::app {
namespace {

test::XvfbSession* theSession = nullptr;
pid_t theTray = 0;

bool startTray() {
    const auto pid =
        theSession->spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                           "--height", "24", "--SetDockType", "true"});
    theTray = pid.value_or(0);
    return pid.has_value();
}

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

void recordConsent(const test::TempDir& dir) {
    test::writeText(dir / "consent.json",
                    R"({"disclosureShownVersion":"test","telemetryEnabled":false})");
}

// Starts the program on the data directory, its standard error written to the log file.
std::optional<pid_t> startVorn(const test::TempDir& data, const std::string& log) {
    return theSession->spawn({"/bin/sh", "-c", "exec \"$0\" 2>\"$1\"", VORN_PROGRAM, log},
                             {{"VORN_DATA_DIR", data.path().string()}});
}

QWidget* findWidget(const QString& name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name) {
            return top;
        }
        if (auto* found = top->findChild<QWidget*>(name)) {
            return found;
        }
    }
    return nullptr;
}

// The client window's top-left corner and size in root coordinates.
QRect clientFrame(xcb_window_t window) {
    xcb_connection_t* c = theSession->connection();
    auto geometryCookie = xcb_get_geometry(c, window);
    auto translateCookie = xcb_translate_coordinates(c, window, theSession->root(), 0, 0);
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, nullptr),
                                             &std::free);
    Reply<xcb_translate_coordinates_reply_t> at(
        xcb_translate_coordinates_reply(c, translateCookie, nullptr), &std::free);
    if (!geometry || !at) {
        return {};
    }
    return QRect(at->dst_x, at->dst_y, geometry->width, geometry->height);
}

// Whether the server shows the widget's window.
bool mapped(const QWidget* widget) {
    xcb_connection_t* c = theSession->connection();
    auto cookie = xcb_get_window_attributes(c, static_cast<xcb_window_t>(widget->winId()));
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, cookie, nullptr), &std::free);
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

// The shown windows of a process, the smallest first.
std::vector<xcb_window_t> shownWindows(pid_t pid) {
    const auto found =
        theSession->run({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)});
    std::vector<xcb_window_t> windows;
    std::istringstream lines(found.value_or(""));
    for (unsigned long window = 0; lines >> window;) {
        windows.push_back(static_cast<xcb_window_t>(window));
    }
    std::sort(windows.begin(), windows.end(), [](xcb_window_t a, xcb_window_t b) {
        return clientFrame(a).width() < clientFrame(b).width();
    });
    return windows;
}

// The sidebar panel of a Vorn in a process of its own: it spans the screen's height, where the
// tray icon and menus are small.
std::optional<xcb_window_t> shownPanel(pid_t pid) {
    for (xcb_window_t window : shownWindows(pid)) {
        if (clientFrame(window).height() >= 500) {
            return window;
        }
    }
    return std::nullopt;
}

bool click(QPoint at) {
    return theSession
        ->run(
            {"xdotool", "mousemove", std::to_string(at.x()), std::to_string(at.y()), "click", "1"})
        .has_value();
}

// Clicks the item of the popup menu that is open, once it shows.
bool chooseFromPopup(const QString& item) {
    QMenu* menu = nullptr;
    const bool open = theSession->waitFor([&] {
        QCoreApplication::processEvents();
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu != nullptr && menu->isVisible();
    });
    QAction* action = open ? menu->findChild<QAction*>(item) : nullptr;
    if (action == nullptr) {
        return false;
    }
    return click(menu->mapToGlobal(menu->actionGeometry(action).center()));
}

// How the process ended, waiting up to ten seconds; -1 while it still runs.
int exitStatus(pid_t pid) {
    int status = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (::waitpid(pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status;
}

// Openbox handles what the server sent before a request, so once a change of the number of
// desktops shows, it has reacted to every earlier click.
void windowManagerBarrier() {
    static int desktops = 2;
    desktops = desktops == 2 ? 3 : 2;
    theSession->run({"wmctrl", "-n", std::to_string(desktops)});
    QVERIFY(theSession->waitFor([&] {
        const auto value =
            theSession->cardinalProperty(theSession->root(), "_NET_NUMBER_OF_DESKTOPS");
        return !value.empty() && value.front() == static_cast<std::uint32_t>(desktops);
    }));
}

// Types into the space name field once the window manager and Qt both have the panel active,
// and waits until the field shows the text. The test's thread is the program's: it takes in
// the keys only after xdotool has returned.
void typeIntoNameField(const QString& text) {
    auto* panel = findWidget(QStringLiteral("vorn.sidebar.window"));
    auto* field =
        static_cast<QLineEdit*>(findWidget(QStringLiteral("vorn.space.header.nameField")));
    QTRY_VERIFY(field->isVisible() && field->hasFocus());
    QTRY_COMPARE(theSession->activeWindow(), static_cast<xcb_window_t>(panel->winId()));
    QTRY_VERIFY(panel->isActiveWindow());
    QVERIFY(theSession->run({"xdotool", "type", "--delay", "5", text.toStdString()}));
    QTRY_COMPARE(field->text(), text);
}

}  // namespace

class SidebarOnXvfbTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        for (const char* title : {"Shell One", "Shell Two", "Shell Three"}) {
            const auto started = theSession->openXterm(title, {"-geometry", "60x20+500+300"});
            QVERIFY(started && started->windows.size() == 1);
            m_xterms.push_back(started->windows.front());
        }
        // The window manager focuses each new window.
        QVERIFY(theSession->waitFor([&] { return theSession->activeWindow() == m_xterms.back(); }));
        recordConsent(m_data);
        m_runLoop = std::make_shared<QtRunLoop>();
        m_backend = std::make_unique<X11PlatformBackend>(*m_runLoop);
        m_events.followApplicationScreens();
        AppDependencies deps = standardDependencies(*m_backend, m_events, m_runLoop);
        deps.dataDirectory = m_data.path();
        m_app = std::make_unique<AppDelegate>(std::move(deps));
        m_app->applicationDidFinishLaunching();
        QVERIFY(m_app->controller() != nullptr);
    }

    void cleanupTestCase() {
        m_app.reset();
        m_backend.reset();
    }

    void theXtermsAreListedAsOtherWindows() {
        for (xcb_window_t xterm : m_xterms) {
            QTRY_VERIFY(findWidget(QStringLiteral("vorn.tab.ambient.%1").arg(xterm)) != nullptr);
        }
    }

    void theFocusedWindowsRowIsActiveFromTheStart() {
        // The focus has not moved since the start, so no report told the model of it.
        const xcb_window_t focused = m_xterms.back();
        QCOMPARE(theSession->activeWindow(), focused);
        QCOMPARE(m_app->model()->activeWindowID(), std::optional<WindowID>(WindowID(focused)));
        auto* row =
            qobject_cast<TabRow*>(findWidget(QStringLiteral("vorn.tab.ambient.%1").arg(focused)));
        QVERIFY(row != nullptr);
        QTRY_VERIFY(row->isActive());
    }

    // A program whose icon no desktop entry or icon theme has (featherpad's is only in
    // Papirus) shows the icon its window carries, in the size nearest the row's.
    void aWindowWithOnlyItsOwnIconShowsIt() {
        // It refuses the focus, so that the active window stays what the next cases expect.
        const auto started = theSession->openTestWindow(
            {"--title", "Own Icon", "--class", "ownicon,VornOwnIcon", "--icon",
             "16=d02020,64=2020d0", "--geometry", "300x200+900+600", "--no-focus"});
        QVERIFY(started.has_value());
        TabRow* row = nullptr;
        QTRY_VERIFY((row = qobject_cast<TabRow*>(findWidget(
                         QStringLiteral("vorn.tab.ambient.%1").arg(started->windows.front())))));
        // Dimmed as another window, the red still shows.
        const QColor centre =
            row->grab().toImage().pixelColor(6 + TabRow::iconSize / 2, row->height() / 2);
        QVERIFY2(centre.red() > centre.green() + 60 && centre.red() > centre.blue() + 60,
                 qPrintable(centre.name()));
        theSession->stop(started->pid);
        QTRY_VERIFY(findWidget(QStringLiteral("vorn.tab.ambient.%1").arg(started->windows.front()))
                    == nullptr);
        QVERIFY(theSession->syncWindowManager());
    }

    void showingOrClickingThePanelKeepsTheActiveWindow() {
        const xcb_window_t active = theSession->activeWindow();
        QVERIFY(active != XCB_NONE);
        auto* panel = findWidget(QStringLiteral("vorn.sidebar.window"));
        QVERIFY(panel != nullptr);
        QTRY_VERIFY(mapped(panel));

        m_app->menuBar()->toggleSidebar();
        QTRY_VERIFY(!mapped(panel));
        m_app->menuBar()->toggleSidebar();
        QTRY_VERIFY(mapped(panel));
        windowManagerBarrier();
        QCOMPARE(theSession->activeWindow(), active);

        // An empty part of the panel, below the rows; then away, so that the view has handled
        // the click once it sees the pointer leave.
        auto* view = panel->findChild<SidebarView*>();
        QVERIFY(view != nullptr);
        QVERIFY(click(panel->mapToGlobal(QPoint(panel->width() / 2, panel->height() * 2 / 3))));
        QTRY_VERIFY(view->isSidebarHovered());
        QVERIFY(theSession->run({"xdotool", "mousemove", "1000", "900"}));
        QTRY_VERIFY(!view->isSidebarHovered());
        windowManagerBarrier();
        QCOMPARE(theSession->activeWindow(), active);
    }

    void clickingARowActivatesPlacesAndClaimsItsWindow() {
        const xcb_window_t target = m_xterms[1];
        QVERIFY(theSession->activeWindow() != target);
        auto* row = findWidget(QStringLiteral("vorn.tab.ambient.%1").arg(target));
        QVERIFY(row != nullptr);
        QVERIFY(click(row->mapToGlobal(row->rect().center())));

        QTRY_COMPARE(theSession->activeWindow(), target);
        // Fill mode: a Recent window fills the area beside the 160-point sidebar, less its
        // margins (and the window manager's decorations).
        const auto filled = [&] {
            const QRect frame = clientFrame(target);
            const int inset = static_cast<int>(PlacementEngine::sideInset) + 8;
            return frame.left() >= 160 && frame.left() <= 160 + inset
                   && frame.right() >= 1920 - inset;
        };
        QTRY_VERIFY(filled());

        const auto claimed = [&] {
            const AppState state = JSONFileStore(m_data / "state.json").load();
            for (const SpaceTab& tab : state.spaces.front().tabs) {
                if (tab.lastTitle == "Shell Two" && tab.claimExpiresAt) {
                    return true;
                }
            }
            return false;
        };
        QTRY_VERIFY(claimed());
    }

    void clickingATabWhoseWindowIsOnAnotherDesktopShowsThatDesktop() {
        const xcb_window_t target = m_xterms[1];
        const auto onDesktop = [](xcb_window_t window, std::uint32_t desktop) {
            const std::string id = std::to_string(window);
            return theSession->run(
                       {"xdotool", "set_desktop_for_window", id, std::to_string(desktop)})
                   && theSession->waitFor([&] {
                          return theSession->cardinalProperty(window, "_NET_WM_DESKTOP")
                                 == std::vector<std::uint32_t>{desktop};
                      });
        };
        QVERIFY(onDesktop(target, 1));
        QTRY_VERIFY(theSession->activeWindow() != target);
        const std::vector<SpaceTab> tabs = savedState().spaces.front().tabs;
        QCOMPARE(tabs.size(), std::size_t{1});
        QCOMPARE(tabs.front().lastTitle, std::string("Shell Two"));
        const QString name =
            QStringLiteral("vorn.tab.claimed.") + QString::fromStdString(tabs.front().id.string());
        QWidget* row = nullptr;
        QTRY_VERIFY((row = findWidget(name)) != nullptr && row->isVisible());
        QVERIFY(click(row->mapToGlobal(row->rect().center())));
        QTRY_COMPARE(theSession->currentDesktop(), std::optional<std::uint32_t>(1));
        QTRY_COMPARE(theSession->activeWindow(), target);

        // Back on the first desktop, with the same window active.
        QVERIFY(onDesktop(target, 0));
        QVERIFY(theSession->run({"xdotool", "windowactivate", std::to_string(target)}));
        QTRY_COMPARE(theSession->currentDesktop(), std::optional<std::uint32_t>(0));
        QTRY_COMPARE(theSession->activeWindow(), target);
    }

    void renamingThroughTheHeaderMenuGivesTheFocusBack() {
        const xcb_window_t active = theSession->activeWindow();
        QVERIFY(std::find(m_xterms.begin(), m_xterms.end(), active) != m_xterms.end());
        auto* panel = findWidget(QStringLiteral("vorn.sidebar.window"));
        auto* header = findWidget(QStringLiteral("vorn.header.title"));
        auto* button = findWidget(QStringLiteral("vorn.space.header.menu"));
        QVERIFY(panel && header && button);

        // The menu's button shows while the pointer is over the header.
        const QPoint over = header->mapToGlobal(header->rect().center());
        QVERIFY(theSession->run(
            {"xdotool", "mousemove", std::to_string(over.x()), std::to_string(over.y())}));
        QTRY_VERIFY(button->isVisible());
        QVERIFY(click(button->mapToGlobal(button->rect().center())));
        QVERIFY(chooseFromPopup(QStringLiteral("vorn.space.header.menu.rename")));

        // The panel takes the keyboard for the field, and the typing lands there.
        QTRY_COMPARE(theSession->activeWindow(), static_cast<xcb_window_t>(panel->winId()));
        auto* field = findWidget(QStringLiteral("vorn.space.header.nameField"));
        typeIntoNameField(QStringLiteral("Deep Work"));
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(theSession->run({"xdotool", "key", "Return"}));

        QTRY_COMPARE(theSession->activeWindow(), active);
        QTRY_COMPARE(savedState().spaces.front().name, std::string("Deep Work"));
        QVERIFY(!field->isVisible());
    }

    void clickingAnotherWindowKeepsTheNameAndThatWindow() {
        auto* header = findWidget(QStringLiteral("vorn.header.title"));
        auto* button = findWidget(QStringLiteral("vorn.space.header.menu"));
        const QPoint over = header->mapToGlobal(header->rect().center());
        QVERIFY(theSession->run(
            {"xdotool", "mousemove", std::to_string(over.x()), std::to_string(over.y())}));
        QTRY_VERIFY(button->isVisible());
        QVERIFY(click(button->mapToGlobal(button->rect().center())));
        QVERIFY(chooseFromPopup(QStringLiteral("vorn.space.header.menu.rename")));
        typeIntoNameField(QStringLiteral("Elsewhere"));
        QVERIFY(!QTest::currentTestFailed());

        // Another window is chosen (the filled xterm covers the others, so not by a click).
        const xcb_window_t chosen = m_xterms[2];
        QVERIFY(theSession->run({"xdotool", "windowactivate", std::to_string(chosen)}));
        QTRY_COMPARE(savedState().spaces.front().name, std::string("Elsewhere"));
        windowManagerBarrier();
        QCOMPARE(theSession->activeWindow(), chosen);
    }

    void addingAndSwitchingSpaces() {
        const xcb_window_t active = theSession->activeWindow();
        const Uuid first = savedState().spaces.front().id;
        auto* add = findWidget(QStringLiteral("vorn.space.add"));
        QVERIFY(click(add->mapToGlobal(add->rect().center())));
        auto* field = findWidget(QStringLiteral("vorn.space.header.nameField"));
        QTRY_VERIFY(field->isVisible() && field->hasFocus());
        QCOMPARE(static_cast<QLineEdit*>(field)->text(), QStringLiteral("New Space"));
        typeIntoNameField(QStringLiteral("Reading"));
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(theSession->run({"xdotool", "key", "Return"}));
        QTRY_COMPARE(theSession->activeWindow(), active);
        QTRY_VERIFY(savedState().spaces.size() == 2
                    && savedState().spaces.back().name == "Reading");
        QCOMPARE(savedState().activeSpaceId, std::optional<Uuid>(savedState().spaces.back().id));

        auto* switcher = findWidget(QStringLiteral("vorn.space.switcher"));
        QVERIFY(click(switcher->mapToGlobal(switcher->rect().center())));
        QVERIFY(chooseFromPopup(QStringLiteral("vorn.space.switcher.item.")
                                + QString::fromStdString(first.string())));
        QTRY_COMPARE(savedState().activeSpaceId, std::optional<Uuid>(first));
        QTRY_COMPARE(
            static_cast<QLabel*>(findWidget(QStringLiteral("vorn.header.title")))->accessibleName(),
            QStringLiteral("Elsewhere"));
        windowManagerBarrier();
        QCOMPARE(theSession->activeWindow(), active);
    }

    void theKeyboardComesInOnTheActiveRowAndGoesBack() {
        const xcb_window_t active = theSession->activeWindow();
        auto* panel = findWidget(QStringLiteral("vorn.sidebar.window"));
        QVERIFY(panel);
        const auto activeRow = [&]() -> TabRow* {
            for (TabRow* row : panel->findChildren<TabRow*>()) {
                if (row->isActive() && row->isVisible()) {
                    return row;
                }
            }
            return nullptr;
        };
        QTRY_VERIFY(activeRow() != nullptr);
        TabRow* row = activeRow();

        // As a second start asks.
        m_app->showSidebar();
        QTRY_COMPARE(theSession->activeWindow(), static_cast<xcb_window_t>(panel->winId()));
        QTRY_VERIFY(row->hasFocus());

        // The Menu key opens the row's menu; Escape closes it and the row keeps the keyboard.
        QVERIFY(theSession->run({"xdotool", "key", "Menu"}));
        QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr);
        QVERIFY(theSession->run({"xdotool", "key", "Escape"}));
        QTRY_VERIFY(QApplication::activePopupWidget() == nullptr && row->hasFocus());

        QVERIFY(theSession->run({"xdotool", "key", "Tab"}));
        QTRY_VERIFY(!row->hasFocus() && panel->isAncestorOf(QApplication::focusWidget()));
        QVERIFY(theSession->run({"xdotool", "key", "Escape"}));
        QTRY_COMPARE(theSession->activeWindow(), active);
    }

    void fromAnotherDesktopTheKeyboardGoesToTheSidebarsDesktopAndBack() {
        QVERIFY(theSession->run({"wmctrl", "-s", "1"}));
        QTRY_COMPARE(theSession->currentDesktop(), std::optional<std::uint32_t>(1));
        const auto elsewhere = theSession->openXterm("Elsewhere");
        QVERIFY(elsewhere && elsewhere->windows.size() == 1);
        const xcb_window_t there = elsewhere->windows.front();
        QTRY_COMPARE(theSession->activeWindow(), there);

        auto* panel = findWidget(QStringLiteral("vorn.sidebar.window"));
        m_app->showSidebar();
        QTRY_COMPARE(theSession->currentDesktop(), std::optional<std::uint32_t>(0));
        QTRY_COMPARE(theSession->activeWindow(), static_cast<xcb_window_t>(panel->winId()));
        QVERIFY(theSession->run({"xdotool", "key", "Escape"}));
        QTRY_COMPARE(theSession->currentDesktop(), std::optional<std::uint32_t>(1));
        QTRY_COMPARE(theSession->activeWindow(), there);

        theSession->stop(elsewhere->pid);
        QVERIFY(theSession->run({"xdotool", "windowactivate", std::to_string(m_xterms[2])}));
        QTRY_COMPARE(theSession->currentDesktop(), std::optional<std::uint32_t>(0));
        QTRY_COMPARE(theSession->activeWindow(), m_xterms[2]);
    }

    void aPanelStartedAlongTheEdgeMovesTheSidebarBesideItWithoutABand() {
        // The move is the sidebar's own: a band taken for it would narrow the work area and push
        // the sidebar on.
        const auto panel =
            static_cast<xcb_window_t>(findWidget(QStringLiteral("vorn.sidebar.window"))->winId());
        const auto band = [&] {
            return !theSession->cardinalProperty(panel, "_NET_WM_STRUT_PARTIAL").empty();
        };
        QTRY_VERIFY(clientFrame(panel).left() == 0 && !band());
        bool banded = false;
        const auto standsAt = [&](int left) {
            banded = banded || band();
            return clientFrame(panel).left() == left;
        };
        const auto dock = theSession->openTestWindow(
            {"--type", "dock", "--geometry", "60x1080+0+0", "--strut", "60,0,0,0"});
        QVERIFY(dock);
        QTRY_VERIFY(standsAt(60));
        theSession->stop(dock->pid);
        QTRY_VERIFY(standsAt(0));
        QVERIFY(!banded);
    }

    void withoutATrayTheHeaderMenuHoldsTheStatusItems() {
        auto* button = findWidget(QStringLiteral("vorn.space.header.menu"));
        QVERIFY(m_app->menuBar()->isTrayAvailable());
        QVERIFY(!button->isVisible());

        theSession->stop(theTray);
        QTRY_VERIFY(!m_app->menuBar()->isTrayAvailable());
        QTRY_VERIFY(button->isVisible());
        QVERIFY(click(button->mapToGlobal(button->rect().center())));
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
        QCOMPARE(menu->actions().back()->objectName(), QStringLiteral("vorn.menu.quit"));
        menu->close();
        QVERIFY(theSession->run({"xdotool", "mousemove", "1000", "900"}));

        QVERIFY(startTray());
        QTRY_VERIFY(m_app->menuBar()->isTrayAvailable());
        QTRY_VERIFY(!button->isVisible());
    }

    void quitFromTheMenuEndsTheProgram() {
        test::TempDir data;
        recordConsent(data);
        const std::string log = (data / "vorn.log").string();
        const auto pid = startVorn(data, log);
        QVERIFY(pid.has_value());
        // The tray icon is its smallest window; the menu opens as one more.
        const bool iconShown = theSession->waitFor(
            [&] {
                const auto windows = shownWindows(*pid);
                return !windows.empty() && clientFrame(windows.front()).width() <= 64;
            },
            std::chrono::seconds(20));
        QVERIFY2(iconShown, test::readText(log).c_str());
        const auto before = shownWindows(*pid);
        const QRect icon = clientFrame(before.front());
        QVERIFY(click(icon.center()));
        QVERIFY(theSession->waitFor([&] { return shownWindows(*pid).size() > before.size(); }));
        QVERIFY(theSession->run({"xdotool", "key", "ctrl+q"}));

        const int status = exitStatus(*pid);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
    }

    // The first-run question is a modal alert shown before the main loop runs; a quit signal
    // must end the program there too, and must not count as an answer.
    void aQuitSignalDuringTheFirstRunQuestionEndsTheProgramUnanswered() {
        test::TempDir data;
        const std::string log = (data / "vorn.log").string();
        const auto pid = startVorn(data, log);
        QVERIFY(pid.has_value());
        QVERIFY2(theSession->waitFor([&] { return !shownWindows(*pid).empty(); },
                                     std::chrono::seconds(20)),
                 test::readText(log).c_str());
        QVERIFY(::kill(*pid, SIGTERM) == 0);
        const int status = exitStatus(*pid);
        QVERIFY2(WIFEXITED(status), test::readText(log).c_str());
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(!fileio::exists(data / "consent.json"));
    }

    void aSecondStartShowsTheFirstsSidebarAndTouchesNoFile() {
        test::TempDir data;
        recordConsent(data);
        const auto start = [&](const std::string& log) { return startVorn(data, log); };
        const std::string firstLog = (data / "first.log").string();
        const auto first = start(firstLog);
        QVERIFY(first.has_value());
        const auto panel = [&] { return shownPanel(*first); };
        QVERIFY2(theSession->waitFor([&] { return panel().has_value(); }, std::chrono::seconds(20)),
                 test::readText(firstLog).c_str());
        QVERIFY(theSession->waitFor([&] { return fileio::exists(data / "state.json"); }));

        // Hide it from its own menu: the first item toggles the sidebar.
        const auto windows = shownWindows(*first);
        QVERIFY(click(clientFrame(windows.front()).center()));
        QVERIFY(theSession->waitFor([&] { return shownWindows(*first).size() > windows.size(); }));
        QVERIFY(theSession->run({"xdotool", "key", "Down", "Return"}));
        QVERIFY(theSession->waitFor([&] { return !panel().has_value(); }));
        const std::string saved = test::readText(data / "state.json");

        const xcb_window_t active = theSession->activeWindow();
        const std::string secondLog = (data / "second.log").string();
        const auto second = start(secondLog);
        QVERIFY(second.has_value());
        const int status = exitStatus(*second);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        const std::string said = test::readText(secondLog);
        QVERIFY2(said.find("already running on this data directory, showed its sidebar")
                     != std::string::npos,
                 said.c_str());
        QCOMPARE(std::count(said.begin(), said.end(), '\n'), 1L);
        QVERIFY(theSession->waitFor([&] { return panel().has_value(); }));
        QCOMPARE(test::readText(data / "state.json"), saved);
        // The keyboard came with it (a key bound to `vorn` brings the sidebar forward), and
        // Escape hands it back.
        QVERIFY(theSession->waitFor([&] { return theSession->activeWindow() == *panel(); }));
        QVERIFY(theSession->run({"xdotool", "key", "Escape"}));
        QVERIFY(theSession->waitFor([&] { return theSession->activeWindow() == active; }));
        theSession->stop(*first);
    }

    void aSidebarStartedBesideAStrutOverMostOfTheDisplayStandsAtItsEdge() {
        // Vorn ignores a strut that leaves less than half of the display; openbox keeps new
        // windows out of as much of it as leaves it half.
        const auto dock = theSession->openTestWindow(
            {"--type", "dock", "--geometry", "1800x1080+0+0", "--strut", "1800,0,0,0"});
        QVERIFY(dock);
        QVERIFY(theSession->waitFor([] {
            const auto area = theSession->cardinalProperty(theSession->root(), "_NET_WORKAREA");
            return area.size() >= 4 && area[0] > 0;
        }));
        test::TempDir data;
        recordConsent(data);
        const std::string log = (data / "vorn.log").string();
        const auto pid = startVorn(data, log);
        QVERIFY(pid.has_value());
        QVERIFY2(theSession->waitFor([&] { return shownPanel(*pid).has_value(); },
                                     std::chrono::seconds(20)),
                 test::readText(log).c_str());
        const xcb_window_t panel = *shownPanel(*pid);
        QVERIFY2(theSession->waitFor([&] { return clientFrame(panel).left() == 0; }),
                 test::readText(log).c_str());
        // The band it reserved to get there is given back, and it stays.
        QVERIFY(theSession->waitFor(
            [&] { return theSession->cardinalProperty(panel, "_NET_WM_STRUT_PARTIAL").empty(); },
            std::chrono::seconds(10)));
        QVERIFY(theSession->cardinalProperty(panel, "_NET_WM_STRUT").empty());
        QCOMPARE(clientFrame(panel).left(), 0);
        theSession->stop(*pid);
        theSession->stop(dock->pid);
    }

private:
    AppState savedState() const { return JSONFileStore(m_data / "state.json").load(); }

    std::vector<xcb_window_t> m_xterms;
    test::TempDir m_data;
    std::shared_ptr<QtRunLoop> m_runLoop;
    std::unique_ptr<X11PlatformBackend> m_backend;
    ScreenEvents m_events;
    std::unique_ptr<AppDelegate> m_app;
};

}  // namespace vorn::app

int main(int argc, char** argv) {
    vorn::test::XvfbSession session;
    if (!session.start()) {
        std::fprintf(stderr, "SidebarOnXvfbTests: %s\n", session.error().c_str());
        return 1;
    }
    vorn::app::theSession = &session;
    if (!vorn::app::startTray()) {
        std::fprintf(stderr, "SidebarOnXvfbTests: trayer did not start\n");
        return 1;
    }
    qputenv("DISPLAY", QByteArray::fromStdString(session.display()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vorn::app::SidebarOnXvfbTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "SidebarOnXvfbTests.moc"
