#include "Helpers/DurationSignalTracker.h"
#include "Presets/PresetParameters.h"
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
    // The measured duration, under the parameters given at the start, under those given now.
    const Parameters merged =
        mergedOver(mergedOver({{"Tally.Signal.durationInSeconds",
                                DurationSignalTracker::durationText(stopped->duration)}},
                              stopped->parameters),
                   parameters);
    internalSignal(signalName, merged, floatValue, customUserID);
}

void Tally::cancelDurationSignal(const std::string& signalName) {
    (void)DurationSignalTracker::shared()->stopTracking(signalName);
}

}  // namespace vorn::tally
