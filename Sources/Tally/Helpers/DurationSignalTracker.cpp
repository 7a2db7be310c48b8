#include "Helpers/DurationSignalTracker.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "Helpers/DecimalText.h"
#include "System/SharedSlot.h"
#include "System/TimeSource.h"

namespace vorn::tally {
namespace {

system::SharedSlot<DurationSignalTracker>& slot() {
    return system::processSlot<DurationSignalTracker>();
}

}  // namespace

std::shared_ptr<DurationSignalTracker> DurationSignalTracker::shared() {
    return slot().get(&DurationSignalTracker::create);
}

void DurationSignalTracker::resetShared() {
    // The slot releases the tracker outside its lock: its observer tokens wait for running
    // handlers.
    slot().reset();
}

std::shared_ptr<DurationSignalTracker> DurationSignalTracker::create() {
    std::shared_ptr<DurationSignalTracker> tracker(new DurationSignalTracker);
    tracker->observe();
    return tracker;
}

void DurationSignalTracker::observe() {
    auto& center = system::NotificationCenter::defaultCenter();
    // The tokens remove the observers before the tracker goes, so the handlers may use it.
    m_resignObserver = center.addObserver(system::Notification::willResignActive,
                                          [this] { handleDidEnterBackgroundNotification(); });
    m_activeObserver = center.addObserver(system::Notification::didBecomeActive,
                                          [this] { handleWillEnterForegroundNotification(); });
}

void DurationSignalTracker::startTracking(const std::string& signalName,
                                          const Parameters& parameters,
                                          bool includeBackgroundTime) {
    const Date now = system::now();
    m_queue.barrierSync([&](State& state) {
        state.startedSignals.insert_or_assign(signalName,
                                              CachedData{now, parameters, includeBackgroundTime});
    });
}

std::optional<DurationSignalTracker::Stopped> DurationSignalTracker::stopTracking(
    const std::string& signalName) {
    const Date now = system::now();
    return m_queue.barrierSync([&](State& state) -> std::optional<Stopped> {
        const auto found = state.startedSignals.find(signalName);
        if (found == state.startedSignals.end()) {
            return std::nullopt;
        }
        CachedData data = std::move(found->second);
        state.startedSignals.erase(found);
        // A clock set back while measuring would otherwise report time that never passed.
        const double elapsed = now.secondsSince(data.startTime);
        return Stopped{elapsed > 0 ? elapsed : 0.0, std::move(data.parameters)};
    });
}

void DurationSignalTracker::handleDidEnterBackgroundNotification() {
    const Date now = system::now();
    m_queue.barrierSync([now](State& state) { state.lastEnteredBackground = now; });
}

void DurationSignalTracker::handleWillEnterForegroundNotification() {
    const Date now = system::now();
    m_queue.barrierSync([now](State& state) {
        if (!state.lastEnteredBackground) {
            return;
        }
        const Date left = *state.lastEnteredBackground;
        for (auto& [name, data] : state.startedSignals) {
            if (data.includeBackgroundTime) {
                continue;
            }
            // Only the inactive time after the start belongs to the measurement: one started
            // while the application was inactive loses just the rest of that interval.
            const Date from = std::max(left, data.startTime);
            const double inactive = now.secondsSince(from);
            if (inactive > 0) {
                data.startTime = data.startTime.adding(inactive);
            }
        }
        state.lastEnteredBackground.reset();
    });
}

std::string DurationSignalTracker::durationText(double seconds) {
    double rounded = std::floor(seconds * 1000) / 1000;
    if (!std::isfinite(rounded) || rounded < 0) {
        rounded = 0;
    }
    std::string text = decimalText(rounded);
    return text.empty() ? "0.0" : text;
}

}  // namespace vorn::tally
