#include "X11Backend.h"

#include "X11Parts.h"

namespace vorn::platform::x11 {

X11Backend::X11Backend(RunLoop& mainRunLoop, X11Options options)
    : m_desktop(std::make_unique<X11Desktop>(mainRunLoop, options))
    , m_parts(std::make_unique<X11Parts>(*m_desktop,
                                         options.recentlyUsedFile.empty()
                                             ? defaultRecentlyUsedFile()
                                             : options.recentlyUsedFile)) {}

X11Backend::~X11Backend() = default;

Services X11Backend::services() {
    return Services{m_parts->windowServer, m_parts->accessibility, m_parts->workspace,
                    m_parts->screens,      m_parts->loader,        m_parts->process,
                    m_desktop->runLoop()};
}

bool X11Backend::isConnected() {
    return m_desktop->connection() != nullptr;
}

void X11Backend::setUserTime(std::uint32_t serverTime) {
    m_desktop->setUserTime(serverTime);
}

void X11Backend::processEvents() {
    m_desktop->readEvents();
}

bool X11Backend::roundTrip() {
    Connection* connection = m_desktop->connection();
    if (connection == nullptr || !connection->sync()) {
        return false;
    }
    m_desktop->readEvents();
    m_desktop->takeQueuedEvents();
    return true;
}

std::uint32_t X11Backend::probeSequence() {
    Connection* connection = m_desktop->connection();
    if (connection == nullptr) {
        return 0;
    }
    return xcb_no_operation(connection->raw()).sequence;
}

void X11Backend::forgetWindows() {
    m_desktop->forgetClients();
}

}  // namespace vorn::platform::x11
