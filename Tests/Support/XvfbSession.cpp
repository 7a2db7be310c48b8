#include "XvfbSession.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vorn::test {
namespace {

using Clock = std::chrono::steady_clock;

// Between two looks at something another process does: short, and always under a deadline.
constexpr auto pollInterval = std::chrono::milliseconds(5);

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

bool waitForExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t result = ::waitpid(pid, &status, WNOHANG);
        if (result == pid || (result < 0 && errno == ECHILD)) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(pollInterval);
    }
}

const char* const openboxConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy></placement>
  <theme><name>Clearlooks</name><animateIconify>no</animateIconify></theme>
  <desktops><number>DESKTOPS</number></desktops>
  <margins><top>0</top><bottom>0</bottom><left>0</left><right>0</right></margins>
</openbox_config>
)";

}  // namespace

std::optional<pid_t> spawnChild(const std::vector<std::string>& argv,
                                const std::vector<std::string>& environment,
                                int output,
                                int error,
                                const std::vector<std::pair<int, int>>& descriptors) {
    if (argv.empty()) {
        return std::nullopt;
    }
    // Everything the child needs is made before the fork: after it, only plain system calls.
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& a : args) {
        argp.push_back(a.data());
    }
    argp.push_back(nullptr);
    std::vector<std::string> env = environment;
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    std::vector<std::pair<int, int>> placed{
        {devNull, 0}, {output >= 0 ? output : devNull, 1}, {error >= 0 ? error : devNull, 2}};
    placed.insert(placed.end(), descriptors.begin(), descriptors.end());
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        for (const auto& [from, to] : placed) {
            if (from == to) {
                ::fcntl(to, F_SETFD, 0);
            } else {
                ::dup2(from, to);
            }
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execvpe(argp.front(), argp.data(), envp.data());
        ::_exit(127);
    }
    if (devNull >= 0) {
        ::close(devNull);
    }
    if (pid < 0) {
        return std::nullopt;
    }
    return pid;
}

XvfbSession::~XvfbSession() {
    for (int input : m_inputs) {
        ::close(input);
    }
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
        ::kill(*it, SIGTERM);
    }
    for (pid_t child : std::vector<pid_t>(m_children)) {
        stop(child);
    }
    if (m_connection != nullptr) {
        xcb_disconnect(m_connection);
    }
    if (m_windowManager != 0) {
        ::kill(m_windowManager, SIGTERM);
        if (!waitForExit(m_windowManager, std::chrono::seconds(2))) {
            ::kill(m_windowManager, SIGKILL);
            ::waitpid(m_windowManager, nullptr, 0);
        }
    }
    if (m_server != 0) {
        ::kill(m_server, SIGTERM);
        if (!waitForExit(m_server, std::chrono::seconds(2))) {
            ::kill(m_server, SIGKILL);
            ::waitpid(m_server, nullptr, 0);
        }
    }
}

std::vector<std::string> XvfbSession::environment(
    const std::map<std::string, std::string>& extra) const {
    std::vector<std::string> env;
    for (char** v = environ; v != nullptr && *v != nullptr; ++v) {
        const std::string variable(*v);
        const std::string name = variable.substr(0, variable.find('='));
        if (name != "DISPLAY" && !extra.contains(name)) {
            env.push_back(variable);
        }
    }
    if (!extra.contains("DISPLAY")) {
        env.push_back("DISPLAY=" + m_display);
    }
    for (const auto& [name, value] : extra) {
        env.push_back(name + "=" + value);
    }
    return env;
}

bool XvfbSession::start(const Options& options) {
    m_options = options;
    return startServer(options) && (!options.windowManager || startWindowManager(options));
}

void XvfbSession::stopWindowManager(int signal) {
    if (m_windowManager == 0) {
        return;
    }
    ::kill(m_windowManager, signal);
    if (!waitForExit(m_windowManager, std::chrono::seconds(2))) {
        ::kill(m_windowManager, SIGKILL);
        ::waitpid(m_windowManager, nullptr, 0);
    }
    m_windowManager = 0;
}

