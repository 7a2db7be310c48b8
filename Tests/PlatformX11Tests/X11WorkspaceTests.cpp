#include <thread>

#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "DocumentURL.h"
#include "FileURL.h"
#include "TempDir.h"
#include "X11Fixture.h"

namespace vorn {
namespace {

using platform::RunningApplication;
using platform::WorkspaceEvent;
using platform::WorkspaceNotification;
using test::hexID;
using test::X11Fixture;

class X11WorkspaceTest : public X11Fixture {
protected:
    void observeAll() {
        for (auto name : {WorkspaceNotification::didActivateApplication,
                          WorkspaceNotification::didLaunchApplication,
                          WorkspaceNotification::didTerminateApplication,
                          WorkspaceNotification::activeSpaceDidChange}) {
            subscriptions.push_back(
                services->workspace.addObserver(name, [this](const WorkspaceEvent& event) {
                    EXPECT_EQ(std::this_thread::get_id(), mainThread);
                    events.push_back(event);
                }));
        }
    }
    std::size_t count(WorkspaceNotification name, std::optional<std::int32_t> pid = {}) {
        return static_cast<std::size_t>(std::count_if(events.begin(), events.end(), [&](auto& e) {
            return e.name == name && (!pid || (e.application && e.application->pid == *pid));
        }));
    }
    // The window the last activation named; none before the first.
    std::optional<std::uint32_t> lastActivated() const {
        for (auto e = events.rbegin(); e != events.rend(); ++e) {
            if (e->name == WorkspaceNotification::didActivateApplication) {
                return e->window;
            }
        }
        return std::nullopt;
    }
    void writeEntry(const std::string& file, const std::string& body) {
        test::writeText(applications / file, "[Desktop Entry]\nType=Application\n" + body);
    }

