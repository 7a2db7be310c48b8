#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QString>

#include "Executor.h"
#include "FeedbackService.h"
#include "HttpSession.h"

namespace vorn::app {

// "Send Feedback…": the user types a message in a modal alert, which is posted with the
// program's and the system's versions and the locale as a small JSON object to the build's
// endpoint; a second alert tells how it went. One attempt at a time. Main thread only.
class FeedbackController final : public FeedbackService {
public:
    static constexpr char composeIdentifier[] = "vorn.feedback.compose";
    static constexpr char resultIdentifier[] = "vorn.feedback.result";
    static constexpr char messageIdentifier[] = "vorn.feedback.message";

    // The build's endpoint (none when it names none or no usable address), the process's
    // shared HTTP session; answers come back through the main executor. onSent runs after a
    // successful post.
    static std::unique_ptr<FeedbackController> fromBundle(std::function<void()> onSent,
                                                          std::shared_ptr<MainExecutor> main);

    FeedbackController(std::optional<std::string> endpoint,
                       std::function<void()> onSent,
                       std::shared_ptr<host::HttpSession> session,
                       std::shared_ptr<MainExecutor> main);
    ~FeedbackController() override;

    // Opens the compose alert, unless an attempt is under way or there is no endpoint.
    void show() override;

    // Such as "1.4.2 (57)": the version, else 0.0.0, and the build number, else 0.
    static std::string appVersionString();

private:
    void submit(const std::string& message, const std::string& endpoint);
    void handleResult(const std::optional<host::HttpResponse>& response,
                      const std::optional<std::string>& error);
    static void presentAlert(const QString& title, const QString& text, bool warning);

    const std::optional<std::string> m_endpoint;
    const std::function<void()> m_onSent;
    const std::shared_ptr<host::HttpSession> m_session;
    const std::shared_ptr<MainExecutor> m_main;
    bool m_isPresenting = false;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

}  // namespace vorn::app
