#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "HttpSession.h"
#include "Signals/SignalCache.h"
#include "Signals/SignalManageable.h"
#include "System/NotificationCenter.h"
#include "System/OneShotTimer.h"
#include "System/SerialQueue.h"

namespace vorn::tally {

class TallyConfiguration;

// The verdict on one answer of the service.
struct ResponseDisposition {
    enum class Kind {
        success,
        drop,
        retry,
    };

    Kind kind = Kind::retry;
    // Why the batch is dropped, such as "Payload Too Large (413)"; empty otherwise.
    std::string reason;

    // 2xx succeeds; the statuses that can never succeed drop; everything else, and no answer
    // at all, retries.
    static ResponseDisposition of(const std::optional<host::HttpResponse>& response);
};

// Turns signals into records, keeps them in the signal cache and delivers the cache to the
// service in batches of at most 100: one attempt soon after creation, then one per tick of a
// one-shot timer whose delay is the transmit interval times 2 to the power of the consecutive
// failures, at most the maximum back-off, and never before a Retry-After of a 429 or 503 answer
// (itself bounded by the maximum back-off). The cache keeps itself on disk, batches in flight
// included, and a batch leaves it only once the service took it or rejected it for good.
class SignalManager final : public SignalManageable,
                            public std::enable_shared_from_this<SignalManager> {
public:
    // Starts loading what a previous run left and arms the timer; the first attempt runs on the
    // utility queue once the cache is loaded.
    static std::shared_ptr<SignalManager> create(std::shared_ptr<TallyConfiguration> configuration);
    ~SignalManager() override;

    SignalManager(const SignalManager&) = delete;
    SignalManager& operator=(const SignalManager&) = delete;

    // Computes the user and the default payload on the main queue, then builds the record on
    // the utility queue and caches it. Nothing is sent here.
    void processSignal(const std::string& signalName,
                       const Parameters& parameters,
                       std::optional<double> floatValue,
                       const std::optional<std::string>& customUserID,
                       const std::shared_ptr<TallyConfiguration>& configuration) override;
    // Pops one batch and sends it; returns as soon as the request is handed on.
    void attemptToSendNextBatchOfCachedSignals() override;
    // The configuration's default user, else the one kept in the settings suite, else a new
    // random one (kept when there is a suite).
    std::string defaultUserIdentifier() override;
    void handOver(const std::shared_ptr<SignalManageable>& successor) override;
    void adoptPendingSignals(std::vector<SignalPostBody> records) override;
    void discardPendingSignals() override;

    // Writes the cache to its file before returning.
    void appWillTerminate();

    // The base address with "v2/" (or "v2/namespace/<namespace>/") appended; none when that
    // does not parse.
    static std::optional<std::string> getServiceUrl(std::string_view baseURL,
                                                    const std::optional<std::string>& apiNamespace);

    // The delivery loop's counters, read on its queue.
    int consecutiveFailures() const;
    int sendCompletions() const;
    std::size_t cachedSignalCount() const { return m_signalCache.count(); }
    // Waits until the cache's file holds every change made so far; false after the timeout.
    bool waitUntilCacheWritten(std::chrono::milliseconds timeout) const {
        return m_signalCache.waitUntilWritten(timeout);
    }

private:
    explicit SignalManager(std::shared_ptr<TallyConfiguration> configuration);

    void observeTermination();
    void sendCachedSignalsRepeatedly();
    void scheduleNextTransmission();
    // The ticket names the cache's batch; 0 when the attempt had none.
    void handleSendSuccess(std::uint64_t ticket);
    void handleSendFailure(std::uint64_t ticket, std::vector<SignalPostBody> requeue);
    void send(std::string body, std::uint64_t ticket, std::vector<SignalPostBody> batch);
    void handleAnswer(std::uint64_t ticket,
                      std::vector<SignalPostBody> batch,
                      const std::optional<host::HttpResponse>& response,
                      const std::optional<std::string>& error);
    // A 429 or 503 asked for a pause: no attempt before it has passed.
    void holdOffFor(double seconds);
    // Seconds until attempts may be made again; 0 or less when they may.
    double holdOffRemaining() const;
    void buildRecord(const std::string& signalName,
                     const Parameters& parameters,
                     std::optional<double> floatValue,
                     const std::optional<std::string>& customUserID,
                     const TallyConfiguration& configuration,
                     const std::string& defaultUser,
                     const Parameters& defaultPayload);
    // Into the cache, or to the successor once there is one.
    void keep(std::vector<SignalPostBody> records);
    std::shared_ptr<SignalManageable> successor() const;
    void log(LogHandler::LogLevel level, const std::string& message) const;

    const std::shared_ptr<TallyConfiguration> m_configuration;
    SignalCache m_signalCache;
    const std::shared_ptr<system::SerialQueue> m_timerQueue;
    // Touched only on m_timerQueue.
    std::shared_ptr<system::OneShotTimer> m_sendTimerSource;
    int m_consecutiveFailures = 0;
    int m_sendCompletions = 0;
    // Seconds since the reference date before which no attempt is made.
    std::atomic<double> m_notBefore{-1e300};
    std::atomic<bool> m_discarded{false};

    mutable std::mutex m_successorMutex;
    std::shared_ptr<SignalManageable> m_successor;
    std::mutex m_userMutex;
    Subscription m_willTerminate;
};

}  // namespace vorn::tally
