#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AXPrivate.h"
#include "PollRunLoop.h"
#include "WindowLayerContext.h"
#include "X11Backend.h"
#include "XvfbSession.h"

#include <unistd.h>

namespace vorn::test {

// "0x800000", as the X tools print window ids.
inline std::string hexID(std::uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", id);
    return text;
}

// A private X server with openbox, the backend on it, and the window layer's context over the
// backend. Each test gets its own server: ctest runs every test in a process of its own.
class X11Fixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.start(options())) << session.error();
        applications = session.directory() / "applications";
        recentlyUsed = session.directory() / "recently-used.xbel";
        std::filesystem::create_directories(applications);
        platform::x11::X11Options backendOptions;
        backendOptions.display = session.display();
        backendOptions.applicationDirs = {applications};
        backendOptions.recentlyUsedFile = recentlyUsed;
        backend = std::make_unique<platform::x11::X11Backend>(runLoop, backendOptions);
        ASSERT_TRUE(backend->isConnected());
        services.emplace(backend->services());
        privateCalls.emplace(services->loader);
        context.emplace(WindowLayerContext{*services, *privateCalls});
    }

    virtual XvfbSession::Options options() const { return {}; }

    // Runs the main loop until the condition holds or a few seconds pass; for what the window
    // manager or the backend's event handling does in its own time.
    bool runUntil(const std::function<bool()>& condition,
                  std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto deadline = runLoop.now() + limit;
        while (!condition()) {
            if (runLoop.now() >= deadline) {
                return false;
            }
            session.sync();
            runLoop.runUntil(std::min(deadline, runLoop.now() + std::chrono::milliseconds(20)));
        }
        return true;
    }

public:
    // A round trip on the backend's own connection: the server has handled all it sent, and
    // the backend has read every event sent before.
    void syncBackend() { (void)backend->roundTrip(); }

protected:
    // A window of the test process itself, managed like any other.
    xcb_window_t openOwnWindow() {
        xcb_connection_t* c = session.connection();
        const xcb_window_t window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, session.root(), 0, 0, 200, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        session.setCardinals(window, "_NET_WM_PID", XCB_ATOM_CARDINAL,
                             {static_cast<std::uint32_t>(::getpid())});
        xcb_map_window(c, window);
        EXPECT_TRUE(session.waitFor([&] {
            const auto clients = session.clients();
            return std::find(clients.begin(), clients.end(), window) != clients.end();
        }));
        return window;
    }

    XvfbSession session;
    std::filesystem::path applications;
    // The backend's recently-used list; there is none until a test writes it.
    std::filesystem::path recentlyUsed;
    platform::PollRunLoop runLoop;
    std::unique_ptr<platform::x11::X11Backend> backend;
    std::optional<platform::Services> services;
    std::optional<AXPrivate> privateCalls;
    std::optional<WindowLayerContext> context;
};

}  // namespace vorn::test
