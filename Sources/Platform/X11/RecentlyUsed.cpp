#include "RecentlyUsed.h"

#include <chrono>
#include <climits>
#include <cstring>

#include "DocumentURL.h"
#include "Text.h"

#include <expat.h>

namespace vorn::platform::x11 {
namespace {

// Expat names elements of a namespace by its URI, this separator and the local name.
constexpr char nameSeparator = ' ';
constexpr std::string_view applicationElement =
    "http://www.freedesktop.org/standards/desktop-bookmarks application";

const char* attribute(const XML_Char** attributes, std::string_view name) {
    for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
        if (name == a[0]) {
            return a[1];
        }
    }
    return nullptr;
}

std::optional<std::int64_t> timeAttribute(const XML_Char** attributes, std::string_view name) {
    const char* value = attribute(attributes, name);
    return value != nullptr ? parseBookmarkTime(value) : std::nullopt;
}

}  // namespace

std::optional<std::int64_t> parseBookmarkTime(std::string_view text) {
    const auto year = text::decimalValue(text, 0, 4);
    const auto month = text::decimalValue(text, 5, 2);
    const auto day = text::decimalValue(text, 8, 2);
    const auto hour = text::decimalValue(text, 11, 2);
    const auto minute = text::decimalValue(text, 14, 2);
    const auto second = text::decimalValue(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || text[4] != '-' || text[7] != '-'
        || (text[10] != 'T' && text[10] != 't') || text[13] != ':' || text[16] != ':' || *hour > 23
        || *minute > 59 || *second > 60) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok()) {
        return std::nullopt;
    }
    std::size_t at = 19;
    std::int64_t micros = 0;
    if (at < text.size() && text[at] == '.') {
        ++at;
        std::int64_t scale = 100000;
        const std::size_t first = at;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
            micros += (text[at] - '0') * scale;
            scale /= 10;
        }
        if (at == first) {
            return std::nullopt;
        }
    }
    std::int64_t offsetSeconds = 0;
    const std::string_view zone = text.substr(at);
    if (zone == "Z" || zone == "z" || zone.empty()) {
        // GLib writes UTC; a time without a zone is taken as UTC as well.
    } else if (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':') {
        const auto h = text::decimalValue(zone, 1, 2);
        const auto m = text::decimalValue(zone, 4, 2);
        if (!h || !m || *h > 23 || *m > 59) {
            return std::nullopt;
        }
        offsetSeconds = (zone[0] == '+' ? 1 : -1) * (*h * 3600 + *m * 60);
    } else {
        return std::nullopt;
    }
    const std::int64_t days = std::chrono::sys_days(date).time_since_epoch().count();
    const std::int64_t seconds =
        days * 86400 + *hour * 3600 + *minute * 60 + *second - offsetSeconds;
    return seconds * 1000000 + micros;
}

struct RecentlyUsedReader::State {
    XML_Parser parser = nullptr;
    int depth = 0;
    bool sawRoot = false;
    bool failed = false;
    std::string error;
    // The file being read, while inside a bookmark that names a local file.
    std::optional<RecentFile> current;
    int currentDepth = 0;
    std::vector<RecentFile> files;

    void fail(std::string reason) {
        if (!failed) {
            failed = true;
            error = std::move(reason);
        }
        XML_StopParser(parser, XML_FALSE);
    }

    void start(std::string_view name, const XML_Char** attributes) {
        ++depth;
        if (depth == 1) {
            sawRoot = name == "xbel";
            if (!sawRoot) {
                fail("not a bookmark file");
            }
            return;
        }
        if (name == "bookmark") {
            current.reset();
            const char* href = attribute(attributes, "href");
            if (href == nullptr || std::strncmp(href, "file:", 5) != 0) {
                return;
            }
            auto path = localDocumentPath(href);
            if (!path) {
                return;
            }
            RecentFile file;
            file.path = std::move(*path);
            for (const char* stamp : {"added", "modified", "visited"}) {
                file.used = std::max(file.used, timeAttribute(attributes, stamp).value_or(0));
            }
            current = std::move(file);
            currentDepth = depth;
            return;
        }
        if (current && name == applicationElement) {
            RecentApplication application;
            const char* appName = attribute(attributes, "name");
            const char* exec = attribute(attributes, "exec");
            application.name = appName != nullptr ? appName : "";
            application.exec = exec != nullptr ? exec : "";
            application.modified = timeAttribute(attributes, "modified");
            current->applications.push_back(std::move(application));
        }
    }

    void end() {
        if (current && depth == currentDepth) {
            files.push_back(std::move(*current));
            current.reset();
        }
        --depth;
    }
};

RecentlyUsedReader::RecentlyUsedReader()
    : m_state(std::make_unique<State>()) {
    XML_Parser parser = XML_ParserCreateNS("UTF-8", nameSeparator);
    m_state->parser = parser;
    if (parser == nullptr) {
        m_state->failed = true;
        m_state->error = "out of memory";
        return;
    }
    XML_SetUserData(parser, m_state.get());
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            static_cast<State*>(data)->start(name, attributes);
        },
        [](void* data, const XML_Char* /*name*/) { static_cast<State*>(data)->end(); });
    XML_SetEntityDeclHandler(
        parser, [](void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                   const XML_Char*, const XML_Char*,
                   const XML_Char*) { static_cast<State*>(data)->fail("entity declaration"); });
}

RecentlyUsedReader::~RecentlyUsedReader() {
    if (m_state->parser != nullptr) {
        XML_ParserFree(m_state->parser);
    }
}

bool RecentlyUsedReader::feed(std::string_view bytes) {
    State& s = *m_state;
    while (!s.failed && !bytes.empty()) {
        const std::size_t piece = std::min<std::size_t>(bytes.size(), INT_MAX);
        if (XML_Parse(s.parser, bytes.data(), static_cast<int>(piece), XML_FALSE)
            != XML_STATUS_OK) {
            s.fail(XML_ErrorString(XML_GetErrorCode(s.parser)));
        }
        bytes.remove_prefix(piece);
    }
    return !s.failed;
}

std::optional<std::vector<RecentFile>> RecentlyUsedReader::finish() {
    State& s = *m_state;
    if (!s.failed && XML_Parse(s.parser, nullptr, 0, XML_TRUE) != XML_STATUS_OK) {
        s.fail(XML_ErrorString(XML_GetErrorCode(s.parser)));
    }
    if (!s.failed && !s.sawRoot) {
        s.fail("not a bookmark file");
    }
    if (s.failed) {
        return std::nullopt;
    }
    return std::move(s.files);
}

const std::string& RecentlyUsedReader::error() const {
    return m_state->error;
}

std::optional<std::vector<RecentFile>> parseRecentlyUsed(std::string_view text,
                                                         std::string* error) {
    RecentlyUsedReader reader;
    (void)reader.feed(text);
    auto files = reader.finish();
    if (!files && error != nullptr) {
        *error = reader.error();
    }
    return files;
}

}  // namespace vorn::platform::x11
