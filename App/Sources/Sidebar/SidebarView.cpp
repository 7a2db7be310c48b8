#include "SidebarView.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QVBoxLayout>

#include "AmbientDivider.h"
#include "PermissionBanner.h"
#include "SidebarStyle.h"
#include "SpaceBar.h"
#include "SpaceHeader.h"
#include "TabRow.h"

namespace vorn::app {

SidebarView::SidebarView(std::shared_ptr<SidebarModel> model,
                         std::function<void()> requestKeyFocus,
                         std::optional<DisplayHostMenu> hostMenu,
                         QWidget* parent)
    : QWidget(parent)
    , m_model(std::move(model))
    , m_requestKeyFocus(std::move(requestKeyFocus))
    , m_hostMenu(std::move(hostMenu)) {
    buildLayout();
    if (m_model) {
        m_subscription = m_model->observe([this](SidebarModel::Field field) {
            switch (field) {
                case SidebarModel::Field::lastSavedData:
                case SidebarModel::Field::absenceCountsBySpace:
                case SidebarModel::Field::rebindPickerOpen:
                case SidebarModel::Field::settings:
                    return;
                default:
                    scheduleRebuild();
            }
        });
    }
    rebuild();
}

SidebarView::~SidebarView() = default;

void SidebarView::detach() {
    m_subscription.reset();
    m_model.reset();
}

void SidebarView::buildLayout() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 10);
    outer->setSpacing(8);

    buildControls();
    outer->addWidget(m_header);
    outer->addWidget(m_banner);

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget(scroll);
    content->setAutoFillBackground(false);
    m_list = new QVBoxLayout(content);
    m_list->setContentsMargins(4, 0, 4, 0);
    m_list->setSpacing(10);

    m_pinnedLabel = style::makeCaption(QStringLiteral("Pinned"),
                                       QStringLiteral("vorn.section.pinned"), content);
    m_pinnedHint = style::makeCaption(QStringLiteral("Right-click a Recent tab to pin it"),
                                      QStringLiteral("vorn.pinned.empty"), content);
    m_sectionLine = new style::Hairline(5, content);
    m_recentLabel = style::makeCaption(QStringLiteral("Recent"),
                                       QStringLiteral("vorn.section.recent"), content);
    m_recentHint = style::makeCaption(QStringLiteral("No windows detected on this screen"),
                                      QStringLiteral("vorn.recent.empty"), content);
    m_divider = new AmbientDivider(content);
    m_divider->setToggleAction(
        [this] { perform([](SidebarModel& model) { model.toggleAmbientCollapsed(); }); });
    for (QWidget* widget : std::initializer_list<QWidget*>{
             m_pinnedLabel, m_pinnedHint, m_sectionLine, m_recentLabel, m_recentHint, m_divider}) {
        m_list->addWidget(widget);
    }
    m_list->addStretch(1);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);

    outer->addWidget(m_spaceBar);
}

void SidebarView::scheduleRebuild() {
    if (m_rebuildPending) {
        return;
    }
    m_rebuildPending = true;
    QMetaObject::invokeMethod(
        this, [this] { rebuild(); }, Qt::QueuedConnection);
}

void SidebarView::rebuild() {
    m_rebuildPending = false;
    if (!m_model) {
        return;
    }
    const SidebarModel& model = *m_model;
    updateControls();

    const std::vector<SpaceTab> pinned = model.pinnedTabs();
    const std::vector<SpaceTab> claimed = model.claimedTabs();
    const std::vector<WindowInfo> shown = model.displayedAmbient();
    const bool hasAmbient = !model.ambient().empty();
    const std::optional<WindowID> active = model.activeWindowID();

    m_pinnedHint->setVisible(pinned.empty());
    m_recentHint->setVisible(claimed.empty() && !hasAmbient);
    // The full list decides, so the collapse toggle stays while the list is collapsed.
    m_divider->setVisible(hasAmbient);
    m_divider->setCollapsed(model.ambientCollapsed());

    std::unordered_map<Uuid, TabRow*> oldTabs;
    std::unordered_map<WindowID, TabRow*> oldAmbient;
    oldTabs.swap(m_tabRows);
    oldAmbient.swap(m_ambientRows);

    std::vector<QWidget*> order{m_pinnedLabel, m_pinnedHint};
    const auto placeTab = [&](const SpaceTab& tab) {
        // A repeated id would act on the same tab; show it once.
        if (m_tabRows.contains(tab.id)) {
            return;
        }
        auto node = oldTabs.extract(tab.id);
        TabRow* row = tabRow(node.empty() ? nullptr : node.mapped(), tab, active);
        m_tabRows.emplace(tab.id, row);
        order.push_back(row);
    };
    for (const SpaceTab& tab : pinned) {
        placeTab(tab);
    }
    order.insert(order.end(), {m_sectionLine, m_recentLabel, m_recentHint});
    for (const SpaceTab& tab : claimed) {
        placeTab(tab);
    }
    order.push_back(m_divider);
    for (const WindowInfo& window : shown) {
        if (m_ambientRows.contains(window.windowID)) {
            continue;
        }
        auto node = oldAmbient.extract(window.windowID);
        TabRow* row = ambientRow(node.empty() ? nullptr : node.mapped(), window, active);
        m_ambientRows.emplace(window.windowID, row);
        order.push_back(row);
    }

    for (const auto& [id, row] : oldTabs) {
        retire(row);
    }
    for (const auto& [id, row] : oldAmbient) {
        retire(row);
    }
    arrangeList(order);
}

void SidebarView::arrangeList(const std::vector<QWidget*>& rows) {
    // Moves only what is out of place, so that rows that stay are not touched.
    for (int index = 0; index < static_cast<int>(rows.size()); ++index) {
        QWidget* widget = rows[static_cast<std::size_t>(index)];
        const int at = m_list->indexOf(widget);
        if (at == index) {
            continue;
        }
        if (at >= 0) {
            m_list->removeWidget(widget);
        }
        m_list->insertWidget(index, widget);
    }
}

void SidebarView::retire(QWidget* row) {
    // Rebuilds run in a turn of their own, never inside the row's handlers; the row may still
    // have a context menu open, which goes with it.
    m_rowInputs.erase(static_cast<const TabRow*>(row));
    m_list->removeWidget(row);
    row->hide();
    row->deleteLater();
}

void SidebarView::perform(std::function<void(SidebarModel&)> operation) {
    QPointer<SidebarView> self(this);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, operation = std::move(operation)] {
            if (!self || !self->m_model) {
                return;
            }
            // Held here: the operation may run a nested event loop in which the panel is torn
            // down. Nothing of the view is touched after it returns.
            const std::shared_ptr<SidebarModel> model = self->m_model;
            operation(*model);
        },
        Qt::QueuedConnection);
}

void SidebarView::setSidebarHovered(bool hovered) {
    m_sidebarHovered = hovered;
    m_divider->setSidebarHovered(hovered);
}

void SidebarView::enterEvent(QEnterEvent*) {
    setSidebarHovered(true);
}

void SidebarView::leaveEvent(QEvent*) {
    setSidebarHovered(false);
}

void SidebarView::hideEvent(QHideEvent*) {
    setSidebarHovered(false);
}

}  // namespace vorn::app
