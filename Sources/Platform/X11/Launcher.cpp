#include "Launcher.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "Log.h"

#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vorn::platform::x11 {

Launcher::Launcher(RunLoop& runLoop, std::string display)
    : m_runLoop(runLoop)
    , m_display(std::move(display)) {}

Launcher::~Launcher() {
    // Children still running are left to run; init adopts them when this process ends.
    reap();
    for (Child& child : m_children) {
        forget(child);
    }
}

std::optional<pid_t> Launcher::spawn(const std::vector<std::string>& argv,
                                     const std::string& workingDirectory) {
    reap();
    if (argv.empty() || argv.front().empty()) {
        return std::nullopt;
    }
    std::vector<std::string> environment;
    for (char** variable = environ; variable != nullptr && *variable != nullptr; ++variable) {
        if (std::strncmp(*variable, "DISPLAY=", 8) != 0) {
            environment.emplace_back(*variable);
        }
    }
    if (!m_display.empty()) {
        environment.push_back("DISPLAY=" + m_display);
    }
    std::vector<char*> envp;
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& arg : args) {
        argp.push_back(arg.data());
    }
    argp.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The program must not inherit what this process blocked or ignored, nor die with its
    // terminal's session.
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!workingDirectory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    }
    pid_t pid = 0;
    const int error =
        ::posix_spawnp(&pid, argp.front(), &actions, &attributes, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        vornWMLog().notice("x11: launch failed program=", argv.front(),
                           " error=", std::strerror(error));
        return std::nullopt;
    }
    // Through syscall(): this C library's header declares pidfd_open() without C linkage.
    Child child{pid, static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)), std::nullopt};
    if (child.descriptor >= 0) {
        child.watch = m_runLoop.watchReadable(child.descriptor, [this, pid] {
            const auto found = std::find_if(m_children.begin(), m_children.end(),
                                            [pid](const Child& c) { return c.pid == pid; });
            if (found != m_children.end() && collect(*found)) {
                forget(*found);
                m_children.erase(found);
            }
        });
    }
    m_children.push_back(child);
    vornWMLog().info("x11: launched program=", argv.front(), " pid=", pid);
    return pid;
}

bool Launcher::collect(Child& child) {
    int status = 0;
    const pid_t result = ::waitpid(child.pid, &status, WNOHANG);
    // Gone, or somebody else collected it already.
    return result == child.pid || (result < 0 && errno == ECHILD);
}

void Launcher::forget(Child& child) {
    if (child.watch) {
        m_runLoop.unwatch(*child.watch);
        child.watch.reset();
    }
    if (child.descriptor >= 0) {
        ::close(child.descriptor);
        child.descriptor = -1;
    }
}

void Launcher::reap() {
    std::erase_if(m_children, [this](Child& child) {
        if (!collect(child)) {
            return false;
        }
        forget(child);
        return true;
    });
}

}  // namespace vorn::platform::x11
