#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace vorn {

// A connected display as the application describes it.
struct DisplayForMove {
    std::uint32_t id = 0;
    std::string name;
    bool isMain = false;

    friend bool operator==(const DisplayForMove&, const DisplayForMove&) = default;
};

// One entry of the move-to-display menu.
struct MoveTarget {
    std::uint32_t id = 0;
    std::string name;
    bool isCurrent = false;

    friend bool operator==(const MoveTarget&, const MoveTarget&) = default;
};

class MoveTargets {
public:
    MoveTargets() = delete;

    // One entry per display in the given order; none with fewer than two displays.
    static std::vector<MoveTarget> targets(const std::vector<DisplayForMove>& displays,
                                           std::uint32_t currentHost);
    // Whether the sidebar may move to a connected display other than its own.
    static bool canMove(std::uint32_t to,
                        std::uint32_t from,
                        const std::set<std::uint32_t>& connected);
};

}  // namespace vorn