bool XvfbSession::restartWindowManager() {
    if (m_windowManager != 0 || !startWindowManager(m_options)) {
        return false;
    }
    // The old manager's properties are still on the root: the new one has taken over only once
    // it answers a request.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!askWindowManager(std::chrono::milliseconds(200))) {
        if (Clock::now() >= deadline) {
            m_error = "openbox did not take over the display again";
            return false;
        }
    }
    return true;
}

bool XvfbSession::startServer(const Options& options) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        m_error = "pipe failed";
        return false;
    }
    const std::string log = (m_dir.path() / "Xvfb.log").string();
    const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const std::string screen =
        std::to_string(options.width) + "x" + std::to_string(options.height) + "x24";
    std::vector<std::string> argv{"Xvfb"};
    if (options.displayNumber) {
        argv.push_back(":" + std::to_string(*options.displayNumber));
    }
    argv.insert(argv.end(), {"-displayfd", "3", "-screen", "0", screen, "-noreset"});
    if (options.listenTcp) {
        argv.insert(argv.end(), {"-listen", "tcp"});
    } else {
        argv.insert(argv.end(), {"-nolisten", "tcp"});
    }
    auto pid = spawnChild(argv, environment({}), -1, logFd, {{fds[1], 3}});
    ::close(fds[1]);
    if (logFd >= 0) {
        ::close(logFd);
    }
    if (!pid) {
        ::close(fds[0]);
        m_error = "Xvfb could not be started";
        return false;
    }
    m_server = *pid;
    std::string number;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) {
            continue;
        }
        char buffer[32];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        number.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) {
        number.pop_back();
    }
    if (number.empty()) {
        m_error = "Xvfb did not report its display";
        return false;
    }
    m_display = ":" + number;
    m_connection = xcb_connect(m_display.c_str(), nullptr);
    if (xcb_connection_has_error(m_connection) != 0) {
        m_error = "cannot connect to " + m_display;
        return false;
    }
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    return true;
}

bool XvfbSession::startWindowManager(const Options& options) {
    std::string config = openboxConfig;
    config.replace(config.find("DESKTOPS"), 8, std::to_string(options.desktops));
    const auto configPath = m_dir.path() / "rc.xml";
    writeText(configPath, config);
    const std::string log = (m_dir.path() / "openbox.log").string();
    const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    auto pid = spawnChild({"openbox", "--sm-disable", "--config-file", configPath.string()},
                          environment({{"XDG_CONFIG_HOME", (m_dir.path() / "config").string()},
                                       {"XDG_CACHE_HOME", (m_dir.path() / "cache").string()}}),
                          -1, logFd);
    if (logFd >= 0) {
        ::close(logFd);
    }
    if (!pid) {
        m_error = "openbox could not be started";
        return false;
    }
    m_windowManager = *pid;
    const xcb_atom_t check = atom("_NET_SUPPORTING_WM_CHECK");
    const xcb_atom_t stackingList = atom("_NET_CLIENT_LIST_STACKING");
    const bool ready = waitFor([&] {
        return !cardinalProperty(m_root, "_NET_SUPPORTING_WM_CHECK").empty() && check != 0
               && stackingList != 0 && [&] {
                      Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
                          m_connection,
                          xcb_get_property(m_connection, 0, m_root, stackingList, XCB_ATOM_WINDOW,
                                           0, 0),
                          nullptr));
                      return reply && reply->type == XCB_ATOM_WINDOW;
                  }();
    });
    if (!ready) {
        m_error = "openbox did not take over the display";
        return false;
    }
    return true;
}

std::optional<pid_t> XvfbSession::spawn(const std::vector<std::string>& argv,
                                        const std::map<std::string, std::string>& environment) {
    // Diagnostics of the programs go where the test's own go.
    auto pid = spawnChild(argv, this->environment(environment), -1, 2);
    if (pid) {
        m_children.push_back(*pid);
    }
    return pid;
}

void XvfbSession::stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    if (!waitForExit(pid, std::chrono::seconds(2))) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    std::erase(m_children, pid);
}

