#include "Models.h"

#include <algorithm>
#include <bit>

#include "Log.h"
#include "Text.h"

namespace vorn {

std::string WindowID::description() const {
    return "win#" + std::to_string(raw);
}

json::Value WindowID::toJSON() const {
    return json::Value{{"raw", raw}};
}

std::optional<WindowID> WindowID::fromJSON(const json::Value& value) {
    const auto raw = json::asUInt32(json::member(value, "raw"));
    if (!raw) {
        return std::nullopt;
    }
    return WindowID(*raw);
}

json::Value AppRef::toJSON() const {
    return json::Value{{"bundleId", bundleId}, {"name", name}};
}

std::optional<AppRef> AppRef::fromJSON(const json::Value& value) {
    auto bundleId = json::asString(json::member(value, "bundleId"));
    if (!bundleId) {
        return std::nullopt;
    }
    return AppRef{std::move(*bundleId), json::asString(json::member(value, "name")).value_or("")};
}

bool operator==(const AppRef& a, const AppRef& b) {
    return text::canonicallyEqual(a.bundleId, b.bundleId) && text::canonicallyEqual(a.name, b.name);
}

std::string_view rawValue(WindowState state) {
    return state == WindowState::normal ? "normal" : "minimized";
}

std::optional<WindowState> windowStateFromRaw(std::string_view raw) {
    if (raw == "normal") {
        return WindowState::normal;
    }
    if (raw == "minimized") {
        return WindowState::minimized;
    }
    return std::nullopt;
}

std::string_view rawValue(SidebarSide side) {
    return side == SidebarSide::left ? "left" : "right";
}

namespace {

Uuid uuidOrRandom(const json::Value* value) {
    if (const auto text = json::asString(value)) {
        if (const auto uuid = Uuid::parse(*text)) {
            return *uuid;
        }
    }
    return Uuid::random();
}

std::optional<Uuid> optionalUuid(const json::Value* value) {
    const auto text = json::asString(value);
    return text ? Uuid::parse(*text) : std::nullopt;
}

// Decodes a list element by element, dropping the ones that fail.
template <typename T, typename Decode>
std::vector<T> decodeEach(const json::Value* list, Decode decode, std::size_t& dropped) {
    std::vector<T> kept;
    dropped = 0;
    if (list == nullptr || !list->is_array()) {
        return kept;
    }
    kept.reserve(list->size());
    for (const auto& element : *list) {
        FailableDecodable<T> item{decode(element)};
        if (item.value) {
            kept.push_back(std::move(*item.value));
        } else {
            ++dropped;
        }
    }
    return kept;
}

}  // namespace

std::optional<SpaceTab> decodeSpaceTab(const json::Value& value) {
    if (!value.is_object()) {
        return std::nullopt;
    }
    const json::Value* appValue = json::member(value, "app");
    auto app = appValue ? AppRef::fromJSON(*appValue) : std::nullopt;
    if (!app) {
        return std::nullopt;
    }
    SpaceTab tab;
    tab.app = std::move(*app);
    tab.id = uuidOrRandom(json::member(value, "id"));
    tab.lastTitle = json::asString(json::member(value, "lastTitle")).value_or("");
    tab.order = json::asInt(json::member(value, "order")).value_or(0);
    tab.docPath = json::asString(json::member(value, "docPath"));
    if (const json::Value* bound = json::member(value, "boundWindowID")) {
        tab.boundWindowID = WindowID::fromJSON(*bound);
    }
    if (const auto expiry = json::asDouble(json::member(value, "claimExpiresAt"))) {
        tab.claimExpiresAt = Date(*expiry);
    }
    return tab;
}

std::optional<Space> decodeSpace(const json::Value& value) {
    if (!value.is_object()) {
        return std::nullopt;
    }
    Space space;
    space.id = uuidOrRandom(json::member(value, "id"));
    space.name = json::asString(json::member(value, "name")).value_or("Space");
    space.order = json::asInt(json::member(value, "order")).value_or(0);
    std::size_t dropped = 0;
    space.tabs = decodeEach<SpaceTab>(json::member(value, "tabs"), decodeSpaceTab, dropped);
    if (dropped > 0) {
        vornStoreLog().error("Space decode: dropped ", dropped, " corrupt tab(s), kept ",
                             space.tabs.size());
    }
    space.ambientCollapsed = json::asBool(json::member(value, "ambientCollapsed")).value_or(false);
    return space;
}

Settings decodeSettings(const json::Value* value) {
    Settings settings;
    if (value == nullptr || !value->is_object()) {
        return settings;
    }
    settings.sidebarWidth = json::asDouble(json::member(*value, "sidebarWidth"))
                                .value_or(Settings::defaultSidebarWidth);
    settings.side = json::asString(json::member(*value, "side")) == "right" ? SidebarSide::right
                                                                            : SidebarSide::left;
    const auto placement = json::asString(json::member(*value, "placement"));
    settings.placement = placementModeFromRaw(placement.value_or("")).value_or(PlacementMode::fill);
    return settings;
}

std::optional<AppState> decodeAppState(const json::Value& value) {
    if (!value.is_object()) {
        return std::nullopt;
    }
    AppState state;
    const auto version = json::asInt(json::member(value, "version"));
    state.version =
        version && *version >= INT32_MIN && *version <= INT32_MAX ? static_cast<int>(*version) : 1;
    std::size_t dropped = 0;
    state.spaces = decodeEach<Space>(json::member(value, "spaces"), decodeSpace, dropped);
    if (dropped > 0) {
        vornStoreLog().error("AppState decode: dropped ", dropped, " corrupt Space(s), kept ",
                             state.spaces.size());
    }
    state.activeSpaceId = optionalUuid(json::member(value, "activeSpaceId"));
    state.settings = decodeSettings(json::member(value, "settings"));
    state.sessionToken = json::asString(json::member(value, "sessionToken"));
    return state;
}

std::optional<AppState> decodeStateFile(std::string_view bytes) {
    const auto value = json::parse(bytes);
    if (!value) {
        return std::nullopt;
    }
    return decodeAppState(*value);
}

namespace {

json::Value encodeTab(const SpaceTab& tab) {
    json::Value out = json::Value::object();
    out["app"] = tab.app.toJSON();
    out["id"] = tab.id.string();
    out["lastTitle"] = tab.lastTitle;
    out["order"] = tab.order;
    if (tab.docPath) {
        out["docPath"] = *tab.docPath;
    }
    if (tab.boundWindowID) {
        out["boundWindowID"] = tab.boundWindowID->toJSON();
    }
    if (tab.claimExpiresAt) {
        out["claimExpiresAt"] = tab.claimExpiresAt->secondsSinceReference();
    }
    return out;
}

json::Value encodeSpace(const Space& space) {
    json::Value tabs = json::Value::array();
    for (const auto& tab : space.tabs) {
        tabs.push_back(encodeTab(tab));
    }
    return json::Value{{"ambientCollapsed", space.ambientCollapsed},
                       {"id", space.id.string()},
                       {"name", space.name},
                       {"order", space.order},
                       {"tabs", std::move(tabs)}};
}

}  // namespace

json::Value encodeAppState(const AppState& state) {
    json::Value spaces = json::Value::array();
    for (const auto& space : state.spaces) {
        spaces.push_back(encodeSpace(space));
    }
    json::Value out = json::Value::object();
    if (state.activeSpaceId) {
        out["activeSpaceId"] = state.activeSpaceId->string();
    }
    if (state.sessionToken) {
        out["sessionToken"] = *state.sessionToken;
    }
    out["settings"] = json::Value{{"placement", rawValue(state.settings.placement)},
                                  {"side", rawValue(state.settings.side)},
                                  {"sidebarWidth", state.settings.sidebarWidth}};
    out["spaces"] = std::move(spaces);
    out["version"] = state.version;
    return out;
}

std::optional<std::string> encodeStateFile(const AppState& state) {
    return json::writePretty(encodeAppState(state));
}

std::optional<std::string> encodeStateCompact(const AppState& state) {
    return json::writeCompact(encodeAppState(state));
}

namespace {

bool sameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool identical(const std::optional<Date>& a, const std::optional<Date>& b) {
    if (!a || !b) {
        return a.has_value() == b.has_value();
    }
    return sameBits(a->secondsSinceReference(), b->secondsSinceReference());
}

}  // namespace

bool identical(const SpaceTab& a, const SpaceTab& b) {
    return a.id == b.id && a.order == b.order && a.boundWindowID == b.boundWindowID
           && a.lastTitle == b.lastTitle && a.app.bundleId == b.app.bundleId
           && a.app.name == b.app.name && a.docPath == b.docPath
           && identical(a.claimExpiresAt, b.claimExpiresAt);
}

bool identical(const Space& a, const Space& b) {
    return a.id == b.id && a.order == b.order && a.ambientCollapsed == b.ambientCollapsed
           && a.name == b.name
           && std::equal(a.tabs.begin(), a.tabs.end(), b.tabs.begin(), b.tabs.end(),
                         [](const SpaceTab& x, const SpaceTab& y) { return identical(x, y); });
}

bool identical(const Settings& a, const Settings& b) {
    return sameBits(a.sidebarWidth, b.sidebarWidth) && a.side == b.side
           && a.placement == b.placement;
}

}  // namespace vorn

std::size_t std::hash<vorn::AppRef>::operator()(const vorn::AppRef& app) const noexcept {
    // Hash the composed forms so that canonically equal names hash alike.
    const std::size_t h = std::hash<std::string>()(vorn::text::nfc(app.bundleId));
    return h
           ^ (std::hash<std::string>()(vorn::text::nfc(app.name)) + 0x9e3779b97f4a7c15ULL + (h << 6)
              + (h >> 2));
}
