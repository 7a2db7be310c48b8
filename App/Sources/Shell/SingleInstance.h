#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <QObject>

#include "InstanceLock.h"

class QLocalServer;
class QLocalSocket;

namespace vorn::app {

// One running program per data directory. The first start holds the directory's instance lock
// for the life of the process and listens on a local socket beside it ("vorn.socket"); a later
// start finds the lock taken, asks the running one over the socket to show its sidebar, and
// goes. Main thread only.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    static constexpr char socketName[] = "vorn.socket";
    // The one request so far; the running instance answers "ok".
    static constexpr char showSidebarRequest[] = "show-sidebar";

    enum class Role {
        first,      // holds the lock
        second,     // another process holds it
        unguarded,  // the lock could not be taken at all (logged); the program runs without it
    };

    explicit SingleInstance(std::filesystem::path dataDirectory);
    ~SingleInstance() override;

    // Takes the lock or finds it taken; once.
    Role claim();

    // As the first: answers later starts. Each request to show the sidebar runs the function.
    // False (logged) when the socket cannot be set up; the lock still holds.
    bool listen(std::function<void()> showSidebar);

    // As the second: asks the running instance to show its sidebar and waits for its answer,
    // retrying while it may still be starting. Writes the one log line of a second start.
    bool askToShowSidebar(std::chrono::milliseconds limit = std::chrono::seconds(3));

private:
    void answer(QLocalSocket* socket);

    std::filesystem::path m_dataDirectory;
    std::unique_ptr<InstanceLock> m_lock;
    QLocalServer* m_server = nullptr;
    std::function<void()> m_showSidebar;
};

}  // namespace vorn::app
