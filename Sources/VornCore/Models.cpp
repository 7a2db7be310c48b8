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

// A key that is there, not null, and still could not be read: its value is lost on saving.
void noteUnread(const json::Value* value, bool read, DecodeReport* report) {
    if (!read && value != nullptr && !value->is_null() && report != nullptr) {
        ++report->wrongTypes;
    }
}

// Every text of the file is bounded: a saved title of megabytes would be compared and
// normalised on every refresh, and an identifier of megabytes looked up and written back.
void bound(std::string& text, std::size_t longest, DecodeReport* report) {
    if (text::cutToLength(text, longest) && report != nullptr) {
        ++report->cutTexts;
    }
}

std::optional<std::string> readText(const json::Value* value, DecodeReport* report) {
    auto text = json::asString(value);
    noteUnread(value, text.has_value(), report);
    if (text) {
        bound(*text, text::longestKeptText, report);
    }
    return text;
}

std::optional<std::int64_t> readInt(const json::Value* value, DecodeReport* report) {
    const auto number = json::asInt(value);
    noteUnread(value, number.has_value(), report);
    return number;
}

std::optional<Uuid> readUuid(const json::Value* value, DecodeReport* report) {
    const auto text = json::asString(value);
    auto uuid = text ? Uuid::parse(*text) : std::nullopt;
    noteUnread(value, uuid.has_value(), report);
    return uuid;
}

Uuid uuidOrRandom(const std::optional<Uuid>& uuid) {
    return uuid ? *uuid : Uuid::random();
}

// Decodes a list element by element, dropping the ones that fail.
template <typename T, typename Decode>
std::vector<T> decodeEach(const json::Value* list,
                          Decode decode,
                          std::size_t& dropped,
                          DecodeReport* report) {
    std::vector<T> kept;
    dropped = 0;
    if (list == nullptr || !list->is_array()) {
        noteUnread(list, false, report);
        return kept;
    }
    kept.reserve(list->size());
    for (const auto& element : *list) {
        FailableDecodable<T> item{decode(element, report)};
        if (item.value) {
            kept.push_back(std::move(*item.value));
        } else {
            ++dropped;
        }
    }
    return kept;
}

}  // namespace

std::optional<SpaceTab> decodeSpaceTab(const json::Value& value, DecodeReport* report) {
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
    // No window's identifier is longer, so a longer one could never match a window.
    bound(tab.app.bundleId, text::longestKeptIdentifier, report);
    tab.app.name = readText(json::member(*appValue, "name"), report).value_or("");
    tab.id = uuidOrRandom(readUuid(json::member(value, "id"), report));
    tab.lastTitle = readText(json::member(value, "lastTitle"), report).value_or("");
    tab.order = readInt(json::member(value, "order"), report).value_or(0);
    tab.docPath = readText(json::member(value, "docPath"), report);
    if (const json::Value* bound = json::member(value, "boundWindowID")) {
        tab.boundWindowID = WindowID::fromJSON(*bound);
        noteUnread(bound, tab.boundWindowID.has_value(), report);
    }
    const json::Value* expiry = json::member(value, "claimExpiresAt");
    if (const auto seconds = json::asDouble(expiry)) {
        tab.claimExpiresAt = Date(*seconds);
    } else {
        noteUnread(expiry, false, report);
    }
    return tab;
}

std::optional<Space> decodeSpace(const json::Value& value, DecodeReport* report) {
    if (!value.is_object()) {
        return std::nullopt;
    }
    Space space;
    space.id = uuidOrRandom(readUuid(json::member(value, "id"), report));
    space.name = readText(json::member(value, "name"), report).value_or("Space");
    space.order = readInt(json::member(value, "order"), report).value_or(0);
    std::size_t dropped = 0;
    space.tabs = decodeEach<SpaceTab>(json::member(value, "tabs"), decodeSpaceTab, dropped, report);
    if (dropped > 0) {
        vornStoreLog().error("Space decode: dropped ", dropped, " corrupt tab(s), kept ",
                             space.tabs.size());
        if (report != nullptr) {
            report->droppedTabs += dropped;
        }
    }
    const json::Value* collapsed = json::member(value, "ambientCollapsed");
    const auto ambientCollapsed = json::asBool(collapsed);
    noteUnread(collapsed, ambientCollapsed.has_value(), report);
    space.ambientCollapsed = ambientCollapsed.value_or(false);
    return space;
}

Settings decodeSettings(const json::Value* value, DecodeReport* report) {
    Settings settings;
    if (value == nullptr || !value->is_object()) {
        noteUnread(value, false, report);
        return settings;
    }
    const json::Value* width = json::member(*value, "sidebarWidth");
    const auto sidebarWidth = json::asDouble(width);
    noteUnread(width, sidebarWidth.has_value(), report);
    settings.sidebarWidth = sidebarWidth.value_or(Settings::defaultSidebarWidth);

    const json::Value* sideValue = json::member(*value, "side");
    const auto side = json::asString(sideValue);
    noteUnread(sideValue, side == "left" || side == "right", report);
    settings.side = side == "right" ? SidebarSide::right : SidebarSide::left;

    const json::Value* placementValue = json::member(*value, "placement");
    const auto placement = placementModeFromRaw(json::asString(placementValue).value_or(""));
    noteUnread(placementValue, placement.has_value(), report);
    settings.placement = placement.value_or(PlacementMode::fill);
    return settings;
}

