#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "HttpSession.h"
#include "System/SerialQueue.h"

namespace vorn::tally::test {

// An HTTP session that answers from a script instead of the network, on a thread of its own
// like a real session, and keeps every request.
class ScriptedHttpSession final : public host::HttpSession {
public:
    struct Answer {
        std::optional<host::HttpResponse> response;
        std::optional<std::string> error;
    };
    using Script = std::function<Answer(const host::HttpRequest&)>;

    ScriptedHttpSession();

    void post(host::HttpRequest request, host::HttpCompletion completion) override;

    void setScript(Script script);
    // Answers every request with the status and an empty body.
    void answerWith(long status);
    std::vector<host::HttpRequest> requests() const;

private:
    mutable std::mutex m_mutex;
    Script m_script;
    std::vector<host::HttpRequest> m_requests;
    // Last, so that it is joined before the script it runs goes away.
    std::unique_ptr<system::SerialQueue> m_delegateQueue;
};

}  // namespace vorn::tally::test
