#include "WindowEnumerator.h"

#include "Log.h"
#include "PlatformReads.h"

namespace vorn {
namespace {

using platform::Value;
namespace key = platform::windowkey;

// The list as an array of dictionaries, or nothing: one entry of another kind spoils it all.
std::optional<Value> readWindowList(platform::WindowServer& server, std::uint32_t options) {
    std::optional<Value> list = server.copyWindowList(options, 0);
    if (!list) {
        return std::nullopt;
    }
    const Value::Array* entries = list->asArray();
    if (entries == nullptr) {
        vornWMLog().debug("window list unusable: not an array kind=", kindName(list->kind()));
        return std::nullopt;
    }
    for (const Value& entry : *entries) {
        if (entry.asDictionary() == nullptr) {
            vornWMLog().debug("window list unusable: entry not a dictionary kind=",
                              kindName(entry.kind()));
            return std::nullopt;
        }
    }
    return list;
}

std::optional<std::uint32_t> windowNumber(const Value& entry) {
    const Value* number = entry.member(key::number);
    return number != nullptr ? number->asUInt32() : std::nullopt;
}

std::optional<std::int32_t> ownerOf(const Value& entry) {
    const Value* owner = entry.member(key::ownerPID);
    return owner != nullptr ? owner->asInt32() : std::nullopt;
}

}  // namespace

std::optional<std::vector<EnumeratedWindow>> WindowEnumerator::currentScreenWindows(
    platform::WindowServer& server, std::int32_t excludingPID) {
    auto list = readWindowList(
        server, platform::windowlist::onScreenOnly | platform::windowlist::excludeDesktopElements);
    if (!list) {
        return std::nullopt;
    }
    std::vector<EnumeratedWindow> windows;
    for (const Value& entry : *list->asArray()) {
        const Value* layer = entry.member(key::layer);
        if (layer == nullptr || layer->asInt64() != 0) {
            continue;
        }
        const auto owner = ownerOf(entry);
        if (!owner || *owner == excludingPID) {
            continue;
        }
        const auto number = windowNumber(entry);
        if (!number) {
            continue;
        }
        const Value* boundsValue = entry.member(key::bounds);
        if (boundsValue == nullptr || boundsValue->asDictionary() == nullptr) {
            continue;
        }
        const auto bounds = rectFromDictionary(*boundsValue);
        if (!bounds) {
            vornWMLog().debug("window list entry dropped: bounds unusable win=", *number);
            continue;
        }
        if (!(bounds->width() >= minimumSide && bounds->height() >= minimumSide)) {
            continue;
        }
        if (const Value* alpha = entry.member(key::alpha)) {
            if (auto value = alpha->asDouble(); value && *value < minimumAlpha) {
                continue;
            }
        }
        std::string ownerName;
        if (const Value* name = entry.member(key::ownerName)) {
            if (const std::string* text = name->asString()) {
                ownerName = *text;
            }
        }
        windows.push_back({*number, *owner, std::move(ownerName), *bounds});
    }
    return windows;
}

std::optional<std::set<std::uint32_t>> WindowEnumerator::allWindowIDs(
    platform::WindowServer& server) {
    auto list = readWindowList(server, platform::windowlist::excludeDesktopElements);
    if (!list) {
        return std::nullopt;
    }
    std::set<std::uint32_t> ids;
    for (const Value& entry : *list->asArray()) {
        if (auto number = windowNumber(entry)) {
            ids.insert(*number);
        }
    }
    return ids;
}

std::optional<std::int32_t> WindowEnumerator::ownerPID(platform::WindowServer& server,
                                                       std::uint32_t ofWindow) {
    auto list = readWindowList(server, platform::windowlist::excludeDesktopElements);
    if (!list) {
        return std::nullopt;
    }
    for (const Value& entry : *list->asArray()) {
        if (windowNumber(entry) == ofWindow) {
            return ownerOf(entry);
        }
    }
    return std::nullopt;
}

}  // namespace vorn