std::optional<AppState> decodeAppState(const json::Value& value, DecodeReport* report) {
    if (!value.is_object()) {
        return std::nullopt;
    }
    AppState state;
    const json::Value* versionValue = json::member(value, "version");
    auto version = json::asInt(versionValue);
    if (version && (*version < INT32_MIN || *version > INT32_MAX)) {
        version.reset();
    }
    noteUnread(versionValue, version.has_value(), report);
    state.version = version ? static_cast<int>(*version) : 1;
    if (state.version > AppState::currentVersion) {
        vornStoreLog().error("AppState decode: version ", state.version,
                             " is newer than this build writes (", AppState::currentVersion,
                             "); what it does not know is left out");
        if (report != nullptr) {
            report->newerVersion = true;
        }
    }
    std::size_t dropped = 0;
    state.spaces = decodeEach<Space>(json::member(value, "spaces"), decodeSpace, dropped, report);
    if (dropped > 0) {
        vornStoreLog().error("AppState decode: dropped ", dropped, " corrupt Space(s), kept ",
                             state.spaces.size());
        if (report != nullptr) {
            report->droppedSpaces += dropped;
        }
    }
    state.activeSpaceId = readUuid(json::member(value, "activeSpaceId"), report);
    state.settings = decodeSettings(json::member(value, "settings"), report);
    state.sessionToken = readText(json::member(value, "sessionToken"), report);
    return state;
}

std::optional<AppState> decodeStateFile(std::string_view bytes, DecodeReport* report) {
    DecodeReport local;
    DecodeReport& found = report != nullptr ? *report : local;
    found = {};
    json::ParseOptions options;
    options.repairText = true;
    json::ParseReport parsed;
    const auto value = json::parse(bytes, options, &parsed);
    if (!value) {
        return std::nullopt;
    }
    found.repairedText = parsed.repairedText;
    found.duplicateKeys = parsed.duplicateKeys;
    auto state = decodeAppState(*value, &found);
    if (!state) {
        return std::nullopt;
    }
    if (found.repairedText) {
        vornStoreLog().error("AppState decode: invalid UTF-8 or lone surrogates read as U+FFFD");
    }
    if (found.duplicateKeys) {
        vornStoreLog().error("AppState decode: an object holds a key twice, the last value taken");
    }
    if (found.cutTexts > 0) {
        vornStoreLog().error("AppState decode: cut ", found.cutTexts,
                             " text(s) to the longest kept (", text::longestKeptText,
                             " bytes, identifiers ", text::longestKeptIdentifier, ")");
    }
    return state;
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

json::Value encodeSettings(const Settings& settings) {
    return json::Value{{"placement", rawValue(settings.placement)},
                       {"side", rawValue(settings.side)},
                       {"sidebarWidth", settings.sidebarWidth}};
}

// A space's members but its tabs.
json::Value encodeSpaceFields(const Space& space) {
    return json::Value{{"ambientCollapsed", space.ambientCollapsed},
                       {"id", space.id.string()},
                       {"name", space.name},
                       {"order", space.order}};
}

// The state's members but its spaces.
json::Value encodeStateFields(const AppState& state) {
    json::Value out = json::Value::object();
    if (state.activeSpaceId) {
        out["activeSpaceId"] = state.activeSpaceId->string();
    }
    if (state.sessionToken) {
        out["sessionToken"] = *state.sessionToken;
    }
    out["settings"] = encodeSettings(state.settings);
    out["version"] = state.version;
    return out;
}

// Writes an object of the members of `fields` and, in its place in key order, the member `key`
// whose value `writeValue` writes. False when a value cannot be expressed.
template <typename WriteValue>
bool emitObject(json::Emitter& out,
                const json::Value& fields,
                const std::string& key,
                WriteValue writeValue) {
    bool expressible = true;
    bool written = false;
    const auto writeKeyed = [&] {
        out.key(key);
        expressible = writeValue() && expressible;
        written = true;
    };
    out.beginObject();
    for (const auto& [name, value] : fields.items()) {
        if (!written && key < name) {
            writeKeyed();
        }
        out.key(name);
        expressible = out.value(value) && expressible;
    }
    if (!written) {
        writeKeyed();
    }
    out.endObject();
    return expressible;
}

}  // namespace

json::Value encodeAppState(const AppState& state) {
    json::Value spaces = json::Value::array();
    for (const auto& space : state.spaces) {
        json::Value tabs = json::Value::array();
        for (const auto& tab : space.tabs) {
            tabs.push_back(encodeTab(tab));
        }
        spaces.push_back(encodeSpaceFields(space));
        spaces.back()["tabs"] = std::move(tabs);
    }
    json::Value out = encodeStateFields(state);
    out["spaces"] = std::move(spaces);
    return out;
}

std::optional<std::string> encodeStateFile(const AppState& state) {
    // The text of encodeAppState, written tab by tab: a state of many tabs is never held as one
    // tree besides its text.
    json::Emitter out;
    const bool expressible = emitObject(out, encodeStateFields(state), "spaces", [&] {
        bool spacesExpressible = true;
        out.beginArray();
        for (const auto& space : state.spaces) {
            spacesExpressible = emitObject(out, encodeSpaceFields(space), "tabs",
                                           [&] {
                                               bool tabsExpressible = true;
                                               out.beginArray();
                                               for (const auto& tab : space.tabs) {
                                                   tabsExpressible =
                                                       out.value(encodeTab(tab)) && tabsExpressible;
                                               }
                                               out.endArray();
                                               return tabsExpressible;
                                           })
                                && spacesExpressible;
        }
        out.endArray();
        return spacesExpressible;
    });
    if (!expressible) {
        return std::nullopt;
    }
    return out.take();
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

bool identical(const WindowInfo& a, const WindowInfo& b) {
    return a.windowID == b.windowID && a.frame == b.frame && a.state == b.state
           && a.title == b.title && a.app.bundleId == b.app.bundleId && a.app.name == b.app.name
           && a.docPath == b.docPath;
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
