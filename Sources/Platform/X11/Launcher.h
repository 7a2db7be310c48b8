#pragma once

#include <optional>
#include <string>
#include <vector>

#include "RunLoop.h"

#include <sys/types.h>

namespace vorn::platform::x11 {

// Starts programs directly, without a shell, each in a session of its own and with DISPLAY
// naming the backend's display. A child is collected as soon as it ends, through a process
// descriptor the run loop watches, so none lingers as a zombie; where the kernel has no process
// descriptors, children that ended are collected at the next launch. Main thread only.
class Launcher {
public:
    Launcher(RunLoop& runLoop, std::string display);
    ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // The new process's id; no value when it could not be started. The program is looked up in
    // PATH when it has no "/"; an empty working directory keeps ours.
    std::optional<pid_t> spawn(const std::vector<std::string>& argv,
                               const std::string& workingDirectory);
    // Collects the children that have ended, without waiting.
    void reap();
    // The children started here that have not been collected yet.
    std::size_t running() const { return m_children.size(); }

private:
    struct Child {
        pid_t pid = 0;
        // The process descriptor, readable once the child has ended; -1 without one.
        int descriptor = -1;
        std::optional<WatchID> watch;
    };

    // Collects the child when it has ended; true when it is gone.
    static bool collect(Child& child);
    void forget(Child& child);

    RunLoop& m_runLoop;
    std::string m_display;
    std::vector<Child> m_children;
};

}  // namespace vorn::platform::x11
