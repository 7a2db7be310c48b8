#include "Presets/NavigationStatus.h"
#include "Tally.h"

namespace vorn::tally {

NavigationStatus& NavigationStatus::shared() {
    static auto* status = new NavigationStatus;
    return *status;
}

void Tally::navigationPathChanged(const std::string& from,
                                  const std::string& to,
                                  const std::optional<std::string>& customUserID) {
    NavigationStatus::shared().previousNavigationPath = to;
    internalSignal("Tally.Navigation.pathChanged",
                   {
                       {"Tally.Navigation.schemaVersion", "1"},
                       {"Tally.Navigation.identifier", from + " -> " + to},
                       {"Tally.Navigation.sourcePath", from},
                       {"Tally.Navigation.destinationPath", to},
                   },
                   std::nullopt, customUserID);
}

void Tally::navigate(const std::string& from,
                     const std::string& to,
                     const std::optional<std::string>& customUserID) {
    navigationPathChanged(from, to, customUserID);
}

void Tally::navigationPathChangedTo(const std::string& to,
                                    const std::optional<std::string>& customUserID) {
    const std::string from = NavigationStatus::shared().previousNavigationPath.value_or("");
    navigationPathChanged(from, to, customUserID);
}

void Tally::navigateTo(const std::string& to, const std::optional<std::string>& customUserID) {
    navigationPathChangedTo(to, customUserID);
}

}  // namespace vorn::tally
