#include "AppIdentity.h"

#include "Text.h"

namespace vorn::platform::x11 {
namespace {

// A desktop file hint may carry the ".desktop" suffix or even a path.
std::string entryIDFromHint(std::string hint) {
    if (auto slash = hint.rfind('/'); slash != std::string::npos) {
        hint.erase(0, slash + 1);
    }
    if (hint.ends_with(".desktop")) {
        hint.resize(hint.size() - 8);
    }
    return hint;
}

}  // namespace

AppIdentity identify(const ClientWindow& window, DesktopEntryIndex& entries) {
    const DesktopEntry* entry = nullptr;
    for (const std::string* hint : {&window.gtkApplicationID, &window.kdeDesktopFile}) {
        if (entry == nullptr && !hint->empty()) {
            entry = entries.byID(entryIDFromHint(*hint));
        }
    }
    if (entry == nullptr && window.windowClass) {
        entry = entries.forClass(window.windowClass->windowClass, window.windowClass->instance);
    }
    AppIdentity identity;
    const std::string className = classKey(window.windowClass);
    if (entry != nullptr) {
        identity.bundleID = entry->id;
        identity.name = !entry->name.empty() ? entry->name : className;
    } else if (!className.empty()) {
        identity.bundleID = className;
        identity.name = className;
    }
    if (identity.name && identity.name->empty()) {
        identity.name.reset();
    }
    // A class is whatever the client wrote; the identifier lands in log lines and the state
    // file, so it is bounded there.
    for (std::optional<std::string>* text : {&identity.bundleID, &identity.name}) {
        if (*text) {
            text::cutToLength(**text, maxIdentifierBytes);
        }
    }
    return identity;
}

}  // namespace vorn::platform::x11
