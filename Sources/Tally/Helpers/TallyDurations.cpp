#include "Helpers/DurationSignalTracker.h"
#include "Tally.h"

namespace vorn::tally {

void Tally::startDurationSignal(const std::string& signalName,
                                const Parameters& parameters,
                                bool includeBackgroundTime) {
    DurationSignalTracker::shared()->startTracking(signalName, parameters, includeBackgroundTime);
}

void Tally::stopAndSendDurationSignal(const std::string& signalName,
                                      const Parameters& parameters,
                                      std::optional<double> floatValue,
                                      const std::optional<std::string>& customUserID) {
    auto stopped = DurationSignalTracker::shared()->stopTracking(signalName);
    if (!stopped) {
        return;
    }
    Parameters merged = {
        {"Tally.Signal.durationInSeconds", DurationSignalTracker::durationText(stopped->duration)},
    };
    for (auto& [key, value] : stopped->parameters) {
        merged.insert_or_assign(key, std::move(value));
    }
    for (const auto& [key, value] : parameters) {
        merged.insert_or_assign(key, value);
    }
    internalSignal(signalName, merged, floatValue, customUserID);
}

void Tally::cancelDurationSignal(const std::string& signalName) {
    (void)DurationSignalTracker::shared()->stopTracking(signalName);
}

}  // namespace vorn::tally
