#include "SingleInstance.h"

#include <cerrno>
#include <cstring>
#include <thread>

#include <QLocalServer>
#include <QLocalSocket>

#include "Log.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vorn::app {
namespace {

using Clock = std::chrono::steady_clock;

constexpr qint64 longestRequest = 64;

// A socket path that fits sockaddr_un: the path itself, or the same file reached through an
// open descriptor of its directory when the path is too long.
class SocketAddress {
public:
    explicit SocketAddress(const std::filesystem::path& directory) {
        const std::string direct = (directory / SingleInstance::socketName).string();
        if (direct.size() < sizeof(sockaddr_un{}.sun_path)) {
            m_path = direct;
            return;
        }
        m_directory = ::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (m_directory >= 0) {
            m_path =
                "/proc/self/fd/" + std::to_string(m_directory) + "/" + SingleInstance::socketName;
        }
    }
    ~SocketAddress() {
        if (m_directory >= 0) {
            ::close(m_directory);
        }
    }
    SocketAddress(const SocketAddress&) = delete;
    SocketAddress& operator=(const SocketAddress&) = delete;

    // Empty when no usable address exists.
    const std::string& path() const { return m_path; }

private:
    int m_directory = -1;
    std::string m_path;
};

struct Exchange {
    std::string error;  // empty on success
    bool connected = false;
};

// Sends the request and waits for a line back.
Exchange exchange(const std::string& socketPath, Clock::time_point deadline) {
    Exchange result;
    std::string& error = result.error;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return result;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = std::strerror(errno);
        ::close(fd);
        return result;
    }
    result.connected = true;
    const std::string request = std::string(SingleInstance::showSidebarRequest) + "\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL)
        != static_cast<ssize_t>(request.size())) {
        error = std::strerror(errno);
        ::close(fd);
        return result;
    }
    std::string reply;
    while (reply.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd waiting{fd, POLLIN, 0};
        const int ready =
            ::poll(&waiting, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            error = "no answer in time";
            break;
        }
        char buffer[64];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            error = n == 0 ? "closed without an answer" : std::strerror(errno);
            break;
        }
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (error.empty() && reply != "ok\n") {
        error = "unexpected answer";
    }
    return result;
}

}  // namespace

SingleInstance::SingleInstance(std::filesystem::path dataDirectory)
    : m_dataDirectory(std::move(dataDirectory)) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Role SingleInstance::claim() {
    auto result = InstanceLock::acquire(m_dataDirectory);
    switch (result.outcome) {
        case InstanceLock::Outcome::acquired:
            m_lock = std::move(result.lock);
            return Role::first;
        case InstanceLock::Outcome::heldElsewhere:
            return Role::second;
        case InstanceLock::Outcome::failed:
            break;
    }
    vornAppLog().error("instance lock unavailable, running without it error=", result.error);
    return Role::unguarded;
}

bool SingleInstance::listen(std::function<void()> showSidebar) {
    m_showSidebar = std::move(showSidebar);
    SocketAddress address(m_dataDirectory);
    if (!m_lock || address.path().empty()) {
        return false;
    }
    // Holding the lock, any socket file here is a leftover of an instance that is gone.
    QLocalServer::removeServer(QString::fromStdString(address.path()));
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(QString::fromStdString(address.path()))) {
        vornAppLog().error("instance socket unavailable error=",
                           m_server->errorString().toStdString());
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
        }
    });
    return true;
}

void SingleInstance::answer(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        // A peer that sends a long line without an end is not one of ours.
        if (socket->bytesAvailable() > longestRequest) {
            socket->abort();
        }
        return;
    }
    const QByteArray line = socket->readLine(longestRequest).trimmed();
    if (line == showSidebarRequest) {
        vornAppLog().notice("another start asked to show the sidebar");
        if (m_showSidebar) {
            m_showSidebar();
        }
        socket->write("ok\n");
    } else {
        socket->write("unknown\n");
    }
    socket->flush();
    socket->disconnectFromServer();
}

bool SingleInstance::askToShowSidebar(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    SocketAddress address(m_dataDirectory);
    std::string error = address.path().empty() ? "no socket address" : "";
    if (!address.path().empty()) {
        // The running instance may hold the lock and not listen yet: try again until the limit.
        for (;;) {
            const Exchange tried = exchange(address.path(), deadline);
            error = tried.error;
            if (error.empty() || tried.connected
                || Clock::now() + std::chrono::milliseconds(50) >= deadline) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    if (error.empty()) {
        vornAppLog().notice("already running on this data directory, showed its sidebar path=",
                            m_dataDirectory.string());
        return true;
    }
    vornAppLog().notice("already running on this data directory, it did not answer (", error,
                        ") path=", m_dataDirectory.string());
    return false;
}

}  // namespace vorn::app
