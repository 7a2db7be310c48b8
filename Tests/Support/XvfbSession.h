#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <xcb/xcb.h>

#include "TempDir.h"

#include <sys/types.h>

namespace vorn::test {

// Starts a program with the given standard output and error (-1: /dev/null), further
// descriptors placed as (from, to) pairs, and the environment. The program is killed when this
// process ends, so a test that crashes leaves no server behind.
std::optional<pid_t> spawnChild(const std::vector<std::string>& argv,
                                const std::vector<std::string>& environment,
                                int output = -1,
                                int error = -1,
                                const std::vector<std::pair<int, int>>& descriptors = {});

// A private X server (Xvfb, on a display number it picks itself) with openbox as window
// manager, for tests and benchmarks of the real desktop. Programs started through it see its
// display; everything is stopped by process id, never by name. The session's own connection
// synchronises with round trips; only waits for the window manager poll, with a deadline.
class XvfbSession {
public:
    struct Options {
        int width = 1920;
        int height = 1080;
        int desktops = 2;
        bool windowManager = true;
        // The display number to take, for a server that follows another on the same number;
        // by default the server picks a free one.
        std::optional<int> displayNumber = std::nullopt;
        // Also accept clients over TCP (port 6000 + the display number), as remote clients
        // connect; tests reach it only at 127.0.0.1.
        bool listenTcp = false;
    };

    XvfbSession() = default;
    ~XvfbSession();
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    // False, with the reason in error(), when the server or the window manager did not start.
    bool start(const Options& options);
    bool start() { return start(Options{}); }
    const std::string& error() const { return m_error; }
    const std::string& display() const { return m_display; }
    // The display number, 3 for ":3".
    int displayNumber() const { return std::stoi(m_display.substr(1)); }
    pid_t serverPID() const { return m_server; }
    // The display as a client that connects over TCP names it: "127.0.0.1:3".
    std::string tcpDisplay() const { return "127.0.0.1" + m_display; }
    xcb_connection_t* connection() const { return m_connection; }
    xcb_window_t root() const { return m_root; }
    const std::filesystem::path& directory() const { return m_dir.path(); }

    // Starts a program on the display; extra variables are added to the environment (a
    // DISPLAY among them replaces the session's).
    std::optional<pid_t> spawn(const std::vector<std::string>& argv,
                               const std::map<std::string, std::string>& environment = {});
    // Stops a program started here: SIGTERM, then SIGKILL after two seconds.
    void stop(pid_t pid);
    // Waits until a program started here ends by itself; its wait status, or none when it
    // still runs after the limit.
    std::optional<int> waitUntilExited(pid_t pid, std::chrono::milliseconds limit);
    // Kills the X server at once, as when a session ends under its clients. Only the
    // destructor may use the session afterwards.
    void killServer();
    // Stops the window manager by its process id with the signal, as a crash or a restart
    // does; the clients stay. Waits until it has ended.
    void stopWindowManager(int signal);
    // Starts the window manager again after stopWindowManager(); false, with the reason in
    // error(), when it did not take over.
    bool restartWindowManager();
    // Runs a program to its end (ten seconds at most) and returns its standard output.
    std::optional<std::string> run(const std::vector<std::string>& argv);

    // A round trip: the server has handled everything this connection sent.
    void sync();
    // A round trip through the window manager: it has handled every request the server
    // received before this call, from any client. False when it did not answer in time.
    bool syncWindowManager();
    // Polls the condition until it holds or the limit passes, with a round trip between tries.
    bool waitFor(const std::function<bool()>& condition,
                 std::chrono::milliseconds limit = std::chrono::seconds(5));

    // _NET_CLIENT_LIST_STACKING, front to back.
    std::vector<xcb_window_t> stacking();
    // _NET_CLIENT_LIST, in the order the windows were managed.
    std::vector<xcb_window_t> clients();
    std::optional<std::uint32_t> windowPID(xcb_window_t window);
    // The managed windows whose _NET_WM_PID is the process.
    std::vector<xcb_window_t> windowsOf(pid_t pid);
    xcb_window_t activeWindow();
    std::optional<std::uint32_t> currentDesktop();
    std::vector<std::uint32_t> cardinalProperty(xcb_window_t window, const std::string& name);
    // Replace a property of the window as any client may: 32-bit items, or 8-bit text such as
    // a title in the given encoding. Only sent: sync() makes sure the server has them.
    void setCardinals(xcb_window_t window,
                      const std::string& name,
                      xcb_atom_t type,
                      const std::vector<std::uint32_t>& values);
    void setText(xcb_window_t window,
                 const std::string& name,
                 xcb_atom_t type,
                 std::string_view text);
    // Sends a client message of 32-bit items about the window to the root, for the clients
    // that select the mask there (the window manager takes SUBSTRUCTURE_REDIRECT). Only sent.
    void sendClientMessage(xcb_window_t window,
                           const std::string& type,
                           const std::vector<std::uint32_t>& data,
                           std::uint32_t mask);
    xcb_atom_t atom(const std::string& name);

    // The test window program with the arguments, waited for until its windows are managed.
    struct Started {
        pid_t pid = 0;
        std::vector<xcb_window_t> windows;
        // Where a listening program reads its commands.
        int input = -1;
    };
    std::optional<Started> openTestWindow(
        const std::vector<std::string>& arguments,
        std::size_t windows = 1,
        const std::map<std::string, std::string>& environment = {});
    // A test window program that stays while the session lasts and opens more windows on
    // request; it starts with the given number of windows (--count).
    std::optional<Started> openListeningTestWindow(const std::vector<std::string>& arguments,
                                                   std::size_t windows = 1);
    // Another window of a listening program, waited for until it is managed.
    std::optional<xcb_window_t> openAnother(const Started& program, const std::string& title);
    // An xterm with the title, waited for until it is managed.
    std::optional<Started> openXterm(const std::string& title,
                                     const std::vector<std::string>& extra = {});
    static std::string testWindowProgram();
    // A display number no server holds now, far above the numbers servers pick for themselves,
    // for a test that starts a second server on the number of the first: another test's server
    // starting meanwhile would otherwise take the freed number.
    static int unclaimedDisplayNumber();

private:
    bool startServer(const Options& options);
    bool startWindowManager(const Options& options);
    // Asks the window manager for frame extents and waits for its answer.
    bool askWindowManager(std::chrono::milliseconds limit);
    std::optional<Started> awaitWindows(pid_t pid,
                                        const std::vector<xcb_window_t>& before,
                                        std::size_t windows);
    std::vector<std::string> environment(const std::map<std::string, std::string>& extra) const;

    TempDir m_dir;
    Options m_options;
    std::string m_error;
    std::string m_display;
    pid_t m_server = 0;
    pid_t m_windowManager = 0;
    std::vector<pid_t> m_children;
    std::vector<int> m_inputs;
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    xcb_window_t m_probe = XCB_NONE;
};

}  // namespace vorn::test
