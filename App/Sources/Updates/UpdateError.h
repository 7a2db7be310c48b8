#pragma once

#include <memory>
#include <string>

namespace vorn::updates {

// What ended an update cycle, and what caused that in turn.
struct UpdateError {
    std::string domain;
    long code = 0;
    std::string description;  // for people: shown in alerts and logs
    std::shared_ptr<UpdateError> underlying;

    // Adds the cause below this error and returns it, for building chains in one expression.
    UpdateError causedBy(UpdateError cause) const;
};

// The engine's own errors; their causes carry domains of their own (curl, http, xml, posix,
// signature, download).
inline constexpr char updateErrorDomain[] = "org.vorn.update";

enum UpdateErrorCode : long {
    appcastParseError = 1000,
    // The cycle found nothing newer than the running build.
    noUpdateError = 1001,
    appcastFetchError = 1002,
    downloadError = 2001,
    signatureError = 3001,
    installError = 4001,
};

UpdateError makeUpdateError(long code, std::string description);

}  // namespace vorn::updates
