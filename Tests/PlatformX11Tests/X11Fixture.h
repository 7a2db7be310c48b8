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

namespace vorn::test {

// A private X server with openbox, the backend on it, and the window layer's context over the
// backend. Each test gets its own server: ctest runs every test in a process of its own.
class X11Fixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.start(options())) << session.error();
        applications = session.directory() / "applications";
        std::filesystem::create_directories(applications);
        platform::x11::X11Options backendOptions;
        backendOptions.display = session.display();
        backendOptions.applicationDirs = {applications};
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

    XvfbSession session;
    std::filesystem::path applications;
    platform::PollRunLoop runLoop;
    std::unique_ptr<platform::x11::X11Backend> backend;
    std::optional<platform::Services> services;
    std::optional<AXPrivate> privateCalls;
    std::optional<WindowLayerContext> context;
};

}  // namespace vorn::test
