#include "RebindPicker.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include "AccessibleActions.h"
#include "AppIcons.h"
#include "DialogText.h"
#include "ElidedLabel.h"
#include "SafeNumbers.h"
#include "Symbols.h"

namespace vorn::app {

// Closing the window through the window manager, or pressing Escape, answers cancel.
class RebindWindow final : public QWidget {
public:
    explicit RebindWindow(std::function<void()> onCancel)
        : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint)
        , m_onCancel(std::move(onCancel)) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        m_onCancel();
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            m_onCancel();
            return;
        }
        QWidget::keyPressEvent(event);
    }

private:
    std::function<void()> m_onCancel;
};

namespace {

// "1280 × 800", after "Minimized · " for a minimised window.
QString secondaryHint(const WindowInfo& window) {
    QString hint = QStringLiteral("%1 \u00D7 %2")
                       .arg(truncatedInt(window.frame.width()))
                       .arg(truncatedInt(window.frame.height()));
    if (window.state == WindowState::minimized) {
        hint.prepend(QStringLiteral("Minimized \u00B7 "));
    }
    return hint;
}

// The application's icon, else a generic window.
QPixmap appIcon(const AppRef& app, const QWidget& row) {
    const QSize size(24, 24);
    if (const std::optional<QIcon> icon = AppIcons::find(app.bundleId)) {
        return icon->pixmap(size, row.devicePixelRatioF());
    }
    return symbolIcon(Symbol::window, row.palette().color(QPalette::ButtonText))
        .pixmap(size, row.devicePixelRatioF());
}

QPushButton* candidateRow(const WindowInfo& candidate) {
    const QString title = QString::fromStdString(candidate.displayTitle());
    // Button texts would take "&" as a mnemonic; the texts are labels inside the button.
    auto* row = new QPushButton;
    row->setObjectName(QStringLiteral("vorn.rebind.row.%1").arg(candidate.windowID.raw));
    // Return picks the focused window, as a click does.
    row->setAutoDefault(true);
    row->setAccessibleName(title);
    row->setAccessibleDescription(secondaryHint(candidate));

    auto* layout = new QHBoxLayout(row);
    layout->setSpacing(10);
    auto* icon = new QLabel;
    icon->setPixmap(appIcon(candidate.app, *row));
    icon->setFixedSize(24, 24);
    layout->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    // A long title is cut at the end: the window keeps its width.
    auto* name = new ElidedLabel;
    QFont font = name->font();
    font.setPointSize(13);
    font.setWeight(QFont::Medium);
    name->setFont(font);
    name->setFullText(title);
    texts->addWidget(name);
    texts->addWidget(makeDialogLabel(secondaryHint(candidate), 11, false, true));
    layout->addLayout(texts, 1);
    for (QLabel* label : row->findChildren<QLabel*>()) {
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    row->setMinimumHeight(layout->sizeHint().height());
    return row;
}

}  // namespace

RebindPicker::RebindPicker() = default;

RebindPicker::~RebindPicker() {
    // A deferred delete may never run at exit.
    RebindWindow* window = m_window.data();
    finish(RebindChoice::cancel());
    delete window;
}

QWidget* RebindPicker::window() const {
    return m_window.data();
}

void RebindPicker::present(RebindRequest request, RebindCompletion completion) {
    if (m_open) {
        completion(RebindChoice::cancel());
        return;
    }
    m_open = true;
    m_completion = std::move(completion);

    QPointer<RebindPicker> self(this);
    auto answer = [self](RebindChoice choice) {
        if (self) {
            self->finish(choice);
        }
    };
    auto* window = new RebindWindow([answer] { answer(RebindChoice::cancel()); });
    // The role first: a title already makes the window's interface. Assistive tools read the
    // heading as its name and the message as its description; every window is titled "Vorn".
    setAccessibleRole(*window, QAccessible::Dialog);
    const QString heading = QStringLiteral("Window not found");
    const QString text = QStringLiteral(
                             "\u201C%1\u201D isn\u2019t open anymore. Choose a %2 "
                             "window to use, or open a new one:")
                             .arg(QString::fromStdString(request.lastTitle()),
                                  QString::fromStdString(request.appName()));
    window->setWindowTitle(QStringLiteral("Vorn"));
    window->setObjectName(QStringLiteral("vorn.rebind.window"));
    window->setAccessibleName(heading);
    window->setAccessibleDescription(text);
    window->setFixedWidth(380);

    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(makeDialogLabel(heading, 15, true));
    auto* message = makeDialogLabel(text, 12, false, true);
    message->setWordWrap(true);
    layout->addWidget(message);

    auto* list = new QWidget;
    list->setObjectName(QStringLiteral("vorn.rebind.list"));
    auto* rows = new QVBoxLayout(list);
    rows->setSpacing(8);
    QPushButton* firstChoice = nullptr;
    for (const WindowInfo& candidate : request.candidates()) {
        QPushButton* row = candidateRow(candidate);
        QObject::connect(row, &QPushButton::clicked, row,
                         [answer, id = candidate.windowID] { answer(RebindChoice::pick(id)); });
        rows->addWidget(row);
        if (firstChoice == nullptr) {
            firstChoice = row;
        }
    }
    auto* scroll = new QScrollArea;
    scroll->setWidget(list);
    scroll->setWidgetResizable(true);
    scroll->setMaximumHeight(260);
    scroll->setFrameShape(QFrame::NoFrame);
    // The rows are the stops; the area itself would be one more, without a name. It still
    // scrolls to the row that takes the focus.
    scroll->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(scroll);

    auto* buttons = new QHBoxLayout;
    auto* openNew = new QPushButton(QStringLiteral("Open New Window"));
    openNew->setObjectName(QStringLiteral("vorn.rebind.openNew"));
    openNew->setAutoDefault(true);
    QObject::connect(openNew, &QPushButton::clicked, openNew,
                     [answer] { answer(RebindChoice::openNew()); });
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("vorn.rebind.cancel"));
    cancel->setAutoDefault(true);
    QObject::connect(cancel, &QPushButton::clicked, cancel,
                     [answer] { answer(RebindChoice::cancel()); });
    buttons->addWidget(openNew);
    buttons->addWidget(cancel);
    buttons->addStretch();
    layout->addLayout(buttons);

    window->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    // The keyboard starts on the first choice, so that Return takes it.
    (firstChoice != nullptr ? firstChoice : openNew)->setFocus(Qt::OtherFocusReason);
    m_window = window;
    window->show();
    window->raise();
    window->activateWindow();
}

void RebindPicker::finish(RebindChoice choice) {
    if (!m_open) {
        return;
    }
    m_open = false;
    RebindCompletion completion = std::exchange(m_completion, RebindCompletion());
    if (RebindWindow* window = m_window.data()) {
        m_window = nullptr;
        window->hide();
        // The answer may arrive inside one of the window's own signals.
        window->deleteLater();
    }
    completion(choice);
}

}  // namespace vorn::app
