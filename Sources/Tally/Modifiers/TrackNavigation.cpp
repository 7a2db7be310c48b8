#include "Modifiers/TrackNavigation.h"

#include "Tally.h"

namespace vorn::tally {

void TrackNavigation::viewShown() const {
    Tally::navigationPathChangedTo(m_path);
}

}  // namespace vorn::tally
