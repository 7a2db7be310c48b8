#include <sstream>

#include "SimulatedParts.h"

namespace vorn::platform::sim {
namespace {

std::string describePSN(const ProcessSerialNumber& psn) {
    return std::to_string(psn.high) + ":" + std::to_string(psn.low);
}

}  // namespace

SimulatedLoader::SimulatedLoader(SimulatedDesktop& desktop)
    : m_desktop(desktop) {
    SimulatedDesktop* world = &desktop;

    m_entryPoints.emplace(
        entrypoint::windowOfElement,
        std::make_shared<FunctionEntryPoint<entrypoint::WindowOfElement>>(
            [world](const Element& element, std::uint32_t& number) {
                const SimElement* el = simElement(element);
                world->record(std::string(entrypoint::windowOfElement) + " "
                              + (el != nullptr ? el->description() : "<foreign>"));
                if (el == nullptr || el->kind != SimElement::Kind::window) {
                    return AXStatus::illegalArgument;
                }
                const SimWindow* w = world->window(el->window);
                if (w == nullptr || w->owner != el->pid) {
                    return AXStatus::invalidElement;
                }
                if (w->windowNumberFails) {
                    return AXStatus::failure;
                }
                number = w->number;
                return AXStatus::success;
            }));

    m_entryPoints.emplace(entrypoint::processForPID,
                          std::make_shared<FunctionEntryPoint<entrypoint::ProcessForPID>>(
                              [world](std::int32_t pid, ProcessSerialNumber& psn) {
                                  world->record(std::string(entrypoint::processForPID)
                                                + " pid=" + std::to_string(pid));
                                  if (pid <= 0 || world->application(pid) == nullptr) {
                                      return std::int32_t{-1};
                                  }
                                  psn = {0, static_cast<std::uint32_t>(pid)};
                                  return std::int32_t{0};
                              }));

    m_entryPoints.emplace(
        entrypoint::setFrontProcess,
        std::make_shared<FunctionEntryPoint<entrypoint::SetFrontProcess>>(
            [world](const ProcessSerialNumber& psn, std::uint32_t windowID, std::uint32_t options) {
                std::ostringstream line;
                line << entrypoint::setFrontProcess << " psn=" << describePSN(psn) << " win#"
                     << windowID << " options=0x" << std::hex << options;
                world->record(line.str());
                world->frontCalls.push_back({psn, windowID, options});
                if (world->frontingStatus != 0) {
                    return world->frontingStatus;
                }
                const auto pid = static_cast<std::int32_t>(psn.low);
                if (psn.high != 0 || world->application(pid) == nullptr) {
                    return std::int32_t{-1};
                }
                world->activateApplication(pid, windowID);
                return std::int32_t{0};
            }));

    m_entryPoints.emplace(
        entrypoint::postEventRecord,
        std::make_shared<FunctionEntryPoint<entrypoint::PostEventRecord>>(
            [world](const ProcessSerialNumber& psn, const EventRecord& record) {
                world->record(std::string(entrypoint::postEventRecord) + " psn=" + describePSN(psn)
                              + " byte8=" + std::to_string(record[0x08]));
                world->postedRecords.push_back({psn, record});
                const auto pid = static_cast<std::int32_t>(psn.low);
                return world->application(pid) != nullptr ? std::int32_t{0} : std::int32_t{-1};
            }));
}

bool SimulatedLoader::openLibrary(std::string_view path) {
    m_desktop.record("open " + std::string(path));
    return !m_desktop.unopenableLibraries.contains(path);
}

std::shared_ptr<const EntryPoint> SimulatedLoader::findEntryPoint(std::string_view name) {
    m_desktop.record("lookUp " + std::string(name));
    if (m_desktop.missingEntryPoints.contains(name)) {
        return nullptr;
    }
    auto it = m_entryPoints.find(name);
    return it == m_entryPoints.end() ? nullptr : it->second;
}

}  // namespace vorn::platform::sim
