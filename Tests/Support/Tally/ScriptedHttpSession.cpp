#include "ScriptedHttpSession.h"

namespace vorn::tally::test {

ScriptedHttpSession::ScriptedHttpSession()
    : m_delegateQueue(std::make_unique<system::SerialQueue>("test.http")) {
    answerWith(200);
}

void ScriptedHttpSession::post(host::HttpRequest request, host::HttpCompletion completion) {
    Script script;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
        script = m_script;
    }
    m_delegateQueue->async(
        [script, request = std::move(request), completion = std::move(completion)] {
            auto answer = script(request);
            completion(std::move(answer.response), std::move(answer.error));
        });
}

void ScriptedHttpSession::setScript(Script script) {
    std::lock_guard lock(m_mutex);
    m_script = std::move(script);
}

void ScriptedHttpSession::answerWith(long status) {
    setScript([status](const host::HttpRequest&) {
        return Answer{host::HttpResponse{status, {}, {}}, std::nullopt};
    });
}

std::vector<host::HttpRequest> ScriptedHttpSession::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

}  // namespace vorn::tally::test
