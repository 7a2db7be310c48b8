#include <algorithm>

#include <QAbstractButton>
#include <QKeyEvent>
#include <QScrollArea>
#include <QToolButton>

#include "AmbientDivider.h"
#include "PermissionBanner.h"
#include "SidebarView.h"
#include "SpaceBar.h"
#include "SpaceHeader.h"
#include "TabRow.h"

namespace vorn::app {

std::vector<QWidget*> SidebarView::focusStops() const {
    std::vector<QWidget*> stops;
    if (m_header->isEditing()) {
        stops.push_back(&m_header->nameField());
    } else {
        // Shown when the focus comes to it.
        stops.push_back(&m_header->menuButton());
    }
    if (m_banner->isVisible()) {
        for (QAbstractButton* button : m_banner->findChildren<QAbstractButton*>()) {
            if (button->isVisibleTo(m_banner)) {
                stops.push_back(button);
            }
        }
    }
    const auto rowsBefore = [this](const QWidget* list) {
        return std::find_if(m_rows.begin(), m_rows.end(),
                            [list](const TabRow* row) { return row->parentWidget() == list; });
    };
    const auto firstAmbient = rowsBefore(m_ambientList);
    stops.insert(stops.end(), m_rows.begin(), firstAmbient);
    if (m_divider->isVisible()) {
        stops.push_back(&m_divider->toggle());
    }
    stops.insert(stops.end(), firstAmbient, m_rows.end());
    stops.push_back(&m_spaceBar->switcher());
    stops.push_back(&m_spaceBar->addButton());
    std::erase_if(stops, [](const QWidget* stop) { return !stop->isEnabled(); });
    return stops;
}

void SidebarView::focusStop(QWidget* stop, Qt::FocusReason reason, bool reveal) {
    if (stop == &m_header->menuButton()) {
        m_header->focusMenuButton(reason);
        return;
    }
    stop->setFocus(reason);
    if (reveal && m_scroll->widget()->isAncestorOf(stop)) {
        m_scroll->ensureWidgetVisible(stop);
    }
}

bool SidebarView::focusNextPrevChild(bool next) {
    // The window's own chain follows the order in which widgets were made; rows come and go
    // and move between sections, so the order is taken from the screen instead.
    const std::vector<QWidget*> stops = focusStops();
    if (stops.empty()) {
        return false;
    }
    const auto count = static_cast<std::ptrdiff_t>(stops.size());
    const auto at = std::find(stops.begin(), stops.end(), focusWidget()) - stops.begin();
    std::ptrdiff_t target = next ? 0 : count - 1;
    if (at < count) {
        target = (at + (next ? 1 : count - 1)) % count;
    }
    focusStop(stops[static_cast<std::size_t>(target)],
              next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool SidebarView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const auto at = std::find(m_rows.begin(), m_rows.end(), watched);
    if (at == m_rows.end() || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return QWidget::eventFilter(watched, event);
    }
    const auto index = at - m_rows.begin();
    const auto last = static_cast<std::ptrdiff_t>(m_rows.size()) - 1;
    std::ptrdiff_t target = index;
    switch (key->key()) {
        case Qt::Key_Up:
            target = std::max<std::ptrdiff_t>(index - 1, 0);
            break;
        case Qt::Key_Down:
            target = std::min(index + 1, last);
            break;
        case Qt::Key_Home:
            target = 0;
            break;
        case Qt::Key_End:
            target = last;
            break;
        default:
            return QWidget::eventFilter(watched, event);
    }
    focusStop(m_rows[static_cast<std::size_t>(target)], Qt::OtherFocusReason);
    return true;
}

void SidebarView::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape || event->modifiers() != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    // Leaving the name field keeps the typed name, as every other way out of it does.
    if (m_header->isEditing()) {
        commitSpaceRename();
        return;
    }
    Q_EMIT keyFocusReleased();
}

void SidebarView::focusActiveRow() {
    if (m_rebuildPending) {
        rebuild();
    }
    const auto active = std::find_if(m_rows.begin(), m_rows.end(),
                                     [](const TabRow* row) { return row->isActive(); });
    if (active != m_rows.end()) {
        focusStop(*active, Qt::OtherFocusReason);
    } else if (!m_rows.empty()) {
        focusStop(m_rows.front(), Qt::OtherFocusReason);
    } else if (const std::vector<QWidget*> stops = focusStops(); !stops.empty()) {
        focusStop(stops.front(), Qt::OtherFocusReason);
    }
}

std::optional<WindowID> SidebarView::windowOf(const TabRow* row) const {
    const auto it = m_rowInputs.find(row);
    if (it == m_rowInputs.end()) {
        return std::nullopt;
    }
    if (const auto* tab = std::get_if<SpaceTab>(&it->second.value)) {
        return tab->boundWindowID;
    }
    return std::get<WindowInfo>(it->second.value).windowID;
}

void SidebarView::restoreFocus(TabRow* focused, std::optional<WindowID> window, std::size_t index) {
    TabRow* target = nullptr;
    if (std::find(m_rows.begin(), m_rows.end(), focused) != m_rows.end()) {
        target = focused;
    } else if (window) {
        const auto same = std::find_if(m_rows.begin(), m_rows.end(),
                                       [&](const TabRow* row) { return windowOf(row) == window; });
        target = same != m_rows.end() ? *same : nullptr;
    }
    if (target == nullptr && !m_rows.empty()) {
        target = m_rows[std::min(index, m_rows.size() - 1)];
    }
    if (target != nullptr && focusWidget() != target) {
        // A panel without the keyboard keeps its list where the user scrolled it.
        focusStop(target, Qt::OtherFocusReason, isActiveWindow());
    }
}

}  // namespace vorn::app