    std::thread::id mainThread = std::this_thread::get_id();
    std::vector<WorkspaceEvent> events;
    std::vector<Subscription> subscriptions;
};

TEST_F(X11WorkspaceTest, NotifiesOfLaunchesActivationsTerminationsAndDesktopSwitches) {
    observeAll();
    auto a = session.openListeningTestWindow({"--title", "a"});
    ASSERT_TRUE(a);
    EXPECT_TRUE(
        runUntil([&] { return count(WorkspaceNotification::didLaunchApplication, a->pid) == 1; }));
    // Another window of a running process launches nothing.
    ASSERT_TRUE(session.openAnother(*a, "a2"));
    auto b = session.openTestWindow({"--title", "b", "--count", "2"}, 2);
    ASSERT_TRUE(b);
    EXPECT_TRUE(runUntil([&] {
        return count(WorkspaceNotification::didLaunchApplication, b->pid) == 1
               && count(WorkspaceNotification::didActivateApplication, b->pid) >= 1;
    }));
    const auto launched = std::find_if(events.begin(), events.end(), [&](auto& e) {
        return e.name == WorkspaceNotification::didLaunchApplication
               && e.application->pid == b->pid;
    });
    EXPECT_EQ(launched->application,
              (RunningApplication{b->pid, "VornTestWindow", "VornTestWindow"}));

    // Focus moving between two windows of one process is an activation too; every activation
    // names the window.
    // The focus passed over both new windows, in one activation or two, depending on when the
    // backend looked: count from the moment it has seen the second one active.
    ASSERT_TRUE(session.waitFor([&] { return session.activeWindow() == b->windows[1]; }));
    ASSERT_TRUE(runUntil([&] { return lastActivated() == b->windows[1]; }));
    const std::size_t ofB = count(WorkspaceNotification::didActivateApplication, b->pid);
    ASSERT_TRUE(session.run({"wmctrl", "-i", "-a", hexID(b->windows[0])}));
    EXPECT_TRUE(runUntil(
        [&] { return count(WorkspaceNotification::didActivateApplication, b->pid) == ofB + 1; }));
    EXPECT_EQ(events.back().window, b->windows[0]);
    const std::size_t ofA = count(WorkspaceNotification::didActivateApplication, a->pid);
    ASSERT_TRUE(session.run({"wmctrl", "-i", "-a", hexID(a->windows[0])}));
    EXPECT_TRUE(runUntil(
        [&] { return count(WorkspaceNotification::didActivateApplication, a->pid) == ofA + 1; }));
    EXPECT_EQ(events.back().window, a->windows[0]);
    EXPECT_EQ(count(WorkspaceNotification::didActivateApplication, b->pid), ofB + 1);

    // A process that closes one of two windows still runs; closing the last ends it.
    ASSERT_TRUE(session.run({"wmctrl", "-i", "-c", hexID(b->windows[0])}));
    ASSERT_TRUE(session.waitFor([&] { return session.clients().size() == 3; }));
    ASSERT_TRUE(session.run({"wmctrl", "-i", "-c", hexID(b->windows[1])}));
    EXPECT_TRUE(
        runUntil([&] { return count(WorkspaceNotification::didTerminateApplication) == 1; }));
    EXPECT_EQ(count(WorkspaceNotification::didTerminateApplication, b->pid), 1u);
    EXPECT_FALSE(services->workspace.runningApplication(b->pid));

    ASSERT_TRUE(session.run({"wmctrl", "-s", "1"}));
    EXPECT_TRUE(runUntil([&] { return count(WorkspaceNotification::activeSpaceDidChange) == 1; }));
    ASSERT_TRUE(session.run({"wmctrl", "-s", "0"}));
    EXPECT_TRUE(runUntil([&] { return count(WorkspaceNotification::activeSpaceDidChange) == 2; }));

    EXPECT_EQ(count(WorkspaceNotification::didLaunchApplication), 2u);
    EXPECT_EQ(count(WorkspaceNotification::didTerminateApplication), 1u);
}

TEST_F(X11WorkspaceTest, ChangesReadWhileWaitingForAReplyAreNotStranded) {
    observeAll();
    ASSERT_TRUE(session.run({"wmctrl", "-s", "1"}));
    ASSERT_TRUE(session.waitFor([&] { return session.currentDesktop() == 1u; }));
    // The reply comes after the change's event; both are read from the socket together, so
    // the descriptor shows nothing more for the event waiting in the connection's queue.
    (void)services->screens.mouseLocation();
    const auto deadline = runLoop.now() + std::chrono::seconds(3);
    while (count(WorkspaceNotification::activeSpaceDidChange) == 0 && runLoop.now() < deadline) {
        runLoop.runUntil(deadline);
    }
    EXPECT_EQ(count(WorkspaceNotification::activeSpaceDidChange), 1u);
}

TEST_F(X11WorkspaceTest, RemovedObserversHearNothingMore) {
    int heard = 0;
    auto token = services->workspace.addObserver(WorkspaceNotification::didLaunchApplication,
                                                 [&](const WorkspaceEvent&) { ++heard; });
    auto a = session.openTestWindow({"--title", "a"});
    ASSERT_TRUE(a);
    EXPECT_TRUE(runUntil([&] { return heard == 1; }));
    token.reset();
    observeAll();
    auto b = session.openTestWindow({"--title", "b"});
    ASSERT_TRUE(b);
    EXPECT_TRUE(runUntil([&] { return count(WorkspaceNotification::didLaunchApplication) == 1; }));
    EXPECT_EQ(heard, 1);

    // A subscription may outlive the backend it came from.
    token = services->workspace.addObserver(WorkspaceNotification::didLaunchApplication,
                                            [&](const WorkspaceEvent&) { ++heard; });
    context.reset();
    privateCalls.reset();
    services.reset();
    backend.reset();
    token.reset();
    EXPECT_FALSE(token.active());
}

TEST_F(X11WorkspaceTest, NamesApplicationsAfterTheirDesktopEntries) {
    writeEntry("org.vorn.Editor.desktop", "Name=Vorn Editor\nExec=editor\n");
    writeEntry("viewer.desktop",
               "Name=Viewer\nName[de]=Betrachter\nExec=viewer\nStartupWMClass=ViewerWin\n");
    auto gtk =
        session.openTestWindow({"--gtk-app-id", "org.vorn.Editor", "--class", "editor,Editor"});
    auto byClass = session.openTestWindow({"--class", "viewer,ViewerWin"});
    auto plain = session.openTestWindow({"--class", "tool,Tool"});
    ASSERT_TRUE(gtk && byClass && plain);

    auto& workspace = services->workspace;
    EXPECT_EQ(workspace.runningApplication(gtk->pid),
              (RunningApplication{gtk->pid, "org.vorn.Editor", "Vorn Editor"}));
    EXPECT_EQ(workspace.runningApplication(byClass->pid),
              (RunningApplication{byClass->pid, "viewer", "Viewer"}));
    EXPECT_EQ(workspace.runningApplication(plain->pid),
              (RunningApplication{plain->pid, "Tool", "Tool"}));
    EXPECT_EQ(workspace.runningApplications("viewer").size(), 1u);
    EXPECT_TRUE(workspace.runningApplications("Viewer").empty());
    EXPECT_EQ(workspace.urlForApplication("org.vorn.Editor"),
              FileURL::fromPath((applications / "org.vorn.Editor.desktop").string()));
    EXPECT_EQ(workspace.urlForApplication("Tool"), std::nullopt);
    EXPECT_EQ(workspace.urlForApplication("../applications/viewer"), std::nullopt);
}

TEST_F(X11WorkspaceTest, LaunchesAndOpensDocumentsThroughADesktopEntry) {
    const std::string program = test::XvfbSession::testWindowProgram();
    writeEntry("org.vorn.Notes.desktop",
               "Name=Notes\nExec=\"" + program + "\" --title Notes --class notes,Notes %F\n"
               "StartupWMClass=Notes\n");
    auto& workspace = services->workspace;
    const auto url = workspace.urlForApplication("org.vorn.Notes");
    ASSERT_TRUE(url);

    workspace.openApplication(*url, {.activates = true});
    ASSERT_TRUE(session.waitFor([&] { return session.clients().size() == 1; }));
    const xcb_window_t launched = session.clients().front();
    auto pid = session.windowPID(launched);
    ASSERT_TRUE(pid);
    EXPECT_EQ(workspace.runningApplication(static_cast<std::int32_t>(*pid))->bundleIdentifier,
              "org.vorn.Notes");

    test::TempDir documents;
    const auto document = documents / "my notes #1.txt";
    test::writeText(document, "x");
    workspace.openURLs({FileURL::fromPath(document.string())}, *url, {.activates = true});
    const std::string expectedTitle = "Notes " + document.string();
    EXPECT_TRUE(session.waitFor([&] {
        for (xcb_window_t w : session.clients()) {
            auto title = session.run({"xdotool", "getwindowname", std::to_string(w)});
            if (title && *title == expectedTitle + "\n") {
                return true;
            }
        }
        return false;
    }));

    test::CapturingLogSink logs;
    workspace.openURLs({"file://fileserver.example/share/notes.txt", "notes.txt"}, *url, {});
    workspace.openApplication(FileURL::fromPath((documents / "x.desktop").string()), {});
    EXPECT_EQ(logs.count("windowmanager",
                         "x11: document refused: not a local file url=file://fileserver.example"),
              1u);
    EXPECT_EQ(logs.count("windowmanager", "x11: document refused: not a local file url=notes.txt"),
              1u);
    EXPECT_EQ(logs.count("windowmanager", "x11: application refused: no such desktop entry"), 1u);
    syncBackend();
    session.sync();
    EXPECT_EQ(session.clients().size(), 2u);
}

}  // namespace
}  // namespace vorn
