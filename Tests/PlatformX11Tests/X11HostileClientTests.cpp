// What other X clients say is checked before it is used: a window manager that goes away and
// comes back, lists flooded with ids that name nothing, titles in COMPOUND_TEXT, and remote
// clients that claim a process.

#include <csignal>

#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "ClientCache.h"
#include "ClientList.h"
#include "WindowEnumerator.h"
#include "X11ModelFixture.h"

#include <unistd.h>

namespace vorn {
namespace {

using platform::x11::ClientCache;

class X11HostileClientTest : public test::X11ModelFixture {
protected:
    // "title@window" for each pinned tab, in order.
    std::vector<std::string> pinned() const {
        std::vector<std::string> out;
        for (const SpaceTab& tab : model->pinnedTabs()) {
            out.push_back(tab.lastTitle + "@"
                          + (tab.boundWindowID ? std::to_string(tab.boundWindowID->raw) : "-"));
        }
        return out;
    }

    std::optional<WindowInfo> listed(xcb_window_t window) {
        const auto windows = manager->listWindows();
        if (!windows) {
            return std::nullopt;
        }
        for (const WindowInfo& info : *windows) {
            if (info.windowID.raw == window) {
                return info;
            }
        }
        return std::nullopt;
    }

    // Writes both of the root's client lists, bottom to top, as any client may.
    void writeLists(const std::vector<std::uint32_t>& ids) {
        for (const char* name : {"_NET_CLIENT_LIST", "_NET_CLIENT_LIST_STACKING"}) {
            xcb_change_property(session.connection(), XCB_PROP_MODE_REPLACE, session.root(),
                                session.atom(name), XCB_ATOM_WINDOW, 32,
                                static_cast<std::uint32_t>(ids.size()), ids.data());
        }
        session.sync();
    }
};

TEST_F(X11HostileClientTest, AWindowManagerRestartKeepsSavedTitlesAndBindings) {
    auto program = session.openTestWindow({"--title", "Report", "--count", "2"}, 2);
    ASSERT_TRUE(program);
    startModel();
    // A copy: pinning refreshes the model, which replaces its ambient list.
    const std::vector<WindowInfo> ambient = model->ambient();
    for (const WindowInfo& window : ambient) {
        model->pin(window);
    }
    settle();
    const std::vector<std::string> before = pinned();
    ASSERT_EQ(before.size(), 2u);
    ASSERT_TRUE(before[0].starts_with("Report "));

    // A clean exit empties the client list and leaves the stacking list; a crash leaves both.
    for (const int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        test::CapturingLogSink log;
        session.stopWindowManager(signal);
        settle();
        for (int i = 0; i < 3; ++i) {
            model->refresh();
        }
        EXPECT_FALSE(manager->listWindows());
        EXPECT_EQ(pinned(), before);
        EXPECT_FALSE(privateCalls->skyLightFocusWindow(program->pid, program->windows[0]));
        EXPECT_EQ(log.count("windowmanager", "x11: not fronted: no window manager runs"), 1u);
        EXPECT_EQ(log.count("windowmanager", "x11: no window manager running"), 1u);

        ASSERT_TRUE(session.restartWindowManager()) << session.error();
        ASSERT_TRUE(session.syncWindowManager());
        ASSERT_TRUE(runUntil([&] {
            settle();
            model->refresh();
            return manager->listWindows().value_or(std::vector<WindowInfo>{}).size() == 2;
        }));
        for (int i = 0; i < 3; ++i) {
            model->refresh();
        }
        EXPECT_EQ(pinned(), before);
    }
    ASSERT_FALSE(store->saves.empty());
    const auto& saved = store->saves.back().spaces.front().tabs;
    ASSERT_EQ(saved.size(), 2u);
    for (const SpaceTab& tab : saved) {
        EXPECT_TRUE(tab.lastTitle.starts_with("Report ")) << tab.lastTitle;
        EXPECT_TRUE(tab.boundWindowID);
    }
}

// Four windows of one title can only be told apart by their bindings: one lost is lost for good.
// A window manager lists the windows already there one by one after it starts, and lets them go
// one by one as it quits; a stand-in plays those steps exactly, then openbox itself restarts.
TEST_F(X11HostileClientTest, AWindowManagerTakingOverOrLettingGoOfWindowsUnbindsNothing) {
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(session.openTestWindow({"--title", "Same"}));
    }
    startModel();
    const std::vector<WindowInfo> ambient = model->ambient();
    ASSERT_EQ(ambient.size(), 4u);
    for (const WindowInfo& window : ambient) {
        model->pin(window);
    }
    settle();
    const std::vector<std::string> before = pinned();
    std::vector<std::uint32_t> windows;
    for (const WindowInfo& window : ambient) {
        windows.push_back(window.windowID.raw);
    }
    const auto unchanged = [&](const char* step) {
        SCOPED_TRACE(step);
        settle();
        for (int i = 0; i < 3; ++i) {
            model->refresh();
        }
        EXPECT_EQ(pinned(), before);
    };
    xcb_connection_t* c = session.connection();
    const xcb_atom_t check = session.atom("_NET_SUPPORTING_WM_CHECK");

