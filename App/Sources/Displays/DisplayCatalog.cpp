#include "DisplayCatalog.h"

#include "DisplayUtil.h"
#include "SafeNumbers.h"

namespace vorn::app {
namespace {

constexpr std::uint32_t unknownNumber = 0xFFFFFFFF;

// A display that reports no EDID, or one of zeros that reads back as unknown numbers.
bool isKnown(const std::optional<platform::DisplayIdentity>& identity) {
    return identity
           && !(identity->vendor == unknownNumber && identity->model == unknownNumber
                && identity->serial == 0);
}

}  // namespace

DisplayCatalog::DisplayCatalog(platform::Screens& screens, platform::WindowServer& server)
    : m_screens(screens)
    , m_server(server) {}

std::vector<NumberedScreen> DisplayCatalog::numberedScreens() const {
    std::vector<NumberedScreen> out;
    for (auto& screen : m_screens.screens()) {
        if (const auto id = DisplayUtil::displayNumber(screen)) {
            out.push_back({*id, std::move(screen)});
        }
    }
    return out;
}

std::vector<DisplayOption> DisplayCatalog::options() const {
    std::optional<std::uint32_t> mainID;
    if (const auto main = m_screens.mainScreen()) {
        mainID = DisplayUtil::displayNumber(*main);
    }
    std::vector<DisplayOption> out;
    for (const auto& [id, screen] : numberedScreens()) {
        out.push_back({id, screen.localizedName, truncatedInt(screen.frame.width()),
                       truncatedInt(screen.frame.height()), mainID == id});
    }
    return out;
}

std::string DisplayCatalog::stableKey(std::uint32_t displayID) const {
    if (auto uuid = m_server.displayUUID(displayID)) {
        return std::move(*uuid);
    }
    const auto identity = m_server.displayIdentity(displayID);
    // The names cost round trips to the X server; they count only without an identity.
    if (isKnown(identity)) {
        return stableKey(std::nullopt, identity, std::nullopt);
    }
    return stableKey(std::nullopt, identity, m_server.displayNames(displayID));
}

std::string DisplayCatalog::stableKey(const std::optional<std::string>& uuid,
                                      const std::optional<platform::DisplayIdentity>& identity,
                                      const std::optional<platform::DisplayNames>& names) {
    if (uuid) {
        return *uuid;
    }
    if (!isKnown(identity)) {
        if (names && !names->connector.empty()) {
            return "output:" + names->connector;
        }
        if (names && !names->monitor.empty()) {
            return "monitor:" + names->monitor;
        }
        return {};
    }
    std::string key = "vms:";
    key += std::to_string(identity->vendor);
    key += ':';
    key += std::to_string(identity->model);
    key += ':';
    key += std::to_string(identity->serial);
    return key;
}

std::optional<platform::Screen> DisplayCatalog::screen(std::uint32_t displayID) const {
    for (auto& numbered : numberedScreens()) {
        if (numbered.id == displayID) {
            return std::move(numbered.screen);
        }
    }
    return std::nullopt;
}

std::vector<DisplaySnapshot> DisplayCatalog::snapshots() const {
    std::vector<DisplaySnapshot> out;
    for (const auto& numbered : numberedScreens()) {
        out.push_back({numbered.id, stableKey(numbered.id)});
    }
    return out;
}

std::optional<std::uint32_t> DisplayCatalog::mainDisplayID() const {
    if (const auto main = m_screens.mainScreen()) {
        if (const auto id = DisplayUtil::displayNumber(*main)) {
            return id;
        }
    }
    const auto active = DisplayUtil::activeDisplayIDs(m_server);
    if (!active.empty()) {
        return active.front();
    }
    return std::nullopt;
}

}  // namespace vorn::app
