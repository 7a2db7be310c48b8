#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>

#include "Helpers/Parameters.h"
#include "Presets/IdentifiableError.h"
#include "Purchases/StoreTransaction.h"
#include "System/DefaultsSuite.h"
#include "TallyConfiguration.h"

namespace vorn::tally {

// The analytics client's entry points. All may be called from any thread, return at once and
// never fail: what cannot be done is logged through the configuration's handler and dropped.
class Tally {
public:
    Tally() = delete;

    // Installs a client for the configuration, replacing any installed one.
    static void initialize(std::shared_ptr<TallyConfiguration> configuration);
    // Removes the installed client.
    static void terminate();

    // Queues a signal: the configured signal prefix goes in front of the name and the
    // parameter prefix in front of every key not starting with "Tally."; reserved names and
    // keys are reported but sent. Dropped in preview mode and while analytics is disabled.
    static void signal(const std::string& signalName,
                       const Parameters& parameters = {},
                       std::optional<double> floatValue = std::nullopt,
                       const std::optional<std::string>& customUserID = std::nullopt);
    // The client's own entry: no prefix for the name or the given keys; the configured default
    // parameters are laid under the given ones. A non-finite float value counts as absent.
    static void internalSignal(const std::string& signalName,
                               const Parameters& parameters = {},
                               std::optional<double> floatValue = std::nullopt,
                               const std::optional<std::string>& customUserID = std::nullopt);

    // Starts an extra delivery attempt 50 milliseconds from now, at most once per transmit
    // interval.
    static void requestImmediateSync();
    // Sets (or with no value clears) the user identifier used when a signal names none.
    static void updateDefaultUserID(std::optional<std::string> user);
    // Gives the client a new random session identifier, which starts a new session.
    static void generateNewSession();

    // The client's settings suite: absent until a client is installed, then named by the
    // client domain and the last 12 characters of the application identifier's SHA-256.
    static std::shared_ptr<system::DefaultsSuite> customDefaults();
    // Payload keys the client fills itself, lowercased.
    static const std::set<std::string>& reservedKeysLowercased();

    // Duration signals. These work on the process's tracker whether or not a client is
    // installed; each returns once the tracker has applied it.

    // Starts measuring under the name, replacing a running measurement of that name. Time
    // while the application is not active counts only when includeBackgroundTime is set.
    static void startDurationSignal(const std::string& signalName,
                                    const Parameters& parameters = {},
                                    bool includeBackgroundTime = false);
    // Ends the measurement and sends the name as it is, with "Tally.Signal.durationInSeconds"
    // under the start's parameters under the given ones. Nothing when it is not running.
    static void stopAndSendDurationSignal(
        const std::string& signalName,
        const Parameters& parameters = {},
        std::optional<double> floatValue = std::nullopt,
        const std::optional<std::string>& customUserID = std::nullopt);
    // Ends the measurement without sending anything.
    static void cancelDurationSignal(const std::string& signalName);

    // Ready-made signals. Each sends its fixed name and "Tally." keys through internalSignal,
    // with the caller's parameters laid over its own.

    static void acquiredUser(const std::string& channel,
                             const Parameters& parameters = {},
                             const std::optional<std::string>& customUserID = std::nullopt);
    static void leadStarted(const std::string& leadID,
                            const Parameters& parameters = {},
                            const std::optional<std::string>& customUserID = std::nullopt);
    static void leadConverted(const std::string& leadID,
                              const Parameters& parameters = {},
                              const std::optional<std::string>& customUserID = std::nullopt);
    static void onboardingCompleted(const Parameters& parameters = {},
                                    const std::optional<std::string>& customUserID = std::nullopt);
    static void coreFeatureUsed(const std::string& featureName,
                                const Parameters& parameters = {},
                                const std::optional<std::string>& customUserID = std::nullopt);
    static void referralSent(int receiversCount = 1,
                             const std::optional<std::string>& kind = std::nullopt,
                             const Parameters& parameters = {},
                             const std::optional<std::string>& customUserID = std::nullopt);
    // Ratings outside 0 to 10 are not sent; the configuration's handler gets an error.
    static void userRatingSubmitted(int rating,
                                    const std::optional<std::string>& comment = std::nullopt,
                                    const Parameters& parameters = {},
                                    const std::optional<std::string>& customUserID = std::nullopt);
    static void paywallShown(const std::string& reason,
                             const Parameters& parameters = {},
                             const std::optional<std::string>& customUserID = std::nullopt);

    static void errorOccurred(const std::string& id,
                              std::optional<ErrorCategory> category = std::nullopt,
                              const std::optional<std::string>& message = std::nullopt,
                              const Parameters& parameters = {},
                              std::optional<double> floatValue = std::nullopt,
                              const std::optional<std::string>& customUserID = std::nullopt);
    // The message is the error's description.
    static void errorOccurred(const IdentifiableError& identifiableError,
                              ErrorCategory category,
                              const Parameters& parameters = {},
                              std::optional<double> floatValue = std::nullopt,
                              const std::optional<std::string>& customUserID = std::nullopt);
    // The message only when one is given.
    static void errorOccurred(const IdentifiableError& identifiableError,
                              ErrorCategory category,
                              const std::optional<std::string>& message,
                              const Parameters& parameters = {},
                              std::optional<double> floatValue = std::nullopt,
                              const std::optional<std::string>& customUserID = std::nullopt);

    // "Tally.Navigation.pathChanged" from one path to another; the destination becomes the
    // source of the next navigateTo. Main thread only.
    static void navigationPathChanged(
        const std::string& from,
        const std::string& to,
        const std::optional<std::string>& customUserID = std::nullopt);
    static void navigate(const std::string& from,
                         const std::string& to,
                         const std::optional<std::string>& customUserID = std::nullopt);
    // The same from the last reported destination (the empty text before the first).
    static void navigationPathChangedTo(
        const std::string& to, const std::optional<std::string>& customUserID = std::nullopt);
    static void navigateTo(const std::string& to,
                           const std::optional<std::string>& customUserID = std::nullopt);

    // "Tally.Purchase.freeTrialStarted" for an auto-renewable subscription bought through an
    // introductory offer at no price, which is then watched for its conversion; otherwise
    // "Tally.Purchase.completed" with the price in US dollars as its value.
    static void purchaseCompleted(const StoreTransaction& transaction,
                                  const Parameters& parameters = {},
                                  const std::optional<std::string>& customUserID = std::nullopt);
};

}  // namespace vorn::tally
