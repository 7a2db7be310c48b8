#include "Log.h"
#include "X11Parts.h"

namespace vorn::platform::x11 {

X11Loader::X11Loader(X11Desktop& desktop) {
    X11Desktop* world = &desktop;

    m_entryPoints.emplace(entrypoint::windowOfElement,
                          std::make_shared<FunctionEntryPoint<entrypoint::WindowOfElement>>(
                              [](const Element& element, std::uint32_t& number) {
                                  // The id alone: matching a list of windows against the
                                  // window list must not cost a round trip per window.
                                  const X11Element* el = x11Element(element);
                                  if (el == nullptr || el->kind != X11Element::Kind::window) {
                                      return AXStatus::illegalArgument;
                                  }
                                  number = el->window;
                                  return AXStatus::success;
                              }));

    m_entryPoints.emplace(entrypoint::processForPID,
                          std::make_shared<FunctionEntryPoint<entrypoint::ProcessForPID>>(
                              [world](std::int32_t pid, ProcessSerialNumber& psn) {
                                  AfterReplies after(*world);
                                  if (pid > 0 && !world->hasWindowManager()) {
                                      vornWMLog().notice(
                                          "x11: not fronted: no window manager runs pid=", pid);
                                      return std::int32_t{-1};
                                  }
                                  if (pid <= 0 || world->application(pid) == nullptr) {
                                      return std::int32_t{-1};
                                  }
                                  psn = {0, static_cast<std::uint32_t>(pid)};
                                  return std::int32_t{0};
                              }));

    m_entryPoints.emplace(
        entrypoint::setFrontProcess,
        std::make_shared<FunctionEntryPoint<entrypoint::SetFrontProcess>>(
            [world](const ProcessSerialNumber& psn, std::uint32_t windowID, std::uint32_t) {
                Connection* connection = world->connection();
                if (psn.high != 0 || connection == nullptr) {
                    return std::int32_t{-1};
                }
                AfterReplies after(*world);
                const auto pid = static_cast<std::int32_t>(psn.low);
                const Standing standing = standingOf(*world, windowID, pid);
                if (standing != Standing::managed) {
                    vornWMLog().notice("x11: not fronted: ", standingName(standing),
                                       " win=", windowID, " pid=", pid);
                    return std::int32_t{-1};
                }
                return activateWindow(*world, windowID) ? std::int32_t{0} : std::int32_t{-1};
            }));

    m_entryPoints.emplace(entrypoint::postEventRecord,
                          std::make_shared<FunctionEntryPoint<entrypoint::PostEventRecord>>(
                              [world](const ProcessSerialNumber& psn, const EventRecord&) {
                                  // Activation already made the window the focused one.
                                  AfterReplies after(*world);
                                  const auto pid = static_cast<std::int32_t>(psn.low);
                                  return world->application(pid) != nullptr ? std::int32_t{0}
                                                                            : std::int32_t{-1};
                              }));
}

bool X11Loader::openLibrary(std::string_view /*path*/) {
    // The entry points are built in; there is no library to open.
    return false;
}

std::shared_ptr<const EntryPoint> X11Loader::findEntryPoint(std::string_view name) {
    auto it = m_entryPoints.find(name);
    return it == m_entryPoints.end() ? nullptr : it->second;
}

}  // namespace vorn::platform::x11
