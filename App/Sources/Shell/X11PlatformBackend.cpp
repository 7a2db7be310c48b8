#include "X11PlatformBackend.h"

#include "MacWindowManager.h"

namespace vorn::app {

X11PlatformBackend::X11PlatformBackend(platform::RunLoop& runLoop)
    : m_x11(runLoop)
    , m_services(m_x11.services())
    , m_privateCalls(m_services.loader)
    , m_context{m_services, m_privateCalls} {}

std::shared_ptr<WindowManager> X11PlatformBackend::makeWindowManager(std::uint32_t displayID) {
    return MacWindowManager::create(m_context, displayID);
}

}  // namespace vorn::app
