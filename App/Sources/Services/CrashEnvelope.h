#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "CrashRecord.h"
#include "Date.h"
#include "Uuid.h"

namespace vorn {

// A crash-reporting DSN: "<http or https>://<public
// key>[:<secret>]@<host>[:<port>]/[<path>/]<project>".
struct Dsn {
    std::string text;
    std::string publicKey;
    // "<scheme>://<host>[:<port>]/[<path>/]api/<project>/envelope/".
    std::string envelopeURL;

    // None when the text is not such a DSN.
    static std::optional<Dsn> parse(std::string_view text);

    // The name and value of the authentication header of a request to the envelope address.
    static constexpr std::string_view authHeaderName = "X-Sentry-Auth";
    std::string authHeaderValue() const;
};

// The envelope that carries one crash: the envelope header line, the header line of its one
// event item and the event, each ending in a line break.
std::string crashEnvelope(const CrashRecord& record,
                          const Dsn& dsn,
                          const Uuid& eventId,
                          Date sentAt);

}  // namespace vorn
