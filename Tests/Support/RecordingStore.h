#pragma once

#include <vector>

#include "Store.h"
#include "Telemetry.h"

namespace vorn::test {

// A store in memory that records every save it is asked for and can be made to fail.
class RecordingStore final : public Store {
public:
    AppState stored;              // what load() returns; replaced by every successful save
    std::vector<AppState> saves;  // every save asked for, failed ones included
    bool failing = false;

    AppState load() override { return stored; }
    bool save(const AppState& state) override {
        saves.push_back(state);
        if (failing) {
            return false;
        }
        stored = state;
        return true;
    }
};

class RecordingTelemetrySink final : public TelemetrySink {
public:
    std::vector<TelemetryEvent> events;

    void send(const TelemetryEvent& event) override { events.push_back(event); }
};

}  // namespace vorn::test
