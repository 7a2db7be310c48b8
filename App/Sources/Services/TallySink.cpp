#include "TallySink.h"

#include "Tally.h"

namespace vorn {

void TallySink::send(const TelemetryEvent& event) {
    if (!m_enabled.load()) {
        return;
    }
    tally::Tally::signal(std::string(event.signalName()), event.parameters());
}

}  // namespace vorn