    for (const int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        session.stopWindowManager(signal);
        unchanged("stopped");

        const xcb_window_t stand = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, stand, session.root(), -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        for (const xcb_window_t on : {stand, session.root()}) {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, on, check, XCB_ATOM_WINDOW, 32, 1,
                                &stand);
        }
        writeLists({});
        unchanged("started, nothing listed");
        EXPECT_FALSE(manager->listWindows());
        writeLists({windows[0], windows[1]});
        unchanged("two taken over");
        EXPECT_FALSE(manager->listWindows());
        writeLists(windows);
        unchanged("all taken over");
        EXPECT_EQ(manager->listWindows().value_or(std::vector<WindowInfo>{}).size(), 4u);
        writeLists({windows[2], windows[3]});
        unchanged("two let go");
        EXPECT_FALSE(manager->listWindows());
        xcb_destroy_window(c, stand);
        session.sync();

        ASSERT_TRUE(session.restartWindowManager()) << session.error();
        ASSERT_TRUE(session.syncWindowManager());
        ASSERT_TRUE(runUntil([&] {
            settle();
            return manager->listWindows().value_or(std::vector<WindowInfo>{}).size() == 4;
        }));
        unchanged("restarted");
    }
    for (const AppState& saved : store->saves) {
        for (const SpaceTab& tab : saved.spaces.front().tabs) {
            EXPECT_TRUE(tab.boundWindowID) << "a save unbound " << tab.lastTitle;
        }
    }
}

TEST_F(X11HostileClientTest, SixtyThousandFakeIdsCostABoundedListingAndUnbindNothing) {
    auto program = session.openTestWindow({"--title", "Real", "--count", "3"}, 3);
    ASSERT_TRUE(program);
    startModel();
    model->pin(model->ambient().front());
    settle();
    const std::vector<std::string> before = pinned();
    std::vector<std::uint32_t> real = session.clients();
    ASSERT_EQ(real.size(), 3u);

    // Ids of a client slot no client has, stacked in front of the real windows.
    std::vector<std::uint32_t> flooded = real;
    for (std::uint32_t i = 0; i < 60000; ++i) {
        flooded.push_back(0x7F000000u + i);
    }
    test::CapturingLogSink log;
    writeLists(flooded);
    std::uint32_t start = backend->probeSequence();
    settle();
    EXPECT_FALSE(manager->listWindows());
    EXPECT_LE(backend->probeSequence() - start, ClientCache::maxCheckedIds + 200);
    for (int i = 0; i < 3; ++i) {
        model->refresh();
    }
    EXPECT_EQ(pinned(), before);
    EXPECT_EQ(log.count("windowmanager", "x11: the window lists name too many ids to check"), 1u);

    // Fewer, behind the real windows: these are checked once, in one round trip, and ignored.
    std::vector<std::uint32_t> some(flooded.begin() + 3, flooded.begin() + 1003);
    some.insert(some.end(), real.begin(), real.end());
    writeLists(some);
    start = backend->probeSequence();
    settle();
    auto windows = manager->listWindows();
    ASSERT_TRUE(windows);
    EXPECT_EQ(windows->size(), 3u);
    EXPECT_LE(backend->probeSequence() - start, 1000u + 200u);
    // Restacked: the ids that named nothing are not asked about again.
    std::reverse(some.begin() + 1000, some.end());
    xcb_change_property(session.connection(), XCB_PROP_MODE_REPLACE, session.root(),
                        session.atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW, 32,
                        static_cast<std::uint32_t>(some.size()), some.data());
    session.sync();
    start = backend->probeSequence();
    settle();
    EXPECT_EQ(manager->listWindows().value_or(std::vector<WindowInfo>{}).size(), 3u);
    EXPECT_LE(backend->probeSequence() - start, 100u);

    // The window manager writes its lists again when anything changes.
    auto another = session.openTestWindow({"--title", "Later"});
    ASSERT_TRUE(another);
    ASSERT_TRUE(runUntil([&] {
        settle();
        return manager->listWindows().value_or(std::vector<WindowInfo>{}).size() == 4;
    }));
    model->refresh();
    EXPECT_EQ(pinned(), before);
}

