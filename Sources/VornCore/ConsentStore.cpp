#include "ConsentStore.h"

#include "FileIO.h"
#include "InstanceLock.h"
#include "Log.h"
#include "Text.h"

namespace vorn {

bool ConsentState::needsDisclosure(std::string_view /*currentVersion*/) const {
    return !disclosureShownVersion.has_value();
}

bool operator==(const ConsentState& a, const ConsentState& b) {
    const bool sameShownVersion =
        a.disclosureShownVersion.has_value() == b.disclosureShownVersion.has_value()
        && (!a.disclosureShownVersion
            || text::canonicallyEqual(*a.disclosureShownVersion, *b.disclosureShownVersion));
    return a.version == b.version && a.telemetryEnabled == b.telemetryEnabled && sameShownVersion
           && a.decidedAt == b.decidedAt;
}

std::optional<ConsentState> decodeConsentState(const json::Value& value) {
    if (!value.is_object()) {
        return std::nullopt;
    }
    ConsentState state;
    state.version =
        json::asInt(json::member(value, "version")).value_or(ConsentState::currentVersion);
    state.disclosureShownVersion = json::asString(json::member(value, "disclosureShownVersion"));
    if (const auto seconds = json::asDouble(json::member(value, "decidedAt"))) {
        state.decidedAt = Date(*seconds);
    }
    const auto enabled = json::asBool(json::member(value, "telemetryEnabled"));
    if (enabled) {
        state.telemetryEnabled = *enabled;
    } else if (state.disclosureShownVersion) {
        // The user answered, but the answer cannot be read: assume no.
        state.telemetryEnabled = false;
        vornConsentLog().error(
            "load: telemetryEnabled unreadable with a recorded answer, "
            "treated as off");
    }
    return state;
}

json::Value encodeConsentState(const ConsentState& state) {
    json::Value out = json::Value::object();
    out["version"] = state.version;
    out["telemetryEnabled"] = state.telemetryEnabled;
    if (state.disclosureShownVersion) {
        out["disclosureShownVersion"] = *state.disclosureShownVersion;
    }
    if (state.decidedAt) {
        out["decidedAt"] = state.decidedAt->secondsSinceReference();
    }
    return out;
}

ConsentState JSONFileConsentStore::load() {
    const auto bytes = fileio::readFile(m_url);
    if (!bytes) {
        if (fileio::exists(m_url)) {
            vornConsentLog().error("load: consent file unreadable, using the default record path=",
                                   m_url.string());
        }
        return {};
    }
    // A key given twice ("telemetryEnabled": false, then true) has no one meaning: such a file
    // is as unusable as any other damaged one.
    json::ParseOptions options;
    options.rejectDuplicateKeys = true;
    const auto value = json::parse(*bytes, options);
    auto state = value ? decodeConsentState(*value) : std::nullopt;
    if (!state) {
        vornConsentLog().error("load: consent file unusable, using the default record path=",
                               m_url.string());
        return {};
    }
    return std::move(*state);
}

bool JSONFileConsentStore::save(const ConsentState& state) {
    const auto created = fileio::createDirectories(m_url.parent_path(), 0700);
    if (!created.ok) {
        vornConsentLog().error("save failed: ", created.error);
        return false;
    }
    const auto encoded = json::writePretty(encodeConsentState(state));
    if (!encoded) {
        vornConsentLog().error("save failed: the record holds a number that JSON cannot express");
        return false;
    }
    // Another instance's write may be under way: only the lock's holder sweeps.
    if (InstanceLock::heldFor(m_url.parent_path())) {
        fileio::removeStaleTemporaries(m_url);
    }
    const auto written = fileio::writeAtomically(m_url, *encoded);
    if (!written.ok) {
        vornConsentLog().error("save failed: ", written.error);
        return false;
    }
    return true;
}

}  // namespace vorn
