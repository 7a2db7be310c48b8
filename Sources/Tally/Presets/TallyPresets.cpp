#include "Presets/PresetParameters.h"
#include "Tally.h"
#include "TallyManager.h"

namespace vorn::tally {

void Tally::acquiredUser(const std::string& channel,
                         const Parameters& parameters,
                         const std::optional<std::string>& customUserID) {
    internalSignal("Tally.Acquisition.userAcquired",
                   mergedOver({{"Tally.Acquisition.channel", channel}}, parameters), std::nullopt,
                   customUserID);
}

void Tally::leadStarted(const std::string& leadID,
                        const Parameters& parameters,
                        const std::optional<std::string>& customUserID) {
    internalSignal("Tally.Acquisition.leadStarted",
                   mergedOver({{"Tally.Acquisition.leadID", leadID}}, parameters), std::nullopt,
                   customUserID);
}

void Tally::leadConverted(const std::string& leadID,
                          const Parameters& parameters,
                          const std::optional<std::string>& customUserID) {
    internalSignal("Tally.Acquisition.leadConverted",
                   mergedOver({{"Tally.Acquisition.leadID", leadID}}, parameters), std::nullopt,
                   customUserID);
}

void Tally::onboardingCompleted(const Parameters& parameters,
                                const std::optional<std::string>& customUserID) {
    internalSignal("Tally.Activation.onboardingCompleted", parameters, std::nullopt, customUserID);
}

void Tally::coreFeatureUsed(const std::string& featureName,
                            const Parameters& parameters,
                            const std::optional<std::string>& customUserID) {
    internalSignal("Tally.Activation.coreFeatureUsed",
                   mergedOver({{"Tally.Activation.featureName", featureName}}, parameters),
                   std::nullopt, customUserID);
}

void Tally::referralSent(int receiversCount,
                         const std::optional<std::string>& kind,
                         const Parameters& parameters,
                         const std::optional<std::string>& customUserID) {
    Parameters own = {{"Tally.Referral.receiversCount", std::to_string(receiversCount)}};
    if (kind) {
        own.insert_or_assign("Tally.Referral.kind", *kind);
    }
    internalSignal("Tally.Referral.sent", mergedOver(std::move(own), parameters), std::nullopt,
                   customUserID);
}

void Tally::userRatingSubmitted(int rating,
                                const std::optional<std::string>& comment,
                                const Parameters& parameters,
                                const std::optional<std::string>& customUserID) {
    if (rating < 0 || rating > 10) {
        TallyManager::shared()->configuration()->log(LogHandler::LogLevel::error,
                                                     "Rating must be between 0 and 10");
        return;
    }
    Parameters own = {{"Tally.Referral.ratingValue", std::to_string(rating)}};
    if (comment) {
        own.insert_or_assign("Tally.Referral.ratingComment", *comment);
    }
    internalSignal("Tally.Referral.userRatingSubmitted", mergedOver(std::move(own), parameters),
                   std::nullopt, customUserID);
}

void Tally::paywallShown(const std::string& reason,
                         const Parameters& parameters,
                         const std::optional<std::string>& customUserID) {
    internalSignal("Tally.Revenue.paywallShown",
                   mergedOver({{"Tally.Revenue.paywallShowReason", reason}}, parameters),
                   std::nullopt, customUserID);
}

}  // namespace vorn::tally
