#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::updates {

// The XML namespace of the feed's own elements and attributes.
inline constexpr char appcastNamespace[] = "urn:vorn:update";

// Packages larger than this are not offered: no release of a sidebar comes near it.
inline constexpr std::uint64_t largestPackage = std::uint64_t{2} << 30;
// Feeds larger than this are not read.
inline constexpr std::size_t largestAppcast = 4u << 20;

// One release offered by the feed.
struct AppcastItem {
    std::string title;
    std::string buildVersion;    // compared with the running build's
    std::string displayVersion;  // shown to people; the build version when the feed names none
    std::string url;             // the enclosure's address, possibly relative to the feed's
    std::uint64_t length = 0;    // the enclosure's size in bytes
    std::string edSignature;     // base64 Ed25519 signature of the enclosure's bytes
};

struct AppcastParseError {
    long code = 0;  // QXmlStreamReader's error number, or 0 for a document that is no feed
    std::string description;
};

struct Appcast {
    std::vector<AppcastItem> items;
    // Why each item that was left out was left out, for the log.
    std::vector<std::string> skipped;
    std::optional<AppcastParseError> error;
};

// Reads an RSS feed whose items carry <vorn:buildVersion>, <vorn:displayVersion> and an
// <enclosure url length vorn:edSignature>, in the appcast namespace. Items missing one of
// those, or with an unusable version or length, are skipped; a document that is not
// well-formed XML, has a document type or is not RSS gives an error and no items.
Appcast parseAppcast(std::string_view bytes);

}  // namespace vorn::updates
