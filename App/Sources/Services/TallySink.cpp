#include "TallySink.h"

#include "Tally.h"

namespace vorn {

void TallySink::send(const TelemetryEvent& event) {
    tally::Tally::signal(std::string(event.signalName()), event.parameters());
}

}  // namespace vorn
