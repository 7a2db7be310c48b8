#include <atomic>
#include <csignal>
#include <thread>

#include <gtest/gtest.h>

#include "Logind.h"
#include "PollRunLoop.h"
#include "SessionTrust.h"
#include "TempDir.h"
#include "X11Backend.h"
#include "XvfbSession.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

extern char** environ;

namespace vorn::platform::x11 {
namespace {

constexpr const char* sessionPath = "/org/freedesktop/login1/session/_31";

const char* const busConfig = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=DIR</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// A private D-Bus daemon with a stand-in for logind that serves one session's two properties.
class FakeLogind {
public:
    FakeLogind() {
        std::string config = busConfig;
        config.replace(config.find("DIR"), 3, dir.path().string());
        test::writeText(dir / "bus.conf", config);
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        const std::string log = (dir / "bus.log").string();
        const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        std::vector<std::string> environment;
        for (char** v = environ; *v != nullptr; ++v) {
            environment.emplace_back(*v);
        }
        auto pid = test::spawnChild({"dbus-daemon", "--config-file=" + (dir / "bus.conf").string(),
                                     "--nofork", "--print-address=1"},
                                    environment, fds[1], logFd);
        m_daemon = pid.value_or(0);
        if (logFd >= 0) {
            ::close(logFd);
        }
        ::close(fds[1]);
        std::string line;
        char c = 0;
        pollfd p{fds[0], POLLIN, 0};
        while (m_daemon != 0 && ::poll(&p, 1, 5000) > 0 && ::read(fds[0], &c, 1) == 1
               && c != '\n') {
            line.push_back(c);
        }
        ::close(fds[0]);
        address = line;
        if (!address.empty()) {
            m_service = std::thread([this] { serve(); });
            while (!m_ready.load()) {
                std::this_thread::yield();
            }
        }
    }
    ~FakeLogind() {
        m_stop = true;
        if (m_service.joinable()) {
            m_service.join();
        }
        if (m_daemon != 0) {
            ::kill(m_daemon, SIGTERM);
            ::waitpid(m_daemon, nullptr, 0);
        }
    }

    test::TempDir dir;
    std::string address;
    std::atomic<int> active{1};
    std::atomic<int> locked{0};

private:
    static int property(sd_bus*,
                        const char*,
                        const char*,
                        const char* name,
                        sd_bus_message* reply,
                        void* self,
                        sd_bus_error*) {
        auto* fake = static_cast<FakeLogind*>(self);
        const int value =
            std::string_view(name) == "Active" ? fake->active.load() : fake->locked.load();
        return sd_bus_message_append(reply, "b", value);
    }

    void serve() {
        static const sd_bus_vtable vtable[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_PROPERTY("Active", "b", property, 0, 0),
            SD_BUS_PROPERTY("LockedHint", "b", property, 0, 0),
            SD_BUS_VTABLE_END,
        };
        sd_bus* bus = nullptr;
        sd_bus_new(&bus);
        sd_bus_set_address(bus, address.c_str());
        sd_bus_set_bus_client(bus, 1);
        const bool up = sd_bus_start(bus) >= 0
                        && sd_bus_add_object_vtable(bus, nullptr, sessionPath,
                                                    "org.freedesktop.login1.Session", vtable, this)
                               >= 0
                        && sd_bus_request_name(bus, "org.freedesktop.login1", 0) >= 0;
        m_ready = true;
        while (up && !m_stop.load()) {
            if (sd_bus_process(bus, nullptr) > 0) {
                continue;
            }
            sd_bus_wait(bus, 20'000);
        }
        sd_bus_flush_close_unref(bus);
    }

    pid_t m_daemon = 0;
    std::thread m_service;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_stop{false};
};

TEST(X11SessionTest, ReadsActiveAndLockedFromLogind) {
    FakeLogind logind;
    ASSERT_FALSE(logind.address.empty()) << "dbus-daemon did not start";
    LogindSession session(logind.address, sessionPath);
    EXPECT_EQ(session.read(), (SessionState{true, false}));
    logind.locked = 1;
    EXPECT_EQ(session.read(), (SessionState{true, true}));
    logind.locked = 0;
    logind.active = 0;
    EXPECT_EQ(session.read(), (SessionState{false, false}));

    // The window layer's trust follows: locked, then switched away from the console.
    PollRunLoop runLoop;
    X11Options options;
    options.display = ":65531";
    options.logindBusAddress = logind.address;
    options.logindSessionPath = sessionPath;
    X11Backend backend(runLoop, options);
    auto& server = backend.services().windowServer;
    EXPECT_EQ(SessionTrust::untrustworthyReason(server), Untrustworthy::offConsole);
    logind.active = 1;
    logind.locked = 1;
    EXPECT_EQ(SessionTrust::untrustworthyReason(server), Untrustworthy::locked);
    logind.locked = 0;
    EXPECT_EQ(SessionTrust::untrustworthyReason(server), std::nullopt);
}

TEST(X11SessionTest, WithoutLogindsWordTheSessionCountsAsOnTheConsoleAndUnlocked) {
    FakeLogind logind;
    ASSERT_FALSE(logind.address.empty());
    LogindSession unknownSession(logind.address, "/org/freedesktop/login1/session/_39");
    EXPECT_EQ(unknownSession.read(), std::nullopt);
    test::TempDir empty;
    LogindSession noBus("unix:path=" + (empty / "none").string(), sessionPath);
    EXPECT_EQ(noBus.read(), std::nullopt);
    LogindSession noSession(logind.address, "");
    EXPECT_EQ(noSession.read(), std::nullopt);

    const Value dictionary = sessionDictionary(std::nullopt);
    EXPECT_EQ(dictionary.member(sessionkey::onConsole)->asBoolean(), true);
    EXPECT_EQ(dictionary.member(sessionkey::screenIsLocked), nullptr);
    EXPECT_EQ(
        sessionDictionary(SessionState{true, true}).member(sessionkey::screenIsLocked)->asBoolean(),
        true);
}

}  // namespace
}  // namespace vorn::platform::x11
