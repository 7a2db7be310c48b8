#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vorn::test {

// A small HTTP/1.1 server on 127.0.0.1 for tests: it answers one connection at a time, records
// every request and replies as its responder says (200 with an empty body by default).
class LoopbackHttpServer {
public:
    struct Request {
        std::string method;
        std::string path;
        // Lowercased names.
        std::map<std::string, std::string> headers;
        std::string body;
        std::chrono::steady_clock::time_point receivedAt;
    };

    struct Reply {
        int status = 200;
        std::string body;
        std::vector<std::pair<std::string, std::string>> headers;
    };

    using Responder = std::function<Reply(const Request&)>;

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    int port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by the path.
    std::string url(const std::string& path = "/") const;

    void setResponder(Responder responder);
    // Answers every request with the status.
    void replyWith(int status);

    std::vector<Request> requests() const;
    // Waits until count requests arrived; false after the timeout, which only guards against a
    // hang.
    bool waitForRequests(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // A loopback port on which nothing listens.
    static int refusingPort();

private:
    void run();
    void serve(int connection);

    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_arrived;
    std::vector<Request> m_requests;
    Responder m_responder;
    std::thread m_thread;
};

}  // namespace vorn::test
