#include "FeedbackController.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>

#include "BundleInfo.h"
#include "FeedbackRequest.h"
#include "LocaleInfo.h"
#include "Log.h"
#include "ModalAlert.h"
#include "OsRelease.h"
#include "ReleaseInfo.h"
#include "Text.h"

namespace vorn::app {
namespace {

// The compose alert's text view: plain text, 320 by 120, scrolling vertically, with the
// message's margins inside the frame.
std::unique_ptr<QTextEdit> makeMessageView() {
    auto view = std::make_unique<QTextEdit>();
    view->setObjectName(QString::fromLatin1(FeedbackController::messageIdentifier));
    view->setAccessibleName(QStringLiteral("Message"));
    view->setAcceptRichText(false);
    view->setFixedSize(320, 120);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    QTextDocument* document = view->document();
    document->setDocumentMargin(0);
    QTextFrameFormat margins = document->rootFrame()->frameFormat();
    margins.setLeftMargin(4);
    margins.setRightMargin(4);
    margins.setTopMargin(6);
    margins.setBottomMargin(6);
    document->rootFrame()->setFrameFormat(margins);
    return view;
}

// User-perceived characters: "é" written as e and a combining accent is one, as is an emoji
// made of several code points.
long characterCount(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    long count = 0;
    while (finder.toNextBoundary() != -1) {
        ++count;
    }
    return count;
}

}  // namespace

std::unique_ptr<FeedbackController> FeedbackController::fromBundle(
    std::function<void()> onSent, std::shared_ptr<MainExecutor> main) {
    std::optional<std::string> endpoint;
    const std::string configured = bundle::feedbackURL;
    if (!configured.empty() && host::isValidURL(configured)) {
        endpoint = configured;
    }
    return std::make_unique<FeedbackController>(std::move(endpoint), std::move(onSent),
                                                host::HttpSession::shared(), std::move(main));
}

FeedbackController::FeedbackController(std::optional<std::string> endpoint,
                                       std::function<void()> onSent,
                                       std::shared_ptr<host::HttpSession> session,
                                       std::shared_ptr<MainExecutor> main)
    : m_endpoint(std::move(endpoint))
    , m_onSent(std::move(onSent))
    , m_session(std::move(session))
    , m_main(std::move(main)) {}

FeedbackController::~FeedbackController() = default;

std::string FeedbackController::appVersionString() {
    const ReleaseInfo release = ReleaseInfo::current();
    return release.version() + " (" + release.build() + ")";
}

void FeedbackController::show() {
    if (m_isPresenting) {
        vornFeedbackLog().notice("feedback already presenting; ignoring");
        return;
    }
    if (!m_endpoint) {
        vornFeedbackLog().error("no VornFeedbackURL configured");
        presentAlert(QStringLiteral("Feedback"),
                     QStringLiteral("Feedback isn't available in this build."), true);
        return;
    }
    m_isPresenting = true;
    const auto view = makeMessageView();
    AlertContent alert;
    alert.message = QStringLiteral("Send Feedback");
    alert.informativeText =
        QStringLiteral("Tell us what's working, what's broken, or what you'd like.")
        + QStringLiteral(" Your ") + QStringLiteral("Vorn")
        + QStringLiteral(" and Linux versions are included.");
    alert.icon = QMessageBox::Information;
    alert.buttons = {QStringLiteral("Send"), QStringLiteral("Cancel")};
    alert.identifier = QString::fromLatin1(composeIdentifier);
    alert.accessory = view.get();
    const int answer = ModalAlert::run(alert);
    const std::string message = text::trimmed(view->toPlainText().toStdString());
    if (answer == 0 && !message.empty()) {
        submit(message, *m_endpoint);
        return;
    }
    m_isPresenting = false;
}

void FeedbackController::submit(const std::string& message, const std::string& endpoint) {
    const auto locale = host::localeInfo(host::LocaleEnvironment::current()).identifier;
    const FeedbackBody body =
        FeedbackRequest::makeBody(message, appVersionString(), osPrettyName(), locale);
    if (!body.bytes) {
        presentAlert(QStringLiteral("Feedback"), QStringLiteral("Couldn't prepare your feedback."),
                     true);
        m_isPresenting = false;
        return;
    }
    host::HttpRequest request;
    request.url = endpoint;
    request.headers = {{"Content-Type", "application/json"}};
    request.body = *body.bytes;
    // A redirect is not followed: its status is the server's answer.
    request.redirects = host::RedirectPolicy::answer;
    vornFeedbackLog().notice("submitting feedback (",
                             characterCount(QString::fromStdString(message)), " chars)");
    std::weak_ptr<int> alive = m_lifetime;
    m_session->post(
        std::move(request), [this, alive, main = m_main](std::optional<host::HttpResponse> response,
                                                         std::optional<std::string> error) {
            main->post([this, alive, response = std::move(response), error = std::move(error)] {
                if (!alive.expired()) {
                    handleResult(response, error);
                }
            });
        });
}

void FeedbackController::handleResult(const std::optional<host::HttpResponse>& response,
                                      const std::optional<std::string>& error) {
    if (error) {
        vornFeedbackLog().error("feedback failed: ", *error);
        presentAlert(QStringLiteral("Couldn't send feedback"),
                     QStringLiteral("Please check your connection and try again."), true);
    } else {
        const long status = response ? response->status : 0;
        if (status >= 200 && status <= 299) {
            vornFeedbackLog().notice("feedback sent ok");
            if (m_onSent) {
                m_onSent();
            }
            presentAlert(QStringLiteral("Thanks for your feedback!"), QString(), false);
        } else {
            vornFeedbackLog().error("feedback HTTP ", status);
            presentAlert(QStringLiteral("Couldn't send feedback"),
                         QStringLiteral("The server returned an error (") + QString::number(status)
                             + QStringLiteral("). Please try again later."),
                         true);
        }
    }
    m_isPresenting = false;
}

void FeedbackController::presentAlert(const QString& title, const QString& text, bool warning) {
    AlertContent alert;
    alert.message = title;
    alert.informativeText = text;
    alert.icon = warning ? QMessageBox::Warning : QMessageBox::Information;
    alert.buttons = {QStringLiteral("OK")};
    alert.identifier = QString::fromLatin1(resultIdentifier);
    ModalAlert::run(alert);
}

}  // namespace vorn::app
