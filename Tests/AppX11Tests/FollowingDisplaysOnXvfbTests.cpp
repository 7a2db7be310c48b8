// The program following RandR monitors on a private Xvfb desktop with openbox: one screen split
// in two with `xrandr --setmonitor`, the sidebar on the left half, and that half taken away and
// given back. The delegate runs in this process; the panel's place is read from the X server.

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QtTest>
#include <xcb/xcb.h>

#include "AppDelegate.h"
#include "AppDependencies.h"
#include "QtRunLoop.h"
#include "ScreenEvents.h"
#include "Store.h"
#include "TempDir.h"
#include "X11PlatformBackend.h"
#include "XvfbSession.h"

namespace vorn::app {
namespace {

test::XvfbSession* theSession = nullptr;

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

// The monitors: L (no output) left of R (Xvfb's one output), 960 x 1080 each.
const std::vector<std::string> leftHalf = {"xrandr", "--setmonitor", "L", "960/254x1080/286+0+0",
                                           "none"};
const std::vector<std::string> rightHalf = {"xrandr", "--setmonitor", "R", "960/254x1080/286+960+0",
                                            "screen"};

// The shown sidebar panel's frame as the X server has it; empty while none is shown.
QRect panelFrame() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() != QStringLiteral("vorn.sidebar.window") || !top->isVisible()) {
            continue;
        }
        xcb_connection_t* c = theSession->connection();
        const auto window = static_cast<xcb_window_t>(top->winId());
        auto attributesCookie = xcb_get_window_attributes(c, window);
        auto geometryCookie = xcb_get_geometry(c, window);
        auto translateCookie = xcb_translate_coordinates(c, window, theSession->root(), 0, 0);
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, attributesCookie, nullptr), &std::free);
        Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, nullptr),
                                                 &std::free);
        Reply<xcb_translate_coordinates_reply_t> at(
            xcb_translate_coordinates_reply(c, translateCookie, nullptr), &std::free);
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE && geometry && at) {
            return QRect(at->dst_x, at->dst_y, geometry->width, geometry->height);
        }
    }
    return {};
}

// Whether the sidebar lists the window among the other windows of its display.
bool listed(xcb_window_t window) {
    const QString name = QStringLiteral("vorn.tab.ambient.%1").arg(window);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && top->findChild<QWidget*>(name) != nullptr) {
            return true;
        }
    }
    return false;
}

std::vector<Uuid> savedTabs(const test::TempDir& data) {
    std::vector<Uuid> ids;
    for (const Space& space : JSONFileStore(data / "state.json").load().spaces) {
        for (const SpaceTab& tab : space.tabs) {
            ids.push_back(tab.id);
        }
    }
    return ids;
}

}  // namespace

class FollowingDisplaysOnXvfbTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        const auto xterm = theSession->openXterm("Left Shell", {"-geometry", "60x20+300+300"});
        QVERIFY(xterm && xterm->windows.size() == 1);
        m_xterm = xterm->windows.front();
        test::writeText(m_data / "consent.json",
                        R"({"disclosureShownVersion":"test","telemetryEnabled":false})");
        AppState state;
        Space space{Uuid::random(), "Home", 0, {}, false};
        for (const char* title : {"Notes", "Build", "Mail"}) {
            SpaceTab tab;
            tab.id = Uuid::random();
            tab.app = {"org.example.Editor", "Editor"};
            tab.lastTitle = title;
            tab.order = static_cast<std::int64_t>(space.tabs.size());
            space.tabs.push_back(tab);
        }
        state.spaces.push_back(space);
        QVERIFY(JSONFileStore(m_data / "state.json").save(state));
        m_tabs = savedTabs(m_data);

        m_runLoop = std::make_shared<QtRunLoop>();
        m_backend = std::make_unique<X11PlatformBackend>(*m_runLoop);
        m_events.followApplicationScreens();
        AppDependencies deps = standardDependencies(*m_backend, m_events, m_runLoop);
        deps.dataDirectory = m_data.path();
        m_app = std::make_unique<AppDelegate>(std::move(deps));
        m_app->applicationDidFinishLaunching();
    }

    void cleanupTestCase() {
        m_app.reset();
        m_backend.reset();
    }

    void theUserPutsTheSidebarOnTheLeftHalf() {
        QVERIFY(!m_app->hostDisplayID());
        QVERIFY(m_app->chooser().window() != nullptr);
        auto* left = m_app->chooser().window()->findChild<QPushButton*>(
            QStringLiteral("vorn.chooser.display.%1").arg(theSession->atom("L")));
        QVERIFY(left != nullptr);
        left->click();
        QCOMPARE(m_app->hostDisplayID(), std::optional<std::uint32_t>(theSession->atom("L")));
        QTRY_COMPARE(panelFrame(), QRect(0, 0, 160, 1080));
        QTRY_VERIFY(listed(m_xterm));
    }

    void takingTheHostAwayMovesTheSidebarToTheOtherHalf() {
        QElapsedTimer clock;
        clock.start();
        QVERIFY(theSession->run({"xrandr", "--delmonitor", "L"}));
        // It moves once the displays have been quiet for a while; a loaded machine takes longer.
        QTRY_COMPARE_WITH_TIMEOUT(panelFrame(), QRect(960, 0, 160, 1080), 10000);
        qInfo("panel moved after %lld ms", static_cast<long long>(clock.elapsed()));
        QCOMPARE(m_app->hostDisplayID(), std::optional<std::uint32_t>(theSession->atom("R")));
        QCOMPARE(savedTabs(m_data), m_tabs);
    }

    void givenBackTheSidebarCanMoveThereAgain() {
        QVERIFY(theSession->run(leftHalf));
        QTRY_COMPARE(m_app->catalog().options().size(), std::size_t{2});
        m_app->moveToDisplay(theSession->atom("L"));
        QCOMPARE(m_app->hostDisplayID(), std::optional<std::uint32_t>(theSession->atom("L")));
        QTRY_COMPARE(panelFrame(), QRect(0, 0, 160, 1080));
        QTRY_VERIFY(listed(m_xterm));
        QCOMPARE(savedTabs(m_data), m_tabs);
    }

private:
    xcb_window_t m_xterm = XCB_NONE;
    test::TempDir m_data;
    std::vector<Uuid> m_tabs;
    std::shared_ptr<QtRunLoop> m_runLoop;
    std::unique_ptr<X11PlatformBackend> m_backend;
    ScreenEvents m_events;
    std::unique_ptr<AppDelegate> m_app;
};

}  // namespace vorn::app

int main(int argc, char** argv) {
    vorn::test::XvfbSession session;
    if (!session.start()) {
        std::fprintf(stderr, "FollowingDisplaysOnXvfbTests: %s\n", session.error().c_str());
        return 1;
    }
    vorn::app::theSession = &session;
    if (!session.run(vorn::app::leftHalf) || !session.run(vorn::app::rightHalf)) {
        std::fprintf(stderr, "FollowingDisplaysOnXvfbTests: xrandr failed\n");
        return 1;
    }
    qputenv("DISPLAY", QByteArray::fromStdString(session.display()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vorn::app::FollowingDisplaysOnXvfbTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "FollowingDisplaysOnXvfbTests.moc"
