#include "Presets/IdentifiableError.h"
#include "Presets/PresetParameters.h"
#include "Tally.h"

namespace vorn::tally {
namespace {

constexpr std::string_view errorSignal = "Tally.Error.occurred";

Parameters errorParameters(const std::string& id,
                           std::optional<ErrorCategory> category,
                           const std::optional<std::string>& message) {
    Parameters own = {{"Tally.Error.id", id}};
    if (category) {
        own.insert_or_assign("Tally.Error.category", std::string(rawValue(*category)));
    }
    if (message) {
        own.insert_or_assign("Tally.Error.message", *message);
    }
    return own;
}

}  // namespace

std::string_view rawValue(ErrorCategory category) {
    switch (category) {
        case ErrorCategory::thrownException:
            return "thrown-exception";
        case ErrorCategory::userInput:
            return "user-input";
        case ErrorCategory::appState:
            return "app-state";
    }
    return "app-state";
}

void Tally::errorOccurred(const std::string& id,
                          std::optional<ErrorCategory> category,
                          const std::optional<std::string>& message,
                          const Parameters& parameters,
                          std::optional<double> floatValue,
                          const std::optional<std::string>& customUserID) {
    internalSignal(std::string(errorSignal),
                   mergedOver(errorParameters(id, category, message), parameters), floatValue,
                   customUserID);
}

void Tally::errorOccurred(const IdentifiableError& identifiableError,
                          ErrorCategory category,
                          const Parameters& parameters,
                          std::optional<double> floatValue,
                          const std::optional<std::string>& customUserID) {
    errorOccurred(identifiableError, category, identifiableError.localizedDescription(), parameters,
                  floatValue, customUserID);
}

void Tally::errorOccurred(const IdentifiableError& identifiableError,
                          ErrorCategory category,
                          const std::optional<std::string>& message,
                          const Parameters& parameters,
                          std::optional<double> floatValue,
                          const std::optional<std::string>& customUserID) {
    errorOccurred(identifiableError.id(), category, message, parameters, floatValue, customUserID);
}

}  // namespace vorn::tally
