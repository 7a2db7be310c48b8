#include "SettingsWindowController.h"

#include <QAbstractButton>
#include <QAction>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

#include "AccessibleActions.h"
#include "Log.h"
#include "PlacementSection.h"
#include "UpdatesSection.h"
#include "UsageDataSwitch.h"

namespace vorn::app {
namespace {

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

}  // namespace

SettingsWindowController::SettingsWindowController(std::shared_ptr<SidebarModel> model,
                                                   UpdatePreferences* updatePreferences,
                                                   UsageDataPreference* usageData)
    : m_model(std::move(model))
    , m_updatePreferences(updatePreferences)
    , m_usageData(usageData) {}

SettingsWindowController::~SettingsWindowController() {
    release();
}

void SettingsWindowController::show() {
    if (QWidget* window = m_window.data()) {
        window->show();
        window->raise();
        window->activateWindow();
        vornSettingsLog().notice("settings window refocused");
        return;
    }
    QWidget* window = build();
    window->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    m_window = window;
    window->show();
    window->raise();
    window->activateWindow();
    vornSettingsLog().notice("settings window shown");
}

void SettingsWindowController::close() {
    release();
    vornSettingsLog().debug("settings window disposed");
}

void SettingsWindowController::release() {
    if (QWidget* window = m_window.data()) {
        m_window = nullptr;
        window->hide();
        // Inside the event loop this may run in a handler of one of the window's own widgets.
        if (QThread::currentThread()->loopLevel() > 0) {
            window->deleteLater();
        } else {
            delete window;
        }
    }
}

QWidget* SettingsWindowController::build() {
    // A window of its own; closing it through the window manager only hides it.
    auto* window = new QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                                            | Qt::CustomizeWindowHint);
    // The role first: a title already makes the window's interface. A plain widget would be a
    // filler to assistive tools, which then neither name the window nor read its groups.
    setAccessibleRole(*window, QAccessible::Dialog);
    window->setWindowTitle(QStringLiteral("Vorn Settings"));
    window->setObjectName(QStringLiteral("vorn.settings.window"));
    // Escape and Ctrl+W close it, as they close any dialog; closing only hides it.
    auto* closing = new QAction(window);
    closing->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    QObject::connect(closing, &QAction::triggered, window, &QWidget::close);
    window->addAction(closing);

    // One section after the other; a new setting is one more section here.
    auto* sections = new QVBoxLayout(window);
    sections->setContentsMargins(20, 20, 20, 20);
    sections->setSpacing(14);
    sections->setSizeConstraint(QLayout::SetFixedSize);
    std::vector<QWidget*> parts;
    auto* placement = new PlacementSection(m_model, window);
    parts.push_back(placement);
    if (m_updatePreferences != nullptr) {
        parts.push_back(new UpdatesSection(*m_updatePreferences, window));
    }
    if (m_usageData != nullptr) {
        parts.push_back(new UsageDataSwitch(*m_usageData, window));
    }
    for (std::size_t index = 0; index < parts.size(); ++index) {
        if (index > 0) {
            sections->addWidget(divider(window));
        }
        parts[index]->setFixedWidth(contentWidth);
        sections->addWidget(parts[index]);
    }
    // The keyboard starts on the placement that is set, not on the first choice.
    if (QAbstractButton* selected = placement->selectedChoice()) {
        selected->setFocus(Qt::OtherFocusReason);
    }
    return window;
}

}  // namespace vorn::app
