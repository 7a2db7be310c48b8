#include "Tally.h"

#include <cmath>

#include "Crypto.h"
#include "Helpers/ClientDomain.h"
#include "Helpers/CryptoHashing.h"
#include "System/Dispatch.h"
#include "System/TimeSource.h"
#include "TallyManager.h"
#include "Text.h"

namespace vorn::tally {
namespace {

using LogLevel = LogHandler::LogLevel;

constexpr std::string_view reservedPrefix = "Tally.";
constexpr std::string_view reservedPrefixLowercased = "tally.";

Parameters prefixedKeys(const Parameters& parameters, const TallyConfiguration& configuration) {
    const std::string prefix = configuration.defaultParameterPrefix().value_or("");
    return mapKeys(parameters, [&](const std::string& key) {
        return key.starts_with(reservedPrefix) ? key : prefix + key;
    });
}

void checkReservedKey(const std::string& key, const TallyConfiguration& configuration) {
    const std::string lower = text::asciiLowercased(key);
    if (lower.starts_with(reservedPrefixLowercased)) {
        configuration.log(LogLevel::error,
                          "Sending parameter with reserved key prefix 'Tally.' will cause "
                          "unexpected behavior. Please use another prefix instead.");
    } else if (Tally::reservedKeysLowercased().contains(lower)) {
        configuration.log(LogLevel::error, "Sending parameter with reserved key '" + key +
                                               "' will cause unexpected behavior. Please use "
                                               "another key instead.");
    }
}

void checkReservedName(const std::string& name, const TallyConfiguration& configuration) {
    const std::string lower = text::asciiLowercased(name);
    if (lower.starts_with(reservedPrefixLowercased)) {
        configuration.log(LogLevel::error,
                          "Sending signal with reserved prefix 'Tally.' will cause unexpected "
                          "behavior. Please use another prefix instead.");
    } else if (Tally::reservedKeysLowercased().contains(lower)) {
        configuration.log(LogLevel::error, "Sending signal with reserved name '" + name +
                                               "' will cause unexpected behavior. Please use "
                                               "another name instead.");
    }
}

bool drops(const TallyConfiguration& configuration) {
    return configuration.previewMode() || configuration.analyticsDisabled();
}

}  // namespace

void Tally::initialize(std::shared_ptr<TallyConfiguration> configuration) {
    TallyManager::initialize(std::move(configuration));
}

void Tally::terminate() {
    TallyManager::terminate();
}

void Tally::signal(const std::string& signalName,
                   const Parameters& parameters,
                   std::optional<double> floatValue,
                   const std::optional<std::string>& customUserID) {
    const auto configuration = TallyManager::shared()->configuration();
    if (drops(*configuration)) {
        return;
    }
    const std::string name = configuration->defaultSignalPrefix().value_or("") + signalName;
    const Parameters prefixed = prefixedKeys(parameters, *configuration);
    if (configuration->reservedParameterWarningsEnabled()) {
        checkReservedName(name, *configuration);
        for (const auto& [key, value] : prefixed) {
            checkReservedKey(key, *configuration);
        }
    }
    internalSignal(name, prefixed, floatValue, customUserID);
}

void Tally::internalSignal(const std::string& signalName,
                           const Parameters& parameters,
                           std::optional<double> floatValue,
                           const std::optional<std::string>& customUserID) {
    const auto manager = TallyManager::shared();
    const auto& configuration = manager->configuration();
    if (drops(*configuration)) {
        return;
    }
    const auto defaultParameters = configuration->defaultParameters();
    const Parameters defaults = prefixedKeys(defaultParameters(), *configuration);
    Parameters merged = defaults;
    for (const auto& [key, value] : parameters) {
        merged.insert_or_assign(key, value);
    }
    for (const auto& [key, value] : defaults) {
        checkReservedKey(key, *configuration);
    }
    // JSON has no form for infinities and not-a-number; one such record would make its whole
    // batch unsendable.
    if (floatValue && !std::isfinite(*floatValue)) {
        floatValue.reset();
    }
    manager->signalManager()->processSignal(signalName, merged, floatValue, customUserID,
                                            configuration);
}

void Tally::requestImmediateSync() {
    const auto manager = TallyManager::shared();
    if (!manager->acceptImmediateSyncRequest(system::now())) {
        return;
    }
    std::weak_ptr<TallyManager> weak = manager;
    system::asyncAfter(system::globalUtilityQueue(), TallyManager::immediateSyncDelay, [weak] {
        if (const auto held = weak.lock()) {
            held->signalManager()->attemptToSendNextBatchOfCachedSignals();
        }
    });
}

void Tally::updateDefaultUserID(std::optional<std::string> user) {
    TallyManager::shared()->configuration()->setDefaultUser(std::move(user));
}

void Tally::generateNewSession() {
    TallyManager::shared()->configuration()->setSessionID(host::randomUuid());
}

std::shared_ptr<system::DefaultsSuite> Tally::customDefaults() {
    const auto manager = TallyManager::installed();
    if (!manager) {
        return nullptr;
    }
    const std::string hash = CryptoHashing::sha256(manager->configuration()->tallyAppID(), "");
    return system::DefaultsSuite::named(clientLabel(hash.substr(hash.size() - 12)));
}

const std::set<std::string>& Tally::reservedKeysLowercased() {
    static const std::set<std::string> keys = [] {
        std::set<std::string> lower;
        for (const char* key : {"type",
                                "clientUser",
                                "appID",
                                "sessionID",
                                "floatValue",
                                "newSessionBegan",
                                "platform",
                                "systemVersion",
                                "majorSystemVersion",
                                "majorMinorSystemVersion",
                                "appVersion",
                                "buildNumber",
                                "isSimulator",
                                "isDebug",
                                "isTestFlight",
                                "isAppStore",
                                "modelName",
                                "architecture",
                                "operatingSystem",
                                "targetEnvironment",
                                "locale",
                                "region",
                                "appLanguage",
                                "preferredLanguage",
                                "tallyClientVersion"}) {
            lower.insert(text::asciiLowercased(key));
        }
        return lower;
    }();
    return keys;
}

}  // namespace vorn::tally
