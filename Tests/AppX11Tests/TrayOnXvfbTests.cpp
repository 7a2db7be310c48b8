// The status item against trays on a private Xvfb desktop with openbox: one that appears after
// the program started, one that goes away and comes back, and one that names its colours.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QSystemTrayIcon>
#include <QtTest>
#include <xcb/xcb.h>

#include "MenuBarController.h"
#include "XvfbSession.h"

#include <unistd.h>

namespace vorn::app {
namespace {

test::XvfbSession* theSession = nullptr;

std::optional<pid_t> startTrayer() {
    return theSession->spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype",
                              "request", "--height", "24", "--SetDockType", "true"});
}

// Whether a window of this process is shown inside another client's window: the status item
// docked in a tray. Nothing else of this process has a window here.
bool docked() {
    const auto found = theSession->run(
        {"xdotool", "search", "--onlyvisible", "--pid", std::to_string(::getpid())});
    std::istringstream lines(found.value_or(""));
    for (unsigned long window = 0; lines >> window;) {
        xcb_connection_t* c = theSession->connection();
        auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
        const bool nested = tree != nullptr && tree->parent != theSession->root();
        std::free(tree);
        if (nested) {
            return true;
        }
    }
    return false;
}

// A tray of this test's own: it owns the tray selection and says its colours, but docks
// nothing. Gone when destroyed.
xcb_window_t announceTray(const QColor& normal) {
    xcb_connection_t* c = theSession->connection();
    const xcb_window_t tray = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, tray, theSession->root(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    std::vector<std::uint32_t> colours(12, 0);
    colours[0] = static_cast<std::uint32_t>(normal.red()) * 257;
    colours[1] = static_cast<std::uint32_t>(normal.green()) * 257;
    colours[2] = static_cast<std::uint32_t>(normal.blue()) * 257;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, tray, theSession->atom("_NET_SYSTEM_TRAY_COLORS"),
                        XCB_ATOM_CARDINAL, 32, 12, colours.data());
    const xcb_atom_t selection = theSession->atom("_NET_SYSTEM_TRAY_S0");
    xcb_set_selection_owner(c, tray, selection, XCB_CURRENT_TIME);
    xcb_client_message_event_t manager{};
    manager.response_type = XCB_CLIENT_MESSAGE;
    manager.format = 32;
    manager.window = theSession->root();
    manager.type = theSession->atom("MANAGER");
    manager.data.data32[0] = XCB_CURRENT_TIME;
    manager.data.data32[1] = selection;
    manager.data.data32[2] = tray;
    xcb_send_event(c, 0, theSession->root(), XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&manager));
    theSession->sync();
    return tray;
}

}  // namespace

class TrayOnXvfbTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable()); }

    // A panel started after the program: the icon goes into the tray, and the application is
    // told when it comes and when it goes.
    void theIconFollowsTraysThatComeAndGo() {
        MenuBarController controller;
        std::vector<bool> told;
        controller.onTrayAvailabilityChanged = [&](bool available) { told.push_back(available); };
        QVERIFY(!controller.isTrayAvailable());
        QVERIFY(!docked());

        const auto tray = startTrayer();
        QVERIFY(tray.has_value());
        QTRY_VERIFY(controller.isTrayAvailable());
        QTRY_VERIFY(docked());

        theSession->stop(*tray);
        QTRY_VERIFY(!controller.isTrayAvailable());
        QTRY_VERIFY(!docked());
        QCOMPARE(told, (std::vector<bool>{true, false}));
    }

    // Where the tray names the colour of its icons, the glyph is drawn in it.
    void aTrayThatNamesItsColoursGetsTheIconInThem() {
        MenuBarController controller;
        const QColor named(250, 200, 40);
        const xcb_window_t tray = announceTray(named);
        QTRY_VERIFY(controller.isTrayAvailable());
        const QImage icon = controller.statusItem()->icon().pixmap(22, 22).toImage();
        int inked = 0;
        for (int y = 0; y < icon.height(); ++y) {
            for (int x = 0; x < icon.width(); ++x) {
                if (icon.pixelColor(x, y).alpha() == 255) {
                    QCOMPARE(icon.pixelColor(x, y), named);
                    ++inked;
                }
            }
        }
        QVERIFY(inked > 0);
        xcb_destroy_window(theSession->connection(), tray);
        theSession->sync();
        QTRY_VERIFY(!controller.isTrayAvailable());
    }
};

}  // namespace vorn::app

int main(int argc, char** argv) {
    vorn::test::XvfbSession session;
    if (!session.start()) {
        std::fprintf(stderr, "TrayOnXvfbTests: %s\n", session.error().c_str());
        return 1;
    }
    vorn::app::theSession = &session;
    qputenv("DISPLAY", QByteArray::fromStdString(session.display()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vorn::app::TrayOnXvfbTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "TrayOnXvfbTests.moc"
