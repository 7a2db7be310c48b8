#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Date.h"
#include "Helpers/Parameters.h"
#include "Signals/SignalManageable.h"
#include "System/ConcurrentQueue.h"
#include "TallyConfiguration.h"

namespace vorn::tally {

// The state of one initialised client: its configuration and its signal manager. One manager
// is installed at a time; the facade Tally works on it.
class TallyManager {
public:
    // Builds a manager and its signal manager. Its session starts half a second later on the
    // main queue, provided it is the installed manager by then.
    static std::shared_ptr<TallyManager> create(std::shared_ptr<TallyConfiguration> configuration);

    // The installed manager. Without one, a single inert stand-in that drops every signal and
    // touches no file; it is installed only in preview mode.
    static std::shared_ptr<TallyManager> shared();
    static bool isInitialized();
    // Installs a new manager. Records the replaced one still holds move to the new one.
    static void initialize(std::shared_ptr<TallyConfiguration> configuration);
    // Removes the installed manager; nothing else is stopped.
    static void terminate();

    // Tally::signal without a float value or user.
    static void send(const std::string& signalName, const Parameters& parameters = {});
    // Tally::signal with clientUser as the user identifier.
    static void send(const std::string& signalName,
                     const std::optional<std::string>& clientUser,
                     std::optional<double> floatValue,
                     const Parameters& parameters);
    static void requestImmediateSync();
    static void updateDefaultUser(std::optional<std::string> user);
    static void generateNewSession();

    // Replaces the builder of signal managers for managers created from now on; null restores
    // the default.
    static void setSignalManagerFactory(SignalManagerFactory factory);

    const std::shared_ptr<TallyConfiguration>& configuration() const { return m_configuration; }
    const std::shared_ptr<SignalManageable>& signalManager() const { return m_signalManager; }
    // The signal manager's default user identifier, hashed with the configuration's salt.
    std::string hashedDefaultUser() const;

    Date lastTimeImmediateSyncRequested() const;
    void setLastTimeImmediateSyncRequested(Date date);
    // Accepts a request made at now when more than the transmit interval has passed since the
    // last accepted one, and records it; checked and recorded in one step.
    bool acceptImmediateSyncRequest(Date now);

    // Renews the session when the application was in the background for more than 300
    // seconds; nothing in the client calls these.
    void willEnterForeground();
    void didEnterBackground();

    static constexpr double backgroundSessionTimeout = 300.0;
    static constexpr double sessionStartDelay = 0.5;
    static constexpr double immediateSyncDelay = 0.05;
    // The start of the year 1, which every real date follows.
    static constexpr Date distantPast = Date(-63114076800.0);

private:
    struct Storage;
    struct Dates {
        Date lastTimeImmediateSyncRequested = distantPast;
        Date lastDateAppEnteredBackground = distantPast;
    };

    TallyManager(std::shared_ptr<TallyConfiguration> configuration,
                 std::shared_ptr<SignalManageable> signalManager);

    static Storage& storage();
    static std::shared_ptr<TallyManager> fallback();
    static std::shared_ptr<TallyManager> installed();
    static void startSessionAndObserveAppForegrounding(const std::shared_ptr<TallyManager>& self);

    const std::shared_ptr<TallyConfiguration> m_configuration;
    const std::shared_ptr<SignalManageable> m_signalManager;
    system::ConcurrentQueue<Dates> m_queue;

    friend class Tally;
};

}  // namespace vorn::tally
