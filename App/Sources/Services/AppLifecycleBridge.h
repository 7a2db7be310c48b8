#pragma once

namespace vorn {

// Carries the application's life to the analytics client. The application calls these on its
// main thread.
class AppLifecycleBridge {
public:
    AppLifecycleBridge() = delete;

    // The application is about to quit (also after SIGTERM, SIGINT or SIGHUP, see
    // QuitSignals). Returns once the client has written its unsent records and its session
    // statistics.
    static void willTerminate();
    // The application became active.
    static void didBecomeActive();
    // The application is about to stop being active.
    static void willResignActive();
};

}  // namespace vorn