TEST_F(X11HostileClientTest, CompoundTextTitlesAreDecoded) {
    auto program = session.openTestWindow({"--wm-name-only", "--title", "plain"});
    ASSERT_TRUE(program);
    manager = MacWindowManager::create(*context, std::nullopt);
    const xcb_window_t window = program->windows[0];
    ASSERT_EQ(listed(window).value_or(WindowInfo{}).title, "plain");

    // "Привет" in ISO 8859-5 and "日本" in EUC form, as Xlib writes them.
    const std::string bytes = "CT5 \x1B-L\xBF\xE0\xD8\xD2\xD5\xE2 \x1B$)B\xC6\xFC\xCB\xDC";
    xcb_change_property(session.connection(), XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME,
                        session.atom("COMPOUND_TEXT"), 8, static_cast<std::uint32_t>(bytes.size()),
                        bytes.data());
    session.sync();
    syncBackend();
    EXPECT_EQ(listed(window).value_or(WindowInfo{}).title, "CT5 Привет 日本");
}

class X11RemoteClientTest : public X11HostileClientTest {
protected:
    test::XvfbSession::Options options() const override {
        test::XvfbSession::Options o;
        o.listenTcp = true;
        return o;
    }

    // A test window connected over TCP, as a remote client is; waited for by the client list,
    // since its _NET_WM_PID may name any process.
    std::optional<xcb_window_t> openRemote(std::vector<std::string> arguments) {
        const auto before = session.clients();
        arguments.insert(arguments.begin(), test::XvfbSession::testWindowProgram());
        if (!session.spawn(arguments, {{"DISPLAY", session.tcpDisplay()}})) {
            return std::nullopt;
        }
        std::optional<xcb_window_t> found;
        const bool appeared = session.waitFor([&] {
            for (xcb_window_t window : session.clients()) {
                if (std::find(before.begin(), before.end(), window) == before.end()) {
                    found = window;
                }
            }
            return found.has_value();
        });
        return appeared ? found : std::nullopt;
    }
};

TEST_F(X11RemoteClientTest, RemoteClientsAreListedUnderTheirClassAndNeverTakenForVorn) {
    const auto ownPID = static_cast<std::int32_t>(::getpid());
    const auto trusted = openRemote({"--title", "trusted"});
    const auto impostor = openRemote({"--title", "impostor", "--pid", std::to_string(ownPID)});
    const auto faraway = openRemote({"--title", "faraway", "--machine", "elsewhere.example"});
    const auto anonymous = openRemote({"--title", "anonymous", "--no-pid"});
    const auto local = session.openTestWindow({"--title", "local", "--no-pid"});
    ASSERT_TRUE(trusted && impostor && faraway && anonymous && local);

    auto enumerated = WindowEnumerator::currentScreenWindows(services->windowServer, ownPID);
    ASSERT_TRUE(enumerated);
    std::map<std::uint32_t, std::int32_t> owners;
    for (const EnumeratedWindow& window : *enumerated) {
        owners[window.windowID] = window.ownerPID;
    }
    ASSERT_EQ(owners.size(), 5u);
    // Over TCP the server cannot name the process; the window's word is taken from this host.
    EXPECT_FALSE(platform::x11::isStandInPID(owners.at(*trusted)));
    EXPECT_NE(owners.at(*trusted), ownPID);
    // The server names a local client's process, whatever the window says.
    EXPECT_EQ(owners.at(local->windows[0]), local->pid);
    // The others stand in for a process of their class, one for the class.
    for (const xcb_window_t window : {*impostor, *faraway, *anonymous}) {
        EXPECT_TRUE(platform::x11::isStandInPID(owners.at(window))) << window;
        EXPECT_EQ(owners.at(window), owners.at(*impostor));
    }

    manager = MacWindowManager::create(*context, std::nullopt);
    const auto windows = manager->listWindows();
    ASSERT_TRUE(windows);
    ASSERT_EQ(windows->size(), 5u);
    for (const WindowInfo& info : *windows) {
        EXPECT_EQ(info.app.bundleId, "VornTestWindow") << info.title;
    }
    // A window listed under its class is brought forward like any other.
    manager->activate(WindowID(*impostor));
    EXPECT_TRUE(session.waitFor([&] { return session.activeWindow() == *impostor; }));
}

}  // namespace
}  // namespace vorn
