#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Services.h"

namespace vorn::platform::x11 {

class X11Desktop;
class X11Parts;

struct X11Options {
    // The X display, ":0" for example; empty means $DISPLAY.
    std::string display;
    // Where desktop entries are listed, in order of precedence; empty means the XDG data
    // directories.
    std::vector<std::filesystem::path> applicationDirs;
    // The recently-used list that tells which file a window shows; empty means
    // $XDG_DATA_HOME/recently-used.xbel.
    std::filesystem::path recentlyUsedFile;
    // Another D-Bus bus and logind session object than this process's own, for tests.
    std::string logindBusAddress;
    std::string logindSessionPath;
};

// The platform interfaces over an X11 server with an EWMH window manager. It opens its own
// connection to the server and watches that connection's descriptor on the main run loop given
// here: workspace notifications are delivered from there, on the main thread, and the backend
// starts no threads. Without a display everything answers "nothing": no window list (not an
// empty one), no displays, no applications. Main thread only; the run loop must outlive it.
class X11Backend {
public:
    explicit X11Backend(RunLoop& mainRunLoop, X11Options options = {});
    ~X11Backend();
    X11Backend(const X11Backend&) = delete;
    X11Backend& operator=(const X11Backend&) = delete;

    // The interfaces; they stay valid as long as the backend.
    Services services();
    // Whether the server can be reached (it was at start and the connection still works).
    bool isConnected();
    // The server time of the user's input that asks for the next activation, such as the
    // click on a tab. Used once; without it an activation takes a fresh server time.
    void setUserTime(std::uint32_t serverTime);
    // Handles everything the server has sent. The descriptor watch calls it; calling it at
    // other times is harmless.
    void processEvents();
    // A round trip: everything the server sent before it has been read and handled. False
    // without a connection.
    bool roundTrip();
    // The sequence number of a request that does nothing, sent now: two of them, less one,
    // tell how many requests went to the server in between. 0 without a connection.
    std::uint32_t probeSequence();
    // Makes the next listing read every part of every window again, as if all had changed.
    void forgetWindows();

private:
    std::unique_ptr<X11Desktop> m_desktop;
    std::unique_ptr<X11Parts> m_parts;
};

}  // namespace vorn::platform::x11
