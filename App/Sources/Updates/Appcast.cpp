#include "Appcast.h"

#include <charconv>

#include <QByteArray>
#include <QXmlStreamReader>

#include "Version.h"

namespace vorn::updates {
namespace {

std::string text(QStringView view) {
    return view.toString().trimmed().toStdString();
}

std::optional<std::uint64_t> parseLength(const std::string& digits) {
    std::uint64_t value = 0;
    const auto* end = digits.data() + digits.size();
    const auto [at, error] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || error != std::errc() || at != end) {
        return std::nullopt;
    }
    return value;
}

// The item's fields, or why it cannot be offered.
struct ItemReading {
    AppcastItem item;
    std::string lengthText;
    bool hasEnclosure = false;
};

std::optional<std::string> problemWith(const ItemReading& reading) {
    const AppcastItem& item = reading.item;
    if (item.buildVersion.empty()) {
        return "no build version";
    }
    if (!isVersion(item.buildVersion)) {
        return "build version is not numeric: " + item.buildVersion;
    }
    if (!reading.hasEnclosure || item.url.empty()) {
        return "no enclosure address";
    }
    if (item.edSignature.empty()) {
        return "no signature";
    }
    const auto length = parseLength(reading.lengthText);
    if (!length || *length == 0 || *length > largestPackage) {
        return "unusable length: " + reading.lengthText;
    }
    return std::nullopt;
}

void readItem(QXmlStreamReader& reader, Appcast& appcast) {
    ItemReading reading;
    const QString ours = QString::fromLatin1(appcastNamespace);
    while (reader.readNextStartElement()) {
        const bool own = reader.namespaceUri() == ours;
        const auto name = reader.name();
        if (own && name == u"buildVersion") {
            reading.item.buildVersion = text(reader.readElementText());
        } else if (own && name == u"displayVersion") {
            reading.item.displayVersion = text(reader.readElementText());
        } else if (!own && reader.namespaceUri().isEmpty() && name == u"title") {
            reading.item.title = text(reader.readElementText(QXmlStreamReader::SkipChildElements));
        } else if (!own && reader.namespaceUri().isEmpty() && name == u"enclosure") {
            const auto attributes = reader.attributes();
            reading.hasEnclosure = true;
            reading.item.url = text(attributes.value(QStringLiteral("url")));
            reading.lengthText = text(attributes.value(QStringLiteral("length")));
            reading.item.edSignature = text(attributes.value(ours, QStringLiteral("edSignature")));
            reader.skipCurrentElement();
        } else {
            reader.skipCurrentElement();
        }
    }
    if (reader.hasError()) {
        return;
    }
    if (const auto problem = problemWith(reading)) {
        const std::string which =
            reading.item.buildVersion.empty() ? reading.item.title : reading.item.buildVersion;
        appcast.skipped.push_back("item '" + which + "': " + *problem);
        return;
    }
    reading.item.length = *parseLength(reading.lengthText);
    if (reading.item.displayVersion.empty()) {
        reading.item.displayVersion = reading.item.buildVersion;
    }
    appcast.items.push_back(std::move(reading.item));
}

}  // namespace

Appcast parseAppcast(std::string_view bytes) {
    Appcast appcast;
    if (bytes.size() > largestAppcast) {
        appcast.error = AppcastParseError{0, "the feed is larger than any feed read here"};
        return appcast;
    }
    const QByteArray data =
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QXmlStreamReader reader(data);
    bool sawRoot = false;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::DTD) {
            appcast.error = AppcastParseError{0, "feeds with a document type are not read"};
            appcast.items.clear();
            return appcast;
        }
        if (token != QXmlStreamReader::StartElement) {
            continue;
        }
        if (!sawRoot) {
            sawRoot = true;
            if (reader.name() != u"rss" || !reader.namespaceUri().isEmpty()) {
                appcast.error = AppcastParseError{0, "the document is not an RSS feed"};
                return appcast;
            }
            continue;
        }
        if (reader.name() == u"item" && reader.namespaceUri().isEmpty()) {
            readItem(reader, appcast);
        } else if (reader.name() != u"channel") {
            reader.skipCurrentElement();
        }
    }
    if (reader.hasError()) {
        appcast.items.clear();
        appcast.skipped.clear();
        appcast.error = AppcastParseError{static_cast<long>(reader.error()),
                                          "line " + std::to_string(reader.lineNumber())
                                              + ", column " + std::to_string(reader.columnNumber())
                                              + ": " + reader.errorString().toStdString()};
    } else if (!sawRoot) {
        appcast.error = AppcastParseError{
            static_cast<long>(QXmlStreamReader::PrematureEndOfDocumentError), "the feed is empty"};
    }
    return appcast;
}

}  // namespace vorn::updates
