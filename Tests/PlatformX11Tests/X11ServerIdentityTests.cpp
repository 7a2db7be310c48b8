#include <fstream>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "AXPrivate.h"
#include "CapturingLogSink.h"
#include "DisplayUtil.h"
#include "MacWindowManager.h"
#include "PollRunLoop.h"
#include "ServerIdentity.h"
#include "SidebarModel.h"
#include "Store.h"
#include "TempDir.h"
#include "X11Backend.h"
#include "XvfbSession.h"

namespace vorn {
namespace {

using platform::x11::parseProcessStart;
using platform::x11::ServerFacts;

TEST(ServerIdentityTest, ProcessStartIsTheTwentySecondField) {
    const std::string tail =
        " S 1 100 100 0 -1 4194560 5000 0 0 0 12 3 0 0 20 0 1 0 86204 1000000 2000 "
        "18446744073709551615 1 1 0 0 0 0 0 4096 0 0 0 17 3 0 0 0 0 0";
    struct Case {
        const char* name;
        std::string stat;
        std::optional<std::uint64_t> start;
    };
    const Case cases[] = {
        {"plain name", "22854 (Xvfb)" + tail, 86204},
        {"name with spaces and parentheses", "22854 (X (a) b) c)" + tail, 86204},
        {"cut short", "22854 (Xvfb) S 1 100 100 0 -1", std::nullopt},
        {"not a number",
         "22854 (Xvfb) S 1 100 100 0 -1 4194560 5000 0 0 0 12 3 0 0 20 0 1 0 "
         "86x04 1000000",
         std::nullopt},
        {"no name", "22854 Xvfb S", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseProcessStart(c.stat), c.start) << c.name;
    }
}

TEST(ServerIdentityTest, ALocalServerIsNamedByItsProcessElseByDisplayAndSession) {
    ServerFacts local{"b00t", 812, 4000, ":0", ""};
    ServerFacts restarted = local;
    restarted.serverStart = 4100;
    ServerFacts rebooted = local;
    rebooted.bootID = "n3xt";
    ServerFacts remote{"b00t", std::nullopt, std::nullopt, "host:10.0", "c2"};
    ServerFacts relogged = remote;
    relogged.loginSession = "c3";

    const std::string identity = sessionIdentity(local);
    EXPECT_EQ(identity, sessionIdentity(local));
    for (const ServerFacts& other : {restarted, rebooted, remote}) {
        EXPECT_NE(sessionIdentity(other), identity);
    }
    EXPECT_NE(sessionIdentity(relogged), sessionIdentity(remote));
    // A server whose process is known but not its start is taken as remote.
    ServerFacts unreadable = local;
    unreadable.serverStart.reset();
    unreadable.loginSession = "c2";
    unreadable.displayName = "host:10.0";
    EXPECT_EQ(sessionIdentity(unreadable), sessionIdentity(remote));
}

std::optional<std::string> identityOn(const std::string& display) {
    platform::PollRunLoop runLoop;
    platform::x11::X11Options options;
    options.display = display;
    platform::x11::X11Backend backend(runLoop, options);
    return backend.services().windowServer.sessionIdentity();
}

std::optional<std::uint64_t> startOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    return parseProcessStart(stat);
}

TEST(ServerIdentityTest, EveryClientOfOneServerAgreesAndTheNextServerDiffers) {
    test::XvfbSession::Options options;
    options.windowManager = false;
    options.displayNumber = test::XvfbSession::unclaimedDisplayNumber();
    std::optional<std::string> first;
    {
        test::XvfbSession session;
        ASSERT_TRUE(session.start(options)) << session.error();
        first = identityOn(session.display());
        ASSERT_TRUE(first);
        EXPECT_EQ(identityOn(session.display()), first);
        const std::string process = "server=" + std::to_string(session.serverPID()) + "@"
                                    + std::to_string(startOf(session.serverPID()).value_or(0));
        EXPECT_NE(first->find(process), std::string::npos) << *first;
    }
    test::XvfbSession next;
    ASSERT_TRUE(next.start(options)) << next.error();
    ASSERT_EQ(next.displayNumber(), options.displayNumber);
    const auto second = identityOn(next.display());
    ASSERT_TRUE(second);
    EXPECT_NE(*second, *first);
}

// One run of the sidebar's model on a server: the window layer over a backend of its own and
// the state file in `data`.
class ModelRun {
public:
    ModelRun(const test::XvfbSession& session, const test::TempDir& data) {
        platform::x11::X11Options options;
        options.display = session.display();
        options.applicationDirs = {data / "applications"};
        m_backend = std::make_unique<platform::x11::X11Backend>(m_runLoop, options);
        m_services.emplace(m_backend->services());
        m_privateCalls.emplace(m_services->loader);
        m_context.emplace(WindowLayerContext{*m_services, *m_privateCalls});
        const auto displays = DisplayUtil::activeDisplayIDs(m_services->windowServer);
        std::shared_ptr<MainExecutor> executor(std::shared_ptr<void>(), &m_runLoop);
        model = SidebarModel::make(
            MacWindowManager::create(*m_context, displays.empty() ? 0 : displays.front()),
            std::make_shared<JSONFileStore>(data / "state.json"), nullptr, nullptr, executor);
    }
    ~ModelRun() { model.reset(); }

    std::optional<WindowID> binding() const { return model->pinnedTabs().front().boundWindowID; }

