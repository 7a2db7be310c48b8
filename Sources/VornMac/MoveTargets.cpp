#include "MoveTargets.h"

namespace vorn {

std::vector<MoveTarget> MoveTargets::targets(const std::vector<DisplayForMove>& displays,
                                             std::uint32_t currentHost) {
    std::vector<MoveTarget> result;
    if (displays.size() < 2) {
        return result;
    }
    result.reserve(displays.size());
    for (const auto& display : displays) {
        result.push_back({display.id, display.name, display.id == currentHost});
    }
    return result;
}

bool MoveTargets::canMove(std::uint32_t to,
                          std::uint32_t from,
                          const std::set<std::uint32_t>& connected) {
    if (to == from || connected.empty()) {
        return false;
    }
    return connected.contains(to);
}

}  // namespace vorn
