#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::platform::x11 {

// One application that registered a file in the recently-used list.
struct RecentApplication {
    std::string name;
    // As the list stores it: a command line, usually quoted as a whole ("'mousepad %u'").
    std::string exec;
    // When this application last registered the file, in microseconds since 1970.
    std::optional<std::int64_t> modified;

    friend bool operator==(const RecentApplication&, const RecentApplication&) = default;
};

// One local file of the recently-used list.
struct RecentFile {
    // Absolute, decoded from the entry's file URL.
    std::string path;
    // The latest of the entry's added, modified and visited times, in microseconds since 1970.
    std::int64_t used = 0;
    std::vector<RecentApplication> applications;

    friend bool operator==(const RecentFile&, const RecentFile&) = default;
};

// A time of the list ("2024-05-01T10:20:30.123456Z", or with an offset instead of Z) in
// microseconds since 1970; no value when it does not read as one.
std::optional<std::int64_t> parseBookmarkTime(std::string_view text);

// Reads the Desktop Bookmark format (the XBEL dialect of recently-used.xbel) piece by piece, so
// that a long list can be read a little at a time. Entries that name no local file are left
// out. Entity declarations are refused: the format has none, and they are the way to make a
// small file expand without bounds.
class RecentlyUsedReader {
public:
    RecentlyUsedReader();
    ~RecentlyUsedReader();
    RecentlyUsedReader(const RecentlyUsedReader&) = delete;
    RecentlyUsedReader& operator=(const RecentlyUsedReader&) = delete;

    // Reads the next piece of the text; false once it is malformed.
    bool feed(std::string_view bytes);
    // Ends the text: its files in the order they stand, or no value when it is malformed or no
    // bookmark file.
    std::optional<std::vector<RecentFile>> finish();
    // Why the text was refused, for the log.
    const std::string& error() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The whole text at once; the reason for a refusal goes to error when it is given.
std::optional<std::vector<RecentFile>> parseRecentlyUsed(std::string_view text,
                                                         std::string* error = nullptr);

}  // namespace vorn::platform::x11