std::optional<int> XvfbSession::waitUntilExited(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            std::erase(m_children, pid);
            return status;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(pollInterval);
    }
}

void XvfbSession::killServer() {
    if (m_server == 0) {
        return;
    }
    ::kill(m_server, SIGKILL);
    ::waitpid(m_server, nullptr, 0);
    m_server = 0;
}

std::optional<std::string> XvfbSession::run(const std::vector<std::string>& argv) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    auto pid = spawnChild(argv, environment({}), fds[1], -1);
    ::close(fds[1]);
    if (!pid) {
        ::close(fds[0]);
        return std::nullopt;
    }
    std::string output;
    bool finished = false;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) {
            finished = true;
            break;
        }
        output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (!finished) {
        ::kill(*pid, SIGKILL);
    }
    ::waitpid(*pid, nullptr, 0);
    if (!finished) {
        return std::nullopt;
    }
    return output;
}

void XvfbSession::sync() {
    Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

bool XvfbSession::syncWindowManager() {
    return askWindowManager(std::chrono::seconds(5));
}

bool XvfbSession::askWindowManager(std::chrono::milliseconds limit) {
    // The window manager answers a request for frame extents by setting them on the window;
    // it handles the requests it gets in order, so the answer comes after all earlier ones.
    const xcb_atom_t extents = atom("_NET_FRAME_EXTENTS");
    if (m_probe == XCB_NONE) {
        m_probe = xcb_generate_id(m_connection);
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_probe, m_root, -10, -10, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &mask);
    }
    xcb_delete_property(m_connection, m_probe, extents);
    sendClientMessage(m_probe, "_NET_REQUEST_FRAME_EXTENTS", {},
                      XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    return waitFor([&] { return !cardinalProperty(m_probe, "_NET_FRAME_EXTENTS").empty(); }, limit);
}

bool XvfbSession::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        sync();
        if (condition()) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(pollInterval);
    }
}

xcb_atom_t XvfbSession::atom(const std::string& name) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection,
        xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::vector<std::uint32_t> XvfbSession::cardinalProperty(xcb_window_t window,
                                                         const std::string& name) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, window, atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
        nullptr));
    if (!reply || reply->format != 32) {
        return {};
    }
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {data, data + xcb_get_property_value_length(reply.get()) / 4};
}

void XvfbSession::setCardinals(xcb_window_t window,
                               const std::string& name,
                               xcb_atom_t type,
                               const std::vector<std::uint32_t>& values) {
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom(name), type, 32,
                        static_cast<std::uint32_t>(values.size()), values.data());
}

void XvfbSession::setText(xcb_window_t window,
                          const std::string& name,
                          xcb_atom_t type,
                          std::string_view text) {
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom(name), type, 8,
                        static_cast<std::uint32_t>(text.size()), text.data());
}

void XvfbSession::sendClientMessage(xcb_window_t window,
                                    const std::string& type,
                                    const std::vector<std::uint32_t>& data,
                                    std::uint32_t mask) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom(type);
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 5), message.data.data32);
    xcb_send_event(m_connection, 0, m_root, mask, reinterpret_cast<const char*>(&message));
}

std::vector<xcb_window_t> XvfbSession::stacking() {
    auto list = cardinalProperty(m_root, "_NET_CLIENT_LIST_STACKING");
    std::reverse(list.begin(), list.end());
    return list;
}

std::vector<xcb_window_t> XvfbSession::clients() {
    return cardinalProperty(m_root, "_NET_CLIENT_LIST");
}

std::optional<std::uint32_t> XvfbSession::windowPID(xcb_window_t window) {
    const auto values = cardinalProperty(window, "_NET_WM_PID");
    if (values.empty()) {
        return std::nullopt;
    }
    return values.front();
}

std::vector<xcb_window_t> XvfbSession::windowsOf(pid_t pid) {
    std::vector<xcb_window_t> found;
    for (xcb_window_t window : clients()) {
        if (windowPID(window) == static_cast<std::uint32_t>(pid)) {
            found.push_back(window);
        }
    }
    return found;
}

