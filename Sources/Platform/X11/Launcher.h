#pragma once

#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace vorn::platform::x11 {

// Starts programs directly, without a shell, each in a session of its own and with DISPLAY
// naming the backend's display. Children that have ended are collected on later calls, so none
// lingers as a zombie for long. Main thread only.
class Launcher {
public:
    explicit Launcher(std::string display);
    ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // The new process's id; no value when it could not be started. The program is looked up in
    // PATH when it has no "/"; an empty working directory keeps ours.
    std::optional<pid_t> spawn(const std::vector<std::string>& argv,
                               const std::string& workingDirectory);
    // Collects the children that have ended, without waiting.
    void reap();

private:
    std::string m_display;
    std::vector<pid_t> m_children;
};

}  // namespace vorn::platform::x11
