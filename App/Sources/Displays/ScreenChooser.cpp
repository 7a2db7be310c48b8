#include "ScreenChooser.h"

#include <QLayout>
#include <QPushButton>

#include "ScreenChooserView.h"
#include "ScreenEvents.h"
#include "WindowPlacement.h"

namespace vorn::app {

ScreenChooser::ScreenChooser(const DisplayCatalog& catalog, ScreenEvents& events)
    : m_catalog(catalog)
    , m_events(events) {}

ScreenChooser::~ScreenChooser() {
    // Not inside a signal of the window here, and a deferred delete may never run at exit.
    delete m_window.data();
    dismiss();
}

QWidget* ScreenChooser::window() const {
    return m_window.data();
}

void ScreenChooser::choose(std::optional<std::string> hostKey,
                           Answer onHostReturned,
                           Answer completion) {
    const auto options = m_catalog.options();
    if (options.size() < 2) {
        completion(onlyDisplay(options));
        return;
    }
    m_completion = std::move(completion);
    m_hostKey = std::move(hostKey);
    m_onHostReturned = std::move(onHostReturned);

    m_window = new ChooserWindow;
    showOptions(options);
    centerOnPrimaryScreen(*m_window);
    m_reconfigObserver =
        connect(&m_events, &ScreenEvents::changed, this, &ScreenChooser::displaysChangedWhileShown);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void ScreenChooser::showOptions(const std::vector<DisplayOption>& options) {
    QPointer<ScreenChooser> self(this);
    QWidget* view = makeChooserView(options, [self](std::uint32_t id) {
        if (self) {
            self->pick(id);
        }
    });
    // The keyboard stays on its display when the list is made again, else starts on the first.
    QString focused;
    if (m_view) {
        if (QWidget* row = m_view->focusWidget()) {
            focused = row->objectName();
        }
        m_view->hide();
        m_view->deleteLater();
    }
    m_view = view;
    m_window->layout()->addWidget(view);
    // A child added to a shown window stays hidden until shown itself.
    view->show();
    m_window->adjustSize();
    const QList<QPushButton*> rows = view->findChildren<QPushButton*>();
    auto* row = focused.isEmpty() ? nullptr : view->findChild<QPushButton*>(focused);
    if (row == nullptr && !rows.isEmpty()) {
        row = rows.front();
    }
    if (row != nullptr) {
        row->setFocus(Qt::OtherFocusReason);
    }
}

void ScreenChooser::pick(std::uint32_t displayID) {
    Answer completion = std::exchange(m_completion, nullptr);
    dismiss();
    if (completion) {
        completion(displayID);
    }
}

void ScreenChooser::dismiss() {
    if (m_reconfigObserver) {
        disconnect(m_reconfigObserver);
        m_reconfigObserver = {};
    }
    if (m_window) {
        m_window->hide();
        // The pick arrives inside a row's click.
        m_window->deleteLater();
    }
    m_window = nullptr;
    m_view = nullptr;
    m_completion = nullptr;
    m_onHostReturned = nullptr;
    m_hostKey.reset();
}

void ScreenChooser::displaysChangedWhileShown() {
    if (!m_window) {
        return;
    }
    const auto options = m_catalog.options();
    if (m_hostKey && !m_hostKey->empty()) {
        for (const DisplayOption& option : options) {
            if (m_catalog.stableKey(option.id) == *m_hostKey) {
                Answer returned = std::exchange(m_onHostReturned, nullptr);
                dismiss();
                if (returned) {
                    returned(option.id);
                }
                return;
            }
        }
        if (!options.empty()) {
            showOptions(options);
        }
        return;
    }
    if (options.size() >= 2) {
        showOptions(options);
        return;
    }
    Answer completion = std::exchange(m_completion, nullptr);
    dismiss();
    if (completion) {
        completion(onlyDisplay(options));
    }
}

std::uint32_t ScreenChooser::onlyDisplay(const std::vector<DisplayOption>& options) const {
    if (!options.empty()) {
        return options.front().id;
    }
    return m_catalog.mainDisplayID().value_or(0);
}

}  // namespace vorn::app
