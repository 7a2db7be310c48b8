#include "Signals/SignalManager.h"

#include <algorithm>
#include <cmath>

#include "Crypto.h"
#include "Helpers/ClientDomain.h"
#include "Helpers/CryptoHashing.h"
#include "JSON.h"
#include "Signals/DefaultPayloadProvider.h"
#include "System/Dispatch.h"
#include "System/TimeSource.h"
#include "Tally.h"
#include "TallyConfiguration.h"

namespace vorn::tally {
namespace {

using LogLevel = LogHandler::LogLevel;

constexpr const char* defaultUserIdentifierKey = "defaultUserIdentifier";

std::optional<LogHandler> cacheLogHandler(const TallyConfiguration& configuration) {
    if (configuration.previewMode()) {
        return std::nullopt;
    }
    return configuration.logHandler();
}

bool isValidUTF8(const std::string& text) {
    return json::sanitizeUTF8(text) == text;
}

std::optional<std::string> dropReason(long status) {
    switch (status) {
        case 400:
            return "Bad Request (400)";
        case 401:
            return "Unauthorized (401)";
        case 403:
            return "Forbidden (403)";
        case 404:
            return "Not Found (404)";
        case 413:
            return "Payload Too Large (413)";
        case 422:
            return "Unprocessable Entity (422)";
        case 501:
            return "Not Implemented (501)";
        case 505:
            return "HTTP Version Not Supported (505)";
        default:
            return std::nullopt;
    }
}

}  // namespace

ResponseDisposition ResponseDisposition::of(const std::optional<host::HttpResponse>& response) {
    if (!response) {
        return {Kind::retry, {}};
    }
    if (response->status >= 200 && response->status <= 299) {
        return {Kind::success, {}};
    }
    if (auto reason = dropReason(response->status)) {
        return {Kind::drop, std::move(*reason)};
    }
    return {Kind::retry, {}};
}

SignalManager::SignalManager(std::shared_ptr<TallyConfiguration> configuration)
    : m_configuration(std::move(configuration))
    , m_signalCache(cacheLogHandler(*m_configuration), m_configuration->cacheLimit())
    , m_timerQueue(std::make_shared<system::SerialQueue>(clientLabel("SignalTimer"))) {}

std::shared_ptr<SignalManager> SignalManager::create(
    std::shared_ptr<TallyConfiguration> configuration) {
    std::shared_ptr<SignalManager> manager(new SignalManager(std::move(configuration)));
    manager->observeTermination();
    manager->sendCachedSignalsRepeatedly();
    return manager;
}

SignalManager::~SignalManager() {
    m_willTerminate.reset();
    m_timerQueue->sync([this] {
        if (m_sendTimerSource) {
            m_sendTimerSource->cancel();
        }
    });
}

void SignalManager::observeTermination() {
    std::weak_ptr<SignalManager> weak = weak_from_this();
    m_willTerminate = system::NotificationCenter::defaultCenter().addObserver(
        system::Notification::willTerminate, [weak] {
            if (const auto self = weak.lock()) {
                self->appWillTerminate();
            }
        });
}

void SignalManager::sendCachedSignalsRepeatedly() {
    std::weak_ptr<SignalManager> weak = weak_from_this();
    // Not on the creating thread (the main thread at start-up): the attempt waits for the cache
    // to finish loading.
    system::globalUtilityQueue()->async([weak] {
        if (const auto self = weak.lock()) {
            self->attemptToSendNextBatchOfCachedSignals();
        }
    });
    m_timerQueue->async([weak] {
        if (const auto self = weak.lock()) {
            self->m_consecutiveFailures = 0;
            self->scheduleNextTransmission();
        }
    });
}

void SignalManager::scheduleNextTransmission() {
    if (m_sendTimerSource) {
        m_sendTimerSource->cancel();
        m_sendTimerSource.reset();
    }
    if (successor() || m_discarded.load()) {
        return;
    }
    const double maximum = m_configuration->maxBackoffInterval();
    double delay = m_configuration->transmitInterval() * std::pow(2.0, m_consecutiveFailures);
    if (!(delay <= maximum)) {
        delay = maximum;
    }
    delay = std::max(delay, holdOffRemaining());
    std::weak_ptr<SignalManager> weak = weak_from_this();
    m_sendTimerSource = system::OneShotTimer::start(m_timerQueue, delay, [weak] {
        if (const auto self = weak.lock()) {
            self->attemptToSendNextBatchOfCachedSignals();
        }
    });
}

void SignalManager::attemptToSendNextBatchOfCachedSignals() {
    if (successor() || m_discarded.load()) {
        return;
    }
    if (holdOffRemaining() > 0) {
        // An extra attempt while the service asked for a pause; the pending timer respects it.
        log(LogLevel::debug, "Not sending: the service asked to retry later");
        return;
    }
    log(LogLevel::debug, "Current signal cache count: " + std::to_string(m_signalCache.count()));
    auto checkedOut = m_signalCache.checkOut();
    auto& batch = checkedOut.records;
    const std::uint64_t ticket = checkedOut.ticket;
    if (batch.empty()) {
        handleSendSuccess(ticket);
        return;
    }
    log(LogLevel::info, "Sending " + std::to_string(batch.size()) + " signals leaving a cache of "
                            + std::to_string(m_signalCache.count()) + " signals");

    // A record the service could never read must not hold back the others for ever.
    const auto encoder = tallyEncoder();
    std::vector<SignalPostBody> sendable;
    sendable.reserve(batch.size());
    for (auto& record : batch) {
        if (record.floatValue && !std::isfinite(*record.floatValue)) {
            record.floatValue.reset();
        }
        if (!encoder.encode(record)) {
            log(LogLevel::error, "Dropping unencodable signal type=" + record.type);
            continue;
        }
        sendable.push_back(std::move(record));
    }
    if (sendable.empty()) {
        handleSendSuccess(ticket);
        return;
    }
    auto body = encoder.encode(sendable);
    if (!body) {
        log(LogLevel::error, "Failed to encode signal batch: a record could not be written");
        handleSendFailure(ticket, std::move(sendable));
        return;
    }
    send(std::move(*body), ticket, std::move(sendable));
}

void SignalManager::send(std::string body,
                         std::uint64_t ticket,
                         std::vector<SignalPostBody> batch) {
    auto self = shared_from_this();
    system::globalUtilityQueue()->async(
        [self, body = std::move(body), ticket, batch = std::move(batch)]() mutable {
            const auto& configuration = *self->m_configuration;
            const auto address =
                getServiceUrl(configuration.apiBaseURL(), configuration.apiNamespace());
            if (!address) {
                self->log(LogLevel::error, "Unable to construct signal API URL for namespace "
                                               + configuration.apiNamespace().value_or("nil"));
                std::weak_ptr<SignalManager> weak = self;
                system::mainQueue()->async([weak, ticket, batch = std::move(batch)]() mutable {
                    if (const auto held = weak.lock()) {
                        held->handleAnswer(ticket, std::move(batch), std::nullopt,
                                           std::string("Invalid endpoint URL"));
                    }
                });
                return;
            }
            host::HttpRequest request;
            request.url = *address;
            request.headers = {{"Content-Type", "application/json"}};
            if (isValidUTF8(body)) {
                self->log(LogLevel::debug, body);
            }
            request.body = std::move(body);
            std::weak_ptr<SignalManager> weak = self;
            configuration.urlSession()->post(
                std::move(request),
                [weak, ticket, batch = std::move(batch)](std::optional<host::HttpResponse> response,
                                                         std::optional<std::string> error) mutable {
                    if (const auto held = weak.lock()) {
                        held->handleAnswer(ticket, std::move(batch), response, error);
                    }
                });
        });
}

void SignalManager::handleAnswer(std::uint64_t ticket,
                                 std::vector<SignalPostBody> batch,
                                 const std::optional<host::HttpResponse>& response,
                                 const std::optional<std::string>& error) {
    if (error) {
        log(LogLevel::error, *error);
        handleSendFailure(ticket, std::move(batch));
        return;
    }
    const auto disposition = ResponseDisposition::of(response);
    switch (disposition.kind) {
        case ResponseDisposition::Kind::success:
            if (isValidUTF8(response->body)) {
                log(LogLevel::debug, response->body);
            }
            handleSendSuccess(ticket);
            return;
        case ResponseDisposition::Kind::drop:
            log(LogLevel::error, "Dropping " + std::to_string(batch.size())
                                     + " signal(s): rejected by server " + disposition.reason);
            handleSendSuccess(ticket);
            return;
        case ResponseDisposition::Kind::retry:
            log(LogLevel::debug, "Failed to send events (status "
                                     + std::to_string(response ? response->status : 0)
                                     + "), will try again later");
            if (response && (response->status == 429 || response->status == 503)) {
                if (const auto wait = host::retryAfterSeconds(*response, system::now())) {
                    holdOffFor(*wait);
                }
            }
            handleSendFailure(ticket, std::move(batch));
            return;
    }
}

void SignalManager::holdOffFor(double seconds) {
    const double bounded = std::min(seconds, m_configuration->maxBackoffInterval());
    const double until = system::now().secondsSinceReference() + bounded;
    double current = m_notBefore.load();
    while (current < until && !m_notBefore.compare_exchange_weak(current, until)) {
    }
}

double SignalManager::holdOffRemaining() const {
    return m_notBefore.load() - system::now().secondsSinceReference();
}

void SignalManager::handleSendSuccess(std::uint64_t ticket) {
    if (ticket != 0) {
        m_signalCache.settle(ticket);
    }
    std::weak_ptr<SignalManager> weak = weak_from_this();
    m_timerQueue->async([weak] {
        if (const auto self = weak.lock()) {
            ++self->m_sendCompletions;
            self->m_consecutiveFailures = 0;
            self->scheduleNextTransmission();
        }
    });
}

void SignalManager::handleSendFailure(std::uint64_t ticket, std::vector<SignalPostBody> requeue) {
    std::shared_ptr<SignalManageable> next;
    {
        // Under the lock that hands over, so that no record falls between the two.
        std::lock_guard lock(m_successorMutex);
        next = m_successor;
        if (!next) {
            m_signalCache.giveBack(ticket, std::move(requeue));
        }
    }
    if (next) {
        m_signalCache.settle(ticket);
        next->adoptPendingSignals(std::move(requeue));
    }
    std::weak_ptr<SignalManager> weak = weak_from_this();
    m_timerQueue->async([weak] {
        if (const auto self = weak.lock()) {
            ++self->m_sendCompletions;
            ++self->m_consecutiveFailures;
            self->scheduleNextTransmission();
        }
    });
}

void SignalManager::processSignal(const std::string& signalName,
                                  const Parameters& parameters,
                                  std::optional<double> floatValue,
                                  const std::optional<std::string>& customUserID,
                                  const std::shared_ptr<TallyConfiguration>& configuration) {
    auto self = shared_from_this();
    system::mainQueue()->async([self, signalName, parameters, floatValue, customUserID,
                                configuration] {
        // Withdrawn meanwhile: not even the user identifier or the statistics are touched.
        if (self->m_discarded.load()) {
            return;
        }
        std::string defaultUser = self->defaultUserIdentifier();
        Parameters defaultPayload = defaultSignalPayload();
        system::globalUtilityQueue()->async([self, signalName, parameters, floatValue, customUserID,
                                             configuration, defaultUser = std::move(defaultUser),
                                             defaultPayload = std::move(defaultPayload)] {
            self->buildRecord(signalName, parameters, floatValue, customUserID, *configuration,
                              defaultUser, defaultPayload);
        });
    });
}

void SignalManager::buildRecord(const std::string& signalName,
                                const Parameters& parameters,
                                std::optional<double> floatValue,
                                const std::optional<std::string>& customUserID,
                                const TallyConfiguration& configuration,
                                const std::string& defaultUser,
                                const Parameters& defaultPayload) {
    Parameters enriched;
    for (const auto& enricher : configuration.metadataEnrichers()) {
        if (!enricher) {
            continue;
        }
        for (auto& [key, value] : enricher->enrich(signalName, customUserID, floatValue)) {
            enriched.insert_or_assign(key, std::move(value));
        }
    }
    SignalPostBody record;
    record.payload = defaultPayload;
    for (const Parameters* layer : {static_cast<const Parameters*>(&enriched), &parameters}) {
        for (const auto& [key, value] : *layer) {
            record.payload.insert_or_assign(key, value);
        }
    }
    record.receivedAt = system::now();
    record.appID = configuration.tallyAppID();
    record.clientUser =
        CryptoHashing::sha256(customUserID.value_or(defaultUser), configuration.salt());
    record.sessionID = configuration.sessionID().string();
    record.type = signalName;
    if (floatValue && std::isfinite(*floatValue)) {
        record.floatValue = floatValue;
    }
    record.isTestMode = configuration.testMode() ? "true" : "false";
    log(LogLevel::debug,
        "Process signal: " + tallyEncoder().encode(record).value_or("type=" + record.type));
    keep({std::move(record)});
}

std::string SignalManager::defaultUserIdentifier() {
    if (auto user = m_configuration->defaultUser()) {
        return *user;
    }
    // One at a time, so that two first signals cannot store two different identifiers.
    std::lock_guard lock(m_userMutex);
    const auto suite = Tally::customDefaults();
    if (suite) {
        if (auto stored = suite->string(defaultUserIdentifierKey)) {
            return *stored;
        }
    }
    std::string fresh = host::randomUuid().string();
    if (suite) {
        suite->set(defaultUserIdentifierKey, fresh);
    }
    return fresh;
}

void SignalManager::handOver(const std::shared_ptr<SignalManageable>& successor) {
    if (!successor || successor.get() == this) {
        return;
    }
    {
        std::lock_guard lock(m_successorMutex);
        if (m_successor) {
            return;
        }
        m_successor = successor;
    }
    m_willTerminate.reset();
    m_timerQueue->sync([this] {
        if (m_sendTimerSource) {
            m_sendTimerSource->cancel();
            m_sendTimerSource.reset();
        }
    });
    // Every record cached before the successor was set is in the cache now: records are cached
    // under the same lock that set it.
    std::vector<SignalPostBody> pending;
    for (auto batch = m_signalCache.pop(); !batch.empty(); batch = m_signalCache.pop()) {
        for (auto& record : batch) {
            pending.push_back(std::move(record));
        }
    }
    successor->adoptPendingSignals(std::move(pending));
}

void SignalManager::adoptPendingSignals(std::vector<SignalPostBody> records) {
    keep(std::move(records));
}

void SignalManager::discardPendingSignals() {
    if (m_discarded.exchange(true)) {
        return;
    }
    m_willTerminate.reset();
    m_timerQueue->sync([this] {
        if (m_sendTimerSource) {
            m_sendTimerSource->cancel();
            m_sendTimerSource.reset();
        }
    });
    m_signalCache.erase();
}

void SignalManager::keep(std::vector<SignalPostBody> records) {
    if (records.empty() || m_discarded.load()) {
        return;
    }
    std::shared_ptr<SignalManageable> next;
    {
        std::lock_guard lock(m_successorMutex);
        if (!m_successor) {
            m_signalCache.push(std::move(records));
            return;
        }
        next = m_successor;
    }
    next->adoptPendingSignals(std::move(records));
}

std::shared_ptr<SignalManageable> SignalManager::successor() const {
    std::lock_guard lock(m_successorMutex);
    return m_successor;
}

void SignalManager::appWillTerminate() {
    if (successor() || m_discarded.load()) {
        return;
    }
    log(LogLevel::debug, "appWillTerminate()");
    m_signalCache.backupCache();
}

std::optional<std::string> SignalManager::getServiceUrl(
    std::string_view baseURL, const std::optional<std::string>& apiNamespace) {
    std::string address(baseURL);
    if (!address.ends_with('/')) {
        address += '/';
    }
    if (apiNamespace && !apiNamespace->empty()) {
        address += "v2/namespace/" + *apiNamespace + "/";
    } else {
        address += "v2/";
    }
    if (!host::isValidURL(address)) {
        return std::nullopt;
    }
    return address;
}

int SignalManager::consecutiveFailures() const {
    int failures = 0;
    m_timerQueue->sync([&] { failures = m_consecutiveFailures; });
    return failures;
}

int SignalManager::sendCompletions() const {
    int completions = 0;
    m_timerQueue->sync([&] { completions = m_sendCompletions; });
    return completions;
}

void SignalManager::log(LogHandler::LogLevel level, const std::string& message) const {
    m_configuration->log(level, message);
}

}  // namespace vorn::tally
