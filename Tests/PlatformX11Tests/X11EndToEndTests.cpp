#include <gtest/gtest.h>

#include "DisplayUtil.h"
#include "EndToEndSession.h"
#include "TempDir.h"
#include "X11Fixture.h"

namespace vorn {
namespace {

using test::hexID;
using test::SessionApp;

// The scripted session's desktop on Xvfb: two test-window programs stand for the editor and
// the viewer, each one process that opens its windows on request, and the user's clicks go
// through the window manager as wmctrl sends them.
class X11SessionDesktop final : public test::SessionDesktop {
public:
    X11SessionDesktop(test::X11Fixture& fixture,
                      test::XvfbSession& session,
                      const WindowLayerContext& context,
                      platform::RunLoop& runLoop)
        : m_fixture(fixture)
        , m_session(session)
        , m_context(context)
        , m_runLoop(runLoop) {}

    bool start(const std::filesystem::path& applications) {
        test::writeText(applications / "org.vorn.Editor.desktop",
                        "[Desktop Entry]\nType=Application\nName=Editor\nExec=editor\n"
                        "StartupWMClass=VornEditor\n");
        test::writeText(applications / "org.vorn.Viewer.desktop",
                        "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer\n"
                        "StartupWMClass=VornViewer\n");
        m_editor = m_session.openListeningTestWindow({"--class", "editor,VornEditor"}, 0);
        m_viewer = m_session.openListeningTestWindow({"--class", "viewer,VornViewer"}, 0);
        return m_editor && m_viewer;
    }

    const WindowLayerContext& context() override { return m_context; }
    std::optional<std::uint32_t> displayID() override {
        const auto displays = DisplayUtil::activeDisplayIDs(m_context.platform.windowServer);
        return displays.empty() ? std::nullopt : std::optional<std::uint32_t>(displays.front());
    }
    AppRef application(SessionApp which) override {
        return which == SessionApp::editor ? AppRef{"org.vorn.Editor", "Editor"}
                                           : AppRef{"org.vorn.Viewer", "Viewer"};
    }
    WindowID openWindow(SessionApp which, const std::string& title) override {
        const auto& program = which == SessionApp::editor ? *m_editor : *m_viewer;
        const auto window = m_session.openAnother(program, title);
        EXPECT_TRUE(window) << title;
        if (!window) {
            return WindowID(0);
        }
        // New windows take the focus.
        EXPECT_TRUE(m_session.waitFor([&] { return m_session.activeWindow() == *window; }));
        return WindowID(*window);
    }
    void focusWindow(WindowID window) override {
        EXPECT_TRUE(m_session.run({"wmctrl", "-i", "-a", hexID(window.raw)}));
        EXPECT_TRUE(m_session.waitFor([&] { return m_session.activeWindow() == window.raw; }));
    }
    void closeWindow(WindowID window) override {
        EXPECT_TRUE(m_session.run({"wmctrl", "-i", "-c", hexID(window.raw)}));
        EXPECT_TRUE(m_session.waitFor([&] {
            const auto clients = m_session.clients();
            return std::find(clients.begin(), clients.end(), window.raw) == clients.end();
        }));
    }
    void settle() override {
        // Until a whole pass finds nothing to do: the window manager has handled every request,
        // the backend has read every event, and the loop has run every task.
        for (int pass = 0; pass < 50; ++pass) {
            m_fixture.syncBackend();
            EXPECT_TRUE(m_session.syncWindowManager());
            m_fixture.syncBackend();
            bool ran = false;
            while (m_runLoop.runUntil(m_runLoop.now()) != platform::RunResult::timedOut) {
                ran = true;
            }
            if (!ran) {
                return;
            }
        }
        ADD_FAILURE() << "the desktop did not settle";
    }
    void passPoll() override {
        const auto deadline = m_runLoop.now() + std::chrono::milliseconds(1600);
        while (m_runLoop.now() < deadline) {
            (void)m_runLoop.runUntil(deadline);
        }
        settle();
    }

private:
    test::X11Fixture& m_fixture;
    test::XvfbSession& m_session;
    const WindowLayerContext& m_context;
    platform::RunLoop& m_runLoop;
    std::optional<test::XvfbSession::Started> m_editor;
    std::optional<test::XvfbSession::Started> m_viewer;
};

class X11EndToEndTest : public test::X11Fixture {};

TEST_F(X11EndToEndTest, TheScriptedSessionOnTheRealDesktop) {
    X11SessionDesktop desktop(*this, session, *context, runLoop);
    ASSERT_TRUE(desktop.start(applications));
    test::TempDir dir;
    test::runEndToEndSession(desktop, dir / "state.json");
}

}  // namespace
}  // namespace vorn
