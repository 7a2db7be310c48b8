#include "DisplayHostReconciler.h"

namespace vorn {

std::string DisplayHostDecision::description() const {
    switch (m_kind) {
        case Kind::realign:
            return "realign(" + std::to_string(m_display) + ")";
        case Kind::autoAdopt:
            return "autoAdopt(" + std::to_string(m_display) + ")";
        case Kind::reselect: {
            std::string out = "reselect([";
            for (std::size_t i = 0; i < m_displays.size(); ++i) {
                out += (i == 0 ? "" : ", ") + std::to_string(m_displays[i]);
            }
            return out + "])";
        }
        case Kind::wait:
            return "wait";
    }
    return "wait";
}

DisplayHostDecision DisplayHostReconciler::reconcile(const std::string& hostKey,
                                                     std::uint32_t hostDisplayID,
                                                     const std::vector<DisplaySnapshot>& displays) {
    if (!hostKey.empty()) {
        const DisplaySnapshot* firstMatch = nullptr;
        for (const auto& display : displays) {
            if (display.key != hostKey) {
                continue;
            }
            // Two identical monitors can report one key; the host's own number tells them apart.
            if (display.id == hostDisplayID) {
                return DisplayHostDecision::realign(hostDisplayID);
            }
            if (firstMatch == nullptr) {
                firstMatch = &display;
            }
        }
        if (firstMatch != nullptr) {
            return DisplayHostDecision::realign(firstMatch->id);
        }
    }
    for (const auto& display : displays) {
        if (display.id == hostDisplayID) {
            // A number is trusted only when no key can contradict it.
            if (hostKey.empty() || display.key.empty()) {
                return DisplayHostDecision::realign(hostDisplayID);
            }
            break;
        }
    }
    if (displays.size() == 1) {
        return DisplayHostDecision::autoAdopt(displays.front().id);
    }
    if (displays.empty()) {
        return DisplayHostDecision::wait();
    }
    std::vector<std::uint32_t> ids;
    ids.reserve(displays.size());
    for (const auto& display : displays) {
        ids.push_back(display.id);
    }
    return DisplayHostDecision::reselect(std::move(ids));
}

}  // namespace vorn
