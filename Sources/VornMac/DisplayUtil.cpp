#include "DisplayUtil.h"

#include <algorithm>

#include "Log.h"
#include "PlatformReads.h"

namespace vorn {

std::vector<std::uint32_t> DisplayUtil::activeDisplayIDs(platform::WindowServer& server) {
    const platform::DisplayListReply counted = server.getActiveDisplayList({});
    if (counted.error != 0 || counted.count == 0) {
        return {};
    }
    if (counted.count > maxDisplays) {
        vornWMLog().error("display list ignored: absurd count=", counted.count);
        return {};
    }
    std::vector<std::uint32_t> buffer(counted.count, 0);
    const platform::DisplayListReply filled = server.getActiveDisplayList(buffer);
    if (filled.error != 0) {
        return {};
    }
    // Displays can go away between the two questions.
    buffer.resize(std::min<std::size_t>(filled.count, buffer.size()));
    return buffer;
}

std::optional<std::uint32_t> DisplayUtil::displayNumber(const platform::Screen& screen) {
    const platform::Value* number =
        screen.deviceDescription.member(platform::screenkey::screenNumber);
    return number != nullptr ? number->asUInt32() : std::nullopt;
}

std::optional<platform::Screen> DisplayUtil::nsScreen(platform::Screens& screens,
                                                      std::uint32_t displayID) {
    for (auto& screen : screens.screens()) {
        if (displayNumber(screen) != displayID) {
            continue;
        }
        if (!isPlausible(screen.frame) || !isPlausible(screen.visibleFrame)) {
            vornWMLog().debug("screen passed over: geometry not plausible display=", displayID);
            continue;
        }
        return std::move(screen);
    }
    return std::nullopt;
}

}  // namespace vorn