xcb_window_t XvfbSession::activeWindow() {
    const auto values = cardinalProperty(m_root, "_NET_ACTIVE_WINDOW");
    return values.empty() ? XCB_NONE : values.front();
}

std::optional<std::uint32_t> XvfbSession::currentDesktop() {
    const auto values = cardinalProperty(m_root, "_NET_CURRENT_DESKTOP");
    if (values.empty()) {
        return std::nullopt;
    }
    return values.front();
}

std::string XvfbSession::testWindowProgram() {
    return VORN_TEST_WINDOW_PROGRAM;
}

std::optional<XvfbSession::Started> XvfbSession::awaitWindows(
    pid_t pid, const std::vector<xcb_window_t>& before, std::size_t windows) {
    Started started{pid, {}};
    const bool appeared = waitFor([&] {
        started.windows.clear();
        for (xcb_window_t window : clients()) {
            // A new window may carry the number of one that is about to go; its process tells.
            const auto owner = windowPID(window);
            const bool isNew =
                owner ? *owner == static_cast<std::uint32_t>(pid)
                      : std::find(before.begin(), before.end(), window) == before.end();
            if (isNew) {
                started.windows.push_back(window);
            }
        }
        return started.windows.size() >= windows;
    });
    if (!appeared) {
        return std::nullopt;
    }
    return started;
}

std::optional<XvfbSession::Started> XvfbSession::openTestWindow(
    const std::vector<std::string>& arguments,
    std::size_t windows,
    const std::map<std::string, std::string>& environment) {
    std::vector<std::string> argv{testWindowProgram()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const auto before = clients();
    auto pid = spawn(argv, environment);
    if (!pid) {
        return std::nullopt;
    }
    return awaitWindows(*pid, before, windows);
}

std::optional<XvfbSession::Started> XvfbSession::openListeningTestWindow(
    const std::vector<std::string>& arguments, std::size_t windows) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    std::vector<std::string> argv{testWindowProgram(), "--listen", "--count",
                                  std::to_string(windows)};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const auto before = clients();
    auto pid = spawnChild(argv, environment({}), -1, 2, {{fds[0], 0}});
    ::close(fds[0]);
    if (!pid) {
        ::close(fds[1]);
        return std::nullopt;
    }
    m_children.push_back(*pid);
    m_inputs.push_back(fds[1]);
    auto started = awaitWindows(*pid, before, windows);
    if (started) {
        started->input = fds[1];
    }
    return started;
}

std::optional<xcb_window_t> XvfbSession::openAnother(const Started& program,
                                                     const std::string& title) {
    const auto before = windowsOf(program.pid);
    const std::string command = "open " + title + "\n";
    if (program.input < 0
        || ::write(program.input, command.data(), command.size())
               != static_cast<ssize_t>(command.size())) {
        return std::nullopt;
    }
    xcb_window_t opened = XCB_NONE;
    const bool appeared = waitFor([&] {
        for (xcb_window_t window : windowsOf(program.pid)) {
            if (std::find(before.begin(), before.end(), window) == before.end()) {
                opened = window;
                return true;
            }
        }
        return false;
    });
    if (!appeared) {
        return std::nullopt;
    }
    return opened;
}

std::optional<XvfbSession::Started> XvfbSession::openXterm(const std::string& title,
                                                           const std::vector<std::string>& extra) {
    std::vector<std::string> argv{"xterm", "-T", title};
    argv.insert(argv.end(), extra.begin(), extra.end());
    const auto before = clients();
    auto pid = spawn(argv);
    if (!pid) {
        return std::nullopt;
    }
    return awaitWindows(*pid, before, 1);
}

int XvfbSession::unclaimedDisplayNumber() {
    const int first = 500 + static_cast<int>(::getpid() % 400);
    for (int offset = 0; offset < 400; ++offset) {
        const int number = 500 + (first - 500 + offset) % 400;
        const std::string name = std::to_string(number);
        if (!std::filesystem::exists("/tmp/.X" + name + "-lock")
            && !std::filesystem::exists("/tmp/.X11-unix/X" + name)) {
            return number;
        }
    }
    return first;
}

}  // namespace vorn::test
