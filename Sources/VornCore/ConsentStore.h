#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "Date.h"
#include "JSON.h"

namespace vorn {

// Whether the user allows anonymous usage data to be sent, and whether and when the first-run
// question was answered. The root of the consent file.
struct ConsentState {
    static constexpr std::int64_t currentVersion = 1;

    std::int64_t version = currentVersion;  // kept as read; nothing converts between versions
    bool telemetryEnabled = true;
    std::optional<std::string> disclosureShownVersion;  // the app version when the user answered
    std::optional<Date> decidedAt;

    // Whether the first-run question is still to be asked: no answer is recorded, whatever the
    // version that recorded one.
    bool needsDisclosure(std::string_view currentVersion) const;

    // The version text compares under canonical equivalence.
    friend bool operator==(const ConsentState& a, const ConsentState& b);
};

// Lenient, key by key: a missing or wrongly typed key takes its default. No value only when the
// top level is not an object. With an answer recorded, an unreadable "telemetryEnabled" reads
// as off: usage data is never sent without the user's yes.
std::optional<ConsentState> decodeConsentState(const json::Value& value);
json::Value encodeConsentState(const ConsentState& state);

class ConsentStore {
public:
    virtual ~ConsentStore() = default;

    // The stored record, or the default record when none can be read.
    virtual ConsentState load() = 0;
    // Replaces the stored record; false (logged by the store) when it could not be stored.
    [[nodiscard]] virtual bool save(const ConsentState& state) = 0;
};

class InMemoryConsentStore final : public ConsentStore {
public:
    explicit InMemoryConsentStore(ConsentState state = {})
        : state(std::move(state)) {}

    ConsentState load() override { return state; }
    bool save(const ConsentState& newState) override {
        state = newState;
        return true;
    }

    ConsentState state;
};

// Keeps the record in one JSON file (pretty-printed, sorted keys), read afresh on every load.
class JSONFileConsentStore final : public ConsentStore {
public:
    explicit JSONFileConsentStore(std::filesystem::path fileURL)
        : m_url(std::move(fileURL)) {}

    const std::filesystem::path& url() const { return m_url; }

    // A missing, unreadable, malformed or ambiguous (a key twice) file, or anything but a
    // regular file, gives the default record and is left as it is.
    ConsentState load() override;
    // Creates the directory (0700), then replaces the file atomically (0600). On failure the
    // previous file stays whole.
    bool save(const ConsentState& state) override;

private:
    std::filesystem::path m_url;
};

}  // namespace vorn