    std::shared_ptr<SidebarModel> model;

private:
    platform::PollRunLoop m_runLoop;
    std::unique_ptr<platform::x11::X11Backend> m_backend;
    std::optional<platform::Services> m_services;
    std::optional<AXPrivate> m_privateCalls;
    std::optional<WindowLayerContext> m_context;
};

TEST(ServerIdentityTest, BindingsSavedUnderAnotherServerAreDroppedNotGivenToItsWindows) {
    test::TempDir data;
    std::filesystem::create_directories(data / "applications");
    SpaceTab tab;
    tab.id = Uuid::random();
    tab.app = {"VornProbe", "VornProbe"};
    tab.lastTitle = "Report";
    AppState state;
    state.spaces.push_back(Space{Uuid::random(), "Home", 0, {tab}, false});
    ASSERT_TRUE(JSONFileStore(data / "state.json").save(state));

    test::XvfbSession::Options options;
    options.displayNumber = test::XvfbSession::unclaimedDisplayNumber();
    std::optional<WindowID> firstWindow;
    {
        test::XvfbSession session;
        ASSERT_TRUE(session.start(options)) << session.error();
        const auto report =
            session.openTestWindow({"--title", "Report", "--class", "probe,VornProbe"});
        ASSERT_TRUE(report);
        firstWindow = WindowID(report->windows.front());
        ModelRun run(session, data);
        EXPECT_EQ(run.binding(), firstWindow);
        // Restarting the program on the same server keeps the binding.
        ModelRun again(session, data);
        EXPECT_EQ(again.binding(), firstWindow);
    }
    ASSERT_TRUE(
        JSONFileStore(data / "state.json").load().spaces.front().tabs.front().boundWindowID);

    // The next server on the same display number hands the same number to another window.
    test::XvfbSession next;
    ASSERT_TRUE(next.start(options)) << next.error();
    const auto other = next.openTestWindow({"--title", "Other", "--class", "probe,VornProbe"});
    ASSERT_TRUE(other);
    EXPECT_EQ(WindowID(other->windows.front()), firstWindow) << "the hazard did not arise";
    test::CapturingLogSink logs;
    ModelRun run(next, data);
    EXPECT_EQ(logs.count("model", "init spaces=1 "), 1U);
    const auto lines = logs.messages("model");
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("tokenMatch=false droppedHints=1") != std::string::npos;
    }));
    EXPECT_EQ(run.binding(), std::nullopt);
    EXPECT_EQ(JSONFileStore(data / "state.json").load().spaces.front().tabs.front().boundWindowID,
              std::nullopt);
}

// Until the wall clock has passed the moment by a fifth of a second: the checks compare process
// starts, known to a clock tick, with a file's time.
void letTimePass(Date since) {
    while (Date::now().secondsSince(since) < 0.2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Within one run of the server, window numbers come back: a client that ends frees its slot and
// the next client to connect makes the same numbers. A client that started after the state was
// saved never held the saved window; two windows of one title, whose processes ran then, keep
// the bindings that nothing else could give back.
TEST(ServerIdentityTest, AWindowNumberHandedToALaterClientIsNotTakenForTheSavedWindow) {
    test::TempDir data;
    std::filesystem::create_directories(data / "applications");
    test::XvfbSession session;
    ASSERT_TRUE(session.start()) << session.error();
    const auto open = [&](const std::string& title) {
        return session.openTestWindow({"--title", title, "--class", "probe,VornProbe"});
    };
    const auto pinned = open("Pinned");
    const auto first = open("Same");
    const auto second = open("Same");
    ASSERT_TRUE(pinned && first && second);
    letTimePass(Date::now());
    {
        ModelRun run(session, data);
        const std::vector<WindowInfo> ambient = run.model->ambient();
        ASSERT_EQ(ambient.size(), 3u);
        for (const WindowInfo& window : ambient) {
            run.model->pin(window);
        }
    }
    const auto saved = JSONFileStore(data / "state.json").savedAt();
    ASSERT_TRUE(saved);
    letTimePass(*saved);

    const xcb_window_t reused = pinned->windows.front();
    session.stop(pinned->pid);
    ASSERT_TRUE(session.waitFor([&] {
        const auto clients = session.clients();
        return std::find(clients.begin(), clients.end(), reused) == clients.end();
    }));
    bool arose = false;
    for (int i = 0; i < 10 && !arose; ++i) {
        const auto stranger = open("Stranger");
        ASSERT_TRUE(stranger);
        arose = stranger->windows.front() == reused;
    }
    ASSERT_TRUE(arose) << "no later client got the freed window number";

    ModelRun run(session, data);
    std::optional<WindowID> pinnedBinding = WindowID(reused);
    std::set<std::optional<WindowID>> same;
    for (const SpaceTab& tab : run.model->pinnedTabs()) {
        if (tab.lastTitle == "Pinned") {
            pinnedBinding = tab.boundWindowID;
        } else {
            EXPECT_EQ(tab.lastTitle, "Same");
            same.insert(tab.boundWindowID);
        }
    }
    EXPECT_EQ(run.model->pinnedTabs().size(), 3u);
    EXPECT_EQ(pinnedBinding, std::nullopt);
    EXPECT_EQ(same, (std::set<std::optional<WindowID>>{WindowID(first->windows.front()),
                                                       WindowID(second->windows.front())}));
    const auto ambient = run.model->ambient();
    EXPECT_TRUE(std::any_of(ambient.begin(), ambient.end(), [&](const WindowInfo& window) {
        return window.windowID == WindowID(reused) && window.title == "Stranger";
    }));
    const AppState stored = JSONFileStore(data / "state.json").load();
    for (const SpaceTab& tab : stored.spaces.front().tabs) {
        EXPECT_NE(tab.lastTitle, "Stranger");
        EXPECT_NE(tab.boundWindowID, WindowID(reused));
    }
}

}  // namespace
}  // namespace vorn
