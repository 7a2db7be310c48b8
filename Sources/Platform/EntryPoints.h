#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "Accessibility.h"
#include "Value.h"

namespace vorn::platform {

// A process as the focus calls address it: two words, high then low.
struct ProcessSerialNumber {
    std::uint32_t high = 0;
    std::uint32_t low = 0;

    friend bool operator==(const ProcessSerialNumber&, const ProcessSerialNumber&) = default;
};

using EventRecord = std::array<std::uint8_t, 256>;

// The optional entry points, by the names they are looked up under, and their signatures.
namespace entrypoint {
inline constexpr std::string_view windowOfElement = "_AXUIElementGetWindow";
inline constexpr std::string_view processForPID = "GetProcessForPID";
inline constexpr std::string_view setFrontProcess = "_SLPSSetFrontProcessWithOptions";
inline constexpr std::string_view postEventRecord = "SLPSPostEventRecordTo";

// Writes the window-server number of a window element; success means it was written.
using WindowOfElement = AXStatus(const Element& element, std::uint32_t& number);
// Fills in the serial number of a process; 0 on success.
using ProcessForPID = std::int32_t(std::int32_t pid, ProcessSerialNumber& psn);
// Brings the process to the front with one of its windows; 0 on success.
using SetFrontProcess = std::int32_t(const ProcessSerialNumber& psn,
                                     std::uint32_t windowID,
                                     std::uint32_t options);
// Posts an event record to the process; 0 on success.
using PostEventRecord = std::int32_t(const ProcessSerialNumber& psn, const EventRecord& record);
}  // namespace entrypoint

// Something a loader found under a name. The caller asks for the signature it expects; an entry
// point of another signature counts as missing.
class EntryPoint {
public:
    virtual ~EntryPoint() = default;
};

template <typename Signature>
class FunctionEntryPoint final : public EntryPoint {
public:
    explicit FunctionEntryPoint(std::function<Signature> function)
        : m_function(std::move(function)) {}

    const std::function<Signature>& function() const { return m_function; }

private:
    std::function<Signature> m_function;
};

// Run-time lookup of optional entry points by name.
class EntryPointLoader {
public:
    virtual ~EntryPointLoader() = default;

    // Opens a library with lazy binding and keeps it open for the life of the process; false
    // when it cannot be opened.
    virtual bool openLibrary(std::string_view path) = 0;
    // Searches everything already loaded into the process; null when nothing has the name.
    virtual std::shared_ptr<const EntryPoint> findEntryPoint(std::string_view name) = 0;
};

// The entry point under the name when it has the expected signature.
template <typename Signature>
std::optional<std::function<Signature>> lookUp(EntryPointLoader& loader, std::string_view name) {
    auto found = loader.findEntryPoint(name);
    const auto* typed = dynamic_cast<const FunctionEntryPoint<Signature>*>(found.get());
    if (typed == nullptr || !typed->function()) {
        return std::nullopt;
    }
    return typed->function();
}

}  // namespace vorn::platform
