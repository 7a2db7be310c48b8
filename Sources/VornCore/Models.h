#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Date.h"
#include "Geometry.h"
#include "JSON.h"
#include "PlacementEngine.h"
#include "Uuid.h"

namespace vorn {

// The window server's number of a window, unique among the windows that exist at one time.
struct WindowID {
    std::uint32_t raw = 0;

    WindowID() = default;
    constexpr explicit WindowID(std::uint32_t number)
        : raw(number) {}

    // "win#" and the number, as logs write it.
    std::string description() const;

    json::Value toJSON() const;
    // Needs "raw" as a number from 0 to 4294967295.
    static std::optional<WindowID> fromJSON(const json::Value& value);

    friend bool operator==(const WindowID&, const WindowID&) = default;
    friend auto operator<=>(const WindowID&, const WindowID&) = default;
};

// An application: its bundle identifier ("pid:" and the process number when it has none) and
// its display name. Matching uses the bundle identifier alone; equality uses both.
struct AppRef {
    std::string bundleId;
    std::string name;

    json::Value toJSON() const;
    // Needs a "bundleId" string; a missing or wrongly typed "name" reads as "".
    static std::optional<AppRef> fromJSON(const json::Value& value);

    // Case-sensitive, under Unicode canonical equivalence.
    friend bool operator==(const AppRef& a, const AppRef& b);
};

enum class WindowState {
    normal,
    minimized
};

std::string_view rawValue(WindowState state);
std::optional<WindowState> windowStateFromRaw(std::string_view raw);

// One live window as the window layer reports it. Never saved.
struct WindowInfo {
    WindowID windowID;
    AppRef app;
    std::string title;
    Rect frame;  // bottom-left coordinates
    WindowState state = WindowState::normal;
    std::optional<std::string> docPath;

    WindowID id() const { return windowID; }
    // The title, or the application's name when the title is empty.
    const std::string& displayTitle() const { return title.empty() ? app.name : title; }

    friend bool operator==(const WindowInfo&, const WindowInfo&) = default;
};

// One tab of a space. A tab with a claim expiry is a claimed ("Recent") tab; without one it is
// pinned.
struct SpaceTab {
    Uuid id;
    AppRef app;
    std::string lastTitle;
    std::int64_t order = 0;
    std::optional<std::string> docPath;
    std::optional<WindowID> boundWindowID;
    std::optional<Date> claimExpiresAt;

    bool isClaimed() const { return claimExpiresAt.has_value(); }
    const std::string& displayTitle() const { return lastTitle.empty() ? app.name : lastTitle; }

    friend bool operator==(const SpaceTab&, const SpaceTab&) = default;
};

struct Space {
    Uuid id;
    std::string name;
    std::int64_t order = 0;
    std::vector<SpaceTab> tabs;
    bool ambientCollapsed = false;

    friend bool operator==(const Space&, const Space&) = default;
};

enum class SidebarSide {
    left,
    right
};

std::string_view rawValue(SidebarSide side);

struct Settings {
    static constexpr double defaultSidebarWidth = 160;

    double sidebarWidth = defaultSidebarWidth;
    SidebarSide side = SidebarSide::left;
    PlacementMode placement = PlacementMode::fill;

    friend bool operator==(const Settings&, const Settings&) = default;
};

// The root of the state file.
struct AppState {
    static constexpr int currentVersion = 2;

    int version = currentVersion;
    std::vector<Space> spaces;
    std::optional<Uuid> activeSpaceId;
    Settings settings;
    std::optional<std::string> sessionToken;

    friend bool operator==(const AppState&, const AppState&) = default;
};

// Decodes one element on its own: a failure keeps no value instead of failing the list.
template <typename T>
struct FailableDecodable {
    std::optional<T> value;
};

// What a decode had to leave out or change: anything that saving the decoded state would lose
// of the file as it stands.
struct DecodeReport {
    std::size_t droppedSpaces = 0;
    std::size_t droppedTabs = 0;
    // Keys present with a value of the wrong type, which fell back to their defaults.
    std::size_t wrongTypes = 0;
    // Texts longer than text::longestKeptText, and identifiers longer than
    // text::longestKeptIdentifier, cut.
    std::size_t cutTexts = 0;
    // Invalid UTF-8 or escapes of lone surrogates, read as U+FFFD.
    bool repairedText = false;
    // An object with a key twice; the last value was taken.
    bool duplicateKeys = false;
    // A "version" newer than this build writes.
    bool newerVersion = false;

    bool degraded() const {
        return droppedSpaces > 0 || droppedTabs > 0 || wrongTypes > 0 || cutTexts > 0
               || repairedText || duplicateKeys || newerVersion;
    }
};

// The lenient decoders of the state file. Each gives no value only where the unit itself is
// unusable: a top level or space that is not an object, a tab without a valid "app". What they
// leave out or change is added to the report when one is given.
std::optional<SpaceTab> decodeSpaceTab(const json::Value& value, DecodeReport* report = nullptr);
std::optional<Space> decodeSpace(const json::Value& value, DecodeReport* report = nullptr);
Settings decodeSettings(const json::Value* value, DecodeReport* report = nullptr);
std::optional<AppState> decodeAppState(const json::Value& value, DecodeReport* report = nullptr);

// The state file's bytes, decoded; no value when they are not JSON or not an object. Invalid
// UTF-8 and lone surrogate escapes are read as U+FFFD; overlong texts and identifiers are cut
// (logged once).
std::optional<AppState> decodeStateFile(std::string_view bytes, DecodeReport* report = nullptr);

json::Value encodeAppState(const AppState& state);

// The file form: encodeAppState pretty-printed with sorted keys. No value only for a non-finite
// number.
std::optional<std::string> encodeStateFile(const AppState& state);

// Whether the two are the same to the last byte and bit (texts byte for byte, numbers bit for
// bit), and therefore encode the same; found without encoding them. Canonically equivalent
// texts are not identical.
bool identical(const SpaceTab& a, const SpaceTab& b);
bool identical(const Space& a, const Space& b);
bool identical(const Settings& a, const Settings& b);
bool identical(const WindowInfo& a, const WindowInfo& b);

}  // namespace vorn

template <>
struct std::hash<vorn::WindowID> {
    std::size_t operator()(const vorn::WindowID& id) const noexcept {
        return std::hash<std::uint32_t>()(id.raw);
    }
};

template <>
struct std::hash<vorn::AppRef> {
    std::size_t operator()(const vorn::AppRef& app) const noexcept;
};
