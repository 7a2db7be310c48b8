#pragma once

#include <memory>
#include <string>

#include "ConsentStore.h"
#include "Date.h"

namespace vorn::app {

// Asks once, at the first launch, whether anonymous usage data and crash reports may be sent,
// and records the answer. Main thread only.
class ConsentController {
public:
    static constexpr char disclosureIdentifier[] = "vorn.consent.disclosure";

    // Loads the record from the store.
    ConsentController(std::shared_ptr<ConsentStore> store,
                      std::string appVersion,
                      Clock clock = systemClock());

    // The recorded answer; asks first (a modal alert) while none is recorded, and records the
    // answer with this version and the time. A record that cannot be saved still holds for
    // this run.
    ConsentState resolveFirstRunDisclosure();

private:
    static bool showDisclosureAlert();
    void persist(bool enabled);

    std::shared_ptr<ConsentStore> m_store;
    std::string m_appVersion;
    Clock m_clock;
    ConsentState m_state;
};

}  // namespace vorn::app
